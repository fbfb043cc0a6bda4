#include "link/LinkFixture.h"
#include "smarthome/ZwaveDevices.h"
#include "smarthome/ZwaveFrames.h"
#include "smarthome/ZwaveNodes.h"

#include <gtest/gtest.h>

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

TEST_F(ZwaveProcedures, ReadAllAsksForPresentDeviceRecordsThenTheScenes) {
    auto device = Connect(true);
    device->Inject(InitData({0x03, 0x00, 0x00, 0x80}));
    ASSERT_TRUE(device->WaitIdle(1)); // the acknowledgement
    const std::size_t first = device->Writes().size();
    ZWAVE_ReadAll();
    const std::vector<Bytes61> expected = {
        zwave::MemoryRead(56, 28),   zwave::MemoryRead(896, 28),  zwave::MemoryRead(6524, 56),
        zwave::MemoryRead(6580, 56), zwave::MemoryRead(6636, 56), zwave::MemoryRead(6692, 56),
        zwave::MemoryRead(6748, 56), zwave::MemoryRead(6804, 56)};
    ASSERT_TRUE(device->WaitIdle(first + expected.size()));
    EXPECT_EQ(WritesFrom(*device, first), expected);
    EXPECT_EQ(m_log.Count("ZWAVE_ReadAll\n"), 1);
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

TEST_F(ZwaveProcedures, SetDefaultEndsOnItsCallback) {
    auto device = Connect(false);
    auto reset = std::async(std::launch::async, [] { return ZwaveSetDefault(); });
    ASSERT_TRUE(device->WaitIdle(1));
    EXPECT_EQ(device->Writes()[0], zwave::RequestFrame(zwave::SetDefaultPayload()));
    device->Inject(ControllerFrame({1, 4, 0, 0x42, 2}));
    EXPECT_TRUE(reset.get());
}

} // namespace
} // namespace kv::test
