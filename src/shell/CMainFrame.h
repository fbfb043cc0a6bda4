#pragma once

#include "protocol/FilterImport.h"

#include "shell/AppState.h"
#include "shell/CBackupDlg.h"

#include <QMainWindow>
#include <QPointer>
#include <QTimer>

class QAction;
class QCheckBox;
class QUndoStack;
class QKeyEvent;
class QLabel;
class QPushButton;

namespace kv {

class AppSettings;
class CInfoDlg;
class CMX2240v13View;
class CRibbon;

/// The main window: the ribbon, the view with its page area and the status bar. It runs
/// the ribbon's commands, the keyboard shortcuts of the whole application, the language
/// switch and the close question.
class CMainFrame : public QMainWindow {
    Q_OBJECT
public:
    static constexpr int kMinWidth = 1040;
    static constexpr int kMinHeight = 700;

    explicit CMainFrame(AppSettings& settings, QWidget* parent = nullptr);
    ~CMainFrame() override;

    /// The running main window, or nullptr.
    static CMainFrame* Instance();

    CRibbon* Ribbon() const { return m_ribbon; }
    CMX2240v13View* View() const { return m_view; }
    AppSettings& Settings() const { return m_settings; }
    QLabel* ConnectionPane() const { return m_connectionPane; }
    QLabel* ModePane() const { return m_modePane; }
    /// The status bar's message pane (results of loads, saves, stores and recalls).
    QLabel* MessagePane() const { return m_messagePane; }
    QCheckBox* BypassBox() const { return m_bypass; }
    QPushButton* ResetEqButton() const { return m_resetEq; }
    QPushButton* ImportFiltersButton() const { return m_importFilters; }
    /// Its menu holds the two formats: Equalizer APO, then REW.
    QPushButton* ExportFiltersButton() const { return m_exportFilters; }
    CInfoDlg* InfoWindow() const;
    /// The undo history of the user's edits (Ctrl+Z, Ctrl+Y and the Edit menu).
    QUndoStack* UndoStack() const { return m_undoStack; }
    QAction* UndoAction() const { return m_undo; }
    QAction* RedoAction() const { return m_redo; }

    /// Runs a command of the ribbon, the application menu or the mode menus.
    void OnCommand(int id);
    /// The key table of the application; returns true when the key stops here.
    bool HandleKeyRelease(QKeyEvent* event);

    void ShowInfo(const QString& text, int ms);
    void ShowStatusMessage(const QString& text, int ms);
    void RefreshAll();
    void CloseToolWindows();
    void ApplyLanguage();
    void SwitchLanguage();
    /// Status bar panes and the enabled states that follow the connection and the page.
    void UpdateStatus();
    /// Opens a mode file named on the command line once a processor is ready.
    void OpenWhenReady(const QString& path);
    /// Raises and restores the window (a second start asked for it).
    void BringToFront();

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void BuildStatusBar();
    void BuildEditActions();
    void OnCategoryChanged(int category);
    void OnRecentFile(const QString& path);
    void ToggleBypass();
    void ResetEq();
    /// Filter files onto and out of the equaliser the page shows (room correction).
    void ImportFiltersToPage();
    void ExportFiltersOfPage(ExportFormat format);
    void MachineReset();
    void ShowAbout();
    void OpenTool(ToolWindow which);
    /// Asks for the backup file and opens the backup or restore window on it.
    void OpenBackupWindow(CBackupDlg::Kind kind);
    void LabelStatusBar();
    /// Enables the commands that need a processor, with a tooltip saying why when not.
    void EnableProcessorCommands(bool connected);
    bool IsSmartPlugOpen() const;

    AppSettings& m_settings;
    CRibbon* m_ribbon;
    CMX2240v13View* m_view;
    QLabel* m_connectionPane;
    QLabel* m_modePane;
    QLabel* m_messagePane;
    QTimer m_messageTimer;
    QCheckBox* m_bypass;
    QPushButton* m_resetEq;
    QPushButton* m_importFilters;
    QPushButton* m_exportFilters;
    QUndoStack* m_undoStack;
    QAction* m_undo;
    QAction* m_redo;
    QTimer m_statusTimer;
    QString m_pendingFile;
    // The key event last seen and where, so that its propagation to the parents is not
    // handled twice.
    const QEvent* m_lastKey = nullptr;
    QPointer<QObject> m_lastKeyReceiver;
    bool m_lastKeyConsumed = false;
};

} // namespace kv
