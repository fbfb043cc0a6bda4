#include "sim/SimLink.h"

#include "link/Link.h"
#include "link/LinkReceiver.h"
#include "protocol/Dispatcher.h"

namespace kv::sim {

namespace {

class NullReceiver final : public ILinkReceiver {
public:
    void PostNotice(const LinkNotice&) override {}
    void ShowErrorBox(const std::string&, const std::string&) override {}
};

} // namespace

SimLink::SimLink(SimOptions options, ILinkReceiver* receiver)
    : m_sim(std::make_unique<Simulator>(std::move(options))),
      m_bus(std::make_shared<InProcessBus>()), m_previous(hid::HidBackends()) {
    if (receiver == nullptr) {
        m_nullReceiver = std::make_unique<NullReceiver>();
        receiver = m_nullReceiver.get();
    }
    hid::SetHidBackends({m_bus});
    m_path = m_bus->Attach(*m_sim, "simulator");
    InstallReportDispatcher();
    m_connected = ConnectUsbDevice(receiver);
}

SimLink::~SimLink() {
    m_bus->Unplug(m_path);
    CloseUsbDevice();
    UnregisterUsbNotification();
    m_bus->Detach(m_path);
    hid::SetHidBackends(m_previous);
    if (LinkReceiver() == m_nullReceiver.get()) {
        SetLinkReceiver(nullptr);
    }
}

} // namespace kv::sim
