// Writes the outcomes of the native build, one line per scenario, for the Windows module's
// test program to compare against.
#include <cstdio>
#include <fstream>

#include "entry/entry_point.h"
#include "tests/conformance/scenarios.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: zentrilox_conformance OUTPUT.txt\n");
        return 2;
    }
    std::ofstream out(argv[1], std::ios::trunc);
    for (const std::string& line : conformance::run_scenarios(&EntryPointFunc)) out << line << '\n';
    out.close();
    if (!out) {
        std::fprintf(stderr, "zentrilox_conformance: cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
