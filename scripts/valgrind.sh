#!/usr/bin/env bash
# The unit tests under valgrind's memcheck: an optional check beside the sanitizer build, not
# run by CI. Uses the native build (built here if needed); extra arguments go to the tests,
# e.g. bash scripts/valgrind.sh --gtest_filter='RenderStrips*'.
set -euo pipefail
cd "$(dirname "$0")/.."
if ! command -v valgrind >/dev/null; then
    [ "$(id -u)" -eq 0 ] || { echo "valgrind.sh: valgrind is missing; install it as root" >&2; exit 1; }
    DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends valgrind
fi
cmake --preset native >/dev/null
cmake --build --preset native -j2 --target zentrilox_tests
valgrind --tool=memcheck --error-exitcode=1 --leak-check=full --errors-for-leak-kinds=definite \
    --track-origins=yes --quiet build/native/tests/zentrilox_tests "$@"
