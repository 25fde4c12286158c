#!/usr/bin/env bash
# Copies one width's Windows module into DIST/WIDTH with its install note, and zips the two as
# DIST/VarnokZentrilox-VERSION-WIDTH.zip, VERSION being host/effect_info.h's major.minor.
#
#   usage: package.sh win32|win64 MODULE.aex DIST
set -euo pipefail
[ $# -eq 3 ] || { echo "usage: $0 win32|win64 MODULE.aex DIST" >&2; exit 2; }
width=$1 module=$2 dist=$3
version=$(cmake -P "$(dirname "$0")/../cmake/version.cmake")
case $width in
    win32)
        edition="32-bit Windows"
        requirements="Requirements: a legacy 32-bit (x86) Windows edition of the compositing host. The module is
a 32-bit DLL and is not loaded by 64-bit hosts: every current host is 64-bit and needs the
64-bit package, VarnokZentrilox-$version-win64.zip, instead." ;;
    win64)
        edition="64-bit Windows"
        requirements="Requirements: a 64-bit (x64) Windows edition of the compositing host: every current host
is one. The module is a 64-bit DLL; legacy 32-bit hosts do not load it and need the 32-bit
package, VarnokZentrilox-$version-win32.zip, instead." ;;
    *) echo "package.sh: width must be win32 or win64, not '$width'" >&2; exit 2 ;;
esac
[ -f "$module" ] || { echo "package.sh: no module at $module" >&2; exit 1; }

title="VarnokZentrilox $version for $edition - block shuffle transition effect"
zip_name=VarnokZentrilox-$version-$width.zip
mkdir -p "$dist/$width"
cp "$module" "$dist/$width/VarnokZentrilox.aex"
TITLE=$title UNDERLINE=${title//?/=} REQUIREMENTS=$requirements awk '
    /^@TITLE@$/ { print ENVIRON["TITLE"]; next }
    /^@UNDERLINE@$/ { print ENVIRON["UNDERLINE"]; next }
    /^@REQUIREMENTS@$/ { print ENVIRON["REQUIREMENTS"]; next }
    { print }' "$(dirname "$0")/../resources/INSTALL.txt.in" >"$dist/$width/INSTALL.txt"
if grep -q @ "$dist/$width/INSTALL.txt"; then
    echo "package.sh: a placeholder is left in INSTALL.txt" >&2
    exit 1
fi
rm -f "$dist/$zip_name"
(cd "$dist/$width" && zip -q -X "../$zip_name" VarnokZentrilox.aex INSTALL.txt)
