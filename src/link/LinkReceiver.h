#pragma once

#include <cstdint>
#include <string>
#include <variant>

namespace kv {

/// What the link, the dispatcher and the worker threads tell the user interface, one typed
/// value per kind. Each is a plain copy: it may cross threads and outlive its sender.
namespace notice {

enum class SyncKind : std::uint8_t { ReadAll, WriteAll };

/// How a synchronisation ended, as far as the window must tell the user.
enum class SyncEnd : std::uint8_t {
    Answered,   ///< every request was answered (the window checks model and version itself)
    NoAnswer,   ///< the processor did not answer in time
    Incomplete, ///< some requests stayed unanswered after every attempt (failed says how many)
    Lost,       ///< the processor went away
};

/// A read-all or write-all ended.
struct SyncFinished {
    SyncKind kind = SyncKind::ReadAll;
    SyncEnd end = SyncEnd::Answered;
    int failed = 0; ///< requests left unanswered
    bool operator==(const SyncFinished&) const = default;
};

/// The processor reported the code it learned for the remote key being taught.
struct LearnStatus {
    std::uint8_t code = 0;
    bool operator==(const LearnStatus&) const = default;
};

/// A frame the smart-home hub relayed: the Z-Wave function it answers, the node (or the
/// callback id of a send) it names, 0 when none, and its status or value byte.
struct ZwaveEvent {
    std::uint8_t function = 0;
    std::uint8_t node = 0;
    std::uint8_t status = 0;
    bool operator==(const ZwaveEvent&) const = default;
};

/// Progress of the hub threads.
enum class ZwaveProgress : std::uint8_t {
    SceneStarted,  ///< the scene thread began a scene
    SceneEnded,    ///< the scene thread finished it
    HubTablesRead, ///< the hub's read or reset thread ended (the synchronised flag says how)
};
struct ZwaveSync {
    ZwaveProgress progress = ZwaveProgress::HubTablesRead;
    bool operator==(const ZwaveSync&) const = default;
};

} // namespace notice

using LinkNotice =
    std::variant<notice::SyncFinished, notice::LearnStatus, notice::ZwaveEvent, notice::ZwaveSync>;

/// Where the link, the dispatcher and the synchronisation threads report to the user
/// interface. The application shell implements it with Qt; tests and the command-line tool
/// implement it directly. Every call may come from any thread, the reader's included, and
/// none waits for the window.
class ILinkReceiver {
public:
    virtual ~ILinkReceiver() = default;

    /// Hands a copy of the notice to the user interface and returns at once.
    virtual void PostNotice(const LinkNotice& notice) = 0;
    /// A message box with an OK button, shown by the user interface; returns at once.
    virtual void ShowErrorBox(const std::string& text, const std::string& caption) = 0;
    /// A HID interface arrived (true) or was removed (false); path names it. Delivered after
    /// RegisterUsbNotification, from a watcher thread or the reader thread. Default: ignored.
    virtual void OnDeviceChange(bool arrived, const std::string& path) {
        (void)arrived;
        (void)path;
    }
};

/// Builds a visitor from lambdas, one per notice kind it handles.
template <typename... Handlers>
struct NoticeVisitor : Handlers... {
    using Handlers::operator()...;
};
template <typename... Handlers>
NoticeVisitor(Handlers...) -> NoticeVisitor<Handlers...>;

} // namespace kv
