#include "tests/ofx/ofx_host.h"

#include <algorithm>
#include <atomic>
#include <cstdarg>
#include <cstring>

#if defined(_WIN32)
#include <windows.h>
#else
#include <dlfcn.h>
#endif

#include "tests/ofx/ofx_prop_facts.h"

namespace zx::ofxtest {

namespace {

const PropFact* fact_of(const std::string& name) {
    for (const PropFact& f : kPropFacts) {
        if (f.name == name) return &f;
        // Per-clip properties: the prefix and a clip name.
        if (f.name.back() == '_' && name.size() > f.name.size() &&
            name.compare(0, f.name.size(), f.name) == 0) {
            return &f;
        }
    }
    return nullptr;
}

PropSet* set_of(OfxPropertySetHandle h) {
    return reinterpret_cast<PropSet*>(h);
}

OfxPropertySetHandle handle_of(PropSet* p) {
    return reinterpret_cast<OfxPropertySetHandle>(p);
}

Effect* effect_of(OfxImageEffectHandle h) {
    return reinterpret_cast<Effect*>(h);
}

std::shared_ptr<TestImage> image_at(const Clip& clip, double time) {
    auto at = clip.at_times.find(time);
    return at != clip.at_times.end() ? at->second : clip.image;
}

template <typename T>
std::vector<T>& values_of(Prop& p);
template <>
std::vector<int>& values_of<int>(Prop& p) {
    return p.ints;
}
template <>
std::vector<double>& values_of<double>(Prop& p) {
    return p.doubles;
}
template <>
std::vector<std::string>& values_of<std::string>(Prop& p) {
    return p.strings;
}
template <>
std::vector<void*>& values_of<void*>(Prop& p) {
    return p.pointers;
}

template <typename T>
constexpr unsigned kind_of() {
    if constexpr (std::is_same_v<T, int>) return kind_int;
    if constexpr (std::is_same_v<T, double>) return kind_double;
    if constexpr (std::is_same_v<T, std::string>) return kind_string;
    return kind_pointer;
}

template <typename T>
OfxStatus prop_set(OfxPropertySetHandle h, const char* name, int index, T value) {
    PropSet* set = set_of(h);
    if (set == nullptr || name == nullptr) return kOfxStatErrBadHandle;
    std::string reason;
    const std::string* text = nullptr;
    if constexpr (std::is_same_v<T, std::string>) text = &value;
    if (!check_property(name, kind_of<T>(), index, text, reason)) {
        set->host->problem("set " + std::string(name) + ": " + reason);
        return kOfxStatErrUnknown;
    }
    Prop& p = set->props[name];
    if (p.kind != 0 && p.kind != kind_of<T>()) {
        set->host->problem("set " + std::string(name) + " with another type than before");
        return kOfxStatErrValue;
    }
    p.kind = kind_of<T>();
    auto& v = values_of<T>(p);
    if (static_cast<std::size_t>(index) >= v.size()) v.resize(static_cast<std::size_t>(index) + 1);
    v[static_cast<std::size_t>(index)] = value;
    return kOfxStatOK;
}

template <typename T>
OfxStatus prop_get(OfxPropertySetHandle h, const char* name, int index, T& out) {
    PropSet* set = set_of(h);
    if (set == nullptr || name == nullptr) return kOfxStatErrBadHandle;
    std::string reason;
    if (!check_property(name, kind_of<T>(), index, nullptr, reason)) {
        set->host->problem("get " + std::string(name) + ": " + reason);
        return kOfxStatErrUnknown;
    }
    auto it = set->props.find(name);
    if (it == set->props.end()) return kOfxStatErrUnknown;
    if (it->second.kind != kind_of<T>()) {
        set->host->problem("get " + std::string(name) + " as another type than it holds");
        return kOfxStatErrValue;
    }
    auto& v = values_of<T>(it->second);
    if (index < 0 || static_cast<std::size_t>(index) >= v.size()) return kOfxStatErrBadIndex;
    out = v[static_cast<std::size_t>(index)];
    return kOfxStatOK;
}

// --- the property suite

OfxStatus set_pointer(OfxPropertySetHandle h, const char* n, int i, void* v) {
    return prop_set<void*>(h, n, i, v);
}
OfxStatus set_string(OfxPropertySetHandle h, const char* n, int i, const char* v) {
    if (v == nullptr) return kOfxStatErrValue;
    return prop_set<std::string>(h, n, i, v);
}
OfxStatus set_double(OfxPropertySetHandle h, const char* n, int i, double v) {
    return prop_set<double>(h, n, i, v);
}
OfxStatus set_int(OfxPropertySetHandle h, const char* n, int i, int v) {
    return prop_set<int>(h, n, i, v);
}
template <typename T, typename In>
OfxStatus set_n(OfxPropertySetHandle h, const char* n, int count, const In* v) {
    for (int i = 0; i < count; ++i) {
        if (OfxStatus s = prop_set<T>(h, n, i, T(v[i])); s != kOfxStatOK) return s;
    }
    return kOfxStatOK;
}
OfxStatus set_pointer_n(OfxPropertySetHandle h, const char* n, int c, void* const* v) {
    return set_n<void*>(h, n, c, v);
}
OfxStatus set_string_n(OfxPropertySetHandle h, const char* n, int c, const char* const* v) {
    return set_n<std::string>(h, n, c, v);
}
OfxStatus set_double_n(OfxPropertySetHandle h, const char* n, int c, const double* v) {
    return set_n<double>(h, n, c, v);
}
OfxStatus set_int_n(OfxPropertySetHandle h, const char* n, int c, const int* v) {
    return set_n<int>(h, n, c, v);
}
OfxStatus get_pointer(OfxPropertySetHandle h, const char* n, int i, void** v) {
    return v ? prop_get<void*>(h, n, i, *v) : kOfxStatErrValue;
}
OfxStatus get_string(OfxPropertySetHandle h, const char* n, int i, char** v) {
    PropSet* set = set_of(h);
    std::string tmp;
    if (v == nullptr) return kOfxStatErrValue;
    const OfxStatus s = prop_get<std::string>(h, n, i, tmp);
    if (s != kOfxStatOK) return s;
    // The host owns the string: hand out the stored one.
    *v = set->props[n].strings[static_cast<std::size_t>(i)].data();
    return kOfxStatOK;
}
OfxStatus get_double(OfxPropertySetHandle h, const char* n, int i, double* v) {
    return v ? prop_get<double>(h, n, i, *v) : kOfxStatErrValue;
}
OfxStatus get_int(OfxPropertySetHandle h, const char* n, int i, int* v) {
    return v ? prop_get<int>(h, n, i, *v) : kOfxStatErrValue;
}
OfxStatus get_pointer_n(OfxPropertySetHandle h, const char* n, int c, void** v) {
    for (int i = 0; i < c; ++i) {
        if (OfxStatus s = get_pointer(h, n, i, v + i); s != kOfxStatOK) return s;
    }
    return kOfxStatOK;
}
OfxStatus get_string_n(OfxPropertySetHandle h, const char* n, int c, char** v) {
    for (int i = 0; i < c; ++i) {
        if (OfxStatus s = get_string(h, n, i, v + i); s != kOfxStatOK) return s;
    }
    return kOfxStatOK;
}
OfxStatus get_double_n(OfxPropertySetHandle h, const char* n, int c, double* v) {
    for (int i = 0; i < c; ++i) {
        if (OfxStatus s = get_double(h, n, i, v + i); s != kOfxStatOK) return s;
    }
    return kOfxStatOK;
}
OfxStatus get_int_n(OfxPropertySetHandle h, const char* n, int c, int* v) {
    for (int i = 0; i < c; ++i) {
        if (OfxStatus s = get_int(h, n, i, v + i); s != kOfxStatOK) return s;
    }
    return kOfxStatOK;
}
OfxStatus prop_reset(OfxPropertySetHandle, const char*) {
    return kOfxStatErrUnsupported;
}
OfxStatus prop_dimension(OfxPropertySetHandle h, const char* n, int* count) {
    PropSet* set = set_of(h);
    if (set == nullptr || n == nullptr || count == nullptr) return kOfxStatErrBadHandle;
    auto it = set->props.find(n);
    if (it == set->props.end()) return kOfxStatErrUnknown;
    *count = set->dimension(n);
    return kOfxStatOK;
}

const OfxPropertySuiteV1 kPropertySuite = {
    set_pointer,   set_string,   set_double,   set_int,    set_pointer_n, set_string_n,
    set_double_n,  set_int_n,    get_pointer,  get_string, get_double,    get_int,
    get_pointer_n, get_string_n, get_double_n, get_int_n,  prop_reset,    prop_dimension};

// --- the image effect suite

OfxStatus get_property_set(OfxImageEffectHandle h, OfxPropertySetHandle* out) {
    if (h == nullptr || out == nullptr) return kOfxStatErrBadHandle;
    *out = handle_of(&effect_of(h)->props);
    return kOfxStatOK;
}
OfxStatus get_param_set(OfxImageEffectHandle h, OfxParamSetHandle* out) {
    if (h == nullptr || out == nullptr) return kOfxStatErrBadHandle;
    *out = reinterpret_cast<OfxParamSetHandle>(effect_of(h));
    return kOfxStatOK;
}
OfxStatus clip_define(OfxImageEffectHandle h, const char* name, OfxPropertySetHandle* out) {
    if (h == nullptr || name == nullptr) return kOfxStatErrBadHandle;
    Effect* e = effect_of(h);
    auto& clip = e->clips[name];
    if (clip) return kOfxStatErrExists;
    clip = std::make_unique<Clip>();
    clip->name = name;
    clip->props.host = e->props.host;
    clip->props.props[kOfxPropName] = Prop{kind_string, {}, {}, {name}, {}};
    if (out) *out = handle_of(&clip->props);
    return kOfxStatOK;
}
OfxStatus clip_get_handle(OfxImageEffectHandle h, const char* name, OfxImageClipHandle* clip,
                          OfxPropertySetHandle* props) {
    if (h == nullptr || name == nullptr || clip == nullptr) return kOfxStatErrBadHandle;
    Clip* c = effect_of(h)->clip(name);
    if (c == nullptr) return kOfxStatErrUnknown;
    *clip = reinterpret_cast<OfxImageClipHandle>(c);
    if (props) *props = handle_of(&c->props);
    return kOfxStatOK;
}
OfxStatus clip_get_property_set(OfxImageClipHandle h, OfxPropertySetHandle* out) {
    if (h == nullptr || out == nullptr) return kOfxStatErrBadHandle;
    *out = handle_of(&reinterpret_cast<Clip*>(h)->props);
    return kOfxStatOK;
}
OfxStatus clip_get_image(OfxImageClipHandle h, OfxTime time, const OfxRectD*,
                         OfxPropertySetHandle* out) {
    if (h == nullptr || out == nullptr) return kOfxStatErrBadHandle;
    Clip* c = reinterpret_cast<Clip*>(h);
    const std::shared_ptr<TestImage> image = image_at(*c, time);
    if (!image) return kOfxStatFailed;
    Host& host = *c->props.host;
    auto img = std::make_unique<PropSet>();
    img->host = &host;
    const TestImage& t = *image;
    auto& p = img->props;
    p[kOfxPropType] = Prop{kind_string, {}, {}, {kOfxTypeImage}, {}};
    p[kOfxImagePropData] = Prop{kind_pointer, {}, {}, {}, {t.data}};
    p[kOfxImagePropBounds] =
        Prop{kind_int, {t.bounds.x1, t.bounds.y1, t.bounds.x2, t.bounds.y2}, {}, {}, {}};
    p[kOfxImagePropRowBytes] = Prop{kind_int, {t.row_bytes}, {}, {}, {}};
    if (t.region) {
        const OfxRectI& r = *t.region;
        p[kOfxImagePropRegionOfDefinition] = Prop{kind_int, {r.x1, r.y1, r.x2, r.y2}, {}, {}, {}};
    }
    p[kOfxImageEffectPropPixelDepth] = Prop{kind_string, {}, {}, {t.depth}, {}};
    p[kOfxImageEffectPropComponents] = Prop{kind_string, {}, {}, {t.components}, {}};
    p[kOfxImageEffectPropPreMultiplication] = Prop{kind_string, {}, {}, {t.premultiplication}, {}};
    Guard lock(host.mutex);
    PropSet* raw = img.get();
    host.images[raw] = std::move(img);
    ++host.fetched;
    *out = handle_of(raw);
    return kOfxStatOK;
}
OfxStatus clip_release_image(OfxPropertySetHandle h) {
    PropSet* set = set_of(h);
    if (set == nullptr) return kOfxStatErrBadHandle;
    Host& host = *set->host;
    Guard lock(host.mutex);
    return host.images.erase(set) == 1 ? kOfxStatOK : kOfxStatErrBadHandle;
}
OfxStatus clip_get_rod(OfxImageClipHandle h, OfxTime, OfxRectD* out) {
    if (h == nullptr || out == nullptr) return kOfxStatErrBadHandle;
    const Clip* c = reinterpret_cast<Clip*>(h);
    if (!c->image) return kOfxStatFailed;
    const OfxRectI& b = c->image->bounds;
    *out = OfxRectD{double(b.x1), double(b.y1), double(b.x2), double(b.y2)};
    return kOfxStatOK;
}
std::atomic<bool> g_host_aborts{false};
int effect_abort(OfxImageEffectHandle) {
    return g_host_aborts.load() ? 1 : 0;
}
OfxStatus memory_alloc(OfxImageEffectHandle, size_t, OfxImageMemoryHandle*) {
    return kOfxStatErrMemory;
}
OfxStatus memory_handle(OfxImageMemoryHandle) {
    return kOfxStatErrBadHandle;
}
OfxStatus memory_lock(OfxImageMemoryHandle, void**) {
    return kOfxStatErrBadHandle;
}

const OfxImageEffectSuiteV1 kImageEffectSuite = {
    get_property_set, get_param_set,      clip_define,  clip_get_handle, clip_get_property_set,
    clip_get_image,   clip_release_image, clip_get_rod, effect_abort,    memory_alloc,
    memory_handle,    memory_lock,        memory_handle};

// --- the parameter suite

int dimensions_of(const std::string& type) {
    if (type == kOfxParamTypeRGB) return 3;
    if (type == kOfxParamTypeGroup) return 0;
    return 1;
}

OfxStatus param_define(OfxParamSetHandle set, const char* type, const char* name,
                       OfxPropertySetHandle* out) {
    if (set == nullptr || type == nullptr || name == nullptr) return kOfxStatErrBadHandle;
    Effect* e = reinterpret_cast<Effect*>(set);
    if (e->param(name) != nullptr) return kOfxStatErrExists;
    auto p = std::make_unique<Param>();
    p->type = type;
    p->name = name;
    p->props.host = e->props.host;
    p->props.props[kOfxPropName] = Prop{kind_string, {}, {}, {name}, {}};
    p->props.props[kOfxParamPropType] = Prop{kind_string, {}, {}, {type}, {}};
    p->value.assign(static_cast<std::size_t>(dimensions_of(type)), 0.0);
    if (out) *out = handle_of(&p->props);
    e->params.push_back(std::move(p));
    return kOfxStatOK;
}
OfxStatus param_get_handle(OfxParamSetHandle set, const char* name, OfxParamHandle* out,
                           OfxPropertySetHandle* props) {
    if (set == nullptr || name == nullptr || out == nullptr) return kOfxStatErrBadHandle;
    Param* p = reinterpret_cast<Effect*>(set)->param(name);
    if (p == nullptr) return kOfxStatErrUnknown;
    *out = reinterpret_cast<OfxParamHandle>(p);
    if (props) *props = handle_of(&p->props);
    return kOfxStatOK;
}
OfxStatus param_set_props(OfxParamSetHandle set, OfxPropertySetHandle* out) {
    if (set == nullptr || out == nullptr) return kOfxStatErrBadHandle;
    *out = handle_of(&reinterpret_cast<Effect*>(set)->param_set_props);
    return kOfxStatOK;
}
OfxStatus param_props(OfxParamHandle h, OfxPropertySetHandle* out) {
    if (h == nullptr || out == nullptr) return kOfxStatErrBadHandle;
    *out = handle_of(&reinterpret_cast<Param*>(h)->props);
    return kOfxStatOK;
}

OfxStatus read_value(Param* p, const double* time, va_list args) {
    const std::vector<double>* v = &p->value;
    if (time != nullptr) {
        auto it = p->at_times.find(*time);
        if (it != p->at_times.end()) v = &it->second;
    }
    if (p->type == kOfxParamTypeInteger || p->type == kOfxParamTypeChoice) {
        int* out = va_arg(args, int*);
        if (out == nullptr) return kOfxStatErrValue;
        *out = static_cast<int>((*v)[0]);
        return kOfxStatOK;
    }
    if (p->type == kOfxParamTypeDouble || p->type == kOfxParamTypeRGB) {
        for (double x : *v) {
            double* out = va_arg(args, double*);
            if (out == nullptr) return kOfxStatErrValue;
            *out = x;
        }
        return kOfxStatOK;
    }
    return kOfxStatErrUnsupported;
}
OfxStatus param_get_value(OfxParamHandle h, ...) {
    if (h == nullptr) return kOfxStatErrBadHandle;
    va_list args;
    va_start(args, h);
    const OfxStatus s = read_value(reinterpret_cast<Param*>(h), nullptr, args);
    va_end(args);
    return s;
}
OfxStatus param_get_value_at_time(OfxParamHandle h, OfxTime time, ...) {
    if (h == nullptr) return kOfxStatErrBadHandle;
    va_list args;
    va_start(args, time);
    const OfxStatus s = read_value(reinterpret_cast<Param*>(h), &time, args);
    va_end(args);
    return s;
}
OfxStatus param_unsupported_t(OfxParamHandle, OfxTime, ...) {
    return kOfxStatErrUnsupported;
}
OfxStatus param_unsupported_tt(OfxParamHandle, OfxTime, OfxTime, ...) {
    return kOfxStatErrUnsupported;
}
OfxStatus param_unsupported_v(OfxParamHandle, ...) {
    return kOfxStatErrUnsupported;
}
OfxStatus param_num_keys(OfxParamHandle, unsigned int* n) {
    if (n) *n = 0;
    return kOfxStatOK;
}
OfxStatus param_key_time(OfxParamHandle, unsigned int, OfxTime*) {
    return kOfxStatErrBadIndex;
}
OfxStatus param_key_index(OfxParamHandle, OfxTime, int, int* index) {
    if (index) *index = -1;
    return kOfxStatFailed;
}
OfxStatus param_delete_key(OfxParamHandle, OfxTime) {
    return kOfxStatErrBadIndex;
}
OfxStatus param_delete_keys(OfxParamHandle) {
    return kOfxStatOK;
}
OfxStatus param_copy(OfxParamHandle, OfxParamHandle, OfxTime, const OfxRangeD*) {
    return kOfxStatErrUnsupported;
}
OfxStatus param_edit_begin(OfxParamSetHandle, const char*) {
    return kOfxStatOK;
}
OfxStatus param_edit_end(OfxParamSetHandle) {
    return kOfxStatOK;
}

const OfxParameterSuiteV1 kParameterSuite = {
    param_define,        param_get_handle,        param_set_props,     param_props,
    param_get_value,     param_get_value_at_time, param_unsupported_t, param_unsupported_tt,
    param_unsupported_v, param_unsupported_t,     param_num_keys,      param_key_time,
    param_key_index,     param_delete_key,        param_delete_keys,   param_copy,
    param_edit_begin,    param_edit_end};

// The multithread suite: the plug-in's function on as many threads as it asks for, at most
// the CPUs the host offers (set_host_threads).
std::atomic<unsigned> g_host_threads{2};
thread_local unsigned t_thread_index = 0;
thread_local bool t_spawned = false;

OfxStatus multi_thread(OfxThreadFunctionV1 func, unsigned int n, void* arg) {
    if (func == nullptr) return kOfxStatErrValue;
    if (t_spawned) return kOfxStatErrExists;  // not recursive
    if (n <= 1) {
        func(0, 1, arg);
        return kOfxStatOK;
    }
    run_each(n, [&](unsigned i) {
        t_thread_index = i;
        t_spawned = true;
        func(i, n, arg);
    });
    return kOfxStatOK;
}
OfxStatus multi_thread_cpus(unsigned int* n) {
    if (n == nullptr) return kOfxStatErrValue;
    *n = g_host_threads.load();
    return kOfxStatOK;
}
OfxStatus multi_thread_index(unsigned int* i) {
    if (i == nullptr) return kOfxStatErrValue;
    *i = t_thread_index;
    return kOfxStatOK;
}
int multi_thread_spawned() {
    return t_spawned ? 1 : 0;
}
OfxStatus mutex_create(OfxMutexHandle* mutex, int) {
    if (mutex == nullptr) return kOfxStatErrValue;
    *mutex = reinterpret_cast<OfxMutexHandle>(new Mutex);
    return kOfxStatOK;
}
OfxStatus mutex_destroy(const OfxMutexHandle mutex) {
    delete reinterpret_cast<Mutex*>(mutex);
    return kOfxStatOK;
}
OfxStatus mutex_lock(const OfxMutexHandle mutex) {
    reinterpret_cast<Mutex*>(mutex)->lock();
    return kOfxStatOK;
}
OfxStatus mutex_unlock(const OfxMutexHandle mutex) {
    reinterpret_cast<Mutex*>(mutex)->unlock();
    return kOfxStatOK;
}
OfxStatus mutex_try_lock(const OfxMutexHandle) {
    return kOfxStatFailed;
}

const OfxMultiThreadSuiteV1 kMultiThreadSuite = {
    multi_thread,  multi_thread_cpus, multi_thread_index, multi_thread_spawned, mutex_create,
    mutex_destroy, mutex_lock,        mutex_unlock,       mutex_try_lock};

const void* fetch_suite(OfxPropertySetHandle host, const char* name, int version) {
    if (host == nullptr || name == nullptr || version != 1) return nullptr;
    if (std::strcmp(name, kOfxMultiThreadSuite) == 0) return &kMultiThreadSuite;
    if (std::strcmp(name, kOfxPropertySuite) == 0) return &kPropertySuite;
    if (std::strcmp(name, kOfxImageEffectSuite) == 0) return &kImageEffectSuite;
    if (std::strcmp(name, kOfxParameterSuite) == 0) return &kParameterSuite;
    return nullptr;
}

void* open_library(const std::string& path) {
#if defined(_WIN32)
    return reinterpret_cast<void*>(LoadLibraryA(path.c_str()));
#else
    return dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
#endif
}

void* find_symbol(void* library, const char* name) {
#if defined(_WIN32)
    return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(library), name));
#else
    return dlsym(library, name);
#endif
}

