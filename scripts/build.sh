#!/usr/bin/env bash
# The main job: installs what building needs, builds the products (the native effect, the
# command-line renderer and the frei0r filter and transition in build/native, the WebAssembly
# page in build/wasm/site, the 64-bit and 32-bit Windows modules, the OpenFX bundle for Linux
# x86-64 and Win64), packages each module and bundle into dist/, and renders the built-in test
# card as a short animated sequence into out/testcard/. The test programs are scripts/test.sh's
# to build.
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=$(nproc)

bash scripts/install-deps.sh build
version=$(cmake -P cmake/version.cmake)

cmake --preset products
cmake --build --preset products -j"$jobs"

cmake --preset wasm
cmake --build --preset wasm -j"$jobs"

rm -rf dist
for width in win64 win32; do
    preset=mingw${width#win}
    cmake --preset "$preset"
    targets=(VarnokZentrilox)
    [ "$width" = win64 ] && targets+=(zentrilox_ofx)
    cmake --build --preset "$preset" -j"$jobs" --target "${targets[@]}"
    bash scripts/package.sh "$width" "build/$preset/VarnokZentrilox.aex" dist
done
bash scripts/package-ofx.sh linux-x86-64 build/native build/native dist
bash scripts/package-ofx.sh win64 build/mingw64 build/native dist

rm -rf out/testcard
mkdir -p out/testcard
build/native/cli/zentrilox -o out/testcard/frame_%03d.png --size 640x480 --frames 25 \
    --from 0 --to 100 --seed 7 --quiet
echo "rendered $(ls out/testcard | wc -l) frames into out/testcard/"
echo "frei0r filter and transition: build/native/frei0r/zentrilox.so, zentrilox_transition.so" \
    "(install: bash scripts/install-frei0r.sh)"
for width in win64 win32; do
    echo "module: dist/$width/VarnokZentrilox.aex ($(stat -c %s dist/$width/VarnokZentrilox.aex) bytes)," \
        "package: dist/VarnokZentrilox-$version-$width.zip"
done
for platform in linux-x86-64 win64; do
    echo "OpenFX bundle: dist/ofx-$platform/VarnokZentrilox.ofx.bundle," \
        "package: dist/VarnokZentrilox-$version-ofx-$platform.zip"
done
echo "page: build/wasm/site (open it with: python3 -m http.server -d build/wasm/site, then http://localhost:8000/)"
