#!/usr/bin/env bash
# Builds the Linux library and runs the test suite.
#   scripts/test.sh                      plain build in build/
#   scripts/test.sh --sanitize address   AddressSanitizer + UndefinedBehaviorSanitizer in build-asan/
#   scripts/test.sh --sanitize thread    ThreadSanitizer, the threaded tests only, in build-tsan/
set -euo pipefail
cd "$(dirname "$0")/.."

sanitize=""
if [ "${1:-}" = "--sanitize" ]; then
    sanitize="${2:?address or thread}"
fi

bash scripts/install-deps.sh

build=build${sanitize:+-$sanitize}
jobs=$(nproc)
cmake -S . -B "$build" -DLUMO_SANITIZE="$sanitize" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j"$jobs"

ctest_args=(--test-dir "$build" --output-on-failure -j"$jobs")
case "$sanitize" in
    address)
        export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:strict_string_checks=1
        export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
        ;;
    thread)
        export TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1
        ctest_args+=(-R 'Thread|Concurrent')
        ;;
esac
ctest "${ctest_args[@]}"
