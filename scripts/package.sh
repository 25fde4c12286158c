#!/usr/bin/env bash
# Copies the Windows module into DIST and zips it with its install note.
set -euo pipefail
module=$1
dist=$2
mkdir -p "$dist"
cp "$module" "$dist/VarnokZentrilox.aex"
cp "$(dirname "$0")/../resources/INSTALL.txt" "$dist/INSTALL.txt"
rm -f "$dist/VarnokZentrilox-1.0-win32.zip"
(cd "$dist" && zip -q -X VarnokZentrilox-1.0-win32.zip VarnokZentrilox.aex INSTALL.txt)
