#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

/// The outbound reports of the Z-Wave link: Serial API request frames relayed through
/// report 18, their acknowledgement, and the smart-home memory reads and writes. Pure
/// builders, so that every byte can be checked without a processor.
namespace kv::zwave {

using OutReport = std::array<std::uint8_t, 61>;

inline constexpr std::uint8_t kRelayCommand = 0x12;
inline constexpr std::uint8_t kMemoryWriteCommand = 0x13;
inline constexpr std::uint8_t kMemoryReadCommand = 0x14;
/// Payload bytes a request frame can carry in one report.
inline constexpr std::size_t kMaxPayload = 54;
/// Data bytes one memory write can carry.
inline constexpr std::size_t kMaxMemoryData = 56;

/// Callback ids of a Basic Set: 68 for remote-key values (128..254), else 67.
inline constexpr std::uint8_t kSetCallback = 67;
/// Transmit options of every send: acknowledged, auto route, explore.
inline constexpr std::uint8_t kTransmitOptions = 0x25;
inline constexpr std::uint8_t kCommandClassBasic = 0x20;
inline constexpr std::uint8_t kBasicSet = 0x01;
/// Second payload byte of a stop or cancel request.
inline constexpr std::uint8_t kStop = 0x05;
/// Hub operations of the wait window: their function codes.
inline constexpr int kOperationSet = 0x13;
inline constexpr int kOperationAdd = 0x4A;
inline constexpr int kOperationRemove = 0x4B;

/// 02 12 (n+4) 01 (n+2) 00 payload checksum, checksum = 0xFF XOR every byte from the length
/// byte to the last payload byte. A payload longer than kMaxPayload is cut.
OutReport RequestFrame(std::span<const std::uint8_t> payload);
/// 02 12 01 06: the acknowledgement of a frame from the controller.
OutReport AckFrame();
/// 02 13 address-high address-low length data: at most kMaxMemoryData bytes.
OutReport MemoryWrite(int address, std::span<const std::uint8_t> data);
/// 02 14 address-high address-low length.
OutReport MemoryRead(int address, std::size_t length);

std::uint8_t BasicSetCallbackId(std::uint8_t value);

/// Request payloads.
std::vector<std::uint8_t> GetInitDataPayload();
std::vector<std::uint8_t> SetDefaultPayload();
std::vector<std::uint8_t> AddNodePayload();
std::vector<std::uint8_t> StopAddingPayload();
std::vector<std::uint8_t> RemoveNodePayload();
/// 4B 05: sent when a removal is done.
std::vector<std::uint8_t> StopRemovingPayload();
/// (operation, 05, 00): the cancel of a pending add, remove or send.
std::vector<std::uint8_t> CancelPayload(int operation);
std::vector<std::uint8_t> BasicSetPayload(int node, std::uint8_t value);

} // namespace kv::zwave
