#include "composite/blend.h"

namespace {

struct Depth8 {
    using Pixel = PF_Pixel;
    using Channel = A_u_char;
    using Wide = A_long;  // the largest intermediate, 2 x 255 x 255, fits easily
    static constexpr Wide kFull = 255;
    // The lower weight of over and Add uses 256 and a shift by 8, not a division by 255.
    static constexpr Wide kWeightBase = 256;
    static constexpr int kWeightShift = 8;
    static constexpr Wide kOverlaySplit = 128;
    static Channel clamp(Wide v) { return ClampChannel8(v); }
};

struct Depth16 {
    using Pixel = PF_Pixel16;
    using Channel = A_u_short;
    // The Add sum reaches 2^31; 64 bits also keep channels above 32768 free of overflow.
    using Wide = std::int64_t;
    static constexpr Wide kFull = 32768;
    static constexpr Wide kWeightBase = 32768;
    static constexpr int kWeightShift = 15;
    static constexpr Wide kOverlaySplit = 16384;
    static Channel clamp(Wide v) { return ClampChannel16(v); }
};

template <class D>
struct Weights {
    typename D::Wide lower;  // k
    typename D::Wide alpha;  // A, never 0 once the upper alpha is non-zero
};

template <class D>
Weights<D> over_weights(typename D::Wide lower_alpha, typename D::Wide upper_alpha) {
    using Wide = typename D::Wide;
    const Wide k = ((D::kWeightBase - upper_alpha) * lower_alpha) >> D::kWeightShift;
    Wide a = upper_alpha + k;
    if (a > D::kFull) {
        a = D::kFull;
    }
    return {k, a};
}

// Mixes the two colours with the given lower weight; Add passes L.a instead of k.
template <class D>
typename D::Pixel mix(typename D::Pixel lower, typename D::Pixel upper,
                      typename D::Wide lower_weight, typename D::Wide alpha) {
    using Wide = typename D::Wide;
    const Wide ua = upper.alpha;
    auto channel = [&](Wide uc, Wide lc) {
        return D::clamp((uc * ua + lc * lower_weight) / alpha);
    };
    return {static_cast<typename D::Channel>(alpha), channel(upper.red, lower.red),
            channel(upper.green, lower.green), channel(upper.blue, lower.blue)};
}

template <class D>
typename D::Pixel over(typename D::Pixel lower, typename D::Pixel upper) {
    if (lower.alpha == 0 || upper.alpha == D::kFull) {
        return upper;
    }
    if (upper.alpha == 0) {
        return lower;
    }
    const Weights<D> w = over_weights<D>(lower.alpha, upper.alpha);
    return mix<D>(lower, upper, w.lower, w.alpha);
}

template <class D>
typename D::Pixel add(typename D::Pixel lower, typename D::Pixel upper) {
    if (lower.alpha == 0) {
        return upper;
    }
    if (upper.alpha == 0) {
        return lower;
    }
    const Weights<D> w = over_weights<D>(lower.alpha, upper.alpha);
    return mix<D>(lower, upper, lower.alpha, w.alpha);
}

// Mode formulas of one channel, before the clamp; each inner product is truncated on its own.
template <class D>
typename D::Wide multiply(typename D::Wide l, typename D::Wide u) {
    return l * u / D::kFull;
}

template <class D>
typename D::Wide screen(typename D::Wide l, typename D::Wide u) {
    return l + u - l * u / D::kFull;
}

template <class D>
typename D::Wide overlay(typename D::Wide l, typename D::Wide u) {
    if (l < D::kOverlaySplit) {
        return (2 * l * u) / D::kFull;
    }
    return 2 * (l + u - l * u / D::kFull) - D::kFull;
}

template <class D>
typename D::Wide color_dodge(typename D::Wide l, typename D::Wide u) {
    if (u == D::kFull) {
        return D::kFull;
    }
    return (l * D::kFull) / (D::kFull - u);
}

template <class D>
typename D::Wide color_burn(typename D::Wide l, typename D::Wide u) {
    if (u == 0) {
        return 0;
    }
    return D::kFull - ((D::kFull - l) * D::kFull) / u;
}

template <class D, typename D::Wide (*Formula)(typename D::Wide, typename D::Wide)>
typename D::Pixel blend_mode(typename D::Pixel lower, typename D::Pixel upper) {
    if (lower.alpha == 0) {
        return upper;
    }
    if (upper.alpha == 0) {
        return lower;
    }
    const typename D::Pixel mode{upper.alpha, D::clamp(Formula(lower.red, upper.red)),
                                 D::clamp(Formula(lower.green, upper.green)),
                                 D::clamp(Formula(lower.blue, upper.blue))};
    if (lower.alpha == D::kFull && upper.alpha == D::kFull) {
        return mode;
    }
    return over<D>(lower, mode);
}

}  // namespace

