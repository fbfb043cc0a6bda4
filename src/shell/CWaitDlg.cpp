#include "shell/CWaitDlg.h"

#include "shell/Language.h"
#include "shell/Shell.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

namespace kv {

namespace {

constexpr int kProgressStep = 10;
constexpr int kOperationTimeoutNoticeMs = 1100;

} // namespace

CWaitDlg::CWaitDlg(const QString& text, std::function<void()> cancel, QWidget* parent)
    : QDialog(parent), m_text(new QLabel(this)), m_progress(new QProgressBar(this)),
      m_abort(new QPushButton(this)), m_cancel(std::move(cancel)) {
    setProperty("kvSkin", QStringLiteral("dialog"));
    setObjectName(QStringLiteral("waitDialog"));
    setModal(true);
    setMinimumWidth(400);
    m_text->setWordWrap(true);
    m_text->setAlignment(Qt::AlignCenter);
    m_progress->setRange(0, 100);
    m_progress->setValue(0);
    m_progress->setTextVisible(false);
    m_progress->setFixedHeight(10);
    m_abort->setObjectName(QStringLiteral("abortButton"));
    SetControlId(m_abort, kAbortId);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(m_abort);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(24, 22, 24, 18);
    layout->setSpacing(14);
    layout->addWidget(m_text);
    layout->addWidget(m_progress);
    layout->addLayout(buttons);

    setWindowTitle(Tr("请稍等……", "Please wait……"));
    m_abort->setText(Tr("强行中止", "Abort"));
    ApplyLanguageTexts(this, kDialogId);
    m_text->setText(text);

    connect(&m_step, &QTimer::timeout, this, [this] {
        // The bar starts again from 0 once it is full.
        const int next = m_progress->value() + kProgressStep;
        m_progress->setValue(next > m_progress->maximum() ? 0 : next);
    });
    m_timeout.setSingleShot(true);
    connect(&m_timeout, &QTimer::timeout, this, [this] { Cancel(true); });
    m_close.setSingleShot(true);
    connect(&m_close, &QTimer::timeout, this, &QDialog::accept);
    connect(m_abort, &QPushButton::clicked, this, [this] { Cancel(false); });

    m_step.start(kProgressStepMs);
    m_timeout.start(kTimeoutMs);
}

void CWaitDlg::RestartTimers() {
    m_close.stop();
    m_step.start(kProgressStepMs);
    m_timeout.start(kRestartTimeoutMs);
}

void CWaitDlg::EndWait(int ms) {
    m_step.stop();
    m_timeout.stop();
    if (ms <= 0) {
        accept();
        return;
    }
    m_progress->setValue(m_progress->maximum());
    m_close.start(ms);
}

int CWaitDlg::Progress() const {
    return m_progress->value();
}

void CWaitDlg::SetText(const QString& text) {
    m_text->setText(text);
}

void CWaitDlg::SetText(const QString& text, std::optional<QColor> colour) {
    // A style sheet, so that the skin's own label colour gives way to it.
    m_colour = colour;
    m_text->setStyleSheet(colour ? QStringLiteral("color: %1;").arg(colour->name()) : QString());
    m_text->setText(text);
}

QString CWaitDlg::Text() const {
    return m_text->text();
}

void CWaitDlg::Cancel(bool timedOut) {
    m_step.stop();
    m_timeout.stop();
    if (m_cancel) {
        m_cancel();
    }
    reject();
    if (timedOut) {
        ShowInfo(Tr("发生错误，操作超时……", "Error: the operation timed out……"),
                 kOperationTimeoutNoticeMs);
    }
}

} // namespace kv
