// Per-pixel blend operators on straight-colour pixels, in 8-bit and 16-bit, and the dispatch
// tables indexed by the "Blend Mode" popup value. Operators take (lower, upper): the pixel
// already in the output first, the incoming pixel second. The tables themselves are constant
// data of each depth's PixelTraits (composite/pixel_traits.h).
#pragma once

#include <array>
#include <cstdint>

#include "host/ae_api.h"

A_u_char ClampChannel8(A_long v);
// Wider than 32 bits so that stray 16-bit channels above 32768 still clamp without overflow.
A_u_short ClampChannel16(std::int64_t v);

PF_Pixel BlendOver8(PF_Pixel lower, PF_Pixel upper);
PF_Pixel BlendAdd8(PF_Pixel lower, PF_Pixel upper);
PF_Pixel BlendMultiply8(PF_Pixel lower, PF_Pixel upper);
PF_Pixel BlendScreen8(PF_Pixel lower, PF_Pixel upper);
PF_Pixel BlendOverlay8(PF_Pixel lower, PF_Pixel upper);
PF_Pixel BlendColorDodge8(PF_Pixel lower, PF_Pixel upper);
PF_Pixel BlendColorBurn8(PF_Pixel lower, PF_Pixel upper);

PF_Pixel16 BlendOver16(PF_Pixel16 lower, PF_Pixel16 upper);
PF_Pixel16 BlendAdd16(PF_Pixel16 lower, PF_Pixel16 upper);
PF_Pixel16 BlendMultiply16(PF_Pixel16 lower, PF_Pixel16 upper);
PF_Pixel16 BlendScreen16(PF_Pixel16 lower, PF_Pixel16 upper);
PF_Pixel16 BlendOverlay16(PF_Pixel16 lower, PF_Pixel16 upper);
PF_Pixel16 BlendColorDodge16(PF_Pixel16 lower, PF_Pixel16 upper);
PF_Pixel16 BlendColorBurn16(PF_Pixel16 lower, PF_Pixel16 upper);

template <class Pixel>
using BlendFunc = Pixel (*)(Pixel, Pixel);
using BlendFunc8 = BlendFunc<PF_Pixel>;
using BlendFunc16 = BlendFunc<PF_Pixel16>;

// The operators of one depth, by mode.
template <class Pixel>
struct BlendOps {
    BlendFunc<Pixel> over;
    BlendFunc<Pixel> add;
    BlendFunc<Pixel> multiply;
    BlendFunc<Pixel> screen;
    BlendFunc<Pixel> overlay;
    BlendFunc<Pixel> color_dodge;
    BlendFunc<Pixel> color_burn;
};

// Index 0 is unused by the popup (its values start at 1) and index 2 is its separator line.
constexpr int kBlendTableSize = 9;
template <class Pixel>
using BlendTable = std::array<BlendFunc<Pixel>, kBlendTableSize>;
using BlendTable8 = BlendTable<PF_Pixel>;
using BlendTable16 = BlendTable<PF_Pixel16>;

// 0, 1 over; 2, 3 Add; 4 Multiply; 5 Screen; 6 Overlay; 7 Color Dodge; 8 Color Burn.
template <class Pixel>
constexpr BlendTable<Pixel> blend_table(const BlendOps<Pixel>& ops) {
    return {ops.over,   ops.over,    ops.add,         ops.add,       ops.multiply,
            ops.screen, ops.overlay, ops.color_dodge, ops.color_burn};
}

// The table entry of "Normal", the over operator.
constexpr int kBlendNormalIndex = 1;

// The table index for a "Blend Mode" value; values outside the table fall back to "Normal".
constexpr int blend_table_index(A_long blend_mode) {
    if (blend_mode < 0 || blend_mode >= kBlendTableSize) return kBlendNormalIndex;
    return static_cast<int>(blend_mode);
}
