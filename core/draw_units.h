// What a drawing unit builds: the blend rules of some operators for one pixel type.
#pragma once

#include "core/draw_steps.h"

template <class Pixel, BlendKind K>
DrawEnd draw_blended(const DrawJob<Pixel>& job, const OverlapSettings<Pixel>& s) {
    return with_blend_rule(s, BlendOp<K>{}, [&](auto rule) { return draw_steps(job, rule); });
}

#define ZX_DRAW_BLENDED(Pixel, Kind)                                             \
    template DrawEnd draw_blended<Pixel, BlendKind::Kind>(const DrawJob<Pixel>&, \
                                                          const OverlapSettings<Pixel>&)
