#pragma once

#include "sim/SimProcessor.h"
#include "sim/SimTrace.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace kv::sim {

/// Options of a simulated processor (the kvsim command line maps onto them).
struct SimOptions {
    Identity identity;
    /// Mode file whose image becomes the live and stored state.
    std::string statePath;
    /// Delay before each answer, to emulate USB timing.
    std::chrono::microseconds latency{0};
    /// Every n-th lock-step answer is not sent (0 = none).
    int dropEvery = 0;
    /// After this many commands the device unplugs itself (0 = never).
    int disconnectAfter = 0;
    /// After this many commands the device stops taking commands: writes of the host no
    /// longer complete, as with a device that stopped reading (0 = never).
    int stopReadingAfter = 0;
    /// After this many commands the device asks for a read-all by itself (report 5), once
    /// (0 = never).
    int reportAfter = 0;
    /// Trace file ("" = none).
    std::string tracePath;
    /// Delay between a learning request and the simulated key press.
    std::chrono::milliseconds learnDelay{1500};
    /// How learning requests are answered.
    LearnAnswer learnAnswer = LearnAnswer::Press;
    /// The status report's input levels hold still instead of moving.
    bool metersStill = false;
};

/// A simulated processor: the SimProcessor behind a lock, with latency, fault injection,
/// the trace and the delayed key press of a learning. Transports (the in-process bus, the
/// socket bus) hand it the host's commands and deliver its reports.
class Simulator {
public:
    using ReportSink = std::function<void(const Report&)>;

    /// Throws std::runtime_error when the state file or the trace file cannot be used.
    explicit Simulator(SimOptions options = {});
    Simulator(const Simulator&) = delete;
    Simulator& operator=(const Simulator&) = delete;
    ~Simulator();

    /// One command from the host. Its answers go to reply after the latency (on the calling
    /// thread); dropped answers are not sent; the disconnect handler runs when the command
    /// count reaches the limit.
    void HandleCommand(const Report& command, const ReportSink& reply);

    /// Where reports the processor sends by itself go (key presses, requested reports).
    void SetUnsolicitedSink(ReportSink sink);
    /// Called when --disconnect-after is reached (the transport unplugs the device).
    void SetDisconnectHandler(std::function<void()> handler);
    /// True once the device stopped taking commands (stopReadingAfter reached): the
    /// transport leaves further commands unread.
    bool StoppedReading() const;
    /// Sends one report the processor sends by itself: 5 or 6 (re-read) or 9 (changed).
    void SendUnsolicited(std::uint8_t type);

    /// How the following learning requests are answered.
    void SetLearnAnswer(LearnAnswer answer);
    /// A key press with that code for the pending learning (its report goes to the
    /// unsolicited sink). False when no learning is pending.
    bool PressKeyCode(std::uint8_t code);

    /// Runs fn on the simulated Z-Wave network under the lock and returns its result; the
    /// reports the network produced go out as reports the processor sends by itself, at
    /// once or when due. fn must return a value.
    template <typename Fn>
    auto WithZWave(Fn&& fn) {
        std::vector<TimedReport> out;
        auto result = [&] {
            std::lock_guard lock(m_lock);
            auto r = fn(m_processor.Network());
            out = m_processor.Network().TakeOutbox();
            return r;
        }();
        SendZWaveReports(out);
        return result;
    }

    /// Runs fn on the processor state under the lock (tests look at it this way).
    template <typename Fn>
    auto Inspect(Fn&& fn) const {
        std::lock_guard lock(m_lock);
        return fn(static_cast<const SimProcessor&>(m_processor));
    }
    int CommandsHandled() const;
    /// Changes the delay before each answer from the next command on.
    void SetLatency(std::chrono::microseconds latency);
    /// From now on the device takes no more commands, as with stopReadingAfter.
    void StopReading();

private:
    void Emit(const Report& report, const ReportSink& sink);
    void KeyPressLoop();
    void SendZWaveReports(const std::vector<TimedReport>& reports);
    /// Queues reports due later; the caller holds m_lock.
    void ScheduleLocked(const std::vector<TimedReport>& reports, SimClock::time_point now);

    const SimOptions m_options;
    std::atomic<std::chrono::microseconds::rep> m_latencyUs;
    std::atomic<bool> m_stoppedReading{false};
    SimTrace m_trace;

    mutable std::mutex m_lock; ///< guards everything below
    SimProcessor m_processor;
    int m_commands = 0;
    int m_answers = 0;
    ReportSink m_unsolicited;
    std::function<void()> m_onDisconnect;
    std::optional<SimClock::time_point> m_keyPressDue;
    /// Reports the processor sends by itself later (delayed Z-Wave callbacks).
    std::multimap<SimClock::time_point, Report> m_due;
    bool m_stopping = false;
    std::condition_variable m_keyPressChanged;
    std::thread m_keyPressThread;
};

} // namespace kv::sim
