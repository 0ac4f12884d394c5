#!/usr/bin/env bash
# Builds the Linux library in build/ and makes its release packages in build/packages/: the
# Debian package and the .tar.gz, both named with the project's version.
#   scripts/package.sh          the packages
#   scripts/package.sh --test   and then the install test of both (tests/install/check-packages.sh)
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh

cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"$(nproc)"
rm -rf build/packages
(cd build && cpack -B packages >/dev/null)
ls build/packages/*.deb build/packages/*.tar.gz
if [ "${1:-}" = "--test" ]; then
    bash tests/install/check-packages.sh build/packages build/package-check
fi