void close_library(void* library) {
#if defined(_WIN32)
    FreeLibrary(static_cast<HMODULE>(library));
#else
    dlclose(library);
#endif
}

}  // namespace

bool check_property(const std::string& name, unsigned kind, int index, const std::string* value,
                    std::string& reason) {
    const PropFact* fact = fact_of(name);
    if (fact == nullptr) {
        reason = "no such property";
        return false;
    }
    if ((fact->kinds & kind) == 0) {
        reason = "wrong value type";
        return false;
    }
    if (index < 0 || (fact->dimension > 0 && index >= fact->dimension)) {
        reason = "index " + std::to_string(index) + " beyond the dimension";
        return false;
    }
    if (value != nullptr && !fact->values.empty()) {
        std::string_view rest = fact->values;
        bool found = false;
        while (!rest.empty() && !found) {
            const std::size_t bar = rest.find('|');
            found = rest.substr(0, bar) == *value;
            rest = bar == std::string_view::npos ? std::string_view{} : rest.substr(bar + 1);
        }
        if (!found) {
            reason = "value '" + *value + "' is not one of the allowed";
            return false;
        }
    }
    return true;
}

int PropSet::get_int(const std::string& name, int index) const {
    auto it = props.find(name);
    if (it == props.end() || static_cast<std::size_t>(index) >= it->second.ints.size()) return -1;
    return it->second.ints[static_cast<std::size_t>(index)];
}

