// Blending onto output that is free or opaque, its usual state under footage: a free pixel
// (alpha 0) takes the footage pixel as it is, and over an opaque pixel every operator comes down
// to narrow arithmetic per channel with a full result alpha (Color Dodge and Color Burn with a
// division in floats or doubles). A row is worked in chunks of 64 bytes with fixed-length loops
// that the compiler runs on many channels at once; a chunk holding any other pixel (a partly
// transparent output pixel, a 16-bit channel beyond full) goes to the caller's general path.
// The operators are blend_ops.h's formulas in the arithmetic of vector lanes.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <type_traits>

#include "composite/blend_ops.h"
#include "composite/pixel_traits.h"
#include "host/ae_api.h"

namespace onto_opaque {

// Vectors of VB bytes: 16, what every vector unit has, or 32 where the drawing is built for
// wider ones (draw_block_wide). The compiler turns their operators into its instructions one for
// one, or into plain integer code on a target without vectors.
template <class T, std::size_t VB>
struct VecOf {
    typedef T type __attribute__((vector_size(VB)));
};
template <class T, std::size_t VB>
using Vec = typename VecOf<T, VB>::type;

template <class Pixel, std::size_t VB>
using Words = Vec<typename PixelTraits<Pixel>::Word, VB>;
template <class Pixel, std::size_t VB>
using Lanes = Vec<typename PixelTraits<Pixel>::Lane, VB>;

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

// The blend arithmetic (blend_ops.h) in lanes L of channels within full, over an opaque lower
// pixel. There the lower weight of over is exactly full - ua at every upper alpha ua, and the
// result alpha full, so a result channel is (C x ua + L x w) / full; Add, whose lower weight is
// the full lower alpha, gives L + U x ua / full. Every value fits the lanes but those of lanes
// a select discards (Overlay's first case above the split).
template <class Pixel, class L>
struct Arith {
    using V = L;
    using Lane = typename PixelTraits<Pixel>::Lane;
    struct LowerAlpha {};  // full
    static constexpr Lane kFull = PixelTraits<Pixel>::kFull;
    static constexpr Lane kSplit = PixelTraits<Pixel>::kOverlaySplit;

