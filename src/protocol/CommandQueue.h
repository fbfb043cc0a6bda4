#pragma once

#include "protocol/CommandSink.h"

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <optional>
#include <span>
#include <thread>

namespace kv {

/// The one thread that writes to an open device. Callers queue their commands and return at
/// once; the owner writes them in order through the sink it was given (paced, lock-step,
/// with its answer wait), so no caller waits for the processor.
///
/// While the device is slower than its callers (a slider drag), a queued command for the
/// same target (command code and module/item, or store address and length) is replaced in
/// its place by the newer one: the processor ends at the last value without replaying every
/// step, and a setter's several commands keep their order. A pause is a barrier: nothing
/// queued after it replaces anything before it, so ramps keep their steps and their timing;
/// a command without a target (a mode change, a query) is a barrier too.
/// Commands the owner answers for (Exchange) wait for everything queued before them.
class CommandQueue final : public ICommandSink {
public:
    /// Starts the owner thread, which writes to sink (it must outlive the queue).
    explicit CommandQueue(ICommandSink& sink);
    /// Writes what is still queued, then stops the owner.
    ~CommandQueue() override;
    CommandQueue(const CommandQueue&) = delete;
    CommandQueue& operator=(const CommandQueue&) = delete;

    /// Queues the command; returns its size (0 once the queue is stopping).
    int Write(const Command& command) override;
    int WriteStore(int address, std::span<const std::uint8_t> data) override;
    /// Queues a pause the owner keeps between the commands around it.
    void Pause(std::chrono::milliseconds duration) override;
    /// Waits until everything queued before it was written, then writes the command on the
    /// owner thread and waits for its answer.
    Delivery Exchange(const Command& command, const AnswerCheck& isAnswer) override;

    /// Waits until the queue is empty and the owner idle. True when every command written
    /// since the previous Flush was written in full.
    bool Flush();
    /// Commands replaced by a newer one for the same target since the queue started.
    int Replaced() const;

private:
    struct Entry {
        Command command{};
        std::chrono::milliseconds pause{-1};
        bool IsPause() const { return pause.count() >= 0; }
    };
    struct Pending {
        const Command* command = nullptr;
        const AnswerCheck* isAnswer = nullptr;
        std::optional<Delivery> result;
    };

    void Run();
    void Enqueue(const Entry& entry);

    ICommandSink& m_sink;
    mutable std::mutex m_lock;
    std::condition_variable m_wake;
    std::condition_variable m_idle;
    std::deque<Entry> m_queue;
    /// Entries from here on may be replaced (none before the last pause).
    std::size_t m_replaceableFrom = 0;
    Pending* m_exchange = nullptr;
    bool m_busy = false;
    bool m_stopping = false;
    bool m_failed = false;
    int m_replaced = 0;
    std::thread m_owner;
};

/// The target a command sets, as one number, or nothing for commands that must all be
/// written (mode changes, queries, procedures).
std::optional<std::uint32_t> CommandTarget(const Command& command);

} // namespace kv
