#include "shell/CBackupDlg.h"

#include "image/AtomicFile.h"
#include "link/ConnectionState.h"
#include "shell/Language.h"
#include "smarthome/KeyFile.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QFile>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

#include <cstring>

namespace kv {

namespace {

QString PartLine(const backup::PartPlan& p) {
    const QString state = p.state == backup::PartState::Same      ? Tr("相同", "same")
                          : p.state == backup::PartState::Differs ? Tr("不同", "differs")
                                                                  : Tr("已损坏", "damaged");
    QString line = QStringLiteral("%1 (%2 %3): %4")
                       .arg(QString::fromStdString(p.name))
                       .arg(p.size)
                       .arg(Tr("字节", "bytes"), state);
    if (!p.why.empty()) {
        line += QStringLiteral(": ") + QString::fromStdString(p.why);
    }
    return line;
}

/// Turns the status poll off while the work runs (its answers would only slow it down) and
/// back on afterwards.
class PollPause {
public:
    PollPause() : m_was(g_bStatusPoll.exchange(0)) {}
    ~PollPause() { g_bStatusPoll.store(m_was); }
    PollPause(const PollPause&) = delete;
    PollPause& operator=(const PollPause&) = delete;

private:
    int m_was;
};

} // namespace

CBackupDlg::CBackupDlg(Kind kind, const QString& path, QWidget* parent)
    : QDialog(parent), m_kind(kind), m_path(path),
      m_keyDirectory(QFile::encodeName(KeyDirectory()).toStdString()), m_text(new QLabel(this)),
      m_progress(new QProgressBar(this)), m_report(new QPlainTextEdit(this)),
      m_restore(new QPushButton(this)), m_close(new QPushButton(this)) {
    setProperty("kvSkin", QStringLiteral("dialog"));
    setObjectName(QStringLiteral("backupDialog"));
    setModal(true);
    setMinimumSize(520, 360);
    m_text->setWordWrap(true);
    m_progress->setObjectName(QStringLiteral("backupProgress"));
    m_progress->setRange(0, 1);
    m_progress->setValue(0);
    m_report->setObjectName(QStringLiteral("backupReport"));
    m_report->setReadOnly(true);
    m_restore->setObjectName(QStringLiteral("restoreButton"));
    m_restore->setText(Tr("恢复", "Restore"));
    m_restore->setVisible(kind == Kind::Restore);
    m_restore->setEnabled(false);
    m_close->setObjectName(QStringLiteral("closeButton"));
    m_close->setText(Tr("关闭", "Close"));

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(m_restore);
    buttons->addWidget(m_close);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_text);
    layout->addWidget(m_progress);
    layout->addWidget(m_report, 1);
    layout->addLayout(buttons);

    connect(m_close, &QPushButton::clicked, this, &CBackupDlg::reject);
    connect(m_restore, &QPushButton::clicked, this, &CBackupDlg::StartRestore);
    if (kind == Kind::Backup) {
        setWindowTitle(Tr("备份", "Backup"));
        StartBackup();
    } else {
        setWindowTitle(Tr("恢复", "Restore"));
        StartComparison();
    }
}

CBackupDlg::~CBackupDlg() {
    if (m_worker.joinable()) {
        m_worker.join();
    }
}

int CBackupDlg::Progress() const {
    return m_progress->value();
}

int CBackupDlg::ProgressMaximum() const {
    return m_progress->maximum();
}

QString CBackupDlg::ReportText() const {
    return m_report->toPlainText();
}

QString CBackupDlg::StatusText() const {
    return m_text->text();
}

void CBackupDlg::closeEvent(QCloseEvent* event) {
    if (Running()) {
        event->ignore();
        return;
    }
    QDialog::closeEvent(event);
}

void CBackupDlg::reject() {
    if (!Running()) {
        QDialog::reject();
    }
}

backup::Progress CBackupDlg::ProgressSink() {
    QPointer<CBackupDlg> self(this);
    return [self](const std::string& part, int done, int total) {
        QMetaObject::invokeMethod(
            self.data(),
            [self, part = QString::fromStdString(part), done, total] {
                if (self) {
                    self->m_progress->setRange(0, total);
                    self->m_progress->setValue(done);
                    self->m_text->setText(part);
                }
            },
            Qt::QueuedConnection);
    };
}

void CBackupDlg::Run(std::function<void()> work, std::function<void()> done) {
    if (m_worker.joinable()) {
        m_worker.join();
    }
    m_running.store(true);
    m_close->setEnabled(false);
    m_restore->setEnabled(false);
    m_worker = std::thread([this, work = std::move(work), done = std::move(done)] {
        {
            PollPause pause;
            work();
        }
        // The window waits for this thread before it goes, so it is still there.
        QMetaObject::invokeMethod(
            this,
            [this, done] {
                m_running.store(false);
                m_close->setEnabled(true);
                done();
            },
            Qt::QueuedConnection);
    });
}

void CBackupDlg::EndStep(bool ok, const QString& text) {
    m_succeeded = ok;
    m_text->setText(text);
    if (ok) {
        m_progress->setValue(m_progress->maximum());
    }
    emit stepEnded(ok);
}

