#pragma once

#include "link/platform/UsbId.h"
#include "sim/SimProcessor.h"

#include <atomic>
#include <deque>
#include <memory>
#include <mutex>
#include <poll.h>
#include <string>
#include <thread>
#include <vector>

namespace kv::sim {

class Simulator;

/// Serves a Simulator as a device of the virtual HID bus: a SOCK_SEQPACKET socket
/// <dir>/<vid>-<pid>-<name>.sock, one packet per 61-byte report. Unplugging removes the
/// socket and drops the connections; removing the socket file from outside does the same.
class BusServer {
public:
    BusServer(Simulator& sim, std::string directory, std::string name, UsbId id);
    BusServer(const BusServer&) = delete;
    BusServer& operator=(const BusServer&) = delete;
    ~BusServer();

    /// Creates the socket and starts serving; false with a message when it cannot.
    bool Start(std::string& error);
    /// Stops serving and removes the socket.
    void Stop();
    /// Thread-safe requests, carried out by the server's thread.
    void Plug();
    void Unplug();

    std::string SocketPath() const { return m_path; }

private:
    enum class Request { Plug, Unplug, Stop };

    void Post(Request request);
    void Run();
    bool Listen(std::string& error);
    void DropDevice();
    void Accept();
    void Receive(int fd);
    void SendTo(int fd, const Report& report);
    void Broadcast(const Report& report);
    void CloseClient(int fd);
    void OnDirectoryChange();
    /// Rebuilds the poll list after the descriptors or the device's reading changed.
    void RebuildPollList();

    /// A host's connection; the descriptor closes with the last holder, so that a send from
    /// another thread never meets a descriptor reused in the meantime.
    struct Client {
        explicit Client(int f) : fd(f) {}
        ~Client();
        Client(const Client&) = delete;
        Client& operator=(const Client&) = delete;
        const int fd;
    };

    Simulator& m_sim;
    const std::string m_directory;
    const std::string m_name;
    const std::string m_path;
    int m_listenFd = -1;  ///< used by the server's thread only (and Start before it runs)
    int m_inotifyFd = -1; ///< watches the directory for our socket's removal
    int m_wakeFd = -1;
    std::thread m_thread;

    std::mutex m_requestsLock; ///< guards m_requests
    std::deque<Request> m_requests;

    /// Guards m_clients. Only the server's thread changes the list (it reads it without the
    /// lock); other threads copy it under the lock and send with the lock released.
    std::mutex m_clientsLock;
    std::vector<std::shared_ptr<Client>> m_clients;

    /// The server thread's poll list, rebuilt only when it changes.
    std::vector<pollfd> m_pollFds;
    bool m_pollDirty = true;
    bool m_stoppedReading = false; ///< the device left the host's commands unread
};

} // namespace kv::sim
