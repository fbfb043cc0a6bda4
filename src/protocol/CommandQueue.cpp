#include "protocol/CommandQueue.h"

#include <algorithm>
#include <thread>

namespace kv {

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
        m_stopping = true;
    }
    m_wake.notify_all();
    m_owner.join();
}

void CommandQueue::Enqueue(const Entry& entry) {
    {
        std::lock_guard lock(m_lock);
        if (entry.IsPause()) {
            m_queue.push_back(entry);
            m_replaceableFrom = m_queue.size();
        } else {
            const auto target = CommandTarget(entry.command);
            bool replaced = false;
            if (!target) {
                // Mode changes and the like may change what later targets mean: a barrier.
                m_queue.push_back(entry);
                m_replaceableFrom = m_queue.size();
            }
            if (target) {
                for (std::size_t i = m_replaceableFrom; i < m_queue.size(); ++i) {
                    if (!m_queue[i].IsPause() && CommandTarget(m_queue[i].command) == target) {
                        m_queue[i] = entry;
                        replaced = true;
                        ++m_replaced;
                        break;
                    }
                }
            }
            if (target && !replaced) {
                m_queue.push_back(entry);
            }
        }
    }
    m_wake.notify_all();
}

int CommandQueue::Write(const Command& command) {
    {
        std::lock_guard lock(m_lock);
        if (m_stopping) {
            return 0;
        }
    }
    Enqueue(Entry{command, std::chrono::milliseconds{-1}});
    return static_cast<int>(command.size());
}

int CommandQueue::WriteStore(int address, std::span<const std::uint8_t> data) {
    return Write(BuildStoreWrite(address, data));
}

void CommandQueue::Pause(std::chrono::milliseconds duration) {
    Enqueue(Entry{Command{}, std::max(duration, std::chrono::milliseconds{0})});
}

Delivery CommandQueue::Exchange(const Command& command, const AnswerCheck& isAnswer) {
    Pending pending{&command, &isAnswer, std::nullopt};
    std::unique_lock lock(m_lock);
    // One exchange at a time, after everything queued before it.
    m_idle.wait(
        lock, [&] { return m_stopping || (m_exchange == nullptr && m_queue.empty() && !m_busy); });
    if (m_stopping) {
        return Delivery::NotSent;
    }
    m_exchange = &pending;
    m_wake.notify_all();
    m_idle.wait(lock, [&] { return pending.result.has_value(); });
    return *pending.result;
}

bool CommandQueue::Flush() {
    std::unique_lock lock(m_lock);
    m_idle.wait(lock, [&] { return m_queue.empty() && !m_busy && m_exchange == nullptr; });
    const bool ok = !m_failed;
    m_failed = false;
    return ok;
}

int CommandQueue::Replaced() const {
    std::lock_guard lock(m_lock);
    return m_replaced;
}

void CommandQueue::Run() {
    std::unique_lock lock(m_lock);
    for (;;) {
        m_wake.wait(lock, [&] { return m_stopping || !m_queue.empty() || m_exchange != nullptr; });
        if (m_exchange != nullptr) {
            Pending* pending = m_exchange;
            m_busy = true;
            lock.unlock();
            const Delivery result = m_sink.Exchange(*pending->command, *pending->isAnswer);
            lock.lock();
            m_busy = false;
            m_exchange = nullptr;
            pending->result = result;
            m_idle.notify_all();
            continue;
        }
        if (m_queue.empty()) {
            if (m_stopping) {
                m_idle.notify_all();
                return;
            }
            continue;
        }
        const Entry entry = m_queue.front();
        m_queue.pop_front();
        m_replaceableFrom = m_replaceableFrom > 0 ? m_replaceableFrom - 1 : 0;
        m_busy = true;
        // The command being written is no longer queued: a newer one for its target is
        // queued behind it, never lost.
        lock.unlock();
        bool ok = true;
        if (entry.IsPause()) {
            m_sink.Pause(entry.pause);
        } else {
            ok = m_sink.Write(entry.command) == static_cast<int>(entry.command.size());
        }
        lock.lock();
        m_busy = false;
        m_failed = m_failed || !ok;
        if (m_queue.empty() && m_exchange == nullptr) {
            m_idle.notify_all();
        }
    }
}

} // namespace kv
