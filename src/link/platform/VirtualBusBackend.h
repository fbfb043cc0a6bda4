#pragma once

#include "link/platform/HidBackend.h"
#include "link/platform/NoticeHub.h"
#include "link/platform/WatchThread.h"

#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace kv::hid {

class BusSocketDevice;

/// Virtual HID devices: the sockets of the bus directory (see VirtualBus.h). A socket file
/// appearing is an arrival and disappearing a removal (inotify); a device whose socket
/// vanishes or whose peer closes fails its reads like an unplugged USB device, and the
/// latter is announced as a removal too.
class VirtualBusBackend : public HidBackend {
public:
    VirtualBusBackend();
    ~VirtualBusBackend() override;

    std::string_view Name() const override { return "virtual-bus"; }
    bool Enumerate(std::vector<HidInterface>& out) override;
    bool Claims(const std::string& path) const override;
    std::shared_ptr<HidDevice> Open(const std::string& path) override;
    bool StartWatching(HidNoticeFn notice) override;
    void StopWatching() override;

private:
    /// Handles the events of the watcher's descriptor for the directory it watches.
    void OnInotify(int fd, const std::string& dir);
    /// Fails the open devices of a vanished socket; true when none had announced it yet.
    bool DropOpenDevices(const std::string& path);

    std::shared_ptr<NoticeHub> m_hub;
    std::mutex m_lock; ///< guards m_open
    std::vector<std::weak_ptr<BusSocketDevice>> m_open;
    /// Guards m_watcher and m_inotifyFd; the watcher thread gets its descriptor and directory
    /// as copies, and is joined with the lock released.
    std::mutex m_watchLock;
    int m_inotifyFd = -1;
    std::unique_ptr<WatchThread> m_watcher;
};

} // namespace kv::hid
