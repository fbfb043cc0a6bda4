#include "shell/CInfoDlg.h"

#include "shell/Language.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace kv {

CInfoDlg::CInfoDlg(QWidget* parent)
    : QDialog(parent, Qt::Tool | Qt::WindowStaysOnTopHint), m_text(new QLabel(this)),
      m_close(new QPushButton(this)) {
    setAttribute(Qt::WA_DeleteOnClose);
    setProperty("kvSkin", QStringLiteral("dialog"));
    setObjectName(QStringLiteral("infoDialog"));
    setMinimumWidth(360);
    SetControlId(m_text, kTextId);
    SetControlId(m_close, kCloseId);
    m_text->setObjectName(QStringLiteral("infoText"));
    m_text->setAlignment(Qt::AlignCenter);
    m_text->setWordWrap(true);
    QFont font = m_text->font();
    font.setPixelSize(18);
    m_text->setFont(font);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(m_close);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(20, 18, 20, 14);
    layout->setSpacing(14);
    layout->addWidget(m_text, 1);
    layout->addLayout(buttons);

    m_displayTimer.setSingleShot(true);
    connect(&m_displayTimer, &QTimer::timeout, this, &QDialog::close);
    connect(m_close, &QPushButton::clicked, this, &QDialog::close);
    ApplyLanguage();
}

void CInfoDlg::ShowText(const QString& text, int ms) {
    m_text->setText(text);
    show();
    raise();
    m_displayTimer.start(ms);
}

QString CInfoDlg::Text() const {
    return m_text->text();
}

void CInfoDlg::ApplyLanguage() {
    setWindowTitle(Tr("信息", "Information"));
    m_close->setText(Tr("关闭", "Close"));
    ApplyLanguageTexts(this, kDialogId);
}

} // namespace kv
