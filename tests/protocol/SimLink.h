#pragma once

#include "link/LinkReceiver.h"
#include "link/platform/HidBackend.h"
#include "sim/InProcessBus.h"
#include "sim/Simulator.h"

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace kv::test {

/// The link connected to an in-process simulated processor for the lifetime of the object;
/// synchronisation ends posted to the receiver are collected.
class SimLink final : public ILinkReceiver {
public:
    explicit SimLink(sim::SimOptions options = {});
    ~SimLink() override;
    SimLink(const SimLink&) = delete;
    SimLink& operator=(const SimLink&) = delete;

    /// True when ConnectUsbDevice succeeded.
    bool Connected() const { return m_connected; }
    sim::Simulator& Sim() { return *m_sim; }
    /// Waits for the end of a synchronisation of that kind.
    bool WaitForSync(notice::SyncKind kind, std::chrono::milliseconds timeout);

    void PostNotice(const LinkNotice& notice) override;
    void ShowErrorBox(const std::string&, const std::string&) override {}

private:
    std::unique_ptr<sim::Simulator> m_sim;
    std::shared_ptr<sim::InProcessBus> m_bus;
    hid::HidBackendList m_previous;
    std::string m_path;
    bool m_connected = false;
    std::mutex m_lock; ///< guards m_syncs
    std::condition_variable m_changed;
    std::vector<notice::SyncKind> m_syncs;
};

} // namespace kv::test
