#include "smarthome/ZwaveEvents.h"
#include "link/LinkFixture.h"
#include "smarthome/RecordingUi.h"
#include "smarthome/ZwaveFrames.h"
#include "smarthome/ZwaveNodes.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace kv::test {
namespace {

using Payload = std::vector<std::uint8_t>;

struct EventRow {
    const char* name;
    int function;
    int node;
    int status;
    int mode;
    bool shown;
    bool chinese;
    std::vector<std::string> calls;
    std::vector<Payload> frames; ///< request frames sent, in order
};

TEST_F(LinkFixture, EveryZwaveEventHasItsEffect) {
    auto device = Connect(true);
    const Payload stopRemoving = zwave::StopRemovingPayload();
    const Payload add = zwave::AddNodePayload();
    const std::vector<EventRow> rows = {
        {"remove ready", 75, 0, 1, 0, true, true, {"text 请长按3秒确认删除"}, {}},
        {"remove in progress while adding",
         75,
         0,
         3,
         1,
         true,
         true,
         {"text 请长按3秒第一次确认"},
         {}},
        {"remove ready in English", 75, 0, 5, 0, true, false, {"text Press and hold 3 second"}, {}},
        {"removed", 75, 5, 6, 0, true, true, {"key file 5", "close", "refresh"}, {stopRemoving}},
        {"a device not in the network removed",
         75,
         0,
         6,
         0,
         true,
         true,
         {"close", "refresh"},
         {stopRemoving}},
        {"excluded while adding: the add request follows",
         75,
         0,
         6,
         1,
         true,
         true,
         {},
         {stopRemoving, add}},
        {"excluded while adding after the window went",
         75,
         0,
         6,
         1,
         false,
         true,
         {},
         {stopRemoving}},
        {"remove failed",
         75,
         0,
         7,
         0,
         true,
         false,
         {"stop timer", "text Remove failed,please retry (255,0,0)", "end 1000"},
         {}},
        {"remove failed without a window", 75, 0, 7, 0, false, true, {}, {}},
        {"remove with another status", 75, 0, 9, 0, true, true, {}, {}},
        {"add ready while adding",
         74,
         0,
         1,
         1,
         true,
         true,
         {"text 请长按3秒第二次确认 (130,0,255)"},
         {}},
        {"add ready", 74, 0, 1, 0, true, true, {"text 请长按3秒确认添加 (130,0,255)"}, {}},
        {"node found",
         74,
         0,
         2,
         1,
         true,
         false,
         {"text Confirmed! Please wait... (255,0,210)"},
         {}},
        {"add failed",
         74,
         0,
         7,
         1,
         true,
         true,
         {"text 添加失败，请重试 (255,0,0)", "end 1000"},
         {}},
        {"add failed without a window", 74, 0, 7, 1, false, true, {}, {}},
        {"set done", 19, 67, 0, 0, true, true, {"close"}, {}},
        {"set not answered", 19, 67, 1, 0, true, true, {"close", "info 设置超时 1100"}, {}},
        {"key not answered", 19, 68, 1, 0, true, false, {"close", "info set timeout 1100"}, {}},
        {"key sent: the node's report follows", 19, 68, 0, 0, true, true, {}, {}},
        {"another callback id", 19, 2, 1, 0, true, true, {}, {}},
        {"plug ready", 4, 5, 2, 0, true, true, {"text 准备就绪，请按下遥控器按键"}, {}},
        {"plug ready before the wait window shows", 4, 5, 2, 0, false, true, {}, {}},
        {"key learned",
         4,
         5,
         3,
         0,
         true,
         false,
         {"key of 5 learned", "text 学习完成 (255,0,210)", "end 1000"},
         {}},
        {"learned without a wait window: nothing stored", 4, 5, 3, 0, false, true, {}, {}},
        {"checksum error",
         4,
         5,
         4,
         0,
         true,
         true,
         {"stop timer", "key of 5 not learned", "text 校验错误，请重新学习 (255,0,0)", "end 1000"},
         {}},
        {"checksum error without a wait window",
         4,
         5,
         4,
         0,
         false,
         true,
         {"stop timer", "key of 5 not learned"},
         {}},
        {"no remote key pressed",
         4,
         6,
         5,
         0,
         true,
         true,
         {"key of 6 not learned", "text 等待遥控器按键超时 (255,0,0)", "end 1000"},
         {}},
        {"no remote key pressed without a wait window",
         4,
         6,
         5,
         0,
         false,
         true,
         {"key of 6 not learned"},
         {}},
        {"key sent",
         4,
         5,
         6,
         0,
         true,
         true,
         {"stop timer", "text 遥控按键发射成功 (255,0,210)", "close"},
         {}},
        {"key sent before the wait window shows", 4, 5, 6, 0, false, true, {"stop timer"}, {}},
        {"key not sent",
         4,
         5,
         7,
         0,
         true,
         false,
         {"stop timer", "text 遥控按键发射失败 (255,0,0)", "end 1000"},
         {}},
        {"an ordinary value", 4, 5, 99, 0, true, true, {}, {}},
        {"set default", 66, 0, 0, 0, true, true, {}, {}},
    };
    std::size_t writes = device->Writes().size();
    for (const EventRow& row : rows) {
        SCOPED_TRACE(row.name);
        RecordingUi ui;
        ui.mode = row.mode;
        ui.shown = row.shown;
        ui.chinese = row.chinese;
        OnZwaveEvent(ui, row.function, row.node, row.status);
        EXPECT_EQ(ui.calls, row.calls);
        writes += row.frames.size();
        ASSERT_TRUE(device->WaitIdle(writes));
        const auto all = device->Writes();
        ASSERT_EQ(all.size(), writes);
        for (std::size_t i = 0; i < row.frames.size(); ++i) {
            EXPECT_EQ(all[writes - row.frames.size() + i], zwave::RequestFrame(row.frames[i]));
        }
    }
}

TEST_F(LinkFixture, AnAddedNodeGetsItsRecordWritten) {
    auto device = Connect(true);
    ParamImage& image = GetParamImage();
    zwave::StoreDeviceRecord(image, 7, {zwave::kDimmerType, u"Lamp"});
    RecordingUi ui;
    ui.mode = 1;
    OnZwaveEvent(ui, notice::ZwaveEvent{74, 7, 5});
    EXPECT_EQ(ui.calls, (std::vector<std::string>{"close", "refresh"}));
    ASSERT_TRUE(device->WaitIdle(1));
    EXPECT_EQ(device->Writes().back(),
              zwave::MemoryWrite(7 * 28, zwave::EncodeDeviceRecord({2, u"Lamp"})));
    EXPECT_EQ(device->Writes().back()[3], 196);
}

} // namespace
} // namespace kv::test
