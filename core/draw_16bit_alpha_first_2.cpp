// The drawing of 16-bit alpha-first pixels through multiply and color burn.
#include "core/draw_units.h"

ZX_DRAW_BLENDED(PF_Pixel16, multiply);
ZX_DRAW_BLENDED(PF_Pixel16, color_burn);
