#!/usr/bin/env bash
# Makes the release zip of a Windows build tree, unpacks it, checks that it holds what it
# promises, registers its module with Wine's regsvr32 and runs its first script under Wine's
# script host; then registers the build's own module again, as the suite had it.
#   check-windows-zip.sh CPACK BUILD-DIR WINE-LOADER BUILD-MODULE WORK-DIR
set -euo pipefail
cpack=$1
build=$2
wine=$3
build_module=$4
work=$5
here=$(cd "$(dirname "$0")" && pwd)
windows_path() { local path; path=$(realpath "$1"); printf 'Z:%s' "${path//\//\\}"; }
rm -rf "$work"
mkdir -p "$work/unpacked"

(cd "$build" && "$cpack" -G ZIP -B "$work/packages" >/dev/null)
zip=$(ls "$work"/packages/lumoitems-*-win*.zip)
(cd "$work/unpacked" && cmake -E tar xf "$zip")
top="$work/unpacked/$(basename "$zip" .zip)"
for file in bin/LumoItems.dll bin/LumoItems.tlb bin/lumoitems.exe bin/logconfig.exe \
            include/lumoitems/LumoItems.h include/lumoitems/LumoItems_i.c \
            share/doc/lumoitems/reference.md README.txt first.vbs; do
    [ -f "$top/$file" ] || { echo "check-windows-zip: $(basename "$zip") lacks $file" >&2; exit 1; }
done
echo "$(basename "$zip") holds every file"

status=0
bash "$here/../scripts/run-script.sh" "$wine" "$top/bin/LumoItems.dll" "$top/first.vbs" || status=$?
"$wine" regsvr32 /s "$(windows_path "$build_module")"
exit $status
