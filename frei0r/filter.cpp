#include "frei0r/filter.h"

#include <cstring>
#include <limits>

namespace zx::frei0r {

namespace {

constexpr unsigned kMaxSide = 1u << 15;

const ParamEntry& entry_of(int param) {
    return param_entry(kParams[static_cast<std::size_t>(param)]);
}

bool known(int param) {
    return param >= 0 && static_cast<std::size_t>(param) < kUserParamCount;
}

}  // namespace

Filter::Filter(unsigned width, unsigned height)
    : width_(width <= kMaxSide ? width : 0), height_(height <= kMaxSide ? height : 0) {
    for (std::size_t i = 0; i < kUserParamCount; ++i) {
        const ParamEntry& p = param_entry(kParams[i]);
        numbers_[i] = default_of(p);
        colors_[i] = {p.color.red / 255.0f, p.color.green / 255.0f, p.color.blue / 255.0f};
    }
}

void Filter::set_number(int param, double value) {
    if (!known(param) || entry_of(param).type == ParamType::color) return;
    numbers_[static_cast<std::size_t>(param)] = unit(value);
}

void Filter::set_color(int param, Color value) {
    if (!known(param) || entry_of(param).type != ParamType::color) return;
    colors_[static_cast<std::size_t>(param)] = value;
}

double Filter::number(int param) const {
    return known(param) ? numbers_[static_cast<std::size_t>(param)] : 0;
}

Color Filter::color(int param) const {
    return known(param) ? colors_[static_cast<std::size_t>(param)] : Color{};
}

bool Filter::send_values() {
    bool ok = ready();
    for (std::size_t i = 0; i < kUserParamCount && ok; ++i) {
        const ParamEntry& p = param_entry(kParams[i]);
        const double x = numbers_[i];
        embed::Status s = embed::Status::ok;
        switch (p.type) {
            case ParamType::percent:
                s = host_.set_fixed(p.index, fixed_of(x));
                break;
            case ParamType::slider:
                s = host_.set_value(p.index, slider_of(p, x));
                break;
            case ParamType::popup:
                s = host_.set_value(p.index, choice_of(p, x));
                break;
            case ParamType::color: {
                const Color c = colors_[i];
                s = host_.set_color(
                    p.index, PF_Pixel{255, channel_of(c.r), channel_of(c.g), channel_of(c.b)});
                break;
            }
            default:
                break;
        }
        ok = s == embed::Status::ok;
    }
    return ok;
}

void Filter::update(const std::uint32_t* in, std::uint32_t* out) {
    if (in == nullptr || out == nullptr || width_ == 0 || height_ == 0) return;
    const std::ptrdiff_t row_bytes = static_cast<std::ptrdiff_t>(width_) * 4;
    bool ok = send_values();
    if (ok) {
        const embed::FrameFormat format{static_cast<int>(width_), static_cast<int>(height_),
                                        embed::Depth::eight, embed::Channels::rgba};
        ok = host_.render(format, in, row_bytes, out, row_bytes) == embed::Status::ok;
    }
    // The tool gets the frame unchanged rather than whatever the output held.
    if (!ok && in != out) {
        std::memmove(out, in, static_cast<std::size_t>(row_bytes) * height_);
    }
}

}  // namespace zx::frei0r
