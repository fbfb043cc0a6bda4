#pragma once

#include "link/platform/HidBackend.h"

#include <atomic>
#include <mutex>

namespace kv::hid {

/// The notice handler of one backend, shared with its watcher thread and its open devices.
/// Notify runs the handler under the lock, so once Clear returns no notice is delivered.
class NoticeHub {
public:
    void Set(HidNoticeFn fn) {
        std::lock_guard lock(m_lock);
        m_fn = std::move(fn);
        m_active.store(static_cast<bool>(m_fn));
    }
    /// Installs fn unless a handler is in place. Safe from inside a notice (a handler that
    /// connects the link, which registers for notices again).
    void Install(HidNoticeFn fn) {
        if (!m_active.load()) {
            Set(std::move(fn));
        }
    }
    void Clear() { Set(nullptr); }
    void Notify(HidNotice notice, const std::string& path) {
        std::lock_guard lock(m_lock);
        if (m_fn) {
            m_fn(notice, path);
        }
    }

private:
    std::mutex m_lock; ///< guards m_fn and serialises its calls
    HidNoticeFn m_fn;
    std::atomic<bool> m_active{false};
};

} // namespace kv::hid
