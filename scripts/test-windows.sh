#!/usr/bin/env bash
# Builds the Windows targets and runs the test suite under Wine:
#   win64  build-win64/: a new Wine prefix (build-win64/wineprefix), every module that
#          registers itself registered and unregistered with Wine's regsvr32, then the test
#          programs run by ctest under wine64, one test per process, one at a time (the
#          tests share the prefix's registry).
#   win32  build-win32/: built and linked only; no 32-bit Wine here.
# Exits non-zero when a build, a registration or a test fails; the win32 build runs anyway.
set -euo pipefail
cd "$(dirname "$0")/.."
started=$SECONDS
status=0
phase() { echo "== $1 ($((SECONDS - started)) s)"; }

phase "win64 build"
bash scripts/build-windows.sh x86_64

phase "Wine prefix"
export WINEPREFIX="$PWD/build-win64/wineprefix"
export WINEDEBUG=-all
# No Mono or Gecko: nothing here needs them, and the prefix is made without downloads.
export WINEDLLOVERRIDES="mscoree,mshtml="
# Wine takes the user locale from the host's: en-US, which the locale texts of the tests are.
export LC_ALL=C.UTF-8
wineserver -k 2>/dev/null || true
rm -rf "$WINEPREFIX"
wine wineboot -i

phase "registration"
for listing in build-win64/windows-modules/*.path; do
    [ -e "$listing" ] || continue
    module=$(cat "$listing")
    # grep reads the whole listing: with -q objdump may die of SIGPIPE and fail the pipe.
    x86_64-w64-mingw32-objdump -p "$module" | grep '\bDllRegisterServer\b' >/dev/null || continue
    path=$(winepath -w "$module")
    for action in register unregister; do
        flags=(/s)
        [ "$action" = unregister ] && flags+=(/u)
        if wine regsvr32 "${flags[@]}" "$path"; then
            echo "$(basename "$module"): $action ok"
        else
            echo "$(basename "$module"): $action FAILED" >&2
            status=1
        fi
    done
done

phase "win64 tests"
ctest --test-dir build-win64 --output-on-failure || status=1
wineserver -w

phase "win32 build"
bash scripts/build-windows.sh i686 || status=1

phase "done, status $status"
exit "$status"
