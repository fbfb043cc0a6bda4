#pragma once

#include <QDialog>
#include <QTimer>

class QLabel;
class QProgressBar;

namespace kv {

/// The synchronisation dialog (dialog 347): modal, a moving progress bar and a text, shown
/// while the processor and the image are brought into agreement. It closes itself with an
/// error after its time-out.
class CSynDlg : public QDialog {
    Q_OBJECT
public:
    static constexpr int kDialogId = 347;
    static constexpr int kProgressId = 1217;
    static constexpr int kTextId = 1218;
    static constexpr int kDefaultTimeoutMs = 30000;

    /// text empty: the default waiting text.
    CSynDlg(const QString& text, QWidget* parent);

    /// Closes the dialog normally (the time-out is stopped first).
    void Finish();
    QString Text() const;
    bool TimeoutActive() const { return m_timeout.isActive(); }

    /// Time-out of dialogs created from now on (tests shorten it).
    static void SetTimeoutMs(int ms);
    static int TimeoutMs();

private:
    void OnTimeout();

    QLabel* m_text;
    QProgressBar* m_progress;
    QTimer m_timeout; ///< timer 110
};

} // namespace kv
