// One frei0r mixer instance: the filter's values and host, with `transition` in Completion's
// place, and the scratch frame of the transition. Like the filter it renders every frame from
// its values alone.
#pragma once

#include <cstdint>
#include <vector>

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
    std::vector<std::uint8_t> scratch_;  // empty when it could not be had: made per frame
};

}  // namespace zx::frei0r
