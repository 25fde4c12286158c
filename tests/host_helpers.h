// Shared set-up for the tests that drive the effect through the simulated host.
#pragma once

#include <cstdint>
#include <cstring>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "entry/entry_point.h"
#include "params/param_ids.h"
#include "simhost/sim_host.h"

namespace testhost {

using simhost::HostFn;
using simhost::SimHost;

// Short names of the effect's parameter indices.
inline constexpr PF_ParamIndex kMode = kParamMode, kCompletion = kParamCompletion,
                               kSplit = kParamSplit, kRow = kParamRow, kHeight = kParamHeight,
                               kColumn = kParamColumn, kWidth = kParamWidth, kSeed = kParamSeed,
                               kOverlapGroup = kParamOverlapGroup, kOverlapMode = kParamOverlapMode,
                               kColor = kParamColor, kBlendMode = kParamBlendMode,
                               kOpacity = kParamOpacity, kGroupEnd = kParamOverlapGroupEnd;

constexpr A_u_long kVersion = 0x80601;
constexpr PF_OutFlags kGlobalFlags = 0x6000040;

inline std::unique_ptr<SimHost> fresh_host() {
    return std::make_unique<SimHost>(&EntryPointFunc);
}

// Global Setup and Params Setup done, small 8-bit frames in place, out_data cleared.
inline std::unique_ptr<SimHost> ready_host() {
    auto host = fresh_host();
    host->setup();
    host->set_input(worlds::World(8, 6));
    host->input().fill_test_picture();
    host->set_output(worlds::World(8, 6));
    host->reset_out_data();
    host->reset_counters();
    host->clear_logs();
    return host;
}

struct SuitePair {
    std::string name;
    A_long version;
    bool operator==(const SuitePair&) const = default;
};

inline std::vector<SuitePair> releases(const SimHost& host) {
    std::vector<SuitePair> out;
    for (const auto& e : host.suite_log()) {
        if (!e.acquire) {
            out.push_back({e.name, e.version});
        }
    }
    return out;
}

inline std::vector<SuitePair> acquisitions(const SimHost& host) {
    std::vector<SuitePair> out;
    for (const auto& e : host.suite_log()) {
        if (e.acquire) {
            out.push_back({e.name, e.version});
        }
    }
    return out;
}

inline std::ostream& operator<<(std::ostream& os, const SuitePair& p) {
    return os << '"' << p.name << "\" " << p.version;
}

inline std::vector<std::uint8_t> bytes_of(const void* p, std::size_t n) {
    const auto* b = static_cast<const std::uint8_t*>(p);
    return std::vector<std::uint8_t>(b, b + n);
}

}  // namespace testhost
