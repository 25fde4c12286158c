// The blend operators, each formula written once over an arithmetic: the integer one here, the
// reference, which the general path runs pixel by pixel; real arithmetic for float pixels, also
// here; 8-bit float lanes (blend_lanes.h); and vector lanes over an opaque lower pixel
// (onto_opaque.h). Operators take (lower, upper): the pixel already in the output first, the
// incoming pixel second.
#pragma once

#include <cmath>
#include <concepts>
#include <cstdint>
#include <limits>
#include <type_traits>

#include "composite/pixel_traits.h"
#include "params/blend_modes.h"

// The operators are small and called from the innermost pixel loops: inlined there, their
// early returns and constant divisors fold into the loop.
#define ZX_INLINE [[gnu::always_inline]] inline

// What a formula asks of its arithmetic A. V is one channel, or many channels in vector lanes;
// +, -, * and the comparisons are V's own, with kFull and kSplit (Overlay's split) as its
// constants. The rest is spelt out:
//   div_full(x)                x / full, truncated in integers
//   quot(n, d)                 n / d, truncated in integers; d never 0
//   select(c, x, y)            x where c holds, else y (both are worked out)
//   min(x, y)
//   clamp(x)                   x into [0, full]; the identity where every channel is known to be
//                              within full, which keeps every result there too
//   lower_weight(la, ua)       over's weight of the lower pixel, ((base - ua) x la) >> shift
//                              in integers, (1 - ua) x la in reals;
//                              la is a LowerAlpha, which an arithmetic over opaque pixels knows
//   mix(uc, ua, lc, w, alpha)  (uc x ua + lc x w) / alpha, truncated in integers: a channel
template <class A>
concept BlendArithmetic = requires(const typename A::V& v, const typename A::LowerAlpha& la) {
    { A::select(v < A::kSplit, v, v) } -> std::same_as<typename A::V>;
    { A::select(v == A::kFull, v, v) } -> std::same_as<typename A::V>;
    { A::div_full(v) } -> std::same_as<typename A::V>;
    { A::quot(v, v) } -> std::same_as<typename A::V>;
    { A::min(v, v) } -> std::same_as<typename A::V>;
    { A::clamp(v) } -> std::same_as<typename A::V>;
    { A::lower_weight(la, v) } -> std::same_as<typename A::V>;
    { A::mix(v, v, v, v, v) } -> std::same_as<typename A::V>;
    { A::mix(v, v, v, la, v) } -> std::same_as<typename A::V>;
};

