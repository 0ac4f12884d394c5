#!/usr/bin/env bash
# Builds the fuzz targets with clang and runs each for a bounded time with a fixed seed.
#   scripts/fuzz.sh [SECONDS]        (default 30 per target)
# Inputs found are kept in build-fuzz/corpus/<target>; crashes in build-fuzz/artifacts/.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-30}"

bash scripts/install-deps.sh
CC=clang CXX=clang++ cmake -S . -B build-fuzz -DLUMO_FUZZ=ON -DLUMO_BUILD_TESTS=OFF \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build-fuzz -j"$(nproc)"

export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
mkdir -p build-fuzz/artifacts
for seeds in fuzz/corpus/*/; do
    name=$(basename "$seeds")
    work="build-fuzz/corpus/$name"
    mkdir -p "$work"
    echo "fuzz_$name: $seconds s"
    "build-fuzz/fuzz/fuzz_$name" -seed=1 -max_total_time="$seconds" -rss_limit_mb=2048 -max_len=65536 \
        -print_final_stats=1 -artifact_prefix="build-fuzz/artifacts/${name}-" "$work" "$seeds" 2>&1 | tail -4
done
