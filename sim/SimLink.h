#pragma once

#include "link/platform/HidBackend.h"
#include "sim/InProcessBus.h"
#include "sim/Simulator.h"

#include <memory>
#include <string>

namespace kv {
class ILinkReceiver;
}

namespace kv::sim {

/// A simulator on an in-process bus that is the link's only backend, with the link
/// connected to it: a processor without sockets, for benchmarks, tools and tests. The
/// previous backends come back when it goes.
class SimLink {
public:
    /// receiver: where the link reports (nullptr: nowhere).
    explicit SimLink(SimOptions options = {}, ILinkReceiver* receiver = nullptr);
    SimLink(const SimLink&) = delete;
    SimLink& operator=(const SimLink&) = delete;
    /// Unplugs the simulator (so the reader ends at once), closes the link, detaches.
    ~SimLink();

    bool Connected() const { return m_connected; }
    Simulator& Sim() { return *m_sim; }
    InProcessBus& Bus() { return *m_bus; }
    const std::string& Path() const { return m_path; }

private:
    std::unique_ptr<ILinkReceiver> m_nullReceiver;
    std::unique_ptr<Simulator> m_sim;
    std::shared_ptr<InProcessBus> m_bus;
    hid::HidBackendList m_previous;
    std::string m_path;
    bool m_connected = false;
};

} // namespace kv::sim
