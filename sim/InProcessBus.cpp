#include "sim/InProcessBus.h"

#include "sim/Simulator.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <thread>
#include <vector>

namespace kv::sim {

/// One open connection of the host: the reports waiting to be read. Its state is guarded by
/// its port's lock, so that a reader can wait for a report and a command at once.
class SimConnection : public hid::HidDevice, public std::enable_shared_from_this<SimConnection> {
public:
    SimConnection(std::shared_ptr<SimPort> port, UsbId id) : m_port(std::move(port)), m_id(id) {}

    std::optional<hid::HidAttributes> Attributes() override;
    int Write(const std::uint8_t* report, std::chrono::milliseconds timeout) override;
    bool Read(std::uint8_t* report) override;
    hid::ReadResult ReadUntil(std::uint8_t* report, Clock::time_point deadline) override;
    void Close() override { End(); }

    void Push(const Report& report);
    /// Holds the reports back, or lets the held ones go.
    void SetHeld(bool held);
    /// Reads fail from now on.
    void End();
    bool Ended() const;

private:
    friend class SimPort;

    const std::shared_ptr<SimPort> m_port;
    const UsbId m_id;
    // Guarded by the port's lock:
    std::deque<Report> m_reports;
    std::deque<Report> m_heldReports;
    bool m_held = false;
    bool m_ended = false;
    int m_blockingReads = 0; ///< untimed reads in progress
};

/// One attached simulator: its plug state, its open connections and the commands of the
/// host. While an untimed read of a connection is in progress, that reader handles the
/// commands while it waits for a report (the answer is then its own to read: one thread
/// hand-off less per exchange); otherwise the port's worker thread does. Either way one at a
/// time and in order, as the processor would. A read with a deadline never handles a
/// command: that takes the device's latency, which may run past the deadline.
class SimPort : public std::enable_shared_from_this<SimPort> {
public:
    SimPort(Simulator& sim, UsbId id) : m_sim(sim), m_id(id) {}

    void Start() {
        // A key press may still be on its way when the port goes: hold it weakly.
        m_sim.SetUnsolicitedSink([weak = weak_from_this()](const Report& r) {
            if (auto port = weak.lock()) {
                port->Broadcast(r);
            }
        });
        m_worker = std::thread([this] { Work(); });
    }
    void Stop() {
        {
            std::lock_guard lock(m_lock);
            m_stopping = true;
        }
        m_workerWake.notify_all();
        m_readerWake.notify_all();
        if (m_worker.joinable()) {
            m_worker.join();
        }
        m_sim.SetUnsolicitedSink(nullptr);
        m_sim.SetDisconnectHandler(nullptr);
    }

    UsbId Id() const { return m_id; }
    Simulator& Sim() { return m_sim; }

    bool Plugged() const {
        std::lock_guard lock(m_lock);
        return m_plugged;
    }
    /// False when the state did not change.
    bool SetPlugged(bool plugged) {
        {
            std::lock_guard lock(m_lock);
            if (m_plugged == plugged) {
                return false;
            }
            m_plugged = plugged;
            if (!plugged) {
                for (auto& w : m_connections) {
                    if (auto c = w.lock()) {
                        c->m_ended = true;
                    }
                }
                m_connections.clear();
                m_commands.clear();
            }
        }
        m_readerWake.notify_all();
        m_workerWake.notify_one();
        return true;
    }

    std::shared_ptr<SimConnection> Connect() {
        auto connection = std::make_shared<SimConnection>(shared_from_this(), m_id);
        std::lock_guard lock(m_lock);
        if (!m_plugged) {
            return nullptr;
        }
        std::erase_if(m_connections, [](const auto& w) {
            const auto c = w.lock();
            return !c || c->m_ended;
        });
        // One host at a time, as on the socket bus.
        if (!m_connections.empty()) {
            hid::SetLastOpenError("the processor is in use by another connection of this program");
            return nullptr;
        }
        connection->m_held = m_held;
        m_connections.push_back(connection);
        return connection;
    }

    void SetHeld(bool held) {
        {
            std::lock_guard lock(m_lock);
            m_held = held;
            for (auto& w : m_connections) {
                if (auto c = w.lock()) {
                    SetHeldLocked(*c, held);
                }
            }
        }
        m_readerWake.notify_all();
    }

    /// Hands the device a command. A device that stopped reading leaves it untaken: the
    /// write fails after the time-out.
    bool Submit(const std::shared_ptr<SimConnection>& from, const std::uint8_t* bytes,
                std::chrono::milliseconds timeout) {
        Pending pending{from, {}};
        std::memcpy(pending.command.data(), bytes, pending.command.size());
        std::unique_lock lock(m_lock);
        if (m_sim.StoppedReading()) {
            m_readerWake.wait_for(lock, timeout, [this] { return !m_plugged || m_stopping; });
            return false;
        }
        if (!m_plugged) {
            return false;
        }
        m_commands.push_back(std::move(pending));
        const bool reader = ReaderLocked();
        lock.unlock();
        WakeHandler(reader);
        return true;
    }

