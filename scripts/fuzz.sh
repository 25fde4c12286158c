#!/usr/bin/env bash
# Runs the libFuzzer harnesses of fuzz/ for a while each, from the seed corpus in the repo.
#
#   bash scripts/fuzz.sh                  # 60 seconds per harness (what scripts/test.sh runs)
#   bash scripts/fuzz.sh 3600             # an hour each
#   bash scripts/fuzz.sh 600 fuzz_render  # one harness
#
# What a run finds stays in build/fuzz/corpus/<harness> and is used again by the next run; the
# seeds in fuzz/corpus/ are only read. A crash, a leak, a sanitizer report or a run over the
# time limit stops with the failing input saved as build/fuzz/artifacts/<harness>/crash-...
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
shift || true
harnesses=("$@")
[ ${#harnesses[@]} -gt 0 ] || harnesses=(fuzz_render fuzz_png_reader)

cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -j2 --target "${harnesses[@]}"

for harness in "${harnesses[@]}"; do
    case $harness in
        fuzz_render) seeds=fuzz/corpus/render; limits=(-timeout=120 -max_len=512) ;;
        fuzz_png_reader) seeds=fuzz/corpus/png_reader; limits=(-timeout=20 -max_len=4096) ;;
        *) echo "fuzz.sh: no harness '$harness'" >&2; exit 2 ;;
    esac
    work=build/fuzz/corpus/$harness
    artifacts=build/fuzz/artifacts/$harness/
    mkdir -p "$work" "$artifacts"
    echo "== $harness for $seconds s"
    build/fuzz/fuzz/"$harness" "${limits[@]}" -max_total_time="$seconds" -print_final_stats=1 \
        -artifact_prefix="$artifacts" "$work" "$seeds" 2>build/fuzz/"$harness".log ||
        { tail -n 60 build/fuzz/"$harness".log; exit 1; }
    grep -E '^#[0-9]+[[:space:]]+DONE|^stat::' build/fuzz/"$harness".log
done
