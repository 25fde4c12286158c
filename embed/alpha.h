// Straight colour from premultiplied and back, as every front end that takes premultiplied
// pictures applies it around the effect, which works on straight colour.
#pragma once

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstdint>

namespace zx::embed {

// On channels running 0..full. A colour no greater than its alpha comes back from the round
// trip unchanged; alpha 0 leaves colour as it is both ways.
inline std::uint32_t unpremultiply(std::uint32_t c, std::uint32_t a, std::uint32_t full) {
    if (a == 0) return c;
    return std::min(full, (c * full + a / 2) / a);
}

inline std::uint32_t premultiply(std::uint32_t c, std::uint32_t a, std::uint32_t full) {
    if (a == 0) return c;
    return (c * a + full / 2) / full;
}

// A quotient or product of finite channels that passes the float range saturates there, so
// finite pictures never turn infinite (a tiny alpha, an alpha far above 1).
inline float within_float_range(float result) {
    return std::isinf(result) ? std::copysign(FLT_MAX, result) : result;
}

// The same on float channels, full 1.0, in real arithmetic. A non-finite alpha leaves colour
// as it is, as alpha 0 does, so a NaN alpha does not spread into the colour; non-finite colour
// goes through as it is.
inline float unpremultiply(float c, float a) {
    if (a == 0.0f || !std::isfinite(a) || !std::isfinite(c)) return c;
    return within_float_range(c / a);
}

inline float premultiply(float c, float a) {
    if (a == 0.0f || !std::isfinite(a) || !std::isfinite(c)) return c;
    return within_float_range(c * a);
}

}  // namespace zx::embed
