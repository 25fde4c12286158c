// Blend operators: worked examples, shortcuts, clamps, branch choices and table layout.
#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <limits>
#include <random>
#include <string>
#include <type_traits>
#include <vector>

#include "composite/blend.h"
#include "composite/pixel_traits.h"

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

struct Op8 {
    std::string name;
    BlendFunc8 fn;
};
struct Op16 {
    std::string name;
    BlendFunc16 fn;
};

std::vector<Op8> Operators8() {
    return {{"Over", BlendOver8},          {"Add", BlendAdd8},
            {"Multiply", BlendMultiply8},  {"Screen", BlendScreen8},
            {"Overlay", BlendOverlay8},    {"ColorDodge", BlendColorDodge8},
            {"ColorBurn", BlendColorBurn8}};
}

std::vector<Op16> Operators16() {
    return {{"Over", BlendOver16},          {"Add", BlendAdd16},
            {"Multiply", BlendMultiply16},  {"Screen", BlendScreen16},
            {"Overlay", BlendOverlay16},    {"ColorDodge", BlendColorDodge16},
            {"ColorBurn", BlendColorBurn16}};
}

// Adds every entry of the tables, so the shortcuts are checked through the dispatch the
// render uses as well as on the named functions.
void AppendTableEntries(std::vector<Op8>& ops8, std::vector<Op16>& ops16) {
    const BlendTable8& t8 = PixelTraits<PF_Pixel>::kBlendTable;
    const BlendTable16& t16 = PixelTraits<PF_Pixel16>::kBlendTable;
    for (int i = 0; i < kBlendTableSize; ++i) {
        ops8.push_back({"table[" + std::to_string(i) + "]", t8[static_cast<std::size_t>(i)]});
        ops16.push_back({"table[" + std::to_string(i) + "]", t16[static_cast<std::size_t>(i)]});
    }
}

TEST(BlendClamp, ClampsToChannelRange) {
    EXPECT_EQ(ClampChannel8(std::numeric_limits<A_long>::min()), 0);
    EXPECT_EQ(ClampChannel8(-1), 0);
    EXPECT_EQ(ClampChannel8(0), 0);
    EXPECT_EQ(ClampChannel8(128), 128);
    EXPECT_EQ(ClampChannel8(255), 255);
    EXPECT_EQ(ClampChannel8(256), 255);
    EXPECT_EQ(ClampChannel8(std::numeric_limits<A_long>::max()), 255);

    EXPECT_EQ(ClampChannel16(std::numeric_limits<A_long>::min()), 0);
    EXPECT_EQ(ClampChannel16(-1), 0);
    EXPECT_EQ(ClampChannel16(0), 0);
    EXPECT_EQ(ClampChannel16(12345), 12345);
    EXPECT_EQ(ClampChannel16(32767), 32767);
    EXPECT_EQ(ClampChannel16(32768), 32768);
    EXPECT_EQ(ClampChannel16(32769), 32768);
    EXPECT_EQ(ClampChannel16(65535), 32768);  // would still fit the channel type
    EXPECT_EQ(ClampChannel16(65536), 32768);  // would wrap to 0 in the channel type
    EXPECT_EQ(ClampChannel16(std::int64_t{1} << 31), 32768);
}

