// A 3x5 pixel font for labels drawn into pictures, so no font file is needed.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

#include "cli/image.h"

namespace zx::cli {

// Digits, '%', '.', '-', ',' and space; other characters draw as a blank.
inline constexpr int kGlyphWidth = 3;
inline constexpr int kGlyphHeight = 5;

// Width in pixels of `text` drawn at `scale`, one blank glyph column between characters.
int text_width(std::string_view text, int scale);

// Draws `text` with its top-left corner at (x, y) into an 8-bit picture, clipped to it.
void draw_text(Image& image, int x, int y, int scale, std::string_view text,
               std::array<unsigned, 4> rgba);
// The same into rows of 8-bit RGBA, width * 4 bytes each.
void draw_text(std::uint8_t* pixels, int width, int height, int x, int y, int scale,
               std::string_view text, std::array<unsigned, 4> rgba);

}  // namespace zx::cli
