// The drawing of 16-bit alpha-first pixels through add and color dodge.
#include "core/draw_units.h"

ZX_DRAW_BLENDED(PF_Pixel16, add);
ZX_DRAW_BLENDED(PF_Pixel16, color_dodge);
