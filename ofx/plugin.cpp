// The effect as an OpenFX image-effect plug-in: a filter (the Filter and General contexts) and a
// transition. Every render plans and draws through the render core on its own, so renders on
// different threads share nothing but the host's suites.

#include <array>
#include <cmath>
#include <cstring>
#include <new>
#include <string>
#include <utility>

#include "embed/panel_values.h"
#include "ofx/ofx_api.h"
#include "ofx/ofx_api_layout.h"
#include "ofx/ofx_frames.h"
#include "ofx/ofx_params.h"
#include "ofx/ofx_render.h"
#include "ofx/plugin_info.h"

#if defined(_WIN32)
#define ZX_OFX_EXPORT
#else
#define ZX_OFX_EXPORT __attribute__((visibility("default")))
#endif

namespace zx::ofx {

namespace {

// The host and its suites. OFX hands the host over through setHost, without any place of the
// plug-in's own to keep it in; it is written there and at Load, and only read afterwards.
struct HostSuites {
    OfxHost* host = nullptr;
    const OfxPropertySuiteV1* prop = nullptr;
    const OfxImageEffectSuiteV1* effect = nullptr;
    const OfxParameterSuiteV1* param = nullptr;
    const OfxMultiThreadSuiteV1* threads = nullptr;
};
HostSuites g_host;

struct Instance {
    bool transition = false;
    OfxImageClipHandle output = nullptr;
    OfxImageClipHandle source = nullptr;
    OfxImageClipHandle from = nullptr;
    OfxImageClipHandle to = nullptr;
    std::array<OfxParamHandle, kParamCount> params{};
    OfxParamHandle transition_param = nullptr;
};

constexpr char kGroupName[] = "overlap";

OfxStatus first_failure(std::initializer_list<OfxStatus> results) {
    for (OfxStatus s : results) {
        if (s != kOfxStatOK) return s;
    }
    return kOfxStatOK;
}

// ---------------------------------------------------------------------------------------------
// Describe

OfxStatus describe(OfxImageEffectHandle effect) {
    const OfxPropertySuiteV1& p = *g_host.prop;
    OfxPropertySetHandle props = nullptr;
    if (OfxStatus s = g_host.effect->getPropertySet(effect, &props); s != kOfxStatOK) return s;
    return first_failure({
        p.propSetString(props, kOfxPropLabel, 0, kPluginLabel),
        p.propSetString(props, kOfxImageEffectPluginPropGrouping, 0, kPluginGrouping),
        p.propSetString(props, kOfxPropPluginDescription, 0, kPluginDescription),
        p.propSetInt(props, kOfxPropVersion, 0, static_cast<int>(kVersionMajor)),
        p.propSetInt(props, kOfxPropVersion, 1, static_cast<int>(kVersionMinor)),
        p.propSetString(props, kOfxPropVersionLabel, 0, kVersionLabel.data()),
        p.propSetString(props, kOfxImageEffectPropSupportedContexts, 0,
                        kOfxImageEffectContextFilter),
        p.propSetString(props, kOfxImageEffectPropSupportedContexts, 1,
                        kOfxImageEffectContextGeneral),
        p.propSetString(props, kOfxImageEffectPropSupportedContexts, 2,
                        kOfxImageEffectContextTransition),
        p.propSetString(props, kOfxImageEffectPropSupportedPixelDepths, 0, kOfxBitDepthByte),
        p.propSetString(props, kOfxImageEffectPropSupportedPixelDepths, 1, kOfxBitDepthShort),
        p.propSetString(props, kOfxImageEffectPropSupportedPixelDepths, 2, kOfxBitDepthFloat),
        // Each render has its own plan and frames; its bands run on the host's threads.
        p.propSetString(props, kOfxImageEffectPluginRenderThreadSafety, 0,
                        kOfxImageEffectRenderFullySafe),
        // The plug-in splits its render window over the host's threads itself. Tiles: the
        // layout is the whole frame's, each tile of the output is drawn from the whole source.
        p.propSetInt(props, kOfxImageEffectPluginPropHostFrameThreading, 0, 0),
        p.propSetInt(props, kOfxImageEffectPropSupportsTiles, 0, 1),
        p.propSetInt(props, kOfxImageEffectPropSupportsMultiResolution, 0, 1),
        p.propSetInt(props, kOfxImageEffectPropTemporalClipAccess, 0, 0),
        p.propSetInt(props, kOfxImageEffectPluginPropSingleInstance, 0, 0),
        p.propSetInt(props, kOfxImageEffectPropSupportsMultipleClipDepths, 0, 0),
    });
}

OfxStatus define_clip(OfxImageEffectHandle effect, const char* name) {
    OfxPropertySetHandle props = nullptr;
    if (OfxStatus s = g_host.effect->clipDefine(effect, name, &props); s != kOfxStatOK) return s;
    return first_failure({
        g_host.prop->propSetString(props, kOfxImageEffectPropSupportedComponents, 0,
                                   kOfxImageComponentRGBA),
        g_host.prop->propSetInt(props, kOfxImageEffectPropSupportsTiles, 0, 1),
    });
}

OfxStatus define_param(OfxParamSetHandle set, const ParamEntry& e, bool in_group) {
    const OfxPropertySuiteV1& p = *g_host.prop;
    const char* type = nullptr;
    switch (ofx_kind(e)) {
        case OfxKind::choice:
            type = kOfxParamTypeChoice;
            break;
        case OfxKind::integer:
            type = kOfxParamTypeInteger;
            break;
        case OfxKind::percent:
            type = kOfxParamTypeDouble;
            break;
        case OfxKind::rgb:
            type = kOfxParamTypeRGB;
            break;
        case OfxKind::none:
            return kOfxStatOK;
    }
    // The table's names are static strings; the script names end where the view does.
    char name[64] = {};
    if (e.script_name.size() >= sizeof name) return kOfxStatErrValue;
    std::memcpy(name, e.script_name.data(), e.script_name.size());
    OfxPropertySetHandle props = nullptr;
    if (OfxStatus s = g_host.param->paramDefine(set, type, name, &props); s != kOfxStatOK) return s;
    OfxStatus s = first_failure({
        p.propSetString(props, kOfxPropLabel, 0, e.name),
        p.propSetString(props, kOfxParamPropHint, 0, e.explanation),
        p.propSetString(props, kOfxParamPropScriptName, 0, name),
        p.propSetInt(props, kOfxParamPropAnimates, 0, 1),
        in_group ? p.propSetString(props, kOfxParamPropParent, 0, kGroupName) : kOfxStatOK,
    });
    if (s != kOfxStatOK) return s;
    const ParamValues defaults = default_values();
    const auto i = static_cast<std::size_t>(e.index);
    switch (ofx_kind(e)) {
        case OfxKind::choice: {
            for (int k = 0; k < selectable_count(e) && s == kOfxStatOK; ++k) {
                const std::string_view item = choice_item(e.choices, selectable_number(e, k));
                char text[64] = {};
                if (item.size() >= sizeof text) return kOfxStatErrValue;
                std::memcpy(text, item.data(), item.size());
                s = p.propSetString(props, kOfxParamPropChoiceOption, k, text);
            }
            if (s != kOfxStatOK) return s;
            return p.propSetInt(props, kOfxParamPropDefault, 0, defaults.whole[i]);
        }
        case OfxKind::integer:
            return first_failure({
                p.propSetInt(props, kOfxParamPropDefault, 0, defaults.whole[i]),
                p.propSetInt(props, kOfxParamPropMin, 0, e.valid_min),
                p.propSetInt(props, kOfxParamPropMax, 0, e.valid_max),
                p.propSetInt(props, kOfxParamPropDisplayMin, 0, e.slider_min),
                p.propSetInt(props, kOfxParamPropDisplayMax, 0, e.slider_max),
            });
        case OfxKind::percent:
            return first_failure({
                p.propSetDouble(props, kOfxParamPropDefault, 0, defaults.percent[i]),
                p.propSetDouble(props, kOfxParamPropMin, 0, e.valid_min),
                p.propSetDouble(props, kOfxParamPropMax, 0, e.valid_max),
                p.propSetDouble(props, kOfxParamPropDisplayMin, 0, e.slider_min),
                p.propSetDouble(props, kOfxParamPropDisplayMax, 0, e.slider_max),
                p.propSetString(props, kOfxParamPropDoubleType, 0, kOfxParamDoubleTypePlain),
                p.propSetInt(props, kOfxParamPropDigits, 0, e.precision),
                p.propSetDouble(props, kOfxParamPropIncrement, 0, 1.0),
            });
        case OfxKind::rgb:
            for (int c = 0; c < 3 && s == kOfxStatOK; ++c) {
                s = p.propSetDouble(props, kOfxParamPropDefault, c,
                                    defaults.rgb[i][static_cast<std::size_t>(c)]);
            }
            return s;
        case OfxKind::none:
            break;
    }
    return kOfxStatOK;
}

OfxStatus describe_in_context(OfxImageEffectHandle effect, OfxPropertySetHandle in_args) {
    char* context = nullptr;
    if (g_host.prop->propGetString(in_args, kOfxImageEffectPropContext, 0, &context) !=
            kOfxStatOK ||
        context == nullptr) {
        return kOfxStatErrValue;
    }
    const bool transition = std::strcmp(context, kOfxImageEffectContextTransition) == 0;
    if (!transition && std::strcmp(context, kOfxImageEffectContextFilter) != 0 &&
        std::strcmp(context, kOfxImageEffectContextGeneral) != 0) {
        return kOfxStatErrUnsupported;
    }
    OfxStatus s =
        transition
            ? first_failure({define_clip(effect, kOfxImageEffectTransitionSourceFromClipName),
                             define_clip(effect, kOfxImageEffectTransitionSourceToClipName)})
            : define_clip(effect, kOfxImageEffectSimpleSourceClipName);
    if (s == kOfxStatOK) s = define_clip(effect, kOfxImageEffectOutputClipName);
    if (s != kOfxStatOK) return s;

    OfxParamSetHandle set = nullptr;
    if ((s = g_host.effect->getParamSet(effect, &set)) != kOfxStatOK) return s;
    if (transition) {
        // The host owns and drives it; the plug-in only names it.
        s = g_host.param->paramDefine(set, kOfxParamTypeDouble, kOfxImageEffectTransitionParamName,
                                      nullptr);
        if (s != kOfxStatOK) return s;
    }
    bool in_group = false;
    for (const ParamEntry& e : kParamTable) {
        if (e.type == ParamType::group_start) {
            OfxPropertySetHandle props = nullptr;
            s = g_host.param->paramDefine(set, kOfxParamTypeGroup, kGroupName, &props);
            if (s == kOfxStatOK) s = g_host.prop->propSetString(props, kOfxPropLabel, 0, "Overlap");
            in_group = true;
        } else if (e.type == ParamType::group_end) {
            in_group = false;
        } else if (!(transition && e.index == kParamCompletion)) {
            s = define_param(set, e, in_group);
        }
        if (s != kOfxStatOK) return s;
    }
    return kOfxStatOK;
}

// ---------------------------------------------------------------------------------------------
// Instances

Instance* instance_of(OfxImageEffectHandle effect) {
    OfxPropertySetHandle props = nullptr;
    void* data = nullptr;
    if (g_host.effect->getPropertySet(effect, &props) != kOfxStatOK ||
        g_host.prop->propGetPointer(props, kOfxPropInstanceData, 0, &data) != kOfxStatOK) {
        return nullptr;
    }
    return static_cast<Instance*>(data);
}

// The values now (time null, as an edit sees them) or at a time (as a render sees them).
OfxStatus read_values(const Instance& inst, const OfxTime* time, ParamValues& values) {
    values = default_values();
    const OfxParameterSuiteV1& p = *g_host.param;
    for (const ParamEntry& e : kParamTable) {
        const auto i = static_cast<std::size_t>(e.index);
        OfxParamHandle h = inst.params[i];
        if (h == nullptr) continue;
        OfxStatus s = kOfxStatOK;
        switch (ofx_kind(e)) {
            case OfxKind::choice:
            case OfxKind::integer:
                s = time ? p.paramGetValueAtTime(h, *time, &values.whole[i])
                         : p.paramGetValue(h, &values.whole[i]);
                break;
            case OfxKind::percent:
                s = time ? p.paramGetValueAtTime(h, *time, &values.percent[i])
                         : p.paramGetValue(h, &values.percent[i]);
                break;
            case OfxKind::rgb: {
                auto& c = values.rgb[i];
                s = time ? p.paramGetValueAtTime(h, *time, &c[0], &c[1], &c[2])
                         : p.paramGetValue(h, &c[0], &c[1], &c[2]);
                break;
            }
            case OfxKind::none:
                break;
        }
        if (s != kOfxStatOK) return s;
    }
    return kOfxStatOK;
}

// Shows and hides the parameters as the effect's own panel does for the current values.
OfxStatus update_visibility(const Instance& inst) {
    ParamValues values;
    if (OfxStatus s = read_values(inst, nullptr, values); s != kOfxStatOK) return s;
    const zx::embed::HiddenParams hidden =
        zx::embed::hidden_params(panel_values(values, completion_percent(values)));
    for (std::size_t i = 0; i < inst.params.size(); ++i) {
        OfxPropertySetHandle props = nullptr;
        if (inst.params[i] == nullptr) continue;
        OfxStatus s = g_host.param->paramGetPropertySet(inst.params[i], &props);
        if (s == kOfxStatOK) {
            s = g_host.prop->propSetInt(props, kOfxParamPropSecret, 0, hidden[i] ? 1 : 0);
        }
        if (s != kOfxStatOK) return s;
    }
    return kOfxStatOK;
}

OfxStatus create_instance(OfxImageEffectHandle effect) {
    OfxPropertySetHandle props = nullptr;
    char* context = nullptr;
    OfxParamSetHandle set = nullptr;
    OfxStatus s = first_failure({
        g_host.effect->getPropertySet(effect, &props),
        g_host.effect->getParamSet(effect, &set),
    });
    if (s == kOfxStatOK)
        s = g_host.prop->propGetString(props, kOfxImageEffectPropContext, 0, &context);
    if (s != kOfxStatOK) return s;
    if (context == nullptr) return kOfxStatErrValue;

    auto* inst = new (std::nothrow) Instance;
    if (inst == nullptr) return kOfxStatErrMemory;
    inst->transition = std::strcmp(context, kOfxImageEffectContextTransition) == 0;
    const auto clip = [&](const char* name, OfxImageClipHandle& out) {
        return g_host.effect->clipGetHandle(effect, name, &out, nullptr);
    };
    s = clip(kOfxImageEffectOutputClipName, inst->output);
    if (s == kOfxStatOK && inst->transition) {
        s = first_failure({clip(kOfxImageEffectTransitionSourceFromClipName, inst->from),
                           clip(kOfxImageEffectTransitionSourceToClipName, inst->to)});
        if (s == kOfxStatOK) {
            s = g_host.param->paramGetHandle(set, kOfxImageEffectTransitionParamName,
                                             &inst->transition_param, nullptr);
        }
    } else if (s == kOfxStatOK) {
        s = clip(kOfxImageEffectSimpleSourceClipName, inst->source);
    }
    for (const ParamEntry& e : kParamTable) {
        if (s != kOfxStatOK) break;
        if (ofx_kind(e) == OfxKind::none || (inst->transition && e.index == kParamCompletion)) {
            continue;
        }
        char name[64] = {};
        std::memcpy(name, e.script_name.data(), std::min(e.script_name.size(), sizeof name - 1));
        s = g_host.param->paramGetHandle(set, name,
                                         &inst->params[static_cast<std::size_t>(e.index)], nullptr);
    }
    if (s == kOfxStatOK) s = g_host.prop->propSetPointer(props, kOfxPropInstanceData, 0, inst);
    if (s == kOfxStatOK) s = update_visibility(*inst);
    if (s != kOfxStatOK) {
        // A host destroys only the instances it could create.
        g_host.prop->propSetPointer(props, kOfxPropInstanceData, 0, nullptr);
        delete inst;
    }
    return s;
}

OfxStatus destroy_instance(OfxImageEffectHandle effect) {
    Instance* inst = instance_of(effect);
    if (inst == nullptr) return kOfxStatErrBadHandle;
    OfxPropertySetHandle props = nullptr;
    if (g_host.effect->getPropertySet(effect, &props) == kOfxStatOK) {
        g_host.prop->propSetPointer(props, kOfxPropInstanceData, 0, nullptr);
    }
    delete inst;
    return kOfxStatOK;
}

OfxStatus instance_changed(OfxImageEffectHandle effect) {
    const Instance* inst = instance_of(effect);
    if (inst == nullptr) return kOfxStatErrBadHandle;
    return update_visibility(*inst);
}

// ---------------------------------------------------------------------------------------------
// Identity

// A string property of a clip instance; null when the host does not give it.
const char* clip_string(OfxImageClipHandle clip, const char* property) {
    OfxPropertySetHandle props = nullptr;
    char* value = nullptr;
    if (g_host.effect->clipGetPropertySet(clip, &props) != kOfxStatOK ||
        g_host.prop->propGetString(props, property, 0, &value) != kOfxStatOK) {
        return nullptr;
    }
    return value;
}

bool clip_premultiplied(OfxImageClipHandle clip) {
    const char* state = clip_string(clip, kOfxImageEffectPropPreMultiplication);
    return state != nullptr && std::strcmp(state, kOfxImagePreMultiplied) == 0;
}

// Passes the source through where the render would hand it back byte for byte. At Completion 0,
// as the effect receives it, the effect copies its input whatever else is set, and the frames
// come back unchanged from their way there: bytes straight or premultiplied (colour no greater
// than alpha), floats straight. 16-bit channels lose their lowest bit to the effect's
// 0..32768, premultiplied floats a rounding in the division, so those render. A transition
// lays one clip over the other, which is neither clip unless it is opaque: it always renders.
OfxStatus is_identity(OfxImageEffectHandle effect, OfxPropertySetHandle in_args,
                      OfxPropertySetHandle out_args) {
    const Instance* inst = instance_of(effect);
    if (inst == nullptr) return kOfxStatErrBadHandle;
    if (inst->transition) return kOfxStatReplyDefault;
    // Whatever cannot be read is left to the render, which reports it.
    OfxTime time = 0;
    double completion = 0;
    OfxParamHandle completion_param = inst->params[static_cast<std::size_t>(kParamCompletion)];
    if (g_host.prop->propGetDouble(in_args, kOfxPropTime, 0, &time) != kOfxStatOK ||
        g_host.param->paramGetValueAtTime(completion_param, time, &completion) != kOfxStatOK ||
        fixed_percent(param_entry(kParamCompletion), completion) != 0) {
        return kOfxStatReplyDefault;
    }
    const char* depth = clip_string(inst->output, kOfxImageEffectPropPixelDepth);
    const bool premultiplied = clip_premultiplied(inst->output);
    const bool exact = depth != nullptr && premultiplied == clip_premultiplied(inst->source) &&
                       (std::strcmp(depth, kOfxBitDepthByte) == 0 ||
                        (std::strcmp(depth, kOfxBitDepthFloat) == 0 && !premultiplied));
    if (!exact) return kOfxStatReplyDefault;
    return first_failure({
        g_host.prop->propSetString(out_args, kOfxPropName, 0, kOfxImageEffectSimpleSourceClipName),
        g_host.prop->propSetDouble(out_args, kOfxPropTime, 0, time),
    });
}

// Every input's whole region: a block of the output may come from anywhere in the source.
OfxStatus regions_of_interest(OfxImageEffectHandle effect, OfxPropertySetHandle in_args,
                              OfxPropertySetHandle out_args) {
    const Instance* inst = instance_of(effect);
    if (inst == nullptr) return kOfxStatErrBadHandle;
    OfxTime time = 0;
    if (g_host.prop->propGetDouble(in_args, kOfxPropTime, 0, &time) != kOfxStatOK) {
        return kOfxStatErrValue;
    }
    const std::pair<const char*, OfxImageClipHandle> inputs[] = {
        {kOfxImageEffectSimpleSourceClipName, inst->source},
        {kOfxImageEffectTransitionSourceFromClipName, inst->from},
        {kOfxImageEffectTransitionSourceToClipName, inst->to},
    };
    for (const auto& [name, clip] : inputs) {
        OfxRectD region{};
        if (clip == nullptr ||
            g_host.effect->clipGetRegionOfDefinition(clip, time, &region) != kOfxStatOK) {
            continue;  // the host's default stands
        }
        const std::string property = std::string(kClipRegionOfInterestPrefix) + name;
        if (OfxStatus s = g_host.prop->propSetDoubleN(out_args, property.c_str(), 4, &region.x1);
            s != kOfxStatOK) {
            return s;
        }
    }
    return kOfxStatOK;
}

// ---------------------------------------------------------------------------------------------
// Rendering

// A fetched image, released on every path out of the render.
class FetchedImage {
  public:
    FetchedImage() = default;
    ~FetchedImage() {
        if (handle_ != nullptr) g_host.effect->clipReleaseImage(handle_);
    }
    FetchedImage(const FetchedImage&) = delete;
    FetchedImage& operator=(const FetchedImage&) = delete;

