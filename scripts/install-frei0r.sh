#!/usr/bin/env bash
# Installs the frei0r filter where ffmpeg, melt and the MLT editors look for it.
#   bash scripts/install-frei0r.sh            # into ~/.frei0r-1/lib
#   bash scripts/install-frei0r.sh DIR        # into DIR; then run the tool with FREI0R_PATH=DIR
# Build first (bash scripts/build.sh).
set -euo pipefail
cd "$(dirname "$0")/.."
plugin=build/native/frei0r/zentrilox.so
if [ ! -f "$plugin" ]; then
    echo "install-frei0r: $plugin is missing; run bash scripts/build.sh first" >&2
    exit 1
fi
dest=${1:-$HOME/.frei0r-1/lib}
mkdir -p "$dest"
install -m 0755 "$plugin" "$dest/zentrilox.so"
echo "installed $dest/zentrilox.so"
