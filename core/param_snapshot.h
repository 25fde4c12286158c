// The parameter values of one render in working units, built by one function from the values a
// panel holds, so that every front end's render reads what the module's own parameters give.
#pragma once

#include <cstdint>
#include <type_traits>

#include "composite/pixel_traits.h"
#include "host/ae_api.h"
#include "layout/layout_params.h"

// The values as a panel holds them: popups by choice number (from 1), sliders as they are,
// percents, the colour, and the horizontal downsample as a fraction.
struct PanelValues {
    std::int32_t mode;
    double completion_percent;
    std::int32_t split;
    std::int32_t rows;
    std::int32_t strip_height;
    std::int32_t columns;
    std::int32_t strip_width;
    std::int32_t seed;
    std::int32_t overlap_mode;
    PF_Pixel color;
    std::int32_t blend_mode;
    double opacity_percent;
    std::int32_t downsample_num = 1;
    std::uint32_t downsample_den = 1;
};

// The parameter values of one render in working units; the layout's share is its base.
struct ParamSnapshot : LayoutParams {
    std::int32_t overlap_mode;
    PF_Pixel color;
    std::int32_t blend_mode;
    double opacity;  // 0.0 .. 1.0
};

// A parameter's value by the parameter table's index: popups and sliders, percents; null for
// any other index.
std::int32_t* whole_value(PanelValues& values, int index);
double* percent_value(PanelValues& values, int index);

// The 16.16 fixed-point value of a percent, as the module's percent parameters hold it.
PF_Fixed percent_to_fixed(double percent);

// The snapshot of the values, each percent taken through its 16.16 value.
ParamSnapshot snapshot_of(const PanelValues& values);

// The flat colour of "Color" overlaps at the render's depth: the Color parameter with the
// opacity as its alpha, fully transparent at exactly 100 %.
template <class Pixel>
Pixel overlap_color(const ParamSnapshot& snap) {
    using Traits = PixelTraits<Pixel>;
    using Channel = typename Traits::Channel;
    Channel alpha = static_cast<Channel>(snap.opacity);  // float: real, not truncated
    if constexpr (!std::is_floating_point_v<Channel>) {
        alpha = static_cast<Channel>(
            static_cast<A_long>(static_cast<double>(Traits::kFull) * snap.opacity));
    }
    return make_pixel<Pixel>(snap.completion == 1.0 ? Channel{0} : alpha,
                             Traits::from8(snap.color.red), Traits::from8(snap.color.green),
                             Traits::from8(snap.color.blue));
}
