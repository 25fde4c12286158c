// Fault sweep: run a command once to learn how many times it calls each host function, then
// run it again from a fresh host for every (function, k) and make the k-th call fail.
//
//   int points = sweep::run("About", make_host, run_about, expect_about);
//
// `make` builds a host in the state the command needs (setup already sent); `run` sends the
// command; `expect` gives the result the failed call must produce; `check`, if given, adds
// assertions of its own. Every run must also leave the host clean: no live handle but the global
// data, no suite held, no effect or stream reference outstanding, no buffer overflow, no misuse,
// also when a suite acquisition is refused (tried both as an error code and as a null suite with
// code 0).
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "simhost/sim_host.h"

namespace sweep {

using simhost::HostFn;
using simhost::SimHost;

struct FaultPoint {
    HostFn fn;
    int k;         // the failing call, 1-based
    PF_Err code;   // what the host was told to answer
    bool refusal;  // an acquire_suite refusal
};

using MakeHost = std::function<std::unique_ptr<SimHost>()>;
using Command = std::function<PF_Err(SimHost&)>;
using Expect = std::function<PF_Err(const FaultPoint&)>;
using Check = std::function<void(const FaultPoint&, PF_Err, SimHost&)>;

inline std::string describe(const FaultPoint& p) {
    return std::string(simhost::name_of(p.fn)) + " call " + std::to_string(p.k) + " fails with " +
           std::to_string(p.code);
}

inline std::string join(const std::vector<std::string>& lines) {
    std::string out;
    for (const std::string& l : lines) {
        out += "\n  " + l;
    }
    return out;
}

// How many times the command calls each host function when nothing fails.
inline std::map<HostFn, int> baseline(const MakeHost& make, const Command& run) {
    std::unique_ptr<SimHost> host = make();
    host->reset_counters();
    run(*host);
    std::map<HostFn, int> counts;
    for (HostFn fn : simhost::all_host_fns()) {
        if (host->calls(fn) > 0) {
            counts[fn] = host->calls(fn);
        }
    }
    return counts;
}

// Returns the number of fault points tried.
inline int run(const std::string& label, const MakeHost& make, const Command& command,
               const Expect& expect, const Check& check = {}) {
    {
        std::unique_ptr<SimHost> host = make();
        command(*host);
        EXPECT_TRUE(host->problems().empty())
            << label << " leaves problems without any fault:" << join(host->problems());
    }
    int points = 0;
    for (const auto& [fn, count] : baseline(make, command)) {
        std::vector<PF_Err> codes = {simhost::kInjectedErr};
        if (fn == HostFn::acquire_suite) {
            codes.push_back(PF_Err_NONE);  // refusal by a null suite
        }
        for (int k = 1; k <= count; ++k) {
            for (PF_Err code : codes) {
                const FaultPoint point{fn, k, code, fn == HostFn::acquire_suite};
                SCOPED_TRACE(label + ": " + describe(point));
                std::unique_ptr<SimHost> host = make();
                host->reset_counters();
                host->fail_call(fn, k, code);
                const PF_Err err = command(*host);
                ++points;
                EXPECT_EQ(host->faults_fired(), 1);
                EXPECT_EQ(err, expect(point));
                EXPECT_EQ(host->buffer_overflows(), 0);
                EXPECT_EQ(host->escaped_exceptions(), 0);
                const auto problems = host->problems();
                EXPECT_TRUE(problems.empty()) << join(problems);
                if (check) {
                    check(point, err, *host);
                }
            }
        }
    }
    return points;
}

}  // namespace sweep
