#pragma once

#include "smarthome/SceneRecord.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <vector>

/// Running a scene: its steps in order on the scene thread, each Basic Set waiting for the
/// device (6 s at most), delays and HDMI inputs in between. The window starts the thread and
/// shows the synchronisation dialog until the thread's end message comes.
namespace kv {

namespace zwave {
/// Longest wait for a device to end its step.
inline constexpr std::chrono::milliseconds kStepTimeout{6000};
/// Pause after every step that was not empty.
inline constexpr std::chrono::milliseconds kStepGap{20};
} // namespace zwave

/// The waits of a running scene. The application uses real time; tests record the waits
/// asked for and shorten them.
class ISceneClock {
public:
    virtual ~ISceneClock() = default;
    /// Waits, timeout at most, until the step's own device ends it: node reports, or the
    /// transmission with callbackId ends; true when it did.
    virtual bool WaitStepDone(std::uint8_t node, std::uint8_t callbackId,
                              std::chrono::milliseconds timeout) = 0;
    /// Waits for d; false when the scene was stopped meanwhile.
    virtual bool Pause(std::chrono::milliseconds d) = 0;
};

/// Real time: the step-done flag through the hub flags' condition variable, pauses on a
/// condition variable that StopScene wakes.
ISceneClock& RealSceneClock();

enum class StepOutcome {
    Done,         ///< the device ended the step (its report, or the end of its transmission)
    TimedOut,     ///< the device did not end the step in time; the scene went on
    Absent,       ///< no such device in the network; skipped
    Delayed,      ///< a delay step
    HdmiSelected, ///< an HDMI step
    Refused,      ///< a target or HDMI input that no step can have (damaged record); skipped
    Stopped,      ///< the scene was stopped before or during this step
};

struct StepResult {
    int index = 0; ///< 0..27 in the record
    zwave::SceneStep step;
    StepOutcome outcome = StepOutcome::Done;
};

/// The steps that were not empty, in the order they ran.
struct SceneRun {
    std::vector<StepResult> steps;
    /// True when every step did what it says: no time-out, no absent device, no refused or
    /// stopped step.
    bool Complete() const;
};

using StepObserver = std::function<void(const StepResult&)>;

/// The longest a scene can take: every device its 6 s, every delay its seconds, 20 ms after
/// each step.
std::chrono::milliseconds LongestRun(const zwave::SceneRecord& record);

/// Runs scene k of the image step by step; observer hears of each step after its end.
SceneRun ZWAVE_LoadMode(int scene, ISceneClock& clock, const StepObserver& observer = {});

/// The scene the scene thread runs: 0..3 the mode scenes, 4 power-on, 5 power-off.
extern std::atomic<int> g_nSceneRequest;

/// Starts the scene thread for the scene request: it posts SceneStarted, runs the scene, then
/// posts SceneEnded. False, and nothing started, while a scene runs. clock: real time when
/// null; it must outlive the thread.
bool StartSceneThread(ISceneClock* clock = nullptr);
bool SceneRunning();
/// A running scene stops at its next step; a pause ends at once.
void StopScene();
/// Waits until no scene thread runs; false when the time ran out first.
bool WaitSceneThread(std::chrono::milliseconds timeout);
/// What the last scene thread did.
SceneRun LastSceneRun();

} // namespace kv
