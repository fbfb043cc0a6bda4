#include "link/ConnectionState.h"

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
        b.store(0, std::memory_order_relaxed);
    }
}

void StatusRecord::Set(const std::uint8_t* bytes) {
    for (std::size_t i = 0; i < kStatusRecordSize; ++i) {
        m_bytes[i].store(bytes[i], std::memory_order_relaxed);
    }
}

std::array<std::uint8_t, kStatusRecordSize> StatusRecord::Get() const {
    std::array<std::uint8_t, kStatusRecordSize> out{};
    for (std::size_t i = 0; i < kStatusRecordSize; ++i) {
        out[i] = m_bytes[i].load(std::memory_order_relaxed);
    }
    return out;
}

std::uint8_t StatusRecord::Byte(std::size_t index) const {
    return index < kStatusRecordSize ? m_bytes[index].load(std::memory_order_relaxed) : 0;
}

} // namespace kv
