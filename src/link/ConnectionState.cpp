#include "link/ConnectionState.h"

#include <condition_variable>
#include <mutex>

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

namespace {
/// Guards nothing but the hand-over between SetZwaveFlag and WaitZwaveFlag, so that a flag
/// set between a waiter's test and its sleep still wakes it.
std::mutex g_zwaveFlagLock;
std::condition_variable g_zwaveFlagChanged;
} // namespace

void SetZwaveFlag(std::atomic<int>& flag) {
    {
        const std::lock_guard lock(g_zwaveFlagLock);
        flag.store(1);
    }
    g_zwaveFlagChanged.notify_all();
}

bool WaitZwaveFlag(const std::atomic<int>& flag, std::chrono::milliseconds timeout) {
    std::unique_lock lock(g_zwaveFlagLock);
    return g_zwaveFlagChanged.wait_for(lock, timeout, [&] { return flag.load() != 0; });
}

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
