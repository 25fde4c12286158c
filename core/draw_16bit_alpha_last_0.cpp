// The drawing of 16-bit alpha-last pixels through over and overlay.
#include "core/draw_units.h"

ZX_DRAW_BLENDED(PixelRGBA16, over);
ZX_DRAW_BLENDED(PixelRGBA16, overlay);
