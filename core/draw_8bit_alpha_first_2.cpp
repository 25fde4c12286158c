// The drawing of 8-bit alpha-first pixels through multiply and color burn.
#include "core/draw_units.h"

ZX_DRAW_BLENDED(PF_Pixel, multiply);
ZX_DRAW_BLENDED(PF_Pixel, color_burn);
