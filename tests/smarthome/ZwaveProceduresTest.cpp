#include "link/LinkFixture.h"
#include "protocol/DeviceQueue.h"
#include "protocol/ZWaveRelay.h"
#include "smarthome/ZwaveDevices.h"
#include "smarthome/ZwaveFrames.h"
#include "smarthome/ZwaveNodes.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <future>
#include <vector>

namespace kv::test {
namespace {

/// Report 18 with a controller frame 01 len type function params... and its checksum.
Bytes61 ControllerFrame(std::vector<int> frame) {
    Bytes61 r = MakeReport({1, 18, static_cast<int>(frame.size())});
    for (std::size_t i = 0; i < frame.size(); ++i) {
        r[3 + i] = static_cast<std::uint8_t>(frame[i]);
    }
    std::uint8_t checksum = 0xFF;
    for (std::size_t i = 4; i < 4u + r[4]; ++i) {
        checksum ^= r[i];
    }
    r[4 + r[4]] = checksum;
    return r;
}

/// Init data: version, capabilities, 29 bitmap bytes (the first four given), chip bytes.
Bytes61 InitData(std::vector<int> bitmap) {
    std::vector<int> frame = {1, 38, 1, 2, 5, 8, 29};
    bitmap.resize(29, 0);
    frame.insert(frame.end(), bitmap.begin(), bitmap.end());
    frame.push_back(5);
    frame.push_back(0);
    return ControllerFrame(frame);
}

class ZwaveProcedures : public LinkFixture {
protected:
    void SetUp() override {
        LinkFixture::SetUp();
        GetParamImage().FillBlock(Block::Hub, 0);
        g_bZWaveInitData.store(0);
        g_bZWaveStepDone.store(0);
    }
    std::vector<Bytes61> WritesFrom(const FakeDevice& device, std::size_t first) {
        const auto all = device.Writes();
        return {all.begin() + static_cast<std::ptrdiff_t>(first), all.end()};
    }
};

TEST_F(ZwaveProcedures, NodeListArrivesWhileTheReadWaits) {
    auto device = Connect(false);
    auto read = std::async(std::launch::async, [] { return ZwaveReadNodeList(); });
    ASSERT_TRUE(device->WaitIdle(1));
    EXPECT_EQ(device->Writes()[0], zwave::RequestFrame(zwave::GetInitDataPayload()));
    device->Inject(InitData({0x03, 0x00, 0x00, 0x80}));
    EXPECT_TRUE(read.get());
    const ParamImage& image = GetParamImage();
    std::vector<int> present;
    for (int n = 0; n <= 232; ++n) {
        if (zwave::NodePresent(image, n)) {
            present.push_back(n);
        }
    }
    EXPECT_EQ(present, (std::vector<int>{1, 2, 32}));
}

/// The processor's answer to a memory read: report 20 with the address it read.
Bytes61 MemoryAnswer(const Bytes61& read, int fill) {
    Bytes61 r = MakeReport({1, 20, read[2], read[3], read[4]});
    std::fill_n(r.begin() + 5, read[4], static_cast<std::uint8_t>(fill));
    return r;
}

/// How the scripted processor answers the n-th memory read it sees (0-based).
enum class Answer { Right, None, OtherAddress };

struct ReadAllCase {
    const char* name;
    std::function<Answer(std::size_t)> answer;
    bool complete;
};

TEST_F(ZwaveProcedures, ReadAllWaitsForEachRecordAndAsksAgainForMissingOnes) {
    // Nodes 2 and 32 present: their device records, then the six scene records.
    const std::vector<Bytes61> reads = {zwave::MemoryRead(56, 28),   zwave::MemoryRead(896, 28),
                                        zwave::MemoryRead(6524, 56), zwave::MemoryRead(6580, 56),
                                        zwave::MemoryRead(6636, 56), zwave::MemoryRead(6692, 56),
                                        zwave::MemoryRead(6748, 56), zwave::MemoryRead(6804, 56)};
    const ReadAllCase cases[] = {
        {"every answer", [](std::size_t) { return Answer::Right; }, true},
        {"the second read's first answer lost",
         [](std::size_t n) { return n == 1 ? Answer::None : Answer::Right; }, true},
        {"a stale answer naming another record",
         [](std::size_t n) { return n == 3 ? Answer::OtherAddress : Answer::Right; }, true},
        {"a processor that stops answering", [](std::size_t) { return Answer::None; }, false},
    };
    SetAnswerWait(std::chrono::milliseconds(50));
    auto device = Connect(true);
    device->Inject(InitData({0x03, 0x00, 0x00, 0x80}));
    ASSERT_TRUE(device->WaitIdle(1)); // the acknowledgement
    device->SetAutoAnswer(false);
    int runs = 0;
    for (const ReadAllCase& c : cases) {
        SCOPED_TRACE(c.name);
        GetParamImage().FillBlock(Block::SceneTable, 0x5A);
        const std::size_t first = device->Writes().size();
        auto read = std::async(std::launch::async, [] { return ZWAVE_ReadAll(); });
        // Answers each read as it comes; a read is not followed by the next one until its
        // answer came or its wait ran out.
        std::vector<Bytes61> asked;
        while (read.wait_for(std::chrono::milliseconds(1)) != std::future_status::ready) {
            const auto writes = device->Writes();
            if (writes.size() < first + asked.size() + 1) {
                continue;
            }
            const Bytes61 last = writes.back();
            const std::size_t n = asked.size();
            asked.push_back(last);
            switch (c.answer(n)) {
            case Answer::Right:
                device->Inject(MemoryAnswer(last, 0x11));
                break;
            case Answer::OtherAddress:
                device->Inject(MemoryAnswer(zwave::MemoryRead(6860, 8), 0x22));
                break;
            case Answer::None:
                break;
            }
        }
        EXPECT_EQ(read.get(), c.complete);
        std::vector<Bytes61> distinct = asked;
        distinct.erase(std::unique(distinct.begin(), distinct.end()), distinct.end());
        if (c.complete) {
            EXPECT_EQ(distinct, reads) << "each record asked for in order, a missing one again";
            const auto scenes = GetParamImage().BlockBytes(Block::SceneTable);
            EXPECT_EQ(std::count(scenes.begin(), scenes.end(), 0x11), 6 * 56)
                << "every scene record arrived";
        } else {
            EXPECT_LE(asked.size(), 9u) << "a dead processor must not cost the wait per record";
            EXPECT_EQ(GetParamImage().BlockByte(Block::SceneTable, 0), 0x5A)
                << "nothing that did not arrive is stored";
        }
        EXPECT_EQ(m_log.Count("ZWAVE_ReadAll\n"), ++runs);
    }
    SetAnswerWait(std::chrono::milliseconds(kAckWaitMs));
}

TEST_F(ZwaveProcedures, SettingANodeSendsOnlyToPresentNodes) {
    auto device = Connect(true);
    ParamImage& image = GetParamImage();
    image.SetHubByte(kHubNodeTableOffset + 2 * 1, 1);
    image.SetHubByte(kHubNodeTableOffset + 2 * 5, 5);
    SetNodeValue(6, 99); // absent
    SetNodeValue(1, 99); // the controller itself
    EXPECT_EQ(m_log.Count("此ID不存在，跳过设置命令"), 2);
    SetNodeValue(5, 130);
    ASSERT_TRUE(device->WaitIdle(1));
    EXPECT_EQ(device->Writes(),
              (std::vector<Bytes61>{zwave::RequestFrame(zwave::BasicSetPayload(5, 130))}));
    EXPECT_EQ(zwave::NodeValue(image, 5), 130);
    EXPECT_EQ(zwave::NodeValue(image, 6), 0);
}

TEST_F(ZwaveProcedures, HubOperationsOfTheWaitWindow) {
    auto device = Connect(true);
    GetParamImage().SetHubByte(kHubNodeTableOffset + 2 * 9, 9);
    ZwaveHubSend(19, 9, 255);
    ZwaveHubSend(74, 0, 0);
    ZwaveHubSend(75, 0, 0);
    ZwaveHubCancel(19);
    ZwaveHubCancel(74);
    ZwaveHubCancel(75);
    const std::vector<Bytes61> expected = {
        zwave::RequestFrame(zwave::BasicSetPayload(9, 255)),
        zwave::RequestFrame(zwave::AddNodePayload()),
        zwave::RequestFrame(zwave::RemoveNodePayload()),
        zwave::RequestFrame(std::vector<std::uint8_t>{0x13, 0x05, 0x00}),
        zwave::RequestFrame(std::vector<std::uint8_t>{0x4A, 0x05, 0x00}),
        zwave::RequestFrame(std::vector<std::uint8_t>{0x4B, 0x05, 0x00}),
    };
    ASSERT_TRUE(device->WaitIdle(expected.size()));
    EXPECT_EQ(device->Writes(), expected);
}

TEST_F(ZwaveProcedures, ClearScenesZeroesTheImageAndTheMemory) {
    auto device = Connect(true);
    ParamImage& image = GetParamImage();
    image.FillBlock(Block::SceneTable, 0x5A);
    ClearScenes();
    for (std::uint8_t b : image.BlockBytes(Block::SceneTable)) {
        ASSERT_EQ(b, 0);
    }
    const std::array<std::uint8_t, 56> zero{};
    std::vector<Bytes61> expected;
    for (int k = 0; k < 6; ++k) {
        expected.push_back(zwave::MemoryWrite(6524 + 56 * k, zero));
    }
    ASSERT_TRUE(device->WaitIdle(expected.size()));
    EXPECT_EQ(device->Writes(), expected);
}

TEST_F(ZwaveProcedures, FramesAreHandledDuringThePauseThatHoldsTheNextCommand) {
    // A long pause, so that what happens during it can be told apart from what follows it.
    struct PauseScope {
        std::chrono::milliseconds previous = FrameAckPause();
        ~PauseScope() { SetFrameAckPause(previous); }
    } restore;
    SetFrameAckPause(std::chrono::seconds(2));
    auto device = Connect(false);
    const Bytes61 ack = zwave::AckFrame();
    device->Inject(ControllerFrame({1, 9, 0, 4, 0, 5, 3, 0x20, 0x03, 0x63}));
    ASSERT_TRUE(device->WaitIdle(1));
    EXPECT_EQ(zwave::NodeValue(GetParamImage(), 5), 0x63) << "handled without waiting";

    // The answer to the previous command came (the frame), but the pause holds the write.
    const Bytes61 query = MakeReport({2, 14}); // a status query
    auto write = std::async(std::launch::async,
                            [&query] { return WriteUsbData(query.data(), query.size()); });
    device->Inject(ControllerFrame({1, 9, 0, 4, 0, 6, 3, 0x20, 0x03, 0x44}));
    ASSERT_TRUE(device->WaitIdle(2));
    EXPECT_EQ(zwave::NodeValue(GetParamImage(), 6), 0x44) << "read and handled during the pause";
    EXPECT_EQ(device->Writes(), (std::vector<Bytes61>{ack, ack})) << "the write kept the pause";

    EXPECT_EQ(write.get(), 61);
    EXPECT_EQ(device->Writes().back(), query);
}

TEST_F(ZwaveProcedures, SetDefaultEndsOnItsCallback) {
    auto device = Connect(false);
    auto reset = std::async(std::launch::async, [] { return ZwaveSetDefault(); });
    ASSERT_TRUE(device->WaitIdle(1));
    EXPECT_EQ(device->Writes()[0], zwave::RequestFrame(zwave::SetDefaultPayload()));
    device->Inject(ControllerFrame({1, 4, 0, 0x42, 2}));
    EXPECT_TRUE(reset.get());
}

TEST_F(ZwaveProcedures, AFrameThatCannotGoOutFailsItsProcedure) {
    struct Case {
        const char* name;
        bool connected;
        bool queueClosed; ///< the device's queue is open but takes no more commands
    };
    for (const Case& c : {Case{"no processor", false, false},
                          Case{"a queue that takes no more commands", true, true}}) {
        SCOPED_TRACE(c.name);
        std::shared_ptr<FakeDevice> device;
        if (c.connected) {
            device = Connect(true);
        }
        if (c.queueClosed) {
            OpenDeviceQueue();
            DeviceQueue()->Close();
        }
        EXPECT_FALSE(ZwaveReadNodeList());
        EXPECT_FALSE(ZwaveSetDefault());
        EXPECT_FALSE(SendZwaveFrame(zwave::AddNodePayload()));
        if (c.queueClosed) {
            EXPECT_TRUE(CloseDeviceQueue(std::chrono::seconds(1)));
        }
        if (device) {
            EXPECT_TRUE(device->Writes().empty());
        }
    }
}

} // namespace
} // namespace kv::test
