#include "pages/CCompDlg.h"

#include "controls/CCompressPanelPlus.h"
#include "controls/CXBmpSlider.h"
#include "pages/FieldBinder.h"
#include "pages/OutputFields.h"
#include "pages/OutputNavRow.h"
#include "shell/Language.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>
#include <QWheelEvent>

namespace kv {

namespace {

using namespace fields;

constexpr int kSwitchId = 1045;
constexpr int kComboId = 1134;
constexpr int kComboLabelId = 1220;
constexpr int kPanelId = 1125;
constexpr std::array<int, 4> kSliderIds = {1014, 1015, 1016, 1017};
constexpr std::array<int, 4> kValueIds = {1038, 1039, 1040, 1041};
constexpr std::array<int, 4> kLabelIds = {1005, 1006, 1007, 1008};

constexpr FieldBinding kControls[] = {
    {.control = kSwitchId, .field = &outCompOff, .entry = kChannelEntry, .inverted = true},
    {1014, &outCompThreshold, kChannelEntry, 1038, &ThresholdText, &SetCompressorField},
    {1015, &outCompRatio, kChannelEntry, 1039, &RatioText, &SetCompressorField},
    {1016, &outCompAttack, kChannelEntry, 1040, &TimeText, &SetCompressorField},
    {1017, &outCompRelease, kChannelEntry, 1041, &TimeText, &SetCompressorField},
};

const QColor kBackground(240, 250, 255);

} // namespace

CCompDlg::CCompDlg(QWidget* parent)
    : QWidget(parent), m_nav(new OutputNavRow(PageKind::Compressor, this)),
      m_channelCombo(new QComboBox(this)), m_switch(new QCheckBox(this)),
      m_panel(new CCompressPanelPlus(this)), m_binder(new FieldBinder(kControls, this)) {
    setObjectName(QStringLiteral("compressorPage"));
    setAutoFillBackground(true);
    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, kBackground);
    setPalette(palette);

    auto* comboLabel = new QLabel(QStringLiteral("选择通道"), this);
    SetControlId(comboLabel, kComboLabelId);
    SetControlId(m_channelCombo, kComboId);
    SetControlId(m_switch, kSwitchId);
    SetControlId(m_panel, kPanelId);
    m_switch->setText(QStringLiteral("压限启用"));
    m_panel->SetLowerKnee(-90.0f);
    m_panel->SetLowerSlope(1.0f);
    m_panel->setMinimumSize(360, 300);

    const std::array<const char*, 4> names = {"阀(阈)", "衰减比例", "启动时间", "释放时间"};
    const std::array<int, 4> initial = {0, 10, 1, 100};
    auto* grid = new QGridLayout;
    grid->setHorizontalSpacing(10);
    grid->setVerticalSpacing(14);
    grid->addWidget(comboLabel, 0, 0);
    grid->addWidget(m_channelCombo, 0, 1, 1, 2);
    grid->addWidget(m_switch, 1, 0, 1, 3);
    for (std::size_t i = 0; i < 4; ++i) {
        auto* label = new QLabel(QString::fromUtf8(names[i]), this);
        SetControlId(label, kLabelIds[i]);
        auto* slider = new CXBmpSlider(this, kSliderIds[i]);
        SetControlId(slider, kSliderIds[i]);
        slider->SetSkin(CXBmpSlider::Skin::LongHorizontal);
        slider->SetBackgroundColour(kBackground.rgb());
        slider->SetPos(initial[i]);
        auto* value = new QLineEdit(this);
        SetControlId(value, kValueIds[i]);
        value->setReadOnly(true);
        value->setFocusPolicy(Qt::NoFocus);
        value->setFixedWidth(70);
        value->setAlignment(Qt::AlignCenter);
        m_sliders[i] = slider;
        m_values[i] = value;
        const int row = 2 + static_cast<int>(i);
        grid->addWidget(label, row, 0);
        grid->addWidget(slider, row, 1);
        grid->addWidget(value, row, 2);
    }
    grid->setRowStretch(6, 1);

    auto* body = new QHBoxLayout;
    body->setSpacing(16);
    body->addLayout(grid);
    body->addWidget(m_panel, 1);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(10, 8, 10, 10);
    layout->setSpacing(10);
    layout->addWidget(m_nav);
    layout->addLayout(body, 1);

    FillChannelCombo();
    m_binder->AttachAll([this](int control) { return FindControl(this, control); });
    connect(m_binder, &FieldBinder::changed, this, [this] { ShowPanel(); });
    connect(m_channelCombo, &QComboBox::activated, this, [this](int i) { SelectChannel(i); });
    RefreshFromImage();
}

CCompDlg::~CCompDlg() = default;

void CCompDlg::FillChannelCombo() {
    const int selected = std::max(0, m_channelCombo->currentIndex());
    const QSignalBlocker blocker(m_channelCombo);
    m_channelCombo->clear();
    for (int c = 1; c <= 8; ++c) {
        m_channelCombo->addItem(Tr("通道%1", "CH %1").arg(c));
    }
    m_channelCombo->setCurrentIndex(selected);
}

void CCompDlg::SelectChannel(int channel) {
    m_channel = std::clamp(channel, 0, 7);
    const QSignalBlocker blocker(m_channelCombo);
    m_channelCombo->setCurrentIndex(m_channel);
    RefreshFromImage();
}

void CCompDlg::RefreshFromImage() {
    m_binder->SetChannel(m_channel);
    m_binder->RefreshFromImage();
    ShowPanel();
}

void CCompDlg::ShowPanel() {
    // The values as shown, limited to their ranges, so that a bad ratio never makes the curve
    // rise.
    m_panel->SetEnabled(m_switch->isChecked());
    m_panel->SetThreshold(static_cast<float>(m_binder->Value(*m_binder->Binding(kSliderIds[0]))));
    m_panel->SetUpperSlope(
        static_cast<float>(1.0 / m_binder->Value(*m_binder->Binding(kSliderIds[1]))));
    m_panel->update();
}

void CCompDlg::ApplyLanguage() {
    m_binder->SetLanguage(LanguageIndex());
    ApplyLanguageTexts(this, kDialogId);
    FillChannelCombo();
    m_binder->RefreshFromImage();
}

void CCompDlg::wheelEvent(QWheelEvent* event) {
    // The wheel anywhere over the page turns the slider that has the focus.
    QWidget* focused = QApplication::focusWidget();
    for (CXBmpSlider* s : m_sliders) {
        if (s == focused) {
            QApplication::sendEvent(s, event);
            return;
        }
    }
    QWidget::wheelEvent(event);
}

} // namespace kv
