// The blend operators written once as templates on the pixel type, visible to the pixel loops
// so that the render's one operator is compiled into them instead of called per pixel. The
// named operators of blend.h are these same templates.
#pragma once

#include <cstdint>

#include "composite/pixel_traits.h"

// The operators are small and called from the innermost pixel loops: inlined there, their
// early returns and constant divisors fold into the loop.
#define ZX_INLINE [[gnu::always_inline]] inline

namespace blendops {

template <class P>
ZX_INLINE typename PixelTraits<P>::Channel clamp_channel(typename PixelTraits<P>::Wide v) {
    using T = PixelTraits<P>;
    if (v < 0) return 0;
    if (v > T::kFull) return static_cast<typename T::Channel>(T::kFull);
    return static_cast<typename T::Channel>(v);
}

template <class P>
struct Weights {
    typename PixelTraits<P>::Wide lower;  // k
    typename PixelTraits<P>::Wide alpha;  // A, never 0 once the upper alpha is non-zero
};

template <class P, class D = PixelTraits<P>>
ZX_INLINE Weights<P> over_weights(typename D::Wide lower_alpha, typename D::Wide upper_alpha) {
    using Wide = typename D::Wide;
    const Wide k = ((D::kWeightBase - upper_alpha) * lower_alpha) >> D::kWeightShift;
    Wide a = upper_alpha + k;
    if (a > D::kFull) a = D::kFull;
    return {k, a};
}

// Mixes the two colours with the given lower weight; Add passes L.a instead of k. A full
// result alpha, the usual case over opaque pixels, divides by a constant, which the compiler
// turns into a multiply and shift: the same quotient without a division instruction.
template <class P, class D = PixelTraits<P>>
ZX_INLINE P mix(P lower, P upper, typename D::Wide lower_weight, typename D::Wide alpha) {
    using Wide = typename D::Wide;
    const Wide ua = upper.alpha;
    const Wide r = upper.red * ua + lower.red * lower_weight;
    const Wide g = upper.green * ua + lower.green * lower_weight;
    const Wide b = upper.blue * ua + lower.blue * lower_weight;
    if (alpha == D::kFull) {
        return {static_cast<typename D::Channel>(alpha), clamp_channel<P>(r / D::kFull),
                clamp_channel<P>(g / D::kFull), clamp_channel<P>(b / D::kFull)};
    }
    return {static_cast<typename D::Channel>(alpha), clamp_channel<P>(r / alpha),
            clamp_channel<P>(g / alpha), clamp_channel<P>(b / alpha)};
}

template <class P, class D = PixelTraits<P>>
ZX_INLINE P over(P lower, P upper) {
    if (lower.alpha == 0 || upper.alpha == D::kFull) return upper;
    if (upper.alpha == 0) return lower;
    const Weights<P> w = over_weights<P>(lower.alpha, upper.alpha);
    return mix<P>(lower, upper, w.lower, w.alpha);
}

template <class P, class D = PixelTraits<P>>
ZX_INLINE P add(P lower, P upper) {
    if (lower.alpha == 0) return upper;
    if (upper.alpha == 0) return lower;
    const Weights<P> w = over_weights<P>(lower.alpha, upper.alpha);
    return mix<P>(lower, upper, lower.alpha, w.alpha);
}

// Mode formulas of one channel, before the clamp; each inner product is truncated on its own.
template <class P, class D = PixelTraits<P>>
typename D::Wide multiply(typename D::Wide l, typename D::Wide u) {
    return l * u / D::kFull;
}

template <class P, class D = PixelTraits<P>>
typename D::Wide screen(typename D::Wide l, typename D::Wide u) {
    return l + u - l * u / D::kFull;
}

template <class P, class D = PixelTraits<P>>
typename D::Wide overlay(typename D::Wide l, typename D::Wide u) {
    if (l < D::kOverlaySplit) return (2 * l * u) / D::kFull;
    return 2 * (l + u - l * u / D::kFull) - D::kFull;
}

template <class P, class D = PixelTraits<P>>
typename D::Wide color_dodge(typename D::Wide l, typename D::Wide u) {
    if (u == D::kFull) return D::kFull;
    return (l * D::kFull) / (D::kFull - u);
}

template <class P, class D = PixelTraits<P>>
typename D::Wide color_burn(typename D::Wide l, typename D::Wide u) {
    if (u == 0) return 0;
    return D::kFull - ((D::kFull - l) * D::kFull) / u;
}

template <class P,
          typename PixelTraits<P>::Wide (*Formula)(typename PixelTraits<P>::Wide,
                                                   typename PixelTraits<P>::Wide),
          class D = PixelTraits<P>>
ZX_INLINE P blend_mode(P lower, P upper) {
    if (lower.alpha == 0) return upper;
    if (upper.alpha == 0) return lower;
    const P mode{upper.alpha, clamp_channel<P>(Formula(lower.red, upper.red)),
                 clamp_channel<P>(Formula(lower.green, upper.green)),
                 clamp_channel<P>(Formula(lower.blue, upper.blue))};
    if (lower.alpha == D::kFull && upper.alpha == D::kFull) return mode;
    return over<P>(lower, mode);
}

}  // namespace blendops

// The operators by kind, one type each, so that a pixel loop can take the operator as a
// template argument and have it inlined.
enum class BlendKind { over, add, multiply, screen, overlay, color_dodge, color_burn };

template <BlendKind K>
struct BlendOp {
    static constexpr BlendKind kind = K;
    template <class P>
    ZX_INLINE P operator()(P lower, P upper) const {
        using namespace blendops;
        if constexpr (K == BlendKind::over) return over<P>(lower, upper);
        if constexpr (K == BlendKind::add) return add<P>(lower, upper);
        if constexpr (K == BlendKind::multiply) return blend_mode<P, multiply<P>>(lower, upper);
        if constexpr (K == BlendKind::screen) return blend_mode<P, screen<P>>(lower, upper);
        if constexpr (K == BlendKind::overlay) return blend_mode<P, overlay<P>>(lower, upper);
        if constexpr (K == BlendKind::color_dodge) {
            return blend_mode<P, color_dodge<P>>(lower, upper);
        }
        if constexpr (K == BlendKind::color_burn) {
            return blend_mode<P, color_burn<P>>(lower, upper);
        }
    }
};

// Calls f with the operator of a blend-table index (blend_table_index), chosen once: the same
// layout as the tables of blend.h.
template <class F>
decltype(auto) with_blend_op(int index, F&& f) {
    switch (index) {
        case 2:
        case 3:
            return f(BlendOp<BlendKind::add>{});
        case 4:
            return f(BlendOp<BlendKind::multiply>{});
        case 5:
            return f(BlendOp<BlendKind::screen>{});
        case 6:
            return f(BlendOp<BlendKind::overlay>{});
        case 7:
            return f(BlendOp<BlendKind::color_dodge>{});
        case 8:
            return f(BlendOp<BlendKind::color_burn>{});
        default:
            return f(BlendOp<BlendKind::over>{});
    }
}
