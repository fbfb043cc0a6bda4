#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace kv {

class ParamImage;

/// The node table and the device table as kept in the parameter image.
namespace zwave {

inline constexpr int kControllerNode = 1;
inline constexpr int kFirstDeviceNode = 2;
inline constexpr int kLastNode = 232;
/// Characters of a device name that fit in a record beside the terminating 0.
inline constexpr std::size_t kMaxNameLength = 11;

enum DeviceType : std::uint8_t { kOtherType = 0, kSwitchType = 1, kDimmerType = 2 };

/// One record of the device table: type, three zero bytes, the name in UTF-16LE with a 0.
struct DeviceRecord {
    std::uint8_t type = 0;
    std::u16string name;
};

/// True when the node table has node n (1..232).
bool NodePresent(const ParamImage& image, int node);
/// The last known value of node n; 0 for an id outside 0..232.
std::uint8_t NodeValue(const ParamImage& image, int node);
void SetNodeValueInImage(ParamImage& image, int node, std::uint8_t value);
/// Present nodes 2..232 in node order (the controller is never listed).
std::vector<int> PresentDevices(const ParamImage& image);

/// Decodes a record's 28 bytes. The name ends at a 0, at the record's end or at the first
/// unit that is not valid UTF-16 (a lone surrogate): it is kept as far as it is valid.
DeviceRecord DecodeDeviceRecord(const std::uint8_t* bytes);
/// The 28 bytes of a record; the name is cut to 11 characters (a surrogate pair that would
/// be split is left out).
std::array<std::uint8_t, 28> EncodeDeviceRecord(const DeviceRecord& record);
/// Record n of the image's device table (an empty record for an id outside 0..232).
DeviceRecord ReadDeviceRecord(const ParamImage& image, int node);
void StoreDeviceRecord(ParamImage& image, int node, const DeviceRecord& record);
/// The pending-add record of the hub block.
void StorePendingAdd(ParamImage& image, const DeviceRecord& record);

/// "%s%d": the base of the type ("开关", "调压", else "无名") and the smallest i = 1..254 that
/// no present node 2..232 has as its name (compared without regard to case); 254 when all
/// are taken.
std::u16string DefaultDeviceName(const ParamImage& image, int type);

} // namespace zwave
} // namespace kv
