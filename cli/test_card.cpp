#include "cli/test_card.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <string>

#include "cli/tiny_font.h"

namespace zx::cli {

namespace {

std::array<unsigned, 4> hsv(double hue_degrees, double s, double v) {
    const double h = std::fmod(hue_degrees, 360.0) / 60.0;
    const double c = v * s;
    const double x = c * (1.0 - std::fabs(std::fmod(h, 2.0) - 1.0));
    double r = 0, g = 0, b = 0;
    switch (static_cast<int>(h)) {
        case 0:
            r = c, g = x;
            break;
        case 1:
            r = x, g = c;
            break;
        case 2:
            g = c, b = x;
            break;
        case 3:
            g = x, b = c;
            break;
        case 4:
            r = x, b = c;
            break;
        default:
            r = c, b = x;
            break;
    }
    const double m = v - c;
    auto byte = [m](double t) { return static_cast<unsigned>(std::lround((t + m) * 255.0)); };
    return {byte(r), byte(g), byte(b), 255};
}

std::uint8_t* at(std::uint8_t* pixels, int width, int x, int y) {
    return pixels + (static_cast<std::size_t>(y) * static_cast<std::size_t>(width) + x) * 4;
}

void put(std::uint8_t* pixels, int width, int x, int y, std::array<unsigned, 4> rgba) {
    std::uint8_t* p = at(pixels, width, x, y);
    for (std::size_t ch = 0; ch < 4; ++ch) p[ch] = static_cast<std::uint8_t>(rgba[ch]);
}

}  // namespace

Image make_test_card(int width, int height) {
    Image card = Image::blank(width, height, 8);
    paint_test_card(card.bytes.data(), width, height);
    return card;
}

void paint_test_card(std::uint8_t* pixels, int width, int height) {
    constexpr int kCells = kCardRows * kCardColumns;
    // A stride coprime with the cell count visits every hue once and keeps neighbours apart.
    constexpr int kHueStride = 29;
    const int line_spacing = std::max(4, std::min(width, height) / 30);

    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            put(pixels, width, x, y, {30u + 50u * x / width, 30u + 50u * y / height, 70u, 255u});
        }
    }
    for (int i = 0; i < kCardRows; ++i) {
        const int y0 = i * height / kCardRows;
        const int y1 = (i + 1) * height / kCardRows;
        for (int j = 0; j < kCardColumns; ++j) {
            const int x0 = j * width / kCardColumns;
            const int x1 = (j + 1) * width / kCardColumns;
            const int n = i * kCardColumns + j;
            const bool light = (i + j) % 2 == 0;
            const auto colour = hsv(360.0 * (n * kHueStride % kCells) / kCells, light ? 0.65 : 0.9,
                                    light ? 0.95 : 0.75);
            const int inset = std::max(1, std::min(x1 - x0, y1 - y0) / 16);
            for (int y = y0 + inset; y < y1 - inset; ++y) {
                for (int x = x0 + inset; x < x1 - inset; ++x) put(pixels, width, x, y, colour);
            }
            const std::string label = std::to_string(n + 1);
            const int scale = std::max(1, std::min(x1 - x0, y1 - y0) / 16);
            const int tw = text_width(label, scale);
            const int th = kGlyphHeight * scale;
            if (tw + 2 * inset + 1 > x1 - x0 || th + 2 * inset + 1 > y1 - y0) continue;
            const int tx = x0 + (x1 - x0 - tw) / 2;
            const int ty = y0 + (y1 - y0 - th) / 2;
            draw_text(pixels, width, height, tx + 1, ty + 1, scale, label, {0, 0, 0, 255});
            draw_text(pixels, width, height, tx, ty, scale, label, {255, 255, 255, 255});
        }
    }
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            if (x % line_spacing != 0 && y % line_spacing != 0) continue;
            std::uint8_t* p = at(pixels, width, x, y);
            for (int ch = 0; ch < 3; ++ch) p[ch] = static_cast<std::uint8_t>(p[ch] * 2 / 3);
        }
    }
}

}  // namespace zx::cli
