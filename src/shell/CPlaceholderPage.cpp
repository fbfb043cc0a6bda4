#include "shell/CPlaceholderPage.h"

#include "shell/Language.h"

#include <QLabel>
#include <QVBoxLayout>

namespace kv {

namespace {

QString PageName(PageKind kind) {
    switch (kind) {
    case PageKind::Main:
        return Tr("主页面", "Main page");
    case PageKind::Effects:
        return Tr("效果页面", "Effects page");
    case PageKind::Output:
        return Tr("输出页面", "Output page");
    case PageKind::Delay:
        return Tr("延时页面", "Delay page");
    case PageKind::Compressor:
        return Tr("压限页面", "Compressor page");
    case PageKind::Positioning:
        return Tr("声场定位页面", "Sound positioning page");
    }
    return {};
}

} // namespace

CPlaceholderPage::CPlaceholderPage(PageKind kind, int argument, QWidget* parent)
    : QWidget(parent), m_kind(kind), m_argument(argument), m_title(new QLabel(this)),
      m_text(new QLabel(this)) {
    setObjectName(QStringLiteral("placeholderPage"));
    m_title->setObjectName(QStringLiteral("placeholderTitle"));
    m_text->setObjectName(QStringLiteral("placeholderText"));
    m_title->setAlignment(Qt::AlignCenter);
    m_text->setAlignment(Qt::AlignCenter);
    m_text->setWordWrap(true);
    auto* layout = new QVBoxLayout(this);
    layout->addStretch(1);
    layout->addWidget(m_title);
    layout->addWidget(m_text);
    layout->addStretch(1);
    ApplyLanguage();
}

void CPlaceholderPage::SetPageArgument(int argument) {
    m_argument = argument;
}

void CPlaceholderPage::ApplyLanguage() {
    m_title->setText(PageName(m_kind));
    m_text->setText(Tr("此页面尚未包含在本版本中。上方的快捷控制、模式和文件命令均可使用。",
                       "This page is not part of this build yet. The quick controls, mode and "
                       "file commands above are available."));
}

} // namespace kv
