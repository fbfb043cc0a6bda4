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
    void OnUdevEvent();
    void ReleaseUdev();

    std::shared_ptr<NoticeHub> m_hub;
    /// Guards the watcher's start and stop and the udev objects (the watcher thread uses
    /// them only while it runs).
    std::mutex m_watchLock;
    udev* m_udev = nullptr;
    udev_monitor* m_monitor = nullptr;
    WatchThread m_watcher;
};

} // namespace kv::hid
