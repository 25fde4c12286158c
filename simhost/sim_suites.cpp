// Suites: the basic suite's acquire and release, the suites the host serves by name and
// version, and the text functions of the ANSI table.
#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "hostkit/host_tables.h"
#include "simhost/sim_callbacks.h"

namespace simhost {

namespace {

using CB = SimHost::Callbacks;

PF_HandleSuite1 make_handle_suite() {
    PF_HandleSuite1 s{CB::new_handle,     CB::lock_handle, CB::unlock_handle,
                      CB::dispose_handle, nullptr,         nullptr};
    SIM_TRAP(s, "PF_HandleSuite1", host_get_handle_size);
    SIM_TRAP(s, "PF_HandleSuite1", host_resize_handle);
    return s;
}

const zx::hostkit::SuiteTables kSuites =
    zx::hostkit::make_suite_tables<Trapped, CB>(make_handle_suite());

}  // namespace

int PF_CALLBACK SimHost::Callbacks::ansi_sprintf(A_char* buffer, const A_char* format, ...) {
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

A_char* PF_CALLBACK SimHost::Callbacks::ansi_strcpy(A_char* dst, const A_char* src) {
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
void SimHost::Callbacks::store_text(SimHost& h, A_char* dst, const char* text, const char* fn) {
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

A_long PF_CALLBACK SimHost::Callbacks::acquire_suite(const A_char* name, A_long version,
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

A_long PF_CALLBACK SimHost::Callbacks::release_suite(const A_char* name, A_long version) {
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

const void* SimHost::Callbacks::served(const std::pair<std::string, A_long>& key) {
    return zx::hostkit::find_suite(kSuites, key.first.c_str(), key.second);
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

}  // namespace simhost
