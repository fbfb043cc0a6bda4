#include "smarthome/ZwaveDevices.h"

#include "image/ParamImage.h"
#include "link/ConnectionState.h"
#include "link/DebugLog.h"
#include "link/Link.h"
#include "link/LinkReceiver.h"
#include "protocol/CommandSink.h"
#include "protocol/Dispatcher.h"
#include "smarthome/ZwaveFrames.h"
#include "smarthome/ZwaveNodes.h"

#include <array>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

namespace kv {

namespace {

constexpr auto kReadAllLead = std::chrono::milliseconds(30);
constexpr auto kRecordsToScenes = std::chrono::milliseconds(50);
constexpr auto kSettle = std::chrono::milliseconds(100);

/// Memory commands take their turn in the device's queue like every paced command, so the
/// window's own commands and these stay in the order they were made.
void WriteMemory(const zwave::OutReport& report) {
    CommandSink().Write(report);
}

/// Reads one memory record; true when the processor answered with that record. A missing
/// answer is asked again (the sink's bounded retries).
bool ReadMemory(AnsweredSink& sink, int address, std::size_t length) {
    const zwave::OutReport request = zwave::MemoryRead(address, length);
    const auto isRecord = [address](const std::uint8_t* r) {
        return r[1] == report::kHubMemory && r[2] * 256 + r[3] == address;
    };
    return sink.Exchange(request, isRecord) == Delivery::Answered;
}

/// Tells the window the hub threads ended. Nothing after it on the thread depends on the
/// window, so the thread does not wait for it.
void PostHubTablesRead() {
    if (ILinkReceiver* receiver = LinkReceiver()) {
        receiver->PostNotice(notice::ZwaveSync{notice::ZwaveProgress::HubTablesRead});
    }
}

/// The read and reset threads still running. Never destroyed: a detached thread may end
/// after static destruction has begun.
struct ZwaveThreads {
    std::mutex lock; ///< guards running
    std::condition_variable ended;
    int running = 0;
};

ZwaveThreads& Threads() {
    static auto* threads = new ZwaveThreads;
    return *threads;
}

void StartDetached(void (*body)()) {
    ZwaveThreads& threads = Threads();
    {
        const std::lock_guard lock(threads.lock);
        ++threads.running;
    }
    std::thread([body, &threads] {
        body();
        {
            const std::lock_guard lock(threads.lock);
            --threads.running;
        }
        threads.ended.notify_all();
    }).detach();
}

} // namespace

bool SendZwaveFrame(std::span<const std::uint8_t> payload) {
    const zwave::OutReport report = zwave::RequestFrame(payload);
    return CommandSink().WriteUnpaced(report) == static_cast<int>(report.size());
}

void WriteDeviceRecord(int node) {
    if (node < 0 || node > zwave::kLastNode) {
        return;
    }
    std::array<std::uint8_t, kDeviceRecordSize> record{};
    GetParamImage().ReadBlock(Block::DeviceTable,
                              static_cast<std::size_t>(node) * kDeviceRecordSize, record);
    WriteMemory(zwave::MemoryWrite(node * static_cast<int>(kDeviceRecordSize), record));
}

void SetNodeValue(int node, std::uint8_t value) {
    ParamImage& image = GetParamImage();
    if (node < zwave::kFirstDeviceNode || !zwave::NodePresent(image, node)) {
        DebugWrite("此ID不存在，跳过设置命令");
        return;
    }
    zwave::SetNodeValueInImage(image, node, value);
    SendZwaveFrame(zwave::BasicSetPayload(node, value));
}

bool ZwaveReadNodeList() {
    g_bZWaveInitData.store(0);
    if (!SendZwaveFrame(zwave::GetInitDataPayload())) {
        return false; // no processor, or its queue takes no more commands
    }
    return WaitZwaveFlag(g_bZWaveInitData, zwave::kNodeListTimeout);
}

bool ZWAVE_ReadAll() {
    AnsweredSink sink;
    sink.Pause(kReadAllLead);
    DebugWrite("ZWAVE_ReadAll\n");
    for (int node : zwave::PresentDevices(GetParamImage())) {
        ReadMemory(sink, node * static_cast<int>(kDeviceRecordSize), kDeviceRecordSize);
    }
    sink.Pause(kRecordsToScenes);
    for (int k = 0; k < kSceneRecords; ++k) {
        ReadMemory(sink, zwave::kSceneMemoryAddress + k * static_cast<int>(kSceneRecordSize),
                   kSceneRecordSize);
    }
    if (sink.Failures() > 0) {
        DebugWrite("ZWAVE_ReadAll: " + std::to_string(sink.Failures()) + " records not read\n");
    }
    return sink.Failures() == 0;
}

bool ZwaveSetDefault() {
    g_bZWaveStepDone.store(0);
    if (!SendZwaveFrame(zwave::SetDefaultPayload())) {
        return false;
    }
    return WaitZwaveFlag(g_bZWaveStepDone, zwave::kSetDefaultTimeout);
}

void ClearScenes() {
    ParamImage& image = GetParamImage();
    image.FillBlock(Block::SceneTable, 0);
    const std::array<std::uint8_t, kSceneRecordSize> zero{};
    for (int k = 0; k < kSceneRecords; ++k) {
        WriteMemory(zwave::MemoryWrite(
            zwave::kSceneMemoryAddress + k * static_cast<int>(kSceneRecordSize), zero));
    }
}

void SynchronizeReadZWAVEThreadProc() {
    ZwaveReadNodeList();
    if (zwave::NodePresent(GetParamImage(), zwave::kControllerNode)) {
        if (g_bZWaveInitData.load()) {
            // The tables count as read only when every record arrived; otherwise the window
            // says the synchronisation failed and reads again next time.
            g_bZWaveSynchronised.store(ZWAVE_ReadAll() ? 1 : 0);
            std::this_thread::sleep_for(kSettle);
        }
        PostHubTablesRead();
        DebugWrite("End thread: SynchronizeReadZWAVEThreadProc\n");
    } else {
        g_bZWaveSynchronised.store(0);
        PostHubTablesRead();
    }
}

void SynchronizeResetThreadProc() {
    ZwaveSetDefault();
    ClearScenes();
    ZwaveReadNodeList();
    if (!ZWAVE_ReadAll()) {
        g_bZWaveSynchronised.store(0);
    }
    std::this_thread::sleep_for(kSettle);
    PostHubTablesRead();
    DebugWrite("End thread: SynchronizeResetThreadProc\n");
}

void StartZwaveRead() {
    StartDetached(&SynchronizeReadZWAVEThreadProc);
}

void StartZwaveReset() {
    StartDetached(&SynchronizeResetThreadProc);
}

bool WaitZwaveThreads(std::chrono::milliseconds timeout) {
    ZwaveThreads& threads = Threads();
    std::unique_lock lock(threads.lock);
    return threads.ended.wait_for(lock, timeout, [&] { return threads.running == 0; });
}

void ZwaveHubSend(int operation, int node, int value) {
    switch (operation) {
    case zwave::kOperationSet:
        SetNodeValue(node, static_cast<std::uint8_t>(value));
        break;
    case zwave::kOperationAdd:
        SendZwaveFrame(zwave::AddNodePayload());
        break;
    case zwave::kOperationRemove:
        SendZwaveFrame(zwave::RemoveNodePayload());
        break;
    default:
        break;
    }
}

void ZwaveHubCancel(int operation) {
    SendZwaveFrame(zwave::CancelPayload(operation));
}

} // namespace kv
