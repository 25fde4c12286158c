// Which picture a transition shuffles at t, and at what Completion (see transition.h).
#pragma once

namespace zx::embed {

struct TransitionStep {
    bool a_moves = true;      // E(A) over B; otherwise E(B) over A
    double completion = 0.0;  // percent
};

// The step of t (percent); t outside [0, 100] or NaN gives nothing valid: check it first with
// transition_t_valid().
inline bool transition_t_valid(double t_percent) {
    return t_percent >= 0.0 && t_percent <= 100.0;  // false for NaN
}

inline TransitionStep transition_step(double t_percent) {
    if (t_percent < 50.0) return {true, 2.0 * t_percent};
    return {false, 200.0 - 2.0 * t_percent};
}

}  // namespace zx::embed
