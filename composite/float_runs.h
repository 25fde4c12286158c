// Over's usual cases on float pixels, found and drawn eight pixels at a time in vectors, one
// pixel to a 16-byte vector of its bits: an upper pixel of alpha exactly 1 and finite colour,
// which over leaves as it is, and an upper pixel of no alpha as a blend reads it, under which
// the lower pixel shows where that one has alpha. The tests are the float operator's own
// (blendops::real) on the bits; a chunk holding any other pixel is left to the operator.
#pragma once

#include <cstddef>
#include <cstdint>

#include "composite/blend_ops.h"
#include "composite/onto_opaque.h"

namespace float_runs {

using Bits = onto_opaque::Vec<std::uint32_t, 16>;
using onto_opaque::bits;
inline constexpr std::size_t kChunk = 8;

template <class Pixel>
ZX_INLINE Bits load(const Pixel& p) {
    static_assert(sizeof(Pixel) == sizeof(Bits));
    return bits<Bits>(p);
}

// All ones in the alpha lane.
template <class Pixel>
ZX_INLINE Bits alpha_lane() {
    constexpr auto kLane = static_cast<std::uint32_t>(offsetof(Pixel, alpha) / sizeof(float));
    return bits<Bits>(Bits{0, 1, 2, 3} == kLane);
}

// A pixel's alpha in every lane.
template <class Pixel>
ZX_INLINE Bits alpha_everywhere(const Bits& p) {
    constexpr auto kLane = offsetof(Pixel, alpha) / sizeof(float);
    return Bits{p[kLane], p[kLane], p[kLane], p[kLane]};
}

// All ones where a lane's value is finite; where an alpha lane counts (above 0 and finite).
ZX_INLINE Bits finite(const Bits& p) {
    return bits<Bits>((p & 0x7FFFFFFFu) < blendops::real::kInfinityBits);
}
ZX_INLINE Bits counts(const Bits& alpha) {
    return bits<Bits>(alpha - 1u < blendops::real::kInfinityBits - 1u);
}

// All ones in every lane of a pixel of alpha exactly 1 and finite colour.
template <class Pixel>
ZX_INLINE Bits opaque_and_finite(const Bits& p) {
    const Bits at_alpha = alpha_lane<Pixel>();
    return (bits<Bits>(p == blendops::real::kOneBits) & at_alpha) | (finite(p) & ~at_alpha);
}

ZX_INLINE bool every_bit(const Bits& b) {
    return !onto_opaque::any_bit(~b);
}

// Every one of n pixels of alpha exactly 1 and finite colour.
template <class Pixel>
ZX_INLINE bool all_opaque_and_finite(const Pixel* p, std::size_t n) {
    Bits all = ~Bits{};
    for (std::size_t i = 0; i < n; ++i) all &= opaque_and_finite<Pixel>(load(p[i]));
    return every_bit(all);
}

// Eight pixels, each of alpha +0 or exactly 1.
template <class Pixel>
ZX_INLINE bool none_or_one_alpha_chunk(const Pixel* p) {
    Bits others{};
    for (std::size_t i = 0; i < kChunk; ++i) {
        const Bits a = load(p[i]) & alpha_lane<Pixel>();
        others |= bits<Bits>((a != 0u) & (a != blendops::real::kOneBits));
    }
    return !onto_opaque::any_bit(others);
}

// Eight pixels of alpha 0 (either zero).
template <class Pixel>
ZX_INLINE bool free_chunk(const Pixel* p) {
    Bits taken{};
    for (std::size_t i = 0; i < kChunk; ++i) taken |= load(p[i]) & alpha_lane<Pixel>();
    return !onto_opaque::any_bit(taken & 0x7FFFFFFFu);
}

// Eight upper pixels, each opaque with finite colour or of no alpha, laid over the still ones
// by over; false, with nothing written, where one is neither.
template <class Pixel>
ZX_INLINE bool lay_over_chunk(const Pixel* still, Pixel* row) {
    Bits plain = ~Bits{}, kept = ~Bits{};
    for (std::size_t i = 0; i < kChunk; ++i) {
        const Bits u = load(row[i]);
        const Bits opaque = opaque_and_finite<Pixel>(u);
        kept &= opaque;
        plain &= opaque | ~counts(alpha_everywhere<Pixel>(u));
    }
    if (every_bit(kept)) return true;  // a block's inside: nothing to write
    if (!every_bit(plain)) return false;
    for (std::size_t i = 0; i < kChunk; ++i) {
        const Bits u = load(row[i]), l = load(still[i]);
        const Bits lower = ~counts(alpha_everywhere<Pixel>(u)) & counts(alpha_everywhere<Pixel>(l));
        row[i] = bits<Pixel>((l & lower) | (u & ~lower));
    }
    return true;
}

// Eight upper pixels of alpha 1 or more, and finite, drawn by over onto lower pixels that have
// alpha: each gives its colour, read as a blend reads it, at alpha 1. False, with nothing
// written, where a pixel is not such.
template <class Pixel>
ZX_INLINE bool opaque_over_chunk(Pixel* lower, const Pixel* upper) {
    using blendops::real::kInfinityBits;
    using blendops::real::kOneBits;
    Bits plain = ~Bits{};
    for (std::size_t i = 0; i < kChunk; ++i) {
        const Bits ua = alpha_everywhere<Pixel>(load(upper[i]));
        plain &= bits<Bits>(ua - kOneBits < kInfinityBits - kOneBits) &
                 counts(alpha_everywhere<Pixel>(load(lower[i])));
    }
    if (!every_bit(plain)) return false;
    const Bits at_alpha = alpha_lane<Pixel>();
    for (std::size_t i = 0; i < kChunk; ++i) {
        const Bits u = load(upper[i]);
        lower[i] = bits<Pixel>((u & finite(u) & ~at_alpha) | (kOneBits & at_alpha));
    }
    return true;
}

}  // namespace float_runs
