#pragma once

#include "link/platform/HidBackend.h"
#include "link/platform/NoticeHub.h"
#include "link/platform/UsbId.h"

#include <map>
#include <memory>
#include <mutex>
#include <string>

namespace kv::sim {

class Simulator;
class SimPort;

/// A HID backend whose devices are simulators in the same process: the link talks to a
/// Simulator without sockets or files. Paths are "sim:<name>". Each attached simulator gets
/// a thread of its own that handles the host's commands, as the processor would.
class InProcessBus : public hid::HidBackend {
public:
    static constexpr std::string_view kPathPrefix = "sim:";

    InProcessBus();
    ~InProcessBus() override;

    /// Attaches a plugged-in device backed by sim (which must outlive the attachment) and
    /// announces its arrival; returns its path.
    std::string Attach(Simulator& sim, const std::string& name, UsbId id = ProcessorUsbId());
    /// Unplugs (when plugged) and forgets the device.
    void Detach(const std::string& path);
    /// Pulls the device out: reads of every open connection fail and a removal is announced.
    void Unplug(const std::string& path);
    /// Plugs it in again and announces the arrival.
    void Plug(const std::string& path);
    /// While held, the device takes and answers commands as ever, but the host reads none of
    /// its reports until they are let go (in order): a processor whose answers are late for
    /// as long as a test needs.
    void HoldReports(const std::string& path, bool hold);

    std::string_view Name() const override { return "in-process"; }
    bool Enumerate(std::vector<hid::HidInterface>& out) override;
    bool Claims(const std::string& path) const override;
    std::shared_ptr<hid::HidDevice> Open(const std::string& path) override;
    bool StartWatching(hid::HidNoticeFn notice) override;
    void StopWatching() override;

private:
    std::shared_ptr<SimPort> FindPort(const std::string& path) const;

    std::shared_ptr<hid::NoticeHub> m_hub;
    mutable std::mutex m_lock; ///< guards m_ports
    std::map<std::string, std::shared_ptr<SimPort>> m_ports;
};

} // namespace kv::sim
