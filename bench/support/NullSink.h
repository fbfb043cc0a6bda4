#pragma once

#include "protocol/CommandSink.h"

#include <chrono>
#include <cstdint>
#include <span>

namespace kv::bench {

/// Takes every command and does nothing with it: the benches that use it measure what
/// queues the commands, not the link.
class NullSink final : public ICommandSink {
public:
    int Write(const Command& command) override { return static_cast<int>(command.size()); }
    int WriteStore(int, std::span<const std::uint8_t> data) override {
        return static_cast<int>(data.size());
    }
    void Pause(std::chrono::milliseconds) override {}
};

} // namespace kv::bench
