#!/usr/bin/env bash
# The main job: installs what is missing, builds the native effect, the command-line renderer
# and the 32-bit Windows module, packages the module into dist/, and renders the built-in test
# card as a short animated sequence into out/testcard/.
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=$(nproc)

bash scripts/install-deps.sh

cmake --preset native
cmake --build --preset native -j"$jobs"

cmake --preset mingw32
cmake --build --preset mingw32 -j"$jobs" --target VarnokZentrilox
bash scripts/package.sh build/mingw32/VarnokZentrilox.aex dist

rm -rf out/testcard
mkdir -p out/testcard
build/native/cli/zentrilox -o out/testcard/frame_%03d.png --size 640x480 --frames 25 \
    --from 0 --to 100 --seed 7 --quiet
echo "rendered $(ls out/testcard | wc -l) frames into out/testcard/"
echo "module: dist/VarnokZentrilox.aex ($(stat -c %s dist/VarnokZentrilox.aex) bytes)"
