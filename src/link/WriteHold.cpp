#include "link/WriteHold.h"

#include <atomic>
#include <cstdint>
#include <thread>

namespace kv {

namespace {

using Clock = std::chrono::steady_clock;

/// The end of the hold, in ticks of the clock since its epoch (0: none yet).
std::atomic<Clock::rep> g_holdUntil{0};

} // namespace

void HoldWritesFor(std::chrono::milliseconds duration) {
    const Clock::rep until = (Clock::now() + duration).time_since_epoch().count();
    Clock::rep held = g_holdUntil.load();
    while (held < until && !g_holdUntil.compare_exchange_weak(held, until)) {
    }
}

void AwaitWriteHold() {
    // A hold made longer meanwhile is waited for too.
    for (;;) {
        const Clock::time_point until{Clock::duration{g_holdUntil.load()}};
        if (Clock::now() >= until) {
            return;
        }
        std::this_thread::sleep_until(until);
    }
}

} // namespace kv