A_u_char ClampChannel8(A_long v) {
    if (v < 0) {
        return 0;
    }
    if (v > Depth8::kFull) {
        return static_cast<A_u_char>(Depth8::kFull);
    }
    return static_cast<A_u_char>(v);
}

A_u_short ClampChannel16(std::int64_t v) {
    if (v < 0) {
        return 0;
    }
    if (v > Depth16::kFull) {
        return static_cast<A_u_short>(Depth16::kFull);
    }
    return static_cast<A_u_short>(v);
}

PF_Pixel BlendOver8(PF_Pixel lower, PF_Pixel upper) {
    return over<Depth8>(lower, upper);
}
PF_Pixel BlendAdd8(PF_Pixel lower, PF_Pixel upper) {
    return add<Depth8>(lower, upper);
}

PF_Pixel BlendMultiply8(PF_Pixel lower, PF_Pixel upper) {
    return blend_mode<Depth8, multiply<Depth8>>(lower, upper);
}

PF_Pixel BlendScreen8(PF_Pixel lower, PF_Pixel upper) {
    return blend_mode<Depth8, screen<Depth8>>(lower, upper);
}

PF_Pixel BlendOverlay8(PF_Pixel lower, PF_Pixel upper) {
    return blend_mode<Depth8, overlay<Depth8>>(lower, upper);
}

PF_Pixel BlendColorDodge8(PF_Pixel lower, PF_Pixel upper) {
    return blend_mode<Depth8, color_dodge<Depth8>>(lower, upper);
}

PF_Pixel BlendColorBurn8(PF_Pixel lower, PF_Pixel upper) {
    return blend_mode<Depth8, color_burn<Depth8>>(lower, upper);
}

PF_Pixel16 BlendOver16(PF_Pixel16 lower, PF_Pixel16 upper) {
    return over<Depth16>(lower, upper);
}
PF_Pixel16 BlendAdd16(PF_Pixel16 lower, PF_Pixel16 upper) {
    return add<Depth16>(lower, upper);
}

PF_Pixel16 BlendMultiply16(PF_Pixel16 lower, PF_Pixel16 upper) {
    return blend_mode<Depth16, multiply<Depth16>>(lower, upper);
}

PF_Pixel16 BlendScreen16(PF_Pixel16 lower, PF_Pixel16 upper) {
    return blend_mode<Depth16, screen<Depth16>>(lower, upper);
}

PF_Pixel16 BlendOverlay16(PF_Pixel16 lower, PF_Pixel16 upper) {
    return blend_mode<Depth16, overlay<Depth16>>(lower, upper);
}

PF_Pixel16 BlendColorDodge16(PF_Pixel16 lower, PF_Pixel16 upper) {
    return blend_mode<Depth16, color_dodge<Depth16>>(lower, upper);
}

PF_Pixel16 BlendColorBurn16(PF_Pixel16 lower, PF_Pixel16 upper) {
    return blend_mode<Depth16, color_burn<Depth16>>(lower, upper);
}

void fill_blend_tables(BlendTable8& table8, BlendTable16& table16) {
    table8 = {BlendOver8,   BlendOver8,    BlendAdd8,        BlendAdd8,      BlendMultiply8,
              BlendScreen8, BlendOverlay8, BlendColorDodge8, BlendColorBurn8};
    table16 = {BlendOver16,   BlendOver16,    BlendAdd16,        BlendAdd16,      BlendMultiply16,
               BlendScreen16, BlendOverlay16, BlendColorDodge16, BlendColorBurn16};
}

int blend_table_index(A_long blend_mode) {
    if (blend_mode < 0 || blend_mode >= kBlendTableSize) {
        return 1;
    }
    return static_cast<int>(blend_mode);
}
