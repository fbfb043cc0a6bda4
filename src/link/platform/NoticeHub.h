#pragma once

#include "link/platform/DeliveryGate.h"
#include "link/platform/HidBackend.h"

#include <memory>
#include <mutex>
#include <utility>

namespace kv::hid {

/// The notice handler of one backend, shared with its watcher thread and its open devices.
/// The handler is called with no lock held; once Set or Clear returns, the handler they
/// replaced is in no call any more (except a call that made them, on its own thread).
class NoticeHub {
public:
    void Set(HidNoticeFn fn) {
        std::shared_ptr<const HidNoticeFn> previous;
        {
            std::lock_guard lock(m_lock);
            previous = std::exchange(m_fn, Wrap(std::move(fn)));
        }
        if (previous) {
            m_gate.WaitIdle();
        }
    }
    /// Installs fn unless a handler is in place. Safe from inside a notice (a handler that
    /// connects the link, which registers for notices again).
    void Install(HidNoticeFn fn) {
        std::lock_guard lock(m_lock);
        if (!m_fn) {
            m_fn = Wrap(std::move(fn));
        }
    }
    void Clear() { Set(nullptr); }
    void Notify(HidNotice notice, const std::string& path) {
        DeliveryGate::Pass pass(m_gate); // before the handler is taken, so Clear waits for it
        std::shared_ptr<const HidNoticeFn> fn;
        {
            std::lock_guard lock(m_lock);
            fn = m_fn;
        }
        if (fn) {
            (*fn)(notice, path);
        }
    }

private:
    static std::shared_ptr<const HidNoticeFn> Wrap(HidNoticeFn fn) {
        return fn ? std::make_shared<const HidNoticeFn>(std::move(fn)) : nullptr;
    }

    std::mutex m_lock; ///< guards m_fn (never held while it runs)
    std::shared_ptr<const HidNoticeFn> m_fn;
    DeliveryGate m_gate;
};

} // namespace kv::hid
