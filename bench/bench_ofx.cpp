// The OpenFX plug-in in the project's own test host, beside the tests' own baseline plug-in
// (bench/ofx_baseline_plugin.cpp): the filter against a pass-through, the transition against a
// cross-fade, at each depth, 1920x1080 and 3840x2160, straight and premultiplied clips, on one
// thread and on the host's threads. A case's last argument picks the effect (0) or the baseline
// (1): the two lines of a case give the effect's time over the baseline's. BM_OfxPaired times
// the two in turn and reports their ratio, which a shared machine's drift leaves alone.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "bench/in_turn.h"
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

// A render case set up in a host: its size, the plug-in's instance and its clips' pictures.
struct Setup {
    int w = 0, h = 0;
    Host host;
    Effect* inst = nullptr;
};

// Loads the effect (or the baseline) and gives its instance the case's pictures; `shared`,
// where given, are the source and output pictures of another setup, used instead of new ones.
bool set_up(Setup& s, benchmark::State& state, bool baseline, const Setup* shared = nullptr) {
    const bool uhd = state.range(0) != 0;
    s.w = uhd ? 3840 : 1920;
    s.h = uhd ? 2160 : 1080;
    const auto depth = static_cast<int>(state.range(1));
    const bool transition = state.range(2) != 0;
    const bool premultiplied = state.range(3) != 0;
    // ZX_OFX_EFFECT in the environment names another build of the effect, to compare with.
    const char* other = std::getenv("ZX_OFX_EFFECT");
    if (!s.host.load(baseline ? ZX_OFX_BASELINE : other != nullptr ? other : ZX_OFX_EFFECT)) {
        state.SkipWithError("the plug-in did not load");
        return false;
    }
    s.inst = s.host.create_instance(transition ? kOfxImageEffectContextTransition
                                               : kOfxImageEffectContextFilter);
    if (s.inst == nullptr) {
        state.SkipWithError("no instance");
        return false;
    }
    const auto clip_picture = [&](const char* clip, bool blank) {
        s.inst->clip(clip)->image = shared != nullptr
                                        ? shared->inst->clip(clip)->image
                                        : picture(s.w, s.h, depth, premultiplied, blank);
    };
    if (transition) {
        clip_picture(kOfxImageEffectTransitionSourceFromClipName, false);
        clip_picture(kOfxImageEffectTransitionSourceToClipName, false);
        s.inst->param(kOfxImageEffectTransitionParamName)->value = {0.3};
    } else {
        clip_picture(kOfxImageEffectSimpleSourceClipName, false);
        if (!baseline) s.inst->param("completion")->value = {50.0};
    }
    clip_picture(kOfxImageEffectOutputClipName, true);
    return true;
}

std::string label(const benchmark::State& state, bool baseline) {
    return std::string(baseline ? "baseline " : "effect ") +
           (state.range(2) != 0 ? "transition " : "filter ") + kDepths[state.range(1)] +
           (state.range(3) != 0 ? " premultiplied" : "") + " threads " +
           std::to_string(state.range(4));
}

// Arguments: 0 full HD / 1 UHD, depth 0..2, 0 filter / 1 transition, premultiplied, threads,
// 0 the effect / 1 the baseline.
void BM_Ofx(benchmark::State& state) {
    zx::ofxtest::set_host_threads(static_cast<unsigned>(state.range(4)));
    const bool baseline = state.range(5) != 0;
    Setup s;
    if (!set_up(s, state, baseline)) return;
    for (auto _ : state) {
        if (s.host.render(s.inst, 0, {0, 0, s.w, s.h}) != kOfxStatOK) {
            state.SkipWithError("render failed");
            break;
        }
    }
    state.SetLabel(label(state, baseline));
}

// The effect against what its target is measured by, render for render in turn, so that both
// meet the same state of a shared machine: on one thread, the baseline on the same pictures;
// on more, the effect itself on one thread. The time is the effect's; "other_ms" the other's,
// "ratio" the effect's time over it. Arguments as BM_Ofx's first five.
void BM_OfxPaired(benchmark::State& state) {
    const auto threads = static_cast<unsigned>(state.range(4));
    Setup effect, baseline;
    if (!set_up(effect, state, false)) return;
    if (threads == 1 && !set_up(baseline, state, true, &effect)) return;
    const auto render = [&](Host& host, Effect* inst, unsigned n) {
        zx::ofxtest::set_host_threads(n);
        return host.render(inst, 0, {0, 0, effect.w, effect.h}) == kOfxStatOK;
    };
    time_in_turn(
        state, [&] { return render(effect.host, effect.inst, threads); },
        [&] {
            return threads == 1 ? render(baseline.host, baseline.inst, 1)
                                : render(effect.host, effect.inst, 1);
        });
    state.SetLabel(label(state, false) + (threads == 1 ? " / baseline" : " / 1 thread"));
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

void PairedCases(benchmark::internal::Benchmark* b) {
    for (int uhd : {0, 1}) {
        for (int depth : {0, 1, 2}) {
            for (int transition : {0, 1}) b->Args({uhd, depth, transition, 0, 1});
            b->Args({uhd, depth, 0, 1, 1});
        }
    }
    for (int depth : {0, 1, 2}) b->Args({1, depth, 0, 0, 2});
}

BENCHMARK(BM_Ofx)->Apply(Cases)->Unit(benchmark::kMillisecond)->MinTime(0.5);
BENCHMARK(BM_OfxPaired)
    ->Apply(PairedCases)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->MinTime(1.0);

}  // namespace

BENCHMARK_MAIN();
