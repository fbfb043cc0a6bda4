#pragma once

#include <chrono>
#include <cstdint>
#include <span>

/// The Z-Wave procedures: requests to the controller relayed through the processor, the
/// smart-home memory reads and writes, and the read and reset procedures. Every command takes
/// its turn in the device's queue: frames are written without waiting for the previous answer
/// (the controller does not answer in lock-step), memory commands paced. Without a processor
/// they are dropped.
namespace kv {

class ParamImage;

namespace zwave {
/// Longest wait for the node list and for the set-default callback.
inline constexpr std::chrono::milliseconds kNodeListTimeout{6000};
inline constexpr std::chrono::milliseconds kSetDefaultTimeout{6000};
/// The smart-home memory: 233 device records of 28 bytes, then six scene records of 56.
inline constexpr int kSceneMemoryAddress = 6524;
} // namespace zwave

/// Builds one request frame and queues it (or writes it, with no queue open); returns at
/// once. False when it was dropped (no processor, or a queue that takes no more commands).
bool SendZwaveFrame(std::span<const std::uint8_t> payload);
/// Writes the 28 bytes of device record n of the image to memory address 28 n.
void WriteDeviceRecord(int node);
/// Sends a Basic Set of value to a present node (2..232) and keeps the value as its last
/// known one. An absent node is skipped with a log line.
void SetNodeValue(int node, std::uint8_t value);
/// Asks for the node list and waits for it (6 s at most); true when it arrived.
bool ZwaveReadNodeList();
/// Reads the device record of every present node 2..232, then the six scene records, each
/// waiting for its answer (an unanswered read is asked again a bounded number of times).
/// True when every record arrived; records that did not keep what the image had.
bool ZWAVE_ReadAll();
/// Erases the controller's network and waits for its callback (6 s at most).
bool ZwaveSetDefault();
/// Zeroes the six scene records in the image and in the smart-home memory.
void ClearScenes();

/// Thread bodies of the read and reset procedures; both end by posting HubTablesRead.
void SynchronizeReadZWAVEThreadProc();
void SynchronizeResetThreadProc();
/// Start the bodies on detached threads.
void StartZwaveRead();
void StartZwaveReset();
/// Waits until no read or reset thread runs; false when the time ran out first.
bool WaitZwaveThreads(std::chrono::milliseconds timeout);

/// The hub operations behind the wait window: 19 sets a node's value, 74 starts adding,
/// 75 starts removing; cancelling sends (operation, 05, 00).
void ZwaveHubSend(int operation, int node, int value);
void ZwaveHubCancel(int operation);

} // namespace kv
