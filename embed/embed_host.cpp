#include "embed/embed_host.h"

#include <algorithm>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <limits>
#include <new>
#include <type_traits>
#include <vector>

#include "host/entry_point.h"

namespace zx::embed {

namespace {

constexpr std::uint32_t kHostMagic = 0x5A58484Fu;    // "ZXHO"
constexpr std::uint32_t kHandleMagic = 0x5A584844u;  // "ZXHD"
constexpr std::uint32_t kRefMagic = 0x5A585246u;     // "ZXRF"
constexpr AEGP_PluginID kPluginId = 1;
constexpr PF_Err kRefusedErr = PF_Err_BAD_CALLBACK_PARAM;
constexpr std::size_t kMessageCapacity = PF_MAX_EFFECT_MSG_LEN + 1;

// ---------------------------------------------------------------------------------------------
// Function slots the effect does not use: each fails in the way its result type allows.

template <typename R>
R refusal() {
    if constexpr (std::is_void_v<R>) {
        return;
    } else if constexpr (std::is_pointer_v<R>) {
        return nullptr;
    } else if constexpr (std::is_floating_point_v<R>) {
        return std::numeric_limits<R>::quiet_NaN();
    } else if constexpr (std::is_unsigned_v<R>) {
        return 0;
    } else {
        return static_cast<R>(kRefusedErr);
    }
}

template <typename Fn>
struct Refuse;
template <typename R, typename... Args>
struct Refuse<R(PF_CALLBACK*)(Args...)> {
    static R PF_CALLBACK call(Args...) { return refusal<R>(); }
};
template <typename R, typename... Args>
struct Refuse<R(PF_CALLBACK*)(Args..., ...)> {
    static R PF_CALLBACK call(Args..., ...) { return refusal<R>(); }
};

#define ZX_REFUSE(table, slot) \
    ((table).slot = &Refuse<std::remove_cvref_t<decltype((table).slot)>>::call)

// ---------------------------------------------------------------------------------------------
// Pixels

int pixel_size(const PF_EffectWorld& w) {
    return (w.world_flags & PF_WorldFlag_DEEP) ? 8 : 4;
}

bool usable(const PF_EffectWorld* w) {
    if (w == nullptr || w->width < 0 || w->height < 0) return false;
    if (w->width == 0 || w->height == 0) return true;
    return w->data != nullptr && w->rowbytes >= w->width * pixel_size(*w);
}

std::uint8_t* pixel_at(const PF_EffectWorld& w, A_long x, A_long y) {
    return reinterpret_cast<std::uint8_t*>(w.data) + static_cast<std::ptrdiff_t>(y) * w.rowbytes +
           static_cast<std::ptrdiff_t>(x) * pixel_size(w);
}

// The host's conversions between 8-bit channels and 16-bit ones (0..32768).
constexpr A_u_short to_16(A_u_char c) {
    return static_cast<A_u_short>((c * 32768 + 128) / 255);
}
constexpr A_u_char to_8(A_u_short v) {
    return static_cast<A_u_char>((v * 255 + 16384) / 32768);
}

std::array<A_u_short, 4> read_pixel(const PF_EffectWorld& w, A_long x, A_long y) {
    const std::uint8_t* p = pixel_at(w, x, y);
    if (w.world_flags & PF_WorldFlag_DEEP) {
        PF_Pixel16 q;
        std::memcpy(&q, p, sizeof q);
        return {q.alpha, q.red, q.green, q.blue};
    }
    PF_Pixel8 q;
    std::memcpy(&q, p, sizeof q);
    return {to_16(q.alpha), to_16(q.red), to_16(q.green), to_16(q.blue)};
}

void write_pixel(const PF_EffectWorld& w, A_long x, A_long y, const std::array<A_u_short, 4>& c) {
    std::uint8_t* p = pixel_at(w, x, y);
    if (w.world_flags & PF_WorldFlag_DEEP) {
        const PF_Pixel16 q{c[0], c[1], c[2], c[3]};
        std::memcpy(p, &q, sizeof q);
        return;
    }
    const PF_Pixel8 q{to_8(c[0]), to_8(c[1]), to_8(c[2]), to_8(c[3])};
    std::memcpy(p, &q, sizeof q);
}

// The rectangle clipped to the world; a null rectangle is the whole world.
PF_Rect clip(const PF_Rect* r, const PF_EffectWorld& w) {
    PF_Rect c{0, 0, w.width, w.height};
    if (r != nullptr) {
        c.left = std::max(r->left, A_long{0});
        c.top = std::max(r->top, A_long{0});
        c.right = std::min(r->right, w.width);
        c.bottom = std::min(r->bottom, w.height);
    }
    c.right = std::max(c.right, c.left);
    c.bottom = std::max(c.bottom, c.top);
    return c;
}

// ---------------------------------------------------------------------------------------------
// Handles carry their own header: the handle points at the header's master pointer, which
// points at the bytes right behind the header. Locking, disposing and sizing need no lookup,
// and the header names the instance that pays for the memory.

struct alignas(std::max_align_t) HandleBlock {
    void* master = nullptr;  // first: a PF_Handle is the address of this member
    std::uint32_t magic = kHandleMagic;
    Host::Impl* owner = nullptr;
    std::size_t size = 0;
    HandleBlock* prev = nullptr;  // the owner's live handles, so none outlives the owner
    HandleBlock* next = nullptr;
};

HandleBlock* block_of(PF_Handle handle) {
    if (handle == nullptr) return nullptr;
    auto* block = reinterpret_cast<HandleBlock*>(handle);
    return block->magic == kHandleMagic ? block : nullptr;
}

struct EffectRec {
    std::uint32_t magic = kRefMagic;
    Host::Impl* owner = nullptr;
    int refs = 0;
};

struct StreamRec {
    std::uint32_t magic = kRefMagic;
    Host::Impl* owner = nullptr;
    PF_ParamIndex index = 0;
    int refs = 0;
};

// The instance whose command is running on this thread. Only host_new_handle needs it: every
// other callback reaches its instance through an argument (the effect reference, a handle's
// header, a stream or effect reference), so instances on different threads never meet.
thread_local Host::Impl* t_current = nullptr;

}  // namespace

// ---------------------------------------------------------------------------------------------

struct Host::Impl {
    std::uint32_t magic = kHostMagic;
    PF_InData in_data{};
    PF_OutData out_data{};
    PF_UtilCallbacks utils{};
    SPBasicSuite basic{};

