#include "protocol/ZWaveRelay.h"

#include "image/ParamImage.h"
#include "link/ConnectionState.h"
#include "link/DebugLog.h"
#include "link/Link.h"
#include "link/LinkReceiver.h"
#include "link/WriteHold.h"
#include "protocol/Dispatcher.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>

namespace kv {

namespace {

/// The pause the controller gets after an acknowledgement before the next command.
std::atomic<int> g_ackPauseMs{20};
/// Length byte of the shortest frame: type, function and checksum.
constexpr std::size_t kMinFrameLength = 3;
constexpr std::uint8_t kSendDataOk = 0;
constexpr std::uint8_t kSendDataNoAck = 1;
constexpr std::uint8_t kAddNodeReady = 1;
constexpr std::uint8_t kAddNodeFound = 2;
constexpr std::uint8_t kAddNodeDone = 5;
constexpr std::uint8_t kAddNodeFailed = 7;
constexpr std::uint8_t kRemoveNodeDone = 6;

/// Index of the checksum byte: the parameters of a valid frame end just before it.
std::size_t FrameEnd(const std::uint8_t* b) {
    return 4u + b[4];
}

void Post(std::uint8_t function, std::uint8_t node, std::uint8_t status) {
    if (ILinkReceiver* receiver = LinkReceiver()) {
        receiver->PostNotice(notice::ZwaveEvent{function, node, status});
    }
}

void SetPresent(ParamImage& image, int node, bool present) {
    image.SetHubByte(kHubNodeTableOffset + 2 * static_cast<std::size_t>(node),
                     present ? static_cast<std::uint8_t>(node) : 0);
}

void InitData(ParamImage& image, const std::uint8_t* b) {
    image.WriteBlock(Block::Hub, kHubNodeTableOffset,
                     std::array<std::uint8_t, kHubNodeTableSize>{});
    const std::size_t end = FrameEnd(b);
    const std::size_t inFrame = end > 10 ? end - 10 : 0;
    const int bitmapBytes = static_cast<int>(
        std::min<std::size_t>({b[9], static_cast<std::size_t>(zwave::kMaxBitmapBytes), inFrame}));
    for (int i = 0; i < bitmapBytes; ++i) {
        for (int j = 0; j < 8; ++j) {
            if ((b[10 + i] >> j) & 1) {
                SetPresent(image, 8 * i + j + 1, true);
            }
        }
    }
    SetZwaveFlag(g_bZWaveInitData);
}

void ApplicationCommand(ParamImage& image, const std::uint8_t* b) {
    const int node = b[8];
    const std::size_t last = 9u + b[9];
    if (node > kMaxNodeId || b[9] == 0 || last >= FrameEnd(b)) {
        return;
    }
    const std::uint8_t value = b[last];
    image.SetHubByte(kHubNodeTableOffset + 1 + 2 * static_cast<std::size_t>(node), value);
    SetZwaveFlag(g_bZWaveResponse);
    SetZwaveStepDone(ZwaveStepEnd::Report, static_cast<std::uint8_t>(node));
    Post(zwave::kApplicationCommand, static_cast<std::uint8_t>(node), value);
}

void SendDataCallback(const std::uint8_t* b) {
    const std::uint8_t id = b[7];
    if (b[8] == kSendDataOk) {
        if (id != zwave::kRemoteKeyCallback) {
            SetZwaveStepDone(ZwaveStepEnd::Callback, id);
        }
        Post(zwave::kSendData, id, 0);
    } else if (b[8] == kSendDataNoAck) {
        SetZwaveFlag(g_bZWaveResponse);
        SetZwaveStepDone(ZwaveStepEnd::Callback, id);
        Post(zwave::kSendData, id, 1);
    }
}

void AddNodeCallback(ParamImage& image, const std::uint8_t* b) {
    const std::uint8_t status = b[8];
    if (status == kAddNodeReady || status == kAddNodeFound || status == kAddNodeFailed) {
        Post(zwave::kAddNode, 0, status);
    } else if (status == kAddNodeDone) {
        const int node = b[9];
        if (node > kMaxNodeId) {
            return;
        }
        SetPresent(image, node, true);
        std::array<std::uint8_t, kDeviceRecordSize> pending{};
        image.ReadBlock(Block::Hub, kHubPendingAddOffset, pending);
        image.WriteBlock(Block::DeviceTable, static_cast<std::size_t>(node) * kDeviceRecordSize,
                         pending);
        Post(zwave::kAddNode, static_cast<std::uint8_t>(node), kAddNodeDone);
    }
}

void RemoveNodeCallback(ParamImage& image, const std::uint8_t* b) {
    const std::uint8_t status = b[8];
    if (status != kRemoveNodeDone) {
        Post(zwave::kRemoveNode, 0, status);
        return;
    }
    const int node = b[9];
    DebugLog("REMOVE ID= %d\n", node);
    if (node > kMaxNodeId) {
        return;
    }
    if (node != 0) {
        SetPresent(image, node, false);
    }
    Post(zwave::kRemoveNode, static_cast<std::uint8_t>(node), kRemoveNodeDone);
}

} // namespace

std::chrono::milliseconds FrameAckPause() {
    return std::chrono::milliseconds(g_ackPauseMs.load());
}

void SetFrameAckPause(std::chrono::milliseconds pause) {
    g_ackPauseMs.store(static_cast<int>(pause.count()));
}

bool ValidZwaveFrame(const std::uint8_t* b) {
    const std::size_t len = b[4];
    if (b[3] != zwave::kFrameStart || len < kMinFrameLength || 4 + len >= kReportSize) {
        return false;
    }
    std::uint8_t checksum = 0xFF;
    for (std::size_t i = 4; i < 4 + len; ++i) {
        checksum ^= b[i];
    }
    return checksum == b[4 + len];
}

void HandleZwaveFrame(ParamImage& image, const std::uint8_t* b) {
    if (b[3] == zwave::kAck) {
        return;
    }
    if (!ValidZwaveFrame(b)) {
        DebugWrite("ZWave frame dropped\n");
        return;
    }
    // The controller is acknowledged at once; the next commands keep the pause after it,
    // while the frame is handled and further reports are read.
    std::array<std::uint8_t, kReportSize> ack{2, report::kZWaveRelay, 1, zwave::kAck};
    WriteUsbDataNoWait(ack.data());
    HoldWritesFor(FrameAckPause());

    switch (b[6]) {
    case zwave::kGetInitData:
        InitData(image, b);
        break;
    case zwave::kApplicationCommand:
        ApplicationCommand(image, b);
        break;
    case zwave::kSendData:
        SendDataCallback(b);
        break;
    case zwave::kSetDefault:
        SetZwaveFlag(g_bZWaveStepDone);
        Post(zwave::kSetDefault, 0, 0);
        break;
    case zwave::kAddNode:
        AddNodeCallback(image, b);
        break;
    case zwave::kRemoveNode:
        RemoveNodeCallback(image, b);
        break;
    default:
        break;
    }
}

} // namespace kv
