#!/usr/bin/env bash
# Extraction benchmark: iunpack against 7-Zip and the Debian archiver on the
# same archives (methods 1 and 4) of a deterministic ~60 MB corpus.
#   bench/run.sh [REPETITIONS]     (work files under ${BENCH_DIR:-/dev/shm/iunpack-bench})
set -euo pipefail
cd "$(dirname "$0")/.."
for tool in arj 7zz /usr/bin/time python3; do
  command -v "$tool" >/dev/null || { echo "missing $tool: run scripts/install-deps.sh" >&2; exit 1; }
done
cmake --preset native >/dev/null
cmake --build --preset native --target iunpack >/dev/null
exec python3 bench/bench.py "$PWD/build/native/tools/iunpack" "${BENCH_DIR:-/dev/shm/iunpack-bench}" "${1:-7}"
