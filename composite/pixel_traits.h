// The pixel depths the effect works in, each described once: channel type, full value, the
// integer width of blend arithmetic, the pixel as one machine word, the lanes the vector
// kernels split channels into, and the channel conversions between the depths. Code that
// handles pixels is written once as a template on the pixel type and reads its constants here.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "host/ae_api.h"

// 8-bit channel to the 16-bit range, 255 becoming 32768, rounded to nearest.
constexpr A_u_short channel8_to_16(A_u_char c) {
    return static_cast<A_u_short>((std::uint32_t{c} * 32768u + 128u) / 255u);
}

// 16-bit channel to the 8-bit range, rounded to nearest; channels above 32768 give 255.
constexpr A_u_char channel16_to_8(A_u_short c) {
    const std::uint32_t v = (std::uint32_t{c} * 255u + 16384u) / 32768u;
    return static_cast<A_u_char>(v > 255u ? 255u : v);
}

template <class Pixel>
struct PixelTraits;

template <>
struct PixelTraits<PF_Pixel> {
    using Channel = A_u_char;
    using Wide = A_long;  // the largest blend intermediate, 2 x 255 x 255, fits easily
    static constexpr Wide kFull = 255;
    // The lower weight of over and Add uses 256 and a shift by 8, not a division by 255.
    static constexpr Wide kWeightBase = 256;
    static constexpr int kWeightShift = 8;
    static constexpr Wide kOverlaySplit = 128;
    // An 8-bit channel at this depth.
    static constexpr Channel from8(A_u_char c) { return c; }
    // The pixel as one machine word, for tests the compiler runs on many pixels at once, and the
    // vector kernels' lane: two channels of a word apart in 16-bit lanes, so products of two
    // channels (up to 255 x 255) fit. A chunk is 64 bytes.
    using Word = std::uint32_t;
    using Lane = std::uint16_t;
    static constexpr std::size_t kChunkPixels = 16;
    // The alpha comes first in memory: the word's low bits on every target the effect is built
    // for. With it at full, the rest 0, the word is the full value itself.
    static constexpr int kAlphaShift = 0;
    static constexpr Word kAlphaBits = 0xFF;
    using AlphaFirst = PF_Pixel;
};

template <>
struct PixelTraits<PF_Pixel16> {
    using Channel = A_u_short;
    // The Add sum reaches 2^31; 64 bits also keep channels above 32768 free of overflow.
    using Wide = std::int64_t;
    static constexpr Wide kFull = 32768;
    static constexpr Wide kWeightBase = 32768;
    static constexpr int kWeightShift = 15;
    static constexpr Wide kOverlaySplit = 16384;
    static constexpr Channel from8(A_u_char c) { return channel8_to_16(c); }
    // Two 16-bit channels apart in 32-bit lanes: products up to 2^30 fit.
    using Word = std::uint64_t;
    using Lane = std::uint32_t;
    static constexpr std::size_t kChunkPixels = 8;
    static constexpr int kAlphaShift = 0;
    static constexpr Word kAlphaBits = 0xFFFF;
    using AlphaFirst = PF_Pixel16;
};

// Float channels, alpha first as in the other depths: full is 1.0 and channels may lie beyond
// it or below 0. Blended in real arithmetic pixel by pixel, so no word or lanes.
struct PixelF32 {
    float alpha, red, green, blue;
};

template <>
struct PixelTraits<PixelF32> {
    using Channel = float;
    using Wide = float;
    static constexpr Wide kFull = 1.0f;
    static constexpr Wide kOverlaySplit = 0.5f;
    static constexpr Channel from8(A_u_char c) { return static_cast<float>(c) / 255.0f; }
    using AlphaFirst = PixelF32;
};

// Pixels with the alpha last in memory, as RGBA and BGRA frames hold them. In a BGRA frame
// `red` holds blue and `blue` red: the operators treat the three colours alike, so only the
// flat colour is laid out in the frame's own order. A pixel word has its alpha in the high
// bits; the vector kernels turn a word to the alpha-first layout and back (alpha_first_word).
struct PixelRGBA8 {
    A_u_char red, green, blue, alpha;
};
struct PixelRGBA16 {
    A_u_short red, green, blue, alpha;
};
struct PixelRGBAF32 {
    float red, green, blue, alpha;
};

