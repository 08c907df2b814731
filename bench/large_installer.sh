#!/usr/bin/env bash
# Large payloads: an installer of more than 4 GiB with a stored entry over
# 2 GiB, packed from a folder by `iunpack pack --method 0` (which streams
# its files), unpacked natively (`iunpack extract`, then `iunpack run`) and
# by the real x86_64 stub under Wine. Prints each way's time and speed, and
# checks every unpacked file's size and CRC-32.
# Not part of the tests: it writes about 15 GB and takes minutes.
#
#   bench/large_installer.sh      (work files under ${LARGE_DIR:-/var/tmp/iunpack-large})
set -euo pipefail

ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
DIR=${LARGE_DIR:-/var/tmp/iunpack-large}
BIG=$((2560 * 1024 * 1024))    # over 2 GiB: 64-bit seeks and positions
SECOND=$((1900 * 1024 * 1024)) # the two together pass 4 GiB
TOOL=$ROOT/build/native/tools/iunpack

if [[ ${1:-} != --inside-x ]]; then
  bash "$ROOT/scripts/install-deps.sh"
  cd "$ROOT"
  for preset in native win64; do
    cmake --preset "$preset" >/dev/null
    cmake --build --preset "$preset" >/dev/null
  done
  rm -rf "$DIR"
  mkdir -p "$DIR/payload"
  cp "$ROOT/build/win64/tests/e2e/setup.exe" "$DIR/payload/setup.exe"
  echo "== writing the files and the installer in $DIR"
  # A 1 MiB pseudo-random pattern, repeated: no two blocks of a file alike
  # within the pattern, and cheap to make.
  python3 - "$DIR/payload" "$BIG" "$SECOND" <<'PY'
import sys
pattern = bytes((i * 2654435761 >> 13) & 0xFF for i in range(1 << 20))
for name, size in (('media1.bin', int(sys.argv[2])), ('media2.bin', int(sys.argv[3]))):
    with open(f'{sys.argv[1]}/{name}', 'wb') as f:
        for at in range(0, size, len(pattern)):
            f.write(pattern[:min(len(pattern), size - at)])
PY
  "$TOOL" pack --stub win64 --method 0 "$DIR/payload" -o "$DIR/installer.exe"
  rm -rf "$DIR/payload"
  "$TOOL" list "$DIR/installer.exe"
  exec xvfb-run -a -s "-screen 0 1024x768x24" bash "${BASH_SOURCE[0]}" --inside-x
fi

# list prints the prompt line and the header line before the entries.
total=$("$TOOL" list "$DIR/installer.exe" | tail -n +3 | awk '{ s += $1 } END { print s }')
speed() { python3 -c "import sys; t=float(sys.argv[2]); print(f'{t:.1f} s, {int(sys.argv[1])/t/1e6:.0f} MB/s')" "$@"; }
seconds() { python3 -c "import time; print(time.time())"; }
elapsed() { python3 -c "import sys; print(float(sys.argv[2]) - float(sys.argv[1]))" "$@"; }

# Every file's size and CRC-32 (from the archive's own listing) in DIR.
check_files() {
  local dir=$1 ok=true
  while read -r original _ _ crc name; do
    local got
    got=$(python3 -c "import sys,zlib
c=0
with open(sys.argv[1],'rb') as f:
    while b:=f.read(1<<22): c=zlib.crc32(b,c)
print(f'{c:08x}')" "$dir/$name")
    [[ $(stat -c %s "$dir/$name") == "$original" && $got == "$crc" ]] || { echo "   MISMATCH: $name"; ok=false; }
  done < <("$TOOL" list "$DIR/installer.exe" | tail -n +3)
  $ok && echo "   every file's size and CRC-32 match"
}

echo "== iunpack extract"
rm -rf "$DIR/out"
start=$(seconds)
"$TOOL" extract "$DIR/installer.exe" "$DIR/out" >/dev/null
echo "   $(speed "$total" "$(elapsed "$start" "$(seconds)")")"
check_files "$DIR/out"
rm -rf "$DIR/out"

echo "== iunpack run (the launcher's driver, natively)"
mkdir -p "$DIR/native-temp"
start=$(seconds)
TMPDIR=$DIR/native-temp "$TOOL" run "$DIR/installer.exe" --answer yes --setup 'ls -l *.bin' 2>&1 | grep -E 'driver-result|setup-exit'
echo "   $(speed "$total" "$(elapsed "$start" "$(seconds)")") (setup and clean-up included)"
rmdir "$DIR/native-temp"

echo "== the x86_64 stub under Wine"
source "$ROOT/tests/e2e/wine_lib.sh"
wine_prefix_start
export IUNPACK_PROBE_LOG
IUNPACK_PROBE_LOG=$(windows_path "$DIR/probe.log")
rm -f "$DIR/probe.log"
start=$(seconds)
RUN_TIMEOUT=1800 run_installer "$DIR" installer.exe
echo "   $(speed "$total" "$(elapsed "$start" "$(seconds)")") (Wine's start, setup and clean-up included); exit code $RC"
echo "   setup saw: $(grep '^file=' "$DIR/probe.log" | sed 's/^file=//' | tr '\n' ' ')"
[[ -z $(work_dir_left) ]] && echo "   working directory removed"
rm -rf "$DIR"
