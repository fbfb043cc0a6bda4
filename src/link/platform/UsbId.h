#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace kv {

/// A USB vendor and product id pair.
struct UsbId {
    std::uint16_t vendorId = 0;
    std::uint16_t productId = 0;

    friend bool operator==(const UsbId&, const UsbId&) = default;
};

/// The processor's pair unless KV_USB_ID says otherwise: 1209:0001.
inline constexpr UsbId kDefaultProcessorId{0x1209, 0x0001};

/// Parses "vvvv:pppp" (hexadecimal, one to four digits each).
std::optional<UsbId> ParseUsbId(std::string_view text);
/// "vvvv:pppp" in lower-case hexadecimal.
std::string FormatUsbId(UsbId id);
/// The pair the link accepts: KV_USB_ID when it parses, else kDefaultProcessorId.
UsbId ProcessorUsbId();

} // namespace kv
