#include "shell/CDisconnectedPanel.h"

#include "link/platform/UsbId.h"
#include "shell/Language.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QVBoxLayout>

#include <cstdlib>

namespace kv {

namespace {

constexpr const char* kRuleName = "70-kv-controller.rules";

QString Code(const QString& text) {
    return QStringLiteral("<code>%1</code>").arg(text.toHtmlEscaped());
}

} // namespace

CDisconnectedPanel::CDisconnectedPanel(QWidget* parent)
    : QFrame(parent), m_title(new QLabel(this)), m_body(new QLabel(this)) {
    setObjectName(QStringLiteral("disconnectedPanel"));
    setFrameShape(QFrame::StyledPanel);
    setAutoFillBackground(true);
    setStyleSheet(QStringLiteral(
        "#disconnectedPanel { background: #FFFFFF; border: 1px solid #D8E1EB; border-radius: 8px; }"
        "#disconnectedTitle { color: #C0392B; font-size: 16px; font-weight: 600; }"
        "#disconnectedBody { color: #1E2B3C; }"));
    m_title->setObjectName(QStringLiteral("disconnectedTitle"));
    m_body->setObjectName(QStringLiteral("disconnectedBody"));
    m_body->setWordWrap(true);
    m_body->setTextFormat(Qt::RichText);
    // The install command is meant to be copied.
    m_body->setTextInteractionFlags(Qt::TextSelectableByMouse);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(22, 18, 22, 18);
    layout->setSpacing(10);
    layout->addWidget(m_title);
    layout->addWidget(m_body);
    ApplyLanguage();
}

QString CDisconnectedPanel::UdevRulePath() {
    const QString installed =
        QDir(QCoreApplication::applicationDirPath())
            .absoluteFilePath(QStringLiteral("../lib/udev/rules.d/") + QLatin1String(kRuleName));
    if (QFileInfo::exists(installed)) {
        return QDir::cleanPath(installed);
    }
#ifdef KV_SOURCE_UDEV_RULE
    if (QFileInfo::exists(QStringLiteral(KV_SOURCE_UDEV_RULE))) {
        return QStringLiteral(KV_SOURCE_UDEV_RULE);
    }
#endif
    return {};
}

QString CDisconnectedPanel::UdevInstallCommand() {
    QString rule = UdevRulePath();
    if (rule.isEmpty()) {
        rule = QStringLiteral("src/resources/udev/") + QLatin1String(kRuleName);
    }
    return QStringLiteral("sudo cp '%1' /etc/udev/rules.d/ && sudo udevadm control "
                          "--reload-rules && sudo udevadm trigger")
        .arg(rule);
}

void CDisconnectedPanel::ApplyLanguage() {
    const QString id = QString::fromStdString(FormatUsbId(ProcessorUsbId()));
    const bool fromEnvironment = std::getenv("KV_USB_ID") != nullptr;
    m_title->setText(Tr("未连接设备", "No processor connected"));
    const QString idNote = fromEnvironment
                               ? Tr("（由 KV_USB_ID 设定）", " (set by KV_USB_ID)")
                               : Tr("（默认值；用 KV_USB_ID=vvvv:pppp 可改为其他 ID）",
                                    " (the default; KV_USB_ID=vvvv:pppp selects another pair)");
    QString body;
    if (m_openFailure.isEmpty()) {
        body += Tr("<p>找不到处理器。请检查：</p>", "<p>The processor was not found. Check:</p>");
    } else {
        body += Tr("<p><b>找到了处理器，但无法打开：</b>%1</p><p>关闭正在使用它的程序后会自动重试。"
                   "也请检查：</p>",
                   "<p><b>A processor was found but could not be opened:</b> %1</p><p>Close "
                   "the program that uses it; this window tries again by itself. Also "
                   "check:</p>")
                    .arg(m_openFailure.toHtmlEscaped());
    }
    body += QStringLiteral("<ol>");
    body += QStringLiteral("<li>") +
            Tr("<b>USB 线</b>：处理器已开机，USB 线已接到这台电脑（%1 应列出 %2）。",
               "<b>The cable</b>: the processor is switched on and its USB cable is plugged into "
               "this computer (%1 should list %2).")
                .arg(Code(QStringLiteral("lsusb")), Code(id)) +
            QStringLiteral("</li>");
    body += QStringLiteral("<li>") +
            Tr("<b>访问权限</b>：udev 规则让桌面用户无需 root 即可打开处理器。用这一条命令安装，"
               "然后拔下并重新插上处理器：<br>%1",
               "<b>Permission</b>: the udev rule lets you open the processor without root. "
               "Install it with this one command, then unplug the processor and plug it in "
               "again:<br>%1")
                .arg(Code(UdevInstallCommand())) +
            QStringLiteral("</li>");
    body += QStringLiteral("<li>") +
            Tr("<b>USB ID</b>：本程序寻找 %1%2。", "<b>The USB id</b>: this application looks for "
                                                   "%1%2.")
                .arg(Code(id), idNote) +
            QStringLiteral("</li>");
    body += QStringLiteral("</ol>");
    body += Tr("<p>没有硬件？%1 用内置的模拟处理器启动本程序；%2 "
               "运行一个本窗口会自动找到的模拟处理器。</p>",
               "<p>No hardware at hand? %1 starts the application on a built-in simulated "
               "processor, and %2 runs a simulated processor that this window finds by "
               "itself.</p>")
                .arg(Code(QStringLiteral("kvcontrol --simulate")), Code(QStringLiteral("kvsim")));
    m_body->setText(body);
}

bool CDisconnectedPanel::SetOpenFailure(const QString& why) {
    if (why == m_openFailure) {
        return false;
    }
    m_openFailure = why;
    ApplyLanguage();
    return true;
}

QString CDisconnectedPanel::Text() const {
    return m_title->text() + QLatin1Char('\n') + m_body->text();
}

} // namespace kv
