// One render of a benchmark case, for counting its instructions under callgrind:
//
//   valgrind --tool=callgrind --toggle-collect=render_counted
//       zentrilox_render_once WIDTH HEIGHT DEPTH SPLIT COMPLETION VARIANT
//
// Only render_counted() is collected, so the set-up does not count.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "bench/bench_cases.h"
#include "entry/entry_point.h"

extern "C" __attribute__((noinline)) PF_Err render_counted(simhost::SimHost* host) {
    return host->send(PF_Cmd_RENDER);
}

int main(int argc, char** argv) {
    if (argc != 7) {
        std::fprintf(stderr,
                     "usage: %s WIDTH HEIGHT DEPTH SPLIT COMPLETION VARIANT\n"
                     "  DEPTH 8|16, SPLIT 1..3, COMPLETION 0..100, VARIANT 0..%d\n",
                     argv[0], benchcase::kVariantCount - 1);
        return 2;
    }
    const int depth = std::atoi(argv[3]);
    const benchcase::Case c{std::atoi(argv[1]),
                            std::atoi(argv[2]),
                            depth == 16 ? worlds::Depth::sixteen : worlds::Depth::eight,
                            std::atoi(argv[4]),
                            std::atoi(argv[5]),
                            std::atoi(argv[6])};
    if (c.width < 1 || c.height < 1 || (depth != 8 && depth != 16) || c.split < 1 || c.split > 3 ||
        c.completion < 0 || c.completion > 100 || c.variant < 0 ||
        c.variant >= benchcase::kVariantCount) {
        std::fprintf(stderr, "%s: argument out of range\n", argv[0]);
        return 2;
    }
    simhost::SimHost host(&EntryPointFunc);
    benchcase::prepare(host, c);
    const PF_Err err = render_counted(&host);
    if (err != PF_Err_NONE || !host.problems().empty()) {
        std::fprintf(stderr, "%s: render of %s failed (%ld)\n", argv[0], c.label().c_str(),
                     static_cast<long>(err));
        return 1;
    }
    std::printf("%s\n", c.label().c_str());
    return 0;
}
