#include "smarthome/ZwaveWindows.h"

#include "shell/CWaitDlg.h"
#include "shell/DeviceAdapter.h"
#include "shell/Language.h"
#include "shell/Shell.h"
#include "shell/ToolWindows.h"
#include "smarthome/CDlgZwaveEdit.h"
#include "smarthome/CDlgZwaveLight.h"
#include "smarthome/CDlgZwaveSwitch.h"
#include "smarthome/CRemoteLearnDlg.h"
#include "smarthome/KeyFile.h"
#include "smarthome/ZwaveDevices.h"
#include "smarthome/ZwaveFrames.h"

#include <QColor>

namespace kv {

namespace {

constexpr int kNoticeMs = 1100;
constexpr int kSetDelayMs = 100;

/// The operation the wait window waits for (the view keeps only its number for the cancel).
struct PendingHubOperation {
    int operation = 0;
    int node = 0;
    int value = 0;
};
PendingHubOperation g_pendingHub;

/// A plug is learning key value - 192 (255 is the "on" of a switch, not a key).
bool IsKeyLearning(const PendingHubOperation& p) {
    return p.operation == zwave::kOperationSet && p.value >= CRemoteLearnDlg::kFirstLearnValue &&
           p.value < 255;
}

/// The wait window's operations go to the Z-Wave procedures; installed before each use, as
/// the main window may have been created after the dialogs were registered. Cancelling a
/// learning wait also marks the key not learned.
void InstallHubOperations() {
    SetHubOperations({[](int operation, int node, int value) {
                          g_pendingHub = {operation, node, value};
                          ZwaveHubSend(operation, node, value);
                      },
                      [](int operation) {
                          ZwaveHubCancel(operation);
                          const PendingHubOperation pending = g_pendingHub;
                          if (pending.operation != operation || !IsKeyLearning(pending)) {
                              return;
                          }
                          const int key = pending.value - CRemoteLearnDlg::kFirstLearnValue;
                          if (CRemoteLearnDlg* page = OpenRemoteLearnPage()) {
                              page->LearningAborted(pending.node, key);
                          } else {
                              SetKeyStatus(pending.node, key, 0);
                          }
                      }});
}

QWidget* CreateDialog(ToolWindow which, int node, QWidget* owner) {
    switch (which) {
    case ToolWindow::ZwaveEdit:
        return new CDlgZwaveEdit(node, owner);
    case ToolWindow::ZwaveSwitch:
        return new CDlgZwaveSwitch(node, owner);
    case ToolWindow::ZwaveLight:
        return new CDlgZwaveLight(node, owner);
    default:
        return nullptr;
    }
}

void CloseWindow(ToolWindow which) {
    if (QWidget* open = GetAppState().OpenWindow(which)) {
        open->close();
    }
}

} // namespace

bool CheckZwaveConnected() {
    if (device::IsConnected()) {
        return true;
    }
    ShowInfo(Tr("请先连接设备!", "Please connect device!"), kNoticeMs);
    return false;
}

void SetDevice(const QString& text, int node, int value) {
    InstallHubOperations();
    ShowWaitDialog(text, zwave::kOperationSet, node, value, kSetDelayMs);
}

void StartRemoveDevice(const QString& text) {
    InstallHubOperations();
    GetAppState().zwaveAddMode = 0;
    ShowWaitDialog(text, zwave::kOperationRemove, 0, 0, 0);
}

void StartAddDevice() {
    InstallHubOperations();
    GetAppState().zwaveAddMode = 1;
    ShowWaitDialog(QStringLiteral("添加设备……"), zwave::kOperationRemove, 0, 0, 0);
}

QWidget* OpenZwaveDeviceDialog(ToolWindow which, int node, QWidget* owner) {
    AppState& state = GetAppState();
    if (which == ToolWindow::ZwaveSwitch) {
        CloseWindow(ToolWindow::ZwaveLight);
    } else if (which == ToolWindow::ZwaveLight) {
        CloseWindow(ToolWindow::ZwaveSwitch);
    }
    QWidget* open = state.OpenWindow(which);
    if (auto* switchDialog = qobject_cast<CDlgZwaveSwitch*>(open)) {
        switchDialog->SetNode(node);
    } else if (auto* lightDialog = qobject_cast<CDlgZwaveLight*>(open)) {
        lightDialog->SetNode(node);
    }
    if (!open) {
        QWidget* created = CreateDialog(which, node, owner);
        if (!created) {
            return nullptr;
        }
        created->setAttribute(Qt::WA_DeleteOnClose);
        state.Window(which) = created;
    }
    return OpenToolWindow(which, owner);
}

void RefreshSmartPlugPages() {
    if (auto* plug = dynamic_cast<IShellWindow*>(GetAppState().OpenWindow(ToolWindow::SmartPlug))) {
        plug->RefreshFromImage();
    }
}

void RegisterZwaveWindows() {
    for (ToolWindow which :
         {ToolWindow::ZwaveEdit, ToolWindow::ZwaveSwitch, ToolWindow::ZwaveLight}) {
        RegisterToolWindow(which,
                           [which](QWidget* parent) { return CreateDialog(which, 0, parent); });
    }
}

// --- ShellZwaveUi ------------------------------------------------------------------------------

bool ShellZwaveUi::Chinese() const {
    return LanguageIndex() == kChinese;
}

int ShellZwaveUi::AddMode() const {
    return GetAppState().zwaveAddMode;
}

bool ShellZwaveUi::WaitShown() const {
    return GetAppState().waitDialog != nullptr;
}

void ShellZwaveUi::SetWaitText(const std::string& text, std::optional<WaitColour> colour) {
    std::optional<QColor> qcolour;
    if (colour) {
        qcolour = QColor(colour->red, colour->green, colour->blue);
    }
    kv::SetWaitText(QString::fromStdString(text), qcolour);
}

void ShellZwaveUi::StopPendingWait() {
    kv::StopPendingWait();
}

void ShellZwaveUi::CloseWait() {
    kv::CloseWait();
}

void ShellZwaveUi::EndWait(int ms) {
    kv::EndWait(ms);
}

void ShellZwaveUi::ShowInfo(const std::string& text, int ms) {
    kv::ShowInfo(QString::fromStdString(text), ms);
}

void ShellZwaveUi::RefreshPages() {
    RefreshSmartPlugPages();
}

void ShellZwaveUi::DeleteKeyFile(int node) {
    kv::DeleteKeyFile(node);
}

void ShellZwaveUi::StoreLearnResult(int node, bool learned) {
    if (CRemoteLearnDlg* page = OpenRemoteLearnPage()) {
        page->StoreLearnResult(node, learned);
    }
}

} // namespace kv