TEST(BlendShortcuts, TransparentOperandYieldsTheOtherUnchanged) {
    std::vector<Op8> ops8 = Operators8();
    std::vector<Op16> ops16 = Operators16();
    AppendTableEntries(ops8, ops16);

    const std::vector<PF_Pixel> others8 = {P8(255, 10, 200, 30), P8(128, 250, 0, 77),
                                           P8(1, 255, 255, 255), P8(0, 9, 8, 7)};
    for (const Op8& op : ops8) {
        SCOPED_TRACE(op.name + " 8-bit");
        for (const PF_Pixel& other : others8) {
            const PF_Pixel clear_lower = P8(0, 90, 60, 30);
            EXPECT_EQ(Ch(op.fn(clear_lower, other)), Ch(other));
            if (other.alpha != 0) {
                const PF_Pixel clear_upper = P8(0, 40, 50, 60);
                EXPECT_EQ(Ch(op.fn(other, clear_upper)), Ch(other));
            }
        }
        // Both transparent: the lower-alpha rule comes first, so the upper pixel is returned.
        EXPECT_EQ(Ch(op.fn(P8(0, 1, 2, 3), P8(0, 4, 5, 6))), (Channels{0, 4, 5, 6}));
    }

    const std::vector<PF_Pixel16> others16 = {P16(32768, 100, 30000, 32768),
                                              P16(16384, 32768, 0, 777), P16(1, 5, 6, 7),
                                              P16(32767, 1, 2, 3), P16(0, 9, 8, 7)};
    for (const Op16& op : ops16) {
        SCOPED_TRACE(op.name + " 16-bit");
        for (const PF_Pixel16& other : others16) {
            const PF_Pixel16 clear_lower = P16(0, 9000, 6000, 3000);
            EXPECT_EQ(Ch(op.fn(clear_lower, other)), Ch(other));
            if (other.alpha != 0) {
                const PF_Pixel16 clear_upper = P16(0, 4000, 5000, 6000);
                EXPECT_EQ(Ch(op.fn(other, clear_upper)), Ch(other));
            }
        }
        EXPECT_EQ(Ch(op.fn(P16(0, 1, 2, 3), P16(0, 4, 5, 6))), (Channels{0, 4, 5, 6}));
    }
}

TEST(BlendOver, OpaqueUpperReplacesAnyLower) {
    for (const PF_Pixel lower : {P8(255, 1, 2, 3), P8(100, 200, 0, 50), P8(1, 255, 255, 255)}) {
        EXPECT_EQ(Ch(BlendOver8(lower, P8(255, 10, 20, 30))), (Channels{255, 10, 20, 30}));
    }
    for (const PF_Pixel16 lower : {P16(32768, 1, 2, 3), P16(100, 32768, 0, 50)}) {
        EXPECT_EQ(Ch(BlendOver16(lower, P16(32768, 10, 20, 30))), (Channels{32768, 10, 20, 30}));
    }
}

TEST(BlendOver, PartialAlphaMixesWithShiftedLowerWeight) {
    // k = (128 x 255) >> 8 = 127, A = 255.
    EXPECT_EQ(Ch(BlendOver8(P8(255, 0, 0, 0), P8(128, 255, 255, 255))),
              (Channels{255, 128, 128, 128}));
    // k = (128 x 128) >> 8 = 64 (a division by 255 would give 63), A = 192.
    EXPECT_EQ(Ch(BlendOver8(P8(128, 0, 0, 0), P8(128, 255, 255, 255))),
              (Channels{192, 170, 170, 170}));

    EXPECT_EQ(Ch(BlendOver16(P16(32768, 0, 0, 0), P16(16384, 32768, 32768, 32768))),
              (Channels{32768, 16384, 16384, 16384}));
    // k = (16384 x 16384) >> 15 = 8192, A = 24576; 32768 x 16384 / 24576 = 21845.33.
    EXPECT_EQ(Ch(BlendOver16(P16(16384, 0, 32768, 0), P16(16384, 32768, 0, 0))),
              (Channels{24576, 21845, 10922, 0}));
}

