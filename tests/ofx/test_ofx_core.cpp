// The plug-in's host-free parts: straight and premultiplied colour, the render scale as the
// effect's downsample, and parameter values as the effect receives them.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>

#include "ofx/ofx_frames.h"
#include "ofx/ofx_params.h"
#include "ofx/ofx_render.h"

using namespace zx::ofx;

TEST(OfxColour, PremultipliedColourComesBackFromStraightUnchanged) {
    for (std::uint32_t a = 0; a <= 255; ++a) {
        for (std::uint32_t c = 0; c <= a; ++c) {
            const std::uint32_t s = unpremultiply(c, a, 255);
            ASSERT_LE(s, 255u);
            ASSERT_EQ(premultiply(s, a, 255), c) << c << " at alpha " << a;
        }
    }
    for (std::uint32_t a = 0; a <= 32768; ++a) {
        for (std::uint32_t c :
             {0u, 1u, a / 3, a / 2, a > 0 ? a - 1 : 0u, a, (a * 40503u) % (a + 1)}) {
            if (c > a) continue;
            const std::uint32_t s = unpremultiply(c, a, 32768);
            ASSERT_LE(s, 32768u);
            ASSERT_EQ(premultiply(s, a, 32768), c) << c << " at alpha " << a;
        }
    }
    // Alpha 0 keeps its colour both ways; colour beyond its alpha ends at full.
    EXPECT_EQ(unpremultiply(7, 0, 255), 7u);
    EXPECT_EQ(premultiply(7, 0, 255), 7u);
    EXPECT_EQ(unpremultiply(200, 100, 255), 255u);
}

TEST(OfxRenderScale, BecomesTheSmallestFraction) {
    const auto is = [](double s, A_long n, A_u_long d) {
        const Downsample r = downsample_of(s);
        return r.num == n && r.den == d;
    };
    EXPECT_TRUE(is(0.5, 1, 2));
    EXPECT_TRUE(is(0.25, 1, 4));
    EXPECT_TRUE(is(1.0 / 3.0, 1, 3));
    EXPECT_TRUE(is(0.3, 3, 10));
    EXPECT_TRUE(is(0.0007, 1, 1000));  // no fraction near enough: thousandths, at least 1
    EXPECT_TRUE(is(0.4567, 457, 1000));
    for (double s : {1.0, 2.0, 0.0, -0.5, std::numeric_limits<double>::quiet_NaN(),
                     std::numeric_limits<double>::infinity()}) {
        EXPECT_TRUE(is(s, 1, 1)) << s;
    }
}

TEST(OfxParams, ValuesReachTheEffectClampedAndMapped) {
    ParamValues v = default_values();
    v.whole[kParamRow] = 5000;
    v.whole[kParamSeed] = -3;
    v.whole[kParamSplit] = 99;
    v.whole[kParamBlendMode] = 1;  // the second selectable item, after the separator
    v.percent[kParamOpacity] = std::numeric_limits<double>::quiet_NaN();
    v.percent[kParamCompletion] = 133.3;
    v.rgb[kParamColor] = {0.5, -1.0, 2.0};
    const PanelValues p = panel_values(v, completion_percent(v));
    EXPECT_EQ(p.rows, 2000);
    EXPECT_EQ(p.seed, 0);
    EXPECT_EQ(p.split, kSplitHeightColumn);
    EXPECT_EQ(p.blend_mode, choice_number(kParamBlendMode, "Add"));
    EXPECT_EQ(p.opacity_percent, 0.0);
    EXPECT_EQ(p.completion_percent, 100.0);
    EXPECT_EQ(p.color.alpha, 255);
    EXPECT_EQ(p.color.red, 128);
    EXPECT_EQ(p.color.green, 0);
    EXPECT_EQ(p.color.blue, 255);
}

TEST(OfxParams, DefaultsAreTheTablesDefaults) {
    PanelValues p = panel_values(default_values(), 0.0);
    for (const ParamEntry& e : kParamTable) {
        if (const std::int32_t* whole = whole_value(p, e.index)) {
            EXPECT_EQ(*whole, e.dephault) << e.name;
        } else if (const double* percent = percent_value(p, e.index);
                   percent != nullptr && e.index != kParamCompletion) {
            EXPECT_EQ(*percent, e.dephault) << e.name;
        }
    }
    EXPECT_EQ(p.color.red, param_entry(kParamColor).color.red);
}
