#include "sim/BusServer.h"

#include "link/platform/Inotify.h"
#include "link/platform/VirtualBus.h"
#include "sim/Simulator.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/inotify.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace kv::sim {

namespace {

constexpr int kBacklog = 4;

bool MakeAddress(const std::string& path, sockaddr_un& addr) {
    if (path.size() >= sizeof addr.sun_path) {
        return false;
    }
    addr = {};
    addr.sun_family = AF_UNIX;
    std::memcpy(addr.sun_path, path.c_str(), path.size() + 1);
    return true;
}

/// True when a live server answers on the path.
bool SomeoneListens(const std::string& path) {
    sockaddr_un addr{};
    if (!MakeAddress(path, addr)) {
        return false;
    }
    const int fd = socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        return false;
    }
    const bool live = connect(fd, reinterpret_cast<const sockaddr*>(&addr), sizeof addr) == 0;
    close(fd);
    return live;
}

} // namespace

BusServer::BusServer(Simulator& sim, std::string directory, std::string name, UsbId id)
    : m_sim(sim), m_directory(std::move(directory)), m_name(std::move(name)),
      m_path(m_directory + "/" + vbus::SocketFileName(id, m_name)) {}

BusServer::~BusServer() {
    Stop();
}

bool BusServer::Start(std::string& error) {
    if (!vbus::ParseSocketFileName(vbus::FileNameOf(m_path))) {
        error = "invalid device name: " + m_name;
        return false;
    }
    if (!vbus::EnsureDirectory(m_directory)) {
        error = "cannot create the bus directory " + m_directory;
        return false;
    }
    if (SomeoneListens(m_path)) {
        error = "another device serves " + m_path;
        return false;
    }
    m_wakeFd = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    m_inotifyFd = inotify_init1(IN_CLOEXEC | IN_NONBLOCK);
    if (m_wakeFd < 0 || m_inotifyFd < 0 ||
        inotify_add_watch(m_inotifyFd, m_directory.c_str(), IN_DELETE | IN_MOVED_FROM) < 0) {
        error = std::string("cannot watch the bus directory: ") + std::strerror(errno);
        return false;
    }
    if (!Listen(error)) {
        return false;
    }
    m_sim.SetUnsolicitedSink([this](const Report& r) { Broadcast(r); });
    m_sim.SetDisconnectHandler([this] { Unplug(); });
    m_thread = std::thread([this] { Run(); });
    return true;
}

void BusServer::Stop() {
    const bool started = m_thread.joinable();
    if (started) {
        Post(Request::Stop);
        m_thread.join();
    }
    DropDevice(); // the connections' threads leave now
    ReapClients(true);
    if (started) {
        m_sim.SetUnsolicitedSink(nullptr);
        m_sim.SetDisconnectHandler(nullptr);
    }
    for (int* fd : {&m_wakeFd, &m_inotifyFd}) {
        if (*fd >= 0) {
            close(*fd);
            *fd = -1;
        }
    }
}

void BusServer::Plug() {
    Post(Request::Plug);
}

void BusServer::Unplug() {
    Post(Request::Unplug);
}

void BusServer::Post(Request request) {
    {
        std::lock_guard lock(m_requestsLock);
        m_requests.push_back(request);
    }
    const std::uint64_t one = 1;
    [[maybe_unused]] const auto n = write(m_wakeFd, &one, sizeof one);
}

bool BusServer::Listen(std::string& error) {
    // Bound under a hidden name and renamed once listening, so that a host seeing the
    // socket appear can connect at once.
    const std::string temp = m_directory + "/." + m_name + "." + std::to_string(getpid());
    sockaddr_un addr{};
    if (!MakeAddress(temp, addr) || !MakeAddress(m_path, addr)) {
        error = "socket path too long: " + m_path;
        return false;
    }
    MakeAddress(temp, addr);
    const int fd = socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0);
    unlink(temp.c_str());
    if (fd < 0 || bind(fd, reinterpret_cast<const sockaddr*>(&addr), sizeof addr) != 0 ||
        listen(fd, kBacklog) != 0 || rename(temp.c_str(), m_path.c_str()) != 0) {
        error = m_path + ": " + std::strerror(errno);
        if (fd >= 0) {
            close(fd);
        }
        unlink(temp.c_str());
        return false;
    }
    m_listenFd = fd;
    return true;
}

BusServer::Client::~Client() {
    close(fd);
}

void BusServer::DropDevice() {
    std::vector<std::shared_ptr<Client>> dropped;
    {
        std::lock_guard lock(m_clientsLock);
        dropped.swap(m_clients);
    }
    for (const auto& c : dropped) {
        shutdown(c->fd, SHUT_RDWR); // the hosts' reads fail now, as on an unplug
    }
    if (m_listenFd >= 0) {
        close(m_listenFd);
        m_listenFd = -1;
        unlink(m_path.c_str());
    }
    m_pollDirty = true;
}

void BusServer::RebuildPollList() {
    m_pollFds.clear();
    m_pollFds.push_back({m_wakeFd, POLLIN, 0});
    m_pollFds.push_back({m_inotifyFd, POLLIN, 0});
    if (m_listenFd >= 0) {
        m_pollFds.push_back({m_listenFd, POLLIN, 0});
    }
    m_pollDirty = false;
}

