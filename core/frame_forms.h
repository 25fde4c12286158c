// Rows between a frame's own form and the effect's: 16-bit samples 0..65535 to the effect's
// 0..32768 and premultiplied colour to straight as rows are read, and back as they are
// finished, with the rounding of composite/sample_forms.h that every front end applies.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <type_traits>

#include "composite/blend_ops.h"
#include "composite/pixel_traits.h"
#include "composite/sample_forms.h"

namespace frame_forms {

template <class Pixel>
using RowLoader = void (*)(const std::uint8_t* from, Pixel* into, std::size_t count);
template <class Pixel>
using RowFinisher = void (*)(Pixel* row, std::size_t count);

template <class Pixel, class C>
C straight(C c, C a) {
    if constexpr (std::is_floating_point_v<C>) {
        return sample_forms::unpremultiply(c, a);
    } else {
        return static_cast<C>(sample_forms::unpremultiply(c, a, PixelTraits<Pixel>::kFull));
    }
}

template <class Pixel, class C>
C premultiplied(C c, C a) {
    if constexpr (std::is_floating_point_v<C>) {
        return sample_forms::premultiply(c, a);
    } else {
        return static_cast<C>(sample_forms::premultiply(c, a, PixelTraits<Pixel>::kFull));
    }
}

template <class Pixel, bool kFull16, bool kPremultiplied>
void load_row(const std::uint8_t* from, Pixel* into, std::size_t count) {
    if constexpr (kFull16 && !kPremultiplied) {
        // Every channel alike, as one run of samples.
        const auto* in = reinterpret_cast<const std::uint16_t*>(from);
        auto* out = reinterpret_cast<std::uint16_t*>(into);
        for (std::size_t i = 0; i < 4 * count; ++i) out[i] = sample_forms::png16_to_channel(in[i]);
        return;
    }
    for (std::size_t x = 0; x < count; ++x) {
        Pixel p;
        std::memcpy(&p, from + x * sizeof(Pixel), sizeof p);
        if constexpr (kFull16) {
            p.alpha = sample_forms::png16_to_channel(p.alpha);
            p.red = sample_forms::png16_to_channel(p.red);
            p.green = sample_forms::png16_to_channel(p.green);
            p.blue = sample_forms::png16_to_channel(p.blue);
        }
        if constexpr (kPremultiplied) {
            p.red = straight<Pixel>(p.red, p.alpha);
            p.green = straight<Pixel>(p.green, p.alpha);
            p.blue = straight<Pixel>(p.blue, p.alpha);
        }
        into[x] = p;
    }
}

template <class Pixel, bool kFull16, bool kPremultiplied>
void finish_row(Pixel* row, std::size_t count) {
    if constexpr (kFull16 && !kPremultiplied) {
        auto* samples = reinterpret_cast<std::uint16_t*>(row);
        for (std::size_t i = 0; i < 4 * count; ++i) {
            samples[i] = static_cast<std::uint16_t>(sample_forms::channel_to_png16(samples[i]));
        }
        return;
    }
    for (std::size_t x = 0; x < count; ++x) {
        Pixel p = row[x];
        if constexpr (kPremultiplied) {
            p.red = premultiplied<Pixel>(p.red, p.alpha);
            p.green = premultiplied<Pixel>(p.green, p.alpha);
            p.blue = premultiplied<Pixel>(p.blue, p.alpha);
        }
        if constexpr (kFull16) {
            using C = typename PixelTraits<Pixel>::Channel;
            p.alpha = static_cast<C>(sample_forms::channel_to_png16(p.alpha));
            p.red = static_cast<C>(sample_forms::channel_to_png16(p.red));
            p.green = static_cast<C>(sample_forms::channel_to_png16(p.green));
            p.blue = static_cast<C>(sample_forms::channel_to_png16(p.blue));
        }
        row[x] = p;
    }
}

// The loader of a frame's form, or null where the frame holds the effect's own.
template <class Pixel>
RowLoader<Pixel> loader_for(bool full16, bool premultiplied) {
    if (full16) {
        return premultiplied ? load_row<Pixel, true, true> : load_row<Pixel, true, false>;
    }
    return premultiplied ? load_row<Pixel, false, true> : nullptr;
}

template <class Pixel>
RowFinisher<Pixel> finisher_for(bool full16, bool premultiplied) {
    if (full16) {
        return premultiplied ? finish_row<Pixel, true, true> : finish_row<Pixel, true, false>;
    }
    return premultiplied ? finish_row<Pixel, false, true> : nullptr;
}

// The output row laid over the still row with the effect's Normal operator at full opacity.
template <class Pixel>
void lay_over_row(const Pixel* still, Pixel* row, std::size_t count) {
    for (std::size_t x = 0; x < count; ++x) {
        Pixel lower, upper;
        std::memcpy(&lower, still + x, sizeof(Pixel));
        std::memcpy(&upper, row + x, sizeof(Pixel));
        const Pixel r = BlendOp<BlendKind::over>{}(lower, upper);
        std::memcpy(row + x, &r, sizeof(Pixel));
    }
}

}  // namespace frame_forms
