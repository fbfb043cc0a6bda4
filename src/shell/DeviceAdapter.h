#pragma once

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
/// Opens the processor and starts the reader thread; fails at once when already connected.
bool Connect(ILinkReceiver* receiver);
/// Stops the reader thread and closes the device (no goodbye command).
void Close();
/// The path of the opened processor, empty when none.
std::string OpenedPath();

/// A one-byte command with its arguments (02 code b b ...), written with the paced writer.
int SendCommand(std::initializer_list<int> values);
/// One set-parameter command with count copies of value.
int SendParam(int module, int item, double value, int count);
/// The mute setter of one level: stores the field, then sends.
void SetMute(MuteKind kind, bool muted);

/// Starts the read-all (reply: WM_SYNC_FINISHED with wParam 0) on a thread of its own.
void StartReadAll(ILinkReceiver* receiver);
/// Starts the write-all (reply: WM_SYNC_FINISHED with wParam 1) on a thread of its own.
void StartWriteAll(ILinkReceiver* receiver);

/// Arrival (true) or removal (false) of a HID interface with its path. Called on any thread.
using DeviceNotice = std::function<void(bool arrival, const std::string& path)>;
/// Follows HID arrivals and removals until StopWatching.
void WatchDevices(DeviceNotice notice);
void StopWatching();

/// Starts a simulated processor on a private virtual bus, so that Connect finds it.
bool StartSimulator();
void StopSimulator();
/// True when this build can talk to a processor at all.
bool HasLink();

} // namespace device
} // namespace kv
