#!/usr/bin/env bash
# Builds the library and runs the example client against the example component, registered
# into a registry file of its own under build/.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"$(nproc)" --target example_client example_component

export LUMOITEMS_REGISTRY="$PWD/build/example-registry.db"
rm -f "$LUMOITEMS_REGISTRY"
build/examples/example_client "$PWD/build/examples/ExampleComponent.so"
