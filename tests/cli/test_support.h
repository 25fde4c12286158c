// What the tests share: a direct render through the simulated host, the reference input
// pictures, and the check that a run changed nothing on disk.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "cli/options.h"
#include "entry/entry_point.h"
#include "params/param_ids.h"
#include "png_reference.h"
#include "simhost/sim_host.h"
#include "tool_runner.h"

namespace clitest {

using HostSetter = std::function<void(simhost::SimHost&)>;

// Renders `input` directly: Global Setup, Params Setup, the tool's defaults that differ from
// the effect's own (Completion), then `set`, then one Render.
inline worlds::World render_direct(const worlds::World& input, const HostSetter& set = {}) {
    simhost::SimHost host(&EntryPointFunc);
    host.setup();
    host.set_input(input);
    host.set_output(worlds::World(input.width(), input.height(),
                                  input.deep() ? worlds::Depth::sixteen : worlds::Depth::eight));
    host.set_percent(kParamCompletion, zx::cli::kToolCompletion);
    if (set) set(host);
    host.reset_out_data();
    EXPECT_EQ(host.send(PF_Cmd_RENDER), PF_Err_NONE);
    EXPECT_EQ(host.message(), "");
    return host.output();
}

// A 96 x 64 RGBA picture of distinct colours, with transparent holes so that blending shows.
inline RawPng reference_picture8() {
    return make_rgba(96, 64, 8, [](int x, int y, int c) {
        const PF_Pixel8 p = worlds::World::test_pixel8(x, y, true);
        const unsigned rgba[4] = {p.red, p.green, p.blue, p.alpha};
        return rgba[c];
    });
}

inline RawPng reference_picture16() {
    return make_rgba(96, 64, 16, [](int x, int y, int c) {
        const PF_Pixel16 p = worlds::World::test_pixel16(x, y, true);
        const unsigned rgba[4] = {p.red, p.green, p.blue, p.alpha};
        return encode16(rgba[c]) ^ static_cast<unsigned>(x & 1);  // odd samples too
    });
}

inline std::vector<std::string> with(std::vector<std::string> args,
                                     const std::vector<std::string>& more) {
    args.insert(args.end(), more.begin(), more.end());
    return args;
}

}  // namespace clitest
