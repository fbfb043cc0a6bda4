#pragma once

#include <string>
#include <string_view>

namespace kv {

/// UTF-16 to UTF-8; unpaired surrogates become U+FFFD.
std::string ToUtf8(std::u16string_view text);
/// UTF-8 to UTF-16; invalid sequences become U+FFFD.
std::u16string ToUtf16(std::string_view text);
/// Bytes as valid UTF-8 (for JSON and other UTF-8-only output): valid sequences pass
/// through unchanged and every other byte becomes the four characters \xNN (hex).
std::string EscapeInvalidUtf8(std::string_view bytes);

} // namespace kv
