// Rows between a frame's own form and the effect's: 16-bit samples 0..65535 to the effect's
// 0..32768 and premultiplied colour to straight as rows are read, and back as they are
// finished, with the rounding of composite/sample_forms.h that every front end applies.
#pragma once

#include <cfloat>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <type_traits>

#include "composite/blend_ops.h"
#include "composite/float_runs.h"
#include "composite/onto_opaque.h"
#include "composite/pixel_traits.h"
#include "composite/sample_forms.h"

namespace frame_forms {

template <class Pixel>
using RowLoader = void (*)(const std::uint8_t* from, Pixel* into, std::size_t count,
                           std::ptrdiff_t ahead);
template <class Pixel>
using RowFinisher = void (*)(Pixel* row, std::size_t count);

template <class Pixel>
using Channel = typename PixelTraits<Pixel>::Channel;

// Where a pixel's alpha is among its four channels.
template <class Pixel>
inline constexpr std::size_t kAlphaAt = offsetof(Pixel, alpha) / sizeof(Channel<Pixel>);

// 16-bit samples 0..65535 to the effect's 0..32768 or back, every channel alike.
inline void to_channels(const std::uint16_t* __restrict in, std::uint16_t* __restrict out,
                        std::size_t samples) {
    for (std::size_t i = 0; i < samples; ++i) out[i] = sample_forms::png16_to_channel(in[i]);
}

inline void to_samples(std::uint16_t* row, std::size_t samples) {
    for (std::size_t i = 0; i < samples; ++i) {
        row[i] = static_cast<std::uint16_t>(sample_forms::channel_to_png16(row[i]));
    }
}

// A float colour and its alpha through `op` as sample_forms rules it: a colour or alpha that is
// not finite, or an alpha of 0, leaves the colour as it is; a result past the float range
// saturates there. Without branches, so that it runs on many pixels at once.
template <class Op>
[[gnu::always_inline]] inline float real_rule(float c, float a, Op op) {
    const int use = static_cast<int>(a != 0.0f) & static_cast<int>(std::fabs(a) <= FLT_MAX) &
                    static_cast<int>(std::fabs(c) <= FLT_MAX);
    const float r = op(c, use ? a : 1.0f);
    return use ? (std::fabs(r) <= FLT_MAX ? r : std::copysign(FLT_MAX, r)) : c;
}

// Every 8-bit colour and alpha through sample_forms' rules, looked up.
struct ByteRules {
    std::uint8_t straight[256][256];
    std::uint8_t premultiplied[256][256];
};

constexpr ByteRules byte_rules() {
    ByteRules r{};
    for (std::uint32_t a = 0; a < 256; ++a) {
        for (std::uint32_t c = 0; c < 256; ++c) {
            r.straight[a][c] = static_cast<std::uint8_t>(sample_forms::unpremultiply(c, a, 255));
            r.premultiplied[a][c] = static_cast<std::uint8_t>(sample_forms::premultiply(c, a, 255));
        }
    }
    return r;
}

inline constexpr ByteRules kByteRules = byte_rules();

// At alpha 0 and at full alpha, straight and premultiplied colour are the same: both rules
// leave every colour up to full as it is (checked here for the integer depths; at float, alpha
// 0 leaves colour and c / 1 and c * 1 are c), and premultiplying leaves 16-bit colour past full
// too, as (c x 32768 + 16384) / 32768 is c.
constexpr bool alpha_keeps_colour(std::uint32_t a, std::uint32_t full, bool premultiplying) {
    for (std::uint32_t c = 0; c <= full; ++c) {
        if ((premultiplying ? sample_forms::premultiply(c, a, full)
                            : sample_forms::unpremultiply(c, a, full)) != c) {
            return false;
        }
    }
    return true;
}
// One assertion each, so that each stays within the compilers' step limits.
static_assert(alpha_keeps_colour(0, 255, false) && alpha_keeps_colour(255, 255, false));
static_assert(alpha_keeps_colour(0, 255, true) && alpha_keeps_colour(255, 255, true));
static_assert(alpha_keeps_colour(0, 32768, false));
static_assert(alpha_keeps_colour(32768, 32768, false));
static_assert(alpha_keeps_colour(0, 32768, true));
static_assert(alpha_keeps_colour(32768, 32768, true));

// Chunks of pixels whose alphas are all 0 or full, tested a vector at a time.
template <class Pixel>
constexpr std::size_t kept_chunk_pixels() {
    if constexpr (std::is_floating_point_v<Channel<Pixel>>) {
        return float_runs::kChunk;
    } else {
        return PixelTraits<Pixel>::kChunkPixels;
    }
}
template <class Pixel>
inline constexpr std::size_t kKeptChunk = kept_chunk_pixels<Pixel>();

template <class Pixel>
[[gnu::always_inline]] inline bool kept_chunk(const Pixel* p) {
    if constexpr (std::is_floating_point_v<Channel<Pixel>>) {
        return float_runs::none_or_one_alpha_chunk(p);
    } else {
        using T = PixelTraits<Pixel>;
        using W = onto_opaque::Words<Pixel, 16>;
        constexpr typename T::Word kFull = kFullAlphaWord<Pixel>;
        W others{};
        for (std::size_t at = 0; at < kKeptChunk<Pixel> * sizeof(Pixel); at += sizeof(W)) {
            W w;
            std::memcpy(&w, reinterpret_cast<const std::uint8_t*>(p) + at, sizeof w);
            const W a = w & T::kAlphaBits;
            others |= onto_opaque::bits<W>((a != 0) & (a != kFull));
        }
        return !onto_opaque::any_bit(others);
    }
}

// Every colour channel of the row through `rule(colour, alpha)`, in place. Where the rule
// keeps colour at alpha 0 and full (kKeepsPlain), chunks of such pixels, the usual case of
// opaque footage and of free output, are passed over whole.
template <bool kKeepsPlain, class Pixel, class Rule>
[[gnu::always_inline]] inline void each_colour(Pixel* row, std::size_t count, Rule rule) {
    using C = Channel<Pixel>;
    constexpr std::size_t A = kAlphaAt<Pixel>;
    constexpr std::size_t kChunk = kKeptChunk<Pixel>;
    auto* ch = reinterpret_cast<C*>(row);
    const auto pixels = [&](std::size_t from, std::size_t to) {
        for (std::size_t x = from; x < to; ++x) {
            C* p = ch + 4 * x;
            const C a = p[A];
            for (std::size_t k = 0; k < 4; ++k) {
                if (k != A) p[k] = rule(p[k], a);
            }
        }
    };
    std::size_t x = 0;
    if constexpr (kKeepsPlain) {
        for (; x + kChunk <= count; x += kChunk) {
            if (!kept_chunk(row + x)) pixels(x, x + kChunk);
        }
    }
    pixels(x, count);
}

// Straight colour from premultiplied, as sample_forms::unpremultiply. The 16-bit quotient comes
// from a division in double, which runs on many channels at once: with a numerator below 2^31
// and a divisor of at most 32768, the division's rounding error is below 2^-22, while a quotient
// that is not whole lies at least 1/32768 below the next whole number, so truncating gives the
// integer quotient exactly.
// Colour up to full at full alpha is kept (kWithinFull); 16-bit colour past full is not.
template <class Pixel, bool kWithinFull>
void straighten(Pixel* row, std::size_t count) {
    using C = Channel<Pixel>;
    each_colour<kWithinFull || sizeof(C) != 2>(row, count, [](C c, C a) -> C {
        if constexpr (std::is_floating_point_v<C>) {
            return real_rule(c, a, [](float v, float d) { return v / d; });
        } else if constexpr (sizeof(C) == 1) {
            return kByteRules.straight[a][c];
        } else {
            constexpr auto kFull = static_cast<std::int32_t>(PixelTraits<Pixel>::kFull);
            const std::int32_t v = c;
            const std::int32_t none = a == 0;
            const std::int32_t n = v * kFull + a / 2;
            std::int32_t q =
                static_cast<std::int32_t>(static_cast<double>(n) / static_cast<double>(a + none));
            q -= (q - kFull) * (q > kFull);
            return static_cast<C>(q + (v - q) * none);
        }
    });
}

template <class Pixel>
void premultiply(Pixel* row, std::size_t count) {
    using C = Channel<Pixel>;
    each_colour<true>(row, count, [](C c, C a) -> C {
        if constexpr (std::is_floating_point_v<C>) {
            return real_rule(c, a, [](float v, float m) { return v * m; });
        } else if constexpr (sizeof(C) == 1) {
            return kByteRules.premultiplied[a][c];
        } else {
            constexpr auto kFull = static_cast<std::uint32_t>(PixelTraits<Pixel>::kFull);
            const std::uint32_t v = c;
            const std::uint32_t none = a == 0;
            const std::uint32_t r = (v * a + kFull / 2) / kFull;
            return static_cast<C>(r + (v - r) * none);
        }
    });
}

template <class Pixel, bool kFull16, bool kPremultiplied>
void load_row(const std::uint8_t* from, Pixel* into, std::size_t count, std::ptrdiff_t ahead) {
    constexpr std::size_t kLine = 64;
    constexpr std::size_t kStep = 4 * kLine / sizeof(Pixel);
    for (std::size_t at = 0; at < count; at += kStep) {
        const std::size_t n = count - at < kStep ? count - at : kStep;
        const std::uint8_t* in = from + at * sizeof(Pixel);
        for (std::size_t line = 0; ahead != 0 && line < n * sizeof(Pixel); line += kLine) {
            __builtin_prefetch(in + line + ahead);
        }
        if constexpr (kFull16) {
            // A whole step's known length lets the compiler unroll the vectors.
            to_channels(reinterpret_cast<const std::uint16_t*>(in),
                        reinterpret_cast<std::uint16_t*>(into + at), 4 * (n == kStep ? kStep : n));
        } else if (n == kStep) {
            // A copy of known length is a few vector moves, not a string instruction.
            std::memcpy(into + at, in, kStep * sizeof(Pixel));
        } else {
            std::memcpy(into + at, in, n * sizeof(Pixel));
        }
        if constexpr (kPremultiplied) straighten<Pixel, kFull16>(into + at, n);
    }
}

template <class Pixel, bool kFull16, bool kPremultiplied>
void finish_row(Pixel* row, std::size_t count) {
    if constexpr (kPremultiplied) premultiply(row, count);
    if constexpr (kFull16) to_samples(reinterpret_cast<std::uint16_t*>(row), 4 * count);
}

// The same rows built for 32-byte vectors (AVX2), chosen at run time where the processor has
// them, as the drawing's own loops are.
#if defined(__x86_64__) || defined(__i386__)
template <class Pixel, bool kFull16, bool kPremultiplied>
[[gnu::target("avx2"), gnu::flatten]] void load_row_wide(const std::uint8_t* from, Pixel* into,
                                                         std::size_t count, std::ptrdiff_t ahead) {
    load_row<Pixel, kFull16, kPremultiplied>(from, into, count, ahead);
}

template <class Pixel, bool kFull16, bool kPremultiplied>
[[gnu::target("avx2"), gnu::flatten]] void finish_row_wide(Pixel* row, std::size_t count) {
    finish_row<Pixel, kFull16, kPremultiplied>(row, count);
}

inline bool wide_rows() {
    return __builtin_cpu_supports("avx2");
}
#else
template <class Pixel, bool kFull16, bool kPremultiplied>
void load_row_wide(const std::uint8_t* from, Pixel* into, std::size_t count, std::ptrdiff_t ahead) {
    load_row<Pixel, kFull16, kPremultiplied>(from, into, count, ahead);
}

template <class Pixel, bool kFull16, bool kPremultiplied>
void finish_row_wide(Pixel* row, std::size_t count) {
    finish_row<Pixel, kFull16, kPremultiplied>(row, count);
}

inline bool wide_rows() {
    return false;
}
#endif

template <class Pixel, bool kFull16, bool kPremultiplied>
RowLoader<Pixel> loader() {
    return wide_rows() ? load_row_wide<Pixel, kFull16, kPremultiplied>
                       : load_row<Pixel, kFull16, kPremultiplied>;
}

template <class Pixel, bool kFull16, bool kPremultiplied>
RowFinisher<Pixel> finisher() {
    return wide_rows() ? finish_row_wide<Pixel, kFull16, kPremultiplied>
                       : finish_row<Pixel, kFull16, kPremultiplied>;
}

// The loader of a frame's form, or null where the frame holds the effect's own.
template <class Pixel>
RowLoader<Pixel> loader_for(bool full16, bool premultiplied) {
    if (full16) {
        return premultiplied ? loader<Pixel, true, true>() : loader<Pixel, true, false>();
    }
    return premultiplied ? loader<Pixel, false, true>() : nullptr;
}

template <class Pixel>
RowFinisher<Pixel> finisher_for(bool full16, bool premultiplied) {
    if (full16) {
        return premultiplied ? finisher<Pixel, true, true>() : finisher<Pixel, true, false>();
    }
    return premultiplied ? finisher<Pixel, false, true>() : nullptr;
}

// The output row laid over the still row with the effect's Normal operator at full opacity;
// float still rows ask for the pixels `ahead` bytes on as they go (none at 0).
template <class Pixel>
void lay_over_row(const Pixel* still, Pixel* row, std::size_t count, std::ptrdiff_t ahead = 0) {
    using C = typename PixelTraits<Pixel>::Channel;
    const auto pixel = [&](std::size_t x) {
        Pixel lower, upper;
        std::memcpy(&upper, row + x, sizeof(Pixel));
        // The usual case, an opaque block: over gives the upper pixel as it is.
        if constexpr (std::is_floating_point_v<C>) {
            if (upper.alpha == 1.0f && std::isfinite(upper.red) && std::isfinite(upper.green) &&
                std::isfinite(upper.blue)) {
                return;
            }
        } else if (upper.alpha == PixelTraits<Pixel>::kFull) {
            return;
        }
        std::memcpy(&lower, still + x, sizeof(Pixel));
        const Pixel r = BlendOp<BlendKind::over>{}(lower, upper);
        std::memcpy(row + x, &r, sizeof(Pixel));
    };
    std::size_t x = 0;
    if constexpr (std::is_floating_point_v<C>) {
        // Eight pixels at a time in the usual cases (float_runs.h).
        for (; x + float_runs::kChunk <= count; x += float_runs::kChunk) {
            if (ahead != 0) {
                const auto* next = reinterpret_cast<const std::uint8_t*>(still + x) + ahead;
                for (std::size_t line = 0; line < float_runs::kChunk * sizeof(Pixel); line += 64) {
                    __builtin_prefetch(next + line);
                }
            }
            if (float_runs::lay_over_chunk(still + x, row + x)) continue;
            for (std::size_t i = 0; i < float_runs::kChunk; ++i) pixel(x + i);
        }
    }
    for (; x < count; ++x) pixel(x);
}

}  // namespace frame_forms
