#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

/// The platform layer under the link: HID interfaces found by one or more backends (the
/// hidraw devices through hidapi, the virtual bus of sockets, an in-process simulator),
/// all enumerated together behind one small interface.
namespace kv::hid {

inline constexpr std::size_t kReportBytes = 61;

/// One present HID interface.
struct HidInterface {
    std::string path;
    std::uint16_t vendorId = 0;
    std::uint16_t productId = 0;
};

/// Vendor and product id read from an opened interface.
struct HidAttributes {
    std::uint16_t vendorId = 0;
    std::uint16_t productId = 0;
};

/// How a read with a deadline ended.
enum class ReadResult {
    Report,   ///< a report was copied
    TimedOut, ///< none arrived before the deadline; the buffer is left as it is
    Failed,   ///< the device failed, went away or was closed
};

/// An opened interface. Write and a read may run on different threads at the same time,
/// one read at a time; Close may be called from any thread and ends a read in progress.
class HidDevice {
public:
    using Clock = std::chrono::steady_clock;

    virtual ~HidDevice() = default;

    virtual std::optional<HidAttributes> Attributes() = 0;
    /// Writes one 61-byte output report; returns the bytes written, 0 on failure or when
    /// the device does not take it within the time-out (a device that stopped reading).
    virtual int Write(const std::uint8_t* report, std::chrono::milliseconds timeout) = 0;
    /// Blocks until one input report arrives and copies it (at most 61 bytes; the rest of
    /// the buffer is left as it is). False when the device failed, went away or was closed.
    virtual bool Read(std::uint8_t* report) = 0;
    /// Like Read, but gives up at the deadline. It returns by then even when the device has
    /// work of its own to do first, so that a writer waiting for its answer keeps its time.
    virtual ReadResult ReadUntil(std::uint8_t* report, Clock::time_point deadline) = 0;
    /// Ends a pending Read and makes every later call fail.
    virtual void Close() = 0;
};

enum class HidNotice { Arrival, Removal };
using HidNoticeFn = std::function<void(HidNotice notice, const std::string& path)>;

/// A source of HID interfaces.
class HidBackend {
public:
    virtual ~HidBackend() = default;

    virtual std::string_view Name() const = 0;
    /// Appends the interfaces present now; false when the backend cannot enumerate at all.
    virtual bool Enumerate(std::vector<HidInterface>& out) = 0;
    /// True when the path names one of this backend's interfaces.
    virtual bool Claims(const std::string& path) const = 0;
    /// Opens the interface, or nullptr.
    virtual std::shared_ptr<HidDevice> Open(const std::string& path) = 0;
    /// Starts delivering arrival and removal notices (from a thread of the backend). While
    /// watching, a further call keeps the handler in place (StopWatching first to change
    /// it). False when the backend cannot watch.
    virtual bool StartWatching(HidNoticeFn notice) = 0;
    /// Stops the notices; none is delivered after it returns.
    virtual void StopWatching() = 0;
};

using HidBackendList = std::vector<std::shared_ptr<HidBackend>>;

/// The backends in use. On first use: hidapi and the virtual bus.
HidBackendList HidBackends();
/// Replaces the backends in use (tests use an in-process simulator alone, for example);
/// the replaced ones stop watching.
void SetHidBackends(HidBackendList backends);
/// Adds a backend after the ones in use.
void AddHidBackend(std::shared_ptr<HidBackend> backend);
/// A new list with the standard backends: hidapi, then the virtual bus.
HidBackendList DefaultHidBackends();

/// Opens a path with the backend that claims it, or nullptr.
std::shared_ptr<HidDevice> OpenHidPath(const std::string& path);

/// Why the last Open on this thread failed, when the backend knows a reason worth telling
/// the user ("in use by process 4242"); empty otherwise. OpenHidPath clears it first.
std::string LastOpenError();
void SetLastOpenError(std::string message);

} // namespace kv::hid
