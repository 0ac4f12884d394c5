#!/usr/bin/env bash
# Cross-builds the Windows dependencies with mingw-w64 into build-win-deps/<arch>/ (include/,
# lib/), skipping what is already there:
#   GoogleTest/GoogleMock  from Debian's source (/usr/src/googletest, package googletest)
#   Crypto++               from Debian's source package (apt-get source libcrypto++)
#   scripts/build-windows-deps.sh [x86_64|i686]      (default x86_64)
# The Windows CMake builds find the prefix through LUMO_WINDOWS_DEPS (the toolchain files
# default it to this folder).
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

arch="${1:-x86_64}"
case "$arch" in
    x86_64 | i686) ;;
    *) echo "usage: $0 [x86_64|i686]" >&2; exit 2 ;;
esac
triplet=$arch-w64-mingw32
toolchain=$root/cmake/toolchains/mingw-w64-$arch.cmake
deps=$root/build-win-deps
prefix=$deps/$arch
work=$deps/build/$arch
jobs=$(nproc)

sudo_cmd=()
[ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
apt_install() {
    "${sudo_cmd[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "$@" >/dev/null
}

if [ ! -f "$prefix/lib/cmake/GTest/GTestConfig.cmake" ]; then
    [ -f /usr/src/googletest/CMakeLists.txt ] || apt_install googletest
    echo "Building GoogleTest for $arch"
    # Windows threads, not winpthread, inside GoogleTest.
    cmake -S /usr/src/googletest -B "$work/googletest" -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
        -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$prefix" -DLUMO_WINDOWS_DEPS="$prefix" \
        -DBUILD_GMOCK=ON -Dgtest_disable_pthreads=ON >/dev/null
    cmake --build "$work/googletest" -j"$jobs" >/dev/null
    cmake --install "$work/googletest" >/dev/null
fi

# Debian's source package, fetched once for both architectures.
cryptopp_source() {
    local found
    found=$(find "$deps/src" -maxdepth 2 -name GNUmakefile -path '*libcrypto++*' 2>/dev/null | head -1)
    if [ -z "$found" ]; then
        if ! grep -rqsE '^(deb-src|Types:.*deb-src)' /etc/apt/sources.list /etc/apt/sources.list.d/; then
            # shellcheck disable=SC1091
            codename=$(. /etc/os-release && echo "$VERSION_CODENAME")
            printf 'Types: deb-src\nURIs: http://deb.debian.org/debian\nSuites: %s\nComponents: main\nSigned-By: %s\n' \
                "$codename" /usr/share/keyrings/debian-archive-keyring.gpg |
                "${sudo_cmd[@]}" tee /etc/apt/sources.list.d/lumo-deb-src.sources >/dev/null
        fi
        command -v dpkg-source >/dev/null || apt_install dpkg-dev
        "${sudo_cmd[@]}" env DEBIAN_FRONTEND=noninteractive apt-get update -qq
        mkdir -p "$deps/src"
        (cd "$deps/src" && apt-get source -qq libcrypto++ >/dev/null 2>&1)
        found=$(find "$deps/src" -maxdepth 2 -name GNUmakefile -path '*libcrypto++*' | head -1)
    fi
    dirname "$found"
}

if [ ! -f "$prefix/lib/libcryptopp.a" ]; then
    source_dir=$(cryptopp_source)
    echo "Building Crypto++ for $arch from $(basename "$source_dir")"
    # Its makefile builds in the source folder: one copy per architecture.
    rm -rf "$work/cryptopp"
    mkdir -p "$work"
    cp -a "$source_dir" "$work/cryptopp"
    make -C "$work/cryptopp" -f GNUmakefile -j"$jobs" \
        CXX="$triplet-g++-posix" AR="$triplet-ar" RANLIB="$triplet-ranlib" static >/dev/null
    mkdir -p "$prefix/include/cryptopp" "$prefix/lib"
    cp "$work/cryptopp"/*.h "$prefix/include/cryptopp/"
    # Debian's makefile names it libcrypto++.a; the upstream name serves both.
    cp "$work/cryptopp/libcrypto++.a" "$prefix/lib/libcryptopp.a"
fi
echo "Windows dependencies for $arch in $prefix"
