// The drawing of 8-bit alpha-last pixels through multiply and color burn.
#include "core/draw_units.h"

ZX_DRAW_BLENDED(PixelRGBA8, multiply);
ZX_DRAW_BLENDED(PixelRGBA8, color_burn);
