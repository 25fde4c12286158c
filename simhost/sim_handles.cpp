// Handles: memory the effect asks the host for, its ledger, and the "PF Handle Suite".
#include <algorithm>
#include <cstring>
#include <new>

#include "simhost/sim_callbacks.h"

namespace simhost {

PF_Handle PF_CALLBACK SimHost::Callbacks::new_handle(A_HandleSize size) {
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
    // Not zeros: a read of memory the effect never wrote shows up as the poison.
    std::memset(rec->storage.data(), kHandlePoison, rec->storage.size() * sizeof(std::max_align_t));
    rec->master = rec->storage.data();
    rec->size = size;
    PF_Handle handle = &rec->master;
    h.handles_[handle] = std::move(rec);
    return handle;
}

void* PF_CALLBACK SimHost::Callbacks::lock_handle(PF_Handle handle) {
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

void PF_CALLBACK SimHost::Callbacks::unlock_handle(PF_Handle handle) {
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

void PF_CALLBACK SimHost::Callbacks::dispose_handle(PF_Handle handle) {
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

}  // namespace simhost
