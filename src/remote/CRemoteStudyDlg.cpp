#include "remote/CRemoteStudyDlg.h"

#include "link/Link.h"
#include "link/LinkReceiver.h"
#include "protocol/CommandSink.h"
#include "shell/Language.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace kv {

namespace {

constexpr int kCaptionId = 1167;
constexpr int kPromptId = 1007;
constexpr int kCodeId = 1038;
constexpr int kStatusId = 1006;
constexpr int kCancelId = 3;
constexpr int kCloseId = 1;
constexpr int kStopLearning = 97;

} // namespace

CRemoteStudyDlg::CRemoteStudyDlg(const QString& keyText, QWidget* parent)
    : QDialog(parent), m_caption(new QLabel(keyText, this)), m_prompt(new QLabel(this)),
      m_code(new QLineEdit(this)), m_status(new QLabel(this)), m_cancel(new QPushButton(this)),
      m_close(new QPushButton(this)) {
    setObjectName(QStringLiteral("remoteStudyDialog"));
    setProperty("kvSkin", QStringLiteral("dialog"));
    setMinimumWidth(380);
    SetControlId(m_caption, kCaptionId);
    SetControlId(m_prompt, kPromptId);
    SetControlId(m_code, kCodeId);
    SetControlId(m_status, kStatusId);
    SetControlId(m_cancel, kCancelId);
    SetControlId(m_close, kCloseId);
    QFont big = m_caption->font();
    big.setPixelSize(16);
    big.setBold(true);
    m_caption->setFont(big);
    m_caption->setWordWrap(true);
    m_code->setReadOnly(true);
    m_code->setAlignment(Qt::AlignCenter);
    m_code->setMaximumWidth(90);
    m_code->setFocusPolicy(Qt::NoFocus);
    m_close->hide();

    auto* codeRow = new QHBoxLayout;
    codeRow->addWidget(m_prompt);
    codeRow->addWidget(m_code);
    codeRow->addStretch(1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(m_cancel);
    buttons->addWidget(m_close);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(20, 16, 20, 14);
    layout->setSpacing(12);
    layout->addWidget(m_caption);
    layout->addLayout(codeRow);
    layout->addWidget(m_status);
    layout->addLayout(buttons);

    m_closeTimer.setSingleShot(true);
    m_closeTimer.setInterval(kCloseDelayMs);
    connect(&m_closeTimer, &QTimer::timeout, this, &QDialog::accept);
    connect(m_close, &QPushButton::clicked, this, &QDialog::accept);
    connect(m_cancel, &QPushButton::clicked, this, &CRemoteStudyDlg::reject);
    ApplyLanguage();
}

void CRemoteStudyDlg::ApplyLanguage() {
    setWindowTitle(Tr("学习中……", "Learning"));
    m_prompt->setText(Tr("请您按下遥控器上的对应的按键", "Key code:"));
    m_cancel->setText(Tr("放弃学习", "Cancel"));
    m_close->setText(Tr("关闭", "Close"));
    ApplyLanguageTexts(this, kDialogId);
}

void CRemoteStudyDlg::OnLinkNotice(const LinkNotice& notice) {
    if (const auto* status = std::get_if<notice::LearnStatus>(&notice)) {
        ShowLearnedCode(status->code);
    }
}

void CRemoteStudyDlg::ShowLearnedCode(int code) {
    m_learned = true;
    m_code->setText(QStringLiteral("%1").arg(code & 0xFF, 2, 16, QLatin1Char('0')).toUpper());
    m_cancel->hide();
    m_close->show();
    m_status->setText(Tr("窗口将自动关闭", "Window will be closed!"));
    m_closeTimer.start();
}

QString CRemoteStudyDlg::CodeText() const {
    return m_code->text();
}

QString CRemoteStudyDlg::StatusText() const {
    return m_status->text();
}

void CRemoteStudyDlg::reject() {
    // Cancel and Escape stop the learning. The next write must not wait for an answer to
    // the learning request, so the acknowledgement is given first.
    m_closeTimer.stop();
    if (m_learned) {
        QDialog::accept(); // nothing left to stop
        return;
    }
    SetAckEvent();
    Command stop{};
    stop[0] = 2;
    stop[1] = kStopLearning;
    CommandSink().Write(stop);
    QDialog::reject();
}

} // namespace kv
