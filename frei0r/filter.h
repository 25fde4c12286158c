// One frei0r instance: a frame size and the parameter values as the video tool set them. Every
// frame is drawn by the render core from those values alone, so a tool may ask for any frame,
// in any order, as often as it likes.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "core/render_core.h"
#include "frei0r/param_mapping.h"

namespace zx::frei0r {

struct Color {
    float r = 0, g = 0, b = 0;
};

class Filter {
  public:
    Filter(unsigned width, unsigned height);
    bool ready() const { return width_ > 0 && height_ > 0; }

    // By frei0r parameter index; an index out of range is ignored.
    void set_number(int param, double value);
    void set_color(int param, Color value);
    double number(int param) const;
    Color color(int param) const;

    // RGBA8888 rows of width pixels, no padding; `in` and `out` may be the same. When the
    // effect cannot render the frame, out is a copy of in.
    void update(const std::uint32_t* in, std::uint32_t* out);

    // The snapshot of the values, Completion at `completion_percent` when given.
    ParamSnapshot snapshot(const double* completion_percent = nullptr) const;
    // The instance's frames: RGBA rows of the frame size.
    FrameView view(const std::uint32_t* pixels) const;
    // Room for one frame, for pictures that share their buffers; null when there is none.
    std::uint32_t* scratch();
    // The render's tables stay within this many bytes (no limit unless set).
    void set_memory_limit(std::size_t bytes) { services_.heap_limit = bytes; }
    const RenderServices& services() const { return services_; }
    unsigned width() const { return width_; }
    unsigned height() const { return height_; }

  private:
    unsigned width_;
    unsigned height_;
    std::array<double, kUserParamCount> numbers_{};
    std::array<Color, kUserParamCount> colors_{};
    std::vector<std::uint32_t> scratch_;
    RenderServices services_{};
};

}  // namespace zx::frei0r
