#!/usr/bin/env bash
# Cross-builds the Windows tree with mingw-w64, the dependencies first:
#   scripts/build-windows.sh [x86_64|i686] [TARGET...]     (default x86_64, every target)
# x86_64 builds in build-win64/, i686 in build-win32/. Installs the Debian packages it lacks;
# the dependencies come from the cache of scripts/build-windows-deps.sh.
set -euo pipefail
cd "$(dirname "$0")/.."

arch="${1:-x86_64}"
[ $# -gt 0 ] && shift
case "$arch" in
    x86_64) build=build-win64 ;;
    i686) build=build-win32 ;;
    *) echo "usage: $0 [x86_64|i686] [TARGET...]" >&2; exit 2 ;;
esac

bash scripts/install-deps.sh --windows
deps=$(bash scripts/build-windows-deps.sh "$arch" | tail -1)
cmake -S . -B "$build" -DCMAKE_TOOLCHAIN_FILE="cmake/toolchains/mingw-w64-$arch.cmake" \
    -DLUMO_WINDOWS_DEPS="$deps" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
targets=()
[ $# -gt 0 ] && targets=(--target "$@")
cmake --build "$build" -j"$(nproc)" "${targets[@]}"
