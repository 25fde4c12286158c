// The float path against the 16-bit path on pictures whose channels are k / 32768: a pixel the
// 16-bit render moved (it equals an input pixel) must be that input's float pixel bit for bit;
// any other is blended and must lie within 2 / 32768 of the 16-bit result. Alphas are
// multiples of 256 and the opacities halves, so the 16-bit weights are exact and what remains
// is the integer formulas' own truncation. Two blocks, so a pixel is blended at most once:
// each further blend carries the truncation of the last into its lower pixel.
#include <gtest/gtest.h>

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <set>
#include <string>
#include <unordered_map>
#include <vector>

#include "composite/blend_ops.h"
#include "embed/alpha.h"
#include "params/param_table.h"
#include "simhost/embedded_transition.h"

namespace {

using simhost::embedded::Channels;
using simhost::embedded::Depth;
using simhost::embedded::FrameFormat;
using simhost::embedded::Host;
using simhost::embedded::Status;

constexpr int kWidth = 53;
constexpr int kHeight = 31;
constexpr std::size_t kPixels = kWidth * kHeight;

struct Pictures {
    std::vector<std::uint16_t> deep;  // argb, 0..32768
    std::vector<float> real;          // the same pixels as float, or `wild` values beyond 0..1
};

// Opaque pixels mostly, some partly transparent, a few free; every pixel its own.
Pictures pictures(std::uint32_t seed, bool wild) {
    Pictures p{std::vector<std::uint16_t>(kPixels * 4), std::vector<float>(kPixels * 4)};
    for (std::size_t i = 0; i < p.deep.size(); ++i) {
        seed = seed * 1664525u + 1013904223u;
        const std::uint32_t r = seed >> 8;
        std::uint16_t v = static_cast<std::uint16_t>(r % 32769u);
        if (i % 4 == 0) v = r % 4 == 0 ? static_cast<std::uint16_t>(r % 129u * 256u) : 32768;
        p.deep[i] = v;
        const float k = static_cast<float>(v) / 32768.0f;
        p.real[i] = !wild ? k : i % 4 == 0 ? k * 1.5f : k * 4.0f - 1.5f;
    }
    return p;
}

std::uint64_t word(const std::uint16_t* px) {
    std::uint64_t w;
    std::memcpy(&w, px, sizeof w);
    return w;
}

// Compares the two renders pixel by pixel; returns how many pixels were blended (Add: to full).
int compare(const Pictures& in, const std::vector<std::uint16_t>& out16,
            const std::vector<float>& outf, const std::string& what) {
    std::unordered_map<std::uint64_t, std::size_t> where;
    for (std::size_t i = 0; i < in.deep.size() / 4; ++i) where.emplace(word(&in.deep[i * 4]), i);
    int blended = 0;
    for (std::size_t i = 0; i < kPixels; ++i) {
        const std::uint64_t w = word(&out16[i * 4]);
        const float* f = &outf[i * 4];
        if (w == 0) {
            const float zero[4] = {};
            EXPECT_EQ(std::memcmp(f, zero, sizeof zero), 0) << what << " cleared pixel " << i;
        } else if (const auto at = where.find(w); at != where.end()) {
            EXPECT_EQ(std::memcmp(f, &in.real[at->second * 4], 4 * sizeof(float)), 0)
                << what << " moved pixel " << i;
        } else {
            ++blended;
            for (int c = 0; c < 4; ++c) {
                if (c > 0 && out16[i * 4 + c] == 32768 && f[c] > 1) continue;
                EXPECT_NEAR(f[c], out16[i * 4 + c] / 32768.0, 2.0 / 32768)
                    << what << " blended pixel " << i << " channel " << c;
            }
        }
    }
    return blended;
}

struct Renders {
    std::vector<std::uint16_t> deep = std::vector<std::uint16_t>(kPixels * 4);
    std::vector<float> real = std::vector<float>(kPixels * 4);
};

Renders render(Host& host, const Pictures& in) {
    Renders out;
    const FrameFormat f16{kWidth, kHeight, Depth::sixteen, Channels::argb};
    const FrameFormat ff{kWidth, kHeight, Depth::float32, Channels::argb};
    EXPECT_EQ(host.render(f16, in.deep.data(), kWidth * 8, out.deep.data(), kWidth * 8),
              Status::ok);
    EXPECT_EQ(host.render(ff, in.real.data(), kWidth * 16, out.real.data(), kWidth * 16),
              Status::ok);
    return out;
}

TEST(FloatPath, MatchesTheSixteenBitPathInEveryModeAndOverlap) {
    Host host;
    ASSERT_EQ(host.status(), Status::ok);
    // A colour whose 16-bit channels are within 1/100 of c x 32768 / 255.
    ASSERT_EQ(host.set_color(kParamColor, PF_Pixel{255, 2, 253, 4}), Status::ok);
    const Pictures in = pictures(7, false);
    for (int columns : {1, 2}) {
        for (int blend = 1; blend <= choice_count(param_entry(kParamBlendMode).choices); ++blend) {
            for (int overlap : {kOverlapFootage, kOverlapColor}) {
                for (double opacity : {100.0, 50.0}) {
                    for (double completion : {35.0, 70.0}) {
                        ASSERT_EQ(host.set_value(kParamRow, 3 - columns), Status::ok);
                        ASSERT_EQ(host.set_value(kParamColumn, columns), Status::ok);
                        ASSERT_EQ(host.set_value(kParamBlendMode, blend), Status::ok);
                        ASSERT_EQ(host.set_value(kParamOverlapMode, overlap), Status::ok);
                        ASSERT_EQ(host.set_value(kParamOpacity, opacity), Status::ok);
                        ASSERT_EQ(host.set_value(kParamCompletion, completion), Status::ok);
                        const std::string what = "columns " + std::to_string(columns) + " blend " +
                                                 std::to_string(blend) + " overlap " +
                                                 std::to_string(overlap) + " opacity " +
                                                 std::to_string(opacity) + " completion " +
                                                 std::to_string(completion);
                        const Renders out = render(host, in);
                        EXPECT_GT(compare(in, out.deep, out.real, what), 20) << what;
                    }
                }
            }
        }
    }
    // The transition composites with the float over, on both sides of its cut.
    for (double t : {20.0, 50.0, 85.0}) {
        const Pictures b = pictures(11, false);
        Renders out;
        const FrameFormat f16{kWidth, kHeight, Depth::sixteen, Channels::argb};
        const FrameFormat ff{kWidth, kHeight, Depth::float32, Channels::argb};
        ASSERT_EQ(simhost::embedded::render_transition(host, f16,
                                                       {in.deep.data(), kWidth * 8, b.deep.data(),
                                                        kWidth * 8, out.deep.data(), kWidth * 8},
                                                       t),
                  Status::ok);
        ASSERT_EQ(simhost::embedded::render_transition(host, ff,
                                                       {in.real.data(), kWidth * 16, b.real.data(),
                                                        kWidth * 16, out.real.data(), kWidth * 16},
                                                       t),
                  Status::ok);
        // Both pictures' pixels count as moved.
        Pictures both{in.deep, in.real};
        both.deep.insert(both.deep.end(), b.deep.begin(), b.deep.end());
        both.real.insert(both.real.end(), b.real.begin(), b.real.end());
        EXPECT_GT(compare(both, out.deep, out.real, "transition at " + std::to_string(t)), 20);
    }
}

// Channels beyond 0..1, alphas beyond 1 among them, move bit for bit where nothing is blended:
// at Completion 100 % and at Opacity 0 %.
TEST(FloatPath, MovesChannelsBeyondTheRangeBitForBit) {
    Host host;
    ASSERT_EQ(host.status(), Status::ok);
    const Pictures in = pictures(3, true);
    for (double opacity : {100.0, 0.0}) {
        ASSERT_EQ(host.set_value(kParamOpacity, opacity), Status::ok);
        ASSERT_EQ(host.set_value(kParamCompletion, opacity == 0.0 ? 45.0 : 100.0), Status::ok);
        const Renders out = render(host, in);
        EXPECT_EQ(compare(in, out.deep, out.real, "opacity " + std::to_string(opacity)), 0);
    }
}

// The float rules in double: the formulas beyond 0..1; non-finite colour reads as 0, alpha as 0
// unless finite and positive, at most 1 (where either reads 0, the other is the result as is).
const auto finite_or_0 = [](float c) { return std::isfinite(c) ? double{c} : 0.0; };

double mode(BlendKind k, double l, double u) {
    if (k == BlendKind::multiply) return l * u;
    if (k == BlendKind::screen) return l <= 1 && u <= 1 ? 1 - (1 - l) * (1 - u) : std::max(l, u);
    if (k == BlendKind::overlay) return l < 0.5 ? 2 * l * u : mode(BlendKind::screen, 2 * l - 1, u);
    if (k == BlendKind::color_burn) return 1 - mode(BlendKind::color_dodge, 1 - l, 1 - u);
    return l < 0 ? l : u >= 1 ? std::max(1.0, l) : std::min(std::max(1.0, l), l / (1 - u));
}

double model(BlendKind k, float lc, float uc, double la, double ua) {
    const double l = finite_or_0(lc), u = finite_or_0(uc), big = FLT_MAX,
                 alpha = ua + (1 - ua) * la;
    if (k == BlendKind::add) return std::clamp((u * ua + l * la) / alpha, -big, big);
    const double m = k == BlendKind::over ? u : std::clamp(mode(k, l, u), -big, big);
    return (m * ua + l * (1 - ua) * la) / alpha;
}

// Every mode on every pair of channels in and beyond 0..1, at the float range's end and not
// finite, at the alphas either overlap mode gives at an opacity and beyond; then the frame of
// blue 4.0 at Completion 37 %, 3 x 3 blocks (3 overlap at most).
TEST(FloatPath, FollowsTheFloatRulesInEveryModeAndKeepsHighlights) {
    const float v[] = {0,    .2f, .5f,   .8f,    1,   1.5f,     4,        100,
                       -.2f, -3,  3e38f, -3e38f, NAN, INFINITY, -INFINITY};
    const float a[] = {1, 0.7f, 0.25f, 1.5f, -0.5f, NAN, INFINITY};
    const auto near = [](float g, double w) { return std::abs(g - w) <= 1e-6 * (4 + std::abs(w)); };
    const auto cover = [](float alpha) { return std::clamp(finite_or_0(alpha), 0.0, 1.0); };
    for (std::size_t i = 0; i < 7 * 15 * 15 * 7 * 7; ++i) {
        const auto k = static_cast<BlendKind>(i % 7);
        const PixelF32 l{a[i / 1575 % 7], v[i / 7 % 15], v[i / 105 % 15], 0.5f},
            u{a[i / 11025], l.green, l.red, 4};
        const PixelF32 got = with_blend_op(k, [&](auto op) { return op(l, u); });
        const double la = cover(l.alpha), ua = cover(u.alpha);
        EXPECT_TRUE(la == 0 || ua == 0 ? std::memcmp(&got, la == 0 ? &u : &l, 16) == 0
                                       : near(got.alpha, ua + (1 - ua) * la) &&
                                             near(got.red, model(k, l.red, u.red, la, ua)) &&
                                             near(got.green, model(k, l.green, u.green, la, ua)) &&
                                             near(got.blue, model(k, 0.5f, 4, la, ua)))
            << i;
    }
    Host host;
    Pictures frame{std::vector<std::uint16_t>(kPixels * 4), std::vector<float>(kPixels * 4)};
    for (std::size_t i = 0; i < kPixels * 4; i += 4) frame.real[i] = 1, frame.real[i + 3] = 4;
    for (auto [p, value] : {std::pair{kParamRow, 3}, {kParamColumn, 3}, {kParamCompletion, 37}})
        ASSERT_EQ(host.set_value(p, value), Status::ok);
    for (const auto& [blend, blues] :
         {std::pair{1, std::set<float>{0, 4}}, {3, {0, 4, 8, 12}}, {4, {0, 4, 16, 64}}}) {
        ASSERT_EQ(host.set_value(kParamBlendMode, blend), Status::ok);
        ASSERT_EQ(host.set_value(kParamOpacity, blend == 1 ? 70 : 100), Status::ok);
        const std::vector<float> out = render(host, frame).real;
        std::set<float> got;
        for (std::size_t i = 3; i < out.size(); i += 4) got.insert(out[i]);
        EXPECT_EQ(got, blues) << blend;  // Normal keeps 4 at 70 %, Add and Multiply go on from 4
    }
}

}  // namespace

// Straight colour from premultiplied and back: finite channels stay finite, whatever the alpha.
TEST(FloatPath, PremultiplyingKeepsFiniteChannelsFinite) {
    const float v[] = {0, 1, -3, FLT_MAX, -FLT_MAX, FLT_TRUE_MIN, 1e30f, NAN, INFINITY};
    for (float c : v) {
        for (float a : v) {
            EXPECT_EQ(std::isfinite(zx::embed::unpremultiply(c, a)), std::isfinite(c)) << c << a;
            EXPECT_EQ(std::isfinite(zx::embed::premultiply(c, a)), std::isfinite(c)) << c << a;
        }
    }
}
