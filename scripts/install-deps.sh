#!/usr/bin/env bash
# Installs the Debian packages the builds and tests need, when they are missing.
#   scripts/install-deps.sh              the Linux build, its tests, sanitizers and fuzzers
#   scripts/install-deps.sh --windows    the Windows cross-builds and Wine as well; 32-bit
#                                        Wine only where the kernel runs 32-bit programs
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)

packages=(
    cmake make g++ python3 pkg-config ccache dpkg-dev
    libsqlite3-dev libxml2-dev libcrypto++-dev
    libgtest-dev libgmock-dev libbenchmark-dev
    clang libclang-rt-dev
)
windows=0
if [ "${1:-}" = "--windows" ]; then
    windows=1
    packages+=(
        googletest
        g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix mingw-w64-tools
        libwine-dev wine64 wine
    )
fi

installed() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q "install ok installed"; }
sudo_cmd=()
[ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
apt() { "${sudo_cmd[@]}" env DEBIAN_FRONTEND=noninteractive apt-get "$@"; }

missing=()
for p in "${packages[@]}"; do
    installed "$p" || missing+=("$p")
done

# 32-bit Wine: its launcher takes over `wine`, so where the kernel refuses 32-bit programs
# (64-bit-only hosts answer ENOEXEC) it would only break the 64-bit Wine already there.
if [ $windows -eq 1 ] && ! installed wine32:i386; then
    if python3 "$here/lib/runs-32-bit.py"; then
        if ! dpkg --print-foreign-architectures | grep -qx i386; then
            "${sudo_cmd[@]}" dpkg --add-architecture i386
        fi
        missing+=(wine32:i386)
    else
        echo "No 32-bit Wine: this kernel does not run 32-bit programs" >&2
    fi
fi

[ ${#missing[@]} -eq 0 ] && exit 0
echo "Installing: ${missing[*]}"
apt update -qq
apt install -y -qq "${missing[@]}" >/dev/null