template <>
struct PixelTraits<PixelRGBA8> : PixelTraits<PF_Pixel> {
    static constexpr int kAlphaShift = 24;
    static constexpr Word kAlphaBits = Word{0xFF} << kAlphaShift;
};

template <>
struct PixelTraits<PixelRGBA16> : PixelTraits<PF_Pixel16> {
    static constexpr int kAlphaShift = 48;
    static constexpr Word kAlphaBits = Word{0xFFFF} << kAlphaShift;
};

template <>
struct PixelTraits<PixelRGBAF32> : PixelTraits<PixelF32> {};

template <class Pixel>
using AlphaFirstOf = typename PixelTraits<Pixel>::AlphaFirst;

// A pixel from its channels, whatever their order in memory.
template <class Pixel>
constexpr Pixel make_pixel(typename PixelTraits<Pixel>::Channel alpha,
                           typename PixelTraits<Pixel>::Channel red,
                           typename PixelTraits<Pixel>::Channel green,
                           typename PixelTraits<Pixel>::Channel blue) {
    Pixel p{};
    p.alpha = alpha;
    p.red = red;
    p.green = green;
    p.blue = blue;
    return p;
}

// A word (or a vector of words) of Pixel turned to the alpha-first layout: alpha in the low
// bits, then the colours in their memory order; and back. Nothing to do for alpha-first pixels.
template <class Pixel, class W>
[[gnu::always_inline]] inline W alpha_first_word(const W& w) {
    constexpr int kShift = PixelTraits<Pixel>::kAlphaShift;
    if constexpr (kShift == 0) {
        return w;
    } else {
        return (w >> kShift) | (w << (8 * sizeof(typename PixelTraits<Pixel>::Word) - kShift));
    }
}

template <class Pixel, class W>
[[gnu::always_inline]] inline W alpha_in_place_word(const W& w) {
    constexpr int kShift = PixelTraits<Pixel>::kAlphaShift;
    if constexpr (kShift == 0) {
        return w;
    } else {
        return (w << kShift) | (w >> (8 * sizeof(typename PixelTraits<Pixel>::Word) - kShift));
    }
}

// The word of a pixel whose alpha is full and whose colours are 0.
template <class Pixel>
inline constexpr typename PixelTraits<Pixel>::Word kFullAlphaWord =
    static_cast<typename PixelTraits<Pixel>::Word>(PixelTraits<Pixel>::kFull)
    << PixelTraits<Pixel>::kAlphaShift;

// A pixel word and back. Rows may start anywhere, so words are moved with memcpy.
template <class Pixel>
typename PixelTraits<Pixel>::Word load_word(const Pixel* p) {
    typename PixelTraits<Pixel>::Word w;
    std::memcpy(&w, p, sizeof w);
    return w;
}

template <class Pixel>
void store_word(Pixel* p, typename PixelTraits<Pixel>::Word w) {
    std::memcpy(p, &w, sizeof w);
}

// std::bit_cast's own builtin: the WebAssembly toolchain's C++ library has no std::bit_cast.
template <class Pixel, class T = PixelTraits<Pixel>>
constexpr bool word_layout_holds() {
    using C = typename T::Channel;
    return sizeof(Pixel) == sizeof(typename T::Word) &&
           __builtin_bit_cast(typename T::Word, Pixel{static_cast<C>(~C{0}), 0, 0, 0}) ==
               T::kAlphaBits &&
           sizeof(typename T::Lane) == 2 * sizeof(C) && T::kChunkPixels * sizeof(Pixel) == 64;
}
static_assert(word_layout_holds<PF_Pixel>() && word_layout_holds<PF_Pixel16>());
static_assert(__builtin_bit_cast(std::uint32_t, PixelRGBA8{0, 0, 0, 0xFF}) ==
                  PixelTraits<PixelRGBA8>::kAlphaBits &&
              __builtin_bit_cast(std::uint64_t, PixelRGBA16{0, 0, 0, 0xFFFF}) ==
                  PixelTraits<PixelRGBA16>::kAlphaBits);
static_assert(PixelTraits<PF_Pixel16>::from8(255) == PixelTraits<PF_Pixel16>::kFull);
static_assert(channel16_to_8(channel8_to_16(128)) == 128);
