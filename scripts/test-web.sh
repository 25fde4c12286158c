#!/usr/bin/env bash
# The page in a real browser: builds the WebAssembly preset, installs the test's npm packages
# from its lock file and drives the page in Debian's chromium against the native build's
# renderer (build/native must be built). Every request off this machine is refused by the test.
#
#   usage: scripts/test-web.sh [SCREENSHOT.png]   (default build/wasm/page.png)
set -euo pipefail
cd "$(dirname "$0")/.."
shot=$(realpath -m "${1:-build/wasm/page.png}")

cmake --preset wasm >/dev/null
cmake --build --preset wasm -j"$(nproc)"
(cd tests/web && npm ci --no-audit --no-fund --loglevel=error)
cd tests/web
ZX_SCREENSHOT=$shot timeout 300 node --test --test-timeout=240000 browser.test.mjs
echo "screenshot: $shot"
