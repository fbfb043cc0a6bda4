#include "smarthome/SceneRunner.h"
#include "image/MainFields.h"
#include "image/ParamImage.h"
#include "link/ConnectionState.h"
#include "link/LinkReceiver.h"
#include "sim/SimFixture.h"
#include "smarthome/SceneRecord.h"
#include "smarthome/ZwaveDevices.h"
#include "smarthome/ZwaveNodes.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <mutex>
#include <string>

namespace kv::test {
namespace {

using namespace std::chrono_literals;
using sim::ZWaveDeviceKind;
using sim::ZWaveNetwork;
using zwave::SceneStep;

/// Records every wait the scene asks for and waits less: a device gets at most kStepLimit to
/// end its step, delays of a second or more last a hundredth of their time.
class RecordingClock final : public ISceneClock {
public:
    static constexpr auto kStepLimit = 1000ms;

    bool WaitStepDone(std::uint8_t node, std::uint8_t callbackId,
                      std::chrono::milliseconds timeout) override {
        Record("step " + std::to_string(timeout.count()));
        if (onWait) {
            onWait(node);
        }
        return WaitZwaveStepDone(node, callbackId, std::min(timeout, kStepLimit));
    }
    bool Pause(std::chrono::milliseconds d) override {
        Record("pause " + std::to_string(d.count()));
        return RealSceneClock().Pause(d >= 1s ? d / 100 : d);
    }
    void Record(const std::string& what) {
        const std::lock_guard lock(m_lock);
        m_waits.push_back(what);
    }
    std::vector<std::string> Waits() {
        const std::lock_guard lock(m_lock);
        return m_waits;
    }

    /// Runs on the scene's thread as a step begins to wait for its device.
    std::function<void(int node)> onWait;

private:
    std::mutex m_lock; ///< guards m_waits (the scene thread writes, the test reads)
    std::vector<std::string> m_waits;
};

const char* OutcomeName(StepOutcome outcome) {
    switch (outcome) {
    case StepOutcome::Done:
        return "done";
    case StepOutcome::TimedOut:
        return "timed out";
    case StepOutcome::Absent:
        return "absent";
    case StepOutcome::Delayed:
        return "delay";
    case StepOutcome::HdmiSelected:
        return "hdmi";
    case StepOutcome::Refused:
        return "refused";
    case StepOutcome::Stopped:
        return "stopped";
    }
    return "?";
}

/// "index:outcome" of every step that ran.
std::vector<std::string> Outcomes(const SceneRun& run) {
    std::vector<std::string> out;
    for (const StepResult& r : run.steps) {
        out.push_back(std::to_string(r.index) + ":" + OutcomeName(r.outcome));
    }
    return out;
}

/// The application against the simulated network: a switch (2), a dimmer (3) and a smart plug
/// (4), read into the node table.
class SceneRunnerTest : public SimFixture {
protected:
    void SetUp() override {
        StartSimulator();
        Connect();
        ParamImage& image = GetParamImage();
        image.FillBlock(Block::Hub, 0);
        image.FillBlock(Block::SceneTable, 0);
        for (ZWaveDeviceKind kind :
             {ZWaveDeviceKind::Switch, ZWaveDeviceKind::Dimmer, ZWaveDeviceKind::Plug}) {
            m_sim->WithZWave([kind](ZWaveNetwork& n) { return n.Join(kind); });
        }
        ASSERT_TRUE(ZwaveReadNodeList());
        ASSERT_EQ(zwave::PresentDevices(image), (std::vector<int>{2, 3, 4}));
    }

    std::uint8_t NodeValue(int node) {
        return m_sim->WithZWave([node](ZWaveNetwork& n) { return n.Nodes().at(node).value; });
    }
    std::vector<std::uint8_t> HdmiInput() {
        return m_sim->Inspect([](const sim::SimProcessor& p) { return p.Live().Values(4, 33); });
    }
    void Mute(int node) {
        m_sim->WithZWave([node](ZWaveNetwork& n) { return n.SetMute(node, true); });
    }

