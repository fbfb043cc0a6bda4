#pragma once

#include <condition_variable>
#include <mutex>

namespace kv::hid {

/// Counts the notices being handed to a handler, so that the handler runs with no lock held
/// (it may connect, register or log) while whoever replaces or removes it can still wait
/// until no call is in progress.
class DeliveryGate {
public:
    /// Marks one delivery on the calling thread for its lifetime.
    class Pass {
    public:
        explicit Pass(DeliveryGate& gate);
        ~Pass();
        Pass(const Pass&) = delete;
        Pass& operator=(const Pass&) = delete;

    private:
        DeliveryGate& m_gate;
    };

    /// Waits until no delivery of this gate runs. Returns at once on a thread that is itself
    /// delivering a notice (of any gate): two deliveries waiting for each other would never
    /// end, so a handler never waits for another one.
    void WaitIdle();
    /// True while the calling thread is inside a delivery of any gate.
    static bool InsideDelivery();

private:
    std::mutex m_lock; ///< guards m_inside
    std::condition_variable m_left;
    int m_inside = 0;
};

} // namespace kv::hid
