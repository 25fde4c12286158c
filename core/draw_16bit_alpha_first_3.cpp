// The drawing of 16-bit alpha-first pixels through screen.
#include "core/draw_units.h"

ZX_DRAW_BLENDED(PF_Pixel16, screen);
