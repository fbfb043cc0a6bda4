#pragma once

#include "backup/ProcessorBackup.h"

#include <QDialog>

#include <atomic>
#include <functional>
#include <thread>

class QLabel;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;

namespace kv {

/// The backup and restore window of the application menu. The work runs on a thread of its
/// own and reports through queued calls, so the window keeps drawing its progress bar and
/// answering while thousands of bytes go to the processor. A restore first shows what the
/// file holds and what differs; only "Restore" writes. The window cannot be closed while
/// the work runs.
class CBackupDlg : public QDialog {
    Q_OBJECT
public:
    enum class Kind { Backup, Restore };

    /// Starts a backup into path, or reads the backup at path and compares it.
    CBackupDlg(Kind kind, const QString& path, QWidget* parent);
    ~CBackupDlg() override;

    bool Running() const { return m_running.load(); }
    int Progress() const;
    int ProgressMaximum() const;
    QString ReportText() const;
    /// The line above the progress bar: the part being worked on, or how the step ended.
    QString StatusText() const;
    /// True once the last step ended without a failure.
    bool Succeeded() const { return m_succeeded; }

signals:
    /// The work of one step (the backup, the comparison or the restore) has ended.
    void stepEnded(bool ok);

protected:
    void closeEvent(QCloseEvent* event) override;
    void reject() override;

private:
    void StartBackup();
    void StartComparison();
    void StartRestore();
    /// Runs work on the worker thread; done runs on the window's thread afterwards.
    void Run(std::function<void()> work, std::function<void()> done);
    backup::Progress ProgressSink();
    void EndStep(bool ok, const QString& text);
    void ShowPlan();
    void ShowOutcomes();

    Kind m_kind;
    QString m_path;
    std::string m_keyDirectory;
    QLabel* m_text;
    QProgressBar* m_progress;
    QPlainTextEdit* m_report;
    QPushButton* m_restore;
    QPushButton* m_close;
    std::thread m_worker;
    std::atomic<bool> m_running{false};
    bool m_succeeded = false;
    backup::TakeResult m_taken;
    backup::ArchiveContents m_contents;
    backup::RestorePlan m_plan;
    std::vector<backup::PartOutcome> m_outcomes;
};

} // namespace kv
