#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string_view>

/// The debug output of the link and the layers above it. Silent unless enabled: KV_DEBUG=1
/// in the environment sends it to stderr, and a capture sink (tests, tools) receives it
/// instead of stderr while installed.
namespace kv {

using DebugSink = std::function<void(std::string_view text)>;

/// True when a line written now would go anywhere; callers skip costly formatting otherwise.
bool DebugEnabled();
/// Writes the text as it is (no newline added).
void DebugWrite(std::string_view text);
/// printf-style formatting, then DebugWrite.
void DebugLog(const char* format, ...) __attribute__((format(printf, 1, 2)));
/// The prefix followed by bytes[first..last] each as "%02X ", then "\n", written as one piece.
void DebugHexLine(std::string_view prefix, const std::uint8_t* bytes, std::size_t first,
                  std::size_t last);

/// Installs a sink that receives every piece of text; an empty sink restores the default
/// (stderr when KV_DEBUG=1, nothing otherwise). The sink is called under a lock, one call
/// at a time.
void SetDebugSink(DebugSink sink);

} // namespace kv
