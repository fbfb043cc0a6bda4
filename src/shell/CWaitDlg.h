#pragma once

#include <QColor>
#include <QDialog>
#include <QTimer>

#include <functional>
#include <optional>

class QLabel;
class QProgressBar;
class QPushButton;

namespace kv {

/// The wait dialog (dialog 486) of the smart-home operations: modal, a stepping progress
/// bar, a text and an abort button. On its time-out or on abort it cancels the pending hub
/// operation.
class CWaitDlg : public QDialog {
    Q_OBJECT
public:
    static constexpr int kDialogId = 486;
    static constexpr int kAbortId = 1225;
    static constexpr int kProgressStepMs = 150;
    static constexpr int kTimeoutMs = 30000;
    static constexpr int kRestartTimeoutMs = 20000;

    /// cancel: sends the cancel frame of the pending operation.
    CWaitDlg(const QString& text, std::function<void()> cancel, QWidget* parent);

    /// Restarts the progress and time-out timers (a new operation while shown).
    void RestartTimers();
    /// Stops both timers; ms = 0 closes at once, else fills the bar and closes after ms.
    void EndWait(int ms);
    int Progress() const;
    void SetText(const QString& text);
    /// The text in a colour; none: the ordinary colour.
    void SetText(const QString& text, std::optional<QColor> colour);
    QString Text() const;
    /// The colour given with the text (none: the ordinary one).
    std::optional<QColor> TextColour() const { return m_colour; }

private:
    void Cancel(bool timedOut);

    QLabel* m_text;
    QProgressBar* m_progress;
    QPushButton* m_abort;
    std::function<void()> m_cancel;
    std::optional<QColor> m_colour;
    QTimer m_step;    ///< progress timer
    QTimer m_timeout; ///< timer 110
    QTimer m_close;   ///< timer 2
};

} // namespace kv
