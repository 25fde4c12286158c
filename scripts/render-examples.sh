#!/usr/bin/env bash
# Renders the README's example strips: the built-in test card at Completion 0, 25, 50, 75 and
# 100 % for each Split, joined side by side into one PNG per Split.
#
# usage: scripts/render-examples.sh BUILD_DIR OUT_DIR
#   BUILD_DIR  a build folder holding cli/zentrilox and cli/zx_montage (e.g. build/native)
#   OUT_DIR    where row-column.png, row-width.png and height-column.png go
set -euo pipefail

if [[ $# -ne 2 ]]; then
    echo "usage: $0 BUILD_DIR OUT_DIR" >&2
    exit 2
fi
build=$1
out=$2
tool="$build/cli/zentrilox"
montage="$build/cli/zx_montage"
for exe in "$tool" "$montage"; do
    if [[ ! -x $exe ]]; then
        echo "$0: $exe is missing; build it first (cmake --build --preset native --target zentrilox zx_montage)" >&2
        exit 1
    fi
done
mkdir -p "$out"
frames=$(mktemp -d)
trap 'rm -rf "$frames"' EXIT

# Split name, then the options that size its blocks.
examples=(
    "row-column|--rows 6 --columns 8"
    "row-width|--rows 6 --strip-width 40"
    "height-column|--columns 8 --strip-height 30"
)
for example in "${examples[@]}"; do
    split=${example%%|*}
    read -r -a sizing <<<"${example#*|}"
    # Five frames from 0 to 100 % are exactly 0, 25, 50, 75 and 100 %.
    "$tool" --quiet --size 320x240 --seed 7 --split "$split" "${sizing[@]}" \
        --frames 5 --from 0 --to 100 -o "$frames/$split-%d.png"
    "$montage" --labels "0%,25%,50%,75%,100%" -o "$out/$split.png" \
        "$frames/$split-0.png" "$frames/$split-1.png" "$frames/$split-2.png" \
        "$frames/$split-3.png" "$frames/$split-4.png"
    echo "wrote $out/$split.png"
done
