#include "simhost/embedded_host.h"

#include <algorithm>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <new>
#include <type_traits>

#include "core/param_snapshot.h"
#include "entry/entry_point.h"
#include "hostkit/host_tables.h"
#include "hostkit/host_worlds.h"
#include "render/render_pass.h"

namespace simhost::embedded {

namespace {

constexpr std::uint32_t kHostMagic = 0x5A58484Fu;    // "ZXHO"
constexpr std::uint32_t kHandleMagic = 0x5A584844u;  // "ZXHD"
constexpr std::uint32_t kRefMagic = 0x5A585246u;     // "ZXRF"
constexpr AEGP_PluginID kPluginId = 1;
constexpr PF_Err kRefusedErr = PF_Err_BAD_CALLBACK_PARAM;
constexpr std::size_t kMessageCapacity = PF_MAX_EFFECT_MSG_LEN + 1;

// Function slots the effect does not use fail in the way their result type allows.
struct Refused {
    static constexpr PF_Err kErr = kRefusedErr;
    static void called(const char*) {}
};

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

// Rows the host converts or copies for a render. Memory comes from malloc, whose failure is a
// null on every target: operator new throws, and where exceptions are off (WebAssembly)
// aborts, even in its nothrow form.
struct Scratch {
    std::uint8_t* data = nullptr;
    std::size_t size = 0;

    Scratch() = default;
    Scratch(const Scratch&) = delete;
    Scratch& operator=(const Scratch&) = delete;
    ~Scratch() { std::free(data); }

    bool reserve(std::size_t bytes) {
        if (bytes <= size) return true;
        release();
        data = static_cast<std::uint8_t*>(std::malloc(bytes));
        size = data != nullptr ? bytes : 0;
        return data != nullptr;
    }
    void release() {
        std::free(data);
        data = nullptr;
        size = 0;
    }
};

// The instance whose command is running on this thread. Only host_new_handle needs it: every
// other callback reaches its instance through an argument (the effect reference, a handle's
// header, a stream or effect reference), so instances on different threads never meet.
thread_local Host::Impl* t_current = nullptr;

}  // namespace

// ---------------------------------------------------------------------------------------------

struct Host::Impl {
    // Made with malloc too, so that the constructor's nothrow new never aborts.
    static void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
        return std::malloc(size);
    }
    static void operator delete(void* memory) noexcept { std::free(memory); }
    static void operator delete(void* memory, const std::nothrow_t&) noexcept { std::free(memory); }

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

    Scratch scratch_in;
    Scratch scratch_out;
    PF_LayerDef output{};

    Impl();
    ~Impl();
    Impl(const Impl&) = delete;
    Impl& operator=(const Impl&) = delete;

    PF_Err send(PF_Cmd cmd, PF_LayerDef* output_world);
    // The render of float worlds, called as the Render command is sent.
    PF_Err send_float_render(PF_LayerDef* output_world);
    template <class Call>
    PF_Err call(Call call);
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
        const ParamEntry& entry = param_entry(static_cast<ParamIndex>(at));
        if (copy.param_type != static_cast<PF_ParamType>(entry.type)) {
            h->registrations_match = false;
        }
        // The choices live in the table for as long as the program runs.
        if (copy.param_type == PF_Param_POPUP) copy.u.pd.u.namesptr = entry.choices;
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
        if (impl_of(ref) == nullptr) return kRefusedErr;
        return zx::hostkit::copy_world(src, dst, src_r, dst_r) ? PF_Err_NONE : kRefusedErr;
    }

    static PF_Err PF_CALLBACK fill(PF_ProgPtr ref, const PF_Pixel* color, const PF_Rect* dst_rect,
                                   PF_EffectWorld* world) {
        if (impl_of(ref) == nullptr) return kRefusedErr;
        return zx::hostkit::fill_world(color, dst_rect, world) ? PF_Err_NONE : kRefusedErr;
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

PF_HandleSuite1 make_handle_suite() {
    return PF_HandleSuite1{CB::new_handle,     CB::lock_handle, CB::unlock_handle,
                           CB::dispose_handle, CB::handle_size, CB::resize_handle};
}

// Filled once, read by every instance on every thread.
const zx::hostkit::SuiteTables kSuites =
    zx::hostkit::make_suite_tables<Refused, CB>(make_handle_suite());

const void* served(const A_char* name, A_long version) {
    return zx::hostkit::find_suite(kSuites, name, version);
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
    zx::hostkit::fill_host_records<Refused, CB>(utils, basic, in_data.inter);
    utils.host_get_handle_size = CB::handle_size;
    utils.host_resize_handle = CB::resize_handle;
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
    void* memory = std::malloc(sizeof(HandleBlock) + size);
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
    std::free(block);
}

template <class Call>
PF_Err Host::Impl::call(Call call) {
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
        err = call();
    } catch (...) {
        err = PF_Err_INTERNAL_STRUCT_DAMAGED;
    }
    out_data.return_msg[PF_MAX_EFFECT_MSG_LEN] = 0;
    result = err;
    return err;
}

PF_Err Host::Impl::send(PF_Cmd cmd, PF_LayerDef* output_world) {
    return call([&] {
        return EntryPointFunc(cmd, &in_data, &out_data, param_ptrs.data(), output_world, nullptr);
    });
}

