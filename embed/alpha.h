// Straight colour from premultiplied and back, as every front end that takes premultiplied
// pictures applies it around the effect, which works on straight colour.
#pragma once

#include <algorithm>
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

// The same on float channels, full 1.0, in real arithmetic.
inline float unpremultiply(float c, float a) {
    return a == 0.0f ? c : c / a;
}

inline float premultiply(float c, float a) {
    return a == 0.0f ? c : c * a;
}

}  // namespace zx::embed
