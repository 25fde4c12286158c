// Two renders timed render for render in turn, so that both meet the same state of a shared
// machine, where separate cases drift apart between runs.
#pragma once

#include <benchmark/benchmark.h>

#include <chrono>

// Times `mine()` and `other()`, each a render returning false when it fails, one after the
// other, each going first every other time so that neither always finds the other's caches.
// The iteration time is mine's; "other_ms" the other's mean, "ratio" mine's time over it.
template <class Mine, class Other>
void time_in_turn(benchmark::State& state, Mine&& mine, Other&& other) {
    using Clock = std::chrono::steady_clock;
    const auto timed = [](auto&& render) {
        const auto t0 = Clock::now();
        const bool ok = render();
        const double seconds = std::chrono::duration<double>(Clock::now() - t0).count();
        return ok ? seconds : -1.0;
    };
    double mine_total = 0, other_total = 0;
    bool other_first = false;
    for (auto _ : state) {
        double a = 0, b = 0;
        if (other_first) b = timed(other);
        a = timed(mine);
        if (!other_first) b = timed(other);
        other_first = !other_first;
        if (a < 0 || b < 0) {
            state.SkipWithError("render failed");
            break;
        }
        state.SetIterationTime(a);
        mine_total += a;
        other_total += b;
    }
    state.counters["other_ms"] =
        benchmark::Counter(other_total * 1e3, benchmark::Counter::kAvgIterations);
    state.counters["ratio"] = other_total > 0 ? mine_total / other_total : 0;
}
