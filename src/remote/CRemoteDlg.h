#pragma once

#include "shell/IShellWindow.h"

#include <QDialog>

class QLabel;
class QPushButton;

namespace kv {

class CRemotePicture;

/// The remote-learning window: the picture of the remote whose hot spots start the
/// learning of one key, the transfer of the whole key table to the processor, and the
/// saving and loading of key files.
class CRemoteDlg : public QDialog, public IShellWindow {
    Q_OBJECT

public:
    static constexpr int kDialogId = 373;

    explicit CRemoteDlg(QWidget* parent = nullptr);

    void ApplyLanguage() override;
    void RefreshFromImage() override;

    /// Learns the key of a hot spot through the modal learning window.
    void LearnHotSpot(int hotSpot);
    /// Sends the key table to the processor (Apply).
    void ApplyTable();
    void LoadFile();
    void SaveFile();

    CRemotePicture* Picture() const { return m_picture; }

public slots:
    void accept() override;

private:
    CRemotePicture* m_picture;
    QLabel* m_help;
    QPushButton* m_load;
    QPushButton* m_save;
    QPushButton* m_apply;
};

/// Registers the window with the shell's tool-window table.
void RegisterRemoteWindows();

} // namespace kv
