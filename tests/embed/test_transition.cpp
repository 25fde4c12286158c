// The transition against its definition, rebuilt here from a second host and the Normal
// operator: which picture moves, at which 16.16 Completion, in both depths and channel orders.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

#include "composite/blend_ops.h"
#include "params/param_table.h"
#include "simhost/embedded_transition.h"

namespace {

using simhost::embedded::Channels;
using simhost::embedded::Depth;
using simhost::embedded::FrameFormat;
using simhost::embedded::Host;
using simhost::embedded::Status;
using simhost::embedded::TransitionFrames;

constexpr int kWidth = 37;
constexpr int kHeight = 23;

// Pixels in the effect's order (alpha first), some of them partly or fully transparent.
template <class Channel>
std::vector<Channel> picture(std::uint32_t seed, int full) {
    std::vector<Channel> px(kWidth * kHeight * 4);
    for (std::size_t i = 0; i < px.size(); ++i) {
        seed = seed * 1664525u + 1013904223u;
        px[i] = static_cast<Channel>((seed >> 8) % static_cast<std::uint32_t>(full + 1));
        if (i % 4 == 0 && (seed >> 4) % 3 != 0) px[i] = static_cast<Channel>(full);
    }
    return px;
}

template <class Channel>
std::vector<Channel> reorder(std::vector<Channel> px, Channels channels) {
    if (channels == Channels::rgba) {
        for (std::size_t i = 0; i < px.size(); i += 4) {
            const Channel argb[4] = {px[i], px[i + 1], px[i + 2], px[i + 3]};
            px[i] = argb[1], px[i + 1] = argb[2], px[i + 2] = argb[3], px[i + 3] = argb[0];
        }
    }
    return px;
}

void set_up(Host& host) {
    ASSERT_EQ(host.status(), Status::ok);
    ASSERT_EQ(host.set_value(kParamSplit, kSplitRowWidth), Status::ok);
    ASSERT_EQ(host.set_value(kParamRow, 4), Status::ok);
    ASSERT_EQ(host.set_value(kParamWidth, 6), Status::ok);
    ASSERT_EQ(host.set_value(kParamBlendMode, choice_number(kParamBlendMode, "Screen")),
              Status::ok);
    ASSERT_EQ(host.set_value(kParamOpacity, 70), Status::ok);
}

// upper over lower in the effect's order, from the effect's own operators.
template <class Channel>
std::vector<Channel> over(const std::vector<Channel>& upper, const std::vector<Channel>& lower) {
    std::vector<Channel> out(upper.size());
    for (std::size_t i = 0; i < out.size(); i += 4) {
        if constexpr (sizeof(Channel) == 1) {
            const PF_Pixel p = BlendOp<BlendKind::over>{}(
                PF_Pixel{lower[i], lower[i + 1], lower[i + 2], lower[i + 3]},
                PF_Pixel{upper[i], upper[i + 1], upper[i + 2], upper[i + 3]});
            out[i] = p.alpha, out[i + 1] = p.red, out[i + 2] = p.green, out[i + 3] = p.blue;
        } else {
            const PF_Pixel16 p = BlendOp<BlendKind::over>{}(
                PF_Pixel16{lower[i], lower[i + 1], lower[i + 2], lower[i + 3]},
                PF_Pixel16{upper[i], upper[i + 1], upper[i + 2], upper[i + 3]});
            out[i] = p.alpha, out[i + 1] = p.red, out[i + 2] = p.green, out[i + 3] = p.blue;
        }
    }
    return out;
}

struct Expectation {
    double t;
    bool a_moves;
    PF_Fixed completion;
};

template <class Channel>
void check_definition(Depth depth, int full) {
    const std::vector<Channel> a = picture<Channel>(1, full);
    const std::vector<Channel> b = picture<Channel>(2, full);
    const std::ptrdiff_t row = kWidth * 4 * static_cast<std::ptrdiff_t>(sizeof(Channel));
    Host reference;
    set_up(reference);
    Host host;
    set_up(host);
    const Expectation cases[] = {
        {0, true, 0},
        {12.5, true, 25 << 16},
        {std::nextafter(50.0, 0.0), true, 100 << 16},  // rounds to 100 %, still A's side
        {50, false, 100 << 16},
        {81.3, false, 2451046},  // 37.4 %
        {100, false, 0},
    };
    for (const Expectation& e : cases) {
        SCOPED_TRACE(testing::Message() << "t " << e.t << " depth " << sizeof(Channel) * 8);
        ASSERT_EQ(reference.set_fixed(kParamCompletion, e.completion), Status::ok);
        std::vector<Channel> moved(a.size());
        const FrameFormat argb{kWidth, kHeight, depth, Channels::argb};
        ASSERT_EQ(reference.render(argb, (e.a_moves ? a : b).data(), row, moved.data(), row),
                  Status::ok);
        const std::vector<Channel> expected = over(moved, e.a_moves ? b : a);

        for (Channels channels : {Channels::argb, Channels::rgba}) {
            const FrameFormat format{kWidth, kHeight, depth, channels};
            std::vector<Channel> in_a = reorder(a, channels);
            std::vector<Channel> in_b = reorder(b, channels);
            std::vector<Channel> out(a.size(), 7);
            ASSERT_EQ(simhost::embedded::render_transition(
                          host, format, {in_a.data(), row, in_b.data(), row, out.data(), row}, e.t),
                      Status::ok);
            EXPECT_EQ(out, reorder(expected, channels)) << "rgba " << (channels == Channels::rgba);
            // Written over either input, with scratch of the caller's.
            std::vector<std::uint8_t> scratch(simhost::embedded::transition_scratch_bytes(format));
            ASSERT_EQ(simhost::embedded::render_transition(
                          host, format, {in_a.data(), row, in_b.data(), row, in_a.data(), row}, e.t,
                          scratch.data(), scratch.size()),
                      Status::ok);
            EXPECT_EQ(in_a, out);
            in_a = reorder(a, channels);
            ASSERT_EQ(
                simhost::embedded::render_transition(
                    host, format, {in_a.data(), row, in_b.data(), row, in_b.data(), row}, e.t),
                Status::ok);
            EXPECT_EQ(in_b, out);
        }
    }
}

TEST(Transition, FollowsItsDefinitionInBothDepthsAndOrders) {
    check_definition<std::uint8_t>(Depth::eight, 255);
    check_definition<std::uint16_t>(Depth::sixteen, 32768);
}

TEST(Transition, RefusesWhatItCannotRender) {
    std::vector<std::uint16_t> a(kWidth * kHeight * 4, 100);
    std::vector<std::uint16_t> out(a.size());
    const FrameFormat format{kWidth, kHeight, Depth::sixteen, Channels::rgba};
    const std::ptrdiff_t row = kWidth * 8;
    const TransitionFrames frames{a.data(), row, a.data(), row, out.data(), row};
    Host host;
    for (double t : {-0.001, 100.001, std::nan("")}) {
        EXPECT_EQ(simhost::embedded::render_transition(host, format, frames, t),
                  Status::bad_argument);
    }
    std::vector<std::uint8_t> scratch(simhost::embedded::transition_scratch_bytes(format) - 1);
    EXPECT_EQ(simhost::embedded::render_transition(host, format, frames, 10, scratch.data(),
                                                   scratch.size()),
              Status::bad_argument);
    EXPECT_EQ(simhost::embedded::render_transition(
                  host, format, {a.data(), row - 1, a.data(), row, out.data(), row}, 10),
              Status::bad_argument);
    EXPECT_EQ(simhost::embedded::transition_scratch_bytes({1 << 30, 1 << 30, Depth::sixteen}), 0u);
    // A host out of memory refuses the render.
    host.set_memory_limit(16);
    EXPECT_NE(simhost::embedded::render_transition(host, format, frames, 10), Status::ok);
}

}  // namespace
