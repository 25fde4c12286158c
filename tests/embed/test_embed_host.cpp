// The embedded host against the simulated host: the same pixels, the same panel, every handle
// given back, and instances on two threads at once.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "entry/entry_point.h"
#include "params/param_table.h"
#include "simhost/embedded_host.h"
#include "simhost/sim_host.h"
#include "worlds/world.h"

namespace {

using simhost::embedded::Channels;
using simhost::embedded::FrameFormat;
using simhost::embedded::Host;
using simhost::embedded::Status;
using worlds::Depth;
using worlds::World;

// Parameter values by index: popups by number, sliders by value, percent sliders in percent.
struct Case {
    const char* name;
    std::array<double, kParamCount> value{};
    PF_Pixel color{};
};

Case make_case(const char* name, std::initializer_list<std::pair<ParamIndex, double>> changes,
               PF_Pixel color = {255, 255, 0, 0}) {
    Case c{name, {}, color};
    for (const ParamEntry& p : kParamTable) c.value[p.index] = p.dephault;
    for (const auto& [index, v] : changes) c.value[index] = v;
    return c;
}

const std::vector<Case>& cases() {
    static const std::vector<Case> all = {
        make_case("row-column", {{kParamCompletion, 50}, {kParamRow, 3}, {kParamColumn, 4}}),
        make_case("row-width euclidean", {{kParamCompletion, 70},
                                          {kParamSplit, kSplitRowWidth},
                                          {kParamRow, 5},
                                          {kParamWidth, 9},
                                          {kParamMode, kModeEuclidean}}),
        make_case("height-column complete", {{kParamCompletion, 100},
                                             {kParamSplit, kSplitHeightColumn},
                                             {kParamHeight, 7},
                                             {kParamColumn, 9},
                                             {kParamSeed, 12}}),
        make_case("colour overlap multiply",
                  {{kParamCompletion, 55},
                   {kParamOverlapMode, kOverlapColor},
                   {kParamBlendMode, choice_number(kParamBlendMode, "Multiply")},
                   {kParamOpacity, 60},
                   {kParamRow, 7},
                   {kParamColumn, 5}},
                  PF_Pixel{200, 30, 160, 90}),
        make_case("screen strips", {{kParamCompletion, 35.5},
                                    {kParamSplit, kSplitRowWidth},
                                    {kParamWidth, 4},
                                    {kParamBlendMode, choice_number(kParamBlendMode, "Screen")},
                                    {kParamSeed, 99}}),
        make_case("untouched", {{kParamCompletion, 0}}),
    };
    return all;
}

void apply(simhost::SimHost& h, const Case& c) {
    for (const ParamEntry& p : kParamTable) {
        const double v = c.value[p.index];
        switch (p.type) {
            case ParamType::popup:
                h.set_popup(p.index, static_cast<A_long>(v));
                break;
            case ParamType::slider:
                h.set_slider(p.index, static_cast<A_long>(v));
                break;
            case ParamType::percent:
                h.set_percent(p.index, v);
                break;
            case ParamType::color:
                h.set_color(p.index, c.color);
                break;
            default:
                break;
        }
    }
}

void apply(Host& h, const Case& c) {
    for (const ParamEntry& p : kParamTable) {
        if (p.type == ParamType::color) {
            ASSERT_EQ(h.set_color(p.index, c.color), Status::ok);
        } else if (p.type != ParamType::group_start && p.type != ParamType::group_end) {
            ASSERT_EQ(h.set_value(p.index, c.value[p.index]), Status::ok) << p.name;
        }
    }
}

World input_picture(Depth depth) {
    World w(61, 47, depth);  // no multiple of 8 either way
    w.fill_test_picture(true);
    return w;
}

World simulated(const Case& c, const World& input) {
    simhost::SimHost h(&EntryPointFunc);
    h.setup();
    h.set_input(input);
    h.set_output(
        World(input.width(), input.height(), input.deep() ? Depth::sixteen : Depth::eight));
    apply(h, c);
    EXPECT_EQ(h.send(PF_Cmd_RENDER), PF_Err_NONE) << c.name;
    EXPECT_TRUE(h.problems().empty()) << c.name;
    return h.output();
}

FrameFormat format_of(const World& w, Channels channels) {
    return {w.width(), w.height(),
            w.deep() ? simhost::embedded::Depth::sixteen : simhost::embedded::Depth::eight,
            channels};
}

// The world's pixels as red, green, blue, alpha, rows packed.
template <typename Channel, typename Pixel>
std::vector<Channel> to_rgba(const World& w) {
    std::vector<Channel> out;
    for (A_long y = 0; y < w.height(); ++y) {
        for (A_long x = 0; x < w.width(); ++x) {
            Pixel p;
            if constexpr (sizeof(Channel) == 1) {
                p = w.px8(x, y);
            } else {
                p = w.px16(x, y);
            }
            out.insert(out.end(), {p.red, p.green, p.blue, p.alpha});
        }
    }
    return out;
}

TEST(EmbedHost, RendersWhatTheSimulatedHostRenders) {
    for (Depth depth : {Depth::eight, Depth::sixteen}) {
        const World input = input_picture(depth);
        Host host;
        ASSERT_EQ(host.status(), Status::ok);
        for (const Case& c : cases()) {
            SCOPED_TRACE(std::string(c.name) + (depth == Depth::sixteen ? " 16-bit" : " 8-bit"));
            const World expected = simulated(c, input);
            apply(host, c);
            // Padded output rows: the padding must stay untouched.
            World out = World::with_pad_pixels(input.width(), input.height(), depth, 3);
            ASSERT_EQ(host.render(format_of(input, Channels::argb), input.def()->data,
                                  input.rowbytes(), out.def()->data, out.rowbytes()),
                      Status::ok)
                << host.message();
            EXPECT_EQ(expected.first_difference(out), "");
            EXPECT_TRUE(out.padding_intact());
            EXPECT_EQ(host.live_handles(), 0);
        }
    }
}

TEST(EmbedHost, RgbaChannelsAreTheSamePixelsReordered) {
    for (const Case& c : {cases()[1], cases()[3]}) {
        SCOPED_TRACE(c.name);
        Host host;
        apply(host, c);
        const World in8 = input_picture(Depth::eight);
        const World expected8 = simulated(c, in8);
        std::vector<std::uint8_t> rgba8 = to_rgba<std::uint8_t, PF_Pixel8>(in8);
        std::vector<std::uint8_t> out8(rgba8.size(), 0x5A);
        ASSERT_EQ(host.render(format_of(in8, Channels::rgba), rgba8.data(), in8.width() * 4,
                              out8.data(), in8.width() * 4),
                  Status::ok);
        EXPECT_EQ(out8, (to_rgba<std::uint8_t, PF_Pixel8>(expected8)));

        const World in16 = input_picture(Depth::sixteen);
        const World expected16 = simulated(c, in16);
        std::vector<std::uint16_t> rgba16 = to_rgba<std::uint16_t, PF_Pixel16>(in16);
        std::vector<std::uint16_t> out16(rgba16.size(), 0x5A5A);
        ASSERT_EQ(host.render(format_of(in16, Channels::rgba), rgba16.data(), in16.width() * 8,
                              out16.data(), in16.width() * 8),
                  Status::ok);
        EXPECT_EQ(out16, (to_rgba<std::uint16_t, PF_Pixel16>(expected16)));

        // The same buffer as input and output.
        ASSERT_EQ(host.render(format_of(in8, Channels::rgba), rgba8.data(), in8.width() * 4,
                              rgba8.data(), in8.width() * 4),
                  Status::ok);
        EXPECT_EQ(rgba8, out8);
        World in_place = in8;
        ASSERT_EQ(host.render(format_of(in8, Channels::argb), in_place.def()->data,
                              in_place.rowbytes(), in_place.def()->data, in_place.rowbytes()),
                  Status::ok);
        EXPECT_EQ(expected8.first_difference(in_place), "");
    }
}

TEST(EmbedHost, VisibilityAnswersAsTheSimulatedHostsPanel) {
    Host host;
    for (A_long split : {kSplitRowColumn, kSplitRowWidth, kSplitHeightColumn}) {
        for (A_long overlap : {kOverlapFootage, kOverlapColor}) {
            SCOPED_TRACE("split " + std::to_string(split) + " overlap " + std::to_string(overlap));
            simhost::SimHost sim(&EntryPointFunc);
            sim.setup();
            sim.set_popup(kParamSplit, split);
            sim.set_popup(kParamOverlapMode, overlap);
            ASSERT_EQ(sim.send(PF_Cmd_UPDATE_PARAMS_UI), PF_Err_NONE);

            ASSERT_EQ(host.set_value(kParamSplit, split), Status::ok);
            ASSERT_EQ(host.set_value(kParamOverlapMode, overlap), Status::ok);
            simhost::embedded::Visibility hidden{};
            ASSERT_EQ(host.query_visibility(hidden), Status::ok);
            int hidden_count = 0;
            for (int i = 1; i < kParamCount; ++i) {
                EXPECT_EQ(hidden[i], sim.hidden(i).value_or(false)) << "parameter " << i;
                hidden_count += hidden[i];
            }
            // Two of the four size sliders, and the colour with footage.
            EXPECT_EQ(hidden_count, 2 + (overlap == kOverlapFootage));
            EXPECT_EQ(host.live_handles(), 0);
        }
    }
}

TEST(EmbedHost, RefusedMemoryFailsTheFrameAndLosesNothing) {
    const Case& c = cases()[1];  // strips: three tables
    const World input = input_picture(Depth::eight);
    const World expected = simulated(c, input);
    Host host;
    apply(host, c);
    World out(input.width(), input.height());
    // Every limit from nothing up to what the frame needs, so each table in turn is refused.
    std::size_t limit = 0;
    int failures = 0;
    for (; limit < (std::size_t{1} << 20); limit = limit * 2 + 64) {
        host.set_memory_limit(limit);
        const Status s = host.render(format_of(input, Channels::argb), input.def()->data,
                                     input.rowbytes(), out.def()->data, out.rowbytes());
        EXPECT_EQ(host.live_handles(), 0) << "limit " << limit;
        EXPECT_EQ(host.live_handle_bytes(), 0u);
        if (s == Status::ok) break;
        EXPECT_EQ(s, Status::effect_error);
        EXPECT_STREQ(host.message(), "Memory Error!");
        EXPECT_EQ(host.effect_result(), PF_Err_INTERNAL_STRUCT_DAMAGED);
        ++failures;
    }
    EXPECT_GE(failures, 2);
    EXPECT_EQ(expected.first_difference(out), "");
}

TEST(EmbedHost, RefusesWhatItCannotTake) {
    Host host;
    ASSERT_EQ(host.status(), Status::ok);
    EXPECT_GT(host.effect_version(), 0u);
    EXPECT_EQ(host.set_value(kParamRow, 0), Status::bad_argument);
    EXPECT_EQ(host.set_value(kParamRow, 2001), Status::bad_argument);
    EXPECT_EQ(host.set_value(kParamRow, 2.5), Status::bad_argument);
    EXPECT_EQ(host.set_value(kParamSplit, 4), Status::bad_argument);
    EXPECT_EQ(host.set_value(kParamCompletion, 100.5), Status::bad_argument);
    EXPECT_EQ(host.set_value(kParamCompletion, NAN), Status::bad_argument);
    EXPECT_EQ(host.set_value(kParamColor, 1), Status::bad_argument);
    EXPECT_EQ(host.set_value(kParamOverlapGroup, 1), Status::bad_argument);
    EXPECT_EQ(host.set_value(kParamCount, 1), Status::bad_argument);
    EXPECT_EQ(host.set_color(kParamRow, PF_Pixel{}), Status::bad_argument);
    EXPECT_EQ(host.set_fixed(kParamRow, 65536), Status::bad_argument);
    EXPECT_EQ(host.set_downsample(0, 1), Status::bad_argument);
    EXPECT_EQ(host.param(kParamCount), nullptr);
    // A refused value leaves the one before.
    ASSERT_EQ(host.set_value(kParamRow, 17), Status::ok);
    EXPECT_EQ(host.set_value(kParamRow, -1), Status::bad_argument);
    EXPECT_EQ(host.param(kParamRow)->u.sd.value, 17);
    host.reset_values();
    EXPECT_EQ(host.param(kParamRow)->u.sd.value, param_entry(kParamRow).dephault);

    std::vector<std::uint8_t> in(16 * 4 * 4), out(16 * 4 * 4);
    const FrameFormat f{16, 4, simhost::embedded::Depth::eight, Channels::rgba};
    EXPECT_EQ(host.render(f, nullptr, 64, out.data(), 64), Status::bad_argument);
    EXPECT_EQ(host.render(f, in.data(), 63, out.data(), 64), Status::bad_argument);
    EXPECT_EQ(host.render(f, in.data(), 64, out.data(), 60), Status::bad_argument);
    EXPECT_EQ(host.render({0, 4, f.depth, f.channels}, in.data(), 64, out.data(), 64),
              Status::bad_argument);
    EXPECT_EQ(host.render({16, 4, simhost::embedded::Depth::sixteen, Channels::argb}, in.data() + 1,
                          128, out.data(), 128),
              Status::bad_argument);
    EXPECT_EQ(host.render(f, in.data(), 64, out.data(), 64), Status::ok);

    std::string about;
    ASSERT_EQ(host.about(about), Status::ok);
    EXPECT_NE(about.find("VarnokZentrilox"), std::string::npos) << about;
}

TEST(EmbedHost, ProgressCountsEveryStepToTheEnd) {
    Host host;
    apply(host, cases()[0]);  // 3 x 4 blocks
    const World input = input_picture(Depth::eight);
    World out(input.width(), input.height());
    std::vector<std::pair<long, long>> calls;
    auto record = [](void* user, long done, long total) {
        static_cast<std::vector<std::pair<long, long>>*>(user)->emplace_back(done, total);
    };
    ASSERT_EQ(host.render(format_of(input, Channels::argb), input.def()->data, input.rowbytes(),
                          out.def()->data, out.rowbytes(), record, &calls),
              Status::ok);
    // One call after each of the twelve blocks, then the end.
    ASSERT_EQ(calls.size(), 13u);
    for (std::size_t i = 0; i < 12; ++i) {
        EXPECT_EQ(calls[i], (std::pair<long, long>(static_cast<long>(i), 13)));
    }
    EXPECT_EQ(calls.back(), (std::pair<long, long>(13, 13)));
}

TEST(EmbedHost, InstancesOnTwoThreadsRenderAtOnceAndAgree) {
    const World input = input_picture(Depth::sixteen);
    std::vector<World> expected;
    for (const Case& c : cases()) expected.push_back(simulated(c, input));

    constexpr int kRounds = 8;
    struct Result {
        std::vector<std::string> differences;
        int leaks = 0;
        int failures = 0;
    };
    auto work = [&](Result& r) {
        Host host;  // made, used and destroyed on its own thread
        World out(input.width(), input.height(), Depth::sixteen);
        for (int round = 0; round < kRounds; ++round) {
            for (std::size_t k = 0; k < cases().size(); ++k) {
                apply(host, cases()[k]);
                if (host.render(format_of(input, Channels::argb), input.def()->data,
                                input.rowbytes(), out.def()->data, out.rowbytes()) != Status::ok) {
                    ++r.failures;
                    continue;
                }
                const std::string d = expected[k].first_difference(out);
                if (!d.empty()) r.differences.push_back(d);
                r.leaks += host.live_handles();
            }
        }
    };
    Result a, b;
    std::thread ta(work, std::ref(a));
    std::thread tb(work, std::ref(b));
    ta.join();
    tb.join();
    for (const Result* r : {&a, &b}) {
        EXPECT_EQ(r->failures, 0);
        EXPECT_TRUE(r->differences.empty()) << r->differences.front();
        EXPECT_EQ(r->leaks, 0);
    }
}

}  // namespace
