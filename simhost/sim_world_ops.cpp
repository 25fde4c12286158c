// World operations: copy and fill of worlds at the effect's request, and which world is which.
#include "hostkit/host_worlds.h"
#include "simhost/sim_callbacks.h"

namespace simhost {

PF_Err PF_CALLBACK SimHost::Callbacks::copy(PF_ProgPtr ref, PF_EffectWorld* src,
                                            PF_EffectWorld* dst, PF_Rect* src_r, PF_Rect* dst_r) {
    SimHost& h = host();
    const auto fault = h.enter(HostFn::copy);
    WorldOp op{HostFn::copy,     h.identify(src), h.identify(dst), src_r == nullptr,
               dst_r == nullptr, false,           PF_Pixel{},      PF_Err_NONE};
    if (!known_ref(h, ref, "copy")) {
        op.result = kMisuseErr;
    } else if (fault) {
        op.result = *fault;
    } else if (!zx::hostkit::copy_world(src, dst, src_r, dst_r)) {
        op.result = PF_Err_BAD_CALLBACK_PARAM;
    }
    h.world_ops_.push_back(op);
    return op.result;
}

PF_Err PF_CALLBACK SimHost::Callbacks::fill(PF_ProgPtr ref, const PF_Pixel* color,
                                            const PF_Rect* dst_rect, PF_EffectWorld* world) {
    SimHost& h = host();
    const auto fault = h.enter(HostFn::fill);
    WorldOp op{HostFn::fill,        WorldId::null,    h.identify(world),           true,
               dst_rect == nullptr, color == nullptr, color ? *color : PF_Pixel{}, PF_Err_NONE};
    if (!known_ref(h, ref, "fill")) {
        op.result = kMisuseErr;
    } else if (fault) {
        op.result = *fault;
    } else if (!zx::hostkit::fill_world(color, dst_rect, world)) {
        op.result = PF_Err_BAD_CALLBACK_PARAM;
    }
    h.world_ops_.push_back(op);
    return op.result;
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

}  // namespace simhost
