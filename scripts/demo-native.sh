#!/usr/bin/env bash
# The installation on Linux: builds the native tool, makes a self-extracting
# file from demo/payload (stub bytes, the prompt field, an archive made with
# the Debian archiver) and runs it with `iunpack run`, a shell command
# standing in for setup.exe. Prints the trace and what setup saw.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake --preset native >/dev/null
cmake --build --preset native >/dev/null

out=build/demo-native
rm -rf "$out" && mkdir -p "$out/payload"
cp demo/payload/* "$out/payload/"
printf 'MZ stand-in for the Windows setup program\n' > "$out/payload/setup.exe"
(cd "$out/payload" && arj a -m0 -y ../demo.arj ./* >/dev/null)

prompt="Install the demo?"
{
  head -c 49152 /dev/zero
  printf '%s' "$prompt"
  head -c $((200 - ${#prompt})) /dev/zero
  cat "$out/demo.arj"
} > "$out/installer.exe"

echo "== entries of $out/installer.exe"
build/native/tools/iunpack list "$out/installer.exe"
echo
echo "== iunpack run (trace on standard error)"
export TMPDIR="$PWD/$out/tmp"
mkdir -p "$TMPDIR"
build/native/tools/iunpack run "$out/installer.exe" --answer yes \
  --setup 'echo "   setup runs in $PWD and sees:" >&2; ls -l | sed "s/^/   /" >&2' 2>&1 || true
echo
echo "== left behind in $TMPDIR: $(ls -A "$TMPDIR" | wc -l) entries"
