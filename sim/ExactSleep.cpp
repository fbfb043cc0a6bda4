#include "sim/ExactSleep.h"

#include <algorithm>
#include <sys/prctl.h>
#include <thread>

namespace kv::sim {

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::microseconds;

constexpr microseconds kFirstMargin{60};
constexpr microseconds kMaxMargin{400};
/// Added to the latest lateness seen, and taken off again one step per sleep that woke
/// well inside the margin, so the margin follows the machine's load both ways.
constexpr microseconds kHeadroom{15};
constexpr microseconds kShrinkStep{1};

struct ThreadTiming {
    bool slackSet = false;
    microseconds margin = kFirstMargin;
};

thread_local ThreadTiming t_timing;

} // namespace

void SleepUntilExactly(Clock::time_point deadline) {
    ThreadTiming& t = t_timing;
    if (!t.slackSet) {
        prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL);
        t.slackSet = true;
    }
    const Clock::time_point wake = deadline - t.margin;
    if (Clock::now() < wake) {
        std::this_thread::sleep_until(wake);
        const auto late = std::chrono::duration_cast<microseconds>(Clock::now() - wake);
        if (late + kHeadroom > t.margin) {
            t.margin = std::min(late + kHeadroom, kMaxMargin);
        } else if (late + 2 * kHeadroom < t.margin) {
            t.margin -= kShrinkStep;
        }
    }
    while (Clock::now() < deadline) {
        std::this_thread::yield();
    }
}

} // namespace kv::sim