TEST(BlendAdd, AddsAlphaWeightedColoursAndClamps) {
    // No shortcut for a full upper alpha: the colours add.
    EXPECT_EQ(Ch(BlendAdd8(P8(255, 100, 0, 200), P8(255, 100, 0, 100))),
              (Channels{255, 200, 0, 255}));
    EXPECT_EQ(Ch(BlendAdd8(P8(255, 100, 0, 200), P8(128, 100, 0, 100))),
              (Channels{255, 150, 0, 250}));

    // The intermediate sum is 2^31.
    EXPECT_EQ(Ch(BlendAdd16(P16(32768, 32768, 32768, 32768), P16(32768, 32768, 32768, 32768))),
              (Channels{32768, 32768, 32768, 32768}));
    // k = 16384, A = 32768; the lower colour keeps its full alpha as weight.
    EXPECT_EQ(Ch(BlendAdd16(P16(32768, 10000, 0, 30000), P16(16384, 20000, 0, 10000))),
              (Channels{32768, 20000, 0, 32768}));
}

TEST(BlendMultiply, MultipliesAndLaysPartialAlphaOver) {
    EXPECT_EQ(Ch(BlendMultiply8(P8(255, 200, 100, 50), P8(255, 100, 100, 100))),
              (Channels{255, 78, 39, 19}));
    EXPECT_EQ(Ch(BlendMultiply8(P8(255, 200, 100, 50), P8(128, 100, 100, 100))),
              (Channels{255, 138, 69, 34}));

    EXPECT_EQ(Ch(BlendMultiply16(P16(32768, 16384, 32768, 1), P16(32768, 16384, 16384, 32767))),
              (Channels{32768, 8192, 16384, 0}));
    // Both alphas partial: mode pixel (16384, 16384, 8192, 0) laid over the lower.
    EXPECT_EQ(Ch(BlendMultiply16(P16(16384, 32768, 16384, 0), P16(16384, 16384, 16384, 16384))),
              (Channels{24576, 21845, 10922, 0}));
}

TEST(BlendScreen, ScreensAndOpaqueUpperOverPartialLowerGivesModePixel) {
    EXPECT_EQ(Ch(BlendScreen8(P8(255, 200, 100, 50), P8(255, 100, 100, 100))),
              (Channels{255, 222, 161, 131}));
    // Lower alpha partial, upper full: over returns the mode pixel unchanged.
    EXPECT_EQ(Ch(BlendScreen8(P8(100, 200, 100, 50), P8(255, 100, 100, 100))),
              (Channels{255, 222, 161, 131}));

    EXPECT_EQ(Ch(BlendScreen16(P16(32768, 16384, 32768, 0), P16(32768, 16384, 32768, 100))),
              (Channels{32768, 24576, 32768, 100}));
}

TEST(BlendOverlay, ChoosesBranchByLowerChannel) {
    // Red 127 takes the first branch, green 128 and blue 255 the second; the other branch
    // would give 201 and 200 for red and green.
    EXPECT_EQ(Ch(BlendOverlay8(P8(255, 127, 128, 255), P8(255, 200, 200, 200))),
              (Channels{255, 199, 201, 255}));
    // Split at 16384: first branch for 16383, second for 16384 (the other branch would give
    // 20000, 2 and 32768).
    EXPECT_EQ(Ch(BlendOverlay16(P16(32768, 16383, 16384, 16383), P16(32768, 20000, 3, 32767))),
              (Channels{32768, 19998, 4, 32765}));
}

TEST(BlendColorDodge, FullUpperChannelGivesFullAndOverflowClamps) {
    EXPECT_EQ(Ch(BlendColorDodge8(P8(255, 100, 100, 0), P8(255, 255, 200, 100))),
              (Channels{255, 255, 255, 0}));
    EXPECT_EQ(Ch(BlendColorDodge8(P8(255, 0, 0, 100), P8(255, 255, 0, 100))),
              (Channels{255, 255, 0, 164}));

    EXPECT_EQ(Ch(BlendColorDodge16(P16(32768, 0, 1000, 20000), P16(32768, 32768, 24576, 30000))),
              (Channels{32768, 32768, 4000, 32768}));

    // The clamp applies to the mode pixel before it is laid over: 463 becomes 255 first.
    EXPECT_EQ(Ch(BlendColorDodge8(P8(255, 100, 0, 0), P8(128, 200, 0, 0))),
              (Channels{255, 177, 0, 0}));
}

