#!/usr/bin/env bash
# Builds the Windows targets and runs the test suite and the script clients under Wine:
#   scripts/test-windows.sh [x86_64|i686]...      (default both)
#   x86_64  build-win64/, under Wine's 64-bit loader
#   i686    build-win32/, under 32-bit Wine in a 32-bit prefix; where the kernel runs no
#           32-bit programs, 32-bit Wine cannot start and the DLL is built only
# Each suite gets a new prefix of its own (build-win*/wineprefix): every module that
# registers itself is registered and unregistered with that prefix's regsvr32, then ctest
# runs each test program once, all its tests in one process, one program at a time (they
# share the prefix's registry). The two suites run side by side. Exits non-zero when a build,
# a registration or a test fails.
set -euo pipefail
cd "$(dirname "$0")/.."
started=$SECONDS
phase() { echo "== $1 ($((SECONDS - started)) s)"; }

arches=("$@")
[ ${#arches[@]} -gt 0 ] || arches=(x86_64 i686)

export WINEDEBUG=-all
# No Mono or Gecko: nothing here needs them, and the prefix is made without downloads.
export WINEDLLOVERRIDES="mscoree,mshtml="
# Wine takes the user locale from the host's: en-US, which the locale texts of the tests are.
export LC_ALL=C.UTF-8

build_dir() { [ "$1" = x86_64 ] && echo build-win64 || echo build-win32; }
# Wine's loader of the target's width: with 32-bit Wine installed, `wine` is the 32-bit one.
loader() { [ "$1" = x86_64 ] && echo /usr/lib/wine/wine64 || echo /usr/lib/wine/wine; }
runs_here() { "$(loader "$1")" --version >/dev/null 2>&1; }

# Wine's drive Z: is the root of the file system.
windows_path() { local path; path=$(realpath "$1"); printf 'Z:%s' "${path//\//\\}"; }

# suite ARCH: a new prefix, the registrations, the tests; its log in BUILD/wine-suite.log.
suite() {
    local arch=$1 build wine status=0
    build=$(build_dir "$arch")
    wine=$(loader "$arch")
    export WINEPREFIX="$PWD/$build/wineprefix"
    export WINEARCH=win32
    [ "$arch" = x86_64 ] && WINEARCH=win64
    wineserver -k 2>/dev/null || true
    rm -rf "$WINEPREFIX"
    "$wine" wineboot -i
    local objdump=$arch-w64-mingw32-objdump
    for listing in "$build"/windows-modules/*.path; do
        [ -e "$listing" ] || continue
        local module
        module=$(cat "$listing")
        # grep reads the whole listing: with -q objdump may die of SIGPIPE and fail the pipe.
        "$objdump" -p "$module" | grep '\bDllRegisterServer\b' >/dev/null || continue
        for flags in "/s" "/s /u"; do
            # shellcheck disable=SC2086
            if "$wine" regsvr32 $flags "$(windows_path "$module")"; then
                echo "$(basename "$module") ($arch): regsvr32 $flags ok"
            else
                echo "$(basename "$module") ($arch): regsvr32 $flags FAILED" >&2
                status=1
            fi
        done
    done
    ctest --test-dir "$build" --output-on-failure || status=1
    wineserver -w
    return $status
}

status=0
run=()
for arch in "${arches[@]}"; do
    case "$arch" in
        x86_64 | i686) ;;
        *) echo "usage: $0 [x86_64|i686]..." >&2; exit 2 ;;
    esac
    phase "$arch build"
    bash scripts/build-windows.sh "$arch" || { status=1; continue; }
    if runs_here "$arch"; then
        run+=("$arch")
    else
        echo "$arch: built; no suite run, for $(loader "$arch") does not start here" \
             "(32-bit Wine needs the package wine32:i386 and a kernel that runs 32-bit programs)"
    fi
done

phase "suites: ${run[*]:-none}"
pids=()
for arch in "${run[@]}"; do
    log="$(build_dir "$arch")/wine-suite.log"
    suite "$arch" >"$log" 2>&1 &
    pids+=($!)
done
for i in "${!pids[@]}"; do
    arch=${run[$i]}
    if wait "${pids[$i]}"; then result=passed; else result=FAILED; status=1; fi
    echo "---- $arch suite: $result"
    cat "$(build_dir "$arch")/wine-suite.log"
done

phase "done, status $status"
exit "$status"