double PropSet::get_double(const std::string& name, int index) const {
    auto it = props.find(name);
    if (it == props.end() || static_cast<std::size_t>(index) >= it->second.doubles.size()) {
        return -1;
    }
    return it->second.doubles[static_cast<std::size_t>(index)];
}

std::string PropSet::get_string(const std::string& name, int index) const {
    auto it = props.find(name);
    if (it == props.end() || static_cast<std::size_t>(index) >= it->second.strings.size()) {
        return {};
    }
    return it->second.strings[static_cast<std::size_t>(index)];
}

int PropSet::dimension(const std::string& name) const {
    auto it = props.find(name);
    if (it == props.end()) return 0;
    const Prop& p = it->second;
    return static_cast<int>(p.ints.size() + p.doubles.size() + p.strings.size() +
                            p.pointers.size());
}

Param* Effect::param(const std::string& name) {
    for (auto& p : params) {
        if (p->name == name) return p.get();
    }
    return nullptr;
}

Clip* Effect::clip(const std::string& name) {
    auto it = clips.find(name);
    return it == clips.end() ? nullptr : it->second.get();
}

Host::Host() {
    host_props.host = this;
    host_props.props[kOfxPropName] = Prop{kind_string, {}, {}, {"zx.ofxtest"}, {}};
    host_props.props[kOfxPropType] = Prop{kind_string, {}, {}, {kOfxTypeImageEffectHost}, {}};
    descriptor_.props.host = this;
    descriptor_.param_set_props.host = this;
    ofx_host_.host = handle_of(&host_props);
    ofx_host_.fetchSuite = fetch_suite;
}

