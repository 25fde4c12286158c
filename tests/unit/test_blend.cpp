// Blend operators: worked examples, shortcuts, clamps, branch choices and the popup's table.
#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <limits>
#include <random>
#include <string>
#include <type_traits>
#include <vector>

#include "composite/blend_ops.h"

namespace {

using Channels = std::array<int, 4>;  // alpha, red, green, blue

PF_Pixel P8(int a, int r, int g, int b) {
    return {static_cast<A_u_char>(a), static_cast<A_u_char>(r), static_cast<A_u_char>(g),
            static_cast<A_u_char>(b)};
}

PF_Pixel16 P16(int a, int r, int g, int b) {
    return {static_cast<A_u_short>(a), static_cast<A_u_short>(r), static_cast<A_u_short>(g),
            static_cast<A_u_short>(b)};
}

Channels Ch(PF_Pixel p) {
    return {p.alpha, p.red, p.green, p.blue};
}
Channels Ch(PF_Pixel16 p) {
    return {p.alpha, p.red, p.green, p.blue};
}

constexpr int kFull8 = 255;
constexpr int kFull16 = 32768;

// Every operator on pixels of one depth, by kind.
template <class F>
void ForEachOperator(F f) {
    for (int k = 0; k < static_cast<int>(BlendKind::count); ++k) {
        SCOPED_TRACE(k);
        with_blend_op(static_cast<BlendKind>(k), f);
    }
}

TEST(BlendShortcuts, TransparentOperandYieldsTheOtherUnchanged) {
    const std::vector<PF_Pixel> others8 = {P8(255, 10, 200, 30), P8(128, 250, 0, 77),
                                           P8(1, 255, 255, 255), P8(0, 9, 8, 7)};
    ForEachOperator([&](auto op) {
        for (const PF_Pixel& other : others8) {
            const PF_Pixel clear_lower = P8(0, 90, 60, 30);
            EXPECT_EQ(Ch(op(clear_lower, other)), Ch(other));
            if (other.alpha != 0) {
                const PF_Pixel clear_upper = P8(0, 40, 50, 60);
                EXPECT_EQ(Ch(op(other, clear_upper)), Ch(other));
            }
        }
        // Both transparent: the lower-alpha rule comes first, so the upper pixel is returned.
        EXPECT_EQ(Ch(op(P8(0, 1, 2, 3), P8(0, 4, 5, 6))), (Channels{0, 4, 5, 6}));
    });

    const std::vector<PF_Pixel16> others16 = {P16(32768, 100, 30000, 32768),
                                              P16(16384, 32768, 0, 777), P16(1, 5, 6, 7),
                                              P16(32767, 1, 2, 3), P16(0, 9, 8, 7)};
    ForEachOperator([&](auto op) {
        for (const PF_Pixel16& other : others16) {
            const PF_Pixel16 clear_lower = P16(0, 9000, 6000, 3000);
            EXPECT_EQ(Ch(op(clear_lower, other)), Ch(other));
            if (other.alpha != 0) {
                const PF_Pixel16 clear_upper = P16(0, 4000, 5000, 6000);
                EXPECT_EQ(Ch(op(other, clear_upper)), Ch(other));
            }
        }
        EXPECT_EQ(Ch(op(P16(0, 1, 2, 3), P16(0, 4, 5, 6))), (Channels{0, 4, 5, 6}));
    });
}

// 16-bit worlds may hold channels beyond 32768: results clamp to full, and over a full upper
// alpha the upper pixel stays as it is.
TEST(BlendClamp, ChannelsBeyondFullClampToFull) {
    using K = BlendKind;
    EXPECT_EQ(Ch(BlendOp<K::multiply>{}(P16(32768, 65535, 0, 40000), P16(32768, 65535, 5, 32768))),
              (Channels{32768, 32768, 0, 32768}));
    // 32768 - (-32767 x 32768) / 16384 = 98302.
    EXPECT_EQ(Ch(BlendOp<K::color_burn>{}(P16(32768, 65535, 0, 0), P16(32768, 16384, 0, 0))),
              (Channels{32768, 32768, 0, 0}));
    // 100 x 16384 / 32768 + 65535.
    EXPECT_EQ(Ch(BlendOp<K::add>{}(P16(32768, 65535, 0, 0), P16(16384, 100, 0, 0))),
              (Channels{32768, 32768, 0, 0}));
    EXPECT_EQ(Ch(BlendOp<K::over>{}(P16(16384, 7, 8, 9), P16(32768, 65535, 1, 40000))),
              (Channels{32768, 65535, 1, 40000}));
}

TEST(BlendOver, OpaqueUpperReplacesAnyLower) {
    for (const PF_Pixel lower : {P8(255, 1, 2, 3), P8(100, 200, 0, 50), P8(1, 255, 255, 255)}) {
        EXPECT_EQ(Ch(BlendOp<BlendKind::over>{}(lower, P8(255, 10, 20, 30))),
                  (Channels{255, 10, 20, 30}));
    }
    for (const PF_Pixel16 lower : {P16(32768, 1, 2, 3), P16(100, 32768, 0, 50)}) {
        EXPECT_EQ(Ch(BlendOp<BlendKind::over>{}(lower, P16(32768, 10, 20, 30))),
                  (Channels{32768, 10, 20, 30}));
    }
}

TEST(BlendOver, PartialAlphaMixesWithShiftedLowerWeight) {
    // k = (128 x 255) >> 8 = 127, A = 255.
    EXPECT_EQ(Ch(BlendOp<BlendKind::over>{}(P8(255, 0, 0, 0), P8(128, 255, 255, 255))),
              (Channels{255, 128, 128, 128}));
    // k = (128 x 128) >> 8 = 64 (a division by 255 would give 63), A = 192.
    EXPECT_EQ(Ch(BlendOp<BlendKind::over>{}(P8(128, 0, 0, 0), P8(128, 255, 255, 255))),
              (Channels{192, 170, 170, 170}));

    EXPECT_EQ(Ch(BlendOp<BlendKind::over>{}(P16(32768, 0, 0, 0), P16(16384, 32768, 32768, 32768))),
              (Channels{32768, 16384, 16384, 16384}));
    // k = (16384 x 16384) >> 15 = 8192, A = 24576; 32768 x 16384 / 24576 = 21845.33.
    EXPECT_EQ(Ch(BlendOp<BlendKind::over>{}(P16(16384, 0, 32768, 0), P16(16384, 32768, 0, 0))),
              (Channels{24576, 21845, 10922, 0}));
}

TEST(BlendAdd, AddsAlphaWeightedColoursAndClamps) {
    // No shortcut for a full upper alpha: the colours add.
    EXPECT_EQ(Ch(BlendOp<BlendKind::add>{}(P8(255, 100, 0, 200), P8(255, 100, 0, 100))),
              (Channels{255, 200, 0, 255}));
    EXPECT_EQ(Ch(BlendOp<BlendKind::add>{}(P8(255, 100, 0, 200), P8(128, 100, 0, 100))),
              (Channels{255, 150, 0, 250}));

    // The intermediate sum is 2^31.
    EXPECT_EQ(Ch(BlendOp<BlendKind::add>{}(P16(32768, 32768, 32768, 32768),
                                           P16(32768, 32768, 32768, 32768))),
              (Channels{32768, 32768, 32768, 32768}));
    // k = 16384, A = 32768; the lower colour keeps its full alpha as weight.
    EXPECT_EQ(
        Ch(BlendOp<BlendKind::add>{}(P16(32768, 10000, 0, 30000), P16(16384, 20000, 0, 10000))),
        (Channels{32768, 20000, 0, 32768}));
}

TEST(BlendMultiply, MultipliesAndLaysPartialAlphaOver) {
    EXPECT_EQ(Ch(BlendOp<BlendKind::multiply>{}(P8(255, 200, 100, 50), P8(255, 100, 100, 100))),
              (Channels{255, 78, 39, 19}));
    EXPECT_EQ(Ch(BlendOp<BlendKind::multiply>{}(P8(255, 200, 100, 50), P8(128, 100, 100, 100))),
              (Channels{255, 138, 69, 34}));

    EXPECT_EQ(Ch(BlendOp<BlendKind::multiply>{}(P16(32768, 16384, 32768, 1),
                                                P16(32768, 16384, 16384, 32767))),
              (Channels{32768, 8192, 16384, 0}));
    // Both alphas partial: mode pixel (16384, 16384, 8192, 0) laid over the lower.
    EXPECT_EQ(Ch(BlendOp<BlendKind::multiply>{}(P16(16384, 32768, 16384, 0),
                                                P16(16384, 16384, 16384, 16384))),
              (Channels{24576, 21845, 10922, 0}));
}

TEST(BlendScreen, ScreensAndOpaqueUpperOverPartialLowerGivesModePixel) {
    EXPECT_EQ(Ch(BlendOp<BlendKind::screen>{}(P8(255, 200, 100, 50), P8(255, 100, 100, 100))),
              (Channels{255, 222, 161, 131}));
    // Lower alpha partial, upper full: over returns the mode pixel unchanged.
    EXPECT_EQ(Ch(BlendOp<BlendKind::screen>{}(P8(100, 200, 100, 50), P8(255, 100, 100, 100))),
              (Channels{255, 222, 161, 131}));

    EXPECT_EQ(Ch(BlendOp<BlendKind::screen>{}(P16(32768, 16384, 32768, 0),
                                              P16(32768, 16384, 32768, 100))),
              (Channels{32768, 24576, 32768, 100}));
}

TEST(BlendOverlay, ChoosesBranchByLowerChannel) {
    // Red 127 takes the first branch, green 128 and blue 255 the second; the other branch
    // would give 201 and 200 for red and green.
    EXPECT_EQ(Ch(BlendOp<BlendKind::overlay>{}(P8(255, 127, 128, 255), P8(255, 200, 200, 200))),
              (Channels{255, 199, 201, 255}));
    // Split at 16384: first branch for 16383, second for 16384 (the other branch would give
    // 20000, 2 and 32768).
    EXPECT_EQ(Ch(BlendOp<BlendKind::overlay>{}(P16(32768, 16383, 16384, 16383),
                                               P16(32768, 20000, 3, 32767))),
              (Channels{32768, 19998, 4, 32765}));
}

TEST(BlendColorDodge, FullUpperChannelGivesFullAndOverflowClamps) {
    EXPECT_EQ(Ch(BlendOp<BlendKind::color_dodge>{}(P8(255, 100, 100, 0), P8(255, 255, 200, 100))),
              (Channels{255, 255, 255, 0}));
    EXPECT_EQ(Ch(BlendOp<BlendKind::color_dodge>{}(P8(255, 0, 0, 100), P8(255, 255, 0, 100))),
              (Channels{255, 255, 0, 164}));

    EXPECT_EQ(Ch(BlendOp<BlendKind::color_dodge>{}(P16(32768, 0, 1000, 20000),
                                                   P16(32768, 32768, 24576, 30000))),
              (Channels{32768, 32768, 4000, 32768}));

    // The clamp applies to the mode pixel before it is laid over: 463 becomes 255 first.
    EXPECT_EQ(Ch(BlendOp<BlendKind::color_dodge>{}(P8(255, 100, 0, 0), P8(128, 200, 0, 0))),
              (Channels{255, 177, 0, 0}));
}

TEST(BlendColorBurn, ZeroUpperChannelGivesZeroAndNegativesClamp) {
    EXPECT_EQ(Ch(BlendOp<BlendKind::color_burn>{}(P8(255, 128, 255, 0), P8(255, 64, 0, 255))),
              (Channels{255, 0, 0, 0}));
    // 255 - (55 x 255) / 128 = 146.
    EXPECT_EQ(Ch(BlendOp<BlendKind::color_burn>{}(P8(255, 200, 0, 0), P8(255, 128, 1, 0))),
              (Channels{255, 146, 0, 0}));

    EXPECT_EQ(
        Ch(BlendOp<BlendKind::color_burn>{}(P16(32768, 16384, 0, 32768), P16(32768, 8192, 1, 1))),
        (Channels{32768, 0, 0, 32768}));
    EXPECT_EQ(Ch(BlendOp<BlendKind::color_burn>{}(P16(32768, 32768, 24576, 0),
                                                  P16(32768, 0, 16384, 32768))),
              (Channels{32768, 0, 16384, 0}));

    // The negative mode value becomes 0 before the over step: (0 x 128 + 128 x 127) / 255.
    EXPECT_EQ(Ch(BlendOp<BlendKind::color_burn>{}(P8(255, 128, 0, 0), P8(128, 64, 0, 0))),
              (Channels{255, 63, 0, 0}));
}

TEST(BlendModes, PopupValuesChooseTheirOperatorsAndOthersNormal) {
    const std::vector<std::pair<A_long, BlendKind>> expected = {
        {1, BlendKind::over},
        {2, BlendKind::add},
        {3, BlendKind::add},
        {4, BlendKind::multiply},
        {5, BlendKind::screen},
        {6, BlendKind::overlay},
        {7, BlendKind::color_dodge},
        {8, BlendKind::color_burn},
        {0, BlendKind::over},
        {9, BlendKind::over},
        {-1, BlendKind::over},
        {100, BlendKind::over},
        {std::numeric_limits<A_long>::min(), BlendKind::over},
        {std::numeric_limits<A_long>::max(), BlendKind::over}};
    for (const auto& [value, kind] : expected) {
        EXPECT_EQ(blend_kind(value), kind) << value;
    }
    for (int k = 0; k < static_cast<int>(BlendKind::count); ++k) {
        const auto kind = static_cast<BlendKind>(k);
        EXPECT_EQ(with_blend_op(kind, [](auto op) { return decltype(op)::kind; }), kind);
    }
}

TEST(BlendModes, ChoiceTextMustMatchTheTableExactly) {
    EXPECT_TRUE(
        choices_match_table("Normal|(-|Add|Multiply|Screen|Overlay|Color Dodge|Color Burn"));
    for (const char* other : {"Normal|(-|Add|Multiply|Screen|Overlay|Color Dodge",
                              "Normal|(-|Add|Multiply|Screen|Overlay|Color Dodge|Color Burn|",
                              "Normal|(-|Add|Multiply|Screen|Overlay|Color Dodge|Color Burnt",
                              "Normal|Add|(-|Multiply|Screen|Overlay|Color Dodge|Color Burn",
                              "Normal (-|Add|Multiply|Screen|Overlay|Color Dodge|Color Burn", ""}) {
        EXPECT_FALSE(choices_match_table(other)) << other;
    }
}

// Random channels, with the edge values drawn often.
template <class Pixel>
Pixel RandomPixel(std::mt19937& rng, int full) {
    const std::array<int, 9> edges = {0,    1, full / 2 - 1, full / 2, full / 2 + 1, full - 1,
                                      full, 2, full - 2};
    auto channel = [&]() {
        if (rng() % 4 == 0) {
            return edges[rng() % edges.size()];
        }
        return static_cast<int>(rng() % static_cast<unsigned>(full + 1));
    };
    const int a = channel();
    const int r = channel();
    const int g = channel();
    const int b = channel();
    if constexpr (std::is_same_v<Pixel, PF_Pixel>) {
        return P8(a, r, g, b);
    } else {
        return P16(a, r, g, b);
    }
}

template <class Pixel>
void ExpectBoundedAndDeterministic(int full, unsigned seed) {
    std::mt19937 rng(seed);
    for (int n = 0; n < 20000; ++n) {
        const Pixel lower = RandomPixel<Pixel>(rng, full);
        const Pixel upper = RandomPixel<Pixel>(rng, full);
        ForEachOperator([&](auto op) {
            const Channels first = Ch(op(lower, upper));
            for (const int c : first) {
                ASSERT_LE(c, full) << " lower " << testing::PrintToString(Ch(lower)) << " upper "
                                   << testing::PrintToString(Ch(upper));
            }
            ASSERT_EQ(Ch(op(lower, upper)), first);
        });
    }
}

TEST(BlendProperties, RandomPairsStayInRangeAndRepeat) {
    ExpectBoundedAndDeterministic<PF_Pixel>(kFull8, 12345u);
    ExpectBoundedAndDeterministic<PF_Pixel16>(kFull16, 67890u);
}

}  // namespace
