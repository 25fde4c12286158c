// Picture files of every format the tool knows: PNG through cli/png_io, the others through
// cli/oiio_io. Reading goes by content (a PNG signature, or a name ending in .png); writing by
// the output's extension, PNG when it names no format.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "cli/image.h"

namespace zx::cli {

Image read_picture(const std::string& path);

// The bytes of output file `path` for `frame`, in the output's format and alpha convention,
// with what `carried` brings from the input. A float frame makes a 16-bit PNG.
std::vector<unsigned char> encode_picture(const std::string& path, const Frame& frame,
                                          const std::shared_ptr<const Carried>& carried,
                                          std::optional<int> png_compression);

// What the file at output `path` holds compared with `frame` rendered there (its size, its
// depth and what `carried` brings decide the file; its pixels do not matter). Only a regular
// file is read: standard output, a pipe or a device is never complete.
ExistingFrame existing_picture(const std::string& path, const Frame& frame,
                               const std::shared_ptr<const Carried>& carried);

// The formats read and written, for --help.
std::string format_help();

}  // namespace zx::cli
