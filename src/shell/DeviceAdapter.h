#pragma once

#include "protocol/DeviceQueue.h"

#include <chrono>
#include <functional>
#include <initializer_list>
#include <string>

namespace kv {

class ILinkReceiver;

/// The four mute switches of the quick controls.
enum class MuteKind { Mic, Reverb, Echo, Music };

/// Everything the shell sends to the processor, and the device notices it follows, goes
/// through these functions: the link's connection and senders, the protocol's setters and
/// synchronisation threads, and the in-process simulator.
namespace device {

/// True while the processor is open.
bool IsConnected();
/// Opens the processor, starts the reader thread and the processor's write queue (its one
/// I/O owner); fails at once when already connected.
bool Connect(ILinkReceiver* receiver);
/// Lets the write queue finish what it holds (for a short while at most), then stops the
/// reader thread and closes the device (no goodbye command of its own).
void Close();
/// The path of the opened processor, empty when none.
std::string OpenedPath();

/// A one-byte command with its arguments (02 code b b ...), queued for the paced writer.
/// Every sender returns at once; the device's owner thread writes in order.
int SendCommand(std::initializer_list<int> values);
/// Like SendCommand for a command whose outcome the window reports: it goes out after every
/// setting queued before it, and done(answered) runs on the queue's owner thread once it
/// ended. False when no processor takes commands (done is not called then).
bool SendCommandInTurn(std::initializer_list<int> values, std::function<void(bool)> done);
/// Keeps the commands queued after this call at least duration behind those before it,
/// without making the caller wait.
void PauseWrites(std::chrono::milliseconds duration);
/// Waits until every queued command was written; false when one of them could not be.
/// Only for callers that must know (tools, procedures), never for a slider.
bool FlushWrites();
/// Commands replaced by a newer one for the same target before they went out, since the
/// processor was connected (0 when none is).
int ReplacedCommands();
/// Queues the status query unless one is on its way; onStatus gets a copy of the answer on
/// the queue's owner thread.
bool PollStatus(std::function<void(const StatusBytes&)> onStatus);
/// One set-parameter command with count copies of value.
int SendParam(int module, int item, double value, int count);
/// The mute setter of one level: stores the field, then sends.
void SetMute(MuteKind kind, bool muted);

/// Starts the read-all (its end reaches the connected receiver as a SyncFinished notice) on
/// a thread of its own.
void StartReadAll(ILinkReceiver* receiver);
/// Starts the write-all (ends with SyncFinished too) on a thread of its own. load,
/// when given, runs on that thread once the write-all has its turn, before anything is
/// sent: a file taken into the image there cannot be overwritten by a read-all in progress.
void StartWriteAll(ILinkReceiver* receiver, std::function<void()> load = {});

/// Makes receiver the target of the link's messages and lets the processor ask for a
/// read-all by itself. Device notices reach its OnDeviceChange from the first connection
/// attempt on.
void AttachReceiver(ILinkReceiver* receiver);
/// Stops the device notices and forgets the receiver (it is going away).
void DetachReceiver();

/// Starts a simulated processor in this process on a private bus that replaces the
/// platform's devices, so that Connect finds it. False when this build has no simulator.
bool StartSimulator();
void StopSimulator();

} // namespace device
} // namespace kv
