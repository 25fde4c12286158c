#include "core/param_snapshot.h"

#include <cmath>

#include "params/param_ids.h"

namespace {

double fixed_percent_to_unit(PF_Fixed value) {
    return value / 65536.0 * 0.01;
}

}  // namespace

std::int32_t* whole_value(PanelValues& v, int index) {
    switch (index) {
        case kParamMode:
            return &v.mode;
        case kParamSplit:
            return &v.split;
        case kParamRow:
            return &v.rows;
        case kParamHeight:
            return &v.strip_height;
        case kParamColumn:
            return &v.columns;
        case kParamWidth:
            return &v.strip_width;
        case kParamSeed:
            return &v.seed;
        case kParamOverlapMode:
            return &v.overlap_mode;
        case kParamBlendMode:
            return &v.blend_mode;
        default:
            return nullptr;
    }
}

double* percent_value(PanelValues& v, int index) {
    return index == kParamCompletion ? &v.completion_percent
           : index == kParamOpacity  ? &v.opacity_percent
                                     : nullptr;
}

PF_Fixed percent_to_fixed(double percent) {
    return static_cast<PF_Fixed>(std::lround(percent * 65536.0));
}

ParamSnapshot snapshot_of(const PanelValues& v) {
    ParamSnapshot snap{};
    // A zero denominator would divide by zero; the host means full resolution by it.
    snap.downsample =
        v.downsample_den == 0 ? 1.0 : static_cast<double>(v.downsample_num) / v.downsample_den;
    snap.mode = v.mode;
    snap.completion = fixed_percent_to_unit(percent_to_fixed(v.completion_percent));
    snap.split = v.split;
    snap.rows = v.rows;
    snap.strip_height = v.strip_height;
    snap.columns = v.columns;
    snap.strip_width = v.strip_width;
    snap.seed = v.seed;
    snap.overlap_mode = v.overlap_mode;
    snap.color = v.color;
    snap.blend_mode = v.blend_mode;
    // Kept inside 0 .. 1 so that a scaled alpha always stays a channel value.
    const double opacity = fixed_percent_to_unit(percent_to_fixed(v.opacity_percent));
    snap.opacity = opacity < 0.0 ? 0.0 : (opacity > 1.0 ? 1.0 : opacity);
    return snap;
}
