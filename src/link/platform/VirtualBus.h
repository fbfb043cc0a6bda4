#pragma once

#include "link/platform/UsbId.h"

#include <optional>
#include <string>
#include <string_view>

/// Naming rules of the virtual HID bus: a directory of Unix SOCK_SEQPACKET sockets, one per
/// virtual device, named <vid>-<pid>-<name>.sock with the ids as four lower-case hex digits;
/// each packet is one 61-byte report.
namespace kv::vbus {

/// $KV_HID_BUS, else $XDG_RUNTIME_DIR/kv-hid-bus, else /tmp/kv-hid-bus-<uid>.
std::string BusDirectory();
/// Creates the directory (and missing parents) with owner-only access; true when it exists.
bool EnsureDirectory(const std::string& dir);

/// "<vid>-<pid>-<name>.sock".
std::string SocketFileName(UsbId id, std::string_view name);

struct ParsedName {
    UsbId id;
    std::string name;
};
/// Splits a socket file name; nullopt unless it follows the rule (a hidden or temporary
/// file never does).
std::optional<ParsedName> ParseSocketFileName(std::string_view fileName);

/// The last path component.
std::string_view FileNameOf(std::string_view path);

/// A device serves one host at a time. On each connection it first sends one greeting
/// packet: accepted, or busy with the process id of the host that has it (0 if unknown),
/// after which it closes the connection.
std::string AcceptedGreeting();
std::string BusyGreeting(long ownerPid);
struct Greeting {
    bool accepted = false;
    long ownerPid = 0; ///< of the host that has the device, when busy
};
/// nullopt when the packet is no greeting.
std::optional<Greeting> ParseGreeting(std::string_view packet);

} // namespace kv::vbus
