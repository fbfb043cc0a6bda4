#pragma once

#include "link/Link.h"
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
    /// Writes a command the processor does not answer in lock-step (a Z-Wave controller
    /// frame): in its turn, but without waiting for the previous answer. Returns the bytes
    /// written (0 when dropped). A sink that does not pace writes like any other.
    virtual int WriteUnpaced(const Command& command) { return Write(command); }
    /// A pause the protocol asks for between commands (fade-in, volume ramp, sync steps).
    virtual void Pause(std::chrono::milliseconds duration) = 0;
    /// Writes one command and waits for its answer (a report the check accepts). A sink
    /// that cannot see answers counts every written command as answered.
    virtual Delivery Exchange(const Command& command, const AnswerCheck& isAnswer) {
        (void)isAnswer;
        return Write(command) == static_cast<int>(command.size()) ? Delivery::Answered
                                                                  : Delivery::NotSent;
    }
};

/// The sink in use: the calling thread's own (ScopedThreadCommandSink), else the one
/// installed with SetCommandSink, else the link.
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

/// Installs a sink for the calling thread only, for the lifetime of the object.
class ScopedThreadCommandSink {
public:
    explicit ScopedThreadCommandSink(ICommandSink& sink);
    ~ScopedThreadCommandSink();
    ScopedThreadCommandSink(const ScopedThreadCommandSink&) = delete;
    ScopedThreadCommandSink& operator=(const ScopedThreadCommandSink&) = delete;

private:
    ICommandSink* m_previous;
};

/// Times a command is sent when its answer does not come (the first send included).
inline constexpr int kSendAttempts = 3;
/// Commands in a row that must be sent more than once (or stay unanswered) before a
/// processor is taken for one that does not answer in time: later commands are not sent.
inline constexpr int kGiveUpAfter = 3;

/// A sink for callers that must know their commands arrived: every command is written to
/// the sink that was in use when it was made and waits for its answer; an unanswered one is
/// sent again (kSendAttempts in all). Counts the commands that stayed unanswered. It stops
/// sending once kGiveUpAfter commands in a row went unanswered at their first sending: a
/// processor that does not answer, or answers only after the wait (when an answer can no
/// longer be told from the next one's), must not cost the answer wait for every command
/// left.
class AnsweredSink final : public ICommandSink {
public:
    AnsweredSink();

    int Write(const Command& command) override;
    int WriteStore(int address, std::span<const std::uint8_t> data) override;
    /// Written once, as it is not answered in lock-step.
    int WriteUnpaced(const Command& command) override { return m_inner.WriteUnpaced(command); }
    void Pause(std::chrono::milliseconds duration) override { m_inner.Pause(duration); }
    Delivery Exchange(const Command& command, const AnswerCheck& isAnswer) override;

    /// Commands that were written or refused without an answer, after every attempt.
    int Failures() const { return m_failures; }
    /// True once kGiveUpAfter commands in a row went unanswered at their first sending.
    bool GaveUp() const { return m_inARow >= kGiveUpAfter; }
    /// The sink the commands go to.
    ICommandSink& Inner() { return m_inner; }

private:
    ICommandSink& m_inner;
    int m_failures = 0;
    int m_inARow = 0;
};

/// Scoped AnsweredSink for the calling thread: commands it sends while the object lives
/// wait for their answers.
class AnsweredScope {
public:
    AnsweredScope() : m_install(m_sink) {}
    int Failures() const { return m_sink.Failures(); }
    bool GaveUp() const { return m_sink.GaveUp(); }

private:
    AnsweredSink m_sink;
    ScopedThreadCommandSink m_install;
};

} // namespace kv
