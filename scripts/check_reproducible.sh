#!/usr/bin/env bash
# Builds both stubs a second time from a copy of the source tree in another
# folder and compares them byte for byte with the stubs of build/win32 and
# build/win64: the same sources must give the same stubs wherever they are
# built. Also compares the stubs that the native iunpack carries (built by
# build/native, embedded in the binary; the tests check the embedding) with
# the presets' stubs, and the stub that each Windows preset's iunpack.exe
# carries for the other preset (it cross-builds it). Exit status 1 when a
# stub differs.
#
#   scripts/check_reproducible.sh      (after the native, win32 and win64 builds)
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
COPY=$(mktemp -d /tmp/iunpack-rebuild.XXXXXX)
trap 'rm -rf "$COPY"' EXIT

# The files of the tree as they stand, uncommitted changes included.
(cd "$ROOT" && git ls-files -z --cached --others --exclude-standard | xargs -0 cp --parents -t "$COPY")
status=0
for preset in win32 win64; do
  (cd "$COPY" && cmake --preset "$preset" >/dev/null && cmake --build --preset "$preset" --target iunpack-stub >/dev/null)
  ours=$ROOT/build/$preset/shell/iunpack-stub.exe
  again=$COPY/build/$preset/shell/iunpack-stub.exe
  if cmp -s "$ours" "$again"; then
    echo "$preset stub rebuilt in another folder: the same bytes, SHA-256 $(sha256sum "$ours" | cut -d' ' -f1)"
  else
    echo "$preset stub rebuilt in another folder DIFFERS:" >&2
    cmp -l "$ours" "$again" | head -n 5 >&2 || true
    status=1
  fi
  other=$([[ $preset == win32 ]] && echo win64 || echo win32)
  for carrier in native "$other"; do
    carried=$ROOT/build/$carrier/stubs/$preset/shell/iunpack-stub.exe
    tool=$([[ $carrier == native ]] && echo iunpack || echo "the $carrier iunpack.exe")
    if [[ ! -f $carried ]]; then
      echo "$preset stub carried by $tool: no $carrier build to compare"
    elif cmp -s "$ours" "$carried"; then
      echo "$preset stub carried by $tool: the same bytes as the $preset preset's"
    else
      echo "$preset stub carried by $tool DIFFERS from the $preset preset's:" >&2
      cmp -l "$ours" "$carried" | head -n 5 >&2 || true
      status=1
    fi
  done
done
exit "$status"
