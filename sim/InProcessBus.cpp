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

/// One open connection of the host: the reports waiting to be read.
class SimConnection : public hid::HidDevice, public std::enable_shared_from_this<SimConnection> {
public:
    SimConnection(std::shared_ptr<SimPort> port, UsbId id) : m_port(std::move(port)), m_id(id) {}

    std::optional<hid::HidAttributes> Attributes() override;
    int Write(const std::uint8_t* report, std::chrono::milliseconds timeout) override;
    bool Read(std::uint8_t* report) override;
    void Close() override { End(); }

    void Push(const Report& report) {
        {
            std::lock_guard lock(m_lock);
            if (m_ended) {
                return;
            }
            (m_held ? m_heldReports : m_reports).push_back(report);
        }
        m_changed.notify_all();
    }
    /// Holds the reports back, or lets the held ones go.
    void SetHeld(bool held) {
        {
            std::lock_guard lock(m_lock);
            m_held = held;
            if (!held) {
                m_reports.insert(m_reports.end(), m_heldReports.begin(), m_heldReports.end());
                m_heldReports.clear();
            }
        }
        m_changed.notify_all();
    }
    /// Reads fail from now on.
    void End() {
        {
            std::lock_guard lock(m_lock);
            m_ended = true;
        }
        m_changed.notify_all();
    }
    bool Ended() const {
        std::lock_guard lock(m_lock);
        return m_ended;
    }

private:
    const std::shared_ptr<SimPort> m_port;
    const UsbId m_id;
    mutable std::mutex m_lock; ///< guards m_reports and m_ended
    std::condition_variable m_changed;
    std::deque<Report> m_reports;
    std::deque<Report> m_heldReports;
    bool m_held = false;
    bool m_ended = false;
};

/// One attached simulator: its plug state, its open connections and the thread that hands
/// it the host's commands.
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
        m_changed.notify_all();
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
        std::vector<std::shared_ptr<SimConnection>> ended;
        {
            std::lock_guard lock(m_lock);
            if (m_plugged == plugged) {
                return false;
            }
            m_plugged = plugged;
            if (!plugged) {
                for (auto& w : m_connections) {
                    if (auto c = w.lock()) {
                        ended.push_back(std::move(c));
                    }
                }
                m_connections.clear();
                m_commands.clear();
            }
        }
        for (auto& c : ended) {
            c->End();
        }
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
            return !c || c->Ended();
        });
        // One host at a time, as on the socket bus.
        if (!m_connections.empty()) {
            hid::SetLastOpenError("the processor is in use by another connection of this program");
            return nullptr;
        }
        connection->SetHeld(m_held);
        m_connections.push_back(connection);
        return connection;
    }

    void SetHeld(bool held) {
        std::vector<std::shared_ptr<SimConnection>> targets;
        {
            std::lock_guard lock(m_lock);
            m_held = held;
            for (auto& w : m_connections) {
                if (auto c = w.lock()) {
                    targets.push_back(std::move(c));
                }
            }
        }
        for (auto& c : targets) {
            c->SetHeld(held);
        }
    }

    /// Hands the device a command. A device that stopped reading leaves it untaken: the
    /// write fails after the time-out.
    bool Submit(const std::shared_ptr<SimConnection>& from, const std::uint8_t* bytes,
                std::chrono::milliseconds timeout) {
        Report command;
        std::memcpy(command.data(), bytes, command.size());
        {
            std::unique_lock lock(m_lock);
            if (m_sim.StoppedReading()) {
                m_changed.wait_for(lock, timeout, [this] { return !m_plugged || m_stopping; });
                return false;
            }
            if (!m_plugged) {
                return false;
            }
            m_commands.push_back({from, command});
        }
        m_changed.notify_all();
        return true;
    }

private:
    struct Pending {
        std::weak_ptr<SimConnection> from;
        Report command;
    };

    void Broadcast(const Report& r) {
        std::vector<std::shared_ptr<SimConnection>> targets;
        {
            std::lock_guard lock(m_lock);
            for (auto& w : m_connections) {
                if (auto c = w.lock()) {
                    targets.push_back(std::move(c));
                }
            }
        }
        for (auto& c : targets) {
            c->Push(r);
        }
    }

    void Work() {
        std::unique_lock lock(m_lock);
        for (;;) {
            m_changed.wait(lock, [this] { return m_stopping || !m_commands.empty(); });
            if (m_stopping) {
                return;
            }
            Pending next = std::move(m_commands.front());
            m_commands.pop_front();
            lock.unlock();
            if (auto from = next.from.lock()) {
                m_sim.HandleCommand(next.command, [&from](const Report& r) { from->Push(r); });
            }
            lock.lock();
        }
    }

    Simulator& m_sim;
    const UsbId m_id;
    mutable std::mutex m_lock; ///< guards the members below
    std::condition_variable m_changed;
    bool m_plugged = true;
    bool m_stopping = false;
    bool m_held = false; ///< new connections start with their reports held
    std::vector<std::weak_ptr<SimConnection>> m_connections;
    std::deque<Pending> m_commands;
    std::thread m_worker;
};

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
    std::unique_lock lock(m_lock);
    m_changed.wait(lock, [this] { return m_ended || !m_reports.empty(); });
    if (m_ended) {
        return false;
    }
    std::memcpy(report, m_reports.front().data(), hid::kReportBytes);
    m_reports.pop_front();
    return true;
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
