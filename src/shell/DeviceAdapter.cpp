#include "shell/DeviceAdapter.h"

#include "image/MainFields.h"
#include "link/ConnectionState.h"
#include "link/Link.h"
#include "protocol/CommandSink.h"
#include "protocol/Commands.h"
#include "protocol/DeviceQueue.h"
#include "protocol/Dispatcher.h"
#include "protocol/ParamSenders.h"
#include "protocol/Synchronize.h"

namespace kv::device {

namespace {

/// How long closing waits for queued commands before the link is closed under them.
constexpr auto kDrainWait = std::chrono::milliseconds(1000);

} // namespace

bool IsConnected() {
    return g_bDeviceConnected.load() != 0;
}

bool Connect(ILinkReceiver* receiver) {
    InstallReportDispatcher();
    if (!ConnectUsbDevice(receiver)) {
        return false;
    }
    OpenDeviceQueue();
    return true;
}

void Close() {
    // Stop taking commands and let the owner write what it holds; a processor that stopped
    // answering gets kDrainWait, then the closed link refuses the rest at once.
    auto queue = DeviceQueue();
    CloseDeviceQueue(kDrainWait);
    CloseUsbDevice();
    queue.reset(); // the owner ends here unless a synchronisation still holds it
}

std::string OpenedPath() {
    return OpenedDevicePath();
}

int SendCommand(std::initializer_list<int> values) {
    return CommandSink().Write(BuildCommand(values));
}

bool SendCommandInTurn(std::initializer_list<int> values, std::function<void(bool)> done) {
    return PostInTurn(BuildCommand(values), [done = std::move(done)](Delivery delivery) {
        done(delivery == Delivery::Answered);
    });
}

void PauseWrites(std::chrono::milliseconds duration) {
    CommandSink().Pause(duration);
}

bool FlushWrites() {
    return FlushDeviceQueue();
}

int ReplacedCommands() {
    auto queue = DeviceQueue();
    return queue ? queue->Replaced() : 0;
}

bool PollStatus(std::function<void(const StatusBytes&)> onStatus) {
    return PostStatusQuery(std::move(onStatus));
}

int SendParam(int module, int item, double value, int count) {
    return kv::SendParam(module, item, static_cast<float>(value), count);
}

void SetMute(MuteKind kind, bool muted) {
    const int value = muted ? 1 : 0;
    switch (kind) {
    case MuteKind::Mic:
        SetParam(fields::micMute, 0, value);
        break;
    case MuteKind::Reverb:
        SetParam(fields::reverbMute, 0, value);
        break;
    case MuteKind::Echo:
        SetParam(fields::echoMute, 0, value);
        break;
    case MuteKind::Music:
        SetMusicMute(muted);
        break;
    }
}

void StartReadAll(ILinkReceiver* /*receiver*/) {
    StartReadAllThread();
}

void StartWriteAll(ILinkReceiver* /*receiver*/, std::function<void()> load) {
    StartWriteAllThread(std::move(load));
}

void AttachReceiver(ILinkReceiver* receiver) {
    SetLinkReceiver(receiver);
    InstallReadAllStarter();
}

void DetachReceiver() {
    UnregisterUsbNotification();
    SetLinkReceiver(nullptr);
}

} // namespace kv::device
