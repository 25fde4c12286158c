// Writes the property list bytes to a file, for the Windows resource compiler.
#include <cstdio>
#include <fstream>

#include "resources/pipl.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: pipl_gen OUTPUT.bin\n");
        return 2;
    }
    const std::vector<std::uint8_t> bytes = build_pipl();
    std::ofstream out(argv[1], std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (!out) {
        std::fprintf(stderr, "pipl_gen: cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
