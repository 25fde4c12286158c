// The 16-bit alpha-last pixels' choice of overlap rule, and the rules that need no operator.
#include "core/draw_choice.h"

ZX_DRAW_INTEGER(PixelRGBA16);
