#!/usr/bin/env bash
# Installs the Debian packages the Linux build and tests need, when they are missing.
set -euo pipefail

packages=(
    cmake make g++ python3 pkg-config
    libsqlite3-dev libxml2-dev libcrypto++-dev
    libgtest-dev libgmock-dev libbenchmark-dev
    clang libclang-rt-dev
)

missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo_cmd=()
[ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
echo "Installing: ${missing[*]}"
"${sudo_cmd[@]}" env DEBIAN_FRONTEND=noninteractive apt-get update -qq
"${sudo_cmd[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${missing[@]}" >/dev/null
