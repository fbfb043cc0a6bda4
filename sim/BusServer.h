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
/// The server's thread accepts connections and carries out requests; each accepted host's
/// commands are received by a thread of its own in a blocking receive, so that a command
/// costs the device no poll.
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
    void Broadcast(const Report& report);
    void OnDirectoryChange();
    /// Rebuilds the poll list after the descriptors changed.
    void RebuildPollList();
    /// Joins the threads of connections that ended; all of them when every connection was
    /// shut down.
    void ReapClients(bool all);

    /// A host's connection; the descriptor closes with the last holder, so that a send from
    /// another thread never meets a descriptor reused in the meantime.
    struct Client {
        explicit Client(int f) : fd(f) {}
        ~Client();
        Client(const Client&) = delete;
        Client& operator=(const Client&) = delete;
        const int fd;
        std::thread thread; ///< receives the host's commands; joined by the server's thread
        std::atomic<bool> finished{false};
    };

    /// The body of a client's thread: the host's commands, one at a time, until the
    /// connection ends.
    void Serve(const std::shared_ptr<Client>& client);
    void CloseClient(const Client& client);

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

    /// Guards m_clients, the connections served now. Other threads copy it under the lock
    /// and send with the lock released.
    std::mutex m_clientsLock;
    std::vector<std::shared_ptr<Client>> m_clients;
    /// Every connection whose thread was not joined yet (the server's thread only, and Stop
    /// once it ended).
    std::vector<std::shared_ptr<Client>> m_served;

    /// The server thread's poll list, rebuilt only when it changes.
    std::vector<pollfd> m_pollFds;
    bool m_pollDirty = true;
};

} // namespace kv::sim
