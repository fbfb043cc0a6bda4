#include "protocol/MachineSettings.h"

#include "protocol/CommandSink.h"

#include <algorithm>

namespace kv {

namespace {

constexpr std::uint8_t kCmdWriteMachineSettings = 145;
constexpr std::uint8_t kHdmiMuteBits = 0x0F;

MachineSettingsRecord ReadRecord(const ParamImage& image, std::size_t offset) {
    MachineSettingsRecord record{};
    image.ReadBlock(Block::Hub, offset, record);
    return record;
}

} // namespace

MachineSettingsRecord EditSettings(const ParamImage& image) {
    return ReadRecord(image, kHubSettingsEditOffset);
}

MachineSettingsRecord CurrentSettings(const ParamImage& image) {
    return ReadRecord(image, kHubSettingsOffset);
}

void SetEditSettings(ParamImage& image, const MachineSettingsRecord& record) {
    image.WriteBlock(Block::Hub, kHubSettingsEditOffset, record);
}

void SetVolumeSaveMode(MachineSettingsRecord& record, int mode) {
    const auto v = static_cast<std::uint8_t>(mode == 0 ? 0 : 1);
    std::fill_n(record.begin() + settings::kVolumeSaveMode, 3, v);
}

void SetHdmiMute(MachineSettingsRecord& record, bool muted) {
    std::uint8_t& b = record[settings::kHdmiRouting];
    b = muted ? static_cast<std::uint8_t>(b | 0x01) : static_cast<std::uint8_t>(b & ~kHdmiMuteBits);
}

void SetSurroundRoute(MachineSettingsRecord& record, int route) {
    std::uint8_t& b = record[settings::kHdmiRouting];
    b = static_cast<std::uint8_t>((b & kHdmiMuteBits) | ((std::clamp(route, 0, 2) & 0x0F) << 4));
}

int SurroundRoute(const MachineSettingsRecord& record) {
    const int b = record[settings::kHdmiRouting];
    return b < 48 ? b >> 4 : -1;
}

bool HdmiMuted(const MachineSettingsRecord& record) {
    return (record[settings::kHdmiRouting] & kHdmiMuteBits) != 0;
}

int ApplyMachineSettings() {
    ParamImage& image = GetParamImage();
    const MachineSettingsRecord record = EditSettings(image);
    Command command{};
    command[0] = 2;
    command[1] = kCmdWriteMachineSettings;
    std::copy(record.begin(), record.end(), command.begin() + 2);
    const int written = CommandSink().Write(command);
    if (written > 0) {
        image.WriteBlock(Block::Hub, kHubSettingsOffset, record);
    }
    return written;
}

void DiscardMachineSettingsEdits() {
    ParamImage& image = GetParamImage();
    SetEditSettings(image, CurrentSettings(image));
}

} // namespace kv
