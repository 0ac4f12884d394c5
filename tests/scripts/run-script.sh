#!/usr/bin/env bash
# Registers a module with Wine's regsvr32 and runs a script with Wine's script host:
#   run-script.sh MODULE SCRIPT
# in the Wine prefix of the environment. Wine's host reports no script error and exits 0 after
# one, so the scripts end with a line the test waits for.
set -euo pipefail
module=$(winepath -w "$1")
script=$(winepath -w "$2")
wine regsvr32 /s "$module"
wine cscript //nologo "$script"
