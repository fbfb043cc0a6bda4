#include "image/ParamImage.h"
#include "link/ConnectionState.h"
#include "link/Link.h"
#include "sim/SimFixture.h"
#include "smarthome/RecordingUi.h"
#include "smarthome/ZwaveDevices.h"
#include "smarthome/ZwaveEvents.h"
#include "smarthome/ZwaveFrames.h"
#include "smarthome/ZwaveNodes.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <string>
#include <thread>

namespace kv::test {
namespace {

using sim::ZWaveDeviceKind;

/// The calls with repeats in a row shown once (the window shows the same text again for
/// every progress status of a removal).
std::vector<std::string> Distinct(std::vector<std::string> calls) {
    calls.erase(std::unique(calls.begin(), calls.end()), calls.end());
    return calls;
}
using sim::ZWaveNetwork;

/// The application against the simulated network: the test plays the window, handing
/// every posted Z-Wave event to the event handling as the smart-plug window does.
class ZwaveNetworkScenario : public SimFixture {
protected:
    void SetUp() override {
        sim::SimOptions options;
        options.tracePath = TracePath();
        StartSimulator(options);
        Connect();
        ParamImage& image = GetParamImage();
        image.FillBlock(Block::Hub, 0);
        image.FillBlock(Block::DeviceTable, 0);
        image.FillBlock(Block::SceneTable, 0);
    }

    int Join(ZWaveDeviceKind kind) {
        return m_sim->WithZWave([kind](ZWaveNetwork& n) { return n.Join(kind); });
    }
    std::string Press(int node) {
        return m_sim->WithZWave([node](ZWaveNetwork& n) { return n.Press(node); });
    }
    bool NetworkHas(int node) {
        return m_sim->Inspect(
            [node](const sim::SimProcessor& p) { return p.Network().Nodes().count(node) == 1; });
    }

    /// Hands the posted events to the event handling until the UI shows that line.
    bool PumpUntil(const std::string& line) {
        return Eventually([&] {
            const auto events = m_receiver.PostedOf<notice::ZwaveEvent>();
            for (; m_handled < events.size(); ++m_handled) {
                OnZwaveEvent(m_ui, events[m_handled]);
            }
            return std::find(m_ui.calls.begin(), m_ui.calls.end(), line) != m_ui.calls.end();
        });
    }

    void ReadNetwork() {
        StartZwaveRead();
        ASSERT_TRUE(WaitZwaveThreads(std::chrono::seconds(10)));
    }

    std::string TracePath() const { return m_dir.Path() + "/trace.txt"; }

