// Prints which parameters the effect hides for every Split and Overlap Mode, as the simulated
// host records them after the visibility command, for the browser test to hold the page's
// panel against: {"SPLIT,OVERLAP":[index, ...], ...}
#include <cstdio>

#include "entry/entry_point.h"
#include "params/param_table.h"
#include "simhost/sim_host.h"

int main() {
    simhost::SimHost host(&EntryPointFunc);
    host.setup();
    std::printf("{");
    const char* comma = "";
    for (int split = 1; split <= choice_count(param_entry(kParamSplit).choices); ++split) {
        for (int overlap = 1; overlap <= choice_count(param_entry(kParamOverlapMode).choices);
             ++overlap) {
            host.set_popup(kParamSplit, split);
            host.set_popup(kParamOverlapMode, overlap);
            host.reset_out_data();
            if (host.send(PF_Cmd_UPDATE_PARAMS_UI) != PF_Err_NONE) {
                std::fprintf(stderr, "the visibility command failed: %s\n", host.message().c_str());
                return 1;
            }
            std::printf("%s\"%d,%d\":[", comma, split, overlap);
            const char* sep = "";
            for (int index = 1; index < kParamCount; ++index) {
                if (host.hidden(index).value_or(false)) {
                    std::printf("%s%d", sep, index);
                    sep = ",";
                }
            }
            std::printf("]");
            comma = ",";
        }
    }
    std::printf("}\n");
    return 0;
}
