#include "smarthome/ZwaveNodes.h"

#include "image/ParamImage.h"

#include <algorithm>

namespace kv::zwave {

namespace {

constexpr std::size_t kNameOffset = 4;
constexpr std::size_t kNameUnits = (kDeviceRecordSize - kNameOffset) / 2;
constexpr int kMaxDefaultNumber = 254;

bool IsHighSurrogate(char16_t u) {
    return u >= 0xD800 && u <= 0xDBFF;
}

bool IsLowSurrogate(char16_t u) {
    return u >= 0xDC00 && u <= 0xDFFF;
}

bool ValidNode(int node) {
    return node >= 0 && node <= kLastNode;
}

char16_t Fold(char16_t u) {
    return (u >= u'A' && u <= u'Z') ? static_cast<char16_t>(u - u'A' + u'a') : u;
}

bool SameName(const std::u16string& a, const std::u16string& b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                      [](char16_t x, char16_t y) { return Fold(x) == Fold(y); });
}

std::u16string BaseName(int type) {
    switch (type) {
    case kSwitchType:
        return u"开关";
    case kDimmerType:
        return u"调压";
    default:
        return u"无名";
    }
}

std::u16string Number(int i) {
    std::u16string digits;
    for (const char c : std::to_string(i)) {
        digits.push_back(static_cast<char16_t>(c));
    }
    return digits;
}

} // namespace

bool NodePresent(const ParamImage& image, int node) {
    return node >= kControllerNode && node <= kLastNode &&
           image.HubByte(kHubNodeTableOffset + 2 * static_cast<std::size_t>(node)) == node;
}

std::uint8_t NodeValue(const ParamImage& image, int node) {
    return ValidNode(node)
               ? image.HubByte(kHubNodeTableOffset + 1 + 2 * static_cast<std::size_t>(node))
               : 0;
}

void SetNodeValueInImage(ParamImage& image, int node, std::uint8_t value) {
    if (ValidNode(node)) {
        image.SetHubByte(kHubNodeTableOffset + 1 + 2 * static_cast<std::size_t>(node), value);
    }
}

std::vector<int> PresentDevices(const ParamImage& image) {
    std::vector<int> nodes;
    for (int n = kFirstDeviceNode; n <= kLastNode; ++n) {
        if (NodePresent(image, n)) {
            nodes.push_back(n);
        }
    }
    return nodes;
}

DeviceRecord DecodeDeviceRecord(const std::uint8_t* bytes) {
    DeviceRecord record;
    record.type = bytes[0];
    for (std::size_t k = 0; k < kNameUnits; ++k) {
        const auto u = static_cast<char16_t>(bytes[kNameOffset + 2 * k] |
                                             (bytes[kNameOffset + 2 * k + 1] << 8));
        if (u == 0 || IsLowSurrogate(u)) {
            break;
        }
        if (IsHighSurrogate(u)) {
            const std::size_t next = kNameOffset + 2 * (k + 1);
            const auto low = static_cast<char16_t>(
                k + 1 < kNameUnits ? bytes[next] | (bytes[next + 1] << 8) : 0);
            if (!IsLowSurrogate(low)) {
                break;
            }
            record.name.push_back(u);
            record.name.push_back(low);
            ++k;
            continue;
        }
        record.name.push_back(u);
    }
    return record;
}

std::array<std::uint8_t, kDeviceRecordSize> EncodeDeviceRecord(const DeviceRecord& record) {
    std::array<std::uint8_t, kDeviceRecordSize> bytes{};
    bytes[0] = record.type;
    std::size_t units = std::min(record.name.size(), kMaxNameLength);
    if (units > 0 && units < record.name.size() && IsHighSurrogate(record.name[units - 1])) {
        --units;
    }
    for (std::size_t k = 0; k < units; ++k) {
        bytes[kNameOffset + 2 * k] = static_cast<std::uint8_t>(record.name[k] & 0xFF);
        bytes[kNameOffset + 2 * k + 1] = static_cast<std::uint8_t>(record.name[k] >> 8);
    }
    return bytes;
}

DeviceRecord ReadDeviceRecord(const ParamImage& image, int node) {
    std::array<std::uint8_t, kDeviceRecordSize> bytes{};
    if (ValidNode(node)) {
        image.ReadBlock(Block::DeviceTable, static_cast<std::size_t>(node) * kDeviceRecordSize,
                        bytes);
    }
    return DecodeDeviceRecord(bytes.data());
}

void StoreDeviceRecord(ParamImage& image, int node, const DeviceRecord& record) {
    if (ValidNode(node)) {
        image.WriteBlock(Block::DeviceTable, static_cast<std::size_t>(node) * kDeviceRecordSize,
                         EncodeDeviceRecord(record));
    }
}

void StorePendingAdd(ParamImage& image, const DeviceRecord& record) {
    image.WriteBlock(Block::Hub, kHubPendingAddOffset, EncodeDeviceRecord(record));
}

std::u16string DefaultDeviceName(const ParamImage& image, int type) {
    const std::u16string base = BaseName(type);
    std::vector<std::u16string> taken;
    for (int node : PresentDevices(image)) {
        taken.push_back(ReadDeviceRecord(image, node).name);
    }
    for (int i = 1; i <= kMaxDefaultNumber; ++i) {
        const std::u16string candidate = base + Number(i);
        if (std::none_of(taken.begin(), taken.end(),
                         [&](const std::u16string& name) { return SameName(name, candidate); })) {
            return candidate;
        }
    }
    return base + Number(kMaxDefaultNumber);
}

} // namespace kv::zwave
