// Render throughput through the entry point, as the host calls it, beside the least work any
// render must do: one fill of the output and one copy of the input.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <string>
#include <utility>

#include "bench/bench_cases.h"
#include "entry/entry_point.h"

namespace {

using benchcase::Case;
using simhost::SimHost;
using worlds::Depth;
using worlds::World;

Case frame_of(const benchmark::State& state) {
    const bool uhd = state.range(0) != 0;
    return Case{uhd ? 3840 : 1920,
                uhd ? 2160 : 1080,
                state.range(1) == 16 ? Depth::sixteen : Depth::eight,
                kSplitRowColumn,
                50,
                benchcase::kDefaults};
}

void report(benchmark::State& state, const Case& c, bool with_params) {
    const double pixels = static_cast<double>(c.width) * c.height;
    state.counters["MPix/s"] = benchmark::Counter(
        pixels / 1e6 * static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
    state.SetLabel(with_params ? c.label()
                               : std::to_string(c.width) + "x" + std::to_string(c.height) +
                                     (c.depth == Depth::sixteen ? " 16-bit" : " 8-bit"));
}

// The least work any render must do: one fill of the output and one copy of the input.
void fill_and_copy(SimHost& host) {
    PF_InData& in = host.in_data();
    const PF_Pixel clear{0, 0, 0, 0};
    in.utils->fill(in.effect_ref, &clear, nullptr, host.output().def());
    in.utils->copy(in.effect_ref, host.input().def(), host.output().def(), nullptr, nullptr);
}

// Best of a few timed baseline runs, in seconds.
double baseline_seconds(SimHost& host) {
    double best = 1e9;
    for (int i = 0; i < 9; ++i) {
        const auto start = std::chrono::steady_clock::now();
        fill_and_copy(host);
        best = std::min(
            best, std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    }
    return best;
}

// Arguments: 0 full HD / 1 UHD, depth, Split, Completion percent, variant.
void BM_Render(benchmark::State& state) {
    Case c = frame_of(state);
    c.split = static_cast<int>(state.range(2));
    c.completion = static_cast<int>(state.range(3));
    c.variant = static_cast<int>(state.range(4));
    SimHost host(&EntryPointFunc);
    benchcase::prepare(host, c);
    const double baseline = baseline_seconds(host);
    double best_render = 1e9;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        if (host.send(PF_Cmd_RENDER) != PF_Err_NONE) {
            state.SkipWithError("render failed");
            break;
        }
        benchmark::DoNotOptimize(host.output().def()->data);
        best_render = std::min(
            best_render,
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    }
    report(state, c, true);
    // Best render over best baseline: how many baselines one render costs.
    state.counters["x_baseline"] = best_render / baseline;
}

void BM_FillAndCopyBaseline(benchmark::State& state) {
    const Case c = frame_of(state);
    SimHost host(&EntryPointFunc);
    benchcase::prepare(host, c);
    for (auto _ : state) {
        fill_and_copy(host);
        benchmark::DoNotOptimize(host.output().def()->data);
    }
    report(state, c, false);
}

// The least work of drawing a frame in blocks: the host's fill, then every block's rows
// copied with memcpy to the same place, block after block; no effect code at all. What the
// memory system gives for this pattern bounds what a render that moves blocks can reach.
// Arguments: 0 full HD / 1 UHD, depth, block columns, block rows.
void BM_BlockCopyFloor(benchmark::State& state) {
    const Case c = frame_of(state);
    const auto columns = static_cast<A_long>(state.range(2));
    const auto rows = static_cast<A_long>(state.range(3));
    SimHost host(&EntryPointFunc);
    benchcase::prepare(host, c);
    const double baseline = baseline_seconds(host);
    const PF_EffectWorld* in = host.input().def();
    const PF_EffectWorld* out = host.output().def();
    const std::size_t pixel = c.depth == Depth::sixteen ? 8 : 4;
    PF_InData& in_data = host.in_data();
    const PF_Pixel clear{0, 0, 0, 0};
    double best = 1e9;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        in_data.utils->fill(in_data.effect_ref, &clear, nullptr, host.output().def());
        for (A_long by = 0; by < rows; ++by) {
            for (A_long bx = 0; bx < columns; ++bx) {
                const A_long x0 = c.width * bx / columns, x1 = c.width * (bx + 1) / columns;
                const A_long y0 = c.height * by / rows, y1 = c.height * (by + 1) / rows;
                for (A_long y = y0; y < y1; ++y) {
                    std::memcpy(
                        reinterpret_cast<char*>(out->data) + y * out->rowbytes + x0 * pixel,
                        reinterpret_cast<const char*>(in->data) + y * in->rowbytes + x0 * pixel,
                        static_cast<std::size_t>(x1 - x0) * pixel);
                }
            }
        }
        benchmark::DoNotOptimize(out->data);
        best = std::min(
            best, std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    }
    report(state, c, false);
    state.counters["x_baseline"] = best / baseline;
}

void floor_args(benchmark::internal::Benchmark* b) {
    for (int uhd : {0, 1}) {
        for (int depth : {8, 16}) {
            // The shapes of the benchmark's renders: the default grid, "Row & Width" (strips
            // about 50 pixels wide in rows of six), "Height & Column" (eight columns of pieces
            // about 50 pixels tall).
            for (auto [columns, rows] : {std::pair{8, 6}, {uhd ? 76 : 37, 6}, {8, uhd ? 42 : 20}}) {
                b->Args({uhd, depth, columns, rows});
            }
        }
    }
}

void render_args(benchmark::internal::Benchmark* b) {
    for (int uhd : {0, 1}) {
        for (int depth : {8, 16}) {
            for (int split : {kSplitRowColumn, kSplitRowWidth, kSplitHeightColumn}) {
                for (int completion : {25, 50, 75, 100}) {
                    for (int variant = 0; variant < benchcase::kVariantCount; ++variant) {
                        b->Args({uhd, depth, split, completion, variant});
                    }
                }
            }
        }
    }
}

void baseline_args(benchmark::internal::Benchmark* b) {
    for (int uhd : {0, 1}) {
        for (int depth : {8, 16}) b->Args({uhd, depth});
    }
}

}  // namespace

BENCHMARK(BM_FillAndCopyBaseline)->Apply(baseline_args)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BlockCopyFloor)
    ->ArgNames({"uhd", "depth", "columns", "rows"})
    ->Apply(floor_args)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Render)
    ->ArgNames({"uhd", "depth", "split", "completion", "variant"})
    ->Apply(render_args)
    ->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
