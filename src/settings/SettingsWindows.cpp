#include "settings/SettingsWindows.h"

#include "settings/CDialogMusicInput.h"
#include "settings/CSSVCDlg.h"
#include "settings/CSetDlg.h"
#include "settings/CloudnessDlg.h"
#include "settings/SingleSettingDlg.h"
#include "shell/Shell.h"
#include "shell/ToolWindows.h"

#include <QApplication>
#include <QTimer>

namespace kv {

namespace {

template <typename Window>
void Register(ToolWindow which) {
    RegisterToolWindow(which, [](QWidget* parent) -> QWidget* { return new Window(parent); });
}

} // namespace

void RegisterSettingsWindows() {
    RegisterToolWindow(ToolWindow::MachineSettings, [](QWidget* parent) -> QWidget* {
        auto* window = new CSetDlg(parent);
        // The start volume sliders move the live volumes: the ribbon shows them again once
        // the window is gone.
        QObject::connect(window, &QObject::destroyed, qApp,
                         [] { QTimer::singleShot(0, qApp, [] { RefreshAll(); }); });
        return window;
    });
    Register<CAutoSubDlg>(ToolWindow::AutoSub);
    Register<CAutoMusicVolDlg>(ToolWindow::AutoMusicVol);
    Register<CDialogMusicInput>(ToolWindow::InputSource);
    Register<CloudnessDlg>(ToolWindow::Loudness);
    RegisterPositioningPage();
}

} // namespace kv
