#pragma once
// Two sides of a comparison timed in turn within one run: every iteration times side A and then
// side B, so that a machine whose speed drifts slows both alike. The iteration's time is A's;
// the counters give both sides in milliseconds and the ratio A / B. Run with repetitions and
// read the medians.

#include <benchmark/benchmark.h>

#include <chrono>
#include <functional>

struct TBenchPair {
    double A = 0;   // seconds
    double B = 0;

    // Times f; setup and teardown (untimed) go around it in the caller.
    template <typename F> static double Time(F&& f)
    {
        const auto start = std::chrono::steady_clock::now();
        f();
        return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    }

    void Report(benchmark::State& state) const
    {
        const double n = double(state.iterations());
        state.counters["A_ms"] = A * 1000 / n;
        state.counters["B_ms"] = B * 1000 / n;
        state.counters["ratio"] = B > 0 ? A / B : 0;
    }
};

// One iteration of a pair: a(), then b(), each timed; the iteration counts as A's time.
template <typename FA, typename FB> void TimePair(benchmark::State& state, TBenchPair& pair, FA&& a, FB&& b)
{
    const double ta = TBenchPair::Time(a);
    const double tb = TBenchPair::Time(b);
    pair.A += ta;
    pair.B += tb;
    state.SetIterationTime(ta);
}
