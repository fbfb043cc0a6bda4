#include "link/DebugLog.h"

#include <atomic>
#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>
#include <unistd.h>

namespace kv {

namespace {

bool EnvEnabled() {
    static const bool enabled = [] {
        const char* v = std::getenv("KV_DEBUG");
        return v != nullptr && std::strcmp(v, "0") != 0 && v[0] != '\0';
    }();
    return enabled;
}

struct DebugState {
    std::mutex lock; ///< guards sink and serialises its calls
    DebugSink sink;
    std::atomic<bool> hasSink{false};
};

DebugState& State() {
    // Never destroyed: threads still running at exit may log.
    static DebugState* state = new DebugState;
    return *state;
}

/// One write call per piece, with no lock held: a pipe takes a line up to PIPE_BUF whole,
/// and a stderr nobody drains must not stop the threads that log.
void WriteToStderr(std::string_view text) {
    while (!text.empty()) {
        const ssize_t n = ::write(STDERR_FILENO, text.data(), text.size());
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return;
        }
        text.remove_prefix(static_cast<std::size_t>(n));
    }
}

} // namespace

bool DebugEnabled() {
    return State().hasSink.load(std::memory_order_relaxed) || EnvEnabled();
}

void DebugWrite(std::string_view text) {
    DebugState& s = State();
    if (s.hasSink.load(std::memory_order_acquire)) {
        std::lock_guard lock(s.lock);
        if (s.sink) {
            s.sink(text);
            return;
        }
    }
    if (EnvEnabled()) {
        WriteToStderr(text);
    }
}

void DebugLog(const char* format, ...) {
    if (!DebugEnabled()) {
        return;
    }
    char small[512];
    va_list args;
    va_start(args, format);
    va_list copy;
    va_copy(copy, args);
    const int n = std::vsnprintf(small, sizeof small, format, args);
    va_end(args);
    if (n < 0) {
        va_end(copy);
        return;
    }
    if (static_cast<std::size_t>(n) < sizeof small) {
        va_end(copy);
        DebugWrite(std::string_view(small, static_cast<std::size_t>(n)));
        return;
    }
    std::string big(static_cast<std::size_t>(n) + 1, '\0');
    std::vsnprintf(big.data(), big.size(), format, copy);
    va_end(copy);
    big.resize(static_cast<std::size_t>(n));
    DebugWrite(big);
}

void DebugHexLine(std::string_view prefix, const std::uint8_t* bytes, std::size_t first,
                  std::size_t last) {
    if (!DebugEnabled()) {
        return;
    }
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string line(prefix);
    line.reserve(prefix.size() + 3 * (last - first + 1) + 1);
    for (std::size_t i = first; i <= last; ++i) {
        line += kHex[bytes[i] >> 4];
        line += kHex[bytes[i] & 0x0F];
        line += ' ';
    }
    line += '\n';
    DebugWrite(line);
}

void SetDebugSink(DebugSink sink) {
    DebugState& s = State();
    std::lock_guard lock(s.lock);
    s.hasSink.store(static_cast<bool>(sink), std::memory_order_release);
    s.sink = std::move(sink);
}

} // namespace kv
