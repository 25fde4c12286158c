// Render, User Changed Param and Update Params UI through the entry point and the simulated
// host, with every input chosen by the fuzzer: world sizes, depths and row padding, every
// parameter as any 32-bit value, the downsample factor, progress results and a failure of the
// k-th call of any host function. After every run: nothing leaked or misused, the input
// unchanged, the output's padding intact, and a repeated run draws the same pixels.
//
// Row padding is any byte count (8-bit) or any whole number of channels (16-bit): rows need
// not hold whole pixels.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "entry/entry_point.h"
#include "params/param_ids.h"
#include "simhost/sim_host.h"

namespace {

using simhost::HostFn;
using simhost::SimHost;
using worlds::Depth;
using worlds::World;

constexpr A_long kMaxSide = 64;
// Tables past this are refused as a busy host would; the render must say so, not crash.
constexpr std::size_t kHostMemory = std::size_t{1} << 20;

[[noreturn]] void fail(const std::string& what, const SimHost& host) {
    std::fprintf(stderr, "fuzz_render: %s\n", what.c_str());
    for (const std::string& p : host.problems()) std::fprintf(stderr, "  %s\n", p.c_str());
    std::abort();
}

struct Script {
    PF_Cmd cmd;
    A_long in_width, in_height, out_width, out_height;
    Depth depth;
    A_long in_pad, out_pad;  // bytes
    std::vector<std::pair<PF_ParamIndex, A_long>> values;
    PF_Pixel color;
    A_long ds_num;
    A_u_long ds_den;
    std::vector<PF_Err> progress;
    bool fault;
    HostFn fault_fn;
    int fault_k;
    PF_Err fault_code;
};

A_long any_or_in(FuzzedDataProvider& in, A_long low, A_long high) {
    // Mostly values a host would send, so the render gets deep; sometimes anything at all.
    if (in.ConsumeIntegralInRange<int>(0, 7) == 0) return in.ConsumeIntegral<A_long>();
    return in.ConsumeIntegralInRange<A_long>(low, high);
}

Script read_script(FuzzedDataProvider& in) {
    Script s{};
    const int which = in.ConsumeIntegralInRange<int>(0, 7);
    s.cmd = which == 0 ? PF_Cmd_USER_CHANGED_PARAM
                       : (which == 1 ? PF_Cmd_UPDATE_PARAMS_UI : PF_Cmd_RENDER);
    s.in_width = in.ConsumeIntegralInRange<A_long>(0, kMaxSide);
    s.in_height = in.ConsumeIntegralInRange<A_long>(0, kMaxSide);
    s.out_width = s.in_width;
    s.out_height = s.in_height;
    if (in.ConsumeIntegralInRange<int>(0, 7) == 0) {
        s.out_width = in.ConsumeIntegralInRange<A_long>(0, kMaxSide);
        s.out_height = in.ConsumeIntegralInRange<A_long>(0, kMaxSide);
    }
    s.depth = in.ConsumeBool() ? Depth::sixteen : Depth::eight;
    // A 16-bit row starts on a channel boundary.
    const A_long pad_mask = s.depth == Depth::sixteen ? ~A_long{1} : ~A_long{0};
    s.in_pad = in.ConsumeIntegralInRange<A_long>(0, 31) & pad_mask;
    s.out_pad = in.ConsumeIntegralInRange<A_long>(0, 31) & pad_mask;
    s.values = {
        {kParamMode, any_or_in(in, 1, 2)},
        {kParamCompletion, any_or_in(in, 0, 100 << 16)},
        {kParamSplit, any_or_in(in, 1, 3)},
        {kParamRow, any_or_in(in, 1, 2000)},
        {kParamHeight, any_or_in(in, 4, 2000)},
        {kParamColumn, any_or_in(in, 1, 2000)},
        {kParamWidth, any_or_in(in, 4, 2000)},
        {kParamSeed, any_or_in(in, 0, 100000)},
        {kParamOverlapMode, any_or_in(in, 1, 2)},
        {kParamBlendMode, any_or_in(in, 1, 8)},
        {kParamOpacity, any_or_in(in, 0, 100 << 16)},
    };
    s.color = PF_Pixel{in.ConsumeIntegral<A_u_char>(), in.ConsumeIntegral<A_u_char>(),
                       in.ConsumeIntegral<A_u_char>(), in.ConsumeIntegral<A_u_char>()};
    s.ds_num = 1;
    s.ds_den = 1;
    if (in.ConsumeBool()) {
        s.ds_num = in.ConsumeIntegral<A_long>();
        s.ds_den = in.ConsumeIntegral<A_u_long>();
    }
    const int reports = in.ConsumeIntegralInRange<int>(0, 3);
    for (int i = 0; i < reports; ++i) {
        s.progress.push_back(in.ConsumeBool() ? PF_Err_NONE : in.ConsumeIntegral<PF_Err>());
    }
    s.fault = in.ConsumeBool();
    const auto& fns = simhost::all_host_fns();
    s.fault_fn = fns[in.ConsumeIntegralInRange<std::size_t>(0, fns.size() - 1)];
    s.fault_k = in.ConsumeIntegralInRange<int>(1, 40);
    s.fault_code = in.ConsumeBool() ? simhost::kInjectedErr : in.ConsumeIntegral<PF_Err>();
    return s;
}

World make_world(A_long w, A_long h, Depth depth, A_long pad_bytes) {
    return World(w, h, depth, pad_bytes);
}

struct Outcome {
    PF_Err err;
    std::string message;
    A_long out_flags;
    World output;
};

Outcome run_once(const Script& s, bool with_fault) {
    SimHost host(&EntryPointFunc);
    host.setup();
    host.set_allocation_limit(kHostMemory);
    World input = make_world(s.in_width, s.in_height, s.depth, s.in_pad);
    input.fill_test_picture(true);
    host.set_input(input);
    host.set_output(make_world(s.out_width, s.out_height, s.depth, s.out_pad));
    for (const auto& [index, value] : s.values) {
        switch (host.param(index).param_type) {
            case PF_Param_POPUP:
                host.set_popup(index, value);
                break;
            case PF_Param_SLIDER:
                host.set_slider(index, value);
                break;
            case PF_Param_FIX_SLIDER:
                host.set_fixed(index, value);
                break;
            default:
                break;
        }
    }
    host.set_color(kParamColor, s.color);
    host.set_downsample_x(s.ds_num, s.ds_den);
    host.set_progress_results(s.progress);
    host.reset_out_data();
    host.reset_counters();
    if (with_fault) host.fail_call(s.fault_fn, s.fault_k, s.fault_code);
    const std::vector<std::uint8_t> input_before = host.input().snapshot();

    Outcome o;
    o.err = host.send(s.cmd);
    o.message = host.message();
    o.out_flags = host.out_data().out_flags;
    if (!host.problems().empty()) fail("leak or misuse", host);
    if (host.escaped_exceptions() != 0) fail("an exception escaped the entry point", host);
    if (host.buffer_overflows() != 0) fail("a text overflowed the message buffer", host);
    if (host.input().snapshot() != input_before) fail("the input changed", host);
    if (!host.output().padding_intact()) fail("a write outside the output's pixels", host);
    o.output = host.output();
    return o;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    const Script s = read_script(in);
    const Outcome first = run_once(s, s.fault);
    // Without an injected failure the same frame must come out the same, bit for bit.
    if (!s.fault) {
        const Outcome again = run_once(s, false);
        if (again.err != first.err || again.message != first.message ||
            again.out_flags != first.out_flags ||
            again.output.snapshot() != first.output.snapshot()) {
            std::fprintf(stderr, "fuzz_render: a repeated run differs (%d, '%s' then %d, '%s')\n",
                         static_cast<int>(first.err), first.message.c_str(),
                         static_cast<int>(again.err), again.message.c_str());
            std::abort();
        }
    }
    return 0;
}
