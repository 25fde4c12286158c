// The forms in which pictures hold their samples beside the effect's own: 16-bit samples as
// files, video and OpenFX hosts hold them (0..65535) against the effect's 16-bit channels
// (0..32768), and premultiplied colour against straight. Every front end converts with these,
// so that a picture renders the same in each of them.
#pragma once

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstdint>

namespace sample_forms {

// v * 32768 / 65535 rounded up, which for every 16-bit sample is half of v rounded up (checked
// below): a form the compiler runs on many samples at once.
constexpr std::uint16_t png16_to_channel(std::uint32_t v) {
    return static_cast<std::uint16_t>((v + 1u) >> 1);
}

constexpr bool halves_are_the_rounded_quotient() {
    for (std::uint32_t v = 0; v <= 65535u; ++v) {
        if (png16_to_channel(v) != (v * 32768u + 32767u) / 65535u) return false;
    }
    return true;
}
static_assert(halves_are_the_rounded_quotient());

// c * 65535 / 32768 rounded to nearest, which is 2c, less one from 16385 on; channels past
// 32768 (the host's channels end there) give 65535. Written on 16 bits, which the compiler runs
// on many samples at once, and checked against the quotient below.
constexpr std::uint32_t channel_to_png16(std::uint16_t c) {
    const auto s = static_cast<std::int16_t>(c);
    const auto doubled = static_cast<std::uint16_t>(c + c - (s > 16384 ? 1 : 0));
    const auto past_full = static_cast<std::uint16_t>(s >> 15);
    return static_cast<std::uint16_t>(doubled | past_full);
}

constexpr bool doubles_are_the_rounded_quotient() {
    for (std::uint32_t c = 0; c <= 65535u; ++c) {
        const std::uint32_t v = (c * 65535u + 16384u) / 32768u;
        if (channel_to_png16(static_cast<std::uint16_t>(c)) != (v > 65535u ? 65535u : v)) {
            return false;
        }
    }
    return true;
}
static_assert(doubles_are_the_rounded_quotient());

// On channels running 0..full. A colour no greater than its alpha comes back from the round
// trip unchanged; alpha 0 leaves colour as it is both ways.
constexpr std::uint32_t unpremultiply(std::uint32_t c, std::uint32_t a, std::uint32_t full) {
    if (a == 0) return c;
    return std::min(full, (c * full + a / 2) / a);
}

constexpr std::uint32_t premultiply(std::uint32_t c, std::uint32_t a, std::uint32_t full) {
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

}  // namespace sample_forms
