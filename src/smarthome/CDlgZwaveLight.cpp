#include "smarthome/CDlgZwaveLight.h"

#include "controls/CXBmpSlider.h"
#include "image/ParamImage.h"
#include "shell/Language.h"
#include "smarthome/ZwaveNodes.h"
#include "smarthome/ZwaveWindows.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>

namespace kv {

namespace {

constexpr int kVoltageId = 1005;
constexpr int kTipId = 1007;
constexpr int kWarningId = 1237;
constexpr int kWarning1Id = 1238;
constexpr int kWarning2Id = 1239;

} // namespace

CDlgZwaveLight::CDlgZwaveLight(int node, QWidget* parent)
    : QDialog(parent), m_node(node), m_slider(new CXBmpSlider(this, kSliderId)),
      m_level(new QLabel(this)), m_voltage(new QLabel(this)), m_tip(new QLabel(this)),
      m_warning(new QLabel(this)), m_warning1(new QLabel(this)), m_warning2(new QLabel(this)),
      m_off(new QPushButton(this)), m_max(new QPushButton(this)), m_down(new QPushButton(this)),
      m_up(new QPushButton(this)) {
    setObjectName(QStringLiteral("zwaveLightDialog"));
    setProperty("kvSkin", QStringLiteral("dialog"));
    SetControlId(m_slider, kSliderId);
    SetControlId(m_level, kLevelId);
    SetControlId(m_voltage, kVoltageId);
    SetControlId(m_tip, kTipId);
    SetControlId(m_warning, kWarningId);
    SetControlId(m_warning1, kWarning1Id);
    SetControlId(m_warning2, kWarning2Id);
    SetControlId(m_off, kOffId);
    SetControlId(m_max, kMaxId);
    SetControlId(m_down, kDownId);
    SetControlId(m_up, kUpId);
    m_slider->SetSkin(CXBmpSlider::Skin::LongHorizontal);
    m_slider->SetRange(0, kMaxLevel);
    m_level->setMinimumWidth(56);
    m_down->hide();
    m_up->hide();
    for (QLabel* label : {m_warning, m_warning1, m_warning2}) {
        label->setStyleSheet(QStringLiteral("color: rgb(255, 0, 0);"));
        label->setWordWrap(true);
    }

    auto* sliderRow = new QHBoxLayout;
    sliderRow->addWidget(m_voltage);
    sliderRow->addWidget(m_slider, 1);
    sliderRow->addWidget(m_level);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(m_down);
    buttons->addWidget(m_off);
    buttons->addStretch(1);
    buttons->addWidget(m_max);
    buttons->addWidget(m_up);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(20, 16, 20, 16);
    layout->setSpacing(10);
    layout->addLayout(sliderRow);
    layout->addLayout(buttons);
    layout->addWidget(m_tip);
    layout->addWidget(m_warning);
    layout->addWidget(m_warning1);
    layout->addWidget(m_warning2);

    connect(m_slider, &CXBmpSlider::sliderChanged, this, [this] { ShowLevel(); });
    connect(m_slider, &CXBmpSlider::sliderReleased, this, [this] { Released(); });
    connect(m_off, &QPushButton::clicked, this, [this] { MoveTo(0); });
    connect(m_max, &QPushButton::clicked, this, [this] { MoveTo(kMaxLevel); });
    connect(m_down, &QPushButton::clicked, this, [this] { MoveTo(m_slider->Pos() - 1); });
    connect(m_up, &QPushButton::clicked, this, [this] { MoveTo(m_slider->Pos() + 1); });
    SetNode(node);
}

void CDlgZwaveLight::SetNode(int node) {
    m_node = node;
    const bool known = node >= 1 && node <= zwave::kLastNode;
    m_slider->SetPos(known ? std::min<int>(zwave::NodeValue(GetParamImage(), node), kMaxLevel) : 0);
    ShowLevel();
    ApplyLanguage();
}

void CDlgZwaveLight::ApplyLanguage() {
    m_voltage->setText(Tr("电压：", "Voltage:"));
    m_tip->setText(Tr("提示：松开滑动条后设置灯光亮度", "Tip：Release drag to set value"));
    m_warning->setText(Tr("警告", "Warning"));
    m_warning1->setText(Tr("      某些设备无法工作在低电压状态，可能损坏设备",
                           "Be sure work voltage of your device is adjustable."));
    m_warning2->setText(Tr("请您确保此插座上的设备允许调节电压", ""));
    m_warning2->setVisible(!m_warning2->text().isEmpty());
    m_off->setText(Tr("关", "OFF"));
    m_max->setText(Tr("最大", "Max"));
    m_down->setText(QStringLiteral("-"));
    m_up->setText(QStringLiteral("+"));
    ApplyLanguageTexts(this, kDialogId);
    ShowLevel();
    const QString name =
        QString::fromStdU16String(zwave::ReadDeviceRecord(GetParamImage(), m_node).name);
    setWindowTitle(Tr("电压控制: ", "Voltage: ") + name);
}

void CDlgZwaveLight::RefreshFromImage() {
    ApplyLanguage();
}

QString CDlgZwaveLight::LevelText(int value) {
    if (value == 0) {
        return QStringLiteral("关");
    }
    if (value == kMaxLevel) {
        return QStringLiteral("最大");
    }
    return QStringLiteral("%1%").arg(value);
}

QString CDlgZwaveLight::LevelText() const {
    return m_level->text();
}

void CDlgZwaveLight::ShowLevel() {
    m_level->setText(LevelText(m_slider->Pos()));
}

void CDlgZwaveLight::Released() {
    if (!CheckZwaveConnected()) {
        return;
    }
    ShowLevel();
    SetDevice(QStringLiteral("正在设置……"), m_node, m_slider->Pos());
}

void CDlgZwaveLight::MoveTo(int value) {
    m_slider->SetPos(std::clamp(value, 0, kMaxLevel));
    Released();
}

} // namespace kv
