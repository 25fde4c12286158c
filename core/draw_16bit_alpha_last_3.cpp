// The drawing of 16-bit alpha-last pixels through screen.
#include "core/draw_units.h"

ZX_DRAW_BLENDED(PixelRGBA16, screen);
