#!/usr/bin/env bash
# Cross-builds the Windows dependencies with mingw-w64 into a cache outside the tree, and
# prints the prefix (include/, lib/) as its last line:
#   GoogleTest/GoogleMock  from Debian's source (/usr/src/googletest, package googletest)
#   Crypto++               from Debian's source package of the installed libcrypto++-dev
#   scripts/build-windows-deps.sh [x86_64|i686]      (default x86_64)
# The prefix is keyed by architecture, compiler and source versions, so that every clone
# on the machine reuses it and a new compiler or source builds anew. The cache lies in
# LUMO_CACHE_DIR (default ${XDG_CACHE_HOME:-$HOME/.cache}/lumoitems). Messages go to
# standard error.
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
jobs=$(nproc)

sudo_cmd=()
[ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
apt_install() {
    "${sudo_cmd[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "$@" >/dev/null
}
package_version() { dpkg-query -W -f='${Version}' "$1" 2>/dev/null; }
source_version() { dpkg-query -W -f='${source:Version}' "$1" 2>/dev/null; }

[ -f /usr/src/googletest/CMakeLists.txt ] || apt_install googletest
[ -n "$(package_version libcrypto++-dev)" ] || apt_install libcrypto++-dev
compiler=$("$triplet-g++-posix" -dumpfullversion)
gtest_version=$(package_version googletest)
cryptopp_version=$(source_version libcrypto++-dev)

cache=${LUMO_CACHE_DIR:-${XDG_CACHE_HOME:-$HOME/.cache}/lumoitems}
key="$arch-gcc$compiler-gtest$gtest_version-cryptopp$cryptopp_version"
prefix=$cache/windows-deps/${key//[^A-Za-z0-9._+-]/_}
if [ -f "$prefix/lib/libcryptopp.a" ] && [ -f "$prefix/lib/cmake/GTest/GTestConfig.cmake" ]; then
    echo "$prefix"
    exit 0
fi

work=$(mktemp -d "$cache/windows-deps/.build-$arch.XXXXXX" 2>/dev/null ||
    { mkdir -p "$cache/windows-deps" && mktemp -d "$cache/windows-deps/.build-$arch.XXXXXX"; })
trap 'rm -rf "$work"' EXIT
staging=$work/prefix

echo "Building GoogleTest $gtest_version for $arch" >&2
# Windows threads, not winpthread, inside GoogleTest.
cmake -S /usr/src/googletest -B "$work/googletest" -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
    -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$staging" -DLUMO_WINDOWS_DEPS="$staging" \
    -DBUILD_GMOCK=ON -Dgtest_disable_pthreads=ON >/dev/null
cmake --build "$work/googletest" -j"$jobs" >/dev/null
cmake --install "$work/googletest" >/dev/null

# The machine's own Debian sources as source entries, in lists of their own: apt-get source
# then reaches them without a host named here or a change to the machine's apt setup.
write_source_lists() {
    python3 - "$1" <<'EOF'
import glob, os, re, sys
folder = sys.argv[1]
suite = next(line.split("=", 1)[1].strip().strip('"') for line in open("/etc/os-release")
             if line.startswith("VERSION_CODENAME="))
one_line, stanzas = [], []
for path in ["/etc/apt/sources.list"] + sorted(glob.glob("/etc/apt/sources.list.d/*.list")):
    if os.path.exists(path):
        for line in open(path):
            words = line.split("#", 1)[0].split()
            if words[:1] == ["deb"] and suite in words:
                one_line.append(" ".join(["deb-src"] + words[1:]))
for path in sorted(glob.glob("/etc/apt/sources.list.d/*.sources")):
    for stanza in re.split(r"\n\s*\n", open(path).read()):
        fields = dict(re.findall(r"^([A-Za-z-]+):[ \t]*(.*)$", stanza, re.M))
        if "deb" in fields.get("Types", "").split() and suite in fields.get("Suites", "").split() \
                and fields.get("Enabled", "yes") != "no":
            fields.update({"Types": "deb-src", "Suites": suite})
            stanzas.append("".join(f"{k}: {v}\n" for k, v in fields.items()))
open(os.path.join(folder, "deb-src.list"), "w").write("".join(l + "\n" for l in one_line))
open(os.path.join(folder, "deb-src.sources"), "w").write("\n".join(stanzas))
sys.exit(0 if one_line or stanzas else 1)
EOF
}

fetch_cryptopp() {
    command -v dpkg-source >/dev/null || apt_install dpkg-dev
    local apt_dir=$work/apt
    mkdir -p "$apt_dir/lists/partial" "$apt_dir/sources.list.d"
    if ! write_source_lists "$apt_dir/sources.list.d"; then
        echo "No source entry for this release can be derived from the machine's apt sources" >&2
        exit 1
    fi
    local options=(-o Dir::Etc::SourceList=/dev/null -o Dir::Etc::SourceParts="$apt_dir/sources.list.d"
                   -o Dir::State::Lists="$apt_dir/lists" -o Debug::NoLocking=1 -o APT::Sandbox::User=root)
    apt-get "${options[@]}" update -qq >/dev/null
    (cd "$work" && apt-get "${options[@]}" source -qq "libcrypto++=$cryptopp_version" >/dev/null 2>&1)
    find "$work" -maxdepth 2 -name GNUmakefile -path '*libcrypto++*' | head -1
}

makefile=$(fetch_cryptopp)
[ -n "$makefile" ] || { echo "apt-get source libcrypto++=$cryptopp_version brought no source" >&2; exit 1; }
source_dir=$(dirname "$makefile")
echo "Building Crypto++ $cryptopp_version for $arch" >&2
make -C "$source_dir" -f GNUmakefile -j"$jobs" \
    CXX="$triplet-g++-posix" AR="$triplet-ar" RANLIB="$triplet-ranlib" static >/dev/null
mkdir -p "$staging/include/cryptopp" "$staging/lib"
cp "$source_dir"/*.h "$staging/include/cryptopp/"
# Debian's makefile names it libcrypto++.a; the upstream name serves both.
cp "$source_dir/libcrypto++.a" "$staging/lib/libcryptopp.a"

# Whole or not at all: a clone that finds the prefix finds it complete.
rm -rf "$prefix"
mv "$staging" "$prefix"
echo "$prefix"
