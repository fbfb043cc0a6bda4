#pragma once

#include <functional>
#include <thread>

namespace kv::hid {

/// A thread that waits on one file descriptor and a stop signal (an eventfd), calling the
/// handler each time the descriptor becomes readable. Used by the backends' watchers.
class WatchThread {
public:
    WatchThread() = default;
    WatchThread(const WatchThread&) = delete;
    WatchThread& operator=(const WatchThread&) = delete;
    ~WatchThread() { Stop(); }

    /// Starts watching fd; false when the stop signal cannot be created.
    bool Start(int fd, std::function<void()> onReadable);
    /// Signals the thread and joins it; idempotent.
    void Stop();
    bool Running() const { return m_thread.joinable(); }

private:
    void Run(int fd, const std::function<void()>& onReadable) const;

    std::thread m_thread;
    int m_stopFd = -1;
};

} // namespace kv::hid
