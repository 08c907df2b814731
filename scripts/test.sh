#!/usr/bin/env bash
# Runs every test: unit and tool tests natively and under the sanitizers,
# builds both Windows targets, and runs the end-to-end tests under Wine.
set -euo pipefail
cd "$(dirname "$0")/.."
started=$SECONDS
# phase NAME COMMAND...: runs COMMAND and says how long it took, so that
# where the time goes shows in every run.
phase() {
  local name=$1 begun=$SECONDS status=0
  shift
  "$@" || status=$?
  echo "== $name: $((SECONDS - begun)) s$( ((status == 0)) || echo ", FAILED")"
  return "$status"
}
# The package installer's own logic first (stand-ins for apt, no network).
bash tests/scripts/install_deps_test.sh
if ! scripts/install-deps.sh; then
  echo "error: the packages above could not be installed, so no test ran" \
    "(the end-to-end tests are never skipped)" >&2
  exit 1
fi

# The native build cross-builds the stubs that iunpack carries; the other
# builds take them from it (IUNPACK_STUBS_DIR) instead of building them
# again: each stub is built once here, and once more, in another folder,
# to compare (below).
stubs=(-DIUNPACK_STUBS_DIR="$PWD/build/native/stubs")
cmake --preset native >/dev/null
phase "native build" cmake --build --preset native
for preset in win32 win64; do
  cmake --preset "$preset" "${stubs[@]}" >/dev/null
  phase "$preset build" cmake --build --preset "$preset"
done

# Real installers under Wine and a virtual X server, every case on both
# stubs: the i686 product (through qemu where the kernel runs no 32-bit
# programs) and the x86_64 build. They wait on Wine much of the time, so
# they run beside everything that follows; their lines come at the end.
e2e_log=build/e2e.log
(phase "end-to-end" bash tests/e2e/run.sh) >"$e2e_log" 2>&1 &
e2e=$!

status=0
phase "native tests" ctest --preset native || status=1
cmake --preset asan "${stubs[@]}" >/dev/null
phase "asan build" cmake --build --preset asan || status=1
phase "asan tests" ctest --preset asan || status=1
# Each stub again, from a copy of the tree in another folder: the same bytes.
phase "stubs rebuilt and compared" bash scripts/check_reproducible.sh || status=1

wait "$e2e" || status=1
cat "$e2e_log"
if ((status)); then
  echo "== FAILED (above) after $((SECONDS - started)) s"
  exit 1
fi
echo "== every test passed in $((SECONDS - started)) s"
