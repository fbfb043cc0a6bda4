#pragma once

#include <cstdint>

namespace kv {

/// Report types the dispatcher knows.
namespace report {
inline constexpr std::uint8_t kReRead = 5;
inline constexpr std::uint8_t kReReadAlt = 6;
inline constexpr std::uint8_t kCurrentMode = 7;
inline constexpr std::uint8_t kParamsChanged = 9;
inline constexpr std::uint8_t kParamValue = 10;
inline constexpr std::uint8_t kStatus = 14;
inline constexpr std::uint8_t kZWaveRelay = 18;
inline constexpr std::uint8_t kHubMemory = 20;
inline constexpr std::uint8_t kStoreRead = 48;
inline constexpr std::uint8_t kIgnored49 = 49;
inline constexpr std::uint8_t kIgnored50 = 50;
inline constexpr std::uint8_t kLearnStatus = 96;
inline constexpr std::uint8_t kLearnTable = 98;
inline constexpr std::uint8_t kDspVersion = 126;
inline constexpr std::uint8_t kCommVersion = 127;
inline constexpr std::uint8_t kModel = 128;
inline constexpr std::uint8_t kMcuVersion = 129;
inline constexpr std::uint8_t kStoreBlock = 134;
inline constexpr std::uint8_t kMachineSettings = 146;
inline constexpr std::uint8_t kModeName = 219;
} // namespace report

/// Store addresses of the four mode names (report 219).
inline constexpr int kModeNameAddresses[4] = {3840, 3904, 3968, 4032};
/// Smart-home memory: device records up to this address, then the scene records.
inline constexpr int kLastDeviceAddress = 6523;
inline constexpr int kFirstSceneAddress = 6524;
inline constexpr int kLastSceneAddress = 6859;
/// Node ids the hub tables hold: 0..232.
inline constexpr int kMaxNodeId = 232;

/// Handles one inbound 61-byte report on the reader thread: copies its data into the image,
/// decodes parameter values, starts the read-all, tells the user interface, and always ends
/// by setting the acknowledgement event.
void DispatchReport(const std::uint8_t* report);

/// Makes DispatchReport the link's report handler (once per process, before connecting).
void InstallReportDispatcher();

/// Registers the launcher of the read-all thread that reports 5 and 6 start (none: they
/// are logged and nothing else happens).
void SetReadAllStarter(void (*starter)());

/// Registers the check that tells whether a store write of length bytes at address still
/// waits its turn; an answer for such bytes is then not copied into the image, which
/// already holds the newer bytes (none: every answer is copied).
void SetStoreWriteWaiting(bool (*waiting)(int address, int length));

} // namespace kv
