// The drawing of float pixels: the same steps and blocks as the other depths, each pixel of an
// overlap through the operator's formula in real arithmetic. Blocks move their pixels as they
// are; only occupied output pixels are blended.
#include <cstring>
#include <type_traits>

#include "composite/float_runs.h"
#include "core/draw_steps.h"

namespace {

// Completion 100 %: every pixel is copied, whatever lies below.
template <class Pixel>
struct RealCopyRule {
    template <std::size_t VB>
    void row(Pixel* dst, const Pixel* src, std::size_t run, RowAhead, bool) {
        std::memmove(dst, src, run * sizeof(Pixel));
    }
    bool top_down() const { return true; }
    template <std::size_t VB>
    bool covers(const Pixel*, std::size_t) const {
        return true;
    }
};

// The footage pixel with its alpha scaled by the opacity, not truncated.
struct RealFootageScaled {
    double opacity;
    template <class Pixel>
    Pixel operator()(Pixel source) const {
        source.alpha = static_cast<float>(source.alpha * opacity);
        return source;
    }
};

// Pixels at a time in the usual cases of over (float_runs.h).
using float_runs::kChunk;

// The first pixel from x on that is not free (alpha 0), a chunk at a time where it can.
template <class Pixel>
ZX_INLINE std::size_t free_end(const Pixel* dst, std::size_t x, std::size_t run) {
    while (x + kChunk <= run && float_runs::free_chunk(dst + x)) x += kChunk;
    while (x < run && dst[x].alpha == 0.0f) ++x;
    return x;
}

// A free output pixel (alpha 0) takes the source pixel; an occupied one the operator's result
// with the incoming pixel `Upper` makes.
template <class Pixel, class Op, class Upper>
struct RealBlendRule {
    Op op;
    Upper upper;
    static constexpr bool kOpaqueChunks =
        Op::kind == BlendKind::over && std::is_same_v<Upper, FootageAsIs>;

    // Over gives an upper pixel of alpha exactly 1 and finite colour as it is, whatever lies
    // below.
    bool top_down() const { return kOpaqueChunks; }
    template <std::size_t VB>
    bool covers(const Pixel* p, std::size_t n) const {
        return float_runs::all_opaque_and_finite(p, n);
    }

    template <std::size_t VB>
    void row(Pixel* dst, const Pixel* src, std::size_t run, RowAhead, bool) {
        // Free stretches, the usual case, are copied whole.
        for (std::size_t x = 0; x < run;) {
            const std::size_t end = free_end(dst, x, run);
            std::memcpy(dst + x, src + x, (end - x) * sizeof(Pixel));
            for (x = end; x < run && dst[x].alpha != 0.0f;) {
                if (kOpaqueChunks && x + kChunk <= run &&
                    float_runs::opaque_over_chunk(dst + x, src + x)) {
                    x += kChunk;
                } else {
                    dst[x] = op(dst[x], upper(src[x]));
                    ++x;
                }
            }
        }
    }
};

template <class Pixel, class Op, class Upper>
DrawEnd draw_with(const DrawJob<Pixel>& job, Op op, Upper upper) {
    return draw_steps(job, RealBlendRule<Pixel, Op, Upper>{op, upper});
}

}  // namespace

template <class Pixel>
DrawEnd draw_float(const DrawJob<Pixel>& job, const OverlapSettings<Pixel>& s) {
    if (s.completed) return draw_steps(job, RealCopyRule<Pixel>{});
    return with_blend_op(s.kind, [&](auto op) {
        if (!s.footage) return draw_with(job, op, FlatColor<Pixel>{s.color});
        if (s.opacity == 1.0) return draw_with(job, op, FootageAsIs{});
        return draw_with(job, op, RealFootageScaled{s.opacity});
    });
}

template DrawEnd draw_float<PixelF32>(const DrawJob<PixelF32>&, const OverlapSettings<PixelF32>&);
template DrawEnd draw_float<PixelRGBAF32>(const DrawJob<PixelRGBAF32>&,
                                          const OverlapSettings<PixelRGBAF32>&);
