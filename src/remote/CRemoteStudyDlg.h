#pragma once

#include "shell/CMX2240v13View.h"
#include "shell/IShellWindow.h"

#include <QDialog>
#include <QTimer>

class QLabel;
class QLineEdit;
class QPushButton;

namespace kv {

/// The modal wait while the processor learns one key: it shows the key being learned and,
/// when the processor reports the code, shows it and closes itself one second later.
/// Cancel (or Escape) stops the learning.
class CRemoteStudyDlg : public QDialog, public IShellWindow, public ILinkNoticeSink {
    Q_OBJECT

public:
    static constexpr int kDialogId = 372;
    static constexpr int kCloseDelayMs = 1000;

    CRemoteStudyDlg(const QString& keyText, QWidget* parent = nullptr);

    void ApplyLanguage() override;
    /// The learning status: the code the processor learned.
    void OnLinkNotice(const LinkNotice& notice) override;
    /// The processor reported the learned code.
    void ShowLearnedCode(int code);

    QString CodeText() const;
    QString StatusText() const;

public slots:
    void reject() override;

private:
    QLabel* m_caption;
    QLabel* m_prompt;
    QLineEdit* m_code;
    QLabel* m_status;
    QPushButton* m_cancel;
    QPushButton* m_close;
    QTimer m_closeTimer;
    bool m_learned = false;
};

} // namespace kv