PF_Err Host::Impl::send_float_render(PF_LayerDef* output_world) {
    return call([&] { return render_float(&in_data, &out_data, param_ptrs.data(), output_world); });
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
    const ParamEntry& entry = param_entry(static_cast<ParamIndex>(index));
    PF_ParamDef& def = impl_->params[static_cast<std::size_t>(index)];
    switch (entry.type) {
        case ParamType::popup:
            if (!whole(value) || value < 1 || value > choice_count(entry.choices)) break;
            def.u.pd.value = static_cast<A_long>(value);
            return Status::ok;
        case ParamType::slider:
            if (!whole(value) || value < entry.valid_min || value > entry.valid_max) break;
            def.u.sd.value = static_cast<A_long>(value);
            return Status::ok;
        case ParamType::percent:
            if (value < entry.valid_min || value > entry.valid_max) break;
            def.u.fd.value = percent_to_fixed(value);
            return Status::ok;
        default:
            break;
    }
    return Status::bad_argument;
}

Status Host::set_fixed(int index, PF_Fixed value) {
    if (status() != Status::ok) return status();
    if (index < 1 || index >= kParamCount) return Status::bad_argument;
    const ParamEntry& entry = param_entry(static_cast<ParamIndex>(index));
    if (entry.type != ParamType::percent || value < entry.valid_min * 65536 ||
        value > entry.valid_max * 65536) {
        return Status::bad_argument;
    }
    impl_->params[static_cast<std::size_t>(index)].u.fd.value = value;
    return Status::ok;
}

Status Host::set_color(int index, PF_Pixel value) {
    if (status() != Status::ok) return status();
    if (index < 1 || index >= kParamCount ||
        param_entry(static_cast<ParamIndex>(index)).type != ParamType::color) {
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
    const bool real = format.depth == Depth::float32;
    const std::ptrdiff_t pixel = real ? 16 : deep ? 8 : 4;
    const std::ptrdiff_t channel = pixel / 4;
    constexpr std::ptrdiff_t kMaxRowBytes = std::numeric_limits<A_long>::max();
    if (input == nullptr || output == nullptr || format.width < 1 || format.height < 1 ||
        format.width > kMaxRowBytes / pixel || input_row_bytes < format.width * pixel ||
        output_row_bytes < format.width * pixel || input_row_bytes > kMaxRowBytes ||
        output_row_bytes > kMaxRowBytes) {
        return Status::bad_argument;
    }
    // 16-bit and float channels are read in place in the effect's own order.
    const auto align = static_cast<std::uintptr_t>(channel);
    if (channel > 1 && format.channels == Channels::argb &&
        (reinterpret_cast<std::uintptr_t>(input) % align != 0 ||
         reinterpret_cast<std::uintptr_t>(output) % align != 0 || input_row_bytes % channel != 0 ||
         output_row_bytes % channel != 0)) {
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
    // A frame whose rows the address space cannot hold (a 32-bit one) finds no room either.
    if (line > std::numeric_limits<std::size_t>::max() / height ||
        (copy_input && !h.scratch_in.reserve(line * height)) ||
        (convert && !h.scratch_out.reserve(line * height))) {
        h.scratch_in.release();  // for the next, smaller frame
        h.scratch_out.release();
        return Status::out_of_memory;
    }

    const std::uint8_t* layer = in;
    std::ptrdiff_t layer_row_bytes = input_row_bytes;
    if (copy_input) {
        for (std::size_t y = 0; y < height; ++y) {
            const std::uint8_t* src = in + y * static_cast<std::size_t>(input_row_bytes);
            std::uint8_t* dst = h.scratch_in.data + y * line;
            if (!convert) {
                std::memcpy(dst, src, line);
            } else if (real) {
                rgba_to_argb<float>(src, dst, format.width);
            } else if (deep) {
                rgba_to_argb<A_u_short>(src, dst, format.width);
            } else {
                rgba_to_argb<A_u_char>(src, dst, format.width);
            }
        }
        layer = h.scratch_in.data;
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
    h.output.data = reinterpret_cast<PF_PixelPtr>(convert ? h.scratch_out.data : out);
    h.output.rowbytes = convert ? static_cast<A_long>(line) : static_cast<A_long>(output_row_bytes);

    h.in_data.width = format.width;
    h.in_data.height = format.height;
    h.in_data.extent_hint = {0, 0, format.width, format.height};
    h.progress = progress;
    h.progress_user = progress_user;
    const PF_Err err = real ? h.send_float_render(&h.output) : h.send(PF_Cmd_RENDER, &h.output);
    h.progress = nullptr;
    h.progress_user = nullptr;
    h.params[0].u.ld = PF_LayerDef{};
    // A render reports trouble through its message even when it returns 0.
    if (err != PF_Err_NONE || h.out_data.return_msg[0] != 0) return Status::effect_error;

    if (convert) {
        for (std::size_t y = 0; y < height; ++y) {
            const std::uint8_t* src = h.scratch_out.data + y * line;
            std::uint8_t* dst = out + y * static_cast<std::size_t>(output_row_bytes);
            if (real) {
                argb_to_rgba<float>(src, dst, format.width);
            } else if (deep) {
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

}  // namespace simhost::embedded
