// The 8-bit blend operators without branches, for rows of occupied pixels: every case of an
// operator is worked out and the right one selected, and the division by a varying alpha is a
// float division, so the compiler runs a loop of them on many pixels at once. They are the
// formulas of blend_ops.h in float arithmetic, bit for bit the integer reference's results.
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
using Px = blendops::Channels<float>;

ZX_INLINE float trunc(float x) {
    return static_cast<float>(static_cast<std::int32_t>(x));
}

// The blend arithmetic (blend_ops.h) in float lanes.
struct Arith {
    using V = float;
    using LowerAlpha = float;
    static constexpr float kFull = 255.0f;
    static constexpr float kSplit = 128.0f;

    // n / d truncated, for whole 0 <= n <= 2 x 255 x 255 and 1 <= d <= 255. Exact: q = n / d
    // lies in [m, m + 1 - 1/d] with m the integer quotient; rounding to nearest never takes a
    // value below the representable m, and moves q up by at most q x 2^-24 < 1/d (since
    // (m + 1) x d <= n + d < 2^17), so the rounded quotient stays below m + 1. The bound leaves
    // room to spare for a quotient kept in wider x87 registers, even rounded twice.
    ZX_INLINE static float quot(float n, float d) { return trunc(n / d); }
    ZX_INLINE static float div_full(float x) { return quot(x, 255.0f); }

    // By masks rather than a conditional: a conditional lets the compiler compute one side
    // only, behind a branch, and a branch keeps it from running the loop on many pixels at once.
    ZX_INLINE static float select(bool c, float x, float y) {
        const std::int32_t m = -static_cast<std::int32_t>(c);
        return __builtin_bit_cast(float, (__builtin_bit_cast(std::int32_t, x) & m) |
                                             (__builtin_bit_cast(std::int32_t, y) & ~m));
    }
    ZX_INLINE static float min(float x, float y) { return std::min(x, y); }
    // 8-bit channels never pass full.
    ZX_INLINE static float clamp(float x) { return x; }

    // ((256 - U.a) x L.a) >> 8; the shift is a multiply by an exact power of two, truncated.
    ZX_INLINE static float lower_weight(float la, float ua) {
        return trunc((256.0f - ua) * la * (1.0f / 256.0f));
    }

    // With a lower alpha of at least 1 the result alpha is at least 1, and the shortcuts of over
    // and Add come out of the arithmetic itself: an upper alpha of 0 makes k = L.a, A = L.a and
    // every channel L.c x L.a / L.a; a full upper alpha makes k = 0, A = 255 and every channel
    // U.c. The lanes of free pixels in a chunk are worked out too and thrown away; a divisor of
    // at least 1 keeps their 0 / 0 from making a NaN, which no integer conversion may take.
    ZX_INLINE static float mix(float uc, float ua, float lc, float w, float alpha) {
        return quot(uc * ua + lc * w, std::max(alpha, 1.0f));
    }
};

// The operator of a kind for a lower alpha known not to be 0.
template <BlendKind K>
ZX_INLINE Px blend(Px l, Px u) {
    return blendops::pixel<K, Arith>(l, u);
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
