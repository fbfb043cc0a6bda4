#pragma once

#include "shell/AppSettings.h"

#include <QPointer>
#include <QString>
#include <QWidget>

#include <array>

namespace kv {

class CSynDlg;
class CWaitDlg;

/// The modeless tool windows the application keeps one of each.
enum class ToolWindow {
    MachineSettings, ///< CSetDlg, dialog 335
    RemoteLearning,  ///< CRemoteDlg, dialog 373
    RemoteStudy,     ///< CRemoteStudyDlg
    AutoSub,         ///< CAutoSubDlg, dialog 410
    AutoMusicVol,    ///< CAutoMusicVolDlg, dialog 424
    InputSource,     ///< CDialogMusicInput, dialog 512
    Loudness,        ///< CloudnessDlg, dialog 515
    SmartPlug,       ///< CDialogHomeTheater, dialog 479
    ZwaveEdit,       ///< CDlgZwaveEdit
    ZwaveLight,      ///< CDlgZwaveLight
    ZwaveSwitch,     ///< CDlgZwaveSwitch
    Info,            ///< CInfoDlg, dialog 344
    Count
};

inline constexpr std::size_t kToolWindowCount = static_cast<std::size_t>(ToolWindow::Count);

/// The application's state: created at start, owned by the application object. The user-
/// interface thread is the only one that uses it.
struct AppState {
    OptionRecord option = kDefaultOptionRecord;
    /// Source the main page shows: 0 microphone channel A, 1 channel B, 2 music.
    int mainPageSource = 0;
    /// Channel the output page last showed.
    int outputPageChannel = 0;
    /// 1 while a Z-Wave device is being added, 0 while one is being removed.
    int zwaveAddMode = 0;
    /// 0..3 when the mode file just loaded goes into processor mode M1..M4, else -1.
    int fileModeSlot = -1;
    /// The last chosen factory preset command.
    int presetChoice = 0;
    QString helpFilePath;
    /// One reference per tool window; a destroyed window clears its own.
    std::array<QPointer<QWidget>, kToolWindowCount> toolWindows;
    QPointer<CSynDlg> syncDialog;
    QPointer<CWaitDlg> waitDialog;

    QPointer<QWidget>& Window(ToolWindow which) {
        return toolWindows[static_cast<std::size_t>(which)];
    }
    QWidget* OpenWindow(ToolWindow which) const {
        return toolWindows[static_cast<std::size_t>(which)].data();
    }
    /// Back to the start values (the tool windows are not touched).
    void Reset(const OptionRecord& optionRecord);
};

/// The process-wide application state.
AppState& GetAppState();

} // namespace kv
