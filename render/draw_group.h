// The drawing through the operators of one group (draw_steps.h), for the translation unit that
// builds it.
#pragma once

#include "render/draw_steps.h"

template <class Pixel, int G, int I>
PF_Err draw_group(const DrawJob<Pixel>& job, const OverlapSettings<Pixel>& s) {
    static_assert(G >= 0 && G < kDrawGroups && I % kDrawGroups == G);
    if constexpr (I + kDrawGroups < static_cast<int>(BlendKind::count)) {
        if (static_cast<int>(s.kind) != I) return draw_group<Pixel, G, I + kDrawGroups>(job, s);
    }
    return with_blend_rule(s, BlendOp<static_cast<BlendKind>(I)>{},
                           [&](auto rule) { return draw_steps(job, rule); });
}
