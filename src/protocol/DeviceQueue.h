#pragma once

#include "link/ConnectionState.h"
#include "protocol/CommandQueue.h"

#include <array>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>

/// The write path of the open device. While a device is open, every command the process
/// sends through CommandSink() (setters, the status poll, mode commands, the
/// synchronisation procedures) goes through that device's CommandQueue, written by its one
/// owner thread; callers that must know the outcome wait for it (Exchange, Flush).
namespace kv {

/// Opens the queue of the device just connected over the sink in use (the link) and makes
/// it the process's sink. Does nothing when one is open.
void OpenDeviceQueue();
/// Takes no more commands, lets the queue write what it holds for at most drainWait, then
/// makes the sink below the process's sink again. The queue ends once its last user has
/// returned; the caller closes the link afterwards, which ends what could not be written.
/// True when everything queued was written within drainWait.
bool CloseDeviceQueue(std::chrono::milliseconds drainWait);
/// The open device's queue (nullptr when none); holding the pointer keeps it alive.
std::shared_ptr<CommandQueue> DeviceQueue();
/// Waits until the open device's queue is empty; true when every command written since the
/// last flush was written in full (true when no queue is open).
bool FlushDeviceQueue();

/// True while the open device's queue holds a store write of length bytes at address that
/// has not been written yet: the image already holds newer bytes there than any answer the
/// processor can give before that write.
bool StoreWriteWaiting(int address, int length);

using StatusBytes = std::array<std::uint8_t, kStatusRecordSize>;
/// Queues a status query (command 14) unless one is still on its way, and returns at once.
/// onStatus gets a copy of the status record when the answer came (on the owner thread).
/// False when no query was queued.
bool PostStatusQuery(std::function<void(const StatusBytes&)> onStatus);

/// Queues a command behind every setting queued before it (nothing queued later replaces
/// them) and returns at once; done gets how it ended, on the owner thread. False when no
/// queue is open or it takes no more commands (done is not called then).
bool PostInTurn(const Command& command, std::function<void(Delivery)> done);

} // namespace kv
