#!/usr/bin/env bash
# Registers a module with Wine's regsvr32 and runs a script with Wine's script host:
#   run-script.sh WINE-LOADER MODULE SCRIPT [CLIENT-LOADER]
# in the Wine prefix of the environment: regsvr32 under the loader of the module's width, the
# script host under CLIENT-LOADER when given (the 32-bit one, for a 32-bit client of a 64-bit
# module, which Wine serves from a surrogate process), else under the same. Wine's host
# reports no script error and exits 0 after one, so the scripts end with a line the test
# waits for. Its output goes through a file: the host keeps a pipe open through wineserver.
set -euo pipefail
wine=$1
client=${4:-$1}
# Wine's drive Z: is the root of the file system.
windows_path() { local path; path=$(realpath "$1"); printf 'Z:%s' "${path//\//\\}"; }
module=$(windows_path "$2")
script=$(windows_path "$3")
output=$(mktemp)
trap 'rm -f "$output"' EXIT
"$wine" regsvr32 /s "$module"
"$client" cscript //nologo "$script" >"$output" 2>&1 || status=$?
cat "$output"
exit "${status:-0}"
