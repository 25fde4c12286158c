// The render cases the benchmark times and the instruction counter counts: frame size, depth,
// Split, Completion and a parameter variant, set up on a simulated host the same way for both.
#pragma once

#include <string>

#include "composite/pixel_traits.h"
#include "params/param_ids.h"
#include "params/param_table.h"
#include "simhost/sim_host.h"

namespace benchcase {

using simhost::SimHost;
using worlds::Depth;
using worlds::World;

enum Variant : int {
    kDefaults,       // opaque footage, "Normal", Opacity 100 %
    kColorOverlap,   // Overlap Mode "Color"
    kMultiplyHalf,   // "Multiply" at Opacity 50 %
    kNormalSeventy,  // "Normal" at Opacity 70 %
    kTransparent,    // footage with transparent and semi-transparent areas
    kVariantCount,
};

inline const char* variant_name(int v) {
    switch (v) {
        case kDefaults:
            return "defaults";
        case kColorOverlap:
            return "color";
        case kMultiplyHalf:
            return "multiply50";
        case kNormalSeventy:
            return "normal70";
        case kTransparent:
            return "transparent";
        default:
            return "?";
    }
}

struct Case {
    A_long width;
    A_long height;
    Depth depth;
    int split;
    int completion;
    int variant;

    std::string label() const {
        return std::to_string(width) + "x" + std::to_string(height) +
               (depth == Depth::sixteen ? " 16-bit" : " 8-bit") + " split " +
               std::to_string(split) + " " + std::to_string(completion) + "% " +
               variant_name(variant);
    }
};

// A photographic-looking picture; with `holes`, a quarter of it is fully transparent and a band
// fades through every alpha.
inline void fill_input(World& w, bool holes) {
    for (A_long y = 0; y < w.height(); ++y) {
        for (A_long x = 0; x < w.width(); ++x) {
            PF_Pixel p = World::test_pixel8(x, y);
            if (holes) {
                if (x < w.width() / 4 && y < w.height() / 2) {
                    p.alpha = 0;
                } else if (y >= w.height() / 2 && y < w.height() * 3 / 4) {
                    p.alpha = static_cast<A_u_char>(x * 255 / (w.width() > 1 ? w.width() - 1 : 1));
                }
            }
            if (w.deep()) {
                w.px16(x, y) = {channel8_to_16(p.alpha), channel8_to_16(p.red),
                                channel8_to_16(p.green), channel8_to_16(p.blue)};
            } else {
                w.px8(x, y) = p;
            }
        }
    }
}

// Global Setup, Params Setup, the worlds and the case's parameters.
inline void prepare(SimHost& host, const Case& c) {
    host.setup();
    World input(c.width, c.height, c.depth);
    fill_input(input, c.variant == kTransparent);
    host.set_input(std::move(input));
    host.set_output(World(c.width, c.height, c.depth));
    host.set_popup(kParamSplit, c.split);
    host.set_percent(kParamCompletion, c.completion);
    if (c.variant == kColorOverlap) host.set_popup(kParamOverlapMode, kOverlapColor);
    if (c.variant == kMultiplyHalf) {
        host.set_popup(kParamBlendMode, choice_number(kParamBlendMode, "Multiply"));
        host.set_percent(kParamOpacity, 50);
    }
    if (c.variant == kNormalSeventy) host.set_percent(kParamOpacity, 70);
}

}  // namespace benchcase
