#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <memory>
#include <span>
#include <string>

/// The USB HID link to the processor: one opened device, a reader thread, lock-step
/// writers paced by the acknowledgement event. Process-wide, like the device it drives.
/// One thread at a time reads the device and dispatches what it read: a writer waiting for
/// an answer while no one else reads, so that exchanges in a row wake no other thread, and
/// otherwise the reader thread, which takes over once the writers have left.
namespace kv {

class ILinkReceiver;

namespace hid {
class HidDevice;
struct HidInterface;
} // namespace hid

inline constexpr std::size_t kReportSize = 61;
inline constexpr std::size_t kMaxStoreChunk = 56;
inline constexpr int kAckWaitMs = 2000;
inline constexpr int kReaderExitWaitMs = 1000;
/// Interfaces looked at per enumeration.
inline constexpr int kMaxEnumeratedInterfaces = 32;

/// Creates the link's events and lock afresh; called before every connection attempt.
void InitUsbObjects();
/// Starts the arrival and removal notices of every backend; they go to the receiver's
/// OnDeviceChange, which should not block on another thread (post, do not wait). Shows
/// "Can't register device notification: " when no backend can watch.
bool RegisterUsbNotification();
/// Stops the notices (used when the receiver goes away, and by tests).
void UnregisterUsbNotification();
/// Finds and opens the processor. Sets the device and its path.
bool OpenUsbDevice();
/// Opens one interface and keeps it only when its vendor and product id are the
/// processor's; sets the opened path then.
std::shared_ptr<hid::HidDevice> TryOpenUsbPath(const hid::HidInterface& iface);
/// Connects: fails at once when already connected; otherwise opens the processor, records
/// the receiver, sets g_bDeviceConnected and starts the reader thread. A connection or a
/// close under way on another thread is finished first; no lock is held while opening.
bool ConnectUsbDevice(ILinkReceiver* receiver);
/// Stops the reader (1000 ms at most) and closes the device, with no lock held. A notice in
/// delivery on another thread ends first (one on this thread cannot).
void CloseUsbDevice();
/// Why the last search for the processor found a device it could not open (another program
/// has it, for example); "" when there was no such device.
std::string LastOpenFailure();
/// The path of the opened processor ("" when none).
std::string OpenedDevicePath();
/// The receiver recorded by the last ConnectUsbDevice or SetLinkReceiver (may be null).
ILinkReceiver* LinkReceiver();
/// Records the receiver without connecting (so notices reach it before a processor is
/// found). Returns once no notice is being handed to the previous one. A receiver must stay
/// valid until it is replaced (SetLinkReceiver(nullptr) before destroying it), the link is
/// closed and the notices are stopped (UnregisterUsbNotification).
void SetLinkReceiver(ILinkReceiver* receiver);

/// The ordinary writer: waits for the previous answer (2000 ms at most), then writes the
/// bytes (at most 61, zero-padded). Returns the bytes written, 0 when not connected.
int WriteUsbData(const std::uint8_t* data, std::size_t n);
/// Like WriteUsbData without waiting for an answer; always writes 61 bytes.
int WriteUsbDataNoWait(const std::uint8_t* data);
/// Builds 02 code b b ... from the values up to the first -1 (at most 60) and writes it
/// with WriteUsbData.
int SendUsbCommand(std::initializer_list<int> values);
/// Store write (command 133) of at most 56 bytes at address, written like WriteUsbData.
int WriteStore(int address, std::span<const std::uint8_t> data);

/// How one command sent with ExchangeUsbData ended.
enum class Delivery {
    Answered, ///< written, and its answer arrived
    NoAnswer, ///< written, but no answer arrived within the answer wait
    NotSent,  ///< not written: not connected, the link failed or the write did not complete
};

/// Says whether a report answers the command just written. An empty check takes the next
/// report of any type, as the lock-step rule counts answers.
using AnswerCheck = std::function<bool(const std::uint8_t* report)>;

/// The paced write of one command (at most 61 bytes, zero-padded), then a wait of at most
/// the answer wait for a report the check accepts. The report has been dispatched when
/// this returns Answered.
Delivery ExchangeUsbData(const std::uint8_t* data, std::size_t n, const AnswerCheck& isAnswer = {});

/// The time a writer waits for an answer (kAckWaitMs unless changed). Tests and tools that
/// emulate slow processors shorten it; it applies to the next wait.
std::chrono::milliseconds AnswerWait();
void SetAnswerWait(std::chrono::milliseconds wait);

/// Sets the acknowledgement event: the dispatcher after every report, and callers that must
/// not wait for an answer that will not come (a cancelled learning, for example).
void SetAckEvent();

/// What the reader does with each report before it counts as an answer (the report
/// dispatcher of the layer above). Process-wide; none: reports only pace the writers.
using ReportHandler = void (*)(const std::uint8_t* report);
void SetReportHandler(ReportHandler handler);

/// Reads one report and dispatches it, once no other thread reads; false when the read
/// failed or the link ended.
bool ReadUsbData();
/// The reader thread's body.
void ReadUsbThreadProc();

} // namespace kv
