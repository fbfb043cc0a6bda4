#pragma once

#include "shell/IShellWindow.h"

#include <QWidget>

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTreeWidget;

namespace kv {

/// The remote-key page of the smart-plug window (dialog 516): a smart plug learns the keys of
/// an ordinary remote control and sends them again. The page lists the selected plug's keys
/// from its key file, names them, and starts learning (Basic Set 192 + key) and sending
/// (128 + key) behind the wait window; the plug's reports come back through the Z-Wave event
/// handling, which stores the learning result here.
class CRemoteLearnDlg : public QWidget, public IShellWindow {
    Q_OBJECT
public:
    static constexpr int kDialogId = 516;
    static constexpr int kDeviceComboId = 1134;
    static constexpr int kKeyListId = 1223;
    static constexpr int kLearnId = 1233;
    static constexpr int kTransmitId = 1232;
    static constexpr int kClearId = 1235;
    static constexpr int kNameEditId = 1038;
    static constexpr int kNameCaptionId = 1229;
    static constexpr int kRenameId = 1234;
    /// Basic Set values: learn key k, send key k.
    static constexpr int kFirstLearnValue = 192;
    static constexpr int kFirstSendValue = 128;

    explicit CRemoteLearnDlg(QWidget* parent = nullptr);

    /// Fills the device combo with every present node 2..232 by name (the selected node stays
    /// selected while it is present) and reloads the key list.
    void LoadDevices();
    /// Refills the key list from the selected device's key file, creating the file with the
    /// default keys when it is missing; only when the reload flag is set, which it clears.
    void LoadKeyList();
    /// The plug being taught ended learning: the key of the learning row is stored as learned
    /// or not in the node's key file, and the list reloads.
    void StoreLearnResult(int node, bool learned);
    /// A learning wait was aborted: key of node is marked not learned, and the list reloads.
    void LearningAborted(int node, int key);

    void RefreshFromImage() override { LoadDevices(); }
    void ApplyLanguage() override;

    /// The node selected in the device combo, or 0.
    int SelectedNode() const;
    /// The selected key row, or -1.
    int SelectedRow() const;
    /// The row being learned, or -1 before the first learning.
    int LearningRow() const { return m_learningRow; }
    QComboBox* DeviceCombo() const { return m_devices; }
    QTreeWidget* KeyList() const { return m_list; }
    QLineEdit* NameEdit() const { return m_name; }

private:
    void OnDeviceSelected();
    void OnRowClicked();
    /// The checks of Learn, Transmit and Clear; the selected row, or -1 after a notice.
    int CheckedRow();
    void Learn();
    void Transmit();
    void Clear();
    void Rename();
    void SetColumnTitles();

    QLabel* m_deviceCaption;
    QComboBox* m_devices;
    QTreeWidget* m_list;
    QPushButton* m_learn;
    QPushButton* m_transmit;
    QPushButton* m_clear;
    QLabel* m_nameCaption;
    QLineEdit* m_name;
    QPushButton* m_rename;
    bool m_reload = false;
    int m_learningRow = -1;
};

/// Creates the node's key file with the default keys when it is missing; a key directory
/// that cannot be created is reported to the user. False when no file is there afterwards.
bool EnsureKeyFile(int node, QWidget* parent);

/// The remote-key page of the open smart-plug window, or nullptr.
CRemoteLearnDlg* OpenRemoteLearnPage();

} // namespace kv
