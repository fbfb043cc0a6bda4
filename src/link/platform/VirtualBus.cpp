#include "link/platform/VirtualBus.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <sys/stat.h>
#include <unistd.h>

namespace kv::vbus {

namespace {

bool IsLowerHex(std::string_view text) {
    for (char c : text) {
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) {
            return false;
        }
    }
    return true;
}

} // namespace

std::string BusDirectory() {
    if (const char* bus = std::getenv("KV_HID_BUS"); bus != nullptr && bus[0] != '\0') {
        return bus;
    }
    if (const char* run = std::getenv("XDG_RUNTIME_DIR"); run != nullptr && run[0] != '\0') {
        return std::string(run) + "/kv-hid-bus";
    }
    return "/tmp/kv-hid-bus-" + std::to_string(getuid());
}

bool EnsureDirectory(const std::string& dir) {
    if (dir.empty()) {
        return false;
    }
    struct stat st {};
    if (stat(dir.c_str(), &st) == 0) {
        return S_ISDIR(st.st_mode);
    }
    const auto slash = dir.find_last_of('/');
    if (slash != std::string::npos && slash > 0) {
        EnsureDirectory(dir.substr(0, slash));
    }
    if (mkdir(dir.c_str(), 0700) != 0 && errno != EEXIST) {
        return false;
    }
    return stat(dir.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::string SocketFileName(UsbId id, std::string_view name) {
    char ids[12];
    std::snprintf(ids, sizeof ids, "%04x-%04x-", id.vendorId, id.productId);
    return std::string(ids) + std::string(name) + ".sock";
}

std::optional<ParsedName> ParseSocketFileName(std::string_view fileName) {
    constexpr std::string_view kSuffix = ".sock";
    // "vvvv-pppp-" + at least one character + ".sock"
    if (fileName.size() < 10 + 1 + kSuffix.size() || fileName[4] != '-' || fileName[9] != '-' ||
        !fileName.ends_with(kSuffix)) {
        return std::nullopt;
    }
    const std::string_view vid = fileName.substr(0, 4);
    const std::string_view pid = fileName.substr(5, 4);
    if (!IsLowerHex(vid) || !IsLowerHex(pid)) {
        return std::nullopt;
    }
    const auto id = ParseUsbId(std::string(vid) + ":" + std::string(pid));
    if (!id) {
        return std::nullopt;
    }
    const std::string_view name = fileName.substr(10, fileName.size() - 10 - kSuffix.size());
    if (name.find('/') != std::string_view::npos) {
        return std::nullopt;
    }
    return ParsedName{*id, std::string(name)};
}

std::string_view FileNameOf(std::string_view path) {
    const auto slash = path.find_last_of('/');
    return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

namespace {
constexpr std::string_view kAccepted = "KVBUS/1 OK";
constexpr std::string_view kBusy = "KVBUS/1 BUSY ";
constexpr std::size_t kMaxPidDigits = 10; // a pid fits; no overflow
} // namespace

std::string AcceptedGreeting() {
    return std::string(kAccepted);
}

std::string BusyGreeting(long ownerPid) {
    return std::string(kBusy) + std::to_string(ownerPid < 0 ? 0 : ownerPid);
}

std::optional<Greeting> ParseGreeting(std::string_view packet) {
    if (packet == kAccepted) {
        return Greeting{true, 0};
    }
    if (!packet.starts_with(kBusy)) {
        return std::nullopt;
    }
    const std::string_view digits = packet.substr(kBusy.size());
    if (digits.empty() || digits.size() > kMaxPidDigits) {
        return std::nullopt;
    }
    long pid = 0;
    for (const char c : digits) {
        if (c < '0' || c > '9') {
            return std::nullopt;
        }
        pid = pid * 10 + (c - '0');
    }
    return Greeting{false, pid};
}

} // namespace kv::vbus
