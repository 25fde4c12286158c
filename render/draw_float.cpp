// The drawing of float pixels: the same steps and blocks as the other depths, each pixel of an
// overlap through the operator's formula in real arithmetic. Blocks move their pixels as they
// are; only occupied output pixels are blended.
#include <cstring>

#include "render/draw_steps.h"

namespace {

// Completion 100 %: every pixel is copied, whatever lies below.
struct RealCopyRule {
    template <std::size_t VB>
    void row(PixelF32* dst, const PixelF32* src, std::size_t run, RowAhead, bool) {
        std::memmove(dst, src, run * sizeof(PixelF32));
    }
};

// The footage pixel with its alpha scaled by the opacity, not truncated.
struct RealFootageScaled {
    double opacity;
    PixelF32 operator()(PixelF32 source) const {
        source.alpha = static_cast<float>(source.alpha * opacity);
        return source;
    }
};

// A free output pixel (alpha 0) takes the source pixel; an occupied one the operator's result
// with the incoming pixel `Upper` makes.
template <class Op, class Upper>
struct RealBlendRule {
    Op op;
    Upper upper;
    template <std::size_t VB>
    void row(PixelF32* dst, const PixelF32* src, std::size_t run, RowAhead, bool) {
        for (std::size_t x = 0; x < run; ++x) {
            dst[x] = dst[x].alpha == 0.0f ? src[x] : op(dst[x], upper(src[x]));
        }
    }
};

template <class Op, class Upper>
PF_Err draw_with(const DrawJob<PixelF32>& job, Op op, Upper upper) {
    return draw_steps(job, RealBlendRule<Op, Upper>{op, upper});
}

}  // namespace

PF_Err draw_float(const DrawJob<PixelF32>& job, const OverlapSettings<PixelF32>& s) {
    if (s.completed) return draw_steps(job, RealCopyRule{});
    return with_blend_op(s.kind, [&](auto op) {
        if (!s.footage) return draw_with(job, op, FlatColor<PixelF32>{s.color});
        if (s.opacity == 1.0) return draw_with(job, op, FootageAsIs{});
        return draw_with(job, op, RealFootageScaled{s.opacity});
    });
}
