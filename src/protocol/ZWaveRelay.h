#pragma once

#include <chrono>
#include <cstdint>

namespace kv {

class ParamImage;

/// Z-Wave Serial API function codes the relay handles.
namespace zwave {
inline constexpr std::uint8_t kAck = 0x06;
inline constexpr std::uint8_t kFrameStart = 0x01;
inline constexpr std::uint8_t kGetInitData = 0x02;
inline constexpr std::uint8_t kApplicationCommand = 0x04;
inline constexpr std::uint8_t kSendData = 0x13;
inline constexpr std::uint8_t kSetDefault = 0x42;
inline constexpr std::uint8_t kAddNode = 0x4A;
inline constexpr std::uint8_t kRemoveNode = 0x4B;
/// Callback id of a Basic Set whose completion the node's own report confirms.
inline constexpr std::uint8_t kRemoteKeyCallback = 68;
/// Bitmap bytes of the node list the hub tables can hold (nodes 1..232).
inline constexpr int kMaxBitmapBytes = 29;
} // namespace zwave

/// True when report 18 carries a whole frame: start byte, a length that keeps the frame in
/// the report, and the checksum (0xFF XOR every byte from the length to the last parameter).
bool ValidZwaveFrame(const std::uint8_t* report);

/// Report 18 where reports are dispatched: acknowledges a relayed frame at once (no-wait
/// write) and holds the following commands for FrameAckPause() without waiting itself, then
/// updates the node table and the hub flags and posts a ZwaveEvent notice. Frames naming a
/// node above 232, whose command runs past the frame, or that are not valid frames change
/// nothing and are not acknowledged.
void HandleZwaveFrame(ParamImage& image, const std::uint8_t* report);

/// The pause between the acknowledgement of a frame and the next command (20 ms unless
/// changed; tests lengthen it to look at what happens during it).
std::chrono::milliseconds FrameAckPause();
void SetFrameAckPause(std::chrono::milliseconds pause);

} // namespace kv
