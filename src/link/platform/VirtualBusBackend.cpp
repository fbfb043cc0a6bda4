#include "link/platform/VirtualBusBackend.h"

#include "link/platform/Inotify.h"
#include "link/platform/VirtualBus.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <ctime>
#include <dirent.h>
#include <poll.h>
#include <sys/inotify.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <sys/un.h>
#include <unistd.h>
#include <utility>

namespace kv::hid {

/// The kernel rounds a socket's receive time-out up to its tick: a blocking receive ends
/// this much before a read's deadline at the latest.
constexpr std::chrono::milliseconds kTickSlack{10};
/// Shorter waits are timed by poll alone.
constexpr std::chrono::milliseconds kPreciseStretch{40};
/// How far short of what is wanted a receive time-out set earlier may end and still be kept.
constexpr std::chrono::milliseconds kTimeoutWindow{40};

/// One connection to a virtual device.
class BusSocketDevice : public HidDevice {
public:
    BusSocketDevice(int fd, std::string path, HidAttributes attributes,
                    std::shared_ptr<NoticeHub> hub)
        : m_fd(fd), m_path(std::move(path)), m_attributes(attributes), m_hub(std::move(hub)) {}
    ~BusSocketDevice() override { close(m_fd); }

    std::optional<HidAttributes> Attributes() override {
        if (m_closed.load()) {
            return std::nullopt;
        }
        return m_attributes;
    }

    int Write(const std::uint8_t* report, std::chrono::milliseconds timeout) override {
        if (m_closed.load() || m_gone.load()) {
            return 0;
        }
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        for (;;) {
            const ssize_t n = send(m_fd, report, kReportBytes, MSG_NOSIGNAL | MSG_DONTWAIT);
            if (n > 0) {
                return static_cast<int>(n);
            }
            if (n < 0 && errno == EINTR) {
                continue;
            }
            if (n == 0 || (errno != EAGAIN && errno != EWOULDBLOCK)) {
                return 0;
            }
            // The device does not read: wait for room until the deadline.
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now());
            if (left.count() <= 0 || m_closed.load()) {
                return 0;
            }
            pollfd p{m_fd, POLLOUT, 0};
            poll(&p, 1, static_cast<int>(left.count()));
        }
    }

    bool Read(std::uint8_t* report) override {
        if (m_closed.load()) {
            return false;
        }
        for (;;) {
            const ReadResult r = Receive(report, 0);
            if (r != ReadResult::TimedOut) {
                return r == ReadResult::Report;
            }
        }
    }

    ReadResult ReadUntil(std::uint8_t* report, Clock::time_point deadline) override {
        if (m_closed.load()) {
            return ReadResult::Failed;
        }
        for (;;) {
            const auto left = deadline - Clock::now();
            if (left <= Clock::duration::zero()) {
                return ReadResult::TimedOut;
            }
            // Most of the wait is one blocking receive, as in a read without a deadline; the
            // last stretch is timed precisely.
            const ReadResult r = left > kPreciseStretch && KeepReceiveTimeout(left - kTickSlack)
                                     ? Receive(report, 0)
                                     : PollAndReceive(report, left);
            if (r != ReadResult::TimedOut) {
                return r;
            }
        }
    }

    void Close() override {
        m_closed.store(true);
        shutdown(m_fd, SHUT_RDWR);
    }

    /// The socket file vanished: reads fail from now on. True when no removal had been
    /// announced for this device yet.
    bool MarkGone() {
        const bool first = !m_gone.exchange(true);
        shutdown(m_fd, SHUT_RDWR);
        return first;
    }

    const std::string& Path() const { return m_path; }

private:
    /// Makes the socket's receive time-out end at most time from now, but sets it only when
    /// the one set before does not: reads in a row, each with about the same time left, then
    /// cost no call more than a read without a deadline.
    bool KeepReceiveTimeout(Clock::duration most) {
        if (m_receiveTimeout <= most && m_receiveTimeout + kTimeoutWindow >= most) {
            return true;
        }
        const auto set =
            std::chrono::duration_cast<std::chrono::microseconds>(most - kTimeoutWindow / 2);
        const timeval tv{static_cast<time_t>(set.count() / 1'000'000),
                         static_cast<suseconds_t>(set.count() % 1'000'000)};
        if (setsockopt(m_fd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv) != 0) {
            return false;
        }
        m_receiveTimeout = set;
        return true;
    }

