#pragma once

#include "smarthome/SceneRunner.h"

#include <nlohmann/json.hpp>

#include <optional>
#include <string>

/// What kvctl shows of the processor's scenes: a scene's steps as JSON and the lines that
/// report a scene's run.
namespace kv::cli {

/// A scene by number (0..5) or name (tv, movie, karaoke, music, poweron, poweroff, any case).
std::optional<int> ParseScene(const std::string& text);
/// Scene k of the image: its number, name and every step that is not empty, with the device
/// names and the texts the scene page shows.
nlohmann::json SceneJson(int scene);
/// One line on a step that ran: "step 4: node 3 = 50: done". sendFailed: the controller
/// reported that the command did not reach the device.
std::string StepLine(const StepResult& result, bool sendFailed);
/// True when the step did what it says.
bool StepSucceeded(const StepResult& result, bool sendFailed);

} // namespace kv::cli
