// The float path against the 16-bit path on pictures whose channels are k / 32768: a pixel the
// 16-bit render moved (it equals an input pixel) must be that input's float pixel bit for bit;
// any other is blended and must lie within 2 / 32768 of the 16-bit result. Alphas are
// multiples of 256 and the opacities halves, so the 16-bit weights are exact and what remains
// is the integer formulas' own truncation. Two blocks, so a pixel is blended at most once:
// each further blend carries the truncation of the last into its lower pixel.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>
#include <unordered_map>
#include <vector>

#include "embed/transition.h"
#include "params/param_table.h"

namespace {

using zx::embed::Channels;
using zx::embed::Depth;
using zx::embed::FrameFormat;
using zx::embed::Host;
using zx::embed::Status;

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

// Compares the two renders pixel by pixel; returns how many pixels were blended.
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
        ASSERT_EQ(zx::embed::render_transition(host, f16,
                                               {in.deep.data(), kWidth * 8, b.deep.data(),
                                                kWidth * 8, out.deep.data(), kWidth * 8},
                                               t),
                  Status::ok);
        ASSERT_EQ(zx::embed::render_transition(host, ff,
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

}  // namespace
