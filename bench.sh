#!/usr/bin/env bash
# Builds and runs the benchmarks (optimised build in build-bench/).
# Extra arguments go to every benchmark program, e.g. --benchmark_filter=Undo.
set -euo pipefail
cd "$(dirname "$0")"
. scripts/deps.sh
velto_need $VELTO_BUILD_PACKAGES $VELTO_TEST_PACKAGES $VELTO_BENCH_PACKAGES
cmake -S . -B build-bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DVELTO_BENCH=ON -DVELTO_TESTS=OFF >/dev/null
cmake --build build-bench -j "$(nproc)"
for b in build-bench/bench/bench_*; do
  [ -x "$b" ] || continue
  echo "== $(basename "$b")"
  "$b" "$@"
done
