#include "frei0r/filter.h"

#include <cstring>
#include <limits>
#include <new>

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

ParamSnapshot Filter::snapshot(const double* completion_percent) const {
    PanelValues v{};
    for (std::size_t i = 0; i < kUserParamCount; ++i) {
        const ParamEntry& p = param_entry(kParams[i]);
        const double x = numbers_[i];
        switch (p.type) {
            case ParamType::percent:
                *percent_value(v, p.index) = fixed_of(x) / 65536.0;
                break;
            case ParamType::slider:
                *whole_value(v, p.index) = slider_of(p, x);
                break;
            case ParamType::popup:
                *whole_value(v, p.index) = choice_of(p, x);
                break;
            case ParamType::color: {
                const Color c = colors_[i];
                v.color = PF_Pixel{255, channel_of(c.r), channel_of(c.g), channel_of(c.b)};
                break;
            }
            default:
                break;
        }
    }
    if (completion_percent != nullptr) v.completion_percent = *completion_percent;
    return snapshot_of(v);
}

FrameView Filter::view(const std::uint32_t* pixels) const {
    return FrameView{const_cast<std::uint32_t*>(pixels),
                     static_cast<std::ptrdiff_t>(width_) * 4,
                     static_cast<std::int32_t>(width_),
                     static_cast<std::int32_t>(height_),
                     SampleDepth::byte,
                     ChannelOrder::rgba};
}

std::uint32_t* Filter::scratch() {
    try {
        scratch_.resize(static_cast<std::size_t>(width_) * height_);
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
    return scratch_.data();
}

void Filter::update(const std::uint32_t* in, std::uint32_t* out) {
    if (in == nullptr || out == nullptr || width_ == 0 || height_ == 0) return;
    const std::size_t bytes = static_cast<std::size_t>(width_) * 4 * height_;
    // A tool may hand the same buffer for both: the blocks then come from a copy.
    const std::uint32_t* source = in;
    if (in == out) {
        std::uint32_t* copy = scratch();
        if (copy != nullptr) std::memcpy(copy, in, bytes);
        source = copy;
    }
    const bool ok = source != nullptr && render_frame(view(source), view(out), snapshot(),
                                                      {0, 0, static_cast<std::int32_t>(width_),
                                                       static_cast<std::int32_t>(height_)},
                                                      services_)
                                                 .kind == RenderEnd::Kind::ok;
    // The tool gets the frame unchanged rather than whatever the output held.
    if (!ok && in != out) std::memmove(out, in, bytes);
}

}  // namespace zx::frei0r
