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

namespace simhost {

namespace {

// The host the context-free callbacks talk to; see "The current host" in the header.
SimHost* g_current = nullptr;

SimHost& host() {
    if (g_current == nullptr) {
        std::fputs("simhost: a host callback was called with no host alive\n", stderr);
        std::abort();
    }
    return *g_current;
}

constexpr std::array<HostFn, kHostFnCount> kAllFns = {
    HostFn::add_param,
    HostFn::progress,
    HostFn::copy,
    HostFn::fill,
    HostFn::new_handle,
    HostFn::lock_handle,
    HostFn::unlock_handle,
    HostFn::dispose_handle,
    HostFn::sprintf,
    HostFn::strcpy,
    HostFn::acquire_suite,
    HostFn::release_suite,
    HostFn::register_with_aegp,
    HostFn::get_new_effect_for_effect,
    HostFn::get_new_effect_stream_by_index,
    HostFn::dispose_stream,
    HostFn::set_dynamic_stream_flag,
    HostFn::dispose_effect,
};

std::string describe(const std::string& name, A_long version) {
    return "\"" + name + "\" " + std::to_string(version);
}

int pixel_size(const PF_EffectWorld& w) {
    return (w.world_flags & PF_WorldFlag_DEEP) ? 8 : 4;
}

// A world the host can read or write: sizes not negative, and pixels behind a non-empty frame.
bool usable(const PF_EffectWorld* w) {
    if (w == nullptr || w->width < 0 || w->height < 0) {
        return false;
    }
    if (w->width == 0 || w->height == 0) {
        return true;
    }
    return w->data != nullptr && w->rowbytes >= w->width * pixel_size(*w);
}

std::uint8_t* pixel_at(const PF_EffectWorld& w, A_long x, A_long y) {
    return reinterpret_cast<std::uint8_t*>(w.data) + static_cast<std::ptrdiff_t>(y) * w.rowbytes +
           static_cast<std::ptrdiff_t>(x) * pixel_size(w);
}

// Reads one pixel as four 16-bit channels, converting 8-bit ones.
std::array<A_u_short, 4> read_pixel(const PF_EffectWorld& w, A_long x, A_long y) {
    const std::uint8_t* p = pixel_at(w, x, y);
    if (w.world_flags & PF_WorldFlag_DEEP) {
        PF_Pixel16 q;
        std::memcpy(&q, p, sizeof q);
        return {q.alpha, q.red, q.green, q.blue};
    }
    PF_Pixel8 q;
    std::memcpy(&q, p, sizeof q);
    return {channel8_to_16(q.alpha), channel8_to_16(q.red), channel8_to_16(q.green),
            channel8_to_16(q.blue)};
}

void write_pixel(const PF_EffectWorld& w, A_long x, A_long y, const std::array<A_u_short, 4>& c) {
    std::uint8_t* p = pixel_at(w, x, y);
    if (w.world_flags & PF_WorldFlag_DEEP) {
        const PF_Pixel16 q{c[0], c[1], c[2], c[3]};
        std::memcpy(p, &q, sizeof q);
        return;
    }
    const PF_Pixel8 q{channel16_to_8(c[0]), channel16_to_8(c[1]), channel16_to_8(c[2]),
                      channel16_to_8(c[3])};
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

// A function slot the effect has no business calling: the call is recorded as a misuse and
// fails in the way its result type allows.
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
        return static_cast<R>(kMisuseErr);
    }
}

void report_unused_call(const char* slot);

template <typename Fn, typename Name>
struct Trap;
template <typename R, typename... Args, typename Name>
struct Trap<R(PF_CALLBACK*)(Args...), Name> {
    static R PF_CALLBACK call(Args...) {
        report_unused_call(Name{}());
        return refusal<R>();
    }
};
template <typename R, typename... Args, typename Name>
struct Trap<R(PF_CALLBACK*)(Args..., ...), Name> {
    static R PF_CALLBACK call(Args..., ...) {
        report_unused_call(Name{}());
        return refusal<R>();
    }
};

template <typename Fn, typename Name>
Fn trap_of(Name) {
    return &Trap<Fn, Name>::call;
}

#define SIM_TRAP(table, record, slot) \
    ((table).slot =                   \
         trap_of<std::remove_cvref_t<decltype((table).slot)>>([] { return record "." #slot; }))

// A data member the effect has no business reading or writing.
struct UnusedSpan {
    const char* name;
    std::size_t offset;
    std::size_t size;
};

#define SIM_UNUSED(record, member)                                            \
    UnusedSpan {                                                              \
#record "." #member, offsetof(record, member), sizeof(record::member) \
    }
#define SIM_UNUSED_IN(record, outer, inner_record, member)                                        \
    UnusedSpan {                                                                                  \
#record "." #outer "." #member, offsetof(record, outer) + offsetof(inner_record, member), \
            sizeof(inner_record::member)                                                          \
    }

const UnusedSpan kUnusedInData[] = {
    SIM_UNUSED_IN(PF_InData, inter, PF_InteractCallbacks, reserved_str),
    SIM_UNUSED_IN(PF_InData, inter, PF_InteractCallbacks, reserved),
    SIM_UNUSED(PF_InData, quality),
    SIM_UNUSED(PF_InData, version),
    SIM_UNUSED(PF_InData, serial_num),
    SIM_UNUSED(PF_InData, appl_id),
    SIM_UNUSED(PF_InData, num_params),
    SIM_UNUSED(PF_InData, reserved),
    SIM_UNUSED(PF_InData, what_cpu),
    SIM_UNUSED(PF_InData, what_fpu),
    SIM_UNUSED(PF_InData, current_time),
    SIM_UNUSED(PF_InData, time_step),
    SIM_UNUSED(PF_InData, total_time),
    SIM_UNUSED(PF_InData, local_time_step),
    SIM_UNUSED(PF_InData, time_scale),
    SIM_UNUSED(PF_InData, field),
    SIM_UNUSED(PF_InData, shutter_angle),
    SIM_UNUSED(PF_InData, width),
    SIM_UNUSED(PF_InData, height),
    SIM_UNUSED(PF_InData, extent_hint),
    SIM_UNUSED(PF_InData, output_origin_x),
    SIM_UNUSED(PF_InData, output_origin_y),
    SIM_UNUSED(PF_InData, downsample_y),
    SIM_UNUSED(PF_InData, pixel_aspect_ratio),
    SIM_UNUSED(PF_InData, in_flags),
    SIM_UNUSED(PF_InData, sequence_data),
    SIM_UNUSED(PF_InData, frame_data),
    SIM_UNUSED(PF_InData, start_sampL),
    SIM_UNUSED(PF_InData, dur_sampL),
    SIM_UNUSED(PF_InData, total_sampL),
    SIM_UNUSED(PF_InData, src_snd),
    SIM_UNUSED(PF_InData, pre_effect_source_origin_x),
    SIM_UNUSED(PF_InData, pre_effect_source_origin_y),
    SIM_UNUSED(PF_InData, shutter_phase),
};

const UnusedSpan kUnusedUtils[] = {
    SIM_UNUSED(PF_UtilCallbacks, get_batch_func_is_deprecated),
    SIM_UNUSED_IN(PF_UtilCallbacks, ansi, PF_ANSICallbacks, ansi_procs),
    SIM_UNUSED(PF_UtilCallbacks, reserved),
};

const UnusedSpan kUnusedOutData[] = {
    SIM_UNUSED(PF_OutData, name),
    SIM_UNUSED(PF_OutData, sequence_data),
    SIM_UNUSED(PF_OutData, flat_sdata_size),
    SIM_UNUSED(PF_OutData, frame_data),
    SIM_UNUSED(PF_OutData, width),
    SIM_UNUSED(PF_OutData, height),
    SIM_UNUSED(PF_OutData, origin),
    SIM_UNUSED(PF_OutData, start_sampL),
    SIM_UNUSED(PF_OutData, dur_sampL),
    SIM_UNUSED(PF_OutData, dest_snd),
    SIM_UNUSED(PF_OutData, out_flags2),
};

const UnusedSpan kUnusedWorld[] = {
    SIM_UNUSED(PF_LayerDef, reserved0),        SIM_UNUSED(PF_LayerDef, reserved1),
    SIM_UNUSED(PF_LayerDef, extent_hint),      SIM_UNUSED(PF_LayerDef, platform_ref),
    SIM_UNUSED(PF_LayerDef, reserved_long1),   SIM_UNUSED(PF_LayerDef, reserved_long4),
    SIM_UNUSED(PF_LayerDef, pix_aspect_ratio), SIM_UNUSED(PF_LayerDef, reserved_long2),
    SIM_UNUSED(PF_LayerDef, origin_x),         SIM_UNUSED(PF_LayerDef, origin_y),
    SIM_UNUSED(PF_LayerDef, reserved_long3),   SIM_UNUSED(PF_LayerDef, dephault),
};

const UnusedSpan kUnusedParamHeader[] = {
    SIM_UNUSED(PF_ParamDef, ui_flags),
    SIM_UNUSED(PF_ParamDef, ui_width),
    SIM_UNUSED(PF_ParamDef, ui_height),
    SIM_UNUSED(PF_ParamDef, unused),
};

template <std::size_t N>
void lay_pattern(void* record, const UnusedSpan (&spans)[N], std::uint8_t byte) {
    for (const UnusedSpan& span : spans) {
        std::memset(static_cast<std::uint8_t*>(record) + span.offset, byte, span.size);
    }
}

// Appends the name of every span whose bytes differ between the record before and after a call.
template <std::size_t N>
void find_changed(const void* before, const void* after, const UnusedSpan (&spans)[N],
                  const std::string& where, std::vector<std::string>& out) {
    for (const UnusedSpan& span : spans) {
        if (std::memcmp(static_cast<const std::uint8_t*>(before) + span.offset,
                        static_cast<const std::uint8_t*>(after) + span.offset, span.size) != 0) {
            out.push_back(where + span.name);
        }
    }
}

}  // namespace

const std::array<HostFn, kHostFnCount>& all_host_fns() {
    return kAllFns;
}

const char* name_of(HostFn fn) {
    switch (fn) {
        case HostFn::add_param:
            return "add_param";
        case HostFn::progress:
            return "progress";
        case HostFn::copy:
            return "copy";
        case HostFn::fill:
            return "fill";
        case HostFn::new_handle:
            return "new_handle";
        case HostFn::lock_handle:
            return "lock_handle";
        case HostFn::unlock_handle:
            return "unlock_handle";
        case HostFn::dispose_handle:
            return "dispose_handle";
        case HostFn::sprintf:
            return "sprintf";
        case HostFn::strcpy:
            return "strcpy";
        case HostFn::acquire_suite:
            return "acquire_suite";
        case HostFn::release_suite:
            return "release_suite";
        case HostFn::register_with_aegp:
            return "register_with_aegp";
        case HostFn::get_new_effect_for_effect:
            return "get_new_effect_for_effect";
        case HostFn::get_new_effect_stream_by_index:
            return "get_new_effect_stream_by_index";
        case HostFn::dispose_stream:
            return "dispose_stream";
        case HostFn::set_dynamic_stream_flag:
            return "set_dynamic_stream_flag";
        case HostFn::dispose_effect:
            return "dispose_effect";
    }
    return "?";
}

// ---------------------------------------------------------------------------------------------
// The callbacks handed to the effect.

struct SimHost::Callbacks {
    static bool known_ref(SimHost& h, PF_ProgPtr ref, const char* fn) {
        if (ref != h.effect_ref_) {
            h.error(std::string(fn) + ": effect_ref is not the one the host gave");
            return false;
        }
        return true;
    }

    static PF_Err PF_CALLBACK add_param(PF_ProgPtr ref, PF_ParamIndex index, PF_ParamDefPtr def) {
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

    static PF_Err PF_CALLBACK progress(PF_ProgPtr ref, A_long current, A_long total) {
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

    static PF_Err PF_CALLBACK copy(PF_ProgPtr ref, PF_EffectWorld* src, PF_EffectWorld* dst,
                                   PF_Rect* src_r, PF_Rect* dst_r) {
        SimHost& h = host();
        const auto fault = h.enter(HostFn::copy);
        WorldOp op{HostFn::copy,     h.identify(src), h.identify(dst), src_r == nullptr,
                   dst_r == nullptr, false,           PF_Pixel{},      PF_Err_NONE};
        if (!known_ref(h, ref, "copy")) {
            op.result = kMisuseErr;
        } else if (fault) {
            op.result = *fault;
        } else if (!usable(src) || !usable(dst)) {
            op.result = PF_Err_BAD_CALLBACK_PARAM;
        } else {
            // No scaling: the overlapping part of the two rectangles is copied.
            const PF_Rect s = clip(src_r, *src);
            const PF_Rect d = clip(dst_r, *dst);
            const A_long w = std::min(s.right - s.left, d.right - d.left);
            const A_long hgt = std::min(s.bottom - s.top, d.bottom - d.top);
            const bool same_depth = pixel_size(*src) == pixel_size(*dst);
            for (A_long y = 0; y < hgt; ++y) {
                if (same_depth) {
                    std::memmove(pixel_at(*dst, d.left, d.top + y),
                                 pixel_at(*src, s.left, s.top + y),
                                 static_cast<std::size_t>(w) * pixel_size(*src));
                    continue;
                }
                for (A_long x = 0; x < w; ++x) {
                    write_pixel(*dst, d.left + x, d.top + y,
                                read_pixel(*src, s.left + x, s.top + y));
                }
            }
        }
        h.world_ops_.push_back(op);
        return op.result;
    }

    static PF_Err PF_CALLBACK fill(PF_ProgPtr ref, const PF_Pixel* color, const PF_Rect* dst_rect,
                                   PF_EffectWorld* world) {
        SimHost& h = host();
        const auto fault = h.enter(HostFn::fill);
        WorldOp op{HostFn::fill,        WorldId::null,    h.identify(world),           true,
                   dst_rect == nullptr, color == nullptr, color ? *color : PF_Pixel{}, PF_Err_NONE};
        if (!known_ref(h, ref, "fill")) {
            op.result = kMisuseErr;
        } else if (fault) {
            op.result = *fault;
        } else if (color == nullptr || !usable(world)) {
            op.result = PF_Err_BAD_CALLBACK_PARAM;
        } else {
            const PF_Rect r = clip(dst_rect, *world);
            const std::array<A_u_short, 4> c16 = {
                channel8_to_16(color->alpha), channel8_to_16(color->red),
                channel8_to_16(color->green), channel8_to_16(color->blue)};
            // The first row pixel by pixel, the others as copies of it, as fast as a host's fill.
            for (A_long x = r.left; x < r.right && r.top < r.bottom; ++x) {
                if (world->world_flags & PF_WorldFlag_DEEP) {
                    write_pixel(*world, x, r.top, c16);
                } else {
                    std::memcpy(pixel_at(*world, x, r.top), color, sizeof *color);
                }
            }
            const std::size_t row_bytes =
                static_cast<std::size_t>(r.right - r.left) * pixel_size(*world);
            for (A_long y = r.top + 1; y < r.bottom && row_bytes > 0; ++y) {
                std::memcpy(pixel_at(*world, r.left, y), pixel_at(*world, r.left, r.top),
                            row_bytes);
            }
        }
        h.world_ops_.push_back(op);
        return op.result;
    }

    static PF_Handle PF_CALLBACK new_handle(A_HandleSize size) {
        SimHost& h = host();
        h.handle_requests_.push_back(size);
        if (h.enter(HostFn::new_handle) || size > h.allocation_limit_) {
            return nullptr;
        }
        auto rec = std::make_unique<HandleRec>();
        const std::size_t units = (size + sizeof(std::max_align_t) - 1) / sizeof(std::max_align_t);
        try {
            rec->storage.assign(std::max<std::size_t>(units, 1), std::max_align_t{});
        } catch (const std::bad_alloc&) {
            return nullptr;
        }
        std::memset(rec->storage.data(), 0, rec->storage.size() * sizeof(std::max_align_t));
        rec->master = rec->storage.data();
        rec->size = size;
        PF_Handle handle = &rec->master;
        h.handles_[handle] = std::move(rec);
        return handle;
    }

    static void* PF_CALLBACK lock_handle(PF_Handle handle) {
        SimHost& h = host();
        const auto fault = h.enter(HostFn::lock_handle);
        HandleRec* rec = h.find_handle(handle);
        if (rec == nullptr || !rec->live) {
            h.error(rec ? "lock of a disposed handle" : "lock of an unknown handle");
            return nullptr;
        }
        if (fault) {
            return nullptr;
        }
        ++rec->locks;
        return rec->master;
    }

    static void PF_CALLBACK unlock_handle(PF_Handle handle) {
        SimHost& h = host();
        const auto fault = h.enter(HostFn::unlock_handle);
        HandleRec* rec = h.find_handle(handle);
        if (rec == nullptr || !rec->live) {
            h.error(rec ? "unlock of a disposed handle" : "unlock of an unknown handle");
            return;
        }
        if (fault) {
            rec->kept_by_fault = true;
            return;
        }
        // Unlocking a handle whose lock failed is harmless, as on the real host.
        if (rec->locks > 0) {
            --rec->locks;
        }
    }

    static void PF_CALLBACK dispose_handle(PF_Handle handle) {
        SimHost& h = host();
        const auto fault = h.enter(HostFn::dispose_handle);
        HandleRec* rec = h.find_handle(handle);
        if (rec == nullptr) {
            h.error("dispose of an unknown handle");
            return;
        }
        if (!rec->live) {
            h.error("dispose of a disposed handle");
            return;
        }
        if (handle == h.global_data_) {
            h.error("dispose of the global data the host owns");
        }
        if (fault) {
            rec->kept_by_fault = true;
            return;
        }
        rec->live = false;
        rec->master = nullptr;
        rec->storage.clear();
        rec->storage.shrink_to_fit();
    }

    static int PF_CALLBACK ansi_sprintf(A_char* buffer, const A_char* format, ...) {
        SimHost& h = host();
        const auto fault = h.enter(HostFn::sprintf);
        if (buffer == nullptr || format == nullptr) {
            h.error("sprintf: null buffer or format");
            return -1;
        }
        if (fault) {
            buffer[0] = 0;
            return -1;
        }
        va_list args;
        va_start(args, format);
        va_list again;
        va_copy(again, args);
        const int n = std::vsnprintf(nullptr, 0, format, args);
        va_end(args);
        if (n < 0) {
            va_end(again);
            h.error("sprintf: bad format");
            buffer[0] = 0;
            return -1;
        }
        std::vector<char> text(static_cast<std::size_t>(n) + 1);
        std::vsnprintf(text.data(), text.size(), format, again);
        va_end(again);
        store_text(h, buffer, text.data(), "sprintf");
        return n;
    }

    static A_char* PF_CALLBACK ansi_strcpy(A_char* dst, const A_char* src) {
        SimHost& h = host();
        const auto fault = h.enter(HostFn::strcpy);
        if (dst == nullptr || src == nullptr) {
            h.error("strcpy: null argument");
            return nullptr;
        }
        if (fault) {
            return nullptr;
        }
        store_text(h, dst, src, "strcpy");
        return dst;
    }

    // The host's text functions take no size: every buffer is taken to be a message buffer,
    // and a longer text is an overflow that the simulation cuts short instead of committing.
    static void store_text(SimHost& h, A_char* dst, const char* text, const char* fn) {
        std::size_t n = std::strlen(text);
        if (n >= kMessageCapacity) {
            ++h.buffer_overflows_;
            h.error(std::string(fn) + ": " + std::to_string(n) + " characters overflow a " +
                    std::to_string(kMessageCapacity) + "-byte buffer");
            n = kMessageCapacity - 1;
        }
        std::memmove(dst, text, n);
        dst[n] = 0;
    }

    static A_long PF_CALLBACK acquire_suite(const A_char* name, A_long version,
                                            const void** suite) {
        SimHost& h = host();
        const auto fault = h.enter(HostFn::acquire_suite);
        if (name == nullptr || suite == nullptr) {
            h.error("AcquireSuite: null name or place for the suite");
            return kMisuseErr;
        }
        *suite = nullptr;
        const std::pair<std::string, A_long> key{name, version};
        A_long result = PF_Err_NONE;
        const void* table = served(key);
        if (fault) {
            result = *fault;
        } else if (auto it = h.refusals_.find(key); it != h.refusals_.end()) {
            result = it->second;
        } else if (table == nullptr) {
            result = kSuiteNotFoundErr;
        } else {
            *suite = table;
            ++h.held_suites_[key];
        }
        h.suite_log_.push_back({key.first, version, true, result, *suite != nullptr});
        return result;
    }

    static A_long PF_CALLBACK release_suite(const A_char* name, A_long version) {
        SimHost& h = host();
        const auto fault = h.enter(HostFn::release_suite);
        if (name == nullptr) {
            h.error("ReleaseSuite: null name");
            return kMisuseErr;
        }
        const std::pair<std::string, A_long> key{name, version};
        A_long result = fault ? *fault : PF_Err_NONE;
        auto it = h.held_suites_.find(key);
        if (it == h.held_suites_.end() || it->second == 0) {
            h.error("ReleaseSuite of " + describe(key.first, version) + " not acquired");
            result = kMisuseErr;
        } else {
            --it->second;
        }
        h.suite_log_.push_back({key.first, version, false, result, false});
        return result;
    }

    static PF_Err PF_CALLBACK register_with_aegp(AEGP_GlobalRefcon, const A_char* name,
                                                 AEGP_PluginID* id) {
        SimHost& h = host();
        const auto fault = h.enter(HostFn::register_with_aegp);
        if (id == nullptr || name == nullptr) {
            h.error("AEGP_RegisterWithAEGP: null name or place for the id");
            return kMisuseErr;
        }
        if (fault) {
            return *fault;
        }
        h.registered_names_.emplace_back(name);
        *id = h.plugin_id_;
        return PF_Err_NONE;
    }

    static bool known_plugin(SimHost& h, AEGP_PluginID id, const char* fn) {
        if (h.registered_names_.empty() || id != h.plugin_id_) {
            h.error(std::string(fn) + ": plug-in id " + std::to_string(id) + " is not registered");
            return false;
        }
        return true;
    }

    static RefRec* live_ref(std::vector<std::unique_ptr<RefRec>>& refs, const void* p) {
        for (auto& r : refs) {
            if (r.get() == p) {
                return r->live ? r.get() : nullptr;
            }
        }
        return nullptr;
    }

    static PF_Err PF_CALLBACK get_new_effect_for_effect(AEGP_PluginID id, PF_ProgPtr ref,
                                                        AEGP_EffectRefH* effect) {
        SimHost& h = host();
        const auto fault = h.enter(HostFn::get_new_effect_for_effect);
        if (effect == nullptr) {
            h.error("AEGP_GetNewEffectForEffect: null place for the reference");
            return kMisuseErr;
        }
        if (!known_plugin(h, id, "AEGP_GetNewEffectForEffect") ||
            !known_ref(h, ref, "AEGP_GetNewEffectForEffect")) {
            return kMisuseErr;
        }
        if (fault) {
            return *fault;
        }
        h.effects_.push_back(std::make_unique<RefRec>());
        *effect = reinterpret_cast<AEGP_EffectRefH>(h.effects_.back().get());
        return PF_Err_NONE;
    }

    static PF_Err PF_CALLBACK get_new_effect_stream_by_index(AEGP_PluginID id,
                                                             AEGP_EffectRefH effect,
                                                             PF_ParamIndex index,
                                                             AEGP_StreamRefH* stream) {
        SimHost& h = host();
        const auto fault = h.enter(HostFn::get_new_effect_stream_by_index);
        if (stream == nullptr) {
            h.error("AEGP_GetNewEffectStreamByIndex: null place for the reference");
            return kMisuseErr;
        }
        if (!known_plugin(h, id, "AEGP_GetNewEffectStreamByIndex")) {
            return kMisuseErr;
        }
        if (live_ref(h.effects_, effect) == nullptr) {
            h.error("AEGP_GetNewEffectStreamByIndex: unknown or disposed effect reference");
            return kMisuseErr;
        }
        h.stream_requests_.push_back(index);
        if (index < 1 || static_cast<std::size_t>(index) >= h.params_.size()) {
            h.error("AEGP_GetNewEffectStreamByIndex: no parameter " + std::to_string(index));
            return kMisuseErr;
        }
        if (fault) {
            return *fault;
        }
        h.streams_.push_back(std::make_unique<RefRec>(RefRec{true, index}));
        *stream = reinterpret_cast<AEGP_StreamRefH>(h.streams_.back().get());
        return PF_Err_NONE;
    }

    static PF_Err PF_CALLBACK dispose_stream(AEGP_StreamRefH stream) {
        SimHost& h = host();
        const auto fault = h.enter(HostFn::dispose_stream);
        RefRec* rec = live_ref(h.streams_, stream);
        if (rec == nullptr) {
            h.error("AEGP_DisposeStream: unknown or disposed stream reference");
            return kMisuseErr;
        }
        rec->live = false;
        return fault ? *fault : PF_Err_NONE;
    }

    static PF_Err PF_CALLBACK set_dynamic_stream_flag(AEGP_StreamRefH stream,
                                                      AEGP_DynStreamFlags flag, A_Boolean undoable,
                                                      A_Boolean set) {
        SimHost& h = host();
        const auto fault = h.enter(HostFn::set_dynamic_stream_flag);
        RefRec* rec = live_ref(h.streams_, stream);
        if (rec == nullptr) {
            h.error("AEGP_SetDynamicStreamFlag: unknown or disposed stream reference");
            return kMisuseErr;
        }
        FlagCall call{rec->param, flag, undoable, set, PF_Err_NONE};
        if (flag != AEGP_DynStreamFlag_HIDDEN) {
            h.error("AEGP_SetDynamicStreamFlag: flag " + std::to_string(flag) +
                    " is not the hidden flag");
            call.result = kMisuseErr;
        } else if (fault) {
            call.result = *fault;
        } else {
            h.hidden_[rec->param] = set != 0;
        }
        h.flag_calls_.push_back(call);
        return call.result;
    }

    static PF_Err PF_CALLBACK dispose_effect(AEGP_EffectRefH effect) {
        SimHost& h = host();
        const auto fault = h.enter(HostFn::dispose_effect);
        RefRec* rec = live_ref(h.effects_, effect);
        if (rec == nullptr) {
            h.error("AEGP_DisposeEffect: unknown or disposed effect reference");
            return kMisuseErr;
        }
        rec->live = false;
        return fault ? *fault : PF_Err_NONE;
    }

    static const void* served(const std::pair<std::string, A_long>& key);

    static void report_unused(const char* slot) {
        host().error(std::string(slot) + " called: the effect has no business with it");
    }
};

namespace {

using CB = SimHost::Callbacks;

void report_unused_call(const char* slot) {
    CB::report_unused(slot);
}

PF_HandleSuite1 make_handle_suite() {
    PF_HandleSuite1 s{CB::new_handle,     CB::lock_handle, CB::unlock_handle,
                      CB::dispose_handle, nullptr,         nullptr};
    SIM_TRAP(s, "PF_HandleSuite1", host_get_handle_size);
    SIM_TRAP(s, "PF_HandleSuite1", host_resize_handle);
    return s;
}

// The math functions of the ANSI table, traps in both places the host offers them.
template <typename Table>
void trap_ansi_math(Table& s) {
    SIM_TRAP(s, "ANSI", atan);
    SIM_TRAP(s, "ANSI", atan2);
    SIM_TRAP(s, "ANSI", ceil);
    SIM_TRAP(s, "ANSI", cos);
    SIM_TRAP(s, "ANSI", exp);
    SIM_TRAP(s, "ANSI", fabs);
    SIM_TRAP(s, "ANSI", floor);
    SIM_TRAP(s, "ANSI", fmod);
    SIM_TRAP(s, "ANSI", hypot);
    SIM_TRAP(s, "ANSI", log);
    SIM_TRAP(s, "ANSI", log10);
    SIM_TRAP(s, "ANSI", pow);
    SIM_TRAP(s, "ANSI", sin);
    SIM_TRAP(s, "ANSI", sqrt);
    SIM_TRAP(s, "ANSI", tan);
    SIM_TRAP(s, "ANSI", asin);
    SIM_TRAP(s, "ANSI", acos);
}

PF_ANSICallbacksSuite1 make_ansi_suite() {
    PF_ANSICallbacksSuite1 s{};
    trap_ansi_math(s);
    s.sprintf = CB::ansi_sprintf;
    s.strcpy = CB::ansi_strcpy;
    return s;
}

AEGP_UtilitySuite3 make_utility_suite() {
    AEGP_UtilitySuite3 s{};
    SIM_TRAP(s, "AEGP_UtilitySuite3", AEGP_ReportInfo);
    SIM_TRAP(s, "AEGP_UtilitySuite3", AEGP_GetDriverPluginInitFuncVersion);
    SIM_TRAP(s, "AEGP_UtilitySuite3", AEGP_GetDriverImplementationVersion);
    SIM_TRAP(s, "AEGP_UtilitySuite3", AEGP_StartQuietErrors);
    SIM_TRAP(s, "AEGP_UtilitySuite3", AEGP_EndQuietErrors);
    SIM_TRAP(s, "AEGP_UtilitySuite3", AEGP_StartUndoGroup);
    SIM_TRAP(s, "AEGP_UtilitySuite3", AEGP_EndUndoGroup);
    s.AEGP_RegisterWithAEGP = CB::register_with_aegp;
    SIM_TRAP(s, "AEGP_UtilitySuite3", AEGP_GetMainHWND);
    SIM_TRAP(s, "AEGP_UtilitySuite3", AEGP_ShowHideAllFloaters);
    SIM_TRAP(s, "AEGP_UtilitySuite3", AEGP_PaintPalGetForeColor);
    SIM_TRAP(s, "AEGP_UtilitySuite3", AEGP_PaintPalGetBackColor);
    SIM_TRAP(s, "AEGP_UtilitySuite3", AEGP_PaintPalSetForeColor);
    SIM_TRAP(s, "AEGP_UtilitySuite3", AEGP_PaintPalSetBackColor);
    SIM_TRAP(s, "AEGP_UtilitySuite3", AEGP_CharPalGetFillColor);
    SIM_TRAP(s, "AEGP_UtilitySuite3", AEGP_CharPalGetStrokeColor);
    SIM_TRAP(s, "AEGP_UtilitySuite3", AEGP_CharPalSetFillColor);
    SIM_TRAP(s, "AEGP_UtilitySuite3", AEGP_CharPalSetStrokeColor);
    SIM_TRAP(s, "AEGP_UtilitySuite3", AEGP_CharPalIsFillColorUIFrontmost);
    SIM_TRAP(s, "AEGP_UtilitySuite3", AEGP_ConvertFpLongToHSFRatio);
    SIM_TRAP(s, "AEGP_UtilitySuite3", AEGP_ConvertHSFRatioToFpLong);
    SIM_TRAP(s, "AEGP_UtilitySuite3", AEGP_CauseIdleRoutinesToBeCalled);
    SIM_TRAP(s, "AEGP_UtilitySuite3", AEGP_GetSuppressInteractiveUI);
    SIM_TRAP(s, "AEGP_UtilitySuite3", AEGP_WriteToOSConsole);
    SIM_TRAP(s, "AEGP_UtilitySuite3", AEGP_WriteToDebugLog);
    return s;
}

AEGP_PFInterfaceSuite1 make_pf_interface_suite() {
    AEGP_PFInterfaceSuite1 s{};
    SIM_TRAP(s, "AEGP_PFInterfaceSuite1", AEGP_GetEffectLayer);
    s.AEGP_GetNewEffectForEffect = CB::get_new_effect_for_effect;
    SIM_TRAP(s, "AEGP_PFInterfaceSuite1", AEGP_ConvertEffectToCompTime);
    SIM_TRAP(s, "AEGP_PFInterfaceSuite1", AEGP_GetEffectCamera);
    SIM_TRAP(s, "AEGP_PFInterfaceSuite1", AEGP_GetEffectCameraMatrix);
    return s;
}

AEGP_StreamSuite2 make_stream_suite() {
    AEGP_StreamSuite2 s{};
    SIM_TRAP(s, "AEGP_StreamSuite2", AEGP_IsStreamLegal);
    SIM_TRAP(s, "AEGP_StreamSuite2", AEGP_CanVaryOverTime);
    SIM_TRAP(s, "AEGP_StreamSuite2", AEGP_GetValidInterpolations);
    SIM_TRAP(s, "AEGP_StreamSuite2", AEGP_GetNewLayerStream);
    SIM_TRAP(s, "AEGP_StreamSuite2", AEGP_GetEffectNumParamStreams);
    s.AEGP_GetNewEffectStreamByIndex = CB::get_new_effect_stream_by_index;
    SIM_TRAP(s, "AEGP_StreamSuite2", AEGP_GetNewMaskStream);
    s.AEGP_DisposeStream = CB::dispose_stream;
    SIM_TRAP(s, "AEGP_StreamSuite2", AEGP_GetStreamName);
    SIM_TRAP(s, "AEGP_StreamSuite2", AEGP_GetStreamUnitsText);
    SIM_TRAP(s, "AEGP_StreamSuite2", AEGP_GetStreamProperties);
    SIM_TRAP(s, "AEGP_StreamSuite2", AEGP_IsStreamTimevarying);
    SIM_TRAP(s, "AEGP_StreamSuite2", AEGP_GetStreamType);
    SIM_TRAP(s, "AEGP_StreamSuite2", AEGP_GetNewStreamValue);
    SIM_TRAP(s, "AEGP_StreamSuite2", AEGP_DisposeStreamValue);
    SIM_TRAP(s, "AEGP_StreamSuite2", AEGP_SetStreamValue);
    SIM_TRAP(s, "AEGP_StreamSuite2", AEGP_GetLayerStreamValue);
    SIM_TRAP(s, "AEGP_StreamSuite2", AEGP_GetExpressionState);
    SIM_TRAP(s, "AEGP_StreamSuite2", AEGP_SetExpressionState);
    SIM_TRAP(s, "AEGP_StreamSuite2", AEGP_GetExpression);
    SIM_TRAP(s, "AEGP_StreamSuite2", AEGP_SetExpression);
    SIM_TRAP(s, "AEGP_StreamSuite2", AEGP_DuplicateStreamRef);
    return s;
}

AEGP_DynamicStreamSuite2 make_dynamic_stream_suite() {
    AEGP_DynamicStreamSuite2 s{};
    SIM_TRAP(s, "AEGP_DynamicStreamSuite2", AEGP_GetNewStreamRefForLayer);
    SIM_TRAP(s, "AEGP_DynamicStreamSuite2", AEGP_GetStreamDepth);
    SIM_TRAP(s, "AEGP_DynamicStreamSuite2", AEGP_GetStreamGroupingType);
    SIM_TRAP(s, "AEGP_DynamicStreamSuite2", AEGP_GetNumStreamsInGroup);
    SIM_TRAP(s, "AEGP_DynamicStreamSuite2", AEGP_GetDynamicStreamFlags);
    s.AEGP_SetDynamicStreamFlag = CB::set_dynamic_stream_flag;
    SIM_TRAP(s, "AEGP_DynamicStreamSuite2", AEGP_GetNewStreamRefByIndex);
    SIM_TRAP(s, "AEGP_DynamicStreamSuite2", AEGP_GetNewStreamRefByMatchname);
    SIM_TRAP(s, "AEGP_DynamicStreamSuite2", AEGP_DeleteStream);
    SIM_TRAP(s, "AEGP_DynamicStreamSuite2", AEGP_ReorderStream);
    SIM_TRAP(s, "AEGP_DynamicStreamSuite2", AEGP_DuplicateStream);
    SIM_TRAP(s, "AEGP_DynamicStreamSuite2", AEGP_SetStreamName);
    SIM_TRAP(s, "AEGP_DynamicStreamSuite2", AEGP_CanAddStream);
    SIM_TRAP(s, "AEGP_DynamicStreamSuite2", AEGP_AddStream);
    SIM_TRAP(s, "AEGP_DynamicStreamSuite2", AEGP_GetMatchName);
    SIM_TRAP(s, "AEGP_DynamicStreamSuite2", AEGP_GetNewParentStreamRef);
    SIM_TRAP(s, "AEGP_DynamicStreamSuite2", AEGP_GetStreamIsModified);
    return s;
}

AEGP_EffectSuite2 make_effect_suite() {
    AEGP_EffectSuite2 s{};
    SIM_TRAP(s, "AEGP_EffectSuite2", AEGP_GetLayerNumEffects);
    SIM_TRAP(s, "AEGP_EffectSuite2", AEGP_GetLayerEffectByIndex);
    SIM_TRAP(s, "AEGP_EffectSuite2", AEGP_GetInstalledKeyFromLayerEffect);
    SIM_TRAP(s, "AEGP_EffectSuite2", AEGP_GetEffectParamUnionByIndex);
    SIM_TRAP(s, "AEGP_EffectSuite2", AEGP_GetEffectFlags);
    SIM_TRAP(s, "AEGP_EffectSuite2", AEGP_SetEffectFlags);
    SIM_TRAP(s, "AEGP_EffectSuite2", AEGP_ReorderEffect);
    SIM_TRAP(s, "AEGP_EffectSuite2", AEGP_EffectCallGeneric);
    s.AEGP_DisposeEffect = CB::dispose_effect;
    SIM_TRAP(s, "AEGP_EffectSuite2", AEGP_ApplyEffect);
    SIM_TRAP(s, "AEGP_EffectSuite2", AEGP_DeleteLayerEffect);
    SIM_TRAP(s, "AEGP_EffectSuite2", AEGP_GetNumInstalledEffects);
    SIM_TRAP(s, "AEGP_EffectSuite2", AEGP_GetNextInstalledEffect);
    SIM_TRAP(s, "AEGP_EffectSuite2", AEGP_GetEffectName);
    SIM_TRAP(s, "AEGP_EffectSuite2", AEGP_GetEffectMatchName);
    SIM_TRAP(s, "AEGP_EffectSuite2", AEGP_GetEffectCategory);
    SIM_TRAP(s, "AEGP_EffectSuite2", AEGP_DuplicateEffect);
    return s;
}

const PF_HandleSuite1 kHandleSuite = make_handle_suite();
const PF_ANSICallbacksSuite1 kAnsiSuite = make_ansi_suite();
const AEGP_UtilitySuite3 kUtilitySuite = make_utility_suite();
const AEGP_PFInterfaceSuite1 kPFInterfaceSuite = make_pf_interface_suite();
const AEGP_StreamSuite2 kStreamSuite = make_stream_suite();
const AEGP_DynamicStreamSuite2 kDynamicStreamSuite = make_dynamic_stream_suite();
const AEGP_EffectSuite2 kEffectSuite = make_effect_suite();

}  // namespace

const void* SimHost::Callbacks::served(const std::pair<std::string, A_long>& key) {
    static const std::map<std::pair<std::string, A_long>, const void*> kServed = {
        {{kPFHandleSuite, kPFHandleSuiteVersion}, &kHandleSuite},
        {{kPFANSISuite, kPFANSISuiteVersion1}, &kAnsiSuite},
        {{kAEGPUtilitySuite, kAEGPUtilitySuiteVersion7}, &kUtilitySuite},
        {{kAEGPPFInterfaceSuite, kAEGPPFInterfaceSuiteVersion1}, &kPFInterfaceSuite},
        {{kAEGPStreamSuite, kAEGPStreamSuiteVersion7}, &kStreamSuite},
        {{kAEGPDynamicStreamSuite, kAEGPDynamicStreamSuiteVersion2}, &kDynamicStreamSuite},
        {{kAEGPEffectSuite, kAEGPEffectSuiteVersion2}, &kEffectSuite},
    };
    const auto it = kServed.find(key);
    return it == kServed.end() ? nullptr : it->second;
}

// ---------------------------------------------------------------------------------------------

SimHost::SimHost(PF_EntryPointFunc entry)
    : entry_(entry), effect_ref_(reinterpret_cast<PF_ProgPtr>(&effect_tag_)) {
    SIM_TRAP(utils_, "PF_UtilCallbacks", begin_sampling);
    SIM_TRAP(utils_, "PF_UtilCallbacks", subpixel_sample);
    SIM_TRAP(utils_, "PF_UtilCallbacks", area_sample);
    SIM_TRAP(utils_, "PF_UtilCallbacks", end_sampling);
    SIM_TRAP(utils_, "PF_UtilCallbacks", composite_rect);
    SIM_TRAP(utils_, "PF_UtilCallbacks", blend);
    SIM_TRAP(utils_, "PF_UtilCallbacks", convolve);
    SIM_TRAP(utils_, "PF_UtilCallbacks", gaussian_kernel);
    SIM_TRAP(utils_, "PF_UtilCallbacks", iterate);
    SIM_TRAP(utils_, "PF_UtilCallbacks", premultiply);
    SIM_TRAP(utils_, "PF_UtilCallbacks", premultiply_color);
    SIM_TRAP(utils_, "PF_UtilCallbacks", new_world);
    SIM_TRAP(utils_, "PF_UtilCallbacks", dispose_world);
    SIM_TRAP(utils_, "PF_UtilCallbacks", iterate_origin);
    SIM_TRAP(utils_, "PF_UtilCallbacks", iterate_lut);
    SIM_TRAP(utils_, "PF_UtilCallbacks", transfer_rect);
    SIM_TRAP(utils_, "PF_UtilCallbacks", transform_world);
    SIM_TRAP(utils_, "PF_UtilCallbacks", get_callback_addr);
    SIM_TRAP(utils_, "PF_UtilCallbacks", app);
    trap_ansi_math(utils_.ansi);
    SIM_TRAP(utils_.colorCB, "PF_ColorCallbacks", RGBtoHLS);
    SIM_TRAP(utils_.colorCB, "PF_ColorCallbacks", HLStoRGB);
    SIM_TRAP(utils_.colorCB, "PF_ColorCallbacks", RGBtoYIQ);
    SIM_TRAP(utils_.colorCB, "PF_ColorCallbacks", YIQtoRGB);
    SIM_TRAP(utils_.colorCB, "PF_ColorCallbacks", Luminance);
    SIM_TRAP(utils_.colorCB, "PF_ColorCallbacks", Hue);
    SIM_TRAP(utils_.colorCB, "PF_ColorCallbacks", Lightness);
    SIM_TRAP(utils_.colorCB, "PF_ColorCallbacks", Saturation);
    SIM_TRAP(utils_, "PF_UtilCallbacks", get_platform_data);
    SIM_TRAP(utils_, "PF_UtilCallbacks", host_get_handle_size);
    SIM_TRAP(utils_, "PF_UtilCallbacks", iterate_origin_non_clip_src);
    SIM_TRAP(utils_, "PF_UtilCallbacks", iterate_generic);
    SIM_TRAP(utils_, "PF_UtilCallbacks", host_resize_handle);
    SIM_TRAP(utils_, "PF_UtilCallbacks", subpixel_sample16);
    SIM_TRAP(utils_, "PF_UtilCallbacks", area_sample16);
    SIM_TRAP(utils_, "PF_UtilCallbacks", fill16);
    SIM_TRAP(utils_, "PF_UtilCallbacks", premultiply_color16);
    SIM_TRAP(utils_, "PF_UtilCallbacks", iterate16);
    SIM_TRAP(utils_, "PF_UtilCallbacks", iterate_origin16);
    SIM_TRAP(utils_, "PF_UtilCallbacks", iterate_origin_non_clip_src16);
    SIM_TRAP(utils_, "PF_UtilCallbacks", get_pixel_data8);
    SIM_TRAP(utils_, "PF_UtilCallbacks", get_pixel_data16);
    SIM_TRAP(basic_suite_, "SPBasicSuite", IsEqual);
    SIM_TRAP(basic_suite_, "SPBasicSuite", AllocateBlock);
    SIM_TRAP(basic_suite_, "SPBasicSuite", FreeBlock);
    SIM_TRAP(basic_suite_, "SPBasicSuite", ReallocateBlock);
    SIM_TRAP(basic_suite_, "SPBasicSuite", Undefined);
    SIM_TRAP(in_data_.inter, "PF_InteractCallbacks", checkout_param);
    SIM_TRAP(in_data_.inter, "PF_InteractCallbacks", checkin_param);
    SIM_TRAP(in_data_.inter, "PF_InteractCallbacks", abort);
    SIM_TRAP(in_data_.inter, "PF_InteractCallbacks", register_ui);
    SIM_TRAP(in_data_.inter, "PF_InteractCallbacks", checkout_layer_audio);
    SIM_TRAP(in_data_.inter, "PF_InteractCallbacks", checkin_layer_audio);
    SIM_TRAP(in_data_.inter, "PF_InteractCallbacks", get_audio_data);

    utils_.copy = CB::copy;
    utils_.fill = CB::fill;
    utils_.host_new_handle = CB::new_handle;
    utils_.host_lock_handle = CB::lock_handle;
    utils_.host_unlock_handle = CB::unlock_handle;
    utils_.host_dispose_handle = CB::dispose_handle;
    utils_.ansi.sprintf = CB::ansi_sprintf;
    utils_.ansi.strcpy = CB::ansi_strcpy;
    basic_suite_.AcquireSuite = CB::acquire_suite;
    basic_suite_.ReleaseSuite = CB::release_suite;

    in_data_.inter.add_param = CB::add_param;
    in_data_.inter.progress = CB::progress;
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

void SimHost::adopt_global_data() {
    PF_Handle h = out_data_.global_data;
    if (h == nullptr || h == global_data_) {
        return;
    }
    const HandleRec* rec = find_handle(h);
    if (rec == nullptr || !rec->live) {
        error("out_data.global_data is not a live handle");
        return;
    }
    drop_global_data();
    global_data_ = h;
    in_data_.global_data = h;
    out_data_.global_data = h;
}

void SimHost::drop_global_data() {
    if (global_data_ != nullptr) {
        if (HandleRec* rec = find_handle(global_data_)) {
            rec->live = false;
            rec->master = nullptr;
            rec->storage.clear();
        }
    }
    global_data_ = nullptr;
    in_data_.global_data = nullptr;
    out_data_.global_data = nullptr;
}

// ---------------------------------------------------------------------------------------------
// Parameters

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

void SimHost::set_input(World w) {
    input_ = std::move(w);
    refresh_input_layer();
}

void SimHost::refresh_input_layer() {
    params_[0]->u.ld = *input_.def();
    lay_pattern(&params_[0]->u.ld, kUnusedWorld, unused_pattern_);
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

SimHost::HandleRec* SimHost::find_handle(PF_Handle h) {
    auto it = handles_.find(h);
    return it == handles_.end() ? nullptr : it->second.get();
}

const SimHost::HandleRec* SimHost::find_handle(PF_Handle h) const {
    auto it = handles_.find(h);
    return it == handles_.end() ? nullptr : it->second.get();
}

bool SimHost::handle_live(PF_Handle h) const {
    const HandleRec* rec = find_handle(h);
    return rec != nullptr && rec->live;
}

std::size_t SimHost::handle_size(PF_Handle h) const {
    const HandleRec* rec = find_handle(h);
    return rec ? rec->size : 0;
}

int SimHost::live_handles() const {
    int n = 0;
    for (const auto& [handle, rec] : handles_) {
        n += rec->live && !rec->kept_by_fault && handle != global_data_;
    }
    return n;
}

void SimHost::refuse_suite(const std::string& name, A_long version, PF_Err code) {
    refusals_[{name, version}] = code;
}

int SimHost::outstanding_suites() const {
    int n = 0;
    for (const auto& [key, held] : held_suites_) {
        n += held;
    }
    return n;
}

int SimHost::outstanding_effects() const {
    int n = 0;
    for (const auto& r : effects_) {
        n += r->live;
    }
    return n;
}

int SimHost::outstanding_streams() const {
    int n = 0;
    for (const auto& r : streams_) {
        n += r->live;
    }
    return n;
}

std::optional<bool> SimHost::hidden(PF_ParamIndex index) const {
    auto it = hidden_.find(index);
    if (it == hidden_.end()) {
        return std::nullopt;
    }
    return it->second;
}

WorldId SimHost::identify(const PF_EffectWorld* w) const {
    if (w == nullptr) {
        return WorldId::null;
    }
    if (w == output_.def()) {
        return WorldId::output;
    }
    if (w == &params_[0]->u.ld || w == input_.def()) {
        return WorldId::input;
    }
    return WorldId::other;
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

}  // namespace simhost
