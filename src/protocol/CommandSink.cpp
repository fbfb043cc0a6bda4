#include "protocol/CommandSink.h"

#include "link/ConnectionState.h"
#include "link/WriteHold.h"

#include <atomic>
#include <thread>

namespace kv {

namespace {

/// Commands through the link's acknowledged writer.
class LinkCommandSink final : public ICommandSink {
public:
    int Write(const Command& command) override {
        return WriteUsbData(command.data(), command.size());
    }
    int WriteStore(int address, std::span<const std::uint8_t> data) override {
        return kv::WriteStore(address, data);
    }
    /// Not paced, but kept behind the pause after an acknowledged controller frame.
    int WriteUnpaced(const Command& command) override {
        AwaitWriteHold();
        return WriteUsbDataNoWait(command.data());
    }
    /// Pauses only between commands that go out: with no processor there is nothing to
    /// space, and the caller may be the window.
    void Pause(std::chrono::milliseconds duration) override {
        if (g_bDeviceConnected.load() != 0) {
            std::this_thread::sleep_for(duration);
        }
    }
    Delivery Exchange(const Command& command, const AnswerCheck& isAnswer) override {
        return ExchangeUsbData(command.data(), command.size(), isAnswer);
    }
};

LinkCommandSink g_linkSink;
std::atomic<ICommandSink*> g_sink{nullptr};
thread_local ICommandSink* t_sink = nullptr;

ICommandSink& ProcessSink() {
    ICommandSink* sink = g_sink.load();
    return sink != nullptr ? *sink : g_linkSink;
}

} // namespace

ICommandSink& CommandSink() {
    return t_sink != nullptr ? *t_sink : ProcessSink();
}

ICommandSink* SetCommandSink(ICommandSink* sink) {
    return g_sink.exchange(sink);
}

ScopedThreadCommandSink::ScopedThreadCommandSink(ICommandSink& sink) : m_previous(t_sink) {
    t_sink = &sink;
}

ScopedThreadCommandSink::~ScopedThreadCommandSink() {
    t_sink = m_previous;
}

namespace {

/// The sink under any AnsweredSink, so that nested scopes do not multiply the attempts.
ICommandSink& Unwrapped(ICommandSink& sink) {
    if (auto* answered = dynamic_cast<AnsweredSink*>(&sink)) {
        return answered->Inner();
    }
    return sink;
}

} // namespace

AnsweredSink::AnsweredSink() : m_inner(Unwrapped(CommandSink())) {}

int AnsweredSink::Write(const Command& command) {
    return Exchange(command, {}) == Delivery::Answered ? static_cast<int>(command.size()) : 0;
}

int AnsweredSink::WriteStore(int address, std::span<const std::uint8_t> data) {
    return Write(BuildStoreWrite(address, data));
}

Delivery AnsweredSink::Exchange(const Command& command, const AnswerCheck& isAnswer) {
    Delivery result = Delivery::NotSent;
    int attempts = 0;
    while (attempts < kSendAttempts && !GaveUp()) {
        ++attempts;
        result = m_inner.Exchange(command, isAnswer);
        // A command that could not be written is not tried again: the link is gone.
        if (result != Delivery::NoAnswer) {
            break;
        }
    }
    if (result != Delivery::Answered) {
        ++m_failures;
    }
    m_inARow = result == Delivery::Answered && attempts == 1 ? 0 : m_inARow + 1;
    return result;
}

} // namespace kv
