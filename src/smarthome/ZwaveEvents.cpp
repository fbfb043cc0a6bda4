#include "smarthome/ZwaveEvents.h"

#include "link/Link.h"
#include "smarthome/ZwaveDevices.h"
#include "smarthome/ZwaveFrames.h"

namespace kv {

namespace {

constexpr int kAddReady = 1;
constexpr int kAddFound = 2;
constexpr int kAddDone = 5;
constexpr int kFailed = 7;
constexpr int kRemoveDone = 6;
constexpr int kSendOk = 0;
constexpr int kSendNoAck = 1;
/// The wait window closes that long after a key was learned or could not be.
constexpr int kKeyEndMs = 1000;

std::string Text(const IZwaveEventUi& ui, const char* chinese, const char* english) {
    return ui.Chinese() ? chinese : english;
}

void RemoveEvent(IZwaveEventUi& ui, int node, int status) {
    const bool adding = ui.AddMode() == 1;
    if (status >= 1 && status <= 5) {
        ui.SetWaitText(adding ? Text(ui, "请长按3秒第一次确认", "Press and hold 3 second")
                              : Text(ui, "请长按3秒确认删除", "Press and hold 3 second"),
                       std::nullopt);
    } else if (status == kRemoveDone) {
        SetAckEvent();
        SendZwaveFrame(zwave::StopRemovingPayload());
        if (node != 0) { // node 0: the device was in no network, nothing left it
            ui.DeleteKeyFile(node);
        }
        if (!adding) {
            ui.CloseWait();
            ui.RefreshPages();
        } else if (ui.WaitShown()) {
            SendZwaveFrame(zwave::AddNodePayload());
        }
    } else if (status == kFailed && ui.WaitShown()) {
        ui.StopPendingWait();
        ui.SetWaitText(Text(ui, "删除失败，请重试", "Remove failed,please retry"), zwave::kRed);
        ui.EndWait(zwave::kFailureEndMs);
    }
}

void AddEvent(IZwaveEventUi& ui, int node, int status) {
    if (status == kAddReady) {
        ui.SetWaitText(ui.AddMode() == 1
                           ? Text(ui, "请长按3秒第二次确认", "Press and hold 3 second")
                           : Text(ui, "请长按3秒确认添加", "Press and hold 3 second"),
                       zwave::kAddReadyColour);
    } else if (status == kAddFound) {
        ui.SetWaitText(Text(ui, "已确认，请稍等", "Confirmed! Please wait..."),
                       zwave::kFoundColour);
    } else if (status == kAddDone) {
        WriteDeviceRecord(node);
        ui.CloseWait();
        ui.RefreshPages();
    } else if (status == kFailed && ui.WaitShown()) {
        ui.SetWaitText(Text(ui, "添加失败，请重试", "Add failed,please retry"), zwave::kRed);
        ui.EndWait(zwave::kFailureEndMs);
    }
}

void SendDataEvent(IZwaveEventUi& ui, int id, int status) {
    const bool keyCallback = id == zwave::BasicSetCallbackId(0x80);
    const bool setCallback = id == zwave::kSetCallback;
    if (!keyCallback && !setCallback) {
        return;
    }
    if (status == kSendNoAck) {
        ui.CloseWait();
        ui.ShowInfo(Text(ui, "设置超时", "set timeout"), zwave::kNoticeMs);
    } else if (status == kSendOk && setCallback) {
        ui.CloseWait();
    }
}

/// A smart plug's report while it learns or sends a key.
void KeyEvent(IZwaveEventUi& ui, int node, int value) {
    const bool shown = ui.WaitShown();
    switch (value) {
    case zwave::kKeyReady:
        if (shown) {
            ui.SetWaitText("准备就绪，请按下遥控器按键", std::nullopt);
        }
        break;
    case zwave::kKeyLearned:
        if (shown) {
            ui.StoreLearnResult(node, true);
            ui.SetWaitText("学习完成", zwave::kFoundColour);
            ui.EndWait(kKeyEndMs);
        }
        break;
    case zwave::kKeyChecksumError:
    case zwave::kKeyTimeout:
        if (value == zwave::kKeyChecksumError) {
            ui.StopPendingWait();
        }
        ui.StoreLearnResult(node, false);
        if (shown) {
            ui.SetWaitText(value == zwave::kKeyChecksumError ? "校验错误，请重新学习"
                                                             : "等待遥控器按键超时",
                           zwave::kRed);
            ui.EndWait(kKeyEndMs);
        }
        break;
    case zwave::kKeySent:
        ui.StopPendingWait();
        if (shown) {
            ui.SetWaitText("遥控按键发射成功", zwave::kFoundColour);
            ui.CloseWait();
        }
        break;
    case zwave::kKeySendFailed:
        ui.StopPendingWait();
        if (shown) {
            ui.SetWaitText("遥控按键发射失败", zwave::kRed);
            ui.EndWait(kKeyEndMs);
        }
        break;
    default: // any other value is a level or state, already stored as the node's value
        break;
    }
}

} // namespace

void OnZwaveEvent(IZwaveEventUi& ui, int function, int node, int status) {
    switch (function) {
    case zwave::kEventRemoveNode:
        RemoveEvent(ui, node, status);
        break;
    case zwave::kEventAddNode:
        AddEvent(ui, node, status);
        break;
    case zwave::kEventSendData:
        SendDataEvent(ui, node, status);
        break;
    case zwave::kEventAppCommand:
        KeyEvent(ui, node, status);
        break;
    default: // 66: the step-done flag was all
        break;
    }
}

void OnZwaveEvent(IZwaveEventUi& ui, const notice::ZwaveEvent& event) {
    OnZwaveEvent(ui, event.function, event.node, event.status);
}

} // namespace kv