    // The connections' side, under m_lock.
    void PushLocked(SimConnection& c, const Report& report) {
        if (!c.m_ended) {
            (c.m_held ? c.m_heldReports : c.m_reports).push_back(report);
        }
    }
    static void SetHeldLocked(SimConnection& c, bool held) {
        c.m_held = held;
        if (!held) {
            c.m_reports.insert(c.m_reports.end(), c.m_heldReports.begin(), c.m_heldReports.end());
            c.m_heldReports.clear();
        }
    }
    void Push(SimConnection& c, const Report& report) {
        {
            std::lock_guard lock(m_lock);
            PushLocked(c, report);
        }
        m_readerWake.notify_all();
    }
    void SetHeld(SimConnection& c, bool held) {
        {
            std::lock_guard lock(m_lock);
            SetHeldLocked(c, held);
        }
        m_readerWake.notify_all();
    }
    void End(SimConnection& c) {
        {
            std::lock_guard lock(m_lock);
            c.m_ended = true;
        }
        m_readerWake.notify_all();
        m_workerWake.notify_one(); // commands its reader left are the worker's now
    }
    bool Ended(const SimConnection& c) const {
        std::lock_guard lock(m_lock);
        return c.m_ended;
    }

    /// Waits for a report of c, handling the device's commands meanwhile.
    bool Read(SimConnection& c, std::uint8_t* out) {
        std::unique_lock lock(m_lock);
        ++c.m_blockingReads;
        bool read = false;
        for (;;) {
            if (c.m_ended) {
                break;
            }
            if (TakeLocked(c, out)) {
                read = true;
                break;
            }
            if (!m_handling && !m_commands.empty()) {
                HandleNext(lock);
                continue;
            }
            m_readerWake.wait(lock);
        }
        --c.m_blockingReads;
        // Commands this reader leaves behind are the worker's now.
        const bool orphaned = !m_handling && !m_commands.empty() && !ReaderLocked();
        lock.unlock();
        if (orphaned) {
            m_workerWake.notify_one();
        }
        return read;
    }

    /// Waits for a report of c until the deadline; the worker handles the commands.
    hid::ReadResult ReadUntil(SimConnection& c, std::uint8_t* out,
                              hid::HidDevice::Clock::time_point deadline) {
        std::unique_lock lock(m_lock);
        for (;;) {
            if (c.m_ended) {
                return hid::ReadResult::Failed;
            }
            if (TakeLocked(c, out)) {
                return hid::ReadResult::Report;
            }
            if (m_readerWake.wait_until(lock, deadline) == std::cv_status::timeout &&
                c.m_reports.empty() && !c.m_ended) {
                return hid::ReadResult::TimedOut;
            }
        }
    }

private:
    struct Pending {
        std::weak_ptr<SimConnection> from;
        Report command;
    };

    void Broadcast(const Report& r) {
        {
            std::lock_guard lock(m_lock);
            for (auto& w : m_connections) {
                if (auto c = w.lock()) {
                    PushLocked(*c, r);
                }
            }
        }
        m_readerWake.notify_all();
    }

    static bool TakeLocked(SimConnection& c, std::uint8_t* out) {
        if (c.m_reports.empty()) {
            return false;
        }
        std::memcpy(out, c.m_reports.front().data(), hid::kReportBytes);
        c.m_reports.pop_front();
        return true;
    }

    /// True when a connection is in an untimed read: its reader handles the commands.
    bool ReaderLocked() const {
        return std::any_of(m_connections.begin(), m_connections.end(), [](const auto& w) {
            const auto c = w.lock();
            return c && c->m_blockingReads > 0 && !c->m_ended;
        });
    }
    /// Wakes whoever handles the next command (called with the lock released, so that the
    /// woken thread does not block on it at once).
    void WakeHandler(bool reader) {
        if (reader) {
            m_readerWake.notify_all();
        } else {
            m_workerWake.notify_one();
        }
    }

    /// Handles the first command with the lock released; the caller holds lock.
    void HandleNext(std::unique_lock<std::mutex>& lock) {
        Pending next = std::move(m_commands.front());
        m_commands.pop_front();
        m_handling = true;
        lock.unlock();
        if (auto from = next.from.lock()) {
            m_sim.HandleCommand(next.command, [this, &from](const Report& r) { Push(*from, r); });
        }
        lock.lock();
        m_handling = false;
        if (!m_commands.empty()) {
            const bool reader = ReaderLocked();
            lock.unlock();
            WakeHandler(reader);
            lock.lock();
        }
    }

