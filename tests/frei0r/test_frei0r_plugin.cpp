// The frei0r filter as a video tool sees it: loaded with dlopen, described by its info calls,
// driven through f0r_update; its pixels checked against the embedded host given the values
// the documented mapping yields.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "frei0r/filter.h"
#include "frei0r/param_mapping.h"
#include "params/param_table.h"
#include "simhost/embedded_host.h"

extern "C" {
#include <frei0r.h>
}

namespace {

using zx::frei0r::kParams;
using zx::frei0r::kUserParamCount;

struct Plugin {
    void* module = nullptr;
    decltype(&f0r_init) init = nullptr;
    decltype(&f0r_get_plugin_info) plugin_info = nullptr;
    decltype(&f0r_get_param_info) param_info = nullptr;
    decltype(&f0r_construct) construct = nullptr;
    decltype(&f0r_destruct) destruct = nullptr;
    decltype(&f0r_set_param_value) set = nullptr;
    decltype(&f0r_get_param_value) get = nullptr;
    decltype(&f0r_update) update = nullptr;

    Plugin() {
        module = dlopen(ZX_FREI0R_PLUGIN, RTLD_NOW | RTLD_LOCAL);
        if (module == nullptr) return;
        load(init, "f0r_init");
        load(plugin_info, "f0r_get_plugin_info");
        load(param_info, "f0r_get_param_info");
        load(construct, "f0r_construct");
        load(destruct, "f0r_destruct");
        load(set, "f0r_set_param_value");
        load(get, "f0r_get_param_value");
        load(update, "f0r_update");
    }
    ~Plugin() {
        if (module != nullptr) dlclose(module);
    }
    template <typename Fn>
    void load(Fn& fn, const char* name) {
        fn = reinterpret_cast<Fn>(dlsym(module, name));
    }
    bool complete() const {
        return init && plugin_info && param_info && construct && destruct && set && get && update;
    }
};

Plugin& plugin() {
    static Plugin p;
    return p;
}

int param_number(std::string_view short_name) {
    for (std::size_t i = 0; i < kUserParamCount; ++i) {
        if (param_entry(kParams[i]).short_name == short_name) return static_cast<int>(i);
    }
    ADD_FAILURE() << "no parameter " << short_name;
    return -1;
}

// RGBA8888 with transparent and half-transparent pixels.
std::vector<std::uint32_t> picture(int w, int h, int salt) {
    std::vector<std::uint32_t> px(static_cast<std::size_t>(w) * h);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            const std::uint8_t a = (x + 2 * y) % 7 == 3 ? 0 : (x < w / 4 ? 100 : 255);
            const std::uint8_t bytes[4] = {static_cast<std::uint8_t>(x * 9 + salt),
                                           static_cast<std::uint8_t>(y * 13),
                                           static_cast<std::uint8_t>(x ^ y), a};
            std::memcpy(&px[static_cast<std::size_t>(y) * w + x], bytes, 4);
        }
    }
    return px;
}

class Instance {
  public:
    Instance(unsigned w, unsigned h) : handle_(plugin().construct(w, h)) {}
    ~Instance() { plugin().destruct(handle_); }
    Instance(const Instance&) = delete;
    Instance& operator=(const Instance&) = delete;
    void set(std::string_view name, double x) { plugin().set(handle_, &x, param_number(name)); }
    void set_color(f0r_param_color_t c) { plugin().set(handle_, &c, param_number("color")); }
    double get(std::string_view name) {
        double x = -1;
        plugin().get(handle_, &x, param_number(name));
        return x;
    }
    std::vector<std::uint32_t> update(const std::vector<std::uint32_t>& in, double time = 0) {
        std::vector<std::uint32_t> out(in.size(), 0xDEADBEEF);
        plugin().update(handle_, time, in.data(), out.data());
        return out;
    }
    f0r_instance_t handle() { return handle_; }

  private:
    f0r_instance_t handle_;
};

// What the embedded host renders for effect values given directly.
std::vector<std::uint32_t> embedded(const std::vector<std::uint32_t>& in, int w, int h,
                                    std::initializer_list<std::pair<ParamIndex, double>> values,
                                    PF_Pixel color = {255, 255, 0, 0}) {
    simhost::embedded::Host host;
    for (const auto& [index, v] : values)
        EXPECT_EQ(host.set_value(index, v), simhost::embedded::Status::ok);
    EXPECT_EQ(host.set_color(kParamColor, color), simhost::embedded::Status::ok);
    std::vector<std::uint32_t> out(in.size());
    EXPECT_EQ(
        host.render({w, h, simhost::embedded::Depth::eight, simhost::embedded::Channels::rgba},
                    in.data(), w * 4, out.data(), w * 4),
        simhost::embedded::Status::ok);
    return out;
}