    RecordingClock m_clock;
};

TEST(SceneLongestRun, CountsEachDeviceItsTimeOutEachDelayItsSecondsAndEveryGap) {
    zwave::SceneRecord record{};
    record[0] = {2, zwave::kValueOn};
    record[1] = {zwave::kDelayTarget, 5};
    record[3] = {zwave::kHdmiTarget, 1}; // record[2] is empty: no time
    record[27] = {9, zwave::kFirstKeySend};
    EXPECT_EQ(LongestRun(record), 2 * zwave::kStepTimeout + 5s + 4 * zwave::kStepGap);
    EXPECT_EQ(LongestRun({}), 0ms);
}

TEST_F(SceneRunnerTest, StepsAfterAnEmptyOneRunAndEveryKindDoesItsPart) {
    Mute(4); // the plug takes the key command but never reports back
    zwave::SceneRecord record{};
    record[0] = {2, zwave::kValueOn};
    record[1] = {zwave::kDelayTarget, 2};
    // record[2] stays empty: the steps after it run all the same.
    record[3] = {3, 50};
    record[4] = {zwave::kHdmiTarget, 2};
    record[5] = {4, zwave::kFirstKeySend + 1};
    record[6] = {9, zwave::kValueOn}; // not in the network
    record[27] = {2, zwave::kValueOff};
    zwave::StoreScene(GetParamImage(), 1, record);

    const SceneRun run = ZWAVE_LoadMode(1, m_clock);

    EXPECT_EQ(Outcomes(run), (std::vector<std::string>{"0:done", "1:delay", "3:done", "4:hdmi",
                                                       "5:timed out", "6:absent", "27:done"}));
    EXPECT_FALSE(run.Complete());
    // Each device step waits up to 6 s for its device, a delay of 2 asks for 2 s, and every
    // step but the skipped ones is followed by 20 ms.
    EXPECT_EQ(m_clock.Waits(),
              (std::vector<std::string>{"step 6000", "pause 20", "pause 2000", "pause 20",
                                        "step 6000", "pause 20", "pause 20", "step 6000",
                                        "pause 20", "pause 20", "step 6000", "pause 20"}));
    EXPECT_EQ(m_log.Count("ZWAVE_LoadMode Time out!\n"), 1);
    EXPECT_EQ(m_log.Count("此ID不存在，跳过设置命令"), 1);
    EXPECT_TRUE(Eventually([&] { return NodeValue(3) == 50; }));
    EXPECT_EQ(NodeValue(2), 0) << "the last step switched it off again";
    EXPECT_EQ(HdmiInput(), (std::vector<std::uint8_t>{0, 0, 0, 2}));
    EXPECT_EQ(GetParamImage().Int(fields::hdmiPort, 0), 2);
}

TEST_F(SceneRunnerTest, AReportArrivingAfterItsStepTimedOutDoesNotEndALaterStep) {
    m_sim->WithZWave([](ZWaveNetwork& n) { return n.Join(ZWaveDeviceKind::Plug); });
    ASSERT_TRUE(ZwaveReadNodeList());
    ASSERT_TRUE(zwave::NodePresent(GetParamImage(), 5));
    Mute(4);
    Mute(5);
    zwave::SceneRecord record{};
    record[0] = {4, zwave::kFirstKeySend};     // plug 4 sends its key, but reports too late
    record[1] = {5, zwave::kFirstKeySend + 1}; // plug 5 never reports
    record[2] = {3, 50};                       // the dimmer ends its step on transmission
    record[3] = {5, zwave::kFirstKeySend + 2}; // plug 5 reports this one
    zwave::StoreScene(GetParamImage(), 3, record);
    int waits = 0;
    int plug4WhenStep2Began = -1;
    m_clock.onWait = [&](int node) {
        switch (waits++) {
        case 1: // plug 4's report of step 0 comes while step 1 waits for plug 5
            m_sim->WithZWave([](ZWaveNetwork& n) { return n.NodeReport(4, 6); });
            break;
        case 2:
            plug4WhenStep2Began = zwave::NodeValue(GetParamImage(), 4);
            break;
        case 3:
            m_sim->WithZWave([node](ZWaveNetwork& n) { return n.NodeReport(node, 6); });
            break;
        default:
            break;
        }
    };

    const SceneRun run = ZWAVE_LoadMode(3, m_clock);

    EXPECT_EQ(plug4WhenStep2Began, 6) << "plug 4's late report reached the application in step 1";
    EXPECT_EQ(Outcomes(run),
              (std::vector<std::string>{"0:timed out", "1:timed out", "2:done", "3:done"}));
    EXPECT_EQ(m_log.Count("ZWAVE_LoadMode Time out!\n"), 2);
}

TEST_F(SceneRunnerTest, StepsNoRecordShouldHoldAreSkippedWithoutSending) {
    zwave::SceneRecord record{};
    record[0] = {zwave::kHdmiTarget, 7}; // there are four HDMI inputs
    record[1] = {1, zwave::kValueOn};    // the controller itself
    record[2] = {233, zwave::kValueOn};
    record[3] = {2, zwave::kValueOn};
    zwave::StoreScene(GetParamImage(), 0, record);
    const auto hdmiBefore = HdmiInput();

    const SceneRun run = ZWAVE_LoadMode(0, m_clock);

    EXPECT_EQ(Outcomes(run),
              (std::vector<std::string>{"0:refused", "1:refused", "2:refused", "3:done"}));
    EXPECT_EQ(HdmiInput(), hdmiBefore);
    EXPECT_EQ(m_clock.Waits().front(), "pause 20") << "no wait for a device that was not sent to";
}

TEST_F(SceneRunnerTest, TheSceneThreadRunsTheRequestBetweenItsTwoMessagesOneAtATime) {
    zwave::SceneRecord record{};
    record[0] = {zwave::kDelayTarget, 100}; // 1 s with the recording clock
    record[1] = {2, zwave::kValueOn};
    zwave::StoreScene(GetParamImage(), zwave::kScenePowerOn, record);
    g_nSceneRequest.store(zwave::kScenePowerOn);

    ASSERT_TRUE(StartSceneThread(&m_clock));
    EXPECT_FALSE(StartSceneThread(&m_clock)) << "a second scene waits for the first";
    ASSERT_TRUE(WaitSceneThread(10s));

    EXPECT_EQ(m_receiver.PostedOf<notice::ZwaveSync>(),
              (std::vector<notice::ZwaveSync>{{notice::ZwaveProgress::SceneStarted},
                                              {notice::ZwaveProgress::SceneEnded}}));
    EXPECT_EQ(Outcomes(LastSceneRun()), (std::vector<std::string>{"0:delay", "1:done"}));
    EXPECT_TRUE(LastSceneRun().Complete());
    EXPECT_EQ(NodeValue(2), 255) << "a switch reports on as 255";
}

TEST_F(SceneRunnerTest, StoppingEndsADelayAtOnceAndRunsNoFurtherStep) {
    zwave::SceneRecord record{};
    record[0] = {zwave::kDelayTarget, 100};
    record[1] = {2, zwave::kValueOn};
    zwave::StoreScene(GetParamImage(), 2, record);
    g_nSceneRequest.store(2);
    // The real clock: a 100 s delay that only the stop can end in time.
    ASSERT_TRUE(StartSceneThread());
    ASSERT_TRUE(Eventually([] { return SceneRunning(); }));
    StopScene();
    ASSERT_TRUE(WaitSceneThread(5s));
    EXPECT_EQ(Outcomes(LastSceneRun()), (std::vector<std::string>{"0:stopped", "1:stopped"}));
    EXPECT_EQ(NodeValue(2), 0);
}

} // namespace
} // namespace kv::test
