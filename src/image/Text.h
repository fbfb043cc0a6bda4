#pragma once

#include <string>
#include <string_view>

namespace kv {

/// UTF-16 to UTF-8; unpaired surrogates become U+FFFD.
std::string ToUtf8(std::u16string_view text);
/// UTF-8 to UTF-16; invalid sequences become U+FFFD.
std::u16string ToUtf16(std::string_view text);

} // namespace kv
