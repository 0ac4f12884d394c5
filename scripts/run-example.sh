#!/usr/bin/env bash
# The main job: builds the library, registers its module into the default registry with
# regsvr, and runs the example client, which creates a LumoProperty by program id; then shows
# the example item document with the lumoitems tool.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"$(nproc)" --target lumoitems_module regsvr lumoitems_example lumoitems

build/tools/regsvr build/server/LumoItems.so
build/examples/lumoitems_example

build/tools/lumoitems show examples/contact.xml