    /// Waits for a report with a precise timer, then takes it.
    ReadResult PollAndReceive(std::uint8_t* report, Clock::duration left) {
        const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(left).count();
        const timespec timeout{static_cast<time_t>(ns / 1'000'000'000),
                               static_cast<long>(ns % 1'000'000'000)};
        pollfd p{m_fd, POLLIN, 0};
        const int ready = ppoll(&p, 1, &timeout, nullptr);
        if (ready < 0 && errno != EINTR) {
            return ReadResult::Failed;
        }
        return ready > 0 ? Receive(report, MSG_DONTWAIT) : ReadResult::TimedOut;
    }

    /// One recv: a report, nothing yet (TimedOut: interrupted, or nothing there with
    /// MSG_DONTWAIT), or the end of the connection.
    ReadResult Receive(std::uint8_t* report, int flags) {
        std::uint8_t buffer[kReportBytes];
        const ssize_t n = recv(m_fd, buffer, sizeof buffer, flags);
        if (n < 0 && (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK)) {
            return ReadResult::TimedOut;
        }
        if (n <= 0) {
            // The peer went away (not our own Close): announce it like an unplug.
            if (!m_closed.load() && !m_gone.exchange(true)) {
                m_hub->Notify(HidNotice::Removal, m_path);
            }
            return ReadResult::Failed;
        }
        std::memcpy(report, buffer, static_cast<std::size_t>(n));
        return ReadResult::Report;
    }

    const int m_fd;
    const std::string m_path;
    const HidAttributes m_attributes;
    std::shared_ptr<NoticeHub> m_hub;
    std::atomic<bool> m_closed{false};
    std::atomic<bool> m_gone{false};
    /// The socket's receive time-out (zero: none); used by the one read in progress.
    Clock::duration m_receiveTimeout = Clock::duration::zero();
};

namespace {

constexpr int kGreetingWaitMs = 2000;
constexpr std::size_t kGreetingBytes = 64;

/// Waits for the device's greeting: true when it takes this host; when another host has
/// it, says which one in LastOpenError.
bool Greeted(int fd, const std::string& path) {
    pollfd p{fd, POLLIN, 0};
    int ready;
    do {
        ready = poll(&p, 1, kGreetingWaitMs);
    } while (ready < 0 && errno == EINTR);
    if (ready <= 0) {
        SetLastOpenError(path + " does not answer");
        return false;
    }
    char buffer[kGreetingBytes];
    ssize_t n;
    do {
        n = recv(fd, buffer, sizeof buffer, MSG_DONTWAIT);
    } while (n < 0 && errno == EINTR);
    const auto greeting =
        n > 0 ? vbus::ParseGreeting({buffer, static_cast<std::size_t>(n)}) : std::nullopt;
    if (!greeting) {
        SetLastOpenError(path + " is not a device of the virtual bus");
        return false;
    }
    if (!greeting->accepted) {
        SetLastOpenError("the processor is in use by another program (process " +
                         std::to_string(greeting->ownerPid) + ")");
        return false;
    }
    return true;
}

} // namespace

VirtualBusBackend::VirtualBusBackend() : m_hub(std::make_shared<NoticeHub>()) {}

VirtualBusBackend::~VirtualBusBackend() {
    StopWatching();
}

bool VirtualBusBackend::Enumerate(std::vector<HidInterface>& out) {
    const std::string dir = vbus::BusDirectory();
    DIR* d = opendir(dir.c_str());
    if (d == nullptr) {
        return true; // no bus yet: nothing present
    }
    std::vector<HidInterface> found;
    while (const dirent* e = readdir(d)) {
        const auto parsed = vbus::ParseSocketFileName(e->d_name);
        if (!parsed) {
            continue;
        }
        const std::string path = dir + "/" + e->d_name;
        struct stat st {};
        if (stat(path.c_str(), &st) != 0 || !S_ISSOCK(st.st_mode)) {
            continue;
        }
        found.push_back({path, parsed->id.vendorId, parsed->id.productId});
    }
    closedir(d);
    std::sort(found.begin(), found.end(),
              [](const HidInterface& a, const HidInterface& b) { return a.path < b.path; });
    out.insert(out.end(), found.begin(), found.end());
    return true;
}

bool VirtualBusBackend::Claims(const std::string& path) const {
    return path.find('/') != std::string::npos &&
           vbus::ParseSocketFileName(vbus::FileNameOf(path)).has_value();
}

std::shared_ptr<HidDevice> VirtualBusBackend::Open(const std::string& path) {
    const auto parsed = vbus::ParseSocketFileName(vbus::FileNameOf(path));
    sockaddr_un addr{};
    if (!parsed || path.size() >= sizeof addr.sun_path) {
        return nullptr;
    }
    const int fd = socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        return nullptr;
    }
    addr.sun_family = AF_UNIX;
    std::memcpy(addr.sun_path, path.c_str(), path.size() + 1);
    if (connect(fd, reinterpret_cast<const sockaddr*>(&addr), sizeof addr) != 0 ||
        !Greeted(fd, path)) {
        close(fd);
        return nullptr;
    }
    auto device = std::make_shared<BusSocketDevice>(
        fd, path, HidAttributes{parsed->id.vendorId, parsed->id.productId}, m_hub);
    std::lock_guard lock(m_lock);
    std::erase_if(m_open, [](const auto& w) { return w.expired(); });
    m_open.push_back(device);
    return device;
}

bool VirtualBusBackend::StartWatching(HidNoticeFn notice) {
    m_hub->Install(std::move(notice));
    std::lock_guard lock(m_watchLock);
    if (m_watcher) {
        return true;
    }
    const std::string dir = vbus::BusDirectory();
    if (!vbus::EnsureDirectory(dir)) {
        return false;
    }
    const int fd = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    constexpr std::uint32_t kMask = IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO;
    auto watcher = std::make_unique<WatchThread>();
    if (inotify_add_watch(fd, dir.c_str(), kMask) < 0 ||
        !watcher->Start(fd, [this, fd, dir] { OnInotify(fd, dir); })) {
        close(fd);
        return false;
    }
    m_watcher = std::move(watcher);
    m_inotifyFd = fd;
    return true;
}

void VirtualBusBackend::StopWatching() {
    m_hub->Clear();
    std::unique_ptr<WatchThread> watcher;
    int fd = -1;
    {
        std::lock_guard lock(m_watchLock);
        watcher = std::move(m_watcher);
        fd = std::exchange(m_inotifyFd, -1);
    }
    // Joined with no lock held: the watcher may be in a notice that registers again.
    watcher.reset();
    if (fd >= 0) {
        close(fd);
    }
}

void VirtualBusBackend::OnInotify(int fd, const std::string& dir) {
    ForEachInotifyEvent(fd, [this, &dir](std::uint32_t mask, std::string_view name) {
        if (!vbus::ParseSocketFileName(name)) {
            return;
        }
        const std::string path = dir + "/" + std::string(name);
        if ((mask & (IN_CREATE | IN_MOVED_TO)) != 0) {
            m_hub->Notify(HidNotice::Arrival, path);
        } else if ((mask & (IN_DELETE | IN_MOVED_FROM)) != 0 && DropOpenDevices(path)) {
            m_hub->Notify(HidNotice::Removal, path);
        }
    });
}

bool VirtualBusBackend::DropOpenDevices(const std::string& path) {
    std::vector<std::shared_ptr<BusSocketDevice>> devices;
    {
        std::lock_guard lock(m_lock);
        for (const auto& w : m_open) {
            if (auto d = w.lock(); d && d->Path() == path) {
                devices.push_back(std::move(d));
            }
        }
    }
    bool announce = true;
    for (const auto& d : devices) {
        if (!d->MarkGone()) {
            announce = false; // its read already reported the removal
        }
    }
    return announce;
}

} // namespace kv::hid
