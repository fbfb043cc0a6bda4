#pragma once

#include <array>
#include <atomic>
#include <chrono>
#include <cstdint>

/// Process-wide connection state shared by the link, the dispatcher, the synchronisation
/// threads and the application shell. Every flag is an atomic written whole.
namespace kv {

/// 1 from a successful open until disconnect.
extern std::atomic<int> g_bDeviceConnected;
/// 1 after the reader thread stopped on a read error.
extern std::atomic<int> g_bReadThreadEnd;
/// Status poll allowed (cleared while a synchronisation runs). Initially 1.
extern std::atomic<int> g_bStatusPoll;
/// The "Peak" option of the about box. Initially 1.
extern std::atomic<int> g_bPeakOption;
/// Processor mode M1..M4 in use, 0..3.
extern std::atomic<int> g_nCurrentMode;
/// 1 when the processor reported that its parameters differ from the stored mode.
extern std::atomic<int> g_bParamChanged;

/// Z-Wave hub flags.
extern std::atomic<int> g_bZWaveInitData;
extern std::atomic<int> g_bZWaveStepDone;
extern std::atomic<int> g_bZWaveResponse;
extern std::atomic<int> g_bZWaveSynchronised;

/// Sets one of the Z-Wave hub flags and wakes every thread waiting for a hub flag.
void SetZwaveFlag(std::atomic<int>& flag);
/// Waits until flag is non-zero or timeout has passed; true when it was set.
bool WaitZwaveFlag(const std::atomic<int>& flag, std::chrono::milliseconds timeout);

/// What set the step-done flag: a node's report (by node) or the end of a transmission (by
/// callback id). A scene step waits for its own device, so that a report arriving late for an
/// earlier step cannot end it.
enum class ZwaveStepEnd { Report, Callback };
/// Sets the step-done flag and notes what set it.
void SetZwaveStepDone(ZwaveStepEnd by, std::uint8_t id);
/// Clears the step-done flag and everything noted since the last clear.
void ClearZwaveStepDone();
/// Waits until, since the last clear, node has reported or a transmission with callbackId has
/// ended, or until timeout has passed; true when one did.
bool WaitZwaveStepDone(std::uint8_t node, std::uint8_t callbackId,
                       std::chrono::milliseconds timeout);

inline constexpr std::size_t kStatusRecordSize = 16;

/// The 16 bytes of report 14: six meter levels, input format, two wireless receivers.
class StatusRecord {
public:
    void Clear();
    void Set(const std::uint8_t* bytes); ///< copies kStatusRecordSize bytes
    std::array<std::uint8_t, kStatusRecordSize> Get() const;
    std::uint8_t Byte(std::size_t index) const;

private:
    std::array<std::atomic<std::uint8_t>, kStatusRecordSize> m_bytes{};
};

extern StatusRecord g_statusRecord;

} // namespace kv
