#include "smarthome/SceneRecord.h"

#include "image/ParamImage.h"
#include "protocol/CommandSink.h"
#include "smarthome/ZwaveDevices.h"
#include "smarthome/ZwaveFrames.h"
#include "smarthome/ZwaveNodes.h"

#include <algorithm>

namespace kv {

namespace zwave {

namespace {

bool ValidScene(int scene) {
    return scene >= 0 && scene < kSceneCount;
}

constexpr const char* kNames[kSceneCount][2] = {
    {"电视", "TV"},    {"电影", "Movie"},   {"K歌", "Karaoke"},
    {"音乐", "Music"}, {"开机", "PowerON"}, {"关机", "PowerOFF"},
};

} // namespace

StepKind KindOf(SceneStep step) {
    if (step.target == 0) {
        return StepKind::Empty;
    }
    if (step.target == kDelayTarget) {
        return StepKind::Delay;
    }
    if (step.target == kHdmiTarget) {
        return StepKind::Hdmi;
    }
    if (step.target >= kFirstDeviceNode && step.target <= kLastNode) {
        return StepKind::Device;
    }
    return StepKind::Other;
}

SceneRecord DecodeScene(std::span<const std::uint8_t> bytes) {
    SceneRecord record{};
    for (std::size_t i = 0; i < record.size() && 2 * i + 1 < bytes.size(); ++i) {
        record[i] = {bytes[2 * i], bytes[2 * i + 1]};
    }
    return record;
}

std::array<std::uint8_t, kSceneSteps * 2> EncodeScene(const SceneRecord& record) {
    std::array<std::uint8_t, kSceneSteps * 2> bytes{};
    for (std::size_t i = 0; i < record.size(); ++i) {
        bytes[2 * i] = record[i].target;
        bytes[2 * i + 1] = record[i].value;
    }
    return bytes;
}

SceneRecord ReadScene(const ParamImage& image, int scene) {
    if (!ValidScene(scene)) {
        return {};
    }
    std::array<std::uint8_t, kSceneRecordSize> bytes{};
    image.ReadBlock(Block::SceneTable, static_cast<std::size_t>(scene) * kSceneRecordSize, bytes);
    return DecodeScene(bytes);
}

void StoreScene(ParamImage& image, int scene, const SceneRecord& record) {
    if (!ValidScene(scene)) {
        return;
    }
    const auto bytes = EncodeScene(record);
    image.WriteBlock(Block::SceneTable, static_cast<std::size_t>(scene) * kSceneRecordSize, bytes);
}

bool FillScene(const std::vector<SceneStep>& steps, SceneRecord& record) {
    if (steps.size() > record.size()) {
        return false;
    }
    record = {};
    std::copy(steps.begin(), steps.end(), record.begin());
    return true;
}

const char* SceneName(int scene, bool chinese) {
    return ValidScene(scene) ? kNames[scene][chinese ? 0 : 1] : "";
}

} // namespace zwave

bool WriteSceneRecord(int scene, const zwave::SceneRecord& record) {
    if (scene < 0 || scene >= zwave::kSceneCount) {
        return false;
    }
    zwave::StoreScene(GetParamImage(), scene, record);
    const auto bytes = zwave::EncodeScene(record);
    const zwave::OutReport report = zwave::MemoryWrite(
        zwave::kSceneMemoryAddress + scene * static_cast<int>(kSceneRecordSize), bytes);
    // Queued behind the commands before it; the window does not wait for the processor.
    return CommandSink().Write(report) == static_cast<int>(report.size());
}

} // namespace kv
