#!/usr/bin/env bash
# Installs the build tree into a fresh prefix, builds the client program there with the CMake
# package and with pkg-config, registers the installed module with the installed regsvr into
# a registry of its own, and runs both clients.
#   check-install.sh BUILD-DIR WORK-DIR
set -euo pipefail
build=$1
work=$2
here=$(cd "$(dirname "$0")" && pwd)
rm -rf "$work"
mkdir -p "$work"
prefix="$work/prefix"

cmake --install "$build" --prefix "$prefix" >/dev/null
cmake -S "$here/client" -B "$work/client" -DCMAKE_PREFIX_PATH="$prefix" >/dev/null
cmake --build "$work/client" >/dev/null
PKG_CONFIG_PATH="$prefix/lib/pkgconfig" c++ -std=c++20 "$here/client/main.cpp" -o "$work/client-pc" \
    $(PKG_CONFIG_PATH="$prefix/lib/pkgconfig" pkg-config --cflags --libs lumoitems)

export LUMOITEMS_REGISTRY="$work/registry.db"
"$prefix/bin/regsvr" /s "$prefix/lib/LumoItems.so"
"$work/client/client"
"$work/client-pc"