namespace blendops {

// A mode's colour from a lower and an upper channel, before it is laid over the lower pixel;
// each inner product is truncated on its own. For channels within full a formula keeps its
// result there itself (clamp is the identity in the lanes): Color Dodge and Color Burn select
// full or 0 where the quotient passes full, and swap a zero divisor for 1, discarding that lane.
template <BlendKind K, class A, class V = typename A::V>
ZX_INLINE V mode_channel(const V& l, const V& u) {
    constexpr auto kFull = A::kFull;
    if constexpr (K == BlendKind::multiply) return A::div_full(l * u);
    if constexpr (K == BlendKind::screen) return l + u - A::div_full(l * u);
    if constexpr (K == BlendKind::overlay) {
        return A::select(l < A::kSplit, A::div_full(2 * l * u),
                         2 * (l + u - A::div_full(l * u)) - kFull);
    }
    if constexpr (K == BlendKind::color_dodge) {
        const auto at_full = u == kFull;
        const V q = A::quot(l * kFull, A::select(at_full, V{} + 1, kFull - u));
        return A::select(at_full | (q > kFull), V{} + kFull, q);
    }
    if constexpr (K == BlendKind::color_burn) {
        const auto at_zero = u == 0;
        const V q = A::quot((kFull - l) * kFull, A::select(at_zero, V{} + 1, u));
        return A::select(at_zero | (q > kFull), V{}, kFull - q);
    }
}

// The result alpha of every operator for a lower alpha that is not 0: over's.
template <class A, class V = typename A::V>
ZX_INLINE V result_alpha(const typename A::LowerAlpha& la, const V& ua) {
    return A::min(ua + A::lower_weight(la, ua), V{} + A::kFull);
}

// A result channel of operator K for a lower alpha that is not 0. Over mixes the two colours
// with the lower weight k; Add weighs the lower colour by its alpha instead, and clamps the
// sum; every mode lays its colour over the lower pixel at the upper alpha.
template <BlendKind K, class A, class V = typename A::V>
ZX_INLINE V channel(const V& l, const V& u, const typename A::LowerAlpha& la, const V& ua) {
    static_assert(BlendArithmetic<A>);
    const V alpha = result_alpha<A>(la, ua);
    if constexpr (K == BlendKind::add) {
        return A::clamp(A::min(A::mix(u, ua, l, la, alpha), V{} + A::kFull));
    } else if constexpr (K == BlendKind::over) {
        return A::clamp(A::mix(u, ua, l, A::lower_weight(la, ua), alpha));
    } else {
        const V mode = A::clamp(mode_channel<K, A>(l, u));
        return A::clamp(A::mix(mode, ua, l, A::lower_weight(la, ua), alpha));
    }
}

template <class V>
struct Channels {
    V a, r, g, b;
};

// A whole pixel, for a lower alpha that is not 0.
template <BlendKind K, class A, class V = typename A::V>
ZX_INLINE Channels<V> pixel(const Channels<V>& l, const Channels<V>& u) {
    return {result_alpha<A>(l.a, u.a), channel<K, A>(l.r, u.r, l.a, u.a),
            channel<K, A>(l.g, u.g, l.a, u.a), channel<K, A>(l.b, u.b, l.a, u.a)};
}

// Integer arithmetic in the depth's wide type: the reference. Channels may lie beyond full
// (16-bit worlds hold up to 65535), so results are clamped.
template <class P>
struct Integer {
    using T = PixelTraits<P>;
    using V = typename T::Wide;
    using LowerAlpha = V;
    static constexpr V kFull = T::kFull;
    static constexpr V kSplit = T::kOverlaySplit;
    static V div_full(V x) { return x / kFull; }
    static V quot(V n, V d) { return n / d; }
    static V select(bool c, V x, V y) { return c ? x : y; }
    static V min(V x, V y) { return y < x ? y : x; }
    static V clamp(V x) { return x < 0 ? 0 : x > kFull ? kFull : x; }
    static V lower_weight(V la, V ua) { return ((T::kWeightBase - ua) * la) >> T::kWeightShift; }
    // A full result alpha, the usual case over opaque pixels, divides by a constant, which the
    // compiler turns into a multiply and shift: the same quotient without a division.
    static V mix(V uc, V ua, V lc, V w, V alpha) {
        const V n = uc * ua + lc * w;
        return alpha == kFull ? n / kFull : n / alpha;
    }
};

// Real arithmetic for float pixels: full is 1 and nothing is truncated. The float operator
// (real::pixel) runs the formulas in it, and clamps, where channels lie within 0 .. 1 only.
struct Real {
    using V = float;
    using LowerAlpha = V;
    static constexpr V kFull = 1.0f;
    static constexpr V kSplit = 0.5f;
    static V div_full(V x) { return x; }
    static V quot(V n, V d) { return n / d; }
    static V select(bool c, V x, V y) { return c ? x : y; }
    static V min(V x, V y) { return y < x ? y : x; }
    static V clamp(V x) { return x < 0.0f ? 0.0f : x > kFull ? kFull : x; }
    static V lower_weight(V la, V ua) { return (kFull - ua) * la; }
    static V mix(V uc, V ua, V lc, V w, V alpha) { return (uc * ua + lc * w) / alpha; }
};

// Float pixels as scene-linear footage has them: colour above 1 (highlights) and below 0 (wide
// gamut). Where both channels lie within 0 .. 1 a result is the formula's above, clamped as the
// integer ones are. Beyond, nothing is clipped without a reason, and nothing non-finite is made:
//   - a blend reads a non-finite colour channel as 0, so NaN never spreads to other channels
//     or pixels; a non-finite or negative alpha as 0, a coverage not to be trusted: that pixel
//     takes no part and the other one is the result as it is; alphas above 1 as 1;
//   - the mix of a colour over the lower one is a weighted mean, held between the two (float
//     rounding could carry c over c a hair off c); Add sums without a ceiling;
//   - Multiply is the product; Screen is the formula while neither channel exceeds 1, beyond
//     that the larger channel; Overlay is Multiply or Screen of 2 x lower - 1, as in 0 .. 1;
//   - Color Dodge brightens toward white and stops there: a lower above white is not raised
//     further, one below black is left as it is, and an upper at or above white gives white
//     or the brighter lower. Color Burn is its mirror about 1/2: it darkens toward black and
//     stops there, a lower below black is not lowered further, one above white is left as it
//     is, and an upper at or below black gives black or the darker lower;
//   - a sum or product beyond the float range saturates at the largest float.
// Each rule meets the formula at the edges of 0 .. 1, so results stay continuous there.
namespace real {

inline constexpr float kLargest = std::numeric_limits<float>::max();

// A float's bits: infinity's magnitude, and 1.
inline constexpr std::uint32_t kInfinityBits = 0x7F800000u;
inline constexpr std::uint32_t kOneBits = 0x3F800000u;

// A channel as a blend reads it.
inline float blend_colour(float c) {
    return std::isfinite(c) ? c : 0.0f;
}
inline float blend_alpha(float a) {
    return !(std::isfinite(a) && a > 0.0f) ? 0.0f : a < 1.0f ? a : 1.0f;
}

inline bool within_unit(float c) {
    return c >= 0.0f && c <= 1.0f;
}
inline float saturate(float x) {
    return x < -kLargest ? -kLargest : x > kLargest ? kLargest : x;
}
inline float larger(float x, float y) {
    return x < y ? y : x;
}

// Mode K's colour from a lower and an upper channel, both finite. Beyond 0 .. 1 Screen is
// written 1 - (1 - l)(1 - u), the same sum, which a huge channel cannot cancel to nonsense, and
// Overlay's 2 x l x u is 2 x (l x u): a huge channel times 0 is 0, not inf x 0.
template <BlendKind K>
ZX_INLINE float mode_colour(float l, float u) {
    if (within_unit(l) && within_unit(u)) return Real::clamp(mode_channel<K, Real>(l, u));
    if constexpr (K == BlendKind::multiply) return saturate(l * u);
    if constexpr (K == BlendKind::screen) {
        return saturate(l <= 1.0f && u <= 1.0f ? 1.0f - (1.0f - l) * (1.0f - u) : larger(l, u));
    }
    if constexpr (K == BlendKind::overlay) {
        if (l < Real::kSplit) return saturate(2.0f * (l * u));
        return saturate(l <= 1.0f && u <= 1.0f ? 1.0f - 2.0f * ((1.0f - l) * (1.0f - u))
                                               : larger(2.0f * l - 1.0f, u));
    }
    if constexpr (K == BlendKind::color_dodge) {
        if (l < 0.0f) return l;
        if (u >= 1.0f) return larger(1.0f, l);
        return Real::min(larger(1.0f, l), l / (1.0f - u));  // an infinite quotient gives way
    }
    if constexpr (K == BlendKind::color_burn) {
        if (l > 1.0f) return l;
        if (u <= 0.0f) return Real::min(0.0f, l);
        return larger(Real::min(0.0f, l), 1.0f - (1.0f - l) / u);
    }
}

// The weighted mean of c and l that lays c over the lower pixel, held between the two, or
// within 0 .. 1 where both lie there.
ZX_INLINE float mean(float c, float ua, float l, float w, float alpha) {
    float low = Real::min(c, l);
    float high = larger(c, l);
    if (low >= 0.0f && high <= 1.0f) {
        low = 0.0f;
        high = 1.0f;
    }
    const float m = Real::mix(c, ua, l, w, alpha);
    return m < low ? low : m > high ? high : m;
}

template <BlendKind K>
ZX_INLINE float channel(float l, float u, float la, float ua, float alpha) {
    l = blend_colour(l);
    u = blend_colour(u);
    if constexpr (K == BlendKind::add) {
        return saturate(Real::mix(u, ua, l, la, alpha));
    } else if constexpr (K == BlendKind::over) {
        return mean(u, ua, l, Real::lower_weight(la, ua), alpha);
    } else {
        return mean(mode_colour<K>(l, u), ua, l, Real::lower_weight(la, ua), alpha);
    }
}

// Operator K on float pixels, with the reference's rules for an operand of alpha 0 and for
// over a full upper alpha (whose colour it gives, read as a blend reads it).
template <BlendKind K, class P>
ZX_INLINE P pixel(P lower, P upper) {
    const float la = blend_alpha(lower.alpha);
    const float ua = blend_alpha(upper.alpha);
    if (la == 0.0f) return upper;
    if (ua == 0.0f) return lower;
    if (K == BlendKind::over && ua == 1.0f) {
        return make_pixel<P>(1.0f, blend_colour(upper.red), blend_colour(upper.green),
                             blend_colour(upper.blue));
    }
    const float alpha = result_alpha<Real>(la, ua);
    return make_pixel<P>(alpha, channel<K>(lower.red, upper.red, la, ua, alpha),
                         channel<K>(lower.green, upper.green, la, ua, alpha),
                         channel<K>(lower.blue, upper.blue, la, ua, alpha));
}

}  // namespace real

template <class P>
using ArithmeticOf = std::conditional_t<std::is_floating_point_v<typename PixelTraits<P>::Channel>,
                                        Real, Integer<P>>;

// The reference operator. An operand of alpha 0 gives the other, the lower rule first; over a
// full upper alpha gives the upper pixel as it is, channels beyond full included. Float pixels
// take the float rules (real::pixel).
template <BlendKind K, class P>
ZX_INLINE P reference(P lower, P upper) {
    using T = PixelTraits<P>;
    using C = typename T::Channel;
    using Wide = typename T::Wide;
    if constexpr (std::is_floating_point_v<C>) return real::pixel<K>(lower, upper);
    if (lower.alpha == 0) return upper;
    if (upper.alpha == 0) return lower;
    if (K == BlendKind::over && upper.alpha == T::kFull) return upper;
    const Channels<Wide> r =
        pixel<K, ArithmeticOf<P>>(Channels<Wide>{lower.alpha, lower.red, lower.green, lower.blue},
                                  Channels<Wide>{upper.alpha, upper.red, upper.green, upper.blue});
    return make_pixel<P>(static_cast<C>(r.a), static_cast<C>(r.r), static_cast<C>(r.g),
                         static_cast<C>(r.b));
}

}  // namespace blendops

// The operators by kind, one type each, so that a pixel loop takes the operator as a template
// argument and has it inlined.
template <BlendKind K>
struct BlendOp {
    static constexpr BlendKind kind = K;
    template <class P>
    ZX_INLINE P operator()(P lower, P upper) const {
        return blendops::reference<K>(lower, upper);
    }
};

// Calls f with the operator of kind k, chosen once.
template <int I = 0, class F>
decltype(auto) with_blend_op(BlendKind k, F&& f) {
    constexpr auto kKind = static_cast<BlendKind>(I);
    if constexpr (I + 1 < static_cast<int>(BlendKind::count)) {
        if (k != kKind) return with_blend_op<I + 1>(k, static_cast<F&&>(f));
    }
    return f(BlendOp<kKind>{});
}
