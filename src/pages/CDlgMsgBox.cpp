#include "pages/CDlgMsgBox.h"

#include "shell/Language.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace kv {

CDlgMsgBox::CDlgMsgBox(const QString& message, const QString& first, const QString& second,
                       QWidget* parent)
    : QDialog(parent), m_message(new QLabel(message, this)), m_first(new QPushButton(first, this)),
      m_second(new QPushButton(second, this)), m_cancel(new QPushButton(this)) {
    setObjectName(QStringLiteral("questionBox"));
    setModal(true);
    setAutoFillBackground(true);
    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, QColor(240, 250, 255));
    setPalette(palette);
    SetControlId(m_message, 1000);
    SetControlId(m_first, kFirstId);
    SetControlId(m_second, kSecondId);
    SetControlId(m_cancel, kCancelId);
    m_message->setAlignment(Qt::AlignCenter);
    m_message->setWordWrap(true);
    m_message->setMinimumWidth(300);
    m_cancel->setText(Tr("取消", "Cancel"));
    setWindowTitle(Tr("提示", "Question"));

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(m_first);
    buttons->addWidget(m_second);
    buttons->addWidget(m_cancel);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(20, 18, 20, 14);
    layout->setSpacing(16);
    layout->addWidget(m_message, 1);
    layout->addLayout(buttons);

    connect(m_first, &QPushButton::clicked, this, [this] { done(1); });
    connect(m_second, &QPushButton::clicked, this, [this] { done(2); });
    connect(m_cancel, &QPushButton::clicked, this, [this] { done(0); });
    m_cancel->setDefault(true);
}

int CDlgMsgBox::Ask(QWidget* parent, const QString& message, const QString& first,
                    const QString& second) {
    CDlgMsgBox box(message, first, second, parent);
    return box.exec();
}

} // namespace kv
