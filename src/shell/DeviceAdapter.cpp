#include "shell/DeviceAdapter.h"

#include "image/MainFields.h"
#include "link/ConnectionState.h"
#include "link/Link.h"
#include "protocol/CommandSink.h"
#include "protocol/Commands.h"
#include "protocol/ParamSenders.h"
#include "protocol/Synchronize.h"

namespace kv::device {

bool IsConnected() {
    return g_bDeviceConnected.load() != 0;
}

bool Connect(ILinkReceiver* receiver) {
    return ConnectUsbDevice(receiver);
}

void Close() {
    CloseUsbDevice();
}

std::string OpenedPath() {
    return OpenedDevicePath();
}

int SendCommand(std::initializer_list<int> values) {
    return CommandSink().Write(BuildCommand(values));
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

void StartWriteAll(ILinkReceiver* /*receiver*/) {
    StartWriteAllThread();
}

SyncCheck LastSync(bool writeAll) {
    if (writeAll) {
        const WriteAllOutcome w = LastWriteAll();
        switch (w.result) {
        case WriteAllResult::Done:
            return {};
        case WriteAllResult::Disconnected:
            return {SyncProblem::Lost, w.failed};
        case WriteAllResult::Incomplete:
            return {SyncProblem::Incomplete, w.failed};
        }
        return {};
    }
    const ReadAllOutcome r = LastReadAll();
    switch (r.result) {
    case ReadAllResult::NoAnswer:
        return {SyncProblem::NoAnswer, r.failed};
    case ReadAllResult::Incomplete:
        return {SyncProblem::Incomplete, r.failed};
    case ReadAllResult::Disconnected:
        return {SyncProblem::Lost, r.failed};
    default:
        return {};
    }
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
