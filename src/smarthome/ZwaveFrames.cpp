#include "smarthome/ZwaveFrames.h"

#include "protocol/ZWaveRelay.h"

#include <algorithm>

namespace kv::zwave {

namespace {

constexpr std::uint8_t kOutputReportId = 2;
constexpr std::uint8_t kRequest = 0x00;
constexpr std::uint8_t kAddAny = 0x01;
constexpr std::uint8_t kAddCallback = 0x30;
constexpr std::uint8_t kSetDefaultCallback = 0x02;
constexpr std::uint8_t kRemoveAny = 0x01;
constexpr std::uint8_t kRemoveCallback = 0x09;

OutReport Command(std::uint8_t code, int address) {
    OutReport r{};
    r[0] = kOutputReportId;
    r[1] = code;
    r[2] = static_cast<std::uint8_t>((address >> 8) & 0xFF);
    r[3] = static_cast<std::uint8_t>(address & 0xFF);
    return r;
}

} // namespace

OutReport RequestFrame(std::span<const std::uint8_t> payload) {
    const std::size_t n = std::min(payload.size(), kMaxPayload);
    OutReport r{};
    r[0] = kOutputReportId;
    r[1] = kRelayCommand;
    r[2] = static_cast<std::uint8_t>(n + 4);
    r[3] = kFrameStart;
    r[4] = static_cast<std::uint8_t>(n + 2);
    r[5] = kRequest;
    std::copy_n(payload.begin(), n, r.begin() + 6);
    std::uint8_t checksum = 0xFF;
    for (std::size_t i = 4; i < 6 + n; ++i) {
        checksum ^= r[i];
    }
    r[6 + n] = checksum;
    return r;
}

OutReport AckFrame() {
    OutReport r{};
    r[0] = kOutputReportId;
    r[1] = kRelayCommand;
    r[2] = 0x01;
    r[3] = kAck;
    return r;
}

OutReport MemoryWrite(int address, std::span<const std::uint8_t> data) {
    const std::size_t n = std::min(data.size(), kMaxMemoryData);
    OutReport r = Command(kMemoryWriteCommand, address);
    r[4] = static_cast<std::uint8_t>(n);
    std::copy_n(data.begin(), n, r.begin() + 5);
    return r;
}

OutReport MemoryRead(int address, std::size_t length) {
    OutReport r = Command(kMemoryReadCommand, address);
    r[4] = static_cast<std::uint8_t>(std::min(length, kMaxMemoryData));
    return r;
}

std::uint8_t BasicSetCallbackId(std::uint8_t value) {
    return static_cast<std::int8_t>(value) < -1 ? kRemoteKeyCallback : kSetCallback;
}

std::vector<std::uint8_t> GetInitDataPayload() {
    return {kGetInitData};
}

std::vector<std::uint8_t> SetDefaultPayload() {
    return {kSetDefault, kSetDefaultCallback};
}

std::vector<std::uint8_t> AddNodePayload() {
    return {static_cast<std::uint8_t>(kOperationAdd), kAddAny, kAddCallback};
}

std::vector<std::uint8_t> StopAddingPayload() {
    return CancelPayload(kOperationAdd);
}

std::vector<std::uint8_t> RemoveNodePayload() {
    return {static_cast<std::uint8_t>(kOperationRemove), kRemoveAny, kRemoveCallback};
}

std::vector<std::uint8_t> StopRemovingPayload() {
    return {static_cast<std::uint8_t>(kOperationRemove), kStop};
}

std::vector<std::uint8_t> CancelPayload(int operation) {
    return {static_cast<std::uint8_t>(operation), kStop, 0x00};
}

std::vector<std::uint8_t> BasicSetPayload(int node, std::uint8_t value) {
    return {static_cast<std::uint8_t>(kOperationSet),
            static_cast<std::uint8_t>(node),
            0x03,
            kCommandClassBasic,
            kBasicSet,
            value,
            kTransmitOptions,
            BasicSetCallbackId(value)};
}

} // namespace kv::zwave