TEST(BlendColorBurn, ZeroUpperChannelGivesZeroAndNegativesClamp) {
    EXPECT_EQ(Ch(BlendColorBurn8(P8(255, 128, 255, 0), P8(255, 64, 0, 255))),
              (Channels{255, 0, 0, 0}));
    // 255 - (55 x 255) / 128 = 146.
    EXPECT_EQ(Ch(BlendColorBurn8(P8(255, 200, 0, 0), P8(255, 128, 1, 0))),
              (Channels{255, 146, 0, 0}));

    EXPECT_EQ(Ch(BlendColorBurn16(P16(32768, 16384, 0, 32768), P16(32768, 8192, 1, 1))),
              (Channels{32768, 0, 0, 32768}));
    EXPECT_EQ(Ch(BlendColorBurn16(P16(32768, 32768, 24576, 0), P16(32768, 0, 16384, 32768))),
              (Channels{32768, 0, 16384, 0}));

    // The negative mode value becomes 0 before the over step: (0 x 128 + 128 x 127) / 255.
    EXPECT_EQ(Ch(BlendColorBurn8(P8(255, 128, 0, 0), P8(128, 64, 0, 0))),
              (Channels{255, 63, 0, 0}));
}

TEST(BlendTables, LayoutFollowsPopupValues) {
    const BlendTable8& t8 = PixelTraits<PF_Pixel>::kBlendTable;
    const BlendTable16& t16 = PixelTraits<PF_Pixel16>::kBlendTable;

    const BlendTable8 expected8 = {BlendOver8,    BlendOver8,       BlendAdd8,
                                   BlendAdd8,     BlendMultiply8,   BlendScreen8,
                                   BlendOverlay8, BlendColorDodge8, BlendColorBurn8};
    const BlendTable16 expected16 = {BlendOver16,    BlendOver16,       BlendAdd16,
                                     BlendAdd16,     BlendMultiply16,   BlendScreen16,
                                     BlendOverlay16, BlendColorDodge16, BlendColorBurn16};
    for (std::size_t i = 0; i < expected8.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(t8[i], expected8[i]);
        EXPECT_EQ(t16[i], expected16[i]);
    }
}

TEST(BlendTables, IndexKeepsPopupValuesAndMapsOthersToNormal) {
    for (A_long v = 0; v < kBlendTableSize; ++v) {
        EXPECT_EQ(blend_table_index(v), v);
    }
    for (const A_long v : {A_long{-1}, A_long{9}, A_long{100}, std::numeric_limits<A_long>::min(),
                           std::numeric_limits<A_long>::max()}) {
        SCOPED_TRACE(v);
        EXPECT_EQ(blend_table_index(v), 1);
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

template <class Pixel, class Op>
void ExpectBoundedAndDeterministic(const std::vector<Op>& ops, int full, unsigned seed) {
    std::mt19937 rng(seed);
    for (int n = 0; n < 20000; ++n) {
        const Pixel lower = RandomPixel<Pixel>(rng, full);
        const Pixel upper = RandomPixel<Pixel>(rng, full);
        for (const Op& op : ops) {
            const Channels first = Ch(op.fn(lower, upper));
            for (const int c : first) {
                ASSERT_LE(c, full) << op.name << " lower " << testing::PrintToString(Ch(lower))
                                   << " upper " << testing::PrintToString(Ch(upper));
            }
            ASSERT_EQ(Ch(op.fn(lower, upper)), first) << op.name;
        }
    }
}

TEST(BlendProperties, RandomPairsStayInRangeAndRepeat) {
    ExpectBoundedAndDeterministic<PF_Pixel>(Operators8(), kFull8, 12345u);
    ExpectBoundedAndDeterministic<PF_Pixel16>(Operators16(), kFull16, 67890u);
}

}  // namespace
