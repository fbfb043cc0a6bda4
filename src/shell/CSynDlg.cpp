#include "shell/CSynDlg.h"

#include "shell/Language.h"
#include "shell/UiServices.h"

#include <QLabel>
#include <QProgressBar>
#include <QVBoxLayout>

#include <atomic>

namespace kv {

namespace {

std::atomic<int> g_timeoutMs{CSynDlg::kDefaultTimeoutMs};

} // namespace

void CSynDlg::SetTimeoutMs(int ms) {
    g_timeoutMs.store(ms);
}

int CSynDlg::TimeoutMs() {
    return g_timeoutMs.load();
}

CSynDlg::CSynDlg(const QString& text, QWidget* parent)
    : QDialog(parent), m_text(new QLabel(this)), m_progress(new QProgressBar(this)) {
    setProperty("kvSkin", QStringLiteral("dialog"));
    setObjectName(QStringLiteral("syncDialog"));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    setModal(true);
    setMinimumWidth(420);
    SetControlId(m_progress, kProgressId);
    SetControlId(m_text, kTextId);
    m_text->setObjectName(QStringLiteral("syncText"));
    m_text->setWordWrap(true);
    m_text->setAlignment(Qt::AlignCenter);
    // A range of 0..0 makes the bar a moving marquee.
    m_progress->setRange(0, 0);
    m_progress->setTextVisible(false);
    m_progress->setFixedHeight(10);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(24, 22, 24, 22);
    layout->setSpacing(16);
    layout->addWidget(m_text);
    layout->addWidget(m_progress);

    setWindowTitle(Tr("同步过程", "Synchronize"));
    ApplyLanguageTexts(this, kDialogId);
    m_text->setText(text.isEmpty()
                        ? Tr("当前正在与机器同步数据,请稍候......", "Please wait a moment……")
                        : text);

    m_timeout.setSingleShot(true);
    connect(&m_timeout, &QTimer::timeout, this, &CSynDlg::OnTimeout);
    m_timeout.start(g_timeoutMs.load());
}

void CSynDlg::Finish() {
    m_timeout.stop();
    accept();
}

QString CSynDlg::Text() const {
    return m_text->text();
}

void CSynDlg::OnTimeout() {
    reject();
    ShowMessage(
        parentWidget(),
        Tr("发生错误，与设备数据同步超时……", "Error: synchronizing with the device timed out……"),
        Tr("错误", "Error"), BoxIcon::Error);
}

} // namespace kv