    Status status = Status::ok;
    PF_Err result = PF_Err_NONE;
    A_u_long version = 0;
    PF_Handle global_data = nullptr;

    // Index 0 is the input layer; then one entry per registration.
    std::array<PF_ParamDef, kParamCount> params{};
    std::array<PF_ParamDef, kParamCount> defaults{};
    std::array<PF_ParamDef*, kParamCount> param_ptrs{};
    int registered = 0;
    bool registrations_match = true;

    HandleBlock* handles = nullptr;
    int live_handles = 0;
    std::size_t live_bytes = 0;
    std::size_t memory_limit = std::numeric_limits<std::size_t>::max();

    EffectRec effect_rec;
    std::array<StreamRec, kParamCount> streams{};
    Visibility hidden{};

    ProgressFn progress = nullptr;
    void* progress_user = nullptr;

    std::vector<std::uint8_t> scratch_in;
    std::vector<std::uint8_t> scratch_out;
    PF_LayerDef output{};

    Impl();
    ~Impl();
    Impl(const Impl&) = delete;
    Impl& operator=(const Impl&) = delete;

    PF_Err send(PF_Cmd cmd, PF_LayerDef* output_world);
    void setup();

    void* allocate(std::size_t size, PF_Handle& handle);
    void release(HandleBlock* block);
};

namespace {

Host::Impl* impl_of(PF_ProgPtr ref) {
    auto* impl = reinterpret_cast<Host::Impl*>(ref);
    return impl != nullptr && impl->magic == kHostMagic ? impl : nullptr;
}

// The host's text functions take no size: every buffer is taken to be a message buffer.
void store_text(A_char* dst, const char* text) {
    const std::size_t n = std::min(std::strlen(text), kMessageCapacity - 1);
    std::memmove(dst, text, n);
    dst[n] = 0;
}

struct Callbacks {
    static PF_Err PF_CALLBACK add_param(PF_ProgPtr ref, PF_ParamIndex index, PF_ParamDefPtr def) {
        Host::Impl* h = impl_of(ref);
        if (h == nullptr || def == nullptr || index != PF_Param_APPEND) return kRefusedErr;
        const int at = h->registered + 1;
        if (at >= kParamCount) {
            h->registrations_match = false;
            return kRefusedErr;
        }
        PF_ParamDef copy = *def;
        copy.name[sizeof copy.name - 1] = 0;
        const ParamSpec& spec = param_spec(static_cast<ParamIndex>(at));
        if (copy.param_type != static_cast<PF_ParamType>(spec.type)) {
            h->registrations_match = false;
        }
        // The choices live in the table for as long as the program runs.
        if (copy.param_type == PF_Param_POPUP) copy.u.pd.u.namesptr = spec.choices;
        h->defaults[at] = copy;
        h->registered = at;
        return PF_Err_NONE;
    }

    static PF_Err PF_CALLBACK progress(PF_ProgPtr ref, A_long done, A_long total) {
        Host::Impl* h = impl_of(ref);
        if (h == nullptr) return kRefusedErr;
        if (h->progress != nullptr) h->progress(h->progress_user, done, total);
        return PF_Err_NONE;
    }

    static PF_Err PF_CALLBACK copy(PF_ProgPtr ref, PF_EffectWorld* src, PF_EffectWorld* dst,
                                   PF_Rect* src_r, PF_Rect* dst_r) {
        if (impl_of(ref) == nullptr || !usable(src) || !usable(dst)) return kRefusedErr;
        // No scaling: the overlapping part of the two rectangles is copied.
        const PF_Rect s = clip(src_r, *src);
        const PF_Rect d = clip(dst_r, *dst);
        const A_long w = std::min(s.right - s.left, d.right - d.left);
        const A_long hgt = std::min(s.bottom - s.top, d.bottom - d.top);
        const bool same_depth = pixel_size(*src) == pixel_size(*dst);
        for (A_long y = 0; y < hgt; ++y) {
            if (same_depth) {
                std::memmove(pixel_at(*dst, d.left, d.top + y), pixel_at(*src, s.left, s.top + y),
                             static_cast<std::size_t>(w) * pixel_size(*src));
                continue;
            }
            for (A_long x = 0; x < w; ++x) {
                write_pixel(*dst, d.left + x, d.top + y, read_pixel(*src, s.left + x, s.top + y));
            }
        }
        return PF_Err_NONE;
    }

    static PF_Err PF_CALLBACK fill(PF_ProgPtr ref, const PF_Pixel* color, const PF_Rect* dst_rect,
                                   PF_EffectWorld* world) {
        if (impl_of(ref) == nullptr || color == nullptr || !usable(world)) return kRefusedErr;
        const PF_Rect r = clip(dst_rect, *world);
        const bool deep = (world->world_flags & PF_WorldFlag_DEEP) != 0;
        const std::array<A_u_short, 4> c16 = {to_16(color->alpha), to_16(color->red),
                                              to_16(color->green), to_16(color->blue)};
        // The first row pixel by pixel, the others as copies of it.
        for (A_long x = r.left; x < r.right && r.top < r.bottom; ++x) {
            if (deep) {
                write_pixel(*world, x, r.top, c16);
            } else {
                std::memcpy(pixel_at(*world, x, r.top), color, sizeof *color);
            }
        }
        const std::size_t row_bytes =
            static_cast<std::size_t>(r.right - r.left) * pixel_size(*world);
        for (A_long y = r.top + 1; y < r.bottom && row_bytes > 0; ++y) {
            std::memcpy(pixel_at(*world, r.left, y), pixel_at(*world, r.left, r.top), row_bytes);
        }
        return PF_Err_NONE;
    }

