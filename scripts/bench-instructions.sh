#!/usr/bin/env bash
# Instructions per output pixel for a fixed set of renders, counted by callgrind: a figure that
# stays the same from run to run on a shared machine, unlike times. Only the Render call is
# counted (the host's fill and copy included), not the set-up.
#
#   usage: scripts/bench-instructions.sh [BUILD_DIR] [WIDTHxHEIGHT]
#     BUILD_DIR     a native build with bench/zentrilox_render_once (default build/native)
#     WIDTHxHEIGHT  frame size (default 1920x1080)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/native}
size=${2:-1920x1080}
width=${size%x*}
height=${size#*x}
driver=$build/bench/zentrilox_render_once
if [[ ! -x $driver ]]; then
    echo "$0: $driver is missing; build it: cmake --build --preset native --target zentrilox_render_once" >&2
    exit 1
fi
command -v valgrind >/dev/null || { echo "$0: valgrind is missing (Debian package valgrind)" >&2; exit 1; }
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT

# split completion variant (0 defaults, 1 Overlap Mode Color, 2 Multiply at 50 %,
# 3 Normal at 70 %, 4 transparent and semi-transparent footage)
cases=(
    "1 25 0" "1 50 0" "1 75 0" "1 100 0"
    "2 50 0" "2 100 0" "3 50 0" "3 100 0"
    "1 50 1" "1 50 2" "1 50 3" "1 50 4"
    "2 50 2" "3 50 4"
)
printf '%-52s %14s %10s\n' "case" "instructions" "per pixel"
for depth in 8 16; do
    for c in "${cases[@]}"; do
        read -r split completion variant <<<"$c"
        file=$out/cg.out
        label=$(valgrind --tool=callgrind --toggle-collect=render_counted \
            --callgrind-out-file="$file" "$driver" "$width" "$height" "$depth" "$split" \
            "$completion" "$variant" 2>/dev/null)
        total=$(sed -n 's/^summary: //p' "$file")
        printf '%-52s %14s %10.2f\n' "$label" "$total" \
            "$(awk -v t="$total" -v p="$((width * height))" 'BEGIN { print t / p }')"
    done
done
