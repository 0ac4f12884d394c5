#!/usr/bin/env bash
# Makes the release packages in build/packages/, each named with the project's version:
#   scripts/package.sh             the Linux ones from build/: the Debian package and the .tar.gz
#   scripts/package.sh --windows   and the zip of each Windows build (build-win64/, build-win32/)
#   scripts/package.sh --test      the Linux ones, then their install test
#                                  (tests/install/check-packages.sh); the zips are tested with the
#                                  Windows suites under Wine (scripts/test-windows.sh)
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh

cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"$(nproc)"
rm -rf build/packages
(cd build && cpack -B packages >/dev/null)
if [ "${1:-}" = "--windows" ]; then
    for arch in x86_64 i686; do
        bash scripts/build-windows.sh "$arch"
        tree=build-win64
        [ "$arch" = i686 ] && tree=build-win32
        (cd "$tree" && cpack -B ../build/packages >/dev/null)
    done
fi
find build/packages -maxdepth 1 -type f -printf '%p\n' | sort
if [ "${1:-}" = "--test" ]; then
    bash tests/install/check-packages.sh build/packages build/package-check
fi
