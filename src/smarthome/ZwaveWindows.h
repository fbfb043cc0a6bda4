#pragma once

#include "shell/AppState.h"
#include "smarthome/ZwaveEvents.h"

#include <QString>

class QWidget;

/// What the device windows share: the connection check, the wait-window operations, the
/// dialogs' table entries, and the Z-Wave event handling bound to the shell.
namespace kv {

/// Shows "请先连接设备!" for 1100 ms and returns false when no processor is connected.
bool CheckZwaveConnected();
/// Sets a node's value behind the wait window (operation 19, 100 ms delay).
void SetDevice(const QString& text, int node, int value);
/// The remove procedure: mode 0, the wait window with text (operation 75).
void StartRemoveDevice(const QString& text);
/// The add procedure for the pending-add record: mode 1, the wait window (operation 75:
/// the device is excluded first).
void StartAddDevice();
/// Opens one of the three device dialogs for a node. The switch and dimmer dialogs take
/// the new node when open and close each other; the edit dialog, when open, is shown again
/// for the node it was created for.
QWidget* OpenZwaveDeviceDialog(ToolWindow which, int node, QWidget* owner);
/// Refreshes the smart-plug window's pages when it is open.
void RefreshSmartPlugPages();
/// Registers the device dialogs as tool windows.
void RegisterZwaveWindows();

/// The event handling's view of the shell: wait window, notices, pages and language.
class ShellZwaveUi : public IZwaveEventUi {
public:
    bool Chinese() const override;
    int AddMode() const override;
    bool WaitShown() const override;
    void SetWaitText(const std::string& text, std::optional<WaitColour> colour) override;
    void StopPendingWait() override;
    void CloseWait() override;
    void EndWait(int ms) override;
    void ShowInfo(const std::string& text, int ms) override;
    void RefreshPages() override;
    void DeleteKeyFile(int node) override;
    void StoreLearnResult(int node, bool learned) override;
};

} // namespace kv
