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
    zx::embed::Host host;
    ASSERT_EQ(host.status(), zx::embed::Status::ok);
    ParamValues v = default_values();
    v.whole[kParamRow] = 5000;
    v.whole[kParamSeed] = -3;
    v.whole[kParamSplit] = 99;
    v.whole[kParamBlendMode] = 1;  // the second selectable item, after the separator
    v.percent[kParamOpacity] = std::numeric_limits<double>::quiet_NaN();
    v.percent[kParamCompletion] = 33.3;
    v.rgb[kParamColor] = {0.5, -1.0, 2.0};
    ASSERT_EQ(apply_values(v, false, host), zx::embed::Status::ok);
    EXPECT_EQ(host.param(kParamRow)->u.sd.value, 2000);
    EXPECT_EQ(host.param(kParamSeed)->u.sd.value, 0);
    EXPECT_EQ(host.param(kParamSplit)->u.pd.value, kSplitHeightColumn);
    EXPECT_EQ(host.param(kParamBlendMode)->u.pd.value, choice_number(kParamBlendMode, "Add"));
    EXPECT_EQ(host.param(kParamOpacity)->u.fd.value, 0);
    EXPECT_EQ(host.param(kParamCompletion)->u.fd.value, 0);  // left at its default
    const PF_Pixel c = host.param(kParamColor)->u.cd.value;
    EXPECT_EQ(c.alpha, 255);
    EXPECT_EQ(c.red, 128);
    EXPECT_EQ(c.green, 0);
    EXPECT_EQ(c.blue, 255);
    ASSERT_EQ(apply_values(v, true, host), zx::embed::Status::ok);
    EXPECT_EQ(host.param(kParamCompletion)->u.fd.value, std::lround(33.3 * 65536.0));
}

TEST(OfxParams, DefaultsAreTheTablesDefaults) {
    zx::embed::Host fresh;
    zx::embed::Host set;
    ASSERT_EQ(apply_values(default_values(), true, set), zx::embed::Status::ok);
    for (int i = 1; i < kParamCount; ++i) {
        const PF_ParamDef* a = fresh.param(i);
        const PF_ParamDef* b = set.param(i);
        EXPECT_EQ(std::memcmp(&a->u, &b->u, sizeof a->u), 0) << "parameter " << i;
    }
}
