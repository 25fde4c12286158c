// One frei0r mixer instance: the filter's values, with `transition` in Completion's place. Like
// the filter it renders every frame from its values alone.
#pragma once

#include <cstdint>

#include "frei0r/filter.h"

namespace zx::frei0r {

class Mixer {
  public:
    Mixer(unsigned width, unsigned height);

    Filter& values() { return filter_; }
    const Filter& values() const { return filter_; }

    // RGBA8888 rows of width pixels, no padding; `out` may be `a` or `b`. When the frame cannot
    // be rendered, out is a copy of a.
    void update(const std::uint32_t* a, const std::uint32_t* b, std::uint32_t* out);

  private:
    Filter filter_;
};

}  // namespace zx::frei0r
