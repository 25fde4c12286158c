// The drawing of 8-bit alpha-first pixels through over and overlay.
#include "core/draw_units.h"

ZX_DRAW_BLENDED(PF_Pixel, over);
ZX_DRAW_BLENDED(PF_Pixel, overlay);
