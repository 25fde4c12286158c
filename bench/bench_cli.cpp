// The command line's drawing of one 3840x2160 frame, without its files: on one thread, and in
// bands over two threads as the tool draws a single frame when it has threads to spare, at
// each depth. Wall time, so that the threads' work shows as the user waits for it.
#include <benchmark/benchmark.h>

#include <cstring>
#include <string>

#include "bench/in_turn.h"
#include "cli/effect_runner.h"

namespace {

using zx::cli::EffectRunner;
using zx::cli::Frame;

constexpr SampleDepth kDepths[] = {SampleDepth::byte, SampleDepth::shorts, SampleDepth::floats};

// An opaque picture of distinct pixels.
Frame picture(SampleDepth depth) {
    Frame f(3840, 2160, depth);
    const std::size_t channel = bytes_per_pixel(depth) / 4;
    for (int y = 0; y < f.height(); ++y) {
        std::uint8_t* row = f.data() + y * f.row_bytes();
        for (int x = 0; x < f.width(); ++x) {
            const unsigned v[4] = {255u, (x * 7u) & 255u, (y * 5u) & 255u, ((x + y) * 3u) & 255u};
            for (int c = 0; c < 4; ++c) {
                std::uint8_t* at = row + (4 * x + c) * channel;
                if (channel == 1) *at = static_cast<std::uint8_t>(v[c]);
                const auto s = static_cast<std::uint16_t>(v[c] * 32768u / 255u);
                if (channel == 2) std::memcpy(at, &s, 2);
                const float r = static_cast<float>(v[c]) / 255.0f;
                if (channel == 4) std::memcpy(at, &r, 4);
            }
        }
    }
    return f;
}

// Arguments: depth 0..2, threads.
void BM_CliFrame(benchmark::State& state) {
    const SampleDepth depth = kDepths[state.range(0)];
    EffectRunner runner;
    runner.set_layer(picture(depth));
    runner.set_threads(static_cast<int>(state.range(1)));
    for (auto _ : state) benchmark::DoNotOptimize(runner.render(50.0).data());
    state.SetLabel("depth " + std::to_string(bytes_per_pixel(depth) * 2) + " bits, threads " +
                   std::to_string(state.range(1)));
}

// Two threads against one, in turn on two runners (bench/in_turn.h). Argument: depth 0..2.
void BM_CliPaired(benchmark::State& state) {
    const SampleDepth depth = kDepths[state.range(0)];
    EffectRunner one, two;
    one.set_layer(picture(depth));
    two.set_layer(picture(depth));
    two.set_threads(2);
    const auto render = [](EffectRunner& runner) {
        benchmark::DoNotOptimize(runner.render(50.0).data());
        return true;
    };
    time_in_turn(
        state, [&] { return render(two); }, [&] { return render(one); });
    state.SetLabel("depth " + std::to_string(bytes_per_pixel(depth) * 2) +
                   " bits, 2 threads / 1 thread");
}

BENCHMARK(BM_CliPaired)->DenseRange(0, 2)->UseManualTime()->Unit(benchmark::kMillisecond);

BENCHMARK(BM_CliFrame)
    ->ArgsProduct({{0, 1, 2}, {1, 2}})
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
