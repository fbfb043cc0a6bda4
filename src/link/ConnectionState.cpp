#include "link/ConnectionState.h"

#include <bitset>
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
/// The nodes that reported and the callback ids that came since the step-done flag was last
/// cleared; guarded by g_zwaveFlagLock.
std::bitset<256> g_stepReports;
std::bitset<256> g_stepCallbacks;
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

void SetZwaveStepDone(ZwaveStepEnd by, std::uint8_t id) {
    {
        const std::lock_guard lock(g_zwaveFlagLock);
        (by == ZwaveStepEnd::Report ? g_stepReports : g_stepCallbacks).set(id);
        g_bZWaveStepDone.store(1);
    }
    g_zwaveFlagChanged.notify_all();
}

void ClearZwaveStepDone() {
    const std::lock_guard lock(g_zwaveFlagLock);
    g_stepReports.reset();
    g_stepCallbacks.reset();
    g_bZWaveStepDone.store(0);
}

bool WaitZwaveStepDone(std::uint8_t node, std::uint8_t callbackId,
                       std::chrono::milliseconds timeout) {
    std::unique_lock lock(g_zwaveFlagLock);
    return g_zwaveFlagChanged.wait_for(lock, timeout, [&] {
        return g_stepReports.test(node) || g_stepCallbacks.test(callbackId);
    });
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
