#include "link/Event.h"

namespace kv {

void Event::Set() {
    {
        std::lock_guard lock(m_lock);
        m_signalled = true;
    }
    if (m_mode == Mode::AutoReset) {
        m_changed.notify_one();
    } else {
        m_changed.notify_all();
    }
}

void Event::Reset() {
    std::lock_guard lock(m_lock);
    m_signalled = false;
}

bool Event::Wait(std::chrono::milliseconds timeout) {
    std::unique_lock lock(m_lock);
    if (!m_changed.wait_for(lock, timeout, [this] { return m_signalled; })) {
        return false;
    }
    if (m_mode == Mode::AutoReset) {
        m_signalled = false;
    }
    return true;
}

bool Event::IsSet() const {
    std::lock_guard lock(m_lock);
    return m_signalled;
}

} // namespace kv
