#pragma once

#include <chrono>

namespace kv::sim {

/// Sleeps until deadline and wakes within a few microseconds of it, where a plain sleep
/// wakes 40 to 90 us late (the kernel's timer slack and the wake-up delay): the calling
/// thread's timer slack is set to 1 ns, the sleep ends early by a margin learnt from how
/// late the thread's earlier sleeps woke, and the rest is spent yielding.
void SleepUntilExactly(std::chrono::steady_clock::time_point deadline);

} // namespace kv::sim
