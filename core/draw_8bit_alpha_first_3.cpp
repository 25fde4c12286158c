// The drawing of 8-bit alpha-first pixels through screen.
#include "core/draw_units.h"

ZX_DRAW_BLENDED(PF_Pixel, screen);
