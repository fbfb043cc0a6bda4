#include "ZwaveScene.h"

#include "image/ParamImage.h"
#include "image/Text.h"
#include "smarthome/ZwaveNodes.h"
#ifdef KV_KEY_FILES
#include "smarthome/SceneText.h"
#endif

#include <algorithm>
#include <cctype>

namespace kv::cli {

namespace {

constexpr const char* kSceneNames[] = {"tv", "movie", "karaoke", "music", "poweron", "poweroff"};

const char* KindName(zwave::StepKind kind) {
    switch (kind) {
    case zwave::StepKind::Delay:
        return "delay";
    case zwave::StepKind::Hdmi:
        return "hdmi";
    case zwave::StepKind::Device:
        return "device";
    default:
        return "other";
    }
}

const char* OutcomeText(StepOutcome outcome) {
    switch (outcome) {
    case StepOutcome::Done:
        return "done";
    case StepOutcome::TimedOut:
        return "the device did not answer within 6 s";
    case StepOutcome::Absent:
        return "no such device in the network, skipped";
    case StepOutcome::Delayed:
        return "waited";
    case StepOutcome::HdmiSelected:
        return "selected";
    case StepOutcome::Refused:
        return "not a valid step, skipped";
    case StepOutcome::Stopped:
        return "stopped";
    }
    return "";
}

} // namespace

std::optional<int> ParseScene(const std::string& text) {
    if (text.size() == 1 && text[0] >= '0' && text[0] < '0' + zwave::kSceneCount) {
        return text[0] - '0';
    }
    std::string lower = text;
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    for (int k = 0; k < zwave::kSceneCount; ++k) {
        if (lower == kSceneNames[k]) {
            return k;
        }
    }
    return std::nullopt;
}

nlohmann::json SceneJson(int scene) {
    const ParamImage& image = GetParamImage();
    const zwave::SceneRecord record = zwave::ReadScene(image, scene);
    nlohmann::json steps = nlohmann::json::array();
    // The scene page lists the steps before the first empty one that are delays, HDMI inputs
    // or steps of devices in the network.
    bool afterEmpty = false;
    for (std::size_t i = 0; i < record.size(); ++i) {
        const zwave::SceneStep step = record[i];
        if (step.Empty()) {
            afterEmpty = true;
            continue;
        }
        const zwave::StepKind kind = zwave::KindOf(step);
        const bool present =
            kind == zwave::StepKind::Device && zwave::NodePresent(image, step.target);
        const bool hdmi = kind == zwave::StepKind::Hdmi && step.value <= zwave::kLastHdmiInput;
        nlohmann::json j = {
            {"step", i + 1},
            {"target", step.target},
            {"value", step.value},
            {"kind", KindName(kind)},
            {"listed", !afterEmpty && (kind == zwave::StepKind::Delay || hdmi || present)}};
        if (kind == zwave::StepKind::Delay) {
            j["seconds"] = step.value;
        } else if (kind == zwave::StepKind::Hdmi) {
            j["input"] = step.value;
        } else if (kind == zwave::StepKind::Device) {
            j["node"] = step.target;
            j["present"] = present;
            j["name"] =
                present ? nlohmann::json(ToUtf8(zwave::ReadDeviceRecord(image, step.target).name))
                        : nlohmann::json(nullptr);
            if (step.value >= zwave::kFirstKeySend && step.value < zwave::kFirstKeyLearn) {
                j["key"] = step.value - zwave::kFirstKeySend;
            }
        }
#ifdef KV_KEY_FILES
        if (kind == zwave::StepKind::Delay || kind == zwave::StepKind::Device) {
            j["text"] = StepText(step.target, step.value, false).toStdString();
        }
#endif
        steps.push_back(std::move(j));
    }
    return {{"scene", scene}, {"name", zwave::SceneName(scene, false)}, {"steps", steps}};
}

bool StepSucceeded(const StepResult& result, bool sendFailed) {
    return !sendFailed &&
           (result.outcome == StepOutcome::Done || result.outcome == StepOutcome::Delayed ||
            result.outcome == StepOutcome::HdmiSelected);
}

std::string StepLine(const StepResult& result, bool sendFailed) {
    const zwave::SceneStep step = result.step;
    std::string line = "step " + std::to_string(result.index + 1) + ": ";
    switch (zwave::KindOf(step)) {
    case zwave::StepKind::Delay:
        line += "delay " + std::to_string(step.value) + " s";
        break;
    case zwave::StepKind::Hdmi:
        line += "HDMI input " + std::to_string(step.value);
        break;
    default:
        line += "node " + std::to_string(step.target) + " = " + std::to_string(step.value);
        break;
    }
    line += ": ";
    line += sendFailed && result.outcome == StepOutcome::Done
                ? "the command did not reach the device"
                : OutcomeText(result.outcome);
    return line;
}

} // namespace kv::cli
