// The drawing of 8-bit alpha-last pixels through screen.
#include "core/draw_units.h"

ZX_DRAW_BLENDED(PixelRGBA8, screen);
