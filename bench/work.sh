#!/usr/bin/env bash
# Decoding work per compressed byte over hostile input: the fuzz seeds and
# regression inputs (and any corpus directories given), and crafted bombs.
#   bench/work.sh [CORPUS_DIR...]
set -euo pipefail
cd "$(dirname "$0")/.."
cmake --preset native >/dev/null
cmake --build --preset native --target iunpack >/dev/null
exec python3 bench/work.py "$PWD/build/native/tools/iunpack" tests/fuzz/seeds tests/fuzz/regressions "$@"