    static PF_Handle PF_CALLBACK new_handle(A_HandleSize size) {
        Host::Impl* h = t_current;
        if (h == nullptr || size > std::numeric_limits<std::size_t>::max()) return nullptr;
        PF_Handle handle = nullptr;
        h->allocate(static_cast<std::size_t>(size), handle);
        return handle;
    }

    static void* PF_CALLBACK lock_handle(PF_Handle handle) {
        HandleBlock* block = block_of(handle);
        return block != nullptr ? block->master : nullptr;
    }

    static void PF_CALLBACK unlock_handle(PF_Handle) {}

    static void PF_CALLBACK dispose_handle(PF_Handle handle) {
        HandleBlock* block = block_of(handle);
        // The global data belongs to the host until the end.
        if (block == nullptr || handle == block->owner->global_data) return;
        block->owner->release(block);
    }

    static A_HandleSize PF_CALLBACK handle_size(PF_Handle handle) {
        const HandleBlock* block = block_of(handle);
        return block != nullptr ? static_cast<A_HandleSize>(block->size) : 0;
    }

    static PF_Err PF_CALLBACK resize_handle(A_HandleSize new_size, PF_Handle* handle) {
        HandleBlock* block = handle != nullptr ? block_of(*handle) : nullptr;
        if (block == nullptr || *handle == block->owner->global_data ||
            new_size > std::numeric_limits<std::size_t>::max()) {
            return kRefusedErr;
        }
        PF_Handle fresh = nullptr;
        void* data = block->owner->allocate(static_cast<std::size_t>(new_size), fresh);
        if (data == nullptr) return kRefusedErr;
        std::memcpy(data, block->master, std::min(block->size, static_cast<std::size_t>(new_size)));
        block->owner->release(block);
        *handle = fresh;
        return PF_Err_NONE;
    }

    static int PF_CALLBACK ansi_sprintf(A_char* buffer, const A_char* format, ...) {
        if (buffer == nullptr || format == nullptr) return -1;
        char text[kMessageCapacity];
        va_list args;
        va_start(args, format);
        const int n = std::vsnprintf(text, sizeof text, format, args);
        va_end(args);
        if (n < 0) {
            buffer[0] = 0;
            return -1;
        }
        store_text(buffer, text);
        return n;
    }

    static A_char* PF_CALLBACK ansi_strcpy(A_char* dst, const A_char* src) {
        if (dst == nullptr || src == nullptr) return nullptr;
        store_text(dst, src);
        return dst;
    }

    static A_long PF_CALLBACK acquire_suite(const A_char* name, A_long version, const void** suite);
    static A_long PF_CALLBACK release_suite(const A_char* name, A_long version);

    static PF_Err PF_CALLBACK register_with_aegp(AEGP_GlobalRefcon, const A_char* name,
                                                 AEGP_PluginID* id) {
        if (name == nullptr || id == nullptr) return kRefusedErr;
        *id = kPluginId;
        return PF_Err_NONE;
    }

    static PF_Err PF_CALLBACK get_new_effect_for_effect(AEGP_PluginID id, PF_ProgPtr ref,
                                                        AEGP_EffectRefH* effect) {
        Host::Impl* h = impl_of(ref);
        if (h == nullptr || effect == nullptr || id != kPluginId) return kRefusedErr;
        ++h->effect_rec.refs;
        *effect = reinterpret_cast<AEGP_EffectRefH>(&h->effect_rec);
        return PF_Err_NONE;
    }

    static EffectRec* effect_of(AEGP_EffectRefH effect) {
        auto* rec = reinterpret_cast<EffectRec*>(effect);
        return rec != nullptr && rec->magic == kRefMagic && rec->refs > 0 ? rec : nullptr;
    }

    static StreamRec* stream_of(AEGP_StreamRefH stream) {
        auto* rec = reinterpret_cast<StreamRec*>(stream);
        return rec != nullptr && rec->magic == kRefMagic && rec->refs > 0 ? rec : nullptr;
    }

    static PF_Err PF_CALLBACK get_new_effect_stream_by_index(AEGP_PluginID id,
                                                             AEGP_EffectRefH effect,
                                                             PF_ParamIndex index,
                                                             AEGP_StreamRefH* stream) {
        EffectRec* rec = effect_of(effect);
        if (rec == nullptr || stream == nullptr || id != kPluginId || index < 1 ||
            index >= kParamCount) {
            return kRefusedErr;
        }
        StreamRec& s = rec->owner->streams[static_cast<std::size_t>(index)];
        ++s.refs;
        *stream = reinterpret_cast<AEGP_StreamRefH>(&s);
        return PF_Err_NONE;
    }

    static PF_Err PF_CALLBACK dispose_stream(AEGP_StreamRefH stream) {
        StreamRec* rec = stream_of(stream);
        if (rec == nullptr) return kRefusedErr;
        --rec->refs;
        return PF_Err_NONE;
    }

    static PF_Err PF_CALLBACK set_dynamic_stream_flag(AEGP_StreamRefH stream,
                                                      AEGP_DynStreamFlags flag, A_Boolean,
                                                      A_Boolean set) {
        StreamRec* rec = stream_of(stream);
        if (rec == nullptr || flag != AEGP_DynStreamFlag_HIDDEN) return kRefusedErr;
        rec->owner->hidden[static_cast<std::size_t>(rec->index)] = set != 0;
        return PF_Err_NONE;
    }

