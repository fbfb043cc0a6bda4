#include "link/platform/HidapiBackend.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <hidapi.h>
#include <libudev.h>
#include <mutex>
#include <sys/file.h>
#include <unistd.h>
#include <utility>

namespace kv::hid {

namespace {

/// A read waits this long at most before it looks again whether the device was closed;
/// hidapi offers no way to interrupt a blocking read.
constexpr int kReadSliceMs = 100;

bool InitHidapi() {
    static const bool ok = hid_init() == 0;
    return ok;
}

class HidapiDevice : public HidDevice {
public:
    HidapiDevice(hid_device* device, int lockFd) : m_device(device), m_lockFd(lockFd) {}
    ~HidapiDevice() override {
        ReleaseLock();
        hid_close(m_device);
    }

    std::optional<HidAttributes> Attributes() override {
        if (m_closed.load()) {
            return std::nullopt;
        }
        const hid_device_info* info = hid_get_device_info(m_device);
        if (info == nullptr) {
            return std::nullopt;
        }
        return HidAttributes{info->vendor_id, info->product_id};
    }

    /// hidraw bounds an output report by the kernel's own USB time-out; the link's time-out
    /// is not passed on.
    int Write(const std::uint8_t* report, std::chrono::milliseconds /*timeout*/) override {
        if (m_closed.load()) {
            return 0;
        }
        const int n = hid_write(m_device, report, kReportBytes);
        return n > 0 ? n : 0;
    }

    bool Read(std::uint8_t* report) override {
        while (!m_closed.load()) {
            const int n = hid_read_timeout(m_device, report, kReportBytes, kReadSliceMs);
            if (n < 0) {
                return false;
            }
            if (n > 0) {
                return true;
            }
        }
        return false;
    }

    ReadResult ReadUntil(std::uint8_t* report, Clock::time_point deadline) override {
        while (!m_closed.load()) {
            const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
            if (left.count() <= 0) {
                return ReadResult::TimedOut;
            }
            const int slice = static_cast<int>(std::min<long long>(left.count(), kReadSliceMs));
            const int n = hid_read_timeout(m_device, report, kReportBytes, slice);
            if (n < 0) {
                return ReadResult::Failed;
            }
            if (n > 0) {
                return ReadResult::Report;
            }
        }
        return ReadResult::Failed;
    }

    // hid_close runs in the destructor, once no thread uses the device any more; the lock
    // goes at once, so that the next owner can take the device.
    void Close() override {
        m_closed.store(true);
        ReleaseLock();
    }

private:
    void ReleaseLock() {
        if (const int fd = m_lockFd.exchange(-1); fd >= 0) {
            close(fd);
        }
    }

    hid_device* const m_device;
    std::atomic<int> m_lockFd;
    std::atomic<bool> m_closed{false};
};

/// Takes an advisory lock on the device node, so that two programs never drive one
/// processor at once. The descriptor holding it, or -1 with the reason in LastOpenError.
int LockDeviceNode(const std::string& path) {
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        SetLastOpenError(path + ": " + std::strerror(errno));
        return -1;
    }
    int locked;
    do {
        locked = flock(fd, LOCK_EX | LOCK_NB);
    } while (locked != 0 && errno == EINTR);
    if (locked != 0) {
        SetLastOpenError(errno == EWOULDBLOCK
                             ? "the processor is in use by another program (" + path + " is locked)"
                             : path + ": " + std::strerror(errno));
        close(fd);
        return -1;
    }
    return fd;
}

} // namespace

HidapiBackend::HidapiBackend() : m_hub(std::make_shared<NoticeHub>()) {}

HidapiBackend::~HidapiBackend() {
    StopWatching();
}

bool HidapiBackend::Enumerate(std::vector<HidInterface>& out) {
    if (!InitHidapi()) {
        return false;
    }
    hid_device_info* list = hid_enumerate(0, 0);
    for (const hid_device_info* d = list; d != nullptr; d = d->next) {
        if (d->path != nullptr) {
            out.push_back({d->path, d->vendor_id, d->product_id});
        }
    }
    hid_free_enumeration(list);
    return true;
}

bool HidapiBackend::Claims(const std::string& path) const {
    return path.starts_with("/dev/hidraw");
}

std::shared_ptr<HidDevice> HidapiBackend::Open(const std::string& path) {
    if (!InitHidapi()) {
        return nullptr;
    }
    const int lockFd = LockDeviceNode(path);
    if (lockFd < 0) {
        return nullptr;
    }
    hid_device* device = hid_open_path(path.c_str());
    if (device == nullptr) {
        close(lockFd);
        return nullptr;
    }
    return std::make_shared<HidapiDevice>(device, lockFd);
}

bool HidapiBackend::StartWatching(HidNoticeFn notice) {
    m_hub->Install(std::move(notice));
    std::lock_guard lock(m_watchLock);
    if (m_watcher) {
        return true;
    }
    UdevMonitor monitor;
    monitor.context = udev_new();
    if (monitor.context != nullptr) {
        monitor.monitor = udev_monitor_new_from_netlink(monitor.context, "udev");
    }
    auto watcher = std::make_unique<WatchThread>();
    udev_monitor* const m = monitor.monitor;
    const bool ok = m != nullptr &&
                    udev_monitor_filter_add_match_subsystem_devtype(m, "hidraw", nullptr) >= 0 &&
                    udev_monitor_enable_receiving(m) >= 0 &&
                    watcher->Start(udev_monitor_get_fd(m), [this, m] { OnUdevEvent(m); });
    if (!ok) {
        ReleaseUdev(monitor);
        return false;
    }
    m_watcher = std::move(watcher);
    m_monitor = monitor;
    return true;
}

void HidapiBackend::StopWatching() {
    m_hub->Clear();
    std::unique_ptr<WatchThread> watcher;
    UdevMonitor monitor;
    {
        std::lock_guard lock(m_watchLock);
        watcher = std::move(m_watcher);
        monitor = std::exchange(m_monitor, UdevMonitor{});
    }
    // Joined with no lock held: the watcher may be in a notice that registers again.
    watcher.reset();
    ReleaseUdev(monitor);
}

void HidapiBackend::ReleaseUdev(UdevMonitor& monitor) {
    if (monitor.monitor != nullptr) {
        udev_monitor_unref(monitor.monitor);
        monitor.monitor = nullptr;
    }
    if (monitor.context != nullptr) {
        udev_unref(monitor.context);
        monitor.context = nullptr;
    }
}

void HidapiBackend::OnUdevEvent(udev_monitor* monitor) {
    udev_device* device = udev_monitor_receive_device(monitor);
    if (device == nullptr) {
        return;
    }
    const char* action = udev_device_get_action(device);
    const char* node = udev_device_get_devnode(device);
    if (action != nullptr && node != nullptr) {
        if (std::strcmp(action, "add") == 0) {
            m_hub->Notify(HidNotice::Arrival, node);
        } else if (std::strcmp(action, "remove") == 0) {
            m_hub->Notify(HidNotice::Removal, node);
        }
    }
    udev_device_unref(device);
}

} // namespace kv::hid
