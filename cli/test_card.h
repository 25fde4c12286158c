// The picture rendered when no input is given.
#pragma once

#include <cstdint>

#include "cli/image.h"

namespace zx::cli {

// One cell per block of the default Row x Column grid.
inline constexpr int kCardRows = 6;
inline constexpr int kCardColumns = 8;

// An opaque 8-bit picture: a gradient under a checker of numbered cells, every cell in its own
// hue, crossed by a grid of thin dark lines, so that each block's path is easy to follow.
Image make_test_card(int width, int height);
// The same into rows of 8-bit RGBA, width * 4 bytes each, where the caller holds the memory.
void paint_test_card(std::uint8_t* pixels, int width, int height);

}  // namespace zx::cli