    static PF_Err PF_CALLBACK dispose_effect(AEGP_EffectRefH effect) {
        EffectRec* rec = effect_of(effect);
        if (rec == nullptr) return kRefusedErr;
        --rec->refs;
        return PF_Err_NONE;
    }
};

using CB = Callbacks;

template <typename Table>
void refuse_ansi_math(Table& s) {
    ZX_REFUSE(s, atan);
    ZX_REFUSE(s, atan2);
    ZX_REFUSE(s, ceil);
    ZX_REFUSE(s, cos);
    ZX_REFUSE(s, exp);
    ZX_REFUSE(s, fabs);
    ZX_REFUSE(s, floor);
    ZX_REFUSE(s, fmod);
    ZX_REFUSE(s, hypot);
    ZX_REFUSE(s, log);
    ZX_REFUSE(s, log10);
    ZX_REFUSE(s, pow);
    ZX_REFUSE(s, sin);
    ZX_REFUSE(s, sqrt);
    ZX_REFUSE(s, tan);
    ZX_REFUSE(s, asin);
    ZX_REFUSE(s, acos);
}

PF_HandleSuite1 make_handle_suite() {
    return PF_HandleSuite1{CB::new_handle,     CB::lock_handle, CB::unlock_handle,
                           CB::dispose_handle, CB::handle_size, CB::resize_handle};
}

PF_ANSICallbacksSuite1 make_ansi_suite() {
    PF_ANSICallbacksSuite1 s{};
    refuse_ansi_math(s);
    s.sprintf = CB::ansi_sprintf;
    s.strcpy = CB::ansi_strcpy;
    return s;
}

AEGP_UtilitySuite3 make_utility_suite() {
    AEGP_UtilitySuite3 s{};
    ZX_REFUSE(s, AEGP_ReportInfo);
    ZX_REFUSE(s, AEGP_GetDriverPluginInitFuncVersion);
    ZX_REFUSE(s, AEGP_GetDriverImplementationVersion);
    ZX_REFUSE(s, AEGP_StartQuietErrors);
    ZX_REFUSE(s, AEGP_EndQuietErrors);
    ZX_REFUSE(s, AEGP_StartUndoGroup);
    ZX_REFUSE(s, AEGP_EndUndoGroup);
    s.AEGP_RegisterWithAEGP = CB::register_with_aegp;
    ZX_REFUSE(s, AEGP_GetMainHWND);
    ZX_REFUSE(s, AEGP_ShowHideAllFloaters);
    ZX_REFUSE(s, AEGP_PaintPalGetForeColor);
    ZX_REFUSE(s, AEGP_PaintPalGetBackColor);
    ZX_REFUSE(s, AEGP_PaintPalSetForeColor);
    ZX_REFUSE(s, AEGP_PaintPalSetBackColor);
    ZX_REFUSE(s, AEGP_CharPalGetFillColor);
    ZX_REFUSE(s, AEGP_CharPalGetStrokeColor);
    ZX_REFUSE(s, AEGP_CharPalSetFillColor);
    ZX_REFUSE(s, AEGP_CharPalSetStrokeColor);
    ZX_REFUSE(s, AEGP_CharPalIsFillColorUIFrontmost);
    ZX_REFUSE(s, AEGP_ConvertFpLongToHSFRatio);
    ZX_REFUSE(s, AEGP_ConvertHSFRatioToFpLong);
    ZX_REFUSE(s, AEGP_CauseIdleRoutinesToBeCalled);
    ZX_REFUSE(s, AEGP_GetSuppressInteractiveUI);
    ZX_REFUSE(s, AEGP_WriteToOSConsole);
    ZX_REFUSE(s, AEGP_WriteToDebugLog);
    return s;
}

AEGP_PFInterfaceSuite1 make_pf_interface_suite() {
    AEGP_PFInterfaceSuite1 s{};
    ZX_REFUSE(s, AEGP_GetEffectLayer);
    s.AEGP_GetNewEffectForEffect = CB::get_new_effect_for_effect;
    ZX_REFUSE(s, AEGP_ConvertEffectToCompTime);
    ZX_REFUSE(s, AEGP_GetEffectCamera);
    ZX_REFUSE(s, AEGP_GetEffectCameraMatrix);
    return s;
}

AEGP_StreamSuite2 make_stream_suite() {
    AEGP_StreamSuite2 s{};
    ZX_REFUSE(s, AEGP_IsStreamLegal);
    ZX_REFUSE(s, AEGP_CanVaryOverTime);
    ZX_REFUSE(s, AEGP_GetValidInterpolations);
    ZX_REFUSE(s, AEGP_GetNewLayerStream);
    ZX_REFUSE(s, AEGP_GetEffectNumParamStreams);
    s.AEGP_GetNewEffectStreamByIndex = CB::get_new_effect_stream_by_index;
    ZX_REFUSE(s, AEGP_GetNewMaskStream);
    s.AEGP_DisposeStream = CB::dispose_stream;
    ZX_REFUSE(s, AEGP_GetStreamName);
    ZX_REFUSE(s, AEGP_GetStreamUnitsText);
    ZX_REFUSE(s, AEGP_GetStreamProperties);
    ZX_REFUSE(s, AEGP_IsStreamTimevarying);
    ZX_REFUSE(s, AEGP_GetStreamType);
    ZX_REFUSE(s, AEGP_GetNewStreamValue);
    ZX_REFUSE(s, AEGP_DisposeStreamValue);
    ZX_REFUSE(s, AEGP_SetStreamValue);
    ZX_REFUSE(s, AEGP_GetLayerStreamValue);
    ZX_REFUSE(s, AEGP_GetExpressionState);
    ZX_REFUSE(s, AEGP_SetExpressionState);
    ZX_REFUSE(s, AEGP_GetExpression);
    ZX_REFUSE(s, AEGP_SetExpression);
    ZX_REFUSE(s, AEGP_DuplicateStreamRef);
    return s;
}

AEGP_DynamicStreamSuite2 make_dynamic_stream_suite() {
    AEGP_DynamicStreamSuite2 s{};
    ZX_REFUSE(s, AEGP_GetNewStreamRefForLayer);
    ZX_REFUSE(s, AEGP_GetStreamDepth);
    ZX_REFUSE(s, AEGP_GetStreamGroupingType);
    ZX_REFUSE(s, AEGP_GetNumStreamsInGroup);
    ZX_REFUSE(s, AEGP_GetDynamicStreamFlags);
    s.AEGP_SetDynamicStreamFlag = CB::set_dynamic_stream_flag;
    ZX_REFUSE(s, AEGP_GetNewStreamRefByIndex);
    ZX_REFUSE(s, AEGP_GetNewStreamRefByMatchname);
    ZX_REFUSE(s, AEGP_DeleteStream);
    ZX_REFUSE(s, AEGP_ReorderStream);
    ZX_REFUSE(s, AEGP_DuplicateStream);
    ZX_REFUSE(s, AEGP_SetStreamName);
    ZX_REFUSE(s, AEGP_CanAddStream);
    ZX_REFUSE(s, AEGP_AddStream);
    ZX_REFUSE(s, AEGP_GetMatchName);
    ZX_REFUSE(s, AEGP_GetNewParentStreamRef);
    ZX_REFUSE(s, AEGP_GetStreamIsModified);
    return s;
}

AEGP_EffectSuite2 make_effect_suite() {
    AEGP_EffectSuite2 s{};
    ZX_REFUSE(s, AEGP_GetLayerNumEffects);
    ZX_REFUSE(s, AEGP_GetLayerEffectByIndex);
    ZX_REFUSE(s, AEGP_GetInstalledKeyFromLayerEffect);
    ZX_REFUSE(s, AEGP_GetEffectParamUnionByIndex);
    ZX_REFUSE(s, AEGP_GetEffectFlags);
    ZX_REFUSE(s, AEGP_SetEffectFlags);
    ZX_REFUSE(s, AEGP_ReorderEffect);
    ZX_REFUSE(s, AEGP_EffectCallGeneric);
    s.AEGP_DisposeEffect = CB::dispose_effect;
    ZX_REFUSE(s, AEGP_ApplyEffect);
    ZX_REFUSE(s, AEGP_DeleteLayerEffect);
    ZX_REFUSE(s, AEGP_GetNumInstalledEffects);
    ZX_REFUSE(s, AEGP_GetNextInstalledEffect);
    ZX_REFUSE(s, AEGP_GetEffectName);
    ZX_REFUSE(s, AEGP_GetEffectMatchName);
    ZX_REFUSE(s, AEGP_GetEffectCategory);
    ZX_REFUSE(s, AEGP_DuplicateEffect);
    return s;
}

// Filled once, read by every instance on every thread.
const PF_HandleSuite1 kHandleSuite = make_handle_suite();
const PF_ANSICallbacksSuite1 kAnsiSuite = make_ansi_suite();
const AEGP_UtilitySuite3 kUtilitySuite = make_utility_suite();
const AEGP_PFInterfaceSuite1 kPFInterfaceSuite = make_pf_interface_suite();
const AEGP_StreamSuite2 kStreamSuite = make_stream_suite();
const AEGP_DynamicStreamSuite2 kDynamicStreamSuite = make_dynamic_stream_suite();
const AEGP_EffectSuite2 kEffectSuite = make_effect_suite();

struct ServedSuite {
    const char* name;
    A_long version;
    const void* table;
};

const ServedSuite kServed[] = {
    {kPFHandleSuite, kPFHandleSuiteVersion, &kHandleSuite},
    {kPFANSISuite, kPFANSISuiteVersion1, &kAnsiSuite},
    {kAEGPUtilitySuite, kAEGPUtilitySuiteVersion7, &kUtilitySuite},
    {kAEGPPFInterfaceSuite, kAEGPPFInterfaceSuiteVersion1, &kPFInterfaceSuite},
    {kAEGPStreamSuite, kAEGPStreamSuiteVersion7, &kStreamSuite},
    {kAEGPDynamicStreamSuite, kAEGPDynamicStreamSuiteVersion2, &kDynamicStreamSuite},
    {kAEGPEffectSuite, kAEGPEffectSuiteVersion2, &kEffectSuite},
};

const void* served(const A_char* name, A_long version) {
    for (const ServedSuite& s : kServed) {
        if (s.version == version && std::strcmp(s.name, name) == 0) return s.table;
    }
    return nullptr;
}

}  // namespace

A_long PF_CALLBACK Callbacks::acquire_suite(const A_char* name, A_long version,
                                            const void** suite) {
    if (name == nullptr || suite == nullptr) return kRefusedErr;
    *suite = served(name, version);
    return *suite != nullptr ? PF_Err_NONE : kRefusedErr;
}

A_long PF_CALLBACK Callbacks::release_suite(const A_char* name, A_long version) {
    return name != nullptr && served(name, version) != nullptr ? PF_Err_NONE : kRefusedErr;
}

// ---------------------------------------------------------------------------------------------

Host::Impl::Impl() {
    ZX_REFUSE(utils, begin_sampling);
    ZX_REFUSE(utils, subpixel_sample);
    ZX_REFUSE(utils, area_sample);
    ZX_REFUSE(utils, end_sampling);
    ZX_REFUSE(utils, composite_rect);
    ZX_REFUSE(utils, blend);
    ZX_REFUSE(utils, convolve);
    ZX_REFUSE(utils, gaussian_kernel);
    ZX_REFUSE(utils, iterate);
    ZX_REFUSE(utils, premultiply);
    ZX_REFUSE(utils, premultiply_color);
    ZX_REFUSE(utils, new_world);
    ZX_REFUSE(utils, dispose_world);
    ZX_REFUSE(utils, iterate_origin);
    ZX_REFUSE(utils, iterate_lut);
    ZX_REFUSE(utils, transfer_rect);
    ZX_REFUSE(utils, transform_world);
    ZX_REFUSE(utils, get_callback_addr);
    ZX_REFUSE(utils, app);
    refuse_ansi_math(utils.ansi);
    ZX_REFUSE(utils.colorCB, RGBtoHLS);
    ZX_REFUSE(utils.colorCB, HLStoRGB);
    ZX_REFUSE(utils.colorCB, RGBtoYIQ);
    ZX_REFUSE(utils.colorCB, YIQtoRGB);
    ZX_REFUSE(utils.colorCB, Luminance);
    ZX_REFUSE(utils.colorCB, Hue);
    ZX_REFUSE(utils.colorCB, Lightness);
    ZX_REFUSE(utils.colorCB, Saturation);
    ZX_REFUSE(utils, get_platform_data);
    ZX_REFUSE(utils, iterate_origin_non_clip_src);
    ZX_REFUSE(utils, iterate_generic);
    ZX_REFUSE(utils, subpixel_sample16);
    ZX_REFUSE(utils, area_sample16);
    ZX_REFUSE(utils, fill16);
    ZX_REFUSE(utils, premultiply_color16);
    ZX_REFUSE(utils, iterate16);
    ZX_REFUSE(utils, iterate_origin16);
    ZX_REFUSE(utils, iterate_origin_non_clip_src16);
    ZX_REFUSE(utils, get_pixel_data8);
    ZX_REFUSE(utils, get_pixel_data16);
    ZX_REFUSE(basic, IsEqual);
    ZX_REFUSE(basic, AllocateBlock);
    ZX_REFUSE(basic, FreeBlock);
    ZX_REFUSE(basic, ReallocateBlock);
    ZX_REFUSE(basic, Undefined);
    ZX_REFUSE(in_data.inter, checkout_param);
    ZX_REFUSE(in_data.inter, checkin_param);
    ZX_REFUSE(in_data.inter, abort);
    ZX_REFUSE(in_data.inter, register_ui);
    ZX_REFUSE(in_data.inter, checkout_layer_audio);
    ZX_REFUSE(in_data.inter, checkin_layer_audio);
    ZX_REFUSE(in_data.inter, get_audio_data);

    utils.copy = CB::copy;
    utils.fill = CB::fill;
    utils.host_new_handle = CB::new_handle;
    utils.host_lock_handle = CB::lock_handle;
    utils.host_unlock_handle = CB::unlock_handle;
    utils.host_dispose_handle = CB::dispose_handle;
    utils.host_get_handle_size = CB::handle_size;
    utils.host_resize_handle = CB::resize_handle;
    utils.ansi.sprintf = CB::ansi_sprintf;
    utils.ansi.strcpy = CB::ansi_strcpy;
    basic.AcquireSuite = CB::acquire_suite;
    basic.ReleaseSuite = CB::release_suite;

    in_data.inter.add_param = CB::add_param;
    in_data.inter.progress = CB::progress;
    in_data.utils = &utils;
    in_data.effect_ref = reinterpret_cast<PF_ProgPtr>(this);
    in_data.downsample_x = {1, 1};
    in_data.downsample_y = {1, 1};
    in_data.pixel_aspect_ratio = {1, 1};
    in_data.pica_basicP = &basic;

    effect_rec.owner = this;
    for (std::size_t i = 0; i < streams.size(); ++i) {
        streams[i].owner = this;
        streams[i].index = static_cast<PF_ParamIndex>(i);
    }
    params[0].param_type = PF_Param_LAYER;
    defaults[0].param_type = PF_Param_LAYER;
    for (std::size_t i = 0; i < params.size(); ++i) param_ptrs[i] = &params[i];
}

Host::Impl::~Impl() {
    global_data = nullptr;
    while (handles != nullptr) release(handles);
    magic = 0;
}

void* Host::Impl::allocate(std::size_t size, PF_Handle& handle) {
    handle = nullptr;
    if (size > memory_limit - std::min(memory_limit, live_bytes) ||
        size > std::numeric_limits<std::size_t>::max() - sizeof(HandleBlock)) {
        return nullptr;
    }
    void* memory = ::operator new(sizeof(HandleBlock) + size, std::nothrow);
    if (memory == nullptr) return nullptr;
    auto* block = new (memory) HandleBlock{};
    auto* data = reinterpret_cast<std::uint8_t*>(block + 1);
    std::memset(data, 0, size);
    block->master = data;
    block->owner = this;
    block->size = size;
    block->next = handles;
    if (handles != nullptr) handles->prev = block;
    handles = block;
    ++live_handles;
    live_bytes += size;
    handle = &block->master;
    return data;
}

void Host::Impl::release(HandleBlock* block) {
    if (block->prev != nullptr) block->prev->next = block->next;
    if (block->next != nullptr) block->next->prev = block->prev;
    if (handles == block) handles = block->next;
    --live_handles;
    live_bytes -= block->size;
    block->magic = 0;
    block->~HandleBlock();
    ::operator delete(block);
}

PF_Err Host::Impl::send(PF_Cmd cmd, PF_LayerDef* output_world) {
    struct CallScope {
        Impl* saved;
        explicit CallScope(Impl* self) : saved(t_current) { t_current = self; }
        ~CallScope() { t_current = saved; }
        CallScope(const CallScope&) = delete;
        CallScope& operator=(const CallScope&) = delete;
    } scope(this);

    out_data = PF_OutData{};
    out_data.global_data = global_data;
    in_data.global_data = global_data;
    PF_Err err = PF_Err_NONE;
    try {
        err = EntryPointFunc(cmd, &in_data, &out_data, param_ptrs.data(), output_world, nullptr);
    } catch (...) {
        err = PF_Err_INTERNAL_STRUCT_DAMAGED;
    }
    out_data.return_msg[PF_MAX_EFFECT_MSG_LEN] = 0;
    result = err;
    return err;
}

void Host::Impl::setup() {
    if (send(PF_Cmd_GLOBAL_SETUP, nullptr) != PF_Err_NONE) {
        status = Status::effect_error;
        return;
    }
    version = out_data.my_version;
    if (block_of(out_data.global_data) != nullptr) global_data = out_data.global_data;
    registered = 0;
    registrations_match = true;
    if (send(PF_Cmd_PARAMS_SETUP, nullptr) != PF_Err_NONE) {
        status = Status::effect_error;
        return;
    }
    if (!registrations_match || registered != kParamCount - 1) {
        status = Status::effect_error;
        return;
    }
    for (int i = 1; i < kParamCount; ++i) {
        PF_ParamDef& d = defaults[static_cast<std::size_t>(i)];
        switch (d.param_type) {
            case PF_Param_POPUP:
                d.u.pd.value = d.u.pd.dephault;
                break;
            case PF_Param_SLIDER:
                d.u.sd.value = d.u.sd.dephault;
                break;
            case PF_Param_FIX_SLIDER:
                d.u.fd.value = d.u.fd.dephault;
                break;
            case PF_Param_COLOR:
                d.u.cd.value = d.u.cd.dephault;
                break;
            default:
                break;
        }
    }
    params = defaults;
}

// ---------------------------------------------------------------------------------------------

const char* status_text(Status status) {
    switch (status) {
        case Status::ok:
            return "ok";
        case Status::bad_argument:
            return "bad argument";
        case Status::out_of_memory:
            return "out of memory";
        case Status::effect_error:
            return "the effect failed";
    }
    return "?";
}

Host::Host() noexcept : impl_(new (std::nothrow) Impl) {
    if (impl_) impl_->setup();
}

Host::~Host() = default;

Status Host::status() const {
    return impl_ ? impl_->status : Status::out_of_memory;
}

const char* Host::message() const {
    return impl_ ? impl_->out_data.return_msg : "";
}

PF_Err Host::effect_result() const {
    return impl_ ? impl_->result : PF_Err_NONE;
}

A_u_long Host::effect_version() const {
    return impl_ ? impl_->version : 0;
}

Status Host::about(std::string& text) {
    if (status() != Status::ok) return status();
    if (impl_->send(PF_Cmd_ABOUT, nullptr) != PF_Err_NONE) return Status::effect_error;
    try {
        text = impl_->out_data.return_msg;
    } catch (...) {
        return Status::out_of_memory;
    }
    return Status::ok;
}

namespace {

bool whole(double v) {
    return std::isfinite(v) && v == std::floor(v);
}

}  // namespace

Status Host::set_value(int index, double value) {
    if (status() != Status::ok) return status();
    if (index < 1 || index >= kParamCount || !std::isfinite(value)) return Status::bad_argument;
    const ParamSpec& spec = param_spec(static_cast<ParamIndex>(index));
    PF_ParamDef& def = impl_->params[static_cast<std::size_t>(index)];
    switch (spec.type) {
        case ParamType::popup:
            if (!whole(value) || value < 1 || value > choice_count(spec.choices)) break;
            def.u.pd.value = static_cast<A_long>(value);
            return Status::ok;
        case ParamType::slider:
            if (!whole(value) || value < spec.valid_min || value > spec.valid_max) break;
            def.u.sd.value = static_cast<A_long>(value);
            return Status::ok;
        case ParamType::percent:
            if (value < spec.valid_min || value > spec.valid_max) break;
            def.u.fd.value = static_cast<PF_Fixed>(std::lround(value * 65536.0));
            return Status::ok;
        default:
            break;
    }
    return Status::bad_argument;
}

Status Host::set_fixed(int index, PF_Fixed value) {
    if (status() != Status::ok) return status();
    if (index < 1 || index >= kParamCount) return Status::bad_argument;
    const ParamSpec& spec = param_spec(static_cast<ParamIndex>(index));
    if (spec.type != ParamType::percent || value < spec.valid_min * 65536 ||
        value > spec.valid_max * 65536) {
        return Status::bad_argument;
    }
    impl_->params[static_cast<std::size_t>(index)].u.fd.value = value;
    return Status::ok;
}

Status Host::set_color(int index, PF_Pixel value) {
    if (status() != Status::ok) return status();
    if (index < 1 || index >= kParamCount ||
        param_spec(static_cast<ParamIndex>(index)).type != ParamType::color) {
        return Status::bad_argument;
    }
    impl_->params[static_cast<std::size_t>(index)].u.cd.value = value;
    return Status::ok;
}

void Host::reset_values() {
    if (status() == Status::ok) impl_->params = impl_->defaults;
}

const PF_ParamDef* Host::param(int index) const {
    if (status() != Status::ok || index < 1 || index >= kParamCount) return nullptr;
    return &impl_->params[static_cast<std::size_t>(index)];
}

Status Host::set_downsample(A_long num, A_u_long den) {
    if (status() != Status::ok) return status();
    if (num < 1 || den < 1) return Status::bad_argument;
    impl_->in_data.downsample_x = {num, den};
    return Status::ok;
}

namespace {

constexpr std::array<int, 4> kArgbFromRgba = {3, 0, 1, 2};  // effect channel i is rgba channel

template <typename Channel>
void rgba_to_argb(const std::uint8_t* src, std::uint8_t* dst, int width) {
    for (int x = 0; x < width; ++x) {
        Channel in[4];
        std::memcpy(in, src + static_cast<std::size_t>(x) * sizeof in, sizeof in);
        Channel out[4];
        for (int i = 0; i < 4; ++i) out[i] = in[kArgbFromRgba[static_cast<std::size_t>(i)]];
        std::memcpy(dst + static_cast<std::size_t>(x) * sizeof out, out, sizeof out);
    }
}

template <typename Channel>
void argb_to_rgba(const std::uint8_t* src, std::uint8_t* dst, int width) {
    for (int x = 0; x < width; ++x) {
        Channel in[4];
        std::memcpy(in, src + static_cast<std::size_t>(x) * sizeof in, sizeof in);
        Channel out[4];
        for (int i = 0; i < 4; ++i) out[kArgbFromRgba[static_cast<std::size_t>(i)]] = in[i];
        std::memcpy(dst + static_cast<std::size_t>(x) * sizeof out, out, sizeof out);
    }
}

bool overlap(const std::uint8_t* a, std::size_t a_size, const std::uint8_t* b, std::size_t b_size) {
    const auto pa = reinterpret_cast<std::uintptr_t>(a);
    const auto pb = reinterpret_cast<std::uintptr_t>(b);
    return pa < pb + b_size && pb < pa + a_size;
}

}  // namespace

Status Host::render(const FrameFormat& format, const void* input, std::ptrdiff_t input_row_bytes,
                    void* output, std::ptrdiff_t output_row_bytes, ProgressFn progress,
                    void* progress_user) {
    if (status() != Status::ok) return status();
    const bool deep = format.depth == Depth::sixteen;
    const std::ptrdiff_t pixel = deep ? 8 : 4;
    constexpr std::ptrdiff_t kMaxRowBytes = std::numeric_limits<A_long>::max();
    if (input == nullptr || output == nullptr || format.width < 1 || format.height < 1 ||
        format.width > kMaxRowBytes / pixel || input_row_bytes < format.width * pixel ||
        output_row_bytes < format.width * pixel || input_row_bytes > kMaxRowBytes ||
        output_row_bytes > kMaxRowBytes) {
        return Status::bad_argument;
    }
    // 16-bit channels are read in place in the effect's own order.
    if (deep && format.channels == Channels::argb &&
        (reinterpret_cast<std::uintptr_t>(input) % alignof(PF_Pixel16) != 0 ||
         reinterpret_cast<std::uintptr_t>(output) % alignof(PF_Pixel16) != 0 ||
         input_row_bytes % static_cast<std::ptrdiff_t>(alignof(PF_Pixel16)) != 0 ||
         output_row_bytes % static_cast<std::ptrdiff_t>(alignof(PF_Pixel16)) != 0)) {
        return Status::bad_argument;
    }
    const std::size_t height = static_cast<std::size_t>(format.height);
    const std::size_t line = static_cast<std::size_t>(format.width * pixel);
    const auto* in = static_cast<const std::uint8_t*>(input);
    auto* out = static_cast<std::uint8_t*>(output);
    const std::size_t in_span = (height - 1) * static_cast<std::size_t>(input_row_bytes) + line;
    const std::size_t out_span = (height - 1) * static_cast<std::size_t>(output_row_bytes) + line;

    Impl& h = *impl_;
    const bool convert = format.channels == Channels::rgba;
    const bool copy_input = convert || overlap(in, in_span, out, out_span);
    try {
        if (copy_input) h.scratch_in.resize(line * height);
        if (convert) h.scratch_out.resize(line * height);
    } catch (const std::bad_alloc&) {
        return Status::out_of_memory;
    }

    const std::uint8_t* layer = in;
    std::ptrdiff_t layer_row_bytes = input_row_bytes;
    if (copy_input) {
        for (std::size_t y = 0; y < height; ++y) {
            const std::uint8_t* src = in + y * static_cast<std::size_t>(input_row_bytes);
            std::uint8_t* dst = h.scratch_in.data() + y * line;
            if (!convert) {
                std::memcpy(dst, src, line);
            } else if (deep) {
                rgba_to_argb<A_u_short>(src, dst, format.width);
            } else {
                rgba_to_argb<A_u_char>(src, dst, format.width);
            }
        }
        layer = h.scratch_in.data();
        layer_row_bytes = static_cast<std::ptrdiff_t>(line);
    }

    PF_LayerDef& world = h.params[0].u.ld;
    world = PF_LayerDef{};
    world.world_flags = deep ? PF_WorldFlag_DEEP : 0;
    // The effect only reads its input layer.
    world.data = reinterpret_cast<PF_PixelPtr>(const_cast<std::uint8_t*>(layer));
    world.rowbytes = static_cast<A_long>(layer_row_bytes);
    world.width = format.width;
    world.height = format.height;
    world.extent_hint = {0, 0, format.width, format.height};
    world.pix_aspect_ratio = {1, 1};

    h.output = world;
    h.output.data = reinterpret_cast<PF_PixelPtr>(convert ? h.scratch_out.data() : out);
    h.output.rowbytes = convert ? static_cast<A_long>(line) : static_cast<A_long>(output_row_bytes);

    h.in_data.width = format.width;
    h.in_data.height = format.height;
    h.in_data.extent_hint = {0, 0, format.width, format.height};
    h.progress = progress;
    h.progress_user = progress_user;
    const PF_Err err = h.send(PF_Cmd_RENDER, &h.output);
    h.progress = nullptr;
    h.progress_user = nullptr;
    h.params[0].u.ld = PF_LayerDef{};
    // A render reports trouble through its message even when it returns 0.
    if (err != PF_Err_NONE || h.out_data.return_msg[0] != 0) return Status::effect_error;

    if (convert) {
        for (std::size_t y = 0; y < height; ++y) {
            const std::uint8_t* src = h.scratch_out.data() + y * line;
            std::uint8_t* dst = out + y * static_cast<std::size_t>(output_row_bytes);
            if (deep) {
                argb_to_rgba<A_u_short>(src, dst, format.width);
            } else {
                argb_to_rgba<A_u_char>(src, dst, format.width);
            }
        }
    }
    return Status::ok;
}

Status Host::query_visibility(Visibility& hidden) {
    if (status() != Status::ok) return status();
    if (impl_->send(PF_Cmd_UPDATE_PARAMS_UI, nullptr) != PF_Err_NONE) return Status::effect_error;
    hidden = impl_->hidden;
    return Status::ok;
}

void Host::set_memory_limit(std::size_t bytes) {
    if (impl_) impl_->memory_limit = bytes;
}

int Host::live_handles() const {
    if (!impl_) return 0;
    return impl_->live_handles - (impl_->global_data != nullptr ? 1 : 0);
}

std::size_t Host::live_handle_bytes() const {
    if (!impl_) return 0;
    const HandleBlock* global = block_of(impl_->global_data);
    return impl_->live_bytes - (global != nullptr ? global->size : 0);
}

}  // namespace zx::embed
