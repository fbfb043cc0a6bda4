#pragma once

#include <cstdint>
#include <string>

namespace kv {

/// View message numbers (fixed; the application shell handles them on its UI thread).
inline constexpr unsigned WM_IR_LEARN_STATUS = 1001;
inline constexpr unsigned WM_SYNC_FINISHED = 1002;
inline constexpr unsigned WM_TRAY_ICON = 1224;
inline constexpr unsigned WM_ZWAVE_EVENT = 3024;
inline constexpr unsigned WM_ZWAVE_SYNC = 3025;

/// Where the link, the dispatcher and the synchronisation threads report to the user
/// interface. The application shell implements it with Qt; tests and the command-line tool
/// implement it directly. Every call may come from any thread.
class ILinkReceiver {
public:
    virtual ~ILinkReceiver() = default;

    /// Queues the message for the UI thread and returns at once.
    virtual void PostViewMessage(unsigned message, std::uintptr_t wParam, std::intptr_t lParam) = 0;
    /// Returns only after the UI thread has handled the message.
    virtual void SendViewMessage(unsigned message, std::uintptr_t wParam, std::intptr_t lParam) = 0;
    /// A message box with an OK button, shown by the user interface; returns at once (the
    /// reader never waits for the window).
    virtual void ShowErrorBox(const std::string& text, const std::string& caption) = 0;
    /// A HID interface arrived (true) or was removed (false); path names it. Delivered after
    /// RegisterUsbNotification, from a watcher thread or the reader thread. Default: ignored.
    virtual void OnDeviceChange(bool arrived, const std::string& path) {
        (void)arrived;
        (void)path;
    }
};

} // namespace kv
