// Timing one piece of work against a reference in the same iterations, so
// that the ratio of the two is measured under the same machine conditions
// (frequency, other load) even on a shared, noisy machine.
#pragma once

#include <benchmark/benchmark.h>

#include <chrono>

namespace bench {

using Clock = std::chrono::steady_clock;

// What the ratio counter says: how many times the reference's time ours
// costs (pool operations against their floor), or how many times faster ours
// is (routines against a peer).
enum class Ratio { kCost, kSpeedup };

// Runs prepare(), then times ours() and reference() back to back, in every
// iteration. The benchmark's reported time is that of ours() alone (register
// it with ->UseManualTime()); the counter `ratio_name` compares the two
// totals. Each call should be several microseconds of work so that reading
// the clock does not count.
template <typename Prepare, typename Ours, typename Reference>
void side_by_side(benchmark::State &state, const char *ratio_name, Ratio ratio, Prepare &&prepare, Ours &&ours,
                  Reference &&reference) {
    double ours_total = 0;
    double reference_total = 0;
    for (auto _ : state) {
        prepare();
        const auto t0 = Clock::now();
        ours();
        const auto t1 = Clock::now();
        reference();
        const auto t2 = Clock::now();
        const double ours_seconds = std::chrono::duration<double>(t1 - t0).count();
        state.SetIterationTime(ours_seconds);
        ours_total += ours_seconds;
        reference_total += std::chrono::duration<double>(t2 - t1).count();
    }
    if (ours_total > 0 && reference_total > 0) {
        state.counters[ratio_name] =
            ratio == Ratio::kCost ? ours_total / reference_total : reference_total / ours_total;
    }
}

} // namespace bench