void BusServer::Run() {
    for (;;) {
        if (m_pollDirty) {
            RebuildPollList();
        }
        if (poll(m_pollFds.data(), m_pollFds.size(), -1) < 0) {
            if (errno == EINTR) {
                continue;
            }
            return;
        }
        // A removal of our socket is handled before a plug request that may follow it.
        if (m_pollFds[1].revents != 0) {
            OnDirectoryChange();
            continue;
        }
        if (m_pollFds[0].revents != 0) {
            std::uint64_t count = 0;
            [[maybe_unused]] const auto n = read(m_wakeFd, &count, sizeof count);
            std::deque<Request> requests;
            {
                std::lock_guard lock(m_requestsLock);
                requests.swap(m_requests);
            }
            for (Request r : requests) {
                if (r == Request::Stop) {
                    return;
                }
                if (r == Request::Unplug || access(m_path.c_str(), F_OK) != 0) {
                    DropDevice(); // also a socket deleted from outside and not yet seen
                }
                if (r == Request::Plug && m_listenFd < 0) {
                    std::string error;
                    Listen(error);
                    m_pollDirty = true;
                }
            }
            continue; // the descriptors may have changed
        }
        if (m_pollFds.size() > 2 && m_pollFds[2].revents != 0) {
            Accept();
        }
    }
}

void BusServer::OnDirectoryChange() {
    bool ours = false;
    hid::ForEachInotifyEvent(m_inotifyFd, [&](std::uint32_t, std::string_view name) {
        ours = ours || vbus::FileNameOf(m_path) == name;
    });
    // Our socket was deleted (or renamed away) from outside: that is an unplug.
    if (ours && m_listenFd >= 0 && access(m_path.c_str(), F_OK) != 0) {
        DropDevice();
    }
}

void BusServer::Accept() {
    const int fd = accept4(m_listenFd, nullptr, nullptr, SOCK_CLOEXEC);
    if (fd < 0) {
        return;
    }
    ReapClients(false);
    auto client = std::make_shared<Client>(fd);
    std::lock_guard lock(m_clientsLock);
    // A host that just closed its connection may not have been seen yet: let it go first,
    // so that it can reconnect at once.
    std::erase_if(m_clients, [](const std::shared_ptr<Client>& c) {
        pollfd p{c->fd, POLLRDHUP, 0};
        return poll(&p, 1, 0) > 0 && (p.revents & (POLLRDHUP | POLLHUP | POLLERR)) != 0;
    });
    // One host at a time: a second one is told who has the device and let go.
    if (!m_clients.empty()) {
        ucred owner{};
        socklen_t size = sizeof owner;
        const long pid =
            getsockopt(m_clients.front()->fd, SOL_SOCKET, SO_PEERCRED, &owner, &size) == 0
                ? static_cast<long>(owner.pid)
                : 0;
        const std::string busy = vbus::BusyGreeting(pid);
        send(fd, busy.data(), busy.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
        return;
    }
    const std::string accepted = vbus::AcceptedGreeting();
    send(fd, accepted.data(), accepted.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
    client->thread = std::thread([this, client] { Serve(client); });
    m_served.push_back(client);
    m_clients.push_back(std::move(client));
}

void BusServer::Serve(const std::shared_ptr<Client>& client) {
    const int fd = client->fd;
    const auto reply = [fd](const Report& r) { send(fd, r.data(), r.size(), MSG_NOSIGNAL); };
    for (;;) {
        if (m_sim.StoppedReading()) {
            // The host's commands stay in the socket; only the end of the connection counts.
            pollfd p{fd, 0, 0};
            while (poll(&p, 1, -1) < 0 && errno == EINTR) {
            }
            break;
        }
        Report command{};
        ssize_t n;
        do {
            n = recv(fd, command.data(), command.size(), 0);
        } while (n < 0 && errno == EINTR);
        if (n <= 0) {
            break;
        }
        m_sim.HandleCommand(command, reply);
    }
    CloseClient(*client);
    client->finished.store(true);
}

void BusServer::ReapClients(bool all) {
    std::erase_if(m_served, [all](const std::shared_ptr<Client>& c) {
        if (!all && !c->finished.load()) {
            return false;
        }
        c->thread.join();
        return true;
    });
}

void BusServer::Broadcast(const Report& report) {
    std::vector<std::shared_ptr<Client>> clients;
    {
        std::lock_guard lock(m_clientsLock);
        clients = m_clients;
    }
    for (const auto& c : clients) {
        send(c->fd, report.data(), report.size(), MSG_NOSIGNAL);
    }
}

void BusServer::CloseClient(const Client& client) {
    {
        std::lock_guard lock(m_clientsLock);
        std::erase_if(m_clients,
                      [&client](const std::shared_ptr<Client>& c) { return c.get() == &client; });
    }
    // The peer may still hold a Broadcast's copy: shut it so its end sees the close at once.
    shutdown(client.fd, SHUT_RDWR);
}

} // namespace kv::sim
