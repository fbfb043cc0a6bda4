#include "protocol/Dispatcher.h"

#include "image/ParamImage.h"
#include "link/ConnectionState.h"
#include "link/DebugLog.h"
#include "link/Link.h"
#include "link/LinkReceiver.h"
#include "protocol/ParamDecoder.h"
#include "protocol/ZWaveRelay.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <span>
#include <string>

namespace kv {

namespace {

constexpr std::size_t kBlockDataOffset = 5;
/// Data bytes a block report can carry: b[5..60].
constexpr std::size_t kMaxBlockData = kReportSize - kBlockDataOffset;
constexpr std::size_t kLearnTableBytes = 16;
constexpr std::size_t kRemoteKeyTableBytes = 18;

std::atomic<void (*)()> g_readAllStarter{nullptr};
std::atomic<bool (*)(int, int)> g_storeWriteWaiting{nullptr};
std::atomic<bool> g_paramErrorShown{false};

int Address(const std::uint8_t* b) {
    return b[2] * 256 + b[3];
}

/// The block data of an address/length/data report, cut at the report's end.
std::span<const std::uint8_t> BlockData(const std::uint8_t* b) {
    return {b + kBlockDataOffset, std::min<std::size_t>(b[4], kMaxBlockData)};
}

/// b[2], b[3], ... up to a zero byte or the report's end, each byte one code unit.
std::u16string AsciiText(const std::uint8_t* b) {
    std::u16string text;
    for (std::size_t i = 2; i < kReportSize && b[i] != 0; ++i) {
        text.push_back(static_cast<char16_t>(b[i]));
    }
    return text;
}

void StartReadAll() {
    DebugWrite("Start thread:SynchronizeData\n");
    if (auto starter = g_readAllStarter.load()) {
        starter();
    } else {
        DebugWrite("no read-all starter registered\n");
    }
}

void ParamValue(ParamImage& image, const std::uint8_t* b) {
    if (b[2] != 0 && !g_paramErrorShown.exchange(true)) {
        char text[128];
        std::snprintf(text, sizeof text, "参数错误,代码0x:%02X,指令1:0x%02X,指令2:0x%02X ", b[2],
                      b[3], b[4]);
        if (ILinkReceiver* receiver = LinkReceiver()) {
            receiver->ShowErrorBox(text, "Error");
        }
    }
    DecodeParam(image, b[3], b[4], std::span<const std::uint8_t>(b + 6, kReportSize - 6));
}

void HubMemory(ParamImage& image, const std::uint8_t* b) {
    const int a = Address(b);
    if (a <= kLastDeviceAddress) {
        const auto record = static_cast<std::size_t>(a) / kDeviceRecordSize;
        image.WriteBlock(Block::DeviceTable, record * kDeviceRecordSize, BlockData(b));
    } else if (a <= kLastSceneAddress) {
        const auto record = static_cast<std::size_t>(a - kFirstSceneAddress) / kSceneRecordSize;
        image.WriteBlock(Block::SceneTable, record * kSceneRecordSize, BlockData(b));
    } else {
        DebugWrite("ZWaveReadMemFunc over range");
    }
}

void StoreRead(ParamImage& image, const std::uint8_t* b) {
    const int a = Address(b);
    if (a < static_cast<int>(kReadBackSize)) {
        image.WriteBlock(Block::ReadBack, static_cast<std::size_t>(a), BlockData(b));
    }
}

void StoreBlock(ParamImage& image, const std::uint8_t* b) {
    const int a = Address(b);
    const auto waiting = g_storeWriteWaiting.load();
    if (waiting && waiting(a, b[4])) {
        // The answer to an older write while a newer one for the same bytes waits: the
        // image already holds the newer bytes, which the next answer confirms.
        return;
    }
    if (a < static_cast<int>(kSystemBlockSize)) {
        if (b[5] == 0xFF && b[6] == 0xFF) {
            image.FillBlock(Block::System, 0);
        } else {
            image.WriteBlock(Block::System, static_cast<std::size_t>(a), BlockData(b));
        }
    } else if (a == static_cast<int>(kReadBackExtensionOffset)) {
        image.WriteBlock(Block::Extension, 0, BlockData(b));
    } else if (a == static_cast<int>(kReadBackRoutingOffset)) {
        image.WriteBlock(Block::Routing, 0, BlockData(b)); // recomputes the geometry
    } else if (a == static_cast<int>(kReadBackTailOffset)) {
        image.WriteBlock(Block::Tail, 0, BlockData(b));
    }
}

void ModeName(ParamImage& image, const std::uint8_t* b) {
    if (b[5] == 0xFF && b[6] == 0xFF && b[7] == 0xFF && b[8] == 0xFF) {
        return;
    }
    const auto* slot =
        std::find(std::begin(kModeNameAddresses), std::end(kModeNameAddresses), Address(b));
    if (slot == std::end(kModeNameAddresses)) {
        return;
    }
    std::u16string name;
    for (std::size_t k = 0; 2 * k < b[4] && 6 + 2 * k < kReportSize; ++k) {
        const auto u = static_cast<char16_t>(b[5 + 2 * k] * 256 + b[6 + 2 * k]);
        if (u == 0) {
            break;
        }
        name.push_back(u);
    }
    image.SetModeName(static_cast<int>(slot - std::begin(kModeNameAddresses)), name);
}

void LearnStatus(ParamImage& image, const std::uint8_t* b) {
    image.SetHubByte(0, b[2]);
    // Only the remote key table: a key index from the device never reaches the node table.
    if (b[3] < kRemoteKeyTableBytes) {
        image.SetHubByte(b[3], b[4]);
    }
    if (ILinkReceiver* receiver = LinkReceiver()) {
        receiver->PostNotice(notice::LearnStatus{b[4]});
    }
}

void Dispatch(ParamImage& image, const std::uint8_t* b) {
    switch (b[1]) {
    case report::kReRead:
    case report::kReReadAlt:
        StartReadAll();
        break;
    case report::kCurrentMode:
        if (b[2] < kModes) {
            g_nCurrentMode.store(b[2]);
        }
        break;
    case report::kParamsChanged:
        g_bParamChanged.store(1);
        break;
    case report::kParamValue:
        ParamValue(image, b);
        break;
    case report::kStatus:
        g_statusRecord.Set(b + 2);
        break;
    case report::kZWaveRelay:
        HandleZwaveFrame(image, b);
        break;
    case report::kHubMemory:
        HubMemory(image, b);
        break;
    case report::kStoreRead:
        StoreRead(image, b);
        break;
    case report::kLearnStatus:
        LearnStatus(image, b);
        break;
    case report::kLearnTable:
        image.WriteBlock(Block::Hub, 0, std::span(b + 2, kLearnTableBytes));
        break;
    case report::kDspVersion:
        image.SetDspVersion(AsciiText(b));
        break;
    case report::kCommVersion:
        image.SetCommVersion(b[2]);
        break;
    case report::kModel:
        image.SetModel(AsciiText(b));
        break;
    case report::kMcuVersion:
        image.SetMcuVersion(AsciiText(b));
        break;
    case report::kStoreBlock:
        StoreBlock(image, b);
        break;
    case report::kMachineSettings:
        image.WriteBlock(Block::Hub, kHubSettingsOffset, std::span(b + 2, kMachineSettingsSize));
        image.WriteBlock(Block::Hub, kHubSettingsEditOffset,
                         std::span(b + 2, kMachineSettingsSize));
        break;
    case report::kModeName:
        ModeName(image, b);
        break;
    default: // 49, 50 and unknown types: nothing
        break;
    }
}

} // namespace

void DispatchReport(const std::uint8_t* report) {
    Dispatch(GetParamImage(), report);
    SetAckEvent();
}

void InstallReportDispatcher() {
    SetReportHandler(&DispatchReport);
}

void SetReadAllStarter(void (*starter)()) {
    g_readAllStarter.store(starter);
}

void SetStoreWriteWaiting(bool (*waiting)(int address, int length)) {
    g_storeWriteWaiting.store(waiting);
}

} // namespace kv