Host::~Host() {
    unload();
}

void set_host_aborts(bool aborts) {
    g_host_aborts = aborts;
}

void set_host_threads(unsigned n) {
    g_host_threads = n < 1 ? 1 : n;
}

void Host::problem(const std::string& text) {
    Guard lock(mutex);
    problems_.push_back(text);
}

std::vector<std::string> Host::problems() const {
    Guard lock(mutex);
    return problems_;
}

int Host::live_images() const {
    Guard lock(mutex);
    return static_cast<int>(images.size());
}

int Host::images_fetched() const {
    Guard lock(mutex);
    return fetched;
}

OfxStatus Host::send(const char* action, const void* handle, PropSet* in_args, PropSet* out_args) {
    return plugin_->mainEntry(action, handle, in_args ? handle_of(in_args) : nullptr,
                              out_args ? handle_of(out_args) : nullptr);
}

bool Host::load(const std::string& binary) {
    library_ = open_library(binary);
    if (library_ == nullptr) {
        problem("cannot load " + binary);
        return false;
    }
    using Count = int (*)();
    using Get = OfxPlugin* (*)(int);
    auto count = reinterpret_cast<Count>(find_symbol(library_, "OfxGetNumberOfPlugins"));
    auto get = reinterpret_cast<Get>(find_symbol(library_, "OfxGetPlugin"));
    if (count == nullptr || get == nullptr || count() != 1 || (plugin_ = get(0)) == nullptr) {
        problem("the binary does not offer one plug-in");
        return false;
    }
    if (std::strcmp(plugin_->pluginApi, kOfxImageEffectPluginApi) != 0 ||
        plugin_->apiVersion != kOfxImageEffectPluginApiVersion) {
        problem("not an image effect plug-in of API version 1");
        return false;
    }
    plugin_->setHost(&ofx_host_);
    if (send(kOfxActionLoad, nullptr, nullptr, nullptr) != kOfxStatOK) {
        problem("Load failed");
        return false;
    }
    descriptor_.props.props[kOfxPropType] = Prop{kind_string, {}, {}, {kOfxTypeImageEffect}, {}};
    if (send(kOfxActionDescribe, &descriptor_, nullptr, nullptr) != kOfxStatOK) {
        problem("Describe failed");
        return false;
    }
    return true;
}

