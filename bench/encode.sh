#!/usr/bin/env bash
# Writing benchmark: this project's archive writer (build/native/bench/arj_pack)
# against `arj a -m1` and `arj a -m4` on bench/run.sh's corpus and text
# installed on the machine (bench/encode_bench.py names the corpora).
#   bench/encode.sh [REPETITIONS [CORPUS...]]     (work files under ${BENCH_DIR:-/dev/shm/iunpack-bench})
set -euo pipefail
cd "$(dirname "$0")/.."
for tool in arj /usr/bin/time python3; do
  command -v "$tool" >/dev/null || { echo "missing $tool: run scripts/install-deps.sh" >&2; exit 1; }
done
cmake --preset native >/dev/null
cmake --build --preset native --target arj_pack >/dev/null
exec python3 bench/encode_bench.py "$PWD/build/native/bench/arj_pack" "${BENCH_DIR:-/dev/shm/iunpack-bench}" "${1:-5}" "${@:2}"
