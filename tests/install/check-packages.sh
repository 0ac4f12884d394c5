#!/usr/bin/env bash
# Unpacks the Debian package into a scratch root and the .tar.gz into a folder, checks the
# package's declared dependencies, and in each registers the packaged module with the packaged
# regsvr into a registry of its own, runs the packaged lumoitems show on the example document
# and asks every packaged tool its version.
#   check-packages.sh PACKAGES-DIR WORK-DIR
set -euo pipefail
packages=$1
work=$2
source_dir=$(cd "$(dirname "$0")/../.." && pwd)
version=$(sed -n 's/^project(LumoItems VERSION \([0-9.]*\).*/\1/p' "$source_dir/CMakeLists.txt")
rm -rf "$work"
mkdir -p "$work"

fail() { echo "check-packages: $*" >&2; exit 1; }

deb=$(ls "$packages"/lumoitems_"$version"_*.deb)
archive=$(ls "$packages"/lumoitems-"$version"-linux-*.tar.gz)

depends=$(dpkg-deb -f "$deb" Depends)
for runtime in libxml2 libsqlite3-0 'libcrypto++'; do
    [[ "$depends" == *"$runtime"* ]] || fail "the package does not depend on $runtime: $depends"
done

# check_prefix NAME PREFIX PACKAGE: the unpacked prefix, its tools run from there.
check_prefix() {
    local what=$1 prefix=$2
    export LUMOITEMS_REGISTRY="$work/$what-registry.db"
    "$prefix/bin/regsvr" /s "$prefix/lib/LumoItems.so" || fail "$what: regsvr failed"
    "$prefix/bin/lumoitems" show "$source_dir/examples/contact.xml" > "$work/$what-show.txt" ||
        fail "$what: lumoitems show failed"
    cmp -s "$work/$what-show.txt" "$source_dir/tests/tools/expected/show-contact.txt" ||
        fail "$what: lumoitems show printed another text"
    for tool in regsvr lumoitems logconfig; do
        [[ "$("$prefix/bin/$tool" --version)" == "$tool ("*") $version" ]] || fail "$what: $tool --version"
    done
    [ -f "$prefix/share/doc/lumoitems/reference.md" ] || fail "$what: the reference is missing"
    echo "$what: $(basename "$3") installs, registers and shows the example"
}

dpkg-deb -x "$deb" "$work/root"
check_prefix deb "$work/root/usr" "$deb"
mkdir -p "$work/archive"
tar -xzf "$archive" -C "$work/archive"
check_prefix tar.gz "$work/archive/$(basename "$archive" .tar.gz)" "$archive"