Effect* Host::create_instance(const std::string& context) {
    // Describe in context on a copy of the descriptor, then make the instance from it.
    auto described = std::make_unique<Effect>();
    described->props = descriptor_.props;
    described->param_set_props.host = this;
    PropSet in_args;
    in_args.host = this;
    in_args.props[kOfxImageEffectPropContext] = Prop{kind_string, {}, {}, {context}, {}};
    if (send(kOfxImageEffectActionDescribeInContext, described.get(), &in_args, nullptr) !=
        kOfxStatOK) {
        problem("DescribeInContext " + context + " failed");
        return nullptr;
    }
    auto inst = std::move(described);
    inst->props.props[kOfxPropType] = Prop{kind_string, {}, {}, {kOfxTypeImageEffectInstance}, {}};
    inst->props.props[kOfxImageEffectPropContext] = Prop{kind_string, {}, {}, {context}, {}};
    inst->props.props[kOfxPropInstanceData] = Prop{kind_pointer, {}, {}, {}, {nullptr}};
    for (auto& p : inst->params) {
        auto it = p->props.props.find(kOfxParamPropDefault);
        if (it == p->props.props.end()) continue;
        const Prop& d = it->second;
        for (std::size_t i = 0; i < p->value.size(); ++i) {
            if (d.kind == kind_int && i < d.ints.size()) p->value[i] = d.ints[i];
            if (d.kind == kind_double && i < d.doubles.size()) p->value[i] = d.doubles[i];
        }
    }
    Effect* raw = inst.get();
    effects_.push_back(std::move(inst));
    if (send(kOfxActionCreateInstance, raw, nullptr, nullptr) != kOfxStatOK) {
        problem("CreateInstance " + context + " failed");
        return nullptr;
    }
    return raw;
}

