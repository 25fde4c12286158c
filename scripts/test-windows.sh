#!/usr/bin/env bash
# Builds VarnokZentrilox.aex and the Windows test program for both widths with the mingw-w64
# toolchains, checks each module's format, exports and imports, and runs each test program
# under Wine against the native build's outcomes. For win64 it does the same with the OpenFX
# bundle's Windows binary and the OpenFX test host.
#
#   usage: test-windows.sh [win32|win64]...   (default: both)
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=$(nproc)
widths=("$@")
[ ${#widths[@]} -gt 0 ] || widths=(win32 win64)

fail() { echo "test-windows: $*" >&2; exit 1; }

# check_image IMAGE EXPORTS: IMAGE is a $format image that exports exactly EXPORTS (names in
# order, one space apart) and imports only system DLLs.
check_image() {
    local image=$1 expected=$2 dump exports imports dll
    dump=$("$tools-objdump" -p "$image")
    grep -q "file format $format\$" <<<"$dump" || fail "$image is not a $format image"
    exports=$(awk '/Ordinal\/Name Pointer/{on=1; next} on && /^[ \t]*\[/{print $NF} on && NF == 0{on=0}' <<<"$dump" |
        paste -sd' ')
    [ "$exports" = "$expected" ] || fail "$image exports '$exports', expected '$expected'"
    imports=$(awk '/DLL Name:/{print tolower($3)}' <<<"$dump" | sort -u | paste -sd' ')
    for dll in $imports; do
        case $dll in
            kernel32.dll | msvcrt.dll | user32.dll | advapi32.dll) ;;
            *) fail "$image imports $dll, which is not a system DLL (all imports: $imports)" ;;
        esac
    done
    echo "ok   $image: $format, exports $exports, imports: $imports"
}

cmake --preset native >/dev/null
cmake --build --preset native -j"$jobs" --target zentrilox_conformance zx_ofx_host_test

for width in "${widths[@]}"; do
    case $width in
        win32) preset=mingw32 tools=i686-w64-mingw32 format=pei-i386 ;;
        win64) preset=mingw64 tools=x86_64-w64-mingw32 format=pei-x86-64 ;;
        *) fail "unknown width '$width' (win32 or win64)" ;;
    esac
    echo "== $width"
    cmake --preset "$preset"
    cmake --build --preset "$preset" -j"$jobs"

    build=build/$preset
    module=$build/VarnokZentrilox.aex
    check_image "$module" "EntryPointFunc"

    build/native/tests/zentrilox_conformance "$build/native-outcomes.txt"
    start=$SECONDS
    bash scripts/run-wine.sh --arch "$width" "$build/wineprefix" \
        "$build/tests/win/zentrilox_win_tests.exe" "$module" "$build/native-outcomes.txt"
    echo "$width Windows tests under Wine took $((SECONDS - start)) s"

    [ "$width" = win64 ] || continue
    ofx=$build/VarnokZentrilox.ofx.bundle/Contents/Win64/VarnokZentrilox.ofx
    check_image "$ofx" "OfxGetNumberOfPlugins OfxGetPlugin"
    build/native/tests/ofx/zx_ofx_host_test \
        build/native/VarnokZentrilox.ofx.bundle/Contents/Linux-x86-64/VarnokZentrilox.ofx \
        --write "$build/native-ofx-outcomes.txt"
    bash scripts/run-wine.sh --arch "$width" "$build/wineprefix" \
        "$build/tests/ofx/zx_ofx_host_test.exe" "$ofx" --expect "$build/native-ofx-outcomes.txt"
done
