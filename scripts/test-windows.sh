#!/usr/bin/env bash
# Builds VarnokZentrilox.aex and the Windows test program with the i686 mingw-w64 toolchain,
# checks the module's exports and imports, and runs the test program under Wine against the
# native build's outcomes.
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=$(nproc)

cmake --preset native >/dev/null
cmake --build --preset native -j"$jobs" --target zentrilox_conformance
cmake --preset mingw32
cmake --build --preset mingw32 -j"$jobs"

module=build/mingw32/VarnokZentrilox.aex
dump=$(i686-w64-mingw32-objdump -p "$module")
fail() { echo "test-windows: $*" >&2; exit 1; }

grep -q "file format pei-i386" <<<"$dump" || fail "$module is not a PE32 i386 image"
exports=$(awk '/Ordinal\/Name Pointer/{on=1; next} on && /^[ \t]*\[/{print $NF} on && NF == 0{on=0}' <<<"$dump")
[ "$exports" = "EntryPointFunc" ] || fail "exports are '$exports', expected only EntryPointFunc"
imports=$(awk '/DLL Name:/{print tolower($3)}' <<<"$dump" | sort -u | tr '\n' ' ')
for dll in $imports; do
    case $dll in
        kernel32.dll | msvcrt.dll | user32.dll | advapi32.dll) ;;
        *) fail "imports $dll, which is not a system DLL (all imports: $imports)" ;;
    esac
done
echo "ok   $module: PE32 i386, one export (EntryPointFunc), imports: $imports"

build/native/tests/zentrilox_conformance build/mingw32/native-outcomes.txt
start=$SECONDS
bash scripts/run-wine.sh build/mingw32/wineprefix build/mingw32/tests/win/zentrilox_win_tests.exe \
    "$module" build/mingw32/native-outcomes.txt
echo "Windows tests under Wine took $((SECONDS - start)) s"
