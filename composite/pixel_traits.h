// The two pixel depths the effect works in, described once: channel type, full value, the
// integer width of blend arithmetic, the blend operators and dispatch table, and the channel
// conversions between the depths. Code that
// handles pixels is written once as a template on the pixel type and reads its constants here.
#pragma once

#include <cstdint>

#include "composite/blend.h"
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
    static constexpr BlendOps<PF_Pixel> kOps{BlendOver8,     BlendAdd8,     BlendMultiply8,
                                             BlendScreen8,   BlendOverlay8, BlendColorDodge8,
                                             BlendColorBurn8};
    static constexpr BlendTable<PF_Pixel> kBlendTable = blend_table(kOps);
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
    static constexpr BlendOps<PF_Pixel16> kOps{BlendOver16,     BlendAdd16,     BlendMultiply16,
                                               BlendScreen16,   BlendOverlay16, BlendColorDodge16,
                                               BlendColorBurn16};
    static constexpr BlendTable<PF_Pixel16> kBlendTable = blend_table(kOps);
};

static_assert(PixelTraits<PF_Pixel16>::from8(255) == PixelTraits<PF_Pixel16>::kFull);
static_assert(channel16_to_8(channel8_to_16(128)) == 128);
