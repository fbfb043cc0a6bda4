#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <vector>

namespace kv {

class ParamImage;

/// The six scenes the processor keeps in its smart-home memory: 28 steps of (target, value)
/// each, 56 bytes at 6524 + 56 k.
namespace zwave {

inline constexpr int kSceneSteps = 28;
inline constexpr int kSceneCount = 6;
/// Scenes 0..3 belong to the processor modes, 4 runs at power-on, 5 at power-off.
inline constexpr int kScenePowerOn = 4;
inline constexpr int kScenePowerOff = 5;
/// Step targets beside the nodes 2..232.
inline constexpr std::uint8_t kDelayTarget = 240;
inline constexpr std::uint8_t kHdmiTarget = 254;
/// Step values of a device step: off, on, first key sent, first key learned.
inline constexpr std::uint8_t kValueOff = 0;
inline constexpr std::uint8_t kValueOn = 99;
inline constexpr std::uint8_t kFirstKeySend = 128;
inline constexpr std::uint8_t kFirstKeyLearn = 192;
/// HDMI inputs a step can select.
inline constexpr std::uint8_t kLastHdmiInput = 3;

struct SceneStep {
    std::uint8_t target = 0;
    std::uint8_t value = 0;
    bool Empty() const { return target == 0; }
    bool operator==(const SceneStep&) const = default;
};

using SceneRecord = std::array<SceneStep, kSceneSteps>;

enum class StepKind { Empty, Delay, Hdmi, Device, Other };

/// What a step does; Device for any target 2..232, present or not.
StepKind KindOf(SceneStep step);

SceneRecord DecodeScene(std::span<const std::uint8_t> bytes);
std::array<std::uint8_t, kSceneSteps * 2> EncodeScene(const SceneRecord& record);

/// Scene k of the image (an empty record for k outside 0..5).
SceneRecord ReadScene(const ParamImage& image, int scene);
void StoreScene(ParamImage& image, int scene, const SceneRecord& record);

/// The steps of a list followed by empty steps; false (and nothing built) when there are
/// more than 28.
bool FillScene(const std::vector<SceneStep>& steps, SceneRecord& record);

/// "电视", "电影", "K歌", "音乐", "开机", "关机" or "TV", "Movie", "Karaoke", "Music", "PowerON",
/// "PowerOFF" (UTF-8); empty for k outside 0..5.
const char* SceneName(int scene, bool chinese);

} // namespace zwave

/// Stores scene k in the image and queues its 56 bytes for the smart-home memory; false when
/// the write could not be queued (no processor).
bool WriteSceneRecord(int scene, const zwave::SceneRecord& record);

} // namespace kv
