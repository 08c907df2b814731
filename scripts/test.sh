#!/usr/bin/env bash
# Runs every test: unit and tool tests natively and under the sanitizers,
# builds both Windows targets, and runs the end-to-end tests under Wine.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh

for preset in native asan; do
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset"
  ctest --preset "$preset"
done

for preset in win32 win64; do
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset"
done
# Each stub again, from a copy of the tree in another folder: the same bytes.
bash scripts/check_reproducible.sh

# Real installers under Wine and a virtual X server, every case on both
# stubs: the i686 product (through qemu where the kernel runs no 32-bit
# programs) and the x86_64 build (about three minutes together).
bash tests/e2e/run.sh
