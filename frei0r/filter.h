// One frei0r instance: a frame size, the parameter values as the video tool set them and an
// embedded host. Every frame is rendered from those values alone, so a tool may ask for any
// frame, in any order, as often as it likes.
#pragma once

#include <array>
#include <cstdint>

#include "embed/embed_host.h"
#include "frei0r/param_mapping.h"

namespace zx::frei0r {

struct Color {
    float r = 0, g = 0, b = 0;
};

class Filter {
  public:
    Filter(unsigned width, unsigned height);
    bool ready() const { return host_.status() == embed::Status::ok && width_ > 0 && height_ > 0; }

    // By frei0r parameter index; an index out of range is ignored.
    void set_number(int param, double value);
    void set_color(int param, Color value);
    double number(int param) const;
    Color color(int param) const;

    // RGBA8888 rows of width pixels, no padding; `in` and `out` may be the same. When the
    // effect cannot render the frame, out is a copy of in.
    void update(const std::uint32_t* in, std::uint32_t* out);

    // Hands every value to the host; false when the host is not ready or refuses one.
    bool send_values();
    unsigned width() const { return width_; }
    unsigned height() const { return height_; }

    embed::Host& host() { return host_; }

  private:
    unsigned width_;
    unsigned height_;
    std::array<double, kUserParamCount> numbers_{};
    std::array<Color, kUserParamCount> colors_{};
    embed::Host host_;
};

}  // namespace zx::frei0r
