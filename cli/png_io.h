// Reading and writing PNG files through libpng; failures arrive as Failure with a message
// that names the file.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "cli/image.h"

namespace zx::cli {

// Any PNG: palette, grey and low bit depths expand to RGBA, 8 or 16 bits; a missing alpha is
// full. Samples are otherwise unchanged (no gamma or colour-space conversion). Sides above
// kMaxSide are refused.
Image read_png(const std::string& path);

// What a file holds compared with the PNG write_png would write there.
enum class ExistingPng {
    none,      // no file of that name
    complete,  // a whole RGBA PNG of the size and depth asked: every chunk and row intact
    other,     // anything else: cut short, damaged, another picture, not a PNG, not a file
};
ExistingPng existing_png(const std::string& path, int width, int height, int depth);

// Writes an RGBA PNG into a temporary file beside `path` and renames it to `path` only once it
// is complete, so a failure leaves neither a partial file nor a damaged earlier one. A symbolic
// link is followed and what it points to is replaced; a replaced file keeps its mode; a
// read-only file is refused. A pipe or a device is written directly. "-" is standard output,
// and a path that names one of the process's descriptors (/dev/stdout, /dev/fd/N) is written
// through that descriptor, a file there in place (a shell's >> appends). `compression` is
// zlib's level 0..9; none leaves libpng's default. Several threads may write at once.
void write_png(const std::string& path, const Image& image,
               std::optional<int> compression = std::nullopt);

// The two halves of write_png: the PNG's bytes, and the file written as write_png does.
std::vector<unsigned char> encode_png(const Image& image, std::optional<int> compression);
void write_file(const std::string& path, const std::vector<unsigned char>& bytes);

}  // namespace zx::cli
