#include "protocol/CommandQueue.h"

#include <algorithm>
#include <utility>

namespace kv {

namespace {
/// Taken entries kept at the front of a queue that does not empty, before they are dropped.
constexpr std::size_t kCompactAfter = 64;
} // namespace

std::optional<std::uint32_t> CommandTarget(const Command& command) {
    const std::uint32_t code = command[1];
    switch (code) {
    case kCmdSetParam: // module, item
        return code << 24 | std::uint32_t{command[3]} << 16 | std::uint32_t{command[4]} << 8;
    case kCmdStoreWrite: // address, length
        return code << 24 | std::uint32_t{command[2]} << 16 | std::uint32_t{command[3]} << 8 |
               command[4];
    default:
        return std::nullopt;
    }
}

CommandQueue::CommandQueue(ICommandSink& sink) : m_sink(sink), m_owner([this] { Run(); }) {}

CommandQueue::~CommandQueue() {
    {
        std::lock_guard lock(m_lock);
        m_closed = true;
        m_stopping = true;
    }
    m_wake.notify_all();
    m_owner.join();
}

bool CommandQueue::Enqueue(Entry entry) {
    {
        std::lock_guard lock(m_lock);
        if (m_closed) {
            return false;
        }
        if (entry.target) {
            // The older command for the target leaves; the newer one goes to the end, so a
            // setter's commands reach the device in its order even when the first of them
            // was already being written.
            const auto from = QueuedBegin() + static_cast<std::ptrdiff_t>(m_replaceableFrom);
            const auto older = std::find_if(from, m_queue.end(), [&entry](const Entry& queued) {
                return queued.kind == Kind::Write && queued.target == entry.target;
            });
            if (older != m_queue.end()) {
                m_queue.erase(older);
                ++m_replaced;
            }
        }
        const bool barrier = entry.barrier || (!entry.target && entry.kind != Kind::Post);
        m_queue.push_back(std::move(entry));
        if (barrier) {
            // Mode changes, pauses and exchanges may change what later targets mean.
            m_replaceableFrom = QueuedLocked();
        }
    }
    m_wake.notify_all();
    return true;
}

int CommandQueue::Write(const Command& command) {
    Entry entry;
    entry.command = command;
    entry.target = CommandTarget(command);
    return Enqueue(std::move(entry)) ? static_cast<int>(command.size()) : 0;
}

int CommandQueue::WriteUnpaced(const Command& command) {
    Entry entry;
    entry.kind = Kind::Unpaced;
    entry.command = command;
    return Enqueue(std::move(entry)) ? static_cast<int>(command.size()) : 0;
}

int CommandQueue::WriteStore(int address, std::span<const std::uint8_t> data) {
    if (address < 0 || address > 0xFFFF) {
        return 0;
    }
    return Write(BuildStoreWrite(address, data));
}

void CommandQueue::Pause(std::chrono::milliseconds duration) {
    Entry entry;
    entry.kind = Kind::Pause;
    entry.pause = std::max(duration, std::chrono::milliseconds{0});
    Enqueue(std::move(entry));
}

Delivery CommandQueue::Exchange(const Command& command, const AnswerCheck& isAnswer) {
    if (std::this_thread::get_id() == m_owner.get_id()) {
        return m_sink.Exchange(command, isAnswer); // from a completion: no queue to wait for
    }
    Pending pending;
    Entry entry;
    entry.kind = Kind::Exchange;
    entry.command = command;
    entry.check = &isAnswer; // the caller waits below, so its check outlives the entry
    entry.waiter = &pending;
    if (!Enqueue(std::move(entry))) {
        return Delivery::NotSent;
    }
    std::unique_lock lock(m_lock);
    m_idle.wait(lock, [&] { return pending.result.has_value(); });
    return *pending.result;
}

bool CommandQueue::Post(const Command& command, AnswerCheck isAnswer, Completion done,
                        Order order) {
    Entry entry;
    entry.kind = Kind::Post;
    entry.barrier = order == Order::Barrier;
    entry.command = command;
    entry.ownCheck = std::move(isAnswer);
    entry.done = std::move(done);
    return Enqueue(std::move(entry));
}

bool CommandQueue::Flush() {
    std::unique_lock lock(m_lock);
    m_idle.wait(lock, [&] { return IdleLocked(); });
    return !std::exchange(m_failed, false);
}

bool CommandQueue::FlushFor(std::chrono::milliseconds timeout) {
    std::unique_lock lock(m_lock);
    if (!m_idle.wait_for(lock, timeout, [&] { return IdleLocked(); })) {
        return false;
    }
    return !std::exchange(m_failed, false);
}

void CommandQueue::Close() {
    std::lock_guard lock(m_lock);
    m_closed = true;
}

int CommandQueue::Replaced() const {
    std::lock_guard lock(m_lock);
    return m_replaced;
}

bool CommandQueue::Waiting(const Command& command) const {
    const auto target = CommandTarget(command);
    if (!target) {
        return false;
    }
    std::lock_guard lock(m_lock);
    return std::any_of(m_queue.begin() + static_cast<std::ptrdiff_t>(m_head), m_queue.end(),
                       [&target](const Entry& queued) {
                           return queued.kind == Kind::Write && queued.target == target;
                       });
}

void CommandQueue::Perform(Entry& entry) {
    Delivery result = Delivery::Answered;
    switch (entry.kind) {
    case Kind::Pause:
        m_sink.Pause(entry.pause);
        return;
    case Kind::Write:
    case Kind::Unpaced: {
        const int written = entry.kind == Kind::Write ? m_sink.Write(entry.command)
                                                      : m_sink.WriteUnpaced(entry.command);
        result = written == static_cast<int>(entry.command.size()) ? Delivery::Answered
                                                                   : Delivery::NotSent;
        break;
    }
    case Kind::Exchange:
    case Kind::Post:
        result =
            m_sink.Exchange(entry.command, entry.check != nullptr ? *entry.check : entry.ownCheck);
        if (entry.done) {
            entry.done(result);
        }
        break;
    }
    std::lock_guard lock(m_lock);
    // Only writes count for Flush: an exchange's caller learns its own result.
    const bool write = entry.kind == Kind::Write || entry.kind == Kind::Unpaced;
    m_failed = m_failed || (write && result == Delivery::NotSent);
    if (entry.waiter != nullptr) {
        entry.waiter->result = result;
    }
}

CommandQueue::Entry CommandQueue::TakeFirstLocked() {
    Entry first = std::move(m_queue[m_head]);
    ++m_head;
    if (m_head == m_queue.size()) {
        m_queue.clear();
        m_head = 0;
    } else if (m_head >= kCompactAfter && 2 * m_head >= m_queue.size()) {
        // A queue that never empties: the taken entries' slots are reused.
        m_queue.erase(m_queue.begin(), QueuedBegin());
        m_head = 0;
    }
    return first;
}

void CommandQueue::Run() {
    std::unique_lock lock(m_lock);
    for (;;) {
        m_wake.wait(lock, [&] { return m_stopping || QueuedLocked() > 0; });
        if (QueuedLocked() == 0) {
            m_idle.notify_all();
            return; // stopping, and everything queued was written
        }
        Entry entry = TakeFirstLocked();
        m_replaceableFrom = m_replaceableFrom > 0 ? m_replaceableFrom - 1 : 0;
        // The entry being written is no longer queued: a newer command for its target is
        // queued behind it, never lost.
        m_busy = true;
        lock.unlock();
        Perform(entry);
        lock.lock();
        m_busy = false;
        m_idle.notify_all();
    }
}

} // namespace kv