TEST(Frei0rPlugin, DescribesAFilterWithTheTablesTwelveParameters) {
    ASSERT_TRUE(plugin().complete()) << dlerror();
    ASSERT_EQ(plugin().init(), 1);
    f0r_plugin_info_t info{};
    plugin().plugin_info(&info);
    EXPECT_EQ(info.plugin_type, F0R_PLUGIN_TYPE_FILTER);
    EXPECT_EQ(info.color_model, F0R_COLOR_MODEL_RGBA8888);
    EXPECT_EQ(info.frei0r_version, FREI0R_MAJOR_VERSION);
    ASSERT_EQ(info.num_params, 12);
    std::vector<std::string> names;
    for (int i = 0; i < info.num_params; ++i) {
        f0r_param_info_t p{};
        plugin().param_info(&p, i);
        names.emplace_back(p.name);
        EXPECT_EQ(p.type, names.back() == "color" ? F0R_PARAM_COLOR : F0R_PARAM_DOUBLE);
        ASSERT_NE(p.explanation, nullptr);
        EXPECT_NE(std::string(p.explanation).find(param_entry(kParams[i]).name), std::string::npos);
    }
    EXPECT_EQ(names, (std::vector<std::string>{"mode", "completion", "split", "row", "strip_height",
                                               "column", "strip_width", "seed", "overlap_mode",
                                               "color", "blend_mode", "opacity"}));
    f0r_param_info_t p{};
    plugin().param_info(&p, param_number("row"));
    EXPECT_NE(std::string(p.explanation).find("1 + lround(x*99)"), std::string::npos)
        << p.explanation;
    plugin().param_info(&p, param_number("blend_mode"));
    EXPECT_NE(std::string(p.explanation).find("6 Color Burn"), std::string::npos) << p.explanation;
}

TEST(Frei0rMapping, RulesGiveTheDocumentedValues) {
    using namespace zx::frei0r;
    EXPECT_EQ(fixed_of(0.3), std::lround(30.000000000000004 * 65536));
    EXPECT_EQ(fixed_of(1.0), 100 * 65536);
    EXPECT_EQ(fixed_of(2.0), 100 * 65536);
    EXPECT_EQ(fixed_of(-1.0), 0);
    EXPECT_EQ(fixed_of(NAN), 0);
    EXPECT_EQ(slider_of(param_entry(kParamRow), 0.5), 51);  // 1 + lround(49.5)
    EXPECT_EQ(slider_of(param_entry(kParamRow), 0.0), 1);
    EXPECT_EQ(slider_of(param_entry(kParamRow), 1.0), 100);
    EXPECT_EQ(slider_of(param_entry(kParamHeight), 0.01), 14);  // 4 + lround(9.96)
    EXPECT_EQ(slider_of(param_entry(kParamSeed), 0.123), 123);
    EXPECT_EQ(choice_of(param_entry(kParamSplit), 0.24), kSplitRowColumn);
    EXPECT_EQ(choice_of(param_entry(kParamSplit), 0.26), kSplitRowWidth);
    EXPECT_EQ(choice_of(param_entry(kParamSplit), 1.0), kSplitHeightColumn);
    EXPECT_EQ(choice_of(param_entry(kParamBlendMode), 0.0),
              choice_number(kParamBlendMode, "Normal"));
    EXPECT_EQ(choice_of(param_entry(kParamBlendMode), 1 / 6.0),
              choice_number(kParamBlendMode, "Add"));
    EXPECT_EQ(choice_of(param_entry(kParamBlendMode), 0.5),
              choice_number(kParamBlendMode, "Screen"));
    EXPECT_EQ(choice_of(param_entry(kParamBlendMode), 1.0),
              choice_number(kParamBlendMode, "Color Burn"));
    EXPECT_EQ(channel_of(0.5), 128);  // lround(127.5)
    EXPECT_EQ(channel_of(51 / 255.0f), 51);
    EXPECT_EQ(channel_of(1.5), 255);
    // Each default maps back onto the effect's default.
    for (ParamIndex index : kParams) {
        const ParamEntry& p = param_entry(index);
        SCOPED_TRACE(p.name);
        if (p.type == ParamType::slider) {
            EXPECT_EQ(slider_of(p, default_of(p)), p.dephault);
        }
        if (p.type == ParamType::popup) {
            EXPECT_EQ(choice_of(p, default_of(p)), p.dephault);
        }
        if (p.type == ParamType::percent) {
            EXPECT_EQ(fixed_of(default_of(p)), p.dephault * 65536);
        }
    }
}

