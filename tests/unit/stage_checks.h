// What the pixel stage's tests share: the check of every overlap rule on random rows of mixed
// alpha, odd lengths, both depths, against the plain per-pixel rule, for which the build writes
// one test unit per depth and operator group; and the check of the vector kernels on every row
// length, for which it writes one unit per depth.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <random>
#include <vector>

#include "composite/onto_opaque.h"
#include "composite/pixel_stage.h"
#include "composite/pixel_traits.h"
#include "core/draw_steps.h"

namespace {

template <class P>
P RandomPixel(std::mt19937& rng) {
    using T = PixelTraits<P>;
    using C = typename T::Channel;
    std::uniform_int_distribution<unsigned> channel(0, static_cast<unsigned>(T::kFull));
    std::uniform_int_distribution<int> kind(0, 15);
    P p{0, static_cast<C>(channel(rng)), static_cast<C>(channel(rng)),
        static_cast<C>(channel(rng))};
    // Mostly free or opaque, as footage is, with partial alphas between.
    const int k = kind(rng);
    p.alpha = k < 4 ? C{0} : k < 11 ? static_cast<C>(T::kFull) : static_cast<C>(channel(rng));
    // 16-bit worlds can hold channels beyond full; the operators must still agree.
    if (sizeof(C) == 2 && k == 15) p.red = static_cast<C>(0xFFFF - channel(rng));
    return p;
}

template <class P>
bool Same(const P& a, const P& b) {
    return std::memcmp(&a, &b, sizeof a) == 0;
}

// Calls f with every operator.
template <class F>
void ForEachOperator(F f) {
    for (int k = 0; k < static_cast<int>(BlendKind::count); ++k) {
        with_blend_op(static_cast<BlendKind>(k), f);
    }
}

// A row of opaque footage over opaque output through the narrow kernel, at one upper alpha, in
// both vector widths; the general path must not be needed.
template <BlendKind K, class P>
std::vector<P> OntoOpaqueRow(std::vector<P> lower, const std::vector<P>& source, unsigned ua,
                             std::size_t vector_bytes) {
    using W16 = onto_opaque::Words<P, 16>;
    using W32 = onto_opaque::Words<P, 32>;
    bool general_used = false;
    const auto general = [&](P*, const P*, std::size_t) { general_used = true; };
    if (vector_bytes == 16) {
        onto_opaque::blend_row<K, 16>(
            lower.data(), source.data(), lower.size(), {0, 0},
            [ua](const W16&, W16& out) { out = W16{} + ua; }, general);
    } else {
        onto_opaque::blend_row<K, 32>(
            lower.data(), source.data(), lower.size(), {0, 0},
            [ua](const W32&, W32& out) { out = W32{} + ua; }, general);
    }
    EXPECT_FALSE(general_used);
    return lower;
}

// The pixel rule one pixel at a time, through the reference operator.
template <class P>
P PlainRule(const OverlapSettings<P>& s, P lower, P source) {
    if (lower.alpha == 0 || s.completed) return source;
    P upper = source;
    upper.alpha = static_cast<typename PixelTraits<P>::Channel>(upper.alpha * s.opacity);
    return with_blend_op(s.kind, [&](auto op) { return op(lower, s.footage ? upper : s.color); });
}

// Random blocks drawn at random offsets into a small world already holding random pixels,
// through the chosen rule, against the plain rule pixel by pixel: the rules without an
// operator and those of the operators of group G (draw_steps.h), whose drawing is as large to
// build as the render's, and is built in as many units.
template <class P, int G>
void CheckEveryRule() {
    using T = PixelTraits<P>;
    std::mt19937 rng(11);
    // Rows padded by a few bytes, so that pixels do not sit on word boundaries in 8-bit; wide
    // enough for rows that opaque footage covers through the kernels rather than by copying.
    constexpr A_long kW = 2048 / sizeof(P) + 75, kH = 9;
    const std::ptrdiff_t rowbytes = kW * static_cast<std::ptrdiff_t>(sizeof(P)) + 6;
    std::vector<std::uint8_t> in(static_cast<std::size_t>(rowbytes * kH));
    std::vector<std::uint8_t> out(in.size());
    auto px = [&](std::vector<std::uint8_t>& w, A_long x, A_long y) {
        return reinterpret_cast<P*>(w.data() + y * rowbytes) + x;
    };
    int cases = 0;
    constexpr int kKinds = static_cast<int>(BlendKind::count);
    int group_kinds = 0;
    for (int index = G; index < kKinds; index += kDrawGroups, ++group_kinds) {
        for (double opacity : {0.0, 1.0 / 65536 * 0.01, 0.5, 0.7, 1.0}) {
            for (int flags = 0; flags < 4; ++flags) {
                OverlapSettings<P> s{(flags & 1) != 0, (flags & 2) != 0,
                                     static_cast<BlendKind>(index), opacity, RandomPixel<P>(rng)};
                s.color.alpha = static_cast<typename T::Channel>(
                    s.completed ? 0 : static_cast<A_long>(T::kFull * opacity));
                for (int round = 0; round < 9; ++round, ++cases) {
                    for (A_long y = 0; y < kH; ++y) {
                        for (A_long x = 0; x < kW; ++x) {
                            *px(in, x, y) = RandomPixel<P>(rng);
                            *px(out, x, y) = RandomPixel<P>(rng);
                        }
                    }
                    // Whole opaque source rows and whole free output rows take their own paths.
                    if (round == 1)
                        std::fill(px(in, 0, 2), px(in, 0, 2) + kW, P{T::kFull, 1, 2, 3});
                    if (round == 2) std::fill(px(out, 0, 3), px(out, 0, 3) + kW, P{});
                    // Opaque footage over opaque output everywhere: the opaque stretches.
                    if (round == 6) {
                        for (A_long y = 0; y < kH; ++y) {
                            for (A_long x = 0; x < kW; ++x) {
                                px(in, x, y)->alpha = static_cast<typename T::Channel>(T::kFull);
                                px(out, x, y)->alpha = static_cast<typename T::Channel>(T::kFull);
                            }
                        }
                    }
                    // Output free or opaque, as footage leaves it, with a rare other pixel;
                    // footage opaque on some rows: the chunks of the narrow kernels.
                    if (round >= 7) {
                        std::uniform_int_distribution<int> pick(0, 63);
                        for (A_long y = 0; y < kH; ++y) {
                            const bool opaque_row = y % 2 == 0;
                            for (A_long x = 0; x < kW; ++x) {
                                P& o = *px(out, x, y);
                                const int k = pick(rng);
                                if (k != 0) {
                                    o.alpha = static_cast<typename T::Channel>(
                                        k < 24 ? 0 : static_cast<A_long>(T::kFull));
                                    if (sizeof(P) == 2 * 4 && o.red > T::kFull) {
                                        o.red = static_cast<typename T::Channel>(T::kFull);
                                    }
                                }
                                if (opaque_row) {
                                    px(in, x, y)->alpha =
                                        static_cast<typename T::Channel>(T::kFull);
                                }
                            }
                        }
                    }
                    std::uniform_int_distribution<A_long> x0(0, kW - 1), y0(0, kH - 1);
                    std::uniform_int_distribution<A_long> shift(-6, 6);
                    const A_long bx = x0(rng), by = y0(rng);
                    const BlockExtent block{bx, std::min<A_long>(kW, bx + 1 + x0(rng)), by,
                                            std::min<A_long>(kH, by + 1 + y0(rng))};
                    const Offset offset{shift(rng), shift(rng)};
                    std::vector<std::uint8_t> want = out;
                    for (A_long y = block.y0; y < block.y1; ++y) {
                        for (A_long x = block.x0; x < block.x1; ++x) {
                            const A_long xd = x + offset.x, yd = y + offset.y;
                            if (xd < 0 || xd >= kW || yd < 0 || yd >= kH) continue;
                            *px(want, xd, yd) = PlainRule(s, *px(want, xd, yd), *px(in, x, y));
                        }
                    }
                    // Both builds of the drawing: plain vectors, and wide ones where the
                    // processor has them; long rows through the cache and streamed.
                    const std::vector<std::uint8_t> before = out;
                    for (int build = 0; build < 4; ++build) {
                        const bool wide = build / 2 != 0, stream = build % 2 != 0;
                        if (wide && !wide_vectors_available()) continue;
                        out = before;
                        const PixelStage<P> stage{in.data(), out.data(), rowbytes, rowbytes,
                                                  kW,        kH,         stream,   {0, 0, kW, kH}};
                        const auto draw = [&](auto rule) {
                            if (wide) {
                                draw_block_wide(stage, rule, block, offset);
                            } else {
                                draw_block(stage, rule, block, offset);
                            }
                        };
                        with_overlap_rule(s, draw, [&](auto op) {
                            if constexpr (static_cast<int>(decltype(op)::kind) % kDrawGroups == G) {
                                with_blend_rule(s, op, draw);
                            }
                        });
                        ASSERT_EQ(out, want)
                            << "index " << index << " opacity " << opacity << " flags " << flags
                            << " round " << round << " wide " << wide << " stream " << stream;
                    }
                }
            }
        }
    }
    EXPECT_EQ(cases, group_kinds * 5 * 4 * 9);
}

// Every row length from 1 to three chunks, in both vector widths and both depths: output free,
// opaque or (rarely) anything, footage of any alpha; the kernel with the footage's own alphas
// against the operator pixel by pixel (free output takes the footage pixel).
template <class P, std::size_t VB>
void CheckKernelRowLengths() {
    using T = PixelTraits<P>;
    using W = onto_opaque::Words<P, VB>;
    std::mt19937 rng(23);
    std::uniform_int_distribution<int> pick(0, 31);
    ForEachOperator([&](auto op) {
        constexpr BlendKind kKind = decltype(op)::kind;
        const int index = static_cast<int>(kKind);
        {
            for (std::size_t n = 1; n <= 3 * T::kChunkPixels; ++n) {
                std::vector<P> lower(n), source(n);
                for (std::size_t i = 0; i < n; ++i) {
                    lower[i] = RandomPixel<P>(rng);
                    source[i] = RandomPixel<P>(rng);
                    const int k = pick(rng);
                    if (k != 0) {
                        lower[i].alpha = static_cast<typename T::Channel>(k < 12 ? 0 : T::kFull);
                        lower[i].red =
                            std::min(lower[i].red, static_cast<decltype(lower[i].red)>(T::kFull));
                    }
                }
                std::vector<P> got = lower;
                onto_opaque::blend_row<kKind, VB>(
                    got.data(), source.data(), n, {0, 0},
                    [](const W& w, W& out) { out = w & T::kAlphaBits; },
                    [&](P* d, const P* src, std::size_t count) {
                        for (std::size_t i = 0; i < count; ++i) {
                            d[i] = d[i].alpha == 0 ? src[i] : op(d[i], src[i]);
                        }
                    });
                for (std::size_t i = 0; i < n; ++i) {
                    const P want = lower[i].alpha == 0 ? source[i] : op(lower[i], source[i]);
                    ASSERT_TRUE(Same(got[i], want))
                        << "index " << index << " length " << n << " at " << i << " vector " << VB;
                }
            }
        }
    });
}

}  // namespace
