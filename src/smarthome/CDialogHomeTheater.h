#pragma once

#include "shell/CMX2240v13View.h"
#include "shell/IShellWindow.h"

#include <QDialog>
#include <QTimer>

#include <array>

class QPushButton;

namespace kv {

class CDialogZwaveRemoter;
class CDlgZwaveList;
class CGdipButton;
class CRemoteLearnDlg;
class CTabWnd;

/// The smart-plug window (dialog 479): the device list, the scene page and the remote-key
/// page in one tab area; buttons that run the power-on, power-off and four mode scenes;
/// remove, add and reset of the hub's plugs. It reads the hub's tables when first opened with
/// a processor, and hands the Z-Wave events and the synchronisation threads' ends to the
/// device handling and its pages.
class CDialogHomeTheater : public QDialog, public IShellWindow, public ILinkNoticeSink {
    Q_OBJECT
public:
    static constexpr int kDialogId = 479;
    static constexpr int kTabAreaId = 1226;
    static constexpr int kPlugTabId = 1074;
    static constexpr int kSceneTabId = 1077;
    static constexpr int kLearnTabId = 1080;
    static constexpr int kPowerOnId = 1068;
    static constexpr int kPowerOffId = 1069;
    static constexpr int kFirstModeId = 1070; ///< 1070..1073: modes M1..M4
    static constexpr int kRemoveId = 1075;
    static constexpr int kAddId = 1076;
    static constexpr int kResetId = 1078;
    static constexpr int kHelpId = 1079;
    static constexpr int kReadDelayMs = 200;
    enum Tab { kPlugTab = 0, kSceneTab = 1, kLearnTab = 2 };

    explicit CDialogHomeTheater(QWidget* parent = nullptr);
    /// A running scene stops; the status poll, stopped while the window is open, goes on.
    ~CDialogHomeTheater() override;

    void ApplyLanguage() override;
    /// Refreshes the three pages from the image.
    void RefreshFromImage() override;
    /// Z-Wave events go to the device handling; the hub threads' progress ends the wait.
    void OnLinkNotice(const LinkNotice& notice) override;

    /// Shows page tab (its tab button turns blue).
    void ShowTab(int tab);
    int CurrentTab() const;
    CDlgZwaveList* DeviceList() const { return m_list; }
    CDialogZwaveRemoter* ScenePage() const { return m_scenes; }
    CRemoteLearnDlg* KeyPage() const { return m_keys; }
    CTabWnd* TabArea() const { return m_tabs; }
    QPushButton* Button(int id) const;

private:
    void ReadHubOnce();
    void Remove();
    void Add();
    void Reset();
    void Help();

    CTabWnd* m_tabs;
    CDlgZwaveList* m_list;
    CDialogZwaveRemoter* m_scenes;
    CRemoteLearnDlg* m_keys;
    std::array<QPushButton*, 3> m_tabButtons{};
    std::array<CGdipButton*, 6> m_sceneButtons{};
    QPushButton* m_remove;
    QPushButton* m_add;
    QPushButton* m_reset;
    QPushButton* m_help;
    QTimer m_readTimer; ///< timer 1
};

/// Deletes every file below the key directory, in its subfolders too, and leaves the folders;
/// false when a file could not be deleted.
bool DeleteAllKeyFiles();

/// Registers the smart-plug window and the device dialogs as tool windows.
void RegisterSmartHomeWindows();

} // namespace kv
