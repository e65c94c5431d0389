#pragma once
// Wall-clock timing shared by the benchmarks.

#include <chrono>

namespace bench {

inline double secondsSince(std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

/// How long `work` takes.
template <class F> double secondsOf(F &&work)
{
    const auto start = std::chrono::steady_clock::now();
    work();
    return secondsSince(start);
}

} // namespace bench