    void Work() {
        std::unique_lock lock(m_lock);
        for (;;) {
            m_workerWake.wait(lock, [this] {
                return m_stopping || (!m_handling && !m_commands.empty() && !ReaderLocked());
            });
            if (m_stopping) {
                return;
            }
            HandleNext(lock);
        }
    }

    Simulator& m_sim;
    const UsbId m_id;
    mutable std::mutex m_lock; ///< guards the members below and the connections' state
    std::condition_variable m_workerWake;
    /// Readers waiting for a report or a command, and writers of a device that stopped
    /// reading.
    std::condition_variable m_readerWake;
    bool m_plugged = true;
    bool m_stopping = false;
    bool m_held = false;     ///< new connections start with their reports held
    bool m_handling = false; ///< a command is being handled (by a reader or the worker)
    std::vector<std::weak_ptr<SimConnection>> m_connections;
    std::deque<Pending> m_commands;
    std::thread m_worker;
};

void SimConnection::Push(const Report& report) {
    m_port->Push(*this, report);
}

void SimConnection::SetHeld(bool held) {
    m_port->SetHeld(*this, held);
}

void SimConnection::End() {
    m_port->End(*this);
}

bool SimConnection::Ended() const {
    return m_port->Ended(*this);
}

std::optional<hid::HidAttributes> SimConnection::Attributes() {
    if (Ended()) {
        return std::nullopt;
    }
    return hid::HidAttributes{m_id.vendorId, m_id.productId};
}

int SimConnection::Write(const std::uint8_t* report, std::chrono::milliseconds timeout) {
    if (Ended() || !m_port->Submit(shared_from_this(), report, timeout)) {
        return 0;
    }
    return static_cast<int>(hid::kReportBytes);
}

bool SimConnection::Read(std::uint8_t* report) {
    return m_port->Read(*this, report);
}

hid::ReadResult SimConnection::ReadUntil(std::uint8_t* report, Clock::time_point deadline) {
    return m_port->ReadUntil(*this, report, deadline);
}

InProcessBus::InProcessBus() : m_hub(std::make_shared<hid::NoticeHub>()) {}

InProcessBus::~InProcessBus() {
    std::map<std::string, std::shared_ptr<SimPort>> ports;
    {
        std::lock_guard lock(m_lock);
        ports.swap(m_ports);
    }
    for (auto& [path, port] : ports) {
        port->SetPlugged(false);
        port->Stop();
    }
}

std::string InProcessBus::Attach(Simulator& sim, const std::string& name, UsbId id) {
    const std::string path = std::string(kPathPrefix) + name;
    auto port = std::make_shared<SimPort>(sim, id);
    port->Start();
    sim.SetDisconnectHandler([this, path] { Unplug(path); });
    {
        std::lock_guard lock(m_lock);
        m_ports[path] = port;
    }
    m_hub->Notify(hid::HidNotice::Arrival, path);
    return path;
}

void InProcessBus::Detach(const std::string& path) {
    Unplug(path);
    std::shared_ptr<SimPort> port;
    {
        std::lock_guard lock(m_lock);
        if (auto it = m_ports.find(path); it != m_ports.end()) {
            port = std::move(it->second);
            m_ports.erase(it);
        }
    }
    if (port) {
        port->Stop();
    }
}

void InProcessBus::Unplug(const std::string& path) {
    if (auto port = FindPort(path); port && port->SetPlugged(false)) {
        m_hub->Notify(hid::HidNotice::Removal, path);
    }
}

void InProcessBus::Plug(const std::string& path) {
    if (auto port = FindPort(path); port && port->SetPlugged(true)) {
        m_hub->Notify(hid::HidNotice::Arrival, path);
    }
}

void InProcessBus::HoldReports(const std::string& path, bool hold) {
    if (auto port = FindPort(path)) {
        port->SetHeld(hold);
    }
}

bool InProcessBus::Enumerate(std::vector<hid::HidInterface>& out) {
    std::lock_guard lock(m_lock);
    for (const auto& [path, port] : m_ports) {
        if (port->Plugged()) {
            out.push_back({path, port->Id().vendorId, port->Id().productId});
        }
    }
    return true;
}

bool InProcessBus::Claims(const std::string& path) const {
    return path.starts_with(kPathPrefix);
}

std::shared_ptr<hid::HidDevice> InProcessBus::Open(const std::string& path) {
    auto port = FindPort(path);
    return port ? port->Connect() : nullptr;
}

bool InProcessBus::StartWatching(hid::HidNoticeFn notice) {
    m_hub->Install(std::move(notice));
    return true;
}

void InProcessBus::StopWatching() {
    m_hub->Clear();
}

std::shared_ptr<SimPort> InProcessBus::FindPort(const std::string& path) const {
    std::lock_guard lock(m_lock);
    const auto it = m_ports.find(path);
    return it != m_ports.end() ? it->second : nullptr;
}

} // namespace kv::sim
