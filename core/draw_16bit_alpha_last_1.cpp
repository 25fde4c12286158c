// The drawing of 16-bit alpha-last pixels through add and color dodge.
#include "core/draw_units.h"

ZX_DRAW_BLENDED(PixelRGBA16, add);
ZX_DRAW_BLENDED(PixelRGBA16, color_dodge);
