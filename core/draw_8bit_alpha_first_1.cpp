// The drawing of 8-bit alpha-first pixels through add and color dodge.
#include "core/draw_units.h"

ZX_DRAW_BLENDED(PF_Pixel, add);
ZX_DRAW_BLENDED(PF_Pixel, color_dodge);
