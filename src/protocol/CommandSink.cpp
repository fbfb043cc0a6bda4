#include "protocol/CommandSink.h"

#include "link/Link.h"

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
    void Pause(std::chrono::milliseconds duration) override {
        std::this_thread::sleep_for(duration);
    }
};

LinkCommandSink g_linkSink;
std::atomic<ICommandSink*> g_sink{nullptr};

} // namespace

ICommandSink& CommandSink() {
    ICommandSink* sink = g_sink.load();
    return sink != nullptr ? *sink : g_linkSink;
}

ICommandSink* SetCommandSink(ICommandSink* sink) {
    return g_sink.exchange(sink);
}

} // namespace kv
