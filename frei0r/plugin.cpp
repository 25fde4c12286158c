// The frei0r entry points: a filter in RGBA8888 with the effect's twelve user parameters.
// Nothing may unwind into the video tool, so every entry point catches everything.
#include <array>
#include <cstdint>
#include <memory>
#include <new>
#include <string>

#include "frei0r/filter.h"
#include "frei0r/param_mapping.h"
#include "frei0r/plugin_params.h"

namespace {

using zx::frei0r::Filter;

Filter* filter_of(f0r_instance_t instance) {
    return static_cast<Filter*>(instance);
}

}  // namespace

extern "C" {

int f0r_init(void) {
    return zx::frei0r::init_module(zx::frei0r::Module::filter);
}

void f0r_deinit(void) {}

void f0r_get_plugin_info(f0r_plugin_info_t* info) {
    zx::frei0r::describe_plugin(
        info, "zentrilox", F0R_PLUGIN_TYPE_FILTER,
        "Block-shuffle transition: blocks travel to random targets as completion goes from 0 to 1");
}

void f0r_get_param_info(f0r_param_info_t* info, int param_index) {
    zx::frei0r::describe_param(zx::frei0r::Module::filter, info, param_index);
}

// A size the filter will never render, or an effect that did not start, is refused here, as
// frei0r asks, rather than frame after frame.
f0r_instance_t f0r_construct(unsigned int width, unsigned int height) {
    try {
        std::unique_ptr<Filter> f(new (std::nothrow) Filter(width, height));
        return f && f->ready() ? f.release() : nullptr;
    } catch (...) {
        return nullptr;
    }
}

void f0r_destruct(f0r_instance_t instance) {
    delete filter_of(instance);
}

void f0r_set_param_value(f0r_instance_t instance, f0r_param_t param, int param_index) {
    zx::frei0r::set_param(filter_of(instance), param, param_index);
}

void f0r_get_param_value(f0r_instance_t instance, f0r_param_t param, int param_index) {
    zx::frei0r::get_param(filter_of(instance), param, param_index);
}

void f0r_update(f0r_instance_t instance, double, const uint32_t* inframe, uint32_t* outframe) {
    Filter* f = filter_of(instance);
    if (f == nullptr) return;
    try {
        f->update(inframe, outframe);
    } catch (...) {
    }
}

}  // extern "C"
