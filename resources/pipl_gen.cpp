// Writes the property list bytes for one Windows width to a file, for the resource compiler.
#include <cstdio>
#include <fstream>

#include "resources/pipl.h"

int main(int argc, char** argv) {
    PiplTarget target{};
    if (argc != 3 || !parse_pipl_target(argv[1], target)) {
        std::fprintf(stderr, "usage: pipl_gen win32|win64 OUTPUT.bin\n");
        return 2;
    }
    const std::vector<std::uint8_t> bytes = build_pipl(target);
    std::ofstream out(argv[2], std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (!out) {
        std::fprintf(stderr, "pipl_gen: cannot write %s\n", argv[2]);
        return 1;
    }
    return 0;
}
