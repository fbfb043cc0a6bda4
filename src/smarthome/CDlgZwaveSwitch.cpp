#include "smarthome/CDlgZwaveSwitch.h"

#include "image/ParamImage.h"
#include "shell/Language.h"
#include "smarthome/ZwaveNodes.h"
#include "smarthome/ZwaveWindows.h"

#include <QHBoxLayout>
#include <QPushButton>

namespace kv {

CDlgZwaveSwitch::CDlgZwaveSwitch(int node, QWidget* parent)
    : QDialog(parent), m_node(node), m_on(new QPushButton(this)), m_off(new QPushButton(this)) {
    setObjectName(QStringLiteral("zwaveSwitchDialog"));
    setProperty("kvSkin", QStringLiteral("dialog"));
    SetControlId(m_on, kOnId);
    SetControlId(m_off, kOffId);
    for (QPushButton* button : {m_on, m_off}) {
        button->setMinimumSize(110, 48);
    }
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(24, 20, 24, 20);
    layout->setSpacing(16);
    layout->addWidget(m_on);
    layout->addWidget(m_off);
    connect(m_on, &QPushButton::clicked, this, [this] { Switch(true); });
    connect(m_off, &QPushButton::clicked, this, [this] { Switch(false); });
    ApplyLanguage();
}

void CDlgZwaveSwitch::SetNode(int node) {
    m_node = node;
    ApplyLanguage();
}

void CDlgZwaveSwitch::ApplyLanguage() {
    m_on->setText(Tr("开", "ON"));
    m_off->setText(Tr("关", "OFF"));
    ApplyLanguageTexts(this, kDialogId);
    const QString name =
        QString::fromStdU16String(zwave::ReadDeviceRecord(GetParamImage(), m_node).name);
    setWindowTitle(Tr("开关控制: ", "Switch: ") + name);
}

void CDlgZwaveSwitch::RefreshFromImage() {
    ApplyLanguage();
}

void CDlgZwaveSwitch::Switch(bool on) {
    if (!CheckZwaveConnected()) {
        return;
    }
    // The wait texts exist in Chinese only.
    SetDevice(on ? QStringLiteral("设备开启操作") : QStringLiteral("设备关闭操作"), m_node,
              on ? kOn : kOff);
}

} // namespace kv
