// The frei0r transition as a video tool sees it: loaded with dlopen, described by its info
// calls, driven through f0r_update2; its pixels checked against the embedded transition given
// the values the documented mapping yields.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "frei0r/mixer.h"
#include "frei0r/param_mapping.h"
#include "params/param_table.h"
#include "simhost/embedded_transition.h"

extern "C" {
#include <frei0r.h>
}

namespace {

struct Module {
    void* handle = dlopen(ZX_FREI0R_MIXER, RTLD_NOW | RTLD_LOCAL);
    template <typename Fn>
    Fn get(const char* name) const {
        return handle ? reinterpret_cast<Fn>(dlsym(handle, name)) : nullptr;
    }
    decltype(&f0r_init) init = get<decltype(&f0r_init)>("f0r_init");
    decltype(&f0r_get_plugin_info) plugin_info =
        get<decltype(&f0r_get_plugin_info)>("f0r_get_plugin_info");
    decltype(&f0r_get_param_info) param_info =
        get<decltype(&f0r_get_param_info)>("f0r_get_param_info");
    decltype(&f0r_construct) construct = get<decltype(&f0r_construct)>("f0r_construct");
    decltype(&f0r_destruct) destruct = get<decltype(&f0r_destruct)>("f0r_destruct");
    decltype(&f0r_set_param_value) set = get<decltype(&f0r_set_param_value)>("f0r_set_param_value");
    decltype(&f0r_update2) update2 = get<decltype(&f0r_update2)>("f0r_update2");
    decltype(&f0r_update) update = get<decltype(&f0r_update)>("f0r_update");
};

const Module& module() {
    static const Module m;
    return m;
}

std::vector<std::uint32_t> picture(int w, int h, int salt) {
    std::vector<std::uint32_t> px(static_cast<std::size_t>(w) * h);
    for (std::size_t i = 0; i < px.size(); ++i) {
        const std::uint32_t alpha = i % 5 == 0 ? 0u : (i % 3 == 0 ? 120u : 255u);
        px[i] = (static_cast<std::uint32_t>(i * 2654435761u + salt) & 0xFFFFFFu) | alpha << 24;
    }
    return px;
}

TEST(Frei0rMixer, DescribesATwoInputMixerWithTransitionForCompletion) {
    const Module& m = module();
    ASSERT_TRUE(m.init && m.plugin_info && m.param_info && m.construct && m.destruct && m.set &&
                m.update2 && m.update)
        << dlerror();
    ASSERT_EQ(m.init(), 1);
    f0r_plugin_info_t info{};
    m.plugin_info(&info);
    EXPECT_EQ(info.plugin_type, F0R_PLUGIN_TYPE_MIXER2);
    EXPECT_EQ(info.color_model, F0R_COLOR_MODEL_RGBA8888);
    ASSERT_EQ(info.num_params, 12);
    f0r_param_info_t p{};
    m.param_info(&p, 1);
    EXPECT_STREQ(p.name, "transition");
    EXPECT_EQ(p.type, F0R_PARAM_DOUBLE);
    EXPECT_NE(std::string(p.explanation).find("Transition: 0..1"), std::string::npos);
    m.param_info(&p, 10);
    EXPECT_STREQ(p.name, "blend_mode");
}

// Every other value mapped as the filter maps it; t = x * 100 %. Odd sizes, and the output
// written over either input as tools do.
TEST(Frei0rMixer, RendersTheTransitionOfTheMappedValues) {
    const Module& m = module();
    ASSERT_TRUE(m.construct && m.update2);
    for (const auto& [w, h] : {std::pair{330, 250}, std::pair{1, 1}, std::pair{7, 3}}) {
        const std::vector<std::uint32_t> a = picture(w, h, 1), b = picture(w, h, 2);
        f0r_instance_t instance = m.construct(static_cast<unsigned>(w), static_cast<unsigned>(h));
        ASSERT_NE(instance, nullptr);
        double split = 1, row = 0.02, blend = 2 / 6.0;
        m.set(instance, &split, 2);
        m.set(instance, &row, 3);
        m.set(instance, &blend, 10);
        simhost::embedded::Host host;
        ASSERT_EQ(host.set_value(kParamSplit, kSplitHeightColumn), simhost::embedded::Status::ok);
        ASSERT_EQ(host.set_value(kParamRow, 3), simhost::embedded::Status::ok);
        ASSERT_EQ(host.set_value(kParamBlendMode, choice_number(kParamBlendMode, "Multiply")),
                  simhost::embedded::Status::ok);
        const simhost::embedded::FrameFormat format{w, h, simhost::embedded::Depth::eight,
                                                    simhost::embedded::Channels::rgba};
        for (double x : {0.0, 0.3, 0.5, 0.77, 1.0}) {
            SCOPED_TRACE(std::to_string(w) + "x" + std::to_string(h) + " at " + std::to_string(x));
            m.set(instance, &x, 1);
            std::vector<std::uint32_t> expected(a.size());
            ASSERT_EQ(simhost::embedded::render_transition(
                          host, format, {a.data(), w * 4, b.data(), w * 4, expected.data(), w * 4},
                          x * 100),
                      simhost::embedded::Status::ok);
            std::vector<std::uint32_t> out(a.size(), 0xDEADBEEF);
            m.update2(instance, 12.5, a.data(), b.data(), nullptr, out.data());
            EXPECT_EQ(out, expected);
            std::vector<std::uint32_t> in_place = b;
            m.update2(instance, 0, a.data(), in_place.data(), nullptr, in_place.data());
            EXPECT_EQ(in_place, expected);
        }
        m.destruct(instance);
    }
}

TEST(Frei0rMixer, AFailedFrameIsInputAUnchanged) {
    const int w = 40, h = 30;
    const std::vector<std::uint32_t> a = picture(w, h, 5), b = picture(w, h, 6);
    zx::frei0r::Mixer mixer(w, h);
    mixer.values().set_number(static_cast<int>(zx::frei0r::kTransitionParam), 0.8);
    std::vector<std::uint32_t> out(a.size(), 0xDEADBEEF);
    mixer.values().set_memory_limit(0);
    mixer.update(a.data(), b.data(), out.data());
    EXPECT_EQ(out, a);
    mixer.values().set_memory_limit(SIZE_MAX);
    mixer.update(a.data(), nullptr, out.data());  // a tool with one input
    EXPECT_EQ(out, a);
    mixer.update(a.data(), b.data(), out.data());
    EXPECT_NE(out, a);
}

TEST(Frei0rMixer, RefusesAtConstructTheSizesItWillNeverRender) {
    const Module& m = module();
    for (const auto& [w, h] : {std::pair{32769u, 1u}, std::pair{1u, 40000u}, std::pair{0u, 8u}}) {
        const f0r_instance_t refused = m.construct(w, h);
        EXPECT_EQ(refused, nullptr) << w << "x" << h;
        m.destruct(refused);
    }
}

}  // namespace
