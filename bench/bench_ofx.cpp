// The OpenFX plug-in in the project's own test host, beside the tests' own baseline plug-in
// (bench/ofx_baseline_plugin.cpp): the filter against a pass-through, the transition against a
// cross-fade, at each depth, 1920x1080 and 3840x2160, straight and premultiplied clips, on one
// thread and on the host's threads. A case's last argument picks the effect (0) or the baseline
// (1): the two lines of a case give the effect's time over the baseline's.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "tests/ofx/ofx_host.h"

namespace {

using zx::ofxtest::Effect;
using zx::ofxtest::Host;
using zx::ofxtest::TestImage;

const char* const kDepths[] = {kOfxBitDepthByte, kOfxBitDepthShort, kOfxBitDepthFloat};

// An opaque picture of distinct pixels, rows bottom-up and tightly packed.
std::shared_ptr<TestImage> picture(int w, int h, int depth, bool premultiplied, bool blank) {
    auto img = std::make_shared<TestImage>();
    img->depth = kDepths[depth];
    if (premultiplied) img->premultiplication = kOfxImagePreMultiplied;
    const int bpp = depth == 0 ? 4 : depth == 1 ? 8 : 16;
    img->row_bytes = w * bpp;
    img->bounds = {0, 0, w, h};
    img->storage.assign(static_cast<std::size_t>(img->row_bytes) * h, 0);
    img->data = img->storage.data();
    if (blank) return img;
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            const unsigned v[4] = {(x * 7u) & 255u, (y * 5u) & 255u, ((x + y) * 3u) & 255u, 255u};
            std::uint8_t* p = img->data + static_cast<std::size_t>(y) * img->row_bytes + x * bpp;
            for (int c = 0; c < 4; ++c) {
                if (depth == 0) {
                    p[c] = static_cast<std::uint8_t>(v[c]);
                } else if (depth == 1) {
                    const auto s = static_cast<std::uint16_t>(v[c] * 257u);
                    std::memcpy(p + 2 * c, &s, 2);
                } else {
                    const float f = static_cast<float>(v[c]) / 255.0f;
                    std::memcpy(p + 4 * c, &f, 4);
                }
            }
        }
    }
    return img;
}

// Arguments: 0 full HD / 1 UHD, depth 0..2, 0 filter / 1 transition, premultiplied, threads,
// 0 the effect / 1 the baseline.
void BM_Ofx(benchmark::State& state) {
    const bool uhd = state.range(0) != 0;
    const int w = uhd ? 3840 : 1920, h = uhd ? 2160 : 1080;
    const auto depth = static_cast<int>(state.range(1));
    const bool transition = state.range(2) != 0;
    const bool premultiplied = state.range(3) != 0;
    zx::ofxtest::set_host_threads(static_cast<unsigned>(state.range(4)));
    const bool baseline = state.range(5) != 0;
    // ZX_OFX_EFFECT in the environment names another build of the effect, to compare with.
    const char* other = std::getenv("ZX_OFX_EFFECT");
    Host host;
    if (!host.load(baseline ? ZX_OFX_BASELINE : other != nullptr ? other : ZX_OFX_EFFECT)) {
        state.SkipWithError("the plug-in did not load");
        return;
    }
    Effect* inst = host.create_instance(transition ? kOfxImageEffectContextTransition
                                                   : kOfxImageEffectContextFilter);
    if (inst == nullptr) {
        state.SkipWithError("no instance");
        return;
    }
    if (transition) {
        inst->clip(kOfxImageEffectTransitionSourceFromClipName)->image =
            picture(w, h, depth, premultiplied, false);
        inst->clip(kOfxImageEffectTransitionSourceToClipName)->image =
            picture(w, h, depth, premultiplied, false);
        inst->param(kOfxImageEffectTransitionParamName)->value = {0.3};
    } else {
        inst->clip(kOfxImageEffectSimpleSourceClipName)->image =
            picture(w, h, depth, premultiplied, false);
        if (!baseline) inst->param("completion")->value = {50.0};
    }
    inst->clip(kOfxImageEffectOutputClipName)->image = picture(w, h, depth, premultiplied, true);
    for (auto _ : state) {
        if (host.render(inst, 0, {0, 0, w, h}) != kOfxStatOK) {
            state.SkipWithError("render failed");
            break;
        }
    }
    state.SetLabel(std::string(baseline ? "baseline " : "effect ") +
                   (transition ? "transition " : "filter ") + kDepths[depth] +
                   (premultiplied ? " premultiplied" : "") + " threads " +
                   std::to_string(state.range(4)));
}

void Cases(benchmark::internal::Benchmark* b) {
    for (int uhd : {0, 1}) {
        for (int depth : {0, 1, 2}) {
            for (int transition : {0, 1}) {
                for (int baseline : {0, 1}) {
                    b->Args({uhd, depth, transition, 0, 1, baseline});
                }
            }
            b->Args({uhd, depth, 0, 1, 1, 0});
        }
    }
    // The host's threads: a 4K render on two.
    for (int depth : {0, 1, 2}) b->Args({1, depth, 0, 0, 2, 0});
}

BENCHMARK(BM_Ofx)->Apply(Cases)->Unit(benchmark::kMillisecond)->MinTime(0.5);

}  // namespace

BENCHMARK_MAIN();