    // Truncated products over full: an exact shift in 16-bit, div255 in 8-bit.
    ZX_INLINE static L div_full(const L& x) {
        if constexpr (sizeof(Pixel) == 4) {
            return div255(x);
        } else {
            return L(x >> 15);
        }
    }
    // Lane by lane: in floats for 8-bit channels, where every n is at most 255 x 255 and the
    // float quotient truncates to the integer one (blend_lanes.h); in doubles for 16-bit ones,
    // where n < 2^31 and a double's rounding error stays far below 1 / d.
    ZX_INLINE static L quot(const L& n, const L& d) {
        using Real = std::conditional_t<sizeof(Pixel) == 4, float, double>;
        using R = Vec<Real, sizeof(L) / sizeof(Lane) * sizeof(Real)>;
        using I = Vec<std::int32_t, sizeof(L) / sizeof(Lane) * sizeof(std::int32_t)>;
        const R q = __builtin_convertvector(n, R) / __builtin_convertvector(d, R);
        return __builtin_convertvector(__builtin_convertvector(q, I), L);
    }
    // Lanes of x where mask is all ones, of y elsewhere.
    template <class M>
    ZX_INLINE static L select(const M& mask, const L& x, const L& y) {
        const L m = bits<L>(mask);
        return (x & m) | (y & ~m);
    }
    ZX_INLINE static L min(const L& x, const L& y) { return select(x > y, y, x); }
    ZX_INLINE static L clamp(const L& x) { return x; }
    ZX_INLINE static L lower_weight(LowerAlpha, const L& ua) { return kFull - ua; }
    ZX_INLINE static L mix(const L& uc, const L& ua, const L& lc, const L& w, const L&) {
        return div_full(uc * ua + lc * w);
    }
    ZX_INLINE static L mix(const L& uc, const L& ua, const L& lc, LowerAlpha, const L&) {
        return lc + div_full(uc * ua);
    }
};

// One chunk of Bytes bytes (64, or half of it for a row's last few pixels). upper_alpha(s, ua)
// sets the incoming alphas of a vector of footage words; general works the chunk when the
// narrow arithmetic does not cover it. The first `keep` pixels are left as they are: a row's
// last chunk ends at the row's end and overlaps pixels already worked.
template <BlendKind K, std::size_t VB, std::size_t Bytes = 64, class Pixel, class UpperAlpha,
          class General>
ZX_INLINE void blend_chunk(Pixel* dst, const Pixel* src, std::size_t keep, UpperAlpha& upper_alpha,
                           General& general) {
    // The words are worked in the alpha-first layout, whatever the frame's order.
    using T = PixelTraits<AlphaFirstOf<Pixel>>;
    using W = Words<Pixel, VB>;
    using L = Lanes<Pixel, VB>;
    constexpr auto kFullWord = static_cast<typename T::Word>(T::kFull);
    static_assert(Bytes % VB == 0 && Bytes <= T::kChunkPixels * sizeof(Pixel));
    constexpr std::size_t kPixels = Bytes / sizeof(Pixel);
    constexpr std::size_t kParts = Bytes / VB;
    constexpr int kChannelBits = 8 * sizeof(typename T::Channel);
    // Each vector moved on its own: one load or store, which later loads can take directly.
    auto* dst_bytes = reinterpret_cast<std::uint8_t*>(dst);
    const auto* src_bytes = reinterpret_cast<const std::uint8_t*>(src);
    // Loaded into a vector of its own first: copied straight into the arrays, an unaligned
    // vector becomes two half stores that the whole loads below cannot take (a stall each).
    W d[kParts], s[kParts];
    for (std::size_t p = 0; p < kParts; ++p) {
        W dst_word, src_word;
        std::memcpy(&dst_word, dst_bytes + p * sizeof(W), sizeof(W));
        std::memcpy(&src_word, src_bytes + p * sizeof(W), sizeof(W));
        d[p] = alpha_first_word<Pixel>(dst_word);
        s[p] = alpha_first_word<Pixel>(src_word);
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
        const W a = d[p] & T::kAlphaBits & live[p];
        any_alpha |= a;
        if constexpr (sizeof(Pixel) == 4) {
            // Every output alpha 0 or full.
            other |= ((a + 1) & T::kAlphaBits & live[p]) >> 1;
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
            const W out = alpha_in_place_word<Pixel>((s[p] & live[p]) | (d[p] & ~live[p]));
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
        using A = Arith<Pixel, L>;
        const L low = blendops::channel<K, A>(dl & kLow, sl & kLow, {}, spread);
        const L high = blendops::channel<K, A>(dl >> kChannelBits, sl >> kChannelBits, {}, spread);
        const W m = (bits<W>(low | (high << kChannelBits)) & ~T::kAlphaBits) | kFullWord;
        const W a = d[p] & T::kAlphaBits;
        // Both lanes of a pixel compare its alpha, so the mask covers the whole pixel.
        const W free = bits<W>(bits<L>(a | (a << (8 * sizeof(typename T::Lane)))) == 0);
        const W out = alpha_in_place_word<Pixel>((((s[p] & free) | (m & ~free)) & live[p]) |
                                                 (d[p] & ~live[p]));
        std::memcpy(dst_bytes + p * sizeof(W), &out, sizeof(W));
    }
}

// True when every pixel of the row has alpha exactly full: whole chunks folded with AND and
// OR, the row's last chunk ending at the row's end (overlapping pixels already tested is
// harmless here), pixel by pixel only for a row shorter than a chunk.
template <std::size_t VB, class Pixel>
ZX_INLINE bool all_full_alpha(const Pixel* src, std::size_t n) {
    using T = PixelTraits<Pixel>;
    constexpr auto kFullWord = kFullAlphaWord<Pixel>;
    using W = Words<Pixel, VB>;
    constexpr std::size_t kParts = T::kChunkPixels * sizeof(Pixel) / VB;
    if (n < T::kChunkPixels) {
        bool full = true;
        for (std::size_t x = 0; x < n; ++x) full &= src[x].alpha == T::kFull;
        return full;
    }
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(src);
    const std::size_t last = (n - T::kChunkPixels) * sizeof(Pixel);
    W all = W{} + ~typename T::Word{0}, any{};
    const auto fold = [&](std::size_t at) {
        for (std::size_t p = 0; p < kParts; ++p) {
            W w;
            std::memcpy(&w, bytes + at + p * sizeof(W), sizeof(W));
            all &= w;
            if constexpr (kFullWord != T::kAlphaBits) any |= w;
        }
    };
    for (std::size_t at = 0; at < last; at += T::kChunkPixels * sizeof(Pixel)) fold(at);
    fold(last);
    // Every alpha has all the bits of full and, in 16-bit where full is one bit, no other.
    if (any_bit((all & T::kAlphaBits) ^ kFullWord)) return false;
    return kFullWord == T::kAlphaBits || !any_bit((any & T::kAlphaBits) ^ kFullWord);
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
    using T = PixelTraits<Pixel>;
    using W = Words<Pixel, VB>;
    constexpr std::size_t kParts = T::kChunkPixels * sizeof(Pixel) / VB;
    auto* dst_bytes = reinterpret_cast<std::uint8_t*>(dst);
    const auto* src_bytes = reinterpret_cast<const std::uint8_t*>(src);
    std::size_t x = 0;
    for (; x + T::kChunkPixels <= n; x += T::kChunkPixels) {
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
    return bits<W>((d & PixelTraits<Pixel>::kAlphaBits) == 0);
}

// Fewer than a chunk's pixels in moves of fixed sizes, which the compiler inlines; a call to
// memcpy would cost more than the moves.
template <class Pixel>
ZX_INLINE void copy_short(Pixel* to, const Pixel* from, std::size_t n) {
    for (std::size_t size = PixelTraits<Pixel>::kChunkPixels / 2; size != 0; size /= 2) {
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
    constexpr std::size_t kN = PixelTraits<Pixel>::kChunkPixels;
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
