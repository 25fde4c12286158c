// The drawing of 8-bit alpha-last pixels through add and color dodge.
#include "core/draw_units.h"

ZX_DRAW_BLENDED(PixelRGBA8, add);
ZX_DRAW_BLENDED(PixelRGBA8, color_dodge);
