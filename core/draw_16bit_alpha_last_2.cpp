// The drawing of 16-bit alpha-last pixels through multiply and color burn.
#include "core/draw_units.h"

ZX_DRAW_BLENDED(PixelRGBA16, multiply);
ZX_DRAW_BLENDED(PixelRGBA16, color_burn);
