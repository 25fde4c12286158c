// The 8-bit blend operators without branches, for rows of occupied pixels: every case of an
// operator is worked out and the right one selected, and the division by a varying alpha is a
// float division, so the compiler runs a loop of them on many pixels at once. Each gives, bit
// for bit, what the operator of blend_ops.h gives for the same pixels (tests/unit).
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "composite/blend_ops.h"
#include "host/ae_api.h"

namespace lanes {

// One 8-bit pixel with its channels as floats. Every value the operators form from 8-bit
// channels is an integer below 2^24, which a float holds exactly: products and sums are exact,
// and SSE2 multiplies four floats at once where it has no such instruction for 32-bit integers.
struct Px {
    float a, r, g, b;
};

ZX_INLINE float trunc(float x) {
    return static_cast<float>(static_cast<std::int32_t>(x));
}

// n / d truncated, for whole 0 <= n <= 2 x 255 x 255 and 1 <= d <= 255. Exact: q = n / d lies in
// [m, m + 1 - 1/d] with m the integer quotient; rounding to nearest never takes a value below
// the representable m, and moves q up by at most q x 2^-24 < 1/d (since (m + 1) x d <= n + d
// < 2^17), so the rounded quotient stays below m + 1. The bound leaves room to spare for a
// quotient kept in wider x87 registers, even rounded twice.
ZX_INLINE float quot(float n, float d) {
    return trunc(n / d);
}

// x where c, else y, by masks rather than a conditional: a conditional lets the compiler compute
// one side only, behind a branch, and a branch keeps it from running the loop on many pixels
// at once.
ZX_INLINE float pick(bool c, float x, float y) {
    const std::int32_t m = -static_cast<std::int32_t>(c);
    return __builtin_bit_cast(float, (__builtin_bit_cast(std::int32_t, x) & m) |
                                         (__builtin_bit_cast(std::int32_t, y) & ~m));
}

// ((256 - U.a) x L.a) >> 8; the shift is a multiply by an exact power of two, truncated.
ZX_INLINE float lower_weight(Px l, Px u) {
    return trunc((256.0f - u.a) * l.a * (1.0f / 256.0f));
}

// Mixes with lower weight w and the over weight k. With a lower alpha of at least 1 the result
// alpha is at least 1, and the shortcuts of over and Add come out of the arithmetic itself: an
// upper alpha of 0 makes k = L.a, A = L.a and every channel L.c x L.a / L.a; a full upper alpha
// makes k = 0, A = 255 and every channel U.c. Over's A never passes 255 (k < 256 - U.a), so its
// channels never pass 255 either; only Add's sum needs the clamp.
// The lanes of free pixels in a chunk are worked out too and thrown away; a divisor of at
// least 1 keeps their 0 / 0 from making a NaN, which no integer conversion may take.
ZX_INLINE Px mix(Px l, Px u, float w, float k) {
    const float alpha = std::min(u.a + k, 255.0f);
    const float divisor = std::max(alpha, 1.0f);
    return {alpha, quot(u.r * u.a + l.r * w, divisor), quot(u.g * u.a + l.g * w, divisor),
            quot(u.b * u.a + l.b * w, divisor)};
}

// Over for a lower alpha known not to be 0.
ZX_INLINE Px over(Px l, Px u) {
    const float k = lower_weight(l, u);
    return mix(l, u, k, k);
}

ZX_INLINE Px add(Px l, Px u) {
    const Px sum = mix(l, u, l.a, lower_weight(l, u));
    return {sum.a, std::min(sum.r, 255.0f), std::min(sum.g, 255.0f), std::min(sum.b, 255.0f)};
}

ZX_INLINE float multiply(float l, float u) {
    return quot(l * u, 255.0f);
}
ZX_INLINE float screen(float l, float u) {
    return l + u - quot(l * u, 255.0f);
}
ZX_INLINE float overlay(float l, float u) {
    return pick(l < 128.0f, quot(2.0f * l * u, 255.0f),
                2.0f * (l + u - quot(l * u, 255.0f)) - 255.0f);
}
ZX_INLINE float color_dodge(float l, float u) {
    return pick(u == 255.0f, 255.0f,
                std::min(quot(l * 255.0f, pick(u == 255.0f, 1.0f, 255.0f - u)), 255.0f));
}
ZX_INLINE float color_burn(float l, float u) {
    return pick(u == 0.0f, 0.0f,
                std::max(255.0f - quot((255.0f - l) * 255.0f, pick(u == 0.0f, 1.0f, u)), 0.0f));
}

// The mode's shortcuts are over's own: with both alphas full, over returns the mode pixel, and
// with an upper alpha of 0 the lower pixel.
template <float (*Formula)(float, float)>
ZX_INLINE Px mode(Px l, Px u) {
    return over(l, {u.a, Formula(l.r, u.r), Formula(l.g, u.g), Formula(l.b, u.b)});
}

// The operator of a kind for a lower alpha known not to be 0.
template <BlendKind K>
ZX_INLINE Px blend(Px l, Px u) {
    if constexpr (K == BlendKind::over) return over(l, u);
    if constexpr (K == BlendKind::add) return add(l, u);
    if constexpr (K == BlendKind::multiply) return mode<multiply>(l, u);
    if constexpr (K == BlendKind::screen) return mode<screen>(l, u);
    if constexpr (K == BlendKind::overlay) return mode<overlay>(l, u);
    if constexpr (K == BlendKind::color_dodge) return mode<color_dodge>(l, u);
    if constexpr (K == BlendKind::color_burn) return mode<color_burn>(l, u);
}

// A pixel word (alpha in the low byte, then red, green, blue, as in memory on every target)
// and back; shifts and masks keep the loop free of byte shuffles the compiler cannot widen.
ZX_INLINE float channel(std::uint32_t w, int shift) {
    return static_cast<float>(static_cast<std::int32_t>((w >> shift) & 0xFF));
}

ZX_INLINE Px unpack(std::uint32_t w) {
    return {channel(w, 0), channel(w, 8), channel(w, 16), channel(w, 24)};
}

ZX_INLINE std::uint32_t word(float c, int shift) {
    return static_cast<std::uint32_t>(static_cast<std::int32_t>(c)) << shift;
}

ZX_INLINE std::uint32_t pack(Px p) {
    return word(p.a, 0) | word(p.r, 8) | word(p.g, 16) | word(p.b, 24);
}

}  // namespace lanes
