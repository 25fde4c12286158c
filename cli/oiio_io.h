// Every format OpenImageIO reads and writes but PNG, which cli/png_io keeps: OpenEXR, TIFF,
// DPX, JPEG and the rest. Failures arrive as Failure with a message that names the file.
#pragma once

#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "cli/image.h"

namespace zx::cli {

// The picture in `file`, open on `path` (a regular file, a pipe or a device), whose first
// `head_size` bytes were read into `head`: subimage 0 at full resolution.
// 8-bit samples stay 8-bit, other integers become 16-bit, half and float become float. Red,
// green and blue are the first three channels (grey is all three), alpha the one the file names
// (full when none); every other channel, the metadata and the data and display windows ride
// along in Image::carried. The header is checked against kMaxSide and the file's size before
// any pixel memory is taken.
Image read_oiio(std::FILE* file, const unsigned char* head, std::size_t head_size,
                const std::string& path);

// The OpenImageIO format that writes `path` by its extension; for a name without one
// (standard output, say) the format of the input `carried` came from, PNG's when none.
std::optional<std::string> oiio_output_format(const std::string& path, const Carried* carried);

// Whether files of the output format hold colour premultiplied by alpha: OpenEXR and DPX do,
// TIFF as the input TIFF did (premultiplied when there was none), the others hold it straight.
bool oiio_output_premultiplied(const std::string& format, const Carried* carried);

// The file's bytes in the format, with what `image` carries from its input where the format
// can hold it. Samples keep the input's type when the working depth is the input's own, else
// take the working depth's (8-bit, 16-bit or float); halves are rounded to nearest.
std::vector<unsigned char> encode_oiio(const std::string& path, const std::string& format,
                                       const Image& image);

// Whether `file`, a regular file open on output `path` at its start, holds a whole picture of
// `width` x `height` whose header matches that of `written`, a picture this run writes there
// (its format, channels and sample type, bit depth within it included), every pixel decoded.
ExistingFrame existing_oiio(std::FILE* file, const std::string& path, int width, int height,
                            const std::vector<unsigned char>& written);

// The formats for --help: "name (extensions)" for each that can be read, and those written.
std::string oiio_format_list(bool writable);

}  // namespace zx::cli