    // kOfxStatFailed: the clip has no image at that time.
    OfxStatus fetch(OfxImageClipHandle clip, OfxTime time) {
        OfxPropertySetHandle h = nullptr;
        const OfxStatus s = g_host.effect->clipGetImage(clip, time, nullptr, &h);
        if (s != kOfxStatOK) return s == kOfxStatFailed ? kOfxStatFailed : s;
        handle_ = h;
        return describe();
    }
    bool present() const { return handle_ != nullptr; }
    const ImageView& view() const { return view_; }
    bool premultiplied() const { return premultiplied_; }

  private:
    OfxStatus describe() {
        const OfxPropertySuiteV1& p = *g_host.prop;
        char* depth = nullptr;
        char* components = nullptr;
        char* premult = nullptr;
        OfxStatus s = first_failure({
            p.propGetPointer(handle_, kOfxImagePropData, 0, &view_.data),
            p.propGetIntN(handle_, kOfxImagePropBounds, 4, &view_.bounds.x1),
            p.propGetInt(handle_, kOfxImagePropRowBytes, 0, &view_.row_bytes),
            p.propGetString(handle_, kOfxImageEffectPropPixelDepth, 0, &depth),
            p.propGetString(handle_, kOfxImageEffectPropComponents, 0, &components),
        });
        if (s != kOfxStatOK) return s;
        const OfxRectI& r = view_.region;
        if (p.propGetIntN(handle_, kOfxImagePropRegionOfDefinition, 4, &view_.region.x1) !=
                kOfxStatOK ||
            r.x1 > view_.bounds.x1 || r.y1 > view_.bounds.y1 || r.x2 < view_.bounds.x2 ||
            r.y2 < view_.bounds.y2) {
            view_.region = view_.bounds;  // no region, or one the image is not inside
        }
        // An image without the property is taken as straight colour.
        premultiplied_ = p.propGetString(handle_, kOfxImageEffectPropPreMultiplication, 0,
                                         &premult) == kOfxStatOK &&
                         premult != nullptr && std::strcmp(premult, kOfxImagePreMultiplied) == 0;
        if (depth == nullptr || components == nullptr) return kOfxStatErrImageFormat;
        if (std::strcmp(components, kOfxImageComponentRGBA) != 0) return kOfxStatErrUnsupported;
        if (std::strcmp(depth, kOfxBitDepthByte) == 0) {
            view_.depth = PixelDepth::byte;
        } else if (std::strcmp(depth, kOfxBitDepthShort) == 0) {
            view_.depth = PixelDepth::shorts;
        } else if (std::strcmp(depth, kOfxBitDepthFloat) == 0) {
            view_.depth = PixelDepth::floats;
        } else {
            return kOfxStatErrUnsupported;
        }
        return usable(view_) ? kOfxStatOK : kOfxStatErrImageFormat;
    }

