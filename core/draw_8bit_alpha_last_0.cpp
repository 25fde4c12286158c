// The drawing of 8-bit alpha-last pixels through over and overlay.
#include "core/draw_units.h"

ZX_DRAW_BLENDED(PixelRGBA8, over);
ZX_DRAW_BLENDED(PixelRGBA8, overlay);