    RecordingUi m_ui;
    std::size_t m_handled = 0;
};

/// A report in the simulator's trace: its direction ('>' from the host), its bytes from
/// byte 1 on, and when the simulator took or sent it.
struct Traced {
    char direction = 0;
    std::string hex;
    double seconds = 0;
    bool IsHostAck() const { return direction == '>' && hex.starts_with("12 01 06 "); }
    /// A frame of the controller (start byte 01), which the application acknowledges.
    bool IsControllerFrame() const {
        return direction == '<' && hex.starts_with("12 ") && hex.substr(6, 3) == "01 ";
    }
};

/// The trace's lines ("> bytes  # seconds reading"), in the order of their times.
std::vector<Traced> TraceLines(const std::string& path) {
    std::vector<Traced> lines;
    std::ifstream file(path);
    for (std::string line; std::getline(file, line);) {
        const auto mark = line.find("  # ");
        if (line.size() > 2 && (line[0] == '>' || line[0] == '<') && mark != std::string::npos) {
            lines.push_back({line[0], line.substr(2, mark - 2), std::stod(line.substr(mark + 4))});
        }
    }
    return lines;
}

TEST_F(ZwaveNetworkScenario, ReadingTheNetworkFillsTheNodeAndDeviceTables) {
    ASSERT_EQ(Join(ZWaveDeviceKind::Switch), 2);
    ASSERT_EQ(Join(ZWaveDeviceKind::Dimmer), 3);
    // The processor keeps the records the application wrote earlier.
    zwave::StoreDeviceRecord(GetParamImage(), 3, {zwave::kDimmerType, u"Lamp"});
    WriteDeviceRecord(3);
    zwave::StoreDeviceRecord(GetParamImage(), 3, {});
    g_bZWaveSynchronised.store(0);

    ReadNetwork();
    const ParamImage& image = GetParamImage();
    EXPECT_EQ(zwave::PresentDevices(image), (std::vector<int>{2, 3}));
    EXPECT_TRUE(zwave::NodePresent(image, 1));
    EXPECT_EQ(g_bZWaveSynchronised.load(), 1);
    ASSERT_TRUE(
        Eventually([] { return zwave::ReadDeviceRecord(GetParamImage(), 3).name == u"Lamp"; }));
    EXPECT_EQ(zwave::ReadDeviceRecord(image, 3).type, zwave::kDimmerType);
    EXPECT_EQ(m_receiver.PostedOf<notice::ZwaveSync>(),
              (std::vector<notice::ZwaveSync>{{notice::ZwaveProgress::HubTablesRead}}));
    EXPECT_EQ(m_log.Count("End thread: SynchronizeReadZWAVEThreadProc\n"), 1);
}

TEST_F(ZwaveNetworkScenario, AddingExcludesThenIncludesAndWritesThePendingRecord) {
    zwave::StorePendingAdd(GetParamImage(), {zwave::kDimmerType, u"Lamp"});
    m_ui.mode = 1;
    m_sim->WithZWave([](ZWaveNetwork& n) {
        n.SetNewDevice(ZWaveDeviceKind::Dimmer);
        return 0;
    });
    ZwaveHubSend(zwave::kOperationRemove, 0, 0);
    ASSERT_TRUE(PumpUntil("text 请长按3秒第一次确认"));
    EXPECT_EQ(Press(ZWaveNetwork::kNewDevice), "excluded the new device (it was in no network)");
    ASSERT_TRUE(PumpUntil("text 请长按3秒第二次确认 (130,0,255)")) << "the add request followed";
    EXPECT_EQ(Press(ZWaveNetwork::kNewDevice), "included dimmer as node 2");
    ASSERT_TRUE(PumpUntil("refresh"));
    EXPECT_EQ(Distinct(m_ui.calls),
              (std::vector<std::string>{"text 请长按3秒第一次确认",
                                        "text 请长按3秒第二次确认 (130,0,255)",
                                        "text 已确认，请稍等 (255,0,210)", "close", "refresh"}));
    const ParamImage& image = GetParamImage();
    EXPECT_TRUE(zwave::NodePresent(image, 2));
    EXPECT_EQ(zwave::ReadDeviceRecord(image, 2).name, u"Lamp");
    const auto expected = zwave::EncodeDeviceRecord({zwave::kDimmerType, u"Lamp"});
    ASSERT_TRUE(Eventually([&] {
        return m_sim->Inspect([&](const sim::SimProcessor& p) {
            return std::equal(expected.begin(), expected.end(),
                              p.SmartHomeMemory().begin() + 2 * 28);
        });
    })) << "the record went to memory address 56";

    // The application acknowledged each frame of the controller (in their order), and the
    // first command it sent after an acknowledgement kept the pause after it. The trace
    // stamps a command when the simulator takes it, which may be a moment after the write,
    // so the pause is measured from the frame itself, which came before its acknowledgement.
    std::vector<double> frames;
    std::size_t acks = 0;
    double acknowledged = -1; ///< the last frame acknowledged before the next command (or -1)
    int followed = 0;
    for (const Traced& line : TraceLines(TracePath())) {
        if (line.IsControllerFrame()) {
            frames.push_back(line.seconds);
        } else if (line.IsHostAck()) {
            ASSERT_LT(acks, frames.size()) << "an acknowledgement before its frame";
            acknowledged = frames[acks++];
        } else if (line.direction == '>' && acknowledged >= 0) {
            ++followed;
            EXPECT_GE(line.seconds - acknowledged, 0.020)
                << line.hex.substr(0, 20) << " after the frame at " << acknowledged;
            acknowledged = -1;
        }
    }
    EXPECT_GE(followed, 2) << "the stop-removing request and the record's memory write";
}

TEST_F(ZwaveNetworkScenario, RemovingANodeAndADeviceOutsideTheNetwork) {
    ASSERT_EQ(Join(ZWaveDeviceKind::Switch), 2);
    ReadNetwork();
    ASSERT_TRUE(zwave::NodePresent(GetParamImage(), 2));

    m_ui.mode = 0;
    ZwaveHubSend(zwave::kOperationRemove, 0, 0);
    ASSERT_TRUE(PumpUntil("text 请长按3秒确认删除"));
    EXPECT_EQ(Press(2), "excluded node 2");
    ASSERT_TRUE(PumpUntil("refresh"));
    EXPECT_FALSE(zwave::NodePresent(GetParamImage(), 2));
    EXPECT_FALSE(NetworkHas(2));
    EXPECT_EQ(m_log.Count("REMOVE ID= 2\n"), 1);

    // A device in no network reports node 0: nothing becomes absent, the window closes.
    ASSERT_EQ(Join(ZWaveDeviceKind::Switch), 2);
    ReadNetwork();
    m_ui.calls.clear();
    ZwaveHubSend(zwave::kOperationRemove, 0, 0);
    ASSERT_TRUE(PumpUntil("text 请长按3秒确认删除"));
    EXPECT_EQ(Press(ZWaveNetwork::kNewDevice), "excluded the new device (it was in no network)");
    ASSERT_TRUE(PumpUntil("refresh"));
    EXPECT_EQ(Distinct(m_ui.calls),
              (std::vector<std::string>{"text 请长按3秒确认删除", "close", "refresh"}));
    EXPECT_TRUE(zwave::NodePresent(GetParamImage(), 2));
}

TEST_F(ZwaveNetworkScenario, FailedInclusionShowsItsText) {
    m_ui.mode = 0;
    m_sim->WithZWave([](ZWaveNetwork& n) {
        n.FailNextPress();
        return 0;
    });
    ZwaveHubSend(zwave::kOperationAdd, 0, 0);
    ASSERT_TRUE(PumpUntil("text 请长按3秒确认添加 (130,0,255)"));
    EXPECT_EQ(Press(ZWaveNetwork::kNewDevice), "inclusion failed");
    ASSERT_TRUE(PumpUntil("end 1000"));
    EXPECT_EQ(m_ui.calls.back(), "end 1000");
    EXPECT_EQ(m_ui.calls[m_ui.calls.size() - 2], "text 添加失败，请重试 (255,0,0)");
    EXPECT_TRUE(zwave::PresentDevices(GetParamImage()).empty());
}

TEST_F(ZwaveNetworkScenario, SwitchingDimmingAndANodeThatDoesNotAnswer) {
    ASSERT_EQ(Join(ZWaveDeviceKind::Switch), 2);
    ASSERT_EQ(Join(ZWaveDeviceKind::Dimmer), 3);
    ReadNetwork();

    ZwaveHubSend(zwave::kOperationSet, 3, 40);
    ASSERT_TRUE(PumpUntil("close"));
    ASSERT_TRUE(Eventually([] { return zwave::NodeValue(GetParamImage(), 3) == 40; }));
    EXPECT_EQ(
        m_sim->Inspect([](const sim::SimProcessor& p) { return p.Network().Nodes().at(3).value; }),
        40);

    // The switch reports 255 for "on".
    m_ui.calls.clear();
    ZwaveHubSend(zwave::kOperationSet, 2, 255);
    ASSERT_TRUE(PumpUntil("close"));
    ASSERT_TRUE(Eventually([] { return zwave::NodeValue(GetParamImage(), 2) == 255; }));

    m_sim->WithZWave([](ZWaveNetwork& n) { return n.SetSilent(2, true); });
    m_ui.calls.clear();
    ZwaveHubSend(zwave::kOperationSet, 2, 0);
    ASSERT_TRUE(PumpUntil("info 设置超时 1100"));
    EXPECT_EQ(m_ui.calls, (std::vector<std::string>{"close", "info 设置超时 1100"}));
}

TEST_F(ZwaveNetworkScenario, DelayedCallbacksArriveLater) {
    ASSERT_EQ(Join(ZWaveDeviceKind::Switch), 2);
    ReadNetwork();
    m_sim->WithZWave([](ZWaveNetwork& n) {
        n.SetCallbackDelay(std::chrono::milliseconds(300));
        return 0;
    });
    const auto start = std::chrono::steady_clock::now();
    ZwaveHubSend(zwave::kOperationSet, 2, 255);
    ASSERT_TRUE(PumpUntil("close"));
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(300));
}

TEST_F(ZwaveNetworkScenario, MemoryAnswersLandInTheirRecordsOrAreRefused) {
    std::array<std::uint8_t, 56> scene{};
    scene.fill(0x11);
    const auto write = zwave::MemoryWrite(6580, scene);
    WriteUsbData(write.data(), write.size());
    ZWAVE_ReadAll();
    ASSERT_TRUE(
        Eventually([] { return GetParamImage().BlockByte(Block::SceneTable, 56) == 0x11; }));
    EXPECT_EQ(GetParamImage().BlockByte(Block::SceneTable, 111), 0x11);
    EXPECT_EQ(GetParamImage().BlockByte(Block::SceneTable, 55), 0);

    const auto beyond = zwave::MemoryRead(6900, 8);
    WriteUsbData(beyond.data(), beyond.size());
    ASSERT_TRUE(Eventually([&] { return m_log.Count("ZWaveReadMemFunc over range") == 1; }));
}

TEST_F(ZwaveNetworkScenario, ResetErasesTheNetworkAndTheScenes) {
    ASSERT_EQ(Join(ZWaveDeviceKind::Plug), 2);
    GetParamImage().FillBlock(Block::SceneTable, 0x22);
    StartZwaveReset();
    ASSERT_TRUE(WaitZwaveThreads(std::chrono::seconds(15)));
    EXPECT_FALSE(NetworkHas(2));
    EXPECT_TRUE(zwave::PresentDevices(GetParamImage()).empty());
    EXPECT_TRUE(zwave::NodePresent(GetParamImage(), 1));
    EXPECT_EQ(GetParamImage().BlockByte(Block::SceneTable, 0), 0);
    EXPECT_EQ(m_log.Count("End thread: SynchronizeResetThreadProc\n"), 1);
}

} // namespace
} // namespace kv::test
