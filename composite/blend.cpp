#include "composite/blend.h"

#include "composite/blend_ops.h"

A_u_char ClampChannel8(A_long v) {
    return blendops::clamp_channel<PF_Pixel>(v);
}

A_u_short ClampChannel16(std::int64_t v) {
    return blendops::clamp_channel<PF_Pixel16>(v);
}

PF_Pixel BlendOver8(PF_Pixel lower, PF_Pixel upper) {
    return BlendOp<BlendKind::over>{}(lower, upper);
}
PF_Pixel BlendAdd8(PF_Pixel lower, PF_Pixel upper) {
    return BlendOp<BlendKind::add>{}(lower, upper);
}
PF_Pixel BlendMultiply8(PF_Pixel lower, PF_Pixel upper) {
    return BlendOp<BlendKind::multiply>{}(lower, upper);
}
PF_Pixel BlendScreen8(PF_Pixel lower, PF_Pixel upper) {
    return BlendOp<BlendKind::screen>{}(lower, upper);
}
PF_Pixel BlendOverlay8(PF_Pixel lower, PF_Pixel upper) {
    return BlendOp<BlendKind::overlay>{}(lower, upper);
}
PF_Pixel BlendColorDodge8(PF_Pixel lower, PF_Pixel upper) {
    return BlendOp<BlendKind::color_dodge>{}(lower, upper);
}
PF_Pixel BlendColorBurn8(PF_Pixel lower, PF_Pixel upper) {
    return BlendOp<BlendKind::color_burn>{}(lower, upper);
}

PF_Pixel16 BlendOver16(PF_Pixel16 lower, PF_Pixel16 upper) {
    return BlendOp<BlendKind::over>{}(lower, upper);
}
PF_Pixel16 BlendAdd16(PF_Pixel16 lower, PF_Pixel16 upper) {
    return BlendOp<BlendKind::add>{}(lower, upper);
}
PF_Pixel16 BlendMultiply16(PF_Pixel16 lower, PF_Pixel16 upper) {
    return BlendOp<BlendKind::multiply>{}(lower, upper);
}
PF_Pixel16 BlendScreen16(PF_Pixel16 lower, PF_Pixel16 upper) {
    return BlendOp<BlendKind::screen>{}(lower, upper);
}
PF_Pixel16 BlendOverlay16(PF_Pixel16 lower, PF_Pixel16 upper) {
    return BlendOp<BlendKind::overlay>{}(lower, upper);
}
PF_Pixel16 BlendColorDodge16(PF_Pixel16 lower, PF_Pixel16 upper) {
    return BlendOp<BlendKind::color_dodge>{}(lower, upper);
}
PF_Pixel16 BlendColorBurn16(PF_Pixel16 lower, PF_Pixel16 upper) {
    return BlendOp<BlendKind::color_burn>{}(lower, upper);
}
