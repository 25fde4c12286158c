// Parameters and the interaction callbacks of the commands: registrations, the parameter array,
// its setters, and progress reports.
#include <cmath>
#include <cstring>
#include <stdexcept>

#include "simhost/sim_callbacks.h"
#include "simhost/sim_unused.h"

namespace simhost {

namespace {

PF_ParamDef& typed(SimHost& h, PF_ParamIndex index, PF_ParamType type) {
    PF_ParamDef& def = h.param(index);
    if (def.param_type != type) {
        throw std::logic_error("SimHost: parameter " + std::to_string(index) + " has type " +
                               std::to_string(def.param_type) + ", not " + std::to_string(type));
    }
    return def;
}

}  // namespace

PF_Err PF_CALLBACK SimHost::Callbacks::add_param(PF_ProgPtr ref, PF_ParamIndex index,
                                                 PF_ParamDefPtr def) {
    SimHost& h = host();
    const auto fault = h.enter(HostFn::add_param);
    if (!known_ref(h, ref, "add_param")) {
        return kMisuseErr;
    }
    if (def == nullptr) {
        h.error("add_param: null definition");
        return kMisuseErr;
    }
    if (fault) {
        return *fault;
    }
    Registration reg{index, *def, {}};
    if (std::memchr(def->name, 0, sizeof def->name) == nullptr) {
        h.error("add_param: name not terminated within its field");
        reg.def.name[sizeof reg.def.name - 1] = 0;
    }
    if (def->param_type == PF_Param_POPUP) {
        if (def->u.pd.u.namesptr == nullptr) {
            h.error("add_param: popup without choices");
        } else {
            reg.choices = def->u.pd.u.namesptr;
        }
    }
    h.registrations_.push_back(std::move(reg));
    // The choice text lives in the record itself; repoint after the move.
    for (Registration& r : h.registrations_) {
        if (r.def.param_type == PF_Param_POPUP) {
            r.def.u.pd.u.namesptr = r.choices.c_str();
        }
    }
    return PF_Err_NONE;
}

PF_Err PF_CALLBACK SimHost::Callbacks::progress(PF_ProgPtr ref, A_long current, A_long total) {
    SimHost& h = host();
    const auto fault = h.enter(HostFn::progress);
    if (!known_ref(h, ref, "progress")) {
        return kMisuseErr;
    }
    h.progress_log_.emplace_back(current, total);
    PF_Err scripted = PF_Err_NONE;
    if (h.progress_next_ < h.progress_results_.size()) {
        scripted = h.progress_results_[h.progress_next_];
    }
    ++h.progress_next_;
    return fault ? *fault : scripted;
}

void SimHost::build_param_array() {
    param_storage_.clear();
    params_.clear();
    auto layer = std::make_unique<PF_ParamDef>();
    layer->param_type = PF_Param_LAYER;
    layer->u.ld = *input_.def();
    lay_pattern(layer.get(), kUnusedParamHeader, unused_pattern_);
    lay_pattern(&layer->u.ld, kUnusedWorld, unused_pattern_);
    params_.push_back(layer.get());
    param_storage_.push_back(std::move(layer));
}

void SimHost::use_registrations_as_params() {
    build_param_array();
    param_choices_.clear();
    param_choices_.reserve(registrations_.size());
    for (const Registration& r : registrations_) {
        auto def = std::make_unique<PF_ParamDef>(r.def);
        switch (def->param_type) {
            case PF_Param_POPUP:
                param_choices_.push_back(r.choices);
                def->u.pd.u.namesptr = param_choices_.back().c_str();
                def->u.pd.value = def->u.pd.dephault;
                break;
            case PF_Param_SLIDER:
                def->u.sd.value = def->u.sd.dephault;
                break;
            case PF_Param_FIX_SLIDER:
                def->u.fd.value = def->u.fd.dephault;
                break;
            case PF_Param_COLOR:
                def->u.cd.value = def->u.cd.dephault;
                break;
            default:
                break;
        }
        lay_pattern(def.get(), kUnusedParamHeader, unused_pattern_);
        params_.push_back(def.get());
        param_storage_.push_back(std::move(def));
    }
}

PF_ParamDef& SimHost::param(PF_ParamIndex index) {
    if (index < 0 || static_cast<std::size_t>(index) >= params_.size()) {
        throw std::out_of_range("SimHost: no parameter " + std::to_string(index));
    }
    return *params_[static_cast<std::size_t>(index)];
}

void SimHost::set_popup(PF_ParamIndex index, A_long value) {
    typed(*this, index, PF_Param_POPUP).u.pd.value = value;
}

void SimHost::set_slider(PF_ParamIndex index, A_long value) {
    typed(*this, index, PF_Param_SLIDER).u.sd.value = value;
}

void SimHost::set_fixed(PF_ParamIndex index, PF_Fixed value) {
    typed(*this, index, PF_Param_FIX_SLIDER).u.fd.value = value;
}

void SimHost::set_percent(PF_ParamIndex index, double percent) {
    set_fixed(index, static_cast<PF_Fixed>(std::lround(percent * 65536.0)));
}

void SimHost::set_color(PF_ParamIndex index, PF_Pixel value) {
    typed(*this, index, PF_Param_COLOR).u.cd.value = value;
}

void SimHost::set_progress_results(std::vector<PF_Err> results) {
    progress_results_ = std::move(results);
    progress_next_ = 0;
}

}  // namespace simhost
