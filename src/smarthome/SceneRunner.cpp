#include "smarthome/SceneRunner.h"

#include "image/MainFields.h"
#include "image/ParamImage.h"
#include "link/ConnectionState.h"
#include "link/DebugLog.h"
#include "link/Link.h"
#include "link/LinkReceiver.h"
#include "protocol/ParamSenders.h"
#include "smarthome/ZwaveDevices.h"
#include "smarthome/ZwaveFrames.h"
#include "smarthome/ZwaveNodes.h"

#include <condition_variable>
#include <mutex>
#include <thread>

namespace kv {

std::atomic<int> g_nSceneRequest{0};

namespace {

/// The scene thread's state. Never destroyed: the detached thread may end after static
/// destruction has begun.
struct SceneThread {
    std::mutex lock; ///< guards running, stop and last
    std::condition_variable changed;
    bool running = false;
    bool stop = false;
    SceneRun last;
};

SceneThread& Thread() {
    static auto* thread = new SceneThread;
    return *thread;
}

bool StopRequested() {
    SceneThread& t = Thread();
    const std::lock_guard lock(t.lock);
    return t.stop;
}

class RealClock final : public ISceneClock {
public:
    bool WaitStepDone(std::uint8_t node, std::uint8_t callbackId,
                      std::chrono::milliseconds timeout) override {
        return WaitZwaveStepDone(node, callbackId, timeout);
    }
    bool Pause(std::chrono::milliseconds d) override {
        SceneThread& t = Thread();
        std::unique_lock lock(t.lock);
        return !t.changed.wait_for(lock, d, [&] { return t.stop; });
    }
};

void Post(notice::ZwaveProgress progress) {
    if (ILinkReceiver* receiver = LinkReceiver()) {
        receiver->PostNotice(notice::ZwaveSync{progress});
    }
}

/// One step that is not empty; the step-done flag was cleared before.
StepOutcome RunStep(zwave::SceneStep step, ISceneClock& clock) {
    switch (zwave::KindOf(step)) {
    case zwave::StepKind::Hdmi:
        DebugWrite("正在执行HDMI操作");
        // Only the four inputs exist; a damaged record must not send anything else.
        if (step.value > zwave::kLastHdmiInput) {
            return StepOutcome::Refused;
        }
        SetParam(fields::hdmiPort, 0, step.value);
        return StepOutcome::HdmiSelected;
    case zwave::StepKind::Delay:
        DebugWrite("正在执行延时操作");
        return clock.Pause(std::chrono::seconds(step.value)) ? StepOutcome::Delayed
                                                             : StepOutcome::Stopped;
    case zwave::StepKind::Device:
        if (!zwave::NodePresent(GetParamImage(), step.target)) {
            SetNodeValue(step.target, step.value); // logs the skip
            return StepOutcome::Absent;
        }
        SetNodeValue(step.target, step.value);
        if (clock.WaitStepDone(step.target, zwave::BasicSetCallbackId(step.value),
                               zwave::kStepTimeout)) {
            return StepOutcome::Done;
        }
        DebugWrite("ZWAVE_LoadMode Time out!\n");
        return StepOutcome::TimedOut;
    default:
        return StepOutcome::Refused;
    }
}

} // namespace

bool SceneRun::Complete() const {
    for (const StepResult& r : steps) {
        if (r.outcome == StepOutcome::TimedOut || r.outcome == StepOutcome::Absent ||
            r.outcome == StepOutcome::Refused || r.outcome == StepOutcome::Stopped) {
            return false;
        }
    }
    return true;
}

ISceneClock& RealSceneClock() {
    static auto* clock = new RealClock;
    return *clock;
}

std::chrono::milliseconds LongestRun(const zwave::SceneRecord& record) {
    std::chrono::milliseconds total{0};
    for (const zwave::SceneStep step : record) {
        switch (zwave::KindOf(step)) {
        case zwave::StepKind::Empty:
            continue;
        case zwave::StepKind::Delay:
            total += std::chrono::seconds(step.value);
            break;
        case zwave::StepKind::Device:
            total += zwave::kStepTimeout;
            break;
        default:
            break;
        }
        total += zwave::kStepGap;
    }
    return total;
}

SceneRun ZWAVE_LoadMode(int scene, ISceneClock& clock, const StepObserver& observer) {
    const zwave::SceneRecord record = zwave::ReadScene(GetParamImage(), scene);
    SceneRun run;
    for (int i = 0; i < zwave::kSceneSteps; ++i) {
        const zwave::SceneStep step = record[static_cast<std::size_t>(i)];
        if (step.Empty()) {
            continue;
        }
        StepResult result{i, step, StepOutcome::Stopped};
        if (!StopRequested()) {
            ClearZwaveStepDone();
            result.outcome = RunStep(step, clock);
            if (result.outcome != StepOutcome::Stopped && !clock.Pause(zwave::kStepGap)) {
                result.outcome = StepOutcome::Stopped;
            }
        }
        run.steps.push_back(result);
        if (observer) {
            observer(result);
        }
    }
    return run;
}

bool StartSceneThread(ISceneClock* clock) {
    SceneThread& t = Thread();
    {
        const std::lock_guard lock(t.lock);
        if (t.running) {
            return false;
        }
        t.running = true;
        t.stop = false;
    }
    ISceneClock& waits = clock ? *clock : RealSceneClock();
    std::thread([&t, &waits] {
        Post(notice::ZwaveProgress::SceneStarted);
        SceneRun run = ZWAVE_LoadMode(g_nSceneRequest.load(), waits);
        {
            const std::lock_guard lock(t.lock);
            t.last = std::move(run);
        }
        Post(notice::ZwaveProgress::SceneEnded);
        {
            const std::lock_guard lock(t.lock);
            t.running = false;
            t.stop = false;
        }
        t.changed.notify_all();
    }).detach();
    return true;
}

bool SceneRunning() {
    SceneThread& t = Thread();
    const std::lock_guard lock(t.lock);
    return t.running;
}

void StopScene() {
    SceneThread& t = Thread();
    {
        const std::lock_guard lock(t.lock);
        t.stop = t.running;
    }
    t.changed.notify_all();
}

bool WaitSceneThread(std::chrono::milliseconds timeout) {
    SceneThread& t = Thread();
    std::unique_lock lock(t.lock);
    return t.changed.wait_for(lock, timeout, [&] { return !t.running; });
}

SceneRun LastSceneRun() {
    SceneThread& t = Thread();
    const std::lock_guard lock(t.lock);
    return t.last;
}

} // namespace kv
