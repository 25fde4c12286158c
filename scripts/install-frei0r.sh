#!/usr/bin/env bash
# Installs the frei0r filter (zentrilox.so) and transition (zentrilox_transition.so) where
# ffmpeg, melt, GStreamer and the MLT editors look for them.
#   bash scripts/install-frei0r.sh            # into ~/.frei0r-1/lib
#   bash scripts/install-frei0r.sh DIR        # into DIR; then run the tool with FREI0R_PATH=DIR
# Build first (bash scripts/build.sh).
set -euo pipefail
cd "$(dirname "$0")/.."
dest=${1:-$HOME/.frei0r-1/lib}
for name in zentrilox zentrilox_transition; do
    if [ ! -f "build/native/frei0r/$name.so" ]; then
        echo "install-frei0r: build/native/frei0r/$name.so is missing; run bash scripts/build.sh first" >&2
        exit 1
    fi
done
mkdir -p "$dest"
for name in zentrilox zentrilox_transition; do
    install -m 0755 "build/native/frei0r/$name.so" "$dest/$name.so"
    echo "installed $dest/$name.so"
done
