// The frei0r entry points of the transition: a two-input mixer in RGBA8888, the filter's
// parameters with `transition` in Completion's place. Nothing may unwind into the video tool,
// so every entry point catches everything.
#include <cstdint>
#include <memory>
#include <new>

#include "frei0r/mixer.h"
#include "frei0r/param_mapping.h"
#include "frei0r/plugin_params.h"

namespace {

using zx::frei0r::Mixer;
using zx::frei0r::Module;

Mixer* mixer_of(f0r_instance_t instance) {
    return static_cast<Mixer*>(instance);
}

}  // namespace

extern "C" {

int f0r_init(void) {
    return zx::frei0r::init_module(Module::mixer);
}

void f0r_deinit(void) {}

void f0r_get_plugin_info(f0r_plugin_info_t* info) {
    zx::frei0r::describe_plugin(
        info, "zentrilox_transition", F0R_PLUGIN_TYPE_MIXER2,
        "Block-shuffle transition from input 1 to input 2 as transition goes from 0 to 1: "
        "the first's blocks shuffle away, then the second's shuffle into place");
}

void f0r_get_param_info(f0r_param_info_t* info, int param_index) {
    zx::frei0r::describe_param(Module::mixer, info, param_index);
}

// Sizes the transition will never render are refused here, as the filter refuses them.
f0r_instance_t f0r_construct(unsigned int width, unsigned int height) {
    try {
        std::unique_ptr<Mixer> m(new (std::nothrow) Mixer(width, height));
        return m && m->values().ready() ? m.release() : nullptr;
    } catch (...) {
        return nullptr;
    }
}

void f0r_destruct(f0r_instance_t instance) {
    delete mixer_of(instance);
}

void f0r_set_param_value(f0r_instance_t instance, f0r_param_t param, int param_index) {
    Mixer* m = mixer_of(instance);
    if (m != nullptr) zx::frei0r::set_param(&m->values(), param, param_index);
}

void f0r_get_param_value(f0r_instance_t instance, f0r_param_t param, int param_index) {
    const Mixer* m = mixer_of(instance);
    if (m != nullptr) zx::frei0r::get_param(&m->values(), param, param_index);
}

void f0r_update2(f0r_instance_t instance, double, const uint32_t* inframe1,
                 const uint32_t* inframe2, const uint32_t*, uint32_t* outframe) {
    Mixer* m = mixer_of(instance);
    if (m == nullptr) return;
    try {
        m->update(inframe1, inframe2, outframe);
    } catch (...) {
    }
}

// A tool that drives every module as a filter gets its one input back.
void f0r_update(f0r_instance_t instance, double, const uint32_t* inframe, uint32_t* outframe) {
    Mixer* m = mixer_of(instance);
    if (m == nullptr) return;
    try {
        m->update(inframe, nullptr, outframe);
    } catch (...) {
    }
}

}  // extern "C"
