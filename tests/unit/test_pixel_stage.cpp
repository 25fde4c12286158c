// The pixel stage's fast paths against the plain per-pixel rule: the opacity scaling for every
// alpha, and the lanes of every arithmetic against the reference operator for every mode
// (every row length: test_kernel_rows.cpp; the overlap rules: stage_checks.h).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <random>
#include <vector>

#include "composite/pixel_stage.h"
#include "composite/pixel_traits.h"
#include "composite/stream_copy.h"
#include "unit/stage_checks.h"

namespace {

// Opacities as the Opacity slider's 16.16 percent gives them, besides the plain ones.
std::vector<double> Opacities() {
    std::vector<double> o = {0.0, 1.0, 0.5, 0.7, 0.3, 0.999};
    for (int fixed : {1, 2, 3, 100, 65535, 65536, 655, 3276800, 4587520, 6553599}) {
        o.push_back(fixed / 65536.0 * 0.01);
    }
    return o;
}

template <class Channel>
Channel Product(unsigned alpha, double opacity) {
    return static_cast<Channel>(alpha * opacity);
}

TEST(OpacityScale, EightBitTableEqualsTheTruncatedProductForEveryAlpha) {
    for (double o : Opacities()) {
        const OpacityScale<PF_Pixel> scale(o);
        bool all_zero = true;
        for (unsigned a = 0; a <= 255; ++a) {
            const A_u_char want = Product<A_u_char>(a, o);
            ASSERT_EQ(scale(static_cast<A_u_char>(a)), want) << "alpha " << a << " opacity " << o;
            all_zero = all_zero && want == 0;
        }
        EXPECT_EQ(scale.all_zero(), all_zero) << o;
    }
}

TEST(OpacityScale, SixteenBitEqualsTheTruncatedProductForEveryAlphaInAnyOrder) {
    std::vector<unsigned> order(65536);
    for (unsigned a = 0; a < order.size(); ++a) order[a] = a;
    std::mt19937 rng(7);
    for (double o : Opacities()) {
        OpacityScale<PF_Pixel16> scale(o);
        bool all_zero = true;
        // Ascending, then shuffled: the kept product must follow every change of alpha.
        for (unsigned a : order) {
            const A_u_short want = Product<A_u_short>(a, o);
            ASSERT_EQ(scale(static_cast<A_u_short>(a)), want) << "alpha " << a << " opacity " << o;
            all_zero = all_zero && want == 0;
        }
        std::vector<unsigned> shuffled = order;
        std::shuffle(shuffled.begin(), shuffled.end(), rng);
        for (unsigned a : shuffled) {
            ASSERT_EQ(scale(static_cast<A_u_short>(a)), Product<A_u_short>(a, o)) << a << " " << o;
        }
        EXPECT_EQ(scale.all_zero(), all_zero) << o;
    }
}

// Every quotient the 8-bit operators divide by a varying divisor: dividends up to the Add sum
// 2 x 255 x 255, every divisor an alpha can be.
TEST(BlendLanes, FloatDivisionIsTheIntegerQuotientForEveryEightBitOperand) {
    for (std::int32_t d = 1; d <= 255; ++d) {
        for (std::int32_t n = 0; n <= 2 * 255 * 255; ++n) {
            const float got = lanes::Arith::quot(static_cast<float>(n), static_cast<float>(d));
            if (got != static_cast<float>(n / d)) {
                FAIL() << n << " / " << d << " gave " << got;
            }
        }
    }
}

// The float lanes against the reference, for every pair of alphas (every case of
// every operator hangs on the alphas) with random colours, and every pair of channels through
// the mode formulas at full alpha.
TEST(BlendLanes, EveryEightBitOperatorEqualsTheReferenceForEveryAlphaPair) {
    std::mt19937 rng(5);
    std::uniform_int_distribution<int> channel(0, 255);
    ForEachOperator([&](auto op) {
        constexpr BlendKind kKind = decltype(op)::kind;
        const int index = static_cast<int>(kKind);
        auto check = [op](int, PF_Pixel l, PF_Pixel u) {
            const PF_Pixel want = op(l, u);
            return lanes::pack(lanes::blend<kKind>(lanes::unpack(load_word(&l)),
                                                   lanes::unpack(load_word(&u)))) ==
                   load_word(&want);
        };
        for (int la = 1; la <= 255; ++la) {
            for (int ua = 0; ua <= 255; ++ua) {
                for (int n = 0; n < 3; ++n) {
                    const PF_Pixel l{static_cast<A_u_char>(la), static_cast<A_u_char>(channel(rng)),
                                     static_cast<A_u_char>(channel(rng)),
                                     static_cast<A_u_char>(channel(rng))};
                    const PF_Pixel u{static_cast<A_u_char>(ua), static_cast<A_u_char>(channel(rng)),
                                     static_cast<A_u_char>(channel(rng)),
                                     static_cast<A_u_char>(channel(rng))};
                    ASSERT_TRUE(check(index, l, u)) << index << " alphas " << la << " " << ua;
                }
            }
        }
        for (int lc = 0; lc <= 255; ++lc) {
            for (int uc = 0; uc <= 255; ++uc) {
                const auto c = [](int v) { return static_cast<A_u_char>(v); };
                const PF_Pixel l{255, c(lc), c(255 - lc), c(lc)};
                const PF_Pixel u{255, c(uc), c(uc), c(255 - uc)};
                ASSERT_TRUE(check(index, l, u)) << index << " channels " << lc << " " << uc;
            }
        }
    });
}

TEST(BlendLanes, DivisionBy255InSixteenBitLanesIsExactUpTo65279) {
    using V = onto_opaque::Vec<std::uint16_t, 16>;
    for (unsigned x = 0; x <= 65279; x += 8) {
        V v;
        for (unsigned i = 0; i < 8; ++i) v[i] = static_cast<std::uint16_t>(std::min(x + i, 65279u));
        const V q = onto_opaque::div255(v);
        for (unsigned i = 0; i < 8; ++i) ASSERT_EQ(q[i], v[i] / 255) << v[i];
    }
}

// Opaque stretches under opaque footage in 8-bit channels against the reference: every
// pair of channels at a few upper alphas, random channels at every upper alpha.
TEST(BlendLanes, OpaqueStretchesEqualTheReference) {
    std::mt19937 rng(17);
    std::uniform_int_distribution<int> channel(0, 255);
    const auto c = [](int v) { return static_cast<A_u_char>(v); };
    ForEachOperator([&](auto op) {
        constexpr BlendKind kKind = decltype(op)::kind;
        const int index = static_cast<int>(kKind);
        {
            for (int ua = 0; ua <= 255; ++ua) {
                const bool every_pair = ua <= 2 || ua == 127 || ua == 128 || ua == 178 || ua >= 254;
                for (int lc = 0; lc <= 255; ++lc) {
                    std::vector<PF_Pixel> lower(256), source(256);
                    for (int uc = 0; uc <= 255; ++uc) {
                        const auto i = static_cast<std::size_t>(uc);
                        lower[i] = every_pair ? PF_Pixel{255, c(lc), c(255 - lc), c(lc)}
                                              : PF_Pixel{255, c(channel(rng)), c(channel(rng)),
                                                         c(channel(rng))};
                        source[i] = every_pair ? PF_Pixel{255, c(uc), c(uc), c(255 - uc)}
                                               : PF_Pixel{255, c(channel(rng)), c(channel(rng)),
                                                          c(channel(rng))};
                    }
                    const std::vector<PF_Pixel> got = OntoOpaqueRow<kKind>(
                        lower, source, static_cast<unsigned>(ua), ua % 2 == 0 ? 16 : 32);
                    for (std::size_t i = 0; i < got.size(); ++i) {
                        PF_Pixel upper = source[i];
                        upper.alpha = c(ua);
                        const PF_Pixel want = op(lower[i], upper);
                        ASSERT_TRUE(Same(got[i], want)) << index << " alpha " << ua << " at " << i;
                    }
                    if (!every_pair && lc > 2) break;
                }
            }
        }
    });
}

// The same in 16-bit for channels up to full: edge and random upper alphas, channels at the
// ends of the range and random.
TEST(BlendLanes, SixteenBitOpaqueStretchesEqualTheReference) {
    std::mt19937 rng(19);
    std::uniform_int_distribution<int> channel(0, 32768);
    const auto c = [](int v) { return static_cast<A_u_short>(v); };
    std::vector<int> alphas = {0, 1, 2, 16383, 16384, 16385, 22937, 32766, 32767, 32768};
    for (int i = 0; i < 200; ++i) alphas.push_back(channel(rng));
    ForEachOperator([&](auto op) {
        constexpr BlendKind kKind = decltype(op)::kind;
        const int index = static_cast<int>(kKind);
        for (int ua : alphas) {
            {
                std::vector<PF_Pixel16> lower(300), source(300);
                const auto pick = [&](std::size_t i) {
                    return i < 4 ? c(i % 2 == 0 ? 0 : 32768) : c(channel(rng));
                };
                for (std::size_t i = 0; i < lower.size(); ++i) {
                    lower[i] = {32768, pick(i), pick(i), pick(i)};
                    source[i] = {32768, pick(i / 2), pick(i), pick(i)};
                }
                const std::vector<PF_Pixel16> got = OntoOpaqueRow<kKind>(
                    lower, source, static_cast<unsigned>(ua), ua % 2 == 0 ? 16 : 32);
                for (std::size_t i = 0; i < got.size(); ++i) {
                    PF_Pixel16 upper = source[i];
                    upper.alpha = c(ua);
                    const PF_Pixel16 want = op(lower[i], upper);
                    ASSERT_TRUE(Same(got[i], want)) << index << " alpha " << ua << " at " << i;
                }
            }
        }
    });
}

// The whole-row opacity test: every row length up to three chunks, with one pixel of another
// alpha at every place (in 16-bit also alphas beyond full and sharing full's bit).
template <class P, std::size_t VB>
void CheckFullAlphaRows() {
    using T = PixelTraits<P>;
    using C = typename T::Channel;
    std::vector<C> others;
    for (int alpha : sizeof(P) == 4 ? std::vector<int>{0, 1, 127, 254}
                                    : std::vector<int>{0, 1, 32767, 32769, 0xC000, 0xFFFF}) {
        others.push_back(static_cast<C>(alpha));
    }
    for (std::size_t n = 0; n <= 3 * T::kChunkPixels; ++n) {
        std::vector<P> row(n, P{static_cast<C>(T::kFull), 7, 8, 9});
        EXPECT_TRUE(onto_opaque::all_full_alpha<VB>(row.data(), n)) << "length " << n;
        for (std::size_t at = 0; at < n; ++at) {
            for (C alpha : others) {
                row[at].alpha = alpha;
                EXPECT_FALSE(onto_opaque::all_full_alpha<VB>(row.data(), n))
                    << "length " << n << " at " << at << " alpha " << alpha << " vector " << VB;
            }
            row[at].alpha = static_cast<C>(T::kFull);
        }
    }
}

TEST(BlendLanes, FullAlphaRowsAreFoundInEveryLengthAndWidth) {
    CheckFullAlphaRows<PF_Pixel, 16>();
    CheckFullAlphaRows<PF_Pixel, 32>();
    CheckFullAlphaRows<PF_Pixel16, 16>();
    CheckFullAlphaRows<PF_Pixel16, 32>();
}

// Streamed copies and clears: every length up to a few lines, from every place within a line,
// equal memmove's and memset's, and the bytes around the destination stay as they were.
TEST(StreamCopy, EveryLengthAndLinePlaceEqualsMemmoveAndMemset) {
    std::vector<std::uint8_t> src(512), dst(512), want(512);
    for (std::size_t i = 0; i < src.size(); ++i) src[i] = static_cast<std::uint8_t>(i * 7 + 3);
    const auto line = [](const std::uint8_t* p) {
        return reinterpret_cast<std::uintptr_t>(p) % 64;
    };
    std::size_t start = 64;
    while (line(dst.data() + start) != 0) ++start;
    for (std::size_t place = 0; place < 64; ++place) {
        for (std::size_t bytes = 0; bytes <= 4 * 64 + 1; ++bytes) {
            std::fill(dst.begin(), dst.end(), std::uint8_t{0xEE});
            want = dst;
            std::memmove(want.data() + start + place, src.data() + 1, bytes);
            stream_copy::copy(dst.data() + start + place, src.data() + 1, bytes, 0);
            stream_copy::settle();
            ASSERT_EQ(dst, want) << "place " << place << " bytes " << bytes;
            std::memset(want.data() + start + place, 0, bytes);
            stream_copy::clear(dst.data() + start + place, bytes);
            stream_copy::settle();
            ASSERT_EQ(dst, want) << "cleared: place " << place << " bytes " << bytes;
        }
    }
}

}  // namespace
