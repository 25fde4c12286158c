// The drawing of 16-bit alpha-first pixels through over and overlay.
#include "core/draw_units.h"

ZX_DRAW_BLENDED(PF_Pixel16, over);
ZX_DRAW_BLENDED(PF_Pixel16, overlay);