TEST(Frei0rPlugin, RendersWhatTheMappedValuesRender) {
    ASSERT_TRUE(plugin().complete());
    for (const auto& [w, h] : {std::pair{13, 9}, std::pair{1, 1}, std::pair{330, 250}}) {
        SCOPED_TRACE(std::to_string(w) + "x" + std::to_string(h));
        const std::vector<std::uint32_t> in = picture(w, h, 3);
        Instance f(static_cast<unsigned>(w), static_cast<unsigned>(h));
        // Unset parameters are the effect's defaults, Completion 0 among them.
        EXPECT_EQ(f.get("row"), zx::frei0r::default_of(param_entry(kParamRow)));
        EXPECT_EQ(f.update(in), in);
        f.set("completion", 0.35);
        f.set("split", 0.5);
        f.set("row", 0.03);
        f.set("strip_width", 0.01);
        f.set("overlap_mode", 1);
        f.set_color({0.2f, 0.6f, 0.8f});
        f.set("blend_mode", 0.5);
        f.set("opacity", 0.8);
        f.set("seed", 0.5);
        const std::vector<std::uint32_t> expected =
            embedded(in, w, h,
                     {{kParamCompletion, 35.0},
                      {kParamSplit, kSplitRowWidth},
                      {kParamRow, 4},
                      {kParamWidth, 14},
                      {kParamOverlapMode, kOverlapColor},
                      {kParamBlendMode, choice_number(kParamBlendMode, "Screen")},
                      {kParamOpacity, 80},
                      {kParamSeed, 500}},
                     PF_Pixel{255, 51, 153, 204});
        EXPECT_EQ(f.update(in), expected);
        EXPECT_EQ(f.get("completion"), 0.35);
    }
}

TEST(Frei0rPlugin, RefusesAtConstructTheSizesItWillNeverRender) {
    for (const auto& [w, h] : {std::pair{32769u, 1u}, std::pair{1u, 40000u},
                               std::pair{65536u, 65536u}, std::pair{0u, 8u}, std::pair{8u, 0u}}) {
        const f0r_instance_t refused = plugin().construct(w, h);
        EXPECT_EQ(refused, nullptr) << w << "x" << h;
        plugin().destruct(refused);
    }
    // The largest sides it takes, it renders.
    for (const auto& [w, h] : {std::pair{32768, 2}, std::pair{2, 32768}}) {
        Instance f(static_cast<unsigned>(w), static_cast<unsigned>(h));
        ASSERT_NE(f.handle(), nullptr);
        f.set("completion", 0.5);
        const std::vector<std::uint32_t> in = picture(w, h, 6);
        EXPECT_EQ(f.update(in), embedded(in, w, h, {{kParamCompletion, 50.0}}));
    }
}

TEST(Frei0rPlugin, EveryFrameStandsAlone) {
    const int w = 45, h = 31;
    const std::vector<std::uint32_t> a = picture(w, h, 1), b = picture(w, h, 77);
    Instance f(w, h);
    f.set("completion", 0.6);
    f.set("split", 1);
    const std::vector<std::uint32_t> first = f.update(a, 3.0);
    EXPECT_NE(first, a);
    f.update(b, 0.04);
    f.set("completion", 0.2);
    f.update(a, 1.0);
    f.set("completion", 0.6);
    // Another time, after other frames and values: the same picture.
    EXPECT_EQ(f.update(a, 0.5), first);
    EXPECT_EQ(f.update(a, 0.5), first);
    // In place, as some tools ask.
    std::vector<std::uint32_t> same = a;
    plugin().update(f.handle(), 0, same.data(), same.data());
    EXPECT_EQ(same, first);
}

TEST(Frei0rPlugin, ToleratesWhatAToolMightSend) {
    Instance f(8, 8);
    const std::vector<std::uint32_t> in = picture(8, 8, 5);
    double x = 0.5;
    plugin().set(f.handle(), &x, 12);
    plugin().set(f.handle(), &x, -1);
    plugin().set(f.handle(), nullptr, 1);
    plugin().get(f.handle(), &x, 99);
    plugin().update(nullptr, 0, in.data(), nullptr);
    plugin().set(nullptr, &x, 1);
    f.set("completion", NAN);
    EXPECT_EQ(f.get("completion"), 0);
    EXPECT_EQ(f.update(in), in);
    f.set("completion", 7);  // counts as 1
    EXPECT_EQ(f.get("completion"), 1);
    EXPECT_NE(f.update(in), in);
}

TEST(Frei0rFilter, RefusedMemoryGivesTheToolItsFrameUnchanged) {
    const int w = 40, h = 30;
    const std::vector<std::uint32_t> in = picture(w, h, 9);
    zx::frei0r::Filter f(w, h);
    ASSERT_TRUE(f.ready());
    f.set_number(param_number("completion"), 0.5);
    std::vector<std::uint32_t> out(in.size(), 0xDEADBEEF);
    f.set_memory_limit(0);
    f.update(in.data(), out.data());
    EXPECT_EQ(out, in);
    f.set_memory_limit(SIZE_MAX);
    f.update(in.data(), out.data());
    EXPECT_NE(out, in);
}

}  // namespace
