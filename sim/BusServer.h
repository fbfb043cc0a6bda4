#pragma once

#include "link/platform/UsbId.h"
#include "sim/SimProcessor.h"

#include <atomic>
#include <deque>
#include <mutex>
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

    /// Guards m_clients and the sends on them; the server's thread closes a client only
    /// under it, so a send from another thread never meets a reused descriptor.
    std::mutex m_clientsLock;
    std::vector<int> m_clients;
};

} // namespace kv::sim
