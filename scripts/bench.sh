#!/usr/bin/env bash
# Builds the benchmarks beside the library in build/ and runs them:
#   scripts/bench.sh            every benchmark (further arguments go to the benchmark program)
#   scripts/bench.sh --goals    the table of the document goals; non-zero when one is missed
#   scripts/bench.sh --smoke    one short benchmark: that the program builds and runs
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh

cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DLUMO_BUILD_BENCH=ON >/dev/null
cmake --build build -j"$(nproc)" --target lumoitems_bench
bench=build/bench/lumoitems_bench
case "${1:-}" in
    --goals) exec "$bench" --goals ;;
    --smoke) exec "$bench" --benchmark_filter='NestedItemRoundTrip/depth:0' --benchmark_min_time=0.01 ;;
    *) exec "$bench" "$@" ;;
esac
