// The 16-bit alpha-first pixels' choice of overlap rule, and the rules that need no operator.
#include "core/draw_choice.h"

ZX_DRAW_INTEGER(PF_Pixel16);
