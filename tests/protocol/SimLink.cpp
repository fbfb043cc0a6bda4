#include "SimLink.h"

#include "link/ConnectionState.h"
#include "link/Link.h"
#include "protocol/CommandSink.h"
#include "protocol/Commands.h"
#include "protocol/Dispatcher.h"
#include "protocol/Synchronize.h"

#include <algorithm>

namespace kv::test {

SimLink::SimLink(sim::SimOptions options)
    : m_sim(std::make_unique<sim::Simulator>(std::move(options))),
      m_bus(std::make_shared<sim::InProcessBus>()), m_previous(hid::HidBackends()) {
    hid::SetHidBackends({m_bus});
    m_path = m_bus->Attach(*m_sim, "test");
    InstallReportDispatcher();
    m_connected = ConnectUsbDevice(this);
    InstallReadAllStarter();
}

SimLink::~SimLink() {
    WaitForSyncThreads(std::chrono::seconds(5));
    if (g_bDeviceConnected.load() != 0) {
        CommandSink().Write(BuildCommand({kCmdGoodbye}));
    }
    CloseUsbDevice();
    m_bus->Detach(m_path);
    hid::SetHidBackends(m_previous);
}

bool SimLink::WaitForSync(notice::SyncKind kind, std::chrono::milliseconds timeout) {
    std::unique_lock lock(m_lock);
    const bool seen = m_changed.wait_for(lock, timeout, [&] {
        return std::find(m_syncs.begin(), m_syncs.end(), kind) != m_syncs.end();
    });
    if (seen) {
        m_syncs.erase(std::find(m_syncs.begin(), m_syncs.end(), kind));
    }
    return seen;
}

void SimLink::PostNotice(const LinkNotice& notice) {
    const auto* finished = std::get_if<notice::SyncFinished>(&notice);
    if (!finished) {
        return;
    }
    {
        std::lock_guard lock(m_lock);
        m_syncs.push_back(finished->kind);
    }
    m_changed.notify_all();
}

} // namespace kv::test
