#include "link/ZWaveRelay.h"

#include "image/ParamImage.h"
#include "link/ConnectionState.h"
#include "link/DebugLog.h"
#include "link/Dispatcher.h"
#include "link/Link.h"
#include "link/LinkReceiver.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <thread>

namespace kv {

namespace {

constexpr auto kAckPause = std::chrono::milliseconds(20);
constexpr std::uint8_t kSendDataOk = 0;
constexpr std::uint8_t kSendDataNoAck = 1;
constexpr std::uint8_t kAddNodeReady = 1;
constexpr std::uint8_t kAddNodeFound = 2;
constexpr std::uint8_t kAddNodeDone = 5;
constexpr std::uint8_t kAddNodeFailed = 7;
constexpr std::uint8_t kRemoveNodeDone = 6;

void Post(std::uintptr_t function, std::intptr_t value) {
    if (ILinkReceiver* receiver = LinkReceiver()) {
        receiver->PostViewMessage(WM_ZWAVE_EVENT, function, value);
    }
}

std::intptr_t NodeEvent(int node, int low) {
    return static_cast<std::intptr_t>(node) * 65536 + low;
}

void SetPresent(ParamImage& image, int node, bool present) {
    image.SetHubByte(kHubNodeTableOffset + 2 * static_cast<std::size_t>(node),
                     present ? static_cast<std::uint8_t>(node) : 0);
}

void InitData(ParamImage& image, const std::uint8_t* b) {
    image.WriteBlock(Block::Hub, kHubNodeTableOffset,
                     std::array<std::uint8_t, kHubNodeTableSize>{});
    const int bitmapBytes = std::min<int>(b[9], zwave::kMaxBitmapBytes);
    for (int i = 0; i < bitmapBytes; ++i) {
        for (int j = 0; j < 8; ++j) {
            if ((b[10 + i] >> j) & 1) {
                SetPresent(image, 8 * i + j + 1, true);
            }
        }
    }
    g_bZWaveInitData.store(1);
}

void ApplicationCommand(ParamImage& image, const std::uint8_t* b) {
    const int node = b[8];
    const std::size_t last = 9u + b[9];
    if (node > kMaxNodeId || last >= kReportSize) {
        return;
    }
    const std::uint8_t value = b[last];
    image.SetHubByte(kHubNodeTableOffset + 1 + 2 * static_cast<std::size_t>(node), value);
    g_bZWaveResponse.store(1);
    g_bZWaveStepDone.store(1);
    Post(zwave::kApplicationCommand, NodeEvent(node, value));
}

void SendDataCallback(const std::uint8_t* b) {
    const std::uint8_t id = b[7];
    if (b[8] == kSendDataOk) {
        if (id != zwave::kRemoteKeyCallback) {
            g_bZWaveStepDone.store(1);
        }
        Post(zwave::kSendData, NodeEvent(id, 0));
    } else if (b[8] == kSendDataNoAck) {
        g_bZWaveResponse.store(1);
        g_bZWaveStepDone.store(1);
        Post(zwave::kSendData, NodeEvent(id, 1));
    }
}

void AddNodeCallback(ParamImage& image, const std::uint8_t* b) {
    const std::uint8_t status = b[8];
    if (status == kAddNodeReady || status == kAddNodeFound || status == kAddNodeFailed) {
        Post(zwave::kAddNode, status);
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
        Post(zwave::kAddNode, NodeEvent(node, kAddNodeDone));
    }
}

void RemoveNodeCallback(ParamImage& image, const std::uint8_t* b) {
    const std::uint8_t status = b[8];
    if (status != kRemoveNodeDone) {
        Post(zwave::kRemoveNode, status);
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
    Post(zwave::kRemoveNode, NodeEvent(node, kRemoveNodeDone));
}

} // namespace

void HandleZwaveFrame(ParamImage& image, const std::uint8_t* b) {
    if (b[3] == zwave::kAck) {
        return;
    }
    std::array<std::uint8_t, kReportSize> ack{2, report::kZWaveRelay, 1, zwave::kAck};
    WriteUsbDataNoWait(ack.data());
    std::this_thread::sleep_for(kAckPause);

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
        g_bZWaveStepDone.store(1);
        Post(zwave::kSetDefault, 0);
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
