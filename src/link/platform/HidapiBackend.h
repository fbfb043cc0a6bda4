#pragma once

#include "link/platform/HidBackend.h"
#include "link/platform/NoticeHub.h"
#include "link/platform/WatchThread.h"

#include <memory>
#include <mutex>

struct udev;
struct udev_monitor;

namespace kv::hid {

/// Real HID interfaces through hidapi's hidraw backend (paths like /dev/hidraw0), with
/// arrival and removal from a libudev monitor on the hidraw subsystem.
class HidapiBackend : public HidBackend {
public:
    HidapiBackend();
    ~HidapiBackend() override;

    std::string_view Name() const override { return "hidapi"; }
    bool Enumerate(std::vector<HidInterface>& out) override;
    bool Claims(const std::string& path) const override;
    std::shared_ptr<HidDevice> Open(const std::string& path) override;
    bool StartWatching(HidNoticeFn notice) override;
    void StopWatching() override;

private:
    struct UdevMonitor {
        udev* context = nullptr;
        udev_monitor* monitor = nullptr;
    };
    void OnUdevEvent(udev_monitor* monitor);
    static void ReleaseUdev(UdevMonitor& monitor);

    std::shared_ptr<NoticeHub> m_hub;
    /// Guards m_watcher and m_monitor; the watcher thread gets the monitor as a copy and is
    /// joined with the lock released, before the monitor goes.
    std::mutex m_watchLock;
    UdevMonitor m_monitor;
    std::unique_ptr<WatchThread> m_watcher;
};

} // namespace kv::hid
