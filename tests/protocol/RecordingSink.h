#pragma once

#include "protocol/CommandSink.h"

#include <chrono>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

namespace kv::test {

/// One thing the protocol did: a command written, or a pause (command empty).
struct Recorded {
    Command command{};
    int pauseMs = -1;

    bool IsPause() const { return pauseMs >= 0; }
    int Code() const { return command[1]; }
    bool IsParam() const { return !IsPause() && command[1] == kCmdSetParam; }
    bool IsStoreWrite() const { return !IsPause() && command[1] == kCmdStoreWrite; }
    int Module() const { return command[3]; }
    int Item() const { return command[4]; }
    int Count() const { return command[5]; }
};

/// Records every command and pause instead of sending it; installs itself while alive.
class RecordingSink final : public ICommandSink {
public:
    RecordingSink() : m_scope(*this) {}

    int Write(const Command& command) override {
        std::lock_guard lock(m_lock);
        m_log.push_back(Recorded{command, -1});
        return static_cast<int>(command.size());
    }
    int WriteStore(int address, std::span<const std::uint8_t> data) override {
        return Write(BuildStoreWrite(address, data));
    }
    void Pause(std::chrono::milliseconds duration) override {
        std::lock_guard lock(m_lock);
        m_log.push_back(Recorded{Command{}, static_cast<int>(duration.count())});
    }

    std::vector<Recorded> Log() const {
        std::lock_guard lock(m_lock);
        return m_log;
    }
    /// The commands only, without pauses.
    std::vector<Recorded> Commands() const;
    void Clear() {
        std::lock_guard lock(m_lock);
        m_log.clear();
    }

private:
    mutable std::mutex m_lock;
    std::vector<Recorded> m_log;
    ScopedCommandSink m_scope;
};

inline std::vector<Recorded> RecordingSink::Commands() const {
    std::vector<Recorded> out;
    for (const Recorded& r : Log()) {
        if (!r.IsPause()) {
            out.push_back(r);
        }
    }
    return out;
}

/// "02 09 00 01 0E 01 3F 4C CC CD": the command's meaningful bytes (header and values, or
/// header and data), followed by a marker when any padding byte after them is not zero.
std::string Hex(const Command& command);
/// The single carried by value k of a parameter command.
float ValueOf(const Recorded& r, int k);
/// The 4-byte word carried by value k of a parameter command.
std::uint32_t WordOf(const Recorded& r, int k);

} // namespace kv::test
