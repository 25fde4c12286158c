#include "simhost/sim_host.h"

#include <algorithm>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <stdexcept>
#include <type_traits>

#include "hostkit/host_tables.h"
#include "simhost/sim_callbacks.h"
#include "simhost/sim_unused.h"

namespace simhost {

namespace {

// The host the context-free callbacks talk to; see "The current host" in the header.
SimHost* g_current = nullptr;

}  // namespace

SimHost& host() {
    if (g_current == nullptr) {
        std::fputs("simhost: a host callback was called with no host alive\n", stderr);
        std::abort();
    }
    return *g_current;
}

namespace {

constexpr std::array<HostFn, kHostFnCount> kAllFns = {
#define SIMHOST_HOST_FN_ITEM(name) HostFn::name,
    SIMHOST_HOST_FUNCTIONS(SIMHOST_HOST_FN_ITEM)
#undef SIMHOST_HOST_FN_ITEM
};

}  // namespace

const std::array<HostFn, kHostFnCount>& all_host_fns() {
    return kAllFns;
}

const char* name_of(HostFn fn) {
    switch (fn) {
#define SIMHOST_HOST_FN_CASE(name) \
    case HostFn::name:             \
        return #name;
        SIMHOST_HOST_FUNCTIONS(SIMHOST_HOST_FN_CASE)
#undef SIMHOST_HOST_FN_CASE
    }
    return "?";
}

using CB = SimHost::Callbacks;

// ---------------------------------------------------------------------------------------------

SimHost::SimHost(PF_EntryPointFunc entry)
    : entry_(entry), effect_ref_(reinterpret_cast<PF_ProgPtr>(&effect_tag_)) {
    zx::hostkit::fill_host_records<Trapped, CB>(utils_, basic_suite_, in_data_.inter);
    SIM_TRAP(utils_, "PF_UtilCallbacks", host_get_handle_size);
    SIM_TRAP(utils_, "PF_UtilCallbacks", host_resize_handle);
    in_data_.utils = &utils_;
    in_data_.effect_ref = effect_ref_;
    in_data_.downsample_x = {1, 1};
    in_data_.global_data = nullptr;
    in_data_.pica_basicP = &basic_suite_;
    set_unused_pattern(unused_pattern_);

    build_param_array();
    g_current = this;
}

SimHost::~SimHost() {
    if (g_current == this) {
        g_current = nullptr;
    }
}

SimHost* SimHost::current() {
    return g_current;
}

PF_Err SimHost::send(PF_Cmd cmd, void* extra) {
    g_current = this;
    if (cmd == PF_Cmd_PARAMS_SETUP) {
        registrations_.clear();
    }
    refresh_input_layer();  // the world may have been replaced or resized
    params_sent_ = params_;
    if (null_input_) {
        params_sent_[0] = nullptr;
    }
    PF_ParamDef** params = null_params_ ? nullptr : params_sent_.data();
    PF_LayerDef* output = null_output_ ? nullptr : output_.def();
    lay_unused_pattern();
    PF_Err err = PF_Err_NONE;
    try {
        err = entry_(cmd, &in_data_, &out_data_, params, output, extra);
    } catch (...) {
        ++escaped_exceptions_;
        error("an exception left the entry point (command " + std::to_string(cmd) + ")");
        err = kMisuseErr;
    }
    check_unused_pattern(cmd);
    if (cmd == PF_Cmd_GLOBAL_SETUP) {
        adopt_global_data();
    }
    if (cmd == PF_Cmd_PARAMS_SETUP && err == PF_Err_NONE) {
        use_registrations_as_params();
    }
    return err;
}

void SimHost::setup() {
    const PF_Err g = send(PF_Cmd_GLOBAL_SETUP);
    const PF_Err p = send(PF_Cmd_PARAMS_SETUP);
    if (g != PF_Err_NONE || p != PF_Err_NONE) {
        throw std::runtime_error("SimHost::setup: Global Setup returned " + std::to_string(g) +
                                 ", Params Setup returned " + std::to_string(p));
    }
}

void SimHost::reset_out_data() {
    out_data_ = PF_OutData{};
    out_data_.global_data = global_data_;
    lay_pattern(&out_data_, kUnusedOutData, unused_pattern_);
}

void SimHost::set_unused_pattern(std::uint8_t byte) {
    unused_pattern_ = byte;
    lay_pattern(&in_data_, kUnusedInData, byte);
    lay_pattern(&utils_, kUnusedUtils, byte);
    lay_pattern(&out_data_, kUnusedOutData, byte);
}

// The worlds and the parameter array may have been replaced since the last call; the records
// are kept as they are now, so that a change by the call shows.
void SimHost::lay_unused_pattern() {
    if (!null_output_) lay_pattern(output_.def(), kUnusedWorld, unused_pattern_);
    for (PF_ParamDef* def : params_sent_) {
        if (def == nullptr) continue;
        lay_pattern(def, kUnusedParamHeader, unused_pattern_);
        if (def->param_type == PF_Param_LAYER)
            lay_pattern(&def->u.ld, kUnusedWorld, unused_pattern_);
    }
    before_call_.in_data = in_data_;
    before_call_.utils = utils_;
    before_call_.out_data = out_data_;
    before_call_.output = *output_.def();
    before_call_.params.clear();
    for (const PF_ParamDef* def : params_sent_) {
        before_call_.params.push_back(def ? *def : PF_ParamDef{});
    }
}

void SimHost::check_unused_pattern(PF_Cmd cmd) {
    std::vector<std::string> changed;
    find_changed(&before_call_.in_data, &in_data_, kUnusedInData, "", changed);
    find_changed(&before_call_.utils, &utils_, kUnusedUtils, "", changed);
    find_changed(&before_call_.out_data, &out_data_, kUnusedOutData, "", changed);
    if (!null_output_) {
        find_changed(&before_call_.output, output_.def(), kUnusedWorld, "output ", changed);
    }
    for (std::size_t i = 0; i < params_sent_.size(); ++i) {
        const PF_ParamDef* def = params_sent_[i];
        if (def == nullptr) continue;
        const PF_ParamDef& before = before_call_.params[i];
        find_changed(&before, def, kUnusedParamHeader, "parameter ", changed);
        if (def->param_type == PF_Param_LAYER) {
            find_changed(&before.u.ld, &def->u.ld, kUnusedWorld, "input ", changed);
        }
    }
    for (const std::string& member : changed) {
        error(member + " changed by command " + std::to_string(cmd) +
              ": the effect has no business with it");
    }
}

std::string SimHost::message() const {
    const void* end = std::memchr(out_data_.return_msg, 0, sizeof out_data_.return_msg);
    const std::size_t n =
        end ? static_cast<const char*>(end) - out_data_.return_msg : sizeof out_data_.return_msg;
    return std::string(out_data_.return_msg, n);
}

// ---------------------------------------------------------------------------------------------
// Parameters

namespace {}  // namespace

// ---------------------------------------------------------------------------------------------
// Counting, faults and checks

int SimHost::total_calls() const {
    int n = 0;
    for (int c : counts_) {
        n += c;
    }
    return n;
}

void SimHost::reset_counters() {
    counts_.fill(0);
}

void SimHost::clear_logs() {
    suite_log_.clear();
    progress_log_.clear();
    handle_requests_.clear();
    stream_requests_.clear();
    flag_calls_.clear();
    world_ops_.clear();
}

void SimHost::fail_call(HostFn fn, int k, PF_Err code) {
    if (k < 1) {
        throw std::invalid_argument("SimHost::fail_call: k counts from 1");
    }
    faults_.push_back({fn, k, code});
}

std::optional<PF_Err> SimHost::enter(HostFn fn) {
    ++counts_[static_cast<std::size_t>(fn)];
    std::optional<PF_Err> fired;
    for (Fault& f : faults_) {
        if (f.fn == fn && f.remaining > 0 && --f.remaining == 0 && !fired) {
            fired = f.code;
            ++faults_fired_;
        }
    }
    return fired;
}

void SimHost::error(std::string what) {
    errors_.push_back(std::move(what));
}

std::vector<std::string> SimHost::problems_except_references() const {
    std::vector<std::string> out = errors_;
    for (const auto& [handle, rec] : handles_) {
        if (rec->live && !rec->kept_by_fault && handle != global_data_) {
            out.push_back("handle of " + std::to_string(rec->size) + " bytes not disposed");
        }
    }
    for (const auto& [key, held] : held_suites_) {
        if (held > 0) {
            out.push_back("suite " + describe(key.first, key.second) + " acquired " +
                          std::to_string(held) + " time(s) more than released");
        }
    }
    return out;
}

std::vector<std::string> SimHost::problems() const {
    std::vector<std::string> out = problems_except_references();
    if (const int n = outstanding_effects()) {
        out.push_back(std::to_string(n) + " effect reference(s) not disposed");
    }
    if (const int n = outstanding_streams()) {
        out.push_back(std::to_string(n) + " stream reference(s) not disposed");
    }
    return out;
}

void SimHost::set_input(worlds::World w) {
    input_ = std::move(w);
    refresh_input_layer();
}

void SimHost::refresh_input_layer() {
    params_[0]->u.ld = *input_.def();
    lay_pattern(&params_[0]->u.ld, kUnusedWorld, unused_pattern_);
}

}  // namespace simhost
