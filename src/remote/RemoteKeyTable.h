#pragma once

#include "image/ParamImage.h"

#include <array>
#include <cstddef>
#include <cstdint>

namespace kv {

/// Byte 0: status of the processor's last learning report; bytes 1..17: the learned code of
/// keys 1..17. The first 18 bytes of the hub block.
inline constexpr std::size_t kRemoteKeyTableSize = 18;
inline constexpr int kRemoteKeys = 17;
using RemoteKeyTable = std::array<std::uint8_t, kRemoteKeyTableSize>;

/// The table as the image holds it now.
RemoteKeyTable ImageRemoteKeyTable(const ParamImage& image);
/// Replaces the image's table.
void SetImageRemoteKeyTable(ParamImage& image, const RemoteKeyTable& table);
/// Stores the table in the processor (command 99) through the current command sink;
/// returns the bytes written (0 when the command was dropped).
int SendRemoteKeyTable(const RemoteKeyTable& table);

} // namespace kv
