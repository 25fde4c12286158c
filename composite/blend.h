// Per-pixel blend operators on straight-colour pixels, in 8-bit and 16-bit, and the dispatch
// tables indexed by the "Blend Mode" popup value. Operators take (lower, upper): the pixel
// already in the output first, the incoming pixel second.
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

using BlendFunc8 = PF_Pixel (*)(PF_Pixel, PF_Pixel);
using BlendFunc16 = PF_Pixel16 (*)(PF_Pixel16, PF_Pixel16);

// Index 0 is unused by the popup (its values start at 1) and index 2 is its separator line.
constexpr int kBlendTableSize = 9;
using BlendTable8 = std::array<BlendFunc8, kBlendTableSize>;
using BlendTable16 = std::array<BlendFunc16, kBlendTableSize>;

// 0, 1 over; 2, 3 Add; 4 Multiply; 5 Screen; 6 Overlay; 7 Color Dodge; 8 Color Burn.
void fill_blend_tables(BlendTable8& table8, BlendTable16& table16);

// The table index for a "Blend Mode" value; values outside the table fall back to "Normal" (1).
int blend_table_index(A_long blend_mode);