void CBackupDlg::StartBackup() {
    auto writer = std::make_shared<AtomicFileWriter>(QFile::encodeName(m_path).toStdString());
    if (writer->Error() != 0) {
        EndStep(false, Tr("无法写入文件：", "Can't write the file: ") + m_path + QStringLiteral("\n") +
                           QString::fromLocal8Bit(std::strerror(writer->Error())));
        return;
    }
    m_text->setText(Tr("正在读取处理器……", "Reading the processor……"));
    Run([this, progress = ProgressSink()] {
            m_taken = backup::TakeBackup(m_keyDirectory,
                                         "kvcontrol " +
                                             QCoreApplication::applicationVersion().toStdString(),
                                         progress);
        },
        [this, writer] {
            if (!m_taken.failure.empty()) {
                EndStep(false, Tr("备份失败，文件未写入：", "Backup failed, the file was not written: ") +
                                   QString::fromStdString(m_taken.failure));
                return;
            }
            if (const int e = writer->Commit(m_taken.archive); e != 0) {
                EndStep(false, Tr("无法写入文件：", "Can't write the file: ") + m_path +
                                   QStringLiteral("\n") + QString::fromLocal8Bit(std::strerror(e)));
                return;
            }
            for (const backup::Part& part : m_taken.parts) {
                m_report->appendPlainText(QStringLiteral("%1 (%2 %3)")
                                              .arg(QString::fromStdString(part.name))
                                              .arg(part.bytes.size())
                                              .arg(Tr("字节", "bytes")));
            }
            EndStep(true, Tr("备份已保存到 ", "Backup saved to ") + m_path);
        });
}

void CBackupDlg::StartComparison() {
    const SmallFileRead file =
        ReadSmallFile(QFile::encodeName(m_path).toStdString(), backup::kMaxArchiveBytes);
    if (file.status != SmallFileStatus::Ok) {
        EndStep(false, Tr("无法读取文件：", "Can't read the file: ") + m_path);
        return;
    }
    m_contents = backup::DecodeArchive(file.bytes);
    if (!m_contents.ok()) {
        EndStep(false, Tr("不能恢复此文件：", "This file cannot be restored: ") +
                           QString::fromStdString(m_contents.message));
        return;
    }
    m_text->setText(Tr("正在与处理器比较……", "Comparing with the processor……"));
    Run([this, progress = ProgressSink()] {
            m_plan = backup::PlanRestore(m_contents, m_keyDirectory, progress);
        },
        [this] { ShowPlan(); });
}

void CBackupDlg::ShowPlan() {
    if (!m_plan.ok()) {
        EndStep(false, Tr("不能恢复此文件：", "This file cannot be restored: ") +
                           QString::fromStdString(m_plan.refusal));
        return;
    }
    const backup::Manifest& m = m_contents.manifest;
    m_report->appendPlainText(m_path);
    m_report->appendPlainText(Tr("%1 的备份（通信版本 %2），%3 由 %4 保存",
                                 "Backup of a %1 (communication version %2) taken %3 by %4")
                                  .arg(QString::fromStdString(m.model))
                                  .arg(m.commVersion)
                                  .arg(QString::fromStdString(m.date),
                                       QString::fromStdString(m.programVersion)));
    bool anythingToWrite = false;
    for (const backup::PartPlan& p : m_plan.parts) {
        m_report->appendPlainText(PartLine(p));
        anythingToWrite = anythingToWrite || p.state == backup::PartState::Differs;
    }
    m_restore->setEnabled(anythingToWrite);
    EndStep(true, anythingToWrite ? Tr("按“恢复”写入不同的部分。",
                                       "Press \"Restore\" to write the parts that differ.")
                                  : Tr("处理器和电脑已与备份相同。",
                                       "The processor and this computer already hold the backup."));
}

void CBackupDlg::StartRestore() {
    m_text->setText(Tr("正在恢复……", "Restoring……"));
    m_progress->setValue(0);
    Run([this, progress = ProgressSink()] {
            m_outcomes = backup::RunRestore(m_contents, m_plan, m_keyDirectory, progress);
        },
        [this] { ShowOutcomes(); });
}

void CBackupDlg::ShowOutcomes() {
    m_report->appendPlainText(QString());
    int failed = 0;
    for (const backup::PartOutcome& o : m_outcomes) {
        QString line = QString::fromStdString(o.name) + QStringLiteral(": ");
        if (o.unchanged) {
            line += Tr("不变", "left as it is");
        } else if (o.restored) {
            line += Tr("已恢复并核对", "restored and read back");
        } else {
            line += Tr("未恢复：", "NOT restored: ") + QString::fromStdString(o.why);
            ++failed;
        }
        m_report->appendPlainText(line);
    }
    EndStep(failed == 0, failed == 0 ? Tr("恢复完成。", "Restore complete.")
                                     : Tr("%1 个部分未恢复。", "%1 parts were not restored.")
                                           .arg(failed));
}

} // namespace kv