OfxStatus Host::destroy_instance(Effect* instance) {
    return send(kOfxActionDestroyInstance, instance, nullptr, nullptr);
}

OfxStatus Host::instance_changed(Effect* instance, const std::string& param) {
    PropSet in_args;
    in_args.host = this;
    in_args.props[kOfxPropName] = Prop{kind_string, {}, {}, {param}, {}};
    in_args.props[kOfxPropChangeReason] = Prop{kind_string, {}, {}, {kOfxChangeUserEdited}, {}};
    in_args.props[kOfxPropTime] = Prop{kind_double, {}, {0.0}, {}, {}};
    in_args.props[kOfxImageEffectPropRenderScale] = Prop{kind_double, {}, {1.0, 1.0}, {}, {}};
    send(kOfxActionBeginInstanceChanged, instance, nullptr, nullptr);
    const OfxStatus s = send(kOfxActionInstanceChanged, instance, &in_args, nullptr);
    send(kOfxActionEndInstanceChanged, instance, nullptr, nullptr);
    return s;
}

namespace {

// The arguments of IsIdentity and Render, after setting on each clip what a host's clip
// preferences leave there: the format of the images it hands over.
PropSet render_args(Host* host, Effect& instance, double time, const OfxRectI& window,
                    double scale) {
    // Written only where they change: renders of one instance on several threads read them
    // while they set the same values.
    const auto set = [](std::map<std::string, Prop>& p, const char* key, const std::string* value) {
        const auto at = p.find(key);
        if (value == nullptr) {
            if (at != p.end()) p.erase(at);
        } else if (at == p.end() || at->second.strings != std::vector<std::string>{*value}) {
            p[key] = Prop{kind_string, {}, {}, {*value}, {}};
        }
    };
    for (auto& [name, clip] : instance.clips) {
        const std::shared_ptr<TestImage> image = image_at(*clip, time);
        auto& p = clip->props.props;
        set(p, kOfxImageEffectPropPixelDepth, image ? &image->depth : nullptr);
        set(p, kOfxImageEffectPropPreMultiplication, image ? &image->premultiplication : nullptr);
    }
    PropSet in_args;
    in_args.host = host;
    in_args.props[kOfxPropTime] = Prop{kind_double, {}, {time}, {}, {}};
    in_args.props[kOfxImageEffectPropRenderWindow] =
        Prop{kind_int, {window.x1, window.y1, window.x2, window.y2}, {}, {}, {}};
    in_args.props[kOfxImageEffectPropRenderScale] = Prop{kind_double, {}, {scale, scale}, {}, {}};
    return in_args;
}

}  // namespace

