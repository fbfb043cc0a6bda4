#include "image/Text.h"

#include <cstdint>
#include <utility>

namespace kv {

namespace {

constexpr char32_t kReplacement = 0xFFFD;

void AppendUtf8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

void AppendUtf16(std::u16string& out, char32_t cp) {
    if (cp < 0x10000) {
        out += static_cast<char16_t>(cp);
    } else {
        cp -= 0x10000;
        out += static_cast<char16_t>(0xD800 + (cp >> 10));
        out += static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
    }
}

} // namespace

std::string ToUtf8(std::u16string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char16_t u = text[i];
        if (u >= 0xD800 && u <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
            text[i + 1] <= 0xDFFF) {
            AppendUtf8(out, 0x10000 + ((char32_t{u} - 0xD800) << 10) + (text[i + 1] - 0xDC00));
            ++i;
        } else if (u >= 0xD800 && u <= 0xDFFF) {
            AppendUtf8(out, kReplacement);
        } else {
            AppendUtf8(out, u);
        }
    }
    return out;
}

namespace {

/// The code point of the UTF-8 sequence starting at text[i] and its length in bytes; a
/// length of 0 when the bytes there are no valid sequence (bad lead or continuation byte,
/// overlong form, surrogate, beyond U+10FFFF, cut off by the end).
std::pair<char32_t, std::size_t> DecodeUtf8(std::string_view text, std::size_t i) {
    const auto b0 = static_cast<std::uint8_t>(text[i]);
    std::size_t extra = 0;
    char32_t cp = 0;
    char32_t min = 0;
    if (b0 < 0x80) {
        return {b0, 1};
    } else if ((b0 & 0xE0) == 0xC0) {
        extra = 1, cp = b0 & 0x1F, min = 0x80;
    } else if ((b0 & 0xF0) == 0xE0) {
        extra = 2, cp = b0 & 0x0F, min = 0x800;
    } else if ((b0 & 0xF8) == 0xF0) {
        extra = 3, cp = b0 & 0x07, min = 0x10000;
    } else {
        return {0, 0};
    }
    if (i + extra >= text.size()) {
        return {0, 0};
    }
    for (std::size_t k = 1; k <= extra; ++k) {
        const auto b = static_cast<std::uint8_t>(text[i + k]);
        if ((b & 0xC0) != 0x80) {
            return {0, 0};
        }
        cp = (cp << 6) | (b & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
        return {0, 0};
    }
    return {cp, extra + 1};
}

} // namespace

std::u16string ToUtf16(std::string_view text) {
    std::u16string out;
    out.reserve(text.size());
    std::size_t i = 0;
    while (i < text.size()) {
        const auto [cp, length] = DecodeUtf8(text, i);
        AppendUtf16(out, length ? cp : kReplacement);
        i += length ? length : 1;
    }
    return out;
}

std::string EscapeInvalidUtf8(std::string_view bytes) {
    constexpr char kHex[] = "0123456789abcdef";
    std::string out;
    out.reserve(bytes.size());
    std::size_t i = 0;
    while (i < bytes.size()) {
        const auto length = DecodeUtf8(bytes, i).second;
        if (length) {
            out.append(bytes.substr(i, length));
            i += length;
            continue;
        }
        const auto b = static_cast<std::uint8_t>(bytes[i++]);
        out += "\\x";
        out += kHex[b >> 4];
        out += kHex[b & 0xF];
    }
    return out;
}

} // namespace kv
