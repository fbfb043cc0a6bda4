#pragma once

#include "protocol/CommandSink.h"

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <span>
#include <thread>
#include <vector>

namespace kv {

/// The one thread that writes to an open device. Callers queue their commands and return at
/// once; the owner writes them in order through the sink it was given (paced, lock-step,
/// with its answer wait), so no caller waits for the processor.
///
/// While the device is slower than its callers (a slider drag), a queued command for the
/// same target (command code and module/item, or store address and length) is dropped and
/// the newer one queued at the end: the processor ends at the last value without replaying
/// every step, and a setter's several commands keep their order. The command being written
/// is never replaced: a newer one queues behind it. Commands for different targets between
/// two barriers are taken to be independent of their order. A pause is a barrier: nothing queued
/// after it replaces anything before it, so ramps keep their steps and their timing; a command
/// without a target (a mode change, a query, a controller frame) and an exchange are barriers
/// too.
class CommandQueue final : public ICommandSink {
public:
    /// Runs on the owner thread with how a posted command ended.
    using Completion = std::function<void(Delivery)>;

    /// Starts the owner thread, which writes to sink (it must outlive the queue).
    explicit CommandQueue(ICommandSink& sink);
    /// Writes what is still queued, then stops the owner.
    ~CommandQueue() override;
    CommandQueue(const CommandQueue&) = delete;
    CommandQueue& operator=(const CommandQueue&) = delete;

    /// Queues the command; returns its size (0 once the queue is closed).
    int Write(const Command& command) override;
    int WriteStore(int address, std::span<const std::uint8_t> data) override;
    /// Queues a command the owner writes in its turn without waiting for the previous
    /// answer (a controller frame, which the processor does not answer in lock-step); it
    /// replaces nothing and nothing replaces it. Returns its size (0 once closed).
    int WriteUnpaced(const Command& command) override;
    /// Queues a pause the owner keeps between the commands around it.
    void Pause(std::chrono::milliseconds duration) override;
    /// Queues the command behind everything queued before it and waits until the owner has
    /// written it and its answer came (or the answer wait passed).
    Delivery Exchange(const Command& command, const AnswerCheck& isAnswer) override;
    /// How a posted command stands to the settings queued around it.
    enum class Order {
        Free,    ///< settings queued around it may still replace each other (status queries)
        Barrier, ///< like a written mode command: what was queued before stays before it
    };
    /// Queues an exchange without waiting for it; done (may be empty) runs on the owner
    /// thread when it ended. False once the queue is closed.
    bool Post(const Command& command, AnswerCheck isAnswer, Completion done,
              Order order = Order::Free);

    /// Waits until the queue is empty and the owner idle. True when every command written
    /// since the previous Flush was written in full.
    bool Flush();
    /// Flush that gives up after timeout (false then; the queue keeps what it holds).
    bool FlushFor(std::chrono::milliseconds timeout);
    /// Takes no more commands (writes return 0, exchanges are not sent); what is queued is
    /// still written.
    void Close();
    /// Commands replaced by a newer one for the same target since the queue started.
    int Replaced() const;
    /// True while a write for the same target as command waits its turn (the one being
    /// written does not count).
    bool Waiting(const Command& command) const;

private:
    enum class Kind { Write, Unpaced, Pause, Exchange, Post };
    struct Pending {
        std::optional<Delivery> result;
    };
    struct Entry {
        Kind kind = Kind::Write;
        Command command{};
        std::optional<std::uint32_t> target;
        std::chrono::milliseconds pause{0};
        /// The check of an exchange: the caller's own while it waits (Exchange), else the
        /// entry's copy (Post).
        const AnswerCheck* check = nullptr;
        AnswerCheck ownCheck;
        Completion done;
        bool barrier = false;      ///< a posted command that orders the settings around it
        Pending* waiter = nullptr; ///< the caller of Exchange, waiting on m_idle
    };

    void Run();
    /// Queues entry (replacing a queued one for its target); false once closed.
    bool Enqueue(Entry entry);
    void Perform(Entry& entry);
    bool IdleLocked() const { return QueuedLocked() == 0 && !m_busy; }
    /// The queued entries are m_queue[m_head..]: taking the first moves m_head on, and the
    /// vector is emptied (keeping its capacity) once all are taken, so queueing a command
    /// allocates nothing once the queue has grown to its working size.
    std::size_t QueuedLocked() const { return m_queue.size() - m_head; }
    std::vector<Entry>::iterator QueuedBegin() {
        return m_queue.begin() + static_cast<std::ptrdiff_t>(m_head);
    }
    Entry TakeFirstLocked();

    ICommandSink& m_sink;
    mutable std::mutex m_lock; ///< guards every member below
    std::condition_variable m_wake;
    std::condition_variable m_idle;
    std::vector<Entry> m_queue;
    std::size_t m_head = 0;
    /// Queued entries from this index on (counted from m_head) may be replaced (none
    /// before the last barrier).
    std::size_t m_replaceableFrom = 0;
    bool m_busy = false;
    bool m_closed = false;
    bool m_stopping = false;
    bool m_failed = false;
    int m_replaced = 0;
    std::thread m_owner;
};

/// The target a command sets, as one number, or nothing for commands that must all be
/// written (mode changes, queries, procedures).
std::optional<std::uint32_t> CommandTarget(const Command& command);

} // namespace kv