OfxStatus Host::is_identity(Effect* instance, double time, const OfxRectI& window, double scale,
                            std::string& clip, double& clip_time) {
    PropSet in_args = render_args(this, *instance, time, window, scale);
    PropSet out_args;
    out_args.host = this;
    const OfxStatus s = send(kOfxImageEffectActionIsIdentity, instance, &in_args, &out_args);
    clip = out_args.get_string(kOfxPropName);
    clip_time = out_args.get_double(kOfxPropTime);
    return s;
}

OfxStatus Host::render_action(Effect* instance, double time, const OfxRectI& window, double scale) {
    PropSet in_args = render_args(this, *instance, time, window, scale);
    return send(kOfxImageEffectActionRender, instance, &in_args, nullptr);
}

OfxStatus Host::render(Effect* instance, double time, const OfxRectI& window, double scale) {
    std::string name;
    double input_time = time;
    const OfxStatus s = is_identity(instance, time, window, scale, name, input_time);
    if (s == kOfxStatReplyDefault) return render_action(instance, time, window, scale);
    if (s != kOfxStatOK) return s;
    const Clip* input = instance->clip(name);
    const std::shared_ptr<TestImage> output =
        image_at(*instance->clip(kOfxImageEffectOutputClipName), time);
    if (input == nullptr || name == kOfxImageEffectOutputClipName) {
        problem("IsIdentity names no input clip: '" + name + "'");
        return kOfxStatErrValue;
    }
    const std::shared_ptr<TestImage> from = image_at(*input, input_time);
    if (!from || !output) return kOfxStatFailed;
    // The input's image becomes the output's, as a host shows a clip it passes through.
    const std::ptrdiff_t offset = from->data - from->storage.data();
    *output = *from;
    output->data = output->storage.data() + offset;
    return kOfxStatOK;
}

void Host::unload() {
    if (library_ == nullptr) return;
    for (auto& e : effects_) {
        if (e->props.props[kOfxPropInstanceData].pointers[0] != nullptr) destroy_instance(e.get());
    }
    effects_.clear();
    if (plugin_ != nullptr) send(kOfxActionUnload, nullptr, nullptr, nullptr);
    close_library(library_);
    library_ = nullptr;
    plugin_ = nullptr;
}

}  // namespace zx::ofxtest
