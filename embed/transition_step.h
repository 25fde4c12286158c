// The effect as a transition from picture A to picture B, the one definition every front end
// uses. With E(X, c) the effect rendering X at Completion c and "U over L" the effect's Normal
// operator at full opacity, at transition t:
//
//   t <  50 %   E(A, 2t) over B        (A shuffles away, B shows through)
//   t >= 50 %   E(B, 200 % - 2t) over A
//
// Every other parameter applies as the panel holds it.
//
// t is given in percent, 0..100, the unit the command line's --completion takes and the one
// frei0r's x * 100 gives. The side of 50 % is chosen on that exact double and only the
// Completion is rounded to 16.16, by percent_to_fixed(). Both branches' Completion, 2t and
// 200 - 2t, are exact in double for every t in range, so no front end adds a rounding of its
// own. Just below 50 % both sides render at Completion 100 % once rounded, yet t = 50 - e still
// puts A's shuffle over B: a front end that rounded t to 16.16 first would flip that to the
// other side, which is why t is never passed as a fixed-point value. A front end holding t as
// 0..1 passes t * 100: one rounded multiplication, which keeps every t below 1/2 below 50 %.
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
