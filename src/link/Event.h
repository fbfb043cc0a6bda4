#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>

namespace kv {

/// A waitable event in the manner of the link's acknowledgement and reader-exit events:
/// an auto-reset event lets exactly one successful wait through per Set, a manual-reset
/// event stays set until Reset.
class Event {
public:
    enum class Mode { AutoReset, ManualReset };

    Event(Mode mode, bool signalled) : m_mode(mode), m_signalled(signalled) {}
    Event(const Event&) = delete;
    Event& operator=(const Event&) = delete;

    void Set();
    void Reset();
    /// Waits until the event is set or the time-out passes; true when it was set. An
    /// auto-reset event is consumed by the successful wait.
    bool Wait(std::chrono::milliseconds timeout);
    /// True when set; does not consume.
    bool IsSet() const;

private:
    const Mode m_mode;
    mutable std::mutex m_lock; ///< guards m_signalled
    std::condition_variable m_changed;
    bool m_signalled;
};

} // namespace kv
