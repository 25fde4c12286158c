#include "composite/blend.h"

#include "composite/pixel_traits.h"

namespace {

template <class P>
typename PixelTraits<P>::Channel clamp_channel(typename PixelTraits<P>::Wide v) {
    using T = PixelTraits<P>;
    if (v < 0) {
        return 0;
    }
    if (v > T::kFull) {
        return static_cast<typename T::Channel>(T::kFull);
    }
    return static_cast<typename T::Channel>(v);
}

template <class P>
struct Weights {
    typename PixelTraits<P>::Wide lower;  // k
    typename PixelTraits<P>::Wide alpha;  // A, never 0 once the upper alpha is non-zero
};

template <class P, class D = PixelTraits<P>>
Weights<P> over_weights(typename D::Wide lower_alpha, typename D::Wide upper_alpha) {
    using Wide = typename D::Wide;
    const Wide k = ((D::kWeightBase - upper_alpha) * lower_alpha) >> D::kWeightShift;
    Wide a = upper_alpha + k;
    if (a > D::kFull) {
        a = D::kFull;
    }
    return {k, a};
}

// Mixes the two colours with the given lower weight; Add passes L.a instead of k.
template <class P, class D = PixelTraits<P>>
P mix(P lower, P upper, typename D::Wide lower_weight, typename D::Wide alpha) {
    using Wide = typename D::Wide;
    const Wide ua = upper.alpha;
    auto channel = [&](Wide uc, Wide lc) {
        return clamp_channel<P>((uc * ua + lc * lower_weight) / alpha);
    };
    return {static_cast<typename D::Channel>(alpha), channel(upper.red, lower.red),
            channel(upper.green, lower.green), channel(upper.blue, lower.blue)};
}

template <class P, class D = PixelTraits<P>>
P over(P lower, P upper) {
    if (lower.alpha == 0 || upper.alpha == D::kFull) {
        return upper;
    }
    if (upper.alpha == 0) {
        return lower;
    }
    const Weights<P> w = over_weights<P>(lower.alpha, upper.alpha);
    return mix<P>(lower, upper, w.lower, w.alpha);
}

template <class P, class D = PixelTraits<P>>
P add(P lower, P upper) {
    if (lower.alpha == 0) {
        return upper;
    }
    if (upper.alpha == 0) {
        return lower;
    }
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
    if (l < D::kOverlaySplit) {
        return (2 * l * u) / D::kFull;
    }
    return 2 * (l + u - l * u / D::kFull) - D::kFull;
}

template <class P, class D = PixelTraits<P>>
typename D::Wide color_dodge(typename D::Wide l, typename D::Wide u) {
    if (u == D::kFull) {
        return D::kFull;
    }
    return (l * D::kFull) / (D::kFull - u);
}

template <class P, class D = PixelTraits<P>>
typename D::Wide color_burn(typename D::Wide l, typename D::Wide u) {
    if (u == 0) {
        return 0;
    }
    return D::kFull - ((D::kFull - l) * D::kFull) / u;
}

template <class P,
          typename PixelTraits<P>::Wide (*Formula)(typename PixelTraits<P>::Wide,
                                                   typename PixelTraits<P>::Wide),
          class D = PixelTraits<P>>
P blend_mode(P lower, P upper) {
    if (lower.alpha == 0) {
        return upper;
    }
    if (upper.alpha == 0) {
        return lower;
    }
    const P mode{upper.alpha, clamp_channel<P>(Formula(lower.red, upper.red)),
                 clamp_channel<P>(Formula(lower.green, upper.green)),
                 clamp_channel<P>(Formula(lower.blue, upper.blue))};
    if (lower.alpha == D::kFull && upper.alpha == D::kFull) {
        return mode;
    }
    return over<P>(lower, mode);
}

}  // namespace

A_u_char ClampChannel8(A_long v) {
    return clamp_channel<PF_Pixel>(v);
}

A_u_short ClampChannel16(std::int64_t v) {
    return clamp_channel<PF_Pixel16>(v);
}

PF_Pixel BlendOver8(PF_Pixel lower, PF_Pixel upper) {
    return over<PF_Pixel>(lower, upper);
}
PF_Pixel BlendAdd8(PF_Pixel lower, PF_Pixel upper) {
    return add<PF_Pixel>(lower, upper);
}

PF_Pixel BlendMultiply8(PF_Pixel lower, PF_Pixel upper) {
    return blend_mode<PF_Pixel, multiply<PF_Pixel>>(lower, upper);
}

PF_Pixel BlendScreen8(PF_Pixel lower, PF_Pixel upper) {
    return blend_mode<PF_Pixel, screen<PF_Pixel>>(lower, upper);
}

PF_Pixel BlendOverlay8(PF_Pixel lower, PF_Pixel upper) {
    return blend_mode<PF_Pixel, overlay<PF_Pixel>>(lower, upper);
}

PF_Pixel BlendColorDodge8(PF_Pixel lower, PF_Pixel upper) {
    return blend_mode<PF_Pixel, color_dodge<PF_Pixel>>(lower, upper);
}

PF_Pixel BlendColorBurn8(PF_Pixel lower, PF_Pixel upper) {
    return blend_mode<PF_Pixel, color_burn<PF_Pixel>>(lower, upper);
}

PF_Pixel16 BlendOver16(PF_Pixel16 lower, PF_Pixel16 upper) {
    return over<PF_Pixel16>(lower, upper);
}
PF_Pixel16 BlendAdd16(PF_Pixel16 lower, PF_Pixel16 upper) {
    return add<PF_Pixel16>(lower, upper);
}

PF_Pixel16 BlendMultiply16(PF_Pixel16 lower, PF_Pixel16 upper) {
    return blend_mode<PF_Pixel16, multiply<PF_Pixel16>>(lower, upper);
}

PF_Pixel16 BlendScreen16(PF_Pixel16 lower, PF_Pixel16 upper) {
    return blend_mode<PF_Pixel16, screen<PF_Pixel16>>(lower, upper);
}

PF_Pixel16 BlendOverlay16(PF_Pixel16 lower, PF_Pixel16 upper) {
    return blend_mode<PF_Pixel16, overlay<PF_Pixel16>>(lower, upper);
}

PF_Pixel16 BlendColorDodge16(PF_Pixel16 lower, PF_Pixel16 upper) {
    return blend_mode<PF_Pixel16, color_dodge<PF_Pixel16>>(lower, upper);
}

PF_Pixel16 BlendColorBurn16(PF_Pixel16 lower, PF_Pixel16 upper) {
    return blend_mode<PF_Pixel16, color_burn<PF_Pixel16>>(lower, upper);
}
