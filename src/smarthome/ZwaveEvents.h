#pragma once

#include "link/LinkReceiver.h"

#include <cstdint>
#include <optional>
#include <string>

namespace kv {

/// A colour of the wait window's text line.
struct WaitColour {
    int red = 0;
    int green = 0;
    int blue = 0;
    bool operator==(const WaitColour&) const = default;
};

/// What the Z-Wave event handling needs from the windows: the wait window, notices, the
/// smart-plug pages and the interface language. The application implements it with Qt;
/// tests record the calls.
class IZwaveEventUi {
public:
    virtual ~IZwaveEventUi() = default;
    virtual bool Chinese() const = 0;
    /// 1 while a device is being added, 0 while one is being removed.
    virtual int AddMode() const = 0;
    virtual bool WaitShown() const = 0;
    /// The wait window's text line (stored for later while the window is not shown yet);
    /// no colour: the window's ordinary colour.
    virtual void SetWaitText(const std::string& text, std::optional<WaitColour> colour) = 0;
    /// Stops the pending timer that would open the wait window.
    virtual void StopPendingWait() = 0;
    /// Stops the pending timer and closes the wait window at once.
    virtual void CloseWait() = 0;
    /// Fills the bar and closes the wait window after ms.
    virtual void EndWait(int ms) = 0;
    virtual void ShowInfo(const std::string& text, int ms) = 0;
    /// Refreshes the smart-plug window's pages.
    virtual void RefreshPages() = 0;
    /// The node left the network: its key file goes.
    virtual void DeleteKeyFile(int node) = 0;
    /// A smart plug ended learning: the key being learned on the remote-key page is stored
    /// as learned or not in the node's key file, and the page's key list is reloaded.
    virtual void StoreLearnResult(int node, bool learned) {
        (void)node;
        (void)learned;
    }
};

namespace zwave {
inline constexpr int kEventAppCommand = 4;
inline constexpr int kEventSendData = 19;
inline constexpr int kEventSetDefault = 66;
inline constexpr int kEventAddNode = 74;
inline constexpr int kEventRemoveNode = 75;
inline constexpr int kNoticeMs = 1100;
inline constexpr int kFailureEndMs = 1000;
inline constexpr WaitColour kRed{255, 0, 0};
inline constexpr WaitColour kAddReadyColour{130, 0, 255};
inline constexpr WaitColour kFoundColour{255, 0, 210};
/// Reports of a smart plug (the last byte of its Basic Report) while it learns or sends a key.
inline constexpr int kKeyReady = 2;
inline constexpr int kKeyLearned = 3;
inline constexpr int kKeyChecksumError = 4;
inline constexpr int kKeyTimeout = 5;
inline constexpr int kKeySent = 6;
inline constexpr int kKeySendFailed = 7;
} // namespace zwave

/// What the application does with one Z-Wave event (function, node, status or value), on
/// the user-interface thread.
void OnZwaveEvent(IZwaveEventUi& ui, int function, int node, int status);
/// The same, for the event the hub relayed.
void OnZwaveEvent(IZwaveEventUi& ui, const notice::ZwaveEvent& event);

} // namespace kv
