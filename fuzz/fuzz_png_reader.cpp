// The command-line tool's PNG reader on any bytes: it either returns a picture of the size the
// file declares or refuses with a Failure; it never crashes, hangs or allocates what the file
// cannot back.
#include <sys/mman.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "cli/errors.h"
#include "cli/png_io.h"

namespace {

// The reader takes a path; every input goes through one memory-backed file of this process,
// so nothing is left on disk however the run ends.
const std::string& scratch_path() {
    static const std::string path = [] {
        const int fd = memfd_create("zx-fuzz-png", 0);
        if (fd < 0) std::abort();
        return "/proc/self/fd/" + std::to_string(fd);
    }();
    return path;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string& path = scratch_path();
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (f == nullptr) std::abort();
    if (size > 0 && std::fwrite(data, 1, size, f) != size) std::abort();
    std::fclose(f);
    try {
        const zx::cli::Image image = zx::cli::read_png(path);
        if (image.width < 1 || image.height < 1 || image.width > zx::cli::kMaxSide ||
            image.height > zx::cli::kMaxSide || (image.depth != 8 && image.depth != 16) ||
            image.bytes.size() != image.row_bytes() * static_cast<std::size_t>(image.height)) {
            std::fprintf(stderr, "fuzz_png_reader: a picture of an impossible shape\n");
            std::abort();
        }
    } catch (const zx::cli::Failure&) {
        // A refusal with a message is the right answer to bad bytes.
    }
    return 0;
}
