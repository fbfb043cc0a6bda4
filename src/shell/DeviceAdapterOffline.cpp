// The device functions of a build without the link: nothing is ever connected, every
// command is dropped, and the setters only store into the image.
#include "shell/DeviceAdapter.h"

#include "image/ParamImage.h"
#include "link/ConnectionState.h"
#include "shell/QuickLevels.h"

namespace kv {

std::atomic<int> g_bDeviceConnected{0};
std::atomic<int> g_bReadThreadEnd{0};
std::atomic<int> g_bStatusPoll{1};
std::atomic<int> g_bPeakOption{1};
std::atomic<int> g_nCurrentMode{0};
std::atomic<int> g_bParamChanged{0};
std::atomic<int> g_bZWaveInitData{0};
std::atomic<int> g_bZWaveStepDone{0};
std::atomic<int> g_bZWaveResponse{0};
std::atomic<int> g_bZWaveSynchronised{0};
StatusRecord g_statusRecord;

void StatusRecord::Clear() {
    for (auto& b : m_bytes) {
        b.store(0);
    }
}

void StatusRecord::Set(const std::uint8_t* bytes) {
    for (std::size_t i = 0; i < kStatusRecordSize; ++i) {
        m_bytes[i].store(bytes[i]);
    }
}

std::array<std::uint8_t, kStatusRecordSize> StatusRecord::Get() const {
    std::array<std::uint8_t, kStatusRecordSize> out{};
    for (std::size_t i = 0; i < kStatusRecordSize; ++i) {
        out[i] = m_bytes[i].load();
    }
    return out;
}

std::uint8_t StatusRecord::Byte(std::size_t index) const {
    return index < kStatusRecordSize ? m_bytes[index].load() : 0;
}

namespace device {

bool IsConnected() {
    return false;
}
bool Connect(ILinkReceiver*) {
    return false;
}
void Close() {}
std::string OpenedPath() {
    return {};
}
int SendCommand(std::initializer_list<int>) {
    return 0;
}
int SendParam(int, int, double, int) {
    return 0;
}

void SetMute(MuteKind kind, bool muted) {
    GetParamImage().SetInt(*QuickLevelOfMute(kind).muteField, muted ? 1 : 0);
}

void StartReadAll(ILinkReceiver*) {}
void StartWriteAll(ILinkReceiver*) {}
void WatchDevices(DeviceNotice) {}
void StopWatching() {}
bool StartSimulator() {
    return false;
}
void StopSimulator() {}
bool HasLink() {
    return false;
}

} // namespace device
} // namespace kv
