#!/usr/bin/env bash
# Cross-builds the Windows tree with mingw-w64, the dependencies first:
#   scripts/build-windows.sh [x86_64|i686] [TARGET...]     (default x86_64, every target)
# x86_64 builds in build-win64/, i686 in build-win32/. Installs the Debian packages it lacks.
set -euo pipefail
cd "$(dirname "$0")/.."

arch="${1:-x86_64}"
[ $# -gt 0 ] && shift
case "$arch" in
    x86_64) build=build-win64 ;;
    i686) build=build-win32 ;;
    *) echo "usage: $0 [x86_64|i686] [TARGET...]" >&2; exit 2 ;;
esac

packages=(
    cmake make python3 dpkg-dev googletest
    g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix mingw-w64-tools
    libwine-dev wine64 wine
)
missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
    sudo_cmd=()
    [ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
    echo "Installing: ${missing[*]}"
    "${sudo_cmd[@]}" env DEBIAN_FRONTEND=noninteractive apt-get update -qq
    "${sudo_cmd[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${missing[@]}" >/dev/null
fi

bash scripts/build-windows-deps.sh "$arch"
cmake -S . -B "$build" -DCMAKE_TOOLCHAIN_FILE="cmake/toolchains/mingw-w64-$arch.cmake" \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
targets=()
[ $# -gt 0 ] && targets=(--target "$@")
cmake --build "$build" -j"$(nproc)" "${targets[@]}"
