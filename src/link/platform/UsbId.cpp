#include "link/platform/UsbId.h"

#include <charconv>
#include <cstdio>
#include <cstdlib>

namespace kv {

namespace {

std::optional<std::uint16_t> ParseHex16(std::string_view text) {
    if (text.empty() || text.size() > 4) {
        return std::nullopt;
    }
    unsigned value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value, 16);
    if (ec != std::errc() || end != text.data() + text.size()) {
        return std::nullopt;
    }
    return static_cast<std::uint16_t>(value);
}

} // namespace

std::optional<UsbId> ParseUsbId(std::string_view text) {
    const auto colon = text.find(':');
    if (colon == std::string_view::npos) {
        return std::nullopt;
    }
    const auto vid = ParseHex16(text.substr(0, colon));
    const auto pid = ParseHex16(text.substr(colon + 1));
    if (!vid || !pid) {
        return std::nullopt;
    }
    return UsbId{*vid, *pid};
}

std::string FormatUsbId(UsbId id) {
    char text[10];
    std::snprintf(text, sizeof text, "%04x:%04x", id.vendorId, id.productId);
    return text;
}

UsbId ProcessorUsbId() {
    if (const char* env = std::getenv("KV_USB_ID")) {
        if (const auto id = ParseUsbId(env)) {
            return *id;
        }
    }
    return kDefaultProcessorId;
}

} // namespace kv
