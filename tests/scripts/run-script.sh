#!/usr/bin/env bash
# Registers a module with Wine's regsvr32 and runs a script with Wine's script host:
#   run-script.sh WINE-LOADER MODULE SCRIPT
# in the Wine prefix of the environment, with the loader of the module's width. Wine's host
# reports no script error and exits 0 after one, so the scripts end with a line the test
# waits for. Its output goes through a file: the host keeps a pipe open through wineserver.
set -euo pipefail
wine=$1
# Wine's drive Z: is the root of the file system.
windows_path() { local path; path=$(realpath "$1"); printf 'Z:%s' "${path//\//\\}"; }
module=$(windows_path "$2")
script=$(windows_path "$3")
output=$(mktemp)
trap 'rm -f "$output"' EXIT
"$wine" regsvr32 /s "$module"
"$wine" cscript //nologo "$script" >"$output" 2>&1 || status=$?
cat "$output"
exit "${status:-0}"
