#!/usr/bin/env bash
# Every test: the native suite with warnings as errors, the same suite under AddressSanitizer
# and UndefinedBehaviorSanitizer, the WebAssembly page in a headless browser against the native
# renderer, a bounded run of the fuzz harnesses, and the Windows module's tests under Wine.
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=$(nproc)

bash scripts/install-deps.sh test

echo "== formatting"
git ls-files '*.cpp' '*.h' | xargs clang-format --dry-run -Werror

echo "== native build and tests"
cmake --preset native
cmake --build --preset native -j"$jobs"
ctest --preset native -j"$jobs"

echo "== the WebAssembly page in a browser"
bash scripts/test-web.sh

echo "== tests under AddressSanitizer and UndefinedBehaviorSanitizer"
cmake --preset sanitize
cmake --build --preset sanitize -j"$jobs"
ctest --preset sanitize -j"$jobs"

echo "== fuzzing, a minute per harness"
bash scripts/fuzz.sh 60

echo "== Windows module under Wine"
bash scripts/test-windows.sh
