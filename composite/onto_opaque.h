// Blending onto output that is free or opaque, its usual state under footage: a free pixel
// (alpha 0) takes the footage pixel as it is, and over an opaque pixel every operator comes down
// to narrow arithmetic per channel with a full result alpha (Color Dodge and Color Burn with a
// division in floats or doubles). A row is worked in chunks of 64 bytes with fixed-length loops
// that the compiler runs on many channels at once; a chunk holding any other pixel (a partly
// transparent output pixel, a 16-bit channel beyond full) goes to the caller's general path.
// Each result equals the operator of blend_ops.h (tests/unit).
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <type_traits>

#include "composite/blend_lanes.h"
#include "composite/blend_ops.h"
#include "composite/pixel_traits.h"
#include "host/ae_api.h"

namespace onto_opaque {

// Vectors of VB bytes: 16, what every vector unit has, or 32 where the code is built for
// wider ones (vector_isa.h). The compiler turns their operators into its instructions one for
// one, or into plain integer code on a target without vectors.
template <class T, std::size_t VB>
struct VecOf {
    typedef T type __attribute__((vector_size(VB)));
};
template <class T, std::size_t VB>
using Vec = typename VecOf<T, VB>::type;

template <class Pixel>
struct ChunkTraits;

// A 16-bit lane holds two 8-bit channels; each is worked in a lane of its own, so products of
// two channels (up to 255 x 255) fit.
template <>
struct ChunkTraits<PF_Pixel> {
    using Word = std::uint32_t;
    using Channel = std::uint8_t;
    using Lane = std::uint16_t;
    static constexpr std::size_t kPixels = 16;
    static constexpr Word kAlpha = 0xFF;  // the alpha, first in memory: the low bits of a word
    static constexpr Word kFull = 255;
};

// A 32-bit lane holds two 16-bit channels; worked apart, products up to 2^30 fit.
template <>
struct ChunkTraits<PF_Pixel16> {
    using Word = std::uint64_t;
    using Channel = std::uint16_t;
    using Lane = std::uint32_t;
    static constexpr std::size_t kPixels = 8;
    static constexpr Word kAlpha = 0xFFFF;
    static constexpr Word kFull = 32768;
};

template <class Pixel, std::size_t VB>
using Words = Vec<typename ChunkTraits<Pixel>::Word, VB>;
template <class Pixel, std::size_t VB>
using Lanes = Vec<typename ChunkTraits<Pixel>::Lane, VB>;

// Vectors pass by reference: a vector by value would depend on the target's vector ABI.
template <class V>
ZX_INLINE bool any_bit(const V& v) {
    std::uint64_t parts[sizeof(V) / 8];
    std::memcpy(parts, &v, sizeof v);
    std::uint64_t all = 0;
    for (std::uint64_t p : parts) all |= p;
    return all != 0;
}

template <class To, class From>
ZX_INLINE To bits(const From& v) {
    static_assert(sizeof(To) == sizeof(From));
    To t;
    std::memcpy(&t, &v, sizeof t);
    return t;
}

// x / 255 for 0 <= x <= 65279 in 16-bit lanes: x + 1 + (x >> 8) stays below 2^16.
template <class V>
ZX_INLINE V div255(const V& x) {
    return (x + 1 + (x >> 8)) >> 8;
}

// Lanes of a where mask is all ones, of b elsewhere.
template <class L, class M>
ZX_INLINE L select(const M& mask, const L& a, const L& b) {
    const L m = bits<L>(mask);
    return (a & m) | (b & ~m);
}

// n / d truncated, lane by lane, for divisors d >= 1: in floats for 8-bit channels, where every
// n is at most 255 x 255 and the float quotient truncates to the integer one (blend_lanes.h);
// in doubles for 16-bit ones, where n < 2^31 and a double's rounding error stays far below
// 1 / d.
template <class Pixel, class L>
ZX_INLINE L quotient(const L& n, const L& d) {
    using Real = std::conditional_t<sizeof(Pixel) == 4, float, double>;
    using R = Vec<Real, sizeof(L) / sizeof(n[0]) * sizeof(Real)>;
    using I = Vec<std::int32_t, sizeof(L) / sizeof(n[0]) * sizeof(std::int32_t)>;
    const R q = __builtin_convertvector(n, R) / __builtin_convertvector(d, R);
    return __builtin_convertvector(__builtin_convertvector(q, I), L);
}

// The result channels over an opaque lower pixel at upper alphas ua. There the lower weight of
// over is exactly full - ua at every ua, and the result alpha full, so a mode pixel M (of over
// and every mode but Add) is mixed as (M x ua + L x (full - ua)) / full; Add, whose lower weight
// is the lower alpha, gives L + U x ua / full, clamped to full. Overlay's first case,
// 2 x L x U / full, is worked only for L below the split, where it fits the lanes; the other
// lanes are discarded.
template <BlendKind K, class Pixel, class L>
ZX_INLINE L mixed(const L& l, const L& u, const L& ua) {
    using T = ChunkTraits<Pixel>;
    constexpr auto kFull = static_cast<typename T::Lane>(T::kFull);
    constexpr auto kSplit = static_cast<typename T::Lane>(PixelTraits<Pixel>::kOverlaySplit);
    // Truncated products over full: an exact shift in 16-bit, div255 in 8-bit.
    const auto over_full = [](const L& x) {
        if constexpr (sizeof(Pixel) == 4) {
            return div255(x);
        } else {
            return L(x >> 15);
        }
    };
    if constexpr (K == BlendKind::add) {
        const L sum = l + over_full(u * ua);
        return select(sum > kFull, L{} + kFull, sum);
    }
    L m = u;
    if constexpr (K == BlendKind::multiply) m = over_full(l * u);
    if constexpr (K == BlendKind::screen) m = l + u - over_full(l * u);
    if constexpr (K == BlendKind::overlay) {
        m = select(l < kSplit, over_full(2 * l * u), 2 * (l + u - over_full(l * u)) - kFull);
    }
    // Color Dodge: L x full / (full - U), clamped to full; full where U is full. Color Burn:
    // full - (full - L) x full / U, clamped to 0; 0 where U is 0. A zero divisor is replaced by
    // 1 and its lane discarded.
    if constexpr (K == BlendKind::color_dodge) {
        const auto at_full = u == kFull;
        const L q = quotient<Pixel>(l * kFull, select(at_full, L{} + 1, kFull - u));
        m = select(at_full | (q > kFull), L{} + kFull, q);
    }
    if constexpr (K == BlendKind::color_burn) {
        const auto at_zero = u == 0;
        const L q = quotient<Pixel>((kFull - l) * kFull, select(at_zero, L{} + 1, u));
        m = select(at_zero | (q > kFull), L{}, kFull - q);
    }
    return over_full(m * ua + l * (kFull - ua));
}

// One chunk of Bytes bytes (64, or half of it for a row's last few pixels). upper_alpha(s, ua)
// sets the incoming alphas of a vector of footage words; general works the chunk when the
// narrow arithmetic does not cover it. The first `keep` pixels are left as they are: a row's
// last chunk ends at the row's end and overlaps pixels already worked.
template <BlendKind K, std::size_t VB, std::size_t Bytes = 64, class Pixel, class UpperAlpha,
          class General>
ZX_INLINE void blend_chunk(Pixel* dst, const Pixel* src, std::size_t keep, UpperAlpha& upper_alpha,
                           General& general) {
    using T = ChunkTraits<Pixel>;
    using W = Words<Pixel, VB>;
    using L = Lanes<Pixel, VB>;
    static_assert(Bytes % VB == 0 && Bytes <= T::kPixels * sizeof(Pixel));
    constexpr std::size_t kPixels = Bytes / sizeof(Pixel);
    constexpr std::size_t kParts = Bytes / VB;
    constexpr int kChannelBits = 8 * sizeof(typename T::Channel);
    // Each vector moved on its own: one load or store, which later loads can take directly.
    auto* dst_bytes = reinterpret_cast<std::uint8_t*>(dst);
    const auto* src_bytes = reinterpret_cast<const std::uint8_t*>(src);
    W d[kParts], s[kParts];
    for (std::size_t p = 0; p < kParts; ++p) {
        std::memcpy(&d[p], dst_bytes + p * sizeof(W), sizeof(W));
        std::memcpy(&s[p], src_bytes + p * sizeof(W), sizeof(W));
    }
    // All ones on the pixels this call works.
    constexpr std::size_t kLanes = sizeof(W) / sizeof(typename T::Word);
    W live[kParts];
    for (std::size_t p = 0; p < kParts; ++p) {
        W index;
        for (std::size_t i = 0; i < kLanes; ++i) index[i] = p * kLanes + i;
        live[p] = bits<W>(index >= static_cast<typename T::Word>(keep));
    }
    W any_alpha{}, other{};
    for (std::size_t p = 0; p < kParts; ++p) {
        const W a = d[p] & T::kAlpha & live[p];
        any_alpha |= a;
        if constexpr (sizeof(Pixel) == 4) {
            // Every output alpha 0 or full.
            other |= ((a + 1) & T::kAlpha & live[p]) >> 1;
        } else {
            // Alphas 0 or full, and no channel beyond full in either row: a channel is above
            // 32768 exactly when c ^ 0x8000 is above 0 as a signed number.
            using S = Vec<std::int16_t, VB>;
            const S flip = S{} + static_cast<std::int16_t>(-32768);
            other |= ((a & 0x7FFF) |
                      bits<W>(((bits<S>(d[p]) ^ flip) > 0) | ((bits<S>(s[p]) ^ flip) > 0))) &
                     live[p];
        }
    }
    if (!any_bit(any_alpha)) {
        for (std::size_t p = 0; p < kParts; ++p) {
            const W out = (s[p] & live[p]) | (d[p] & ~live[p]);
            std::memcpy(dst_bytes + p * sizeof(W), &out, sizeof(W));
        }
        return;
    }
    if (any_bit(other)) {
        general(dst + keep, src + keep, kPixels - keep);
        return;
    }
    constexpr auto kLow = static_cast<typename T::Lane>((1u << kChannelBits) - 1);
    for (std::size_t p = 0; p < kParts; ++p) {
        W ua{};
        upper_alpha(s[p], ua);
        // Both lanes of a pixel carry its upper alpha.
        const L spread = bits<L>(ua | (ua << (8 * sizeof(typename T::Lane))));
        const L dl = bits<L>(d[p]), sl = bits<L>(s[p]);
        const L low = mixed<K, Pixel>(dl & kLow, sl & kLow, spread);
        const L high = mixed<K, Pixel>(dl >> kChannelBits, sl >> kChannelBits, spread);
        const W m = (bits<W>(low | (high << kChannelBits)) & ~T::kAlpha) | T::kFull;
        const W a = d[p] & T::kAlpha;
        // Both lanes of a pixel compare its alpha, so the mask covers the whole pixel.
        const W free = bits<W>(bits<L>(a | (a << (8 * sizeof(typename T::Lane)))) == 0);
        const W out = (((s[p] & free) | (m & ~free)) & live[p]) | (d[p] & ~live[p]);
        std::memcpy(dst_bytes + p * sizeof(W), &out, sizeof(W));
    }
}

// True when every pixel of the row has alpha exactly full: whole chunks folded with AND and
// OR, the row's last chunk ending at the row's end (overlapping pixels already tested is
// harmless here), pixel by pixel only for a row shorter than a chunk.
template <std::size_t VB, class Pixel>
ZX_INLINE bool all_full_alpha(const Pixel* src, std::size_t n) {
    using T = ChunkTraits<Pixel>;
    using W = Words<Pixel, VB>;
    constexpr std::size_t kParts = T::kPixels * sizeof(Pixel) / VB;
    if (n < T::kPixels) {
        bool full = true;
        for (std::size_t x = 0; x < n; ++x) full &= src[x].alpha == T::kFull;
        return full;
    }
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(src);
    const std::size_t last = (n - T::kPixels) * sizeof(Pixel);
    W all = W{} + ~typename T::Word{0}, any{};
    const auto fold = [&](std::size_t at) {
        for (std::size_t p = 0; p < kParts; ++p) {
            W w;
            std::memcpy(&w, bytes + at + p * sizeof(W), sizeof(W));
            all &= w;
            if constexpr (T::kFull != T::kAlpha) any |= w;
        }
    };
    for (std::size_t at = 0; at < last; at += T::kPixels * sizeof(Pixel)) fold(at);
    fold(last);
    // Every alpha has all the bits of full and, in 16-bit where full is one bit, no other.
    if (any_bit((all & T::kAlpha) ^ T::kFull)) return false;
    return T::kFull == T::kAlpha || !any_bit((any & T::kAlpha) ^ T::kFull);
}

// Byte distances from a row's pixels to those of a row below whose lines are asked for, one
// line per chunk; 0 asks for none.
struct Ahead {
    std::ptrdiff_t src_bytes;
    std::ptrdiff_t dst_bytes;
};

// The row's whole chunks, each vector of output words replaced by out_of(output, footage),
// asking for the lines of the row below chunk by chunk; returns the count of pixels left at
// the row's end, fewer than a chunk.
template <std::size_t VB, class Pixel, class OutOf>
ZX_INLINE std::size_t map_chunks(Pixel* dst, const Pixel* src, std::size_t n, Ahead ahead,
                                 OutOf out_of) {
    using T = ChunkTraits<Pixel>;
    using W = Words<Pixel, VB>;
    constexpr std::size_t kParts = T::kPixels * sizeof(Pixel) / VB;
    auto* dst_bytes = reinterpret_cast<std::uint8_t*>(dst);
    const auto* src_bytes = reinterpret_cast<const std::uint8_t*>(src);
    std::size_t x = 0;
    for (; x + T::kPixels <= n; x += T::kPixels) {
        const std::size_t at = x * sizeof(Pixel);
        if (ahead.src_bytes != 0) {
            __builtin_prefetch(src_bytes + at + ahead.src_bytes);
            __builtin_prefetch(dst_bytes + at + ahead.dst_bytes);
        }
        for (std::size_t p = 0; p < kParts; ++p) {
            W d, s;
            std::memcpy(&d, dst_bytes + at + p * sizeof(W), sizeof(W));
            std::memcpy(&s, src_bytes + at + p * sizeof(W), sizeof(W));
            const W out = out_of(d, s);
            std::memcpy(dst_bytes + at + p * sizeof(W), &out, sizeof(W));
        }
    }
    if (ahead.src_bytes != 0 && n != 0) {
        __builtin_prefetch(src_bytes + n * sizeof(Pixel) - 1 + ahead.src_bytes);
        __builtin_prefetch(dst_bytes + n * sizeof(Pixel) - 1 + ahead.dst_bytes);
    }
    return n - x;
}

// All ones on the words of free pixels (alpha 0).
template <class Pixel, class W>
ZX_INLINE W free_mask(const W& d) {
    return bits<W>((d & ChunkTraits<Pixel>::kAlpha) == 0);
}

// Fewer than a chunk's pixels in moves of fixed sizes, which the compiler inlines; a call to
// memcpy would cost more than the moves.
template <class Pixel>
ZX_INLINE void copy_short(Pixel* to, const Pixel* from, std::size_t n) {
    for (std::size_t size = ChunkTraits<Pixel>::kPixels / 2; size != 0; size /= 2) {
        if ((n & size) != 0) {
            std::memcpy(to, from, size * sizeof(Pixel));
            to += size;
            from += size;
        }
    }
}

// A row of n pixels; a row shorter than a chunk is worked in a copy padded with free pixels.
template <BlendKind K, std::size_t VB, class Pixel, class UpperAlpha, class General>
ZX_INLINE void blend_row(Pixel* dst, const Pixel* src, std::size_t n, Ahead ahead,
                         UpperAlpha upper_alpha, General general) {
    constexpr std::size_t kN = ChunkTraits<Pixel>::kPixels;
    std::size_t x = 0;
    for (; x + kN <= n; x += kN) {
        if (ahead.src_bytes != 0) {
            __builtin_prefetch(reinterpret_cast<const std::uint8_t*>(src + x) + ahead.src_bytes);
            __builtin_prefetch(reinterpret_cast<const std::uint8_t*>(dst + x) + ahead.dst_bytes);
        }
        blend_chunk<K, VB>(dst + x, src + x, 0, upper_alpha, general);
    }
    // Rows need not start on a line: the row's last line is not the start of any chunk.
    if (ahead.src_bytes != 0 && n != 0) {
        __builtin_prefetch(reinterpret_cast<const std::uint8_t*>(src + n) - 1 + ahead.src_bytes);
        __builtin_prefetch(reinterpret_cast<const std::uint8_t*>(dst + n) - 1 + ahead.dst_bytes);
    }
    if (x == n) return;
    // The last pixels in half a chunk where they fit: less to work again.
    constexpr std::size_t kHalf = kN / 2;
    if (n >= kN) {
        // The last chunk of the row, overlapping the worked pixels before it.
        if (n - x <= kHalf) {
            blend_chunk<K, VB, kHalf * sizeof(Pixel)>(dst + n - kHalf, src + n - kHalf,
                                                      kHalf - (n - x), upper_alpha, general);
        } else {
            blend_chunk<K, VB>(dst + n - kN, src + n - kN, kN - (n - x), upper_alpha, general);
        }
        return;
    }
    Pixel d[kN] = {}, s[kN] = {};
    copy_short(d, dst, n);
    copy_short(s, src, n);
    if (n <= kHalf) {
        blend_chunk<K, VB, kHalf * sizeof(Pixel)>(d, s, 0, upper_alpha, general);
    } else {
        blend_chunk<K, VB>(d, s, 0, upper_alpha, general);
    }
    copy_short(dst, d, n);
}

}  // namespace onto_opaque
