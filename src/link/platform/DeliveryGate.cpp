#include "link/platform/DeliveryGate.h"

namespace kv::hid {

namespace {
/// Deliveries the calling thread is inside, over every gate.
thread_local int t_depth = 0;
} // namespace

DeliveryGate::Pass::Pass(DeliveryGate& gate) : m_gate(gate) {
    ++t_depth;
    std::lock_guard lock(m_gate.m_lock);
    ++m_gate.m_inside;
}

DeliveryGate::Pass::~Pass() {
    {
        std::lock_guard lock(m_gate.m_lock);
        --m_gate.m_inside;
    }
    m_gate.m_left.notify_all();
    --t_depth;
}

void DeliveryGate::WaitIdle() {
    if (InsideDelivery()) {
        return;
    }
    std::unique_lock lock(m_lock);
    m_left.wait(lock, [this] { return m_inside == 0; });
}

bool DeliveryGate::InsideDelivery() {
    return t_depth > 0;
}

} // namespace kv::hid
