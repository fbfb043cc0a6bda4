#include "sim/Simulator.h"

#include "image/ModeFile.h"
#include "image/ParamImage.h"
#include "protocol/Dispatcher.h"
#include "sim/ExactSleep.h"

#include <stdexcept>

namespace kv::sim {

Simulator::Simulator(SimOptions options)
    : m_options(std::move(options)), m_latencyUs(m_options.latency.count()),
      m_processor(m_options.identity) {
    if (!m_options.statePath.empty()) {
        auto image = std::make_unique<ParamImage>();
        image->InitDefaults();
        const ModeFileResult loaded = ReadModeFile(m_options.statePath, *image);
        if (!loaded.ok()) {
            throw std::runtime_error(m_options.statePath + ": " + ModeFileMessage(loaded));
        }
        m_processor.LoadState(*image);
    }
    if (!m_options.tracePath.empty() && !m_trace.Open(m_options.tracePath)) {
        throw std::runtime_error("cannot write the trace file " + m_options.tracePath);
    }
    m_processor.SetLearnDelay(m_options.learnDelay);
    m_processor.SetLearnAnswer(m_options.learnAnswer);
    m_processor.SetMetersStill(m_options.metersStill);
    m_keyPressThread = std::thread([this] { KeyPressLoop(); });
}

Simulator::~Simulator() {
    {
        std::lock_guard lock(m_lock);
        m_stopping = true;
    }
    m_keyPressChanged.notify_all();
    m_keyPressThread.join();
}

void Simulator::HandleCommand(const Report& command, const ReportSink& reply) {
    const auto now = SimClock::now();
    CommandResult result;
    bool disconnect = false;
    bool askReRead = false;
    {
        std::lock_guard lock(m_lock);
        m_trace.Command(command);
        result = m_processor.Handle(command, now);
        ++m_commands;
        if (result.keyPressAfter) {
            m_keyPressDue = now + *result.keyPressAfter;
            m_keyPressChanged.notify_all();
        }
        ScheduleLocked(result.later, now);
        disconnect = m_options.disconnectAfter > 0 && m_commands == m_options.disconnectAfter;
        askReRead = m_options.reportAfter > 0 && m_commands == m_options.reportAfter;
    }
    if (const std::chrono::microseconds latency{m_latencyUs.load()}; latency.count() > 0) {
        SleepUntilExactly(now + latency); // counted from the command
    }
    for (const Report& report : result.reports) {
        bool drop = false;
        if (result.lockStep && m_options.dropEvery > 0) {
            std::lock_guard lock(m_lock);
            drop = ++m_answers % m_options.dropEvery == 0;
        }
        if (!drop) {
            Emit(report, reply);
        }
    }
    if (askReRead) {
        SendUnsolicited(report::kReRead);
    }
    if (disconnect) {
        std::function<void()> handler;
        {
            std::lock_guard lock(m_lock);
            handler = m_onDisconnect;
        }
        if (handler) {
            handler();
        }
    }
}

void Simulator::SetUnsolicitedSink(ReportSink sink) {
    std::lock_guard lock(m_lock);
    m_unsolicited = std::move(sink);
}

void Simulator::SetDisconnectHandler(std::function<void()> handler) {
    std::lock_guard lock(m_lock);
    m_onDisconnect = std::move(handler);
}

void Simulator::SendUnsolicited(std::uint8_t type) {
    Report report;
    ReportSink sink;
    {
        std::lock_guard lock(m_lock);
        report = m_processor.Unsolicited(type);
        sink = m_unsolicited;
    }
    if (sink) {
        Emit(report, sink);
    }
}

void Simulator::SetLearnAnswer(LearnAnswer answer) {
    std::lock_guard lock(m_lock);
    m_processor.SetLearnAnswer(answer);
}

bool Simulator::PressKeyCode(std::uint8_t code) {
    std::optional<Report> press;
    ReportSink sink;
    {
        std::lock_guard lock(m_lock);
        press = m_processor.PressKeyCode(code);
        sink = m_unsolicited;
        // A key press due later has nothing left to learn.
        m_keyPressDue.reset();
    }
    if (press && sink) {
        Emit(*press, sink);
    }
    return press.has_value();
}

bool Simulator::StoppedReading() const {
    if (m_stoppedReading.load()) {
        return true;
    }
    if (m_options.stopReadingAfter <= 0) {
        return false; // the common case takes no lock per command
    }
    std::lock_guard lock(m_lock);
    return m_commands >= m_options.stopReadingAfter;
}

void Simulator::StopReading() {
    m_stoppedReading.store(true);
}

void Simulator::SetLatency(std::chrono::microseconds latency) {
    m_latencyUs.store(latency.count());
}

int Simulator::CommandsHandled() const {
    std::lock_guard lock(m_lock);
    return m_commands;
}

void Simulator::Emit(const Report& report, const ReportSink& sink) {
    m_trace.Answer(report);
    sink(report);
}

void Simulator::SendZWaveReports(const std::vector<TimedReport>& reports) {
    ReportSink sink;
    {
        std::lock_guard lock(m_lock);
        sink = m_unsolicited;
        ScheduleLocked(reports, SimClock::now());
    }
    for (const TimedReport& out : reports) {
        if (out.after.count() == 0 && sink) {
            Emit(out.report, sink);
        }
    }
}

void Simulator::ScheduleLocked(const std::vector<TimedReport>& reports, SimClock::time_point now) {
    bool any = false;
    for (const TimedReport& out : reports) {
        if (out.after.count() > 0) {
            m_due.emplace(now + out.after, out.report);
            any = true;
        }
    }
    if (any) {
        m_keyPressChanged.notify_all();
    }
}

void Simulator::KeyPressLoop() {
    std::unique_lock lock(m_lock);
    while (!m_stopping) {
        if (!m_due.empty() && SimClock::now() >= m_due.begin()->first) {
            const Report report = m_due.begin()->second;
            m_due.erase(m_due.begin());
            const ReportSink sink = m_unsolicited;
            lock.unlock();
            if (sink) {
                Emit(report, sink);
            }
            lock.lock();
            continue;
        }
        std::optional<SimClock::time_point> wake = m_keyPressDue;
        if (!m_due.empty() && (!wake || m_due.begin()->first < *wake)) {
            wake = m_due.begin()->first;
        }
        if (!wake) {
            m_keyPressChanged.wait(lock);
            continue;
        }
        if (!m_keyPressDue || SimClock::now() < *m_keyPressDue) {
            m_keyPressChanged.wait_until(lock, *wake);
            continue;
        }
        m_keyPressDue.reset();
        const std::optional<Report> press = m_processor.PressLearnKey();
        const ReportSink sink = m_unsolicited;
        lock.unlock();
        if (press && sink) {
            Emit(*press, sink);
        }
        lock.lock();
    }
}

} // namespace kv::sim
