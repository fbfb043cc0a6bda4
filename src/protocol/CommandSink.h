#pragma once

#include "protocol/Commands.h"

#include <chrono>
#include <cstdint>
#include <span>

namespace kv {

/// Where the protocol's commands go. The process normally uses the link (acknowledged
/// writes, real pauses); tests and tools install their own to record or redirect them.
/// Implementations must accept calls from any thread.
class ICommandSink {
public:
    virtual ~ICommandSink() = default;
    /// Writes one command with the acknowledged writer; returns the bytes written (0 when
    /// the command was dropped, for example with no processor connected).
    virtual int Write(const Command& command) = 0;
    /// Store write of at most 56 bytes at address (command 133), paced like Write.
    virtual int WriteStore(int address, std::span<const std::uint8_t> data) = 0;
    /// A pause the protocol asks for between commands (fade-in, volume ramp, sync steps).
    virtual void Pause(std::chrono::milliseconds duration) = 0;
};

/// The sink in use: the one installed with SetCommandSink, else the link.
ICommandSink& CommandSink();
/// Installs a sink for the whole process (nullptr restores the link). Returns the previous
/// one (nullptr when it was the link).
ICommandSink* SetCommandSink(ICommandSink* sink);

/// Installs a sink for the lifetime of the object.
class ScopedCommandSink {
public:
    explicit ScopedCommandSink(ICommandSink& sink) : m_previous(SetCommandSink(&sink)) {}
    ~ScopedCommandSink() { SetCommandSink(m_previous); }
    ScopedCommandSink(const ScopedCommandSink&) = delete;
    ScopedCommandSink& operator=(const ScopedCommandSink&) = delete;

private:
    ICommandSink* m_previous;
};

} // namespace kv
