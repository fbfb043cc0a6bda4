#include "protocol/DeviceQueue.h"

#include "protocol/Dispatcher.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <mutex>
#include <utility>

namespace kv {

namespace {

/// The process's sink while a device is open: hands every call to the device's queue, or
/// to the sink below once the queue is gone. It is never destroyed, so a thread that took
/// it as its sink (a synchronisation in progress) may outlive the queue.
class DeviceSink final : public ICommandSink {
public:
    std::shared_ptr<CommandQueue> Queue() const {
        std::lock_guard lock(m_lock);
        return m_queue;
    }

    /// False when a queue is open already.
    bool Open(ICommandSink& below) {
        std::lock_guard lock(m_lock);
        if (m_queue) {
            return false;
        }
        m_below = &below;
        m_queue = std::make_shared<CommandQueue>(below);
        return true;
    }
    std::shared_ptr<CommandQueue> Take() {
        std::lock_guard lock(m_lock);
        return std::exchange(m_queue, nullptr);
    }

    int Write(const Command& command) override {
        auto queue = Queue();
        return queue ? queue->Write(command) : Below().Write(command);
    }
    int WriteStore(int address, std::span<const std::uint8_t> data) override {
        auto queue = Queue();
        return queue ? queue->WriteStore(address, data) : Below().WriteStore(address, data);
    }
    int WriteUnpaced(const Command& command) override {
        auto queue = Queue();
        return queue ? queue->WriteUnpaced(command) : Below().WriteUnpaced(command);
    }
    void Pause(std::chrono::milliseconds duration) override {
        if (auto queue = Queue()) {
            queue->Pause(duration);
        } else {
            Below().Pause(duration);
        }
    }
    Delivery Exchange(const Command& command, const AnswerCheck& isAnswer) override {
        auto queue = Queue();
        return queue ? queue->Exchange(command, isAnswer) : Below().Exchange(command, isAnswer);
    }

    ICommandSink* m_previous = nullptr; ///< the process sink it replaced (UI thread only)

private:
    ICommandSink& Below() const {
        std::lock_guard lock(m_lock);
        return *m_below;
    }

    mutable std::mutex m_lock; ///< guards m_queue and m_below
    std::shared_ptr<CommandQueue> m_queue;
    ICommandSink* m_below = nullptr;
};

DeviceSink& Forwarder() {
    static auto* sink = new DeviceSink;
    return *sink;
}

std::atomic<bool> g_statusQueryPending{false};

} // namespace

void OpenDeviceQueue() {
    DeviceSink& sink = Forwarder();
    ICommandSink& below = CommandSink();
    SetStoreWriteWaiting(&StoreWriteWaiting);
    if (&below != &sink && sink.Open(below)) {
        sink.m_previous = SetCommandSink(&sink);
    }
}

bool CloseDeviceQueue(std::chrono::milliseconds drainWait) {
    DeviceSink& sink = Forwarder();
    auto queue = sink.Queue();
    if (!queue) {
        return true;
    }
    queue->Close();
    const bool drained = queue->FlushFor(drainWait);
    sink.Take();
    // Only when nothing was installed over it meanwhile.
    if (ICommandSink* replaced = SetCommandSink(sink.m_previous); replaced != &sink) {
        SetCommandSink(replaced);
    }
    return drained;
}

std::shared_ptr<CommandQueue> DeviceQueue() {
    return Forwarder().Queue();
}

bool StoreWriteWaiting(int address, int length) {
    if (address < 0 || address > 0xFFFF || length < 0 || length > 0xFF) {
        return false;
    }
    const auto queue = DeviceQueue();
    if (!queue) {
        return false;
    }
    // Only the address and length name the target; the bytes do not matter. No allocation:
    // this runs on the reader thread for every store answer.
    static constexpr std::array<std::uint8_t, 0xFF> kAnyBytes{};
    return queue->Waiting(
        BuildStoreWrite(address, std::span(kAnyBytes.data(), static_cast<std::size_t>(length))));
}

bool FlushDeviceQueue() {
    auto queue = DeviceQueue();
    return queue ? queue->Flush() : true;
}

bool PostStatusQuery(std::function<void(const StatusBytes&)> onStatus) {
    auto queue = DeviceQueue();
    if (!queue || g_statusQueryPending.exchange(true)) {
        return false;
    }
    // The reader copies the answer; the owner hands the copy on once the exchange ended.
    auto answer = std::make_shared<StatusBytes>();
    auto isAnswer = [answer](const std::uint8_t* report) {
        if (report[1] != report::kStatus) {
            return false;
        }
        std::copy_n(report + 2, answer->size(), answer->begin());
        return true;
    };
    auto done = [answer, onStatus = std::move(onStatus)](Delivery delivery) {
        g_statusQueryPending.store(false);
        if (delivery == Delivery::Answered && onStatus) {
            onStatus(*answer);
        }
    };
    if (!queue->Post(BuildCommand({kCmdStatus}), std::move(isAnswer), std::move(done))) {
        g_statusQueryPending.store(false);
        return false;
    }
    return true;
}

bool PostInTurn(const Command& command, std::function<void(Delivery)> done) {
    auto queue = DeviceQueue();
    return queue && queue->Post(command, {}, std::move(done), CommandQueue::Order::Barrier);
}

} // namespace kv
