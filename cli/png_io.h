// Reading and writing PNG files through libpng; failures arrive as Failure with a message
// that names the file.
#pragma once

#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "cli/image.h"

namespace zx::cli {

// Any PNG: palette, grey and low bit depths expand to RGBA, 8 or 16 bits; a missing alpha is
// full. Samples are otherwise unchanged (no gamma or colour-space conversion). Sides above
// kMaxSide are refused.
Image read_png(const std::string& path);
// The same from `file`, open on `path`, whose first `head_size` bytes (8 at most) were read
// into `head`.
Image read_png(std::FILE* file, const unsigned char* head, std::size_t head_size,
               const std::string& path);
bool is_png_signature(const unsigned char* head, std::size_t size);

// Whether `file`, a regular file open on output `path` at its start, is a whole RGBA PNG of
// the size and depth asked: every chunk and row intact.
ExistingFrame existing_png(std::FILE* file, const std::string& path, int width, int height,
                           int depth);

// The PNG's bytes: RGBA at the image's depth (8 or 16). `compression` is zlib's level 0..9;
// none leaves libpng's default.
std::vector<unsigned char> encode_png(const Image& image, std::optional<int> compression);

// Writes encode_png's bytes as atomic::write_file does.
void write_png(const std::string& path, const Image& image,
               std::optional<int> compression = std::nullopt);

}  // namespace zx::cli
