// What a choice unit builds for one pixel type: the rules that need no operator, and the
// choice of the operator's rules, which the drawing units build.
#pragma once

#include "core/draw_steps.h"

template <class Pixel>
DrawEnd draw_integer(const DrawJob<Pixel>& job, const OverlapSettings<Pixel>& s) {
    return with_overlap_rule(
        s, [&](auto rule) { return draw_steps(job, rule); },
        [&](auto op) { return draw_blended<Pixel, decltype(op)::kind>(job, s); });
}

#define ZX_DRAW_INTEGER(Pixel) \
    template DrawEnd draw_integer<Pixel>(const DrawJob<Pixel>&, const OverlapSettings<Pixel>&)