    OfxPropertySetHandle handle_ = nullptr;
    ImageView view_{};
    bool premultiplied_ = false;
};

// An input clip's image, or none when the clip has none at that time.
OfxStatus fetch_input(OfxImageClipHandle clip, OfxTime time, const FetchedImage& output,
                      FetchedImage& input) {
    const OfxStatus s = input.fetch(clip, time);
    if (s == kOfxStatFailed && !input.present()) return kOfxStatOK;
    if (s != kOfxStatOK) return s;
    return input.view().depth == output.view().depth ? kOfxStatOK : kOfxStatErrImageFormat;
}

OfxStatus render(OfxImageEffectHandle effect, OfxPropertySetHandle in_args) {
    const Instance* inst = instance_of(effect);
    if (inst == nullptr) return kOfxStatErrBadHandle;
    const OfxPropertySuiteV1& p = *g_host.prop;
    OfxTime time = 0;
    OfxRectI window{};
    double scale = 1;
    OfxStatus s = first_failure({
        p.propGetDouble(in_args, kOfxPropTime, 0, &time),
        p.propGetIntN(in_args, kOfxImageEffectPropRenderWindow, 4, &window.x1),
    });
    if (s != kOfxStatOK) return s;
    if (p.propGetDouble(in_args, kOfxImageEffectPropRenderScale, 0, &scale) != kOfxStatOK)
        scale = 1;

    RenderJob job;
    if ((s = read_values(*inst, &time, job.values)) != kOfxStatOK) return s;
    if (inst->transition) {
        double t = 0;
        s = g_host.param->paramGetValueAtTime(inst->transition_param, time, &t);
        if (s != kOfxStatOK) return s;
        job.transition = t;
    }
    job.downsample = downsample_of(scale);

    FetchedImage output;
    FetchedImage first;
    FetchedImage second;
    if ((s = output.fetch(inst->output, time)) != kOfxStatOK) return s;
    if (inst->transition) {
        s = first_failure({fetch_input(inst->from, time, output, first),
                           fetch_input(inst->to, time, output, second)});
    } else {
        s = fetch_input(inst->source, time, output, first);
    }
    if (s != kOfxStatOK) return s;
    job.output = output.view();
    job.output_premultiplied = output.premultiplied();
    job.window = window;
    if (first.present()) {
        job.first = &first.view();
        job.first_premultiplied = first.premultiplied();
    }
    if (second.present()) {
        job.second = &second.view();
        job.second_premultiplied = second.premultiplied();
    }
    job.threads = g_host.threads;
    if (g_host.effect->abort != nullptr) {
        job.services.user = effect;
        job.services.abort = [](void* user) {
            return g_host.effect->abort(static_cast<OfxImageEffectHandle>(user)) != 0;
        };
    }
    return inst->transition ? render_transition(job) : render_filter(job);
}

// ---------------------------------------------------------------------------------------------

OfxStatus load() {
    if (g_host.host == nullptr || g_host.host->fetchSuite == nullptr) {
        return kOfxStatErrMissingHostFeature;
    }
    const auto fetch = [](const char* name) {
        return g_host.host->fetchSuite(g_host.host->host, name, 1);
    };
    g_host.prop = static_cast<const OfxPropertySuiteV1*>(fetch(kOfxPropertySuite));
    g_host.effect = static_cast<const OfxImageEffectSuiteV1*>(fetch(kOfxImageEffectSuite));
    g_host.param = static_cast<const OfxParameterSuiteV1*>(fetch(kOfxParameterSuite));
    if (g_host.prop == nullptr || g_host.effect == nullptr || g_host.param == nullptr) {
        return kOfxStatErrMissingHostFeature;
    }
    // Optional: without it every render runs on the thread the host calls it on.
    g_host.threads = static_cast<const OfxMultiThreadSuiteV1*>(fetch(kOfxMultiThreadSuite));
    return kOfxStatOK;
}

bool suites_ready() {
    return g_host.prop != nullptr && g_host.effect != nullptr && g_host.param != nullptr;
}

OfxStatus dispatch(const char* action, const void* handle, OfxPropertySetHandle in_args,
                   OfxPropertySetHandle out_args) {
    if (action == nullptr) return kOfxStatErrBadHandle;
    if (std::strcmp(action, kOfxActionLoad) == 0) return load();
    if (std::strcmp(action, kOfxActionUnload) == 0) return kOfxStatOK;
    if (!suites_ready()) return kOfxStatErrMissingHostFeature;
    // Every other action is about an effect descriptor or instance.
    auto* effect = static_cast<OfxImageEffectHandle>(const_cast<void*>(handle));
    if (effect == nullptr) return kOfxStatErrBadHandle;
    if (std::strcmp(action, kOfxActionDescribe) == 0) return describe(effect);
    if (std::strcmp(action, kOfxImageEffectActionDescribeInContext) == 0) {
        return in_args ? describe_in_context(effect, in_args) : kOfxStatErrBadHandle;
    }
    if (std::strcmp(action, kOfxActionCreateInstance) == 0) return create_instance(effect);
    if (std::strcmp(action, kOfxActionDestroyInstance) == 0) return destroy_instance(effect);
    if (std::strcmp(action, kOfxActionInstanceChanged) == 0) return instance_changed(effect);
    if (std::strcmp(action, kOfxImageEffectActionRender) == 0) {
        return in_args ? render(effect, in_args) : kOfxStatErrBadHandle;
    }
    if (std::strcmp(action, kOfxImageEffectActionGetRegionsOfInterest) == 0) {
        return regions_of_interest(effect, in_args, out_args);
    }
    if (std::strcmp(action, kOfxImageEffectActionIsIdentity) == 0) {
        return in_args && out_args ? is_identity(effect, in_args, out_args) : kOfxStatErrBadHandle;
    }
    return kOfxStatReplyDefault;
}

OfxStatus main_entry(const char* action, const void* handle, OfxPropertySetHandle in_args,
                     OfxPropertySetHandle out_args) {
    try {
        return dispatch(action, handle, in_args, out_args);
    } catch (const std::bad_alloc&) {
        return kOfxStatErrMemory;
    } catch (...) {
        return kOfxStatFailed;
    }
}

void set_host(OfxHost* host) {
    g_host = HostSuites{};
    g_host.host = host;
}

OfxPlugin g_plugin = {kOfxImageEffectPluginApi,
                      kOfxImageEffectPluginApiVersion,
                      kPluginIdentifier,
                      kVersionMajor,
                      kVersionMinor,
                      set_host,
                      main_entry};

}  // namespace

}  // namespace zx::ofx

extern "C" ZX_OFX_EXPORT int OfxGetNumberOfPlugins(void) {
    return 1;
}

extern "C" ZX_OFX_EXPORT OfxPlugin* OfxGetPlugin(int nth) {
    return nth == 0 ? &zx::ofx::g_plugin : nullptr;
}
