#!/usr/bin/env bash
# Puts one platform's OpenFX bundle together in DIST/ofx-PLATFORM/ with its install note, and
# zips the two as DIST/VarnokZentrilox-1.0-ofx-PLATFORM.zip. The bundle's Info.plist and icon
# come from the native build, the binary from the platform's build.
#
#   usage: package-ofx.sh linux-x86-64|win64 BUILD_DIR NATIVE_BUILD_DIR DIST
set -euo pipefail
[ $# -eq 4 ] || { echo "usage: $0 linux-x86-64|win64 BUILD_DIR NATIVE_BUILD_DIR DIST" >&2; exit 2; }
platform=$1 build=$2 native=$3 dist=$4
case $platform in
    linux-x86-64) arch=Linux-x86-64 ;;
    win64) arch=Win64 ;;
    *) echo "package-ofx.sh: platform must be linux-x86-64 or win64, not '$platform'" >&2; exit 2 ;;
esac
bundle=VarnokZentrilox.ofx.bundle
binary=$build/$bundle/Contents/$arch/VarnokZentrilox.ofx
for f in "$binary" "$native/$bundle/Contents/Info.plist"; do
    [ -f "$f" ] || { echo "package-ofx.sh: no $f" >&2; exit 1; }
done
icons=("$native/$bundle/Contents/Resources/"*.png)
[ -f "${icons[0]}" ] || { echo "package-ofx.sh: no icon in $native/$bundle/Contents/Resources" >&2; exit 1; }

out=$dist/ofx-$platform
rm -rf "$out"
mkdir -p "$out/$bundle/Contents/$arch" "$out/$bundle/Contents/Resources"
cp "$binary" "$out/$bundle/Contents/$arch/"
# The native build keeps debug information; the package does not need it.
[ "$platform" = win64 ] || strip --strip-unneeded "$out/$bundle/Contents/$arch/VarnokZentrilox.ofx"
cp "$native/$bundle/Contents/Info.plist" "$out/$bundle/Contents/"
cp "${icons[@]}" "$out/$bundle/Contents/Resources/"
cp "$(dirname "$0")/../resources/INSTALL-OFX.txt" "$out/INSTALL.txt"
zip_name=VarnokZentrilox-1.0-ofx-$platform.zip
rm -f "$dist/$zip_name"
(cd "$out" && zip -q -X -r "../$zip_name" "$bundle" INSTALL.txt)
