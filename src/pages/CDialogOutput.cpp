#include "pages/CDialogOutput.h"

#include "controls/CEqPanel.h"
#include "controls/CXBmpSlider.h"
#include "image/ParamImage.h"
#include "pages/CDlgMsgBox.h"
#include "pages/ChannelLink.h"
#include "pages/EditHistory.h"
#include "pages/EqBandEditor.h"
#include "pages/EqBandTable.h"
#include "pages/FieldBinder.h"
#include "pages/OutputEqSection.h"
#include "pages/OutputFields.h"
#include "pages/OutputNavRow.h"
#include "pages/OutputPicture.h"
#include "protocol/DelayOperations.h"
#include "shell/AppState.h"
#include "shell/CMainFrame.h"
#include "shell/Language.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QRadioButton>
#include <QVBoxLayout>
#include <QWheelEvent>

#include <algorithm>

namespace kv {

namespace {

using namespace fields;

constexpr int kPictureId = 1258;
constexpr int kPanelId = 1040;
constexpr int kListId = 1139;
constexpr int kSlopeId = 1134;
constexpr int kSlopeLabelId = 1215;
constexpr int kCrossoverId = 1014;
constexpr int kCrossoverLabelId = 1008;
constexpr int kDelaySliderId = 1019;
constexpr int kDelaySwitchId = 1293;
constexpr int kHighFreqId = 1190;
constexpr int kChannelDelayId = 1191;
constexpr int kDelayLabelId = 1038;
constexpr int kCompSwitchId = 1081;
constexpr std::array<int, 4> kLevelIds = {1041, 1042, 1043, 1044};
constexpr std::array<int, 4> kLevelTextIds = {1127, 1128, 1129, 1130};
constexpr std::array<int, 4> kLevelLabelIds = {1123, 1124, 1125, 1126};
constexpr std::array<int, 4> kCompIds = {1015, 1016, 1017, 1018};
constexpr std::array<int, 4> kCompTextIds = {1225, 1226, 1227, 1228};
constexpr std::array<int, 4> kCompLabelIds = {1229, 1230, 1231, 1232};
constexpr std::array<int, 8> kMuteIds = {1045, 1047, 1048, 1049, 1050, 1051, 1052, 1053};
constexpr int kPhaseFirstId = 1054;
constexpr int kRoleFirstId = 1217;
constexpr int kMuteNoticeMs = 1100;

const QColor kBackground(240, 250, 255);

/// Levels, delay, compressor, and the mute and phase of every channel.
constexpr int kBindings = 4 + 4 + 1 + 4 + 2 * 8;

constexpr std::array<FieldBinding, kBindings> MakeControls() {
    std::array<FieldBinding, kBindings> b{};
    std::size_t n = 0;
    const std::array<const MainField*, 4> levels = {&outDirectLevel, &outReverbLevel, &outEchoLevel,
                                                    &outMusicLevel};
    for (std::size_t i = 0; i < 4; ++i) {
        b[n++] = {.control = kLevelIds[i],
                  .field = levels[i],
                  .entry = kChannelEntry,
                  .textControl = kLevelTextIds[i],
                  .text = &PercentText,
                  .setter = &SetLinkedField};
    }
    b[n++] = {.control = kDelaySwitchId,
              .field = &outDelayOff,
              .entry = kChannelEntry,
              .setter = &SetLinkedField,
              .inverted = true};
    b[n++] = {.control = kHighFreqId,
              .field = &outDelayMode,
              .entry = kChannelEntry,
              .setter = &SetLinkedDelayMode,
              .inverted = true};
    b[n++] = {.control = kChannelDelayId,
              .field = &outDelayMode,
              .entry = kChannelEntry,
              .setter = &SetLinkedDelayMode};
    b[n++] = {.control = kDelaySliderId,
              .field = &outDelay,
              .entry = kChannelEntry,
              .textControl = kDelayLabelId,
              .text = &DelayText,
              .setter = &SetLinkedDelay};
    b[n++] = {.control = kCompSwitchId,
              .field = &outCompOff,
              .entry = kChannelEntry,
              .setter = &SetLinkedField,
              .inverted = true};
    const std::array<const MainField*, 4> comp = {&outCompThreshold, &outCompRatio, &outCompAttack,
                                                  &outCompRelease};
    const std::array<ValueText, 4> compText = {&ThresholdText, &RatioText, &TimeText, &TimeText};
    for (std::size_t i = 0; i < 4; ++i) {
        b[n++] = {.control = kCompIds[i],
                  .field = comp[i],
                  .entry = kChannelEntry,
                  .textControl = kCompTextIds[i],
                  .text = compText[i],
                  .setter = &SetLinkedCompressorField};
    }
    // Mute and phase of every channel, each on its own channel only.
    for (int c = 0; c < 8; ++c) {
        b[n++] = {.control = kMuteIds[static_cast<std::size_t>(c)], .field = &outMute, .entry = c};
        b[n++] = {.control = kPhaseFirstId + c, .field = &outPhaseInvert, .entry = c};
    }
    return b;
}

constexpr auto kControls = MakeControls();

QLabel* NumberedLabel(QWidget* parent, int id, const char* text) {
    auto* label = new QLabel(QString::fromUtf8(text), parent);
    SetControlId(label, id);
    return label;
}

CXBmpSlider* NumberedSlider(QWidget* parent, int id) {
    auto* slider = new CXBmpSlider(parent, id);
    SetControlId(slider, id);
    slider->SetSkin(CXBmpSlider::Skin::LongHorizontal);
    slider->SetBackgroundColour(kBackground.rgb());
    return slider;
}

QLabel* ValueLabel(QWidget* parent, int id) {
    auto* label = new QLabel(parent);
    SetControlId(label, id);
    label->setMinimumWidth(58);
    return label;
}

QGroupBox* Group(QWidget* parent, QLayout* layout) {
    auto* box = new QGroupBox(parent);
    box->setLayout(layout);
    layout->setContentsMargins(6, 4, 6, 4);
    return box;
}

} // namespace

CDialogOutput::CDialogOutput(int channel, QWidget* parent)
    : QWidget(parent), m_channel(std::clamp(channel, 0, 7)),
      m_nav(new OutputNavRow(PageKind::Output, this)), m_binder(new FieldBinder(kControls, this)) {
    setObjectName(QStringLiteral("outputPage"));
    setAutoFillBackground(true);
    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, kBackground);
    setPalette(palette);

    auto* panel = new CEqPanel(this);
    SetControlId(panel, kPanelId);
    panel->setMinimumHeight(200);
    auto* table = new EqBandTable(OutputEqSection::kListRows, this);
    SetControlId(table, kListId);
    table->SetHeaderColours(QColor(20, 20, 20), QColor(0, 200, 255));
    auto* editor = new EqBandEditor(this);
    editor->hide();
    auto* slope = new QComboBox(this);
    SetControlId(slope, kSlopeId);
    auto* slopeLabel = NumberedLabel(this, kSlopeLabelId, "类型");
    m_eq = new OutputEqSection(panel, table, editor, slope, slopeLabel, this);
    connect(m_eq, &OutputEqSection::editorShown, this, [table, editor](bool shown) {
        table->setVisible(!shown);
        editor->setVisible(shown);
    });

    m_picture = new QLabel(this);
    SetControlId(m_picture, kPictureId);
    m_picture->setFixedSize(OutputPictureSize());

    auto* left = new QVBoxLayout;
    left->setSpacing(4);
    left->addWidget(m_picture, 0, Qt::AlignHCenter);
    left->addWidget(BuildLevels());
    left->addWidget(BuildDelay());
    left->addWidget(BuildCompressor());
    left->addStretch(1);

    auto* slopeRow = new QHBoxLayout;
    slopeRow->addWidget(slopeLabel);
    slopeRow->addWidget(slope);
    slopeRow->addStretch(1);
    auto* bandArea = new QVBoxLayout;
    bandArea->setSpacing(4);
    bandArea->addWidget(table, 1);
    bandArea->addWidget(editor, 1);
    bandArea->addLayout(slopeRow);
    auto* lower = new QHBoxLayout;
    lower->addLayout(bandArea);
    lower->addWidget(BuildChannels(), 1);
    auto* right = new QVBoxLayout;
    right->setSpacing(6);
    right->addWidget(panel, 1);
    right->addLayout(lower);

    auto* body = new QHBoxLayout;
    body->setSpacing(10);
    body->addLayout(left);
    body->addLayout(right, 1);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(8, 6, 8, 6);
    layout->setSpacing(6);
    layout->addWidget(m_nav);
    layout->addLayout(body, 1);

    m_binder->AttachAll([this](int control) { return FindControl(this, control); });
    connect(m_binder, &FieldBinder::changed, this,
            [this](const MainField* field, int entry) { OnFieldChanged(field, entry); });
    connect(m_nav, &OutputNavRow::channelChosen, this, [this](int c) { SelectChannel(c); });
    FillRoleTexts();
    SelectChannel(m_channel);
}

CDialogOutput::~CDialogOutput() = default;

QWidget* CDialogOutput::BuildLevels() {
    auto* grid = new QGridLayout;
    grid->setVerticalSpacing(2);
    const std::array<const char*, 4> names = {"直达声音量", "混响音量", "回声音量", "音乐音量"};
    for (std::size_t i = 0; i < 4; ++i) {
        const int row = static_cast<int>(i);
        grid->addWidget(NumberedLabel(this, kLevelLabelIds[i], names[i]), row, 0);
        grid->addWidget(NumberedSlider(this, kLevelIds[i]), row, 1);
        grid->addWidget(ValueLabel(this, kLevelTextIds[i]), row, 2);
    }
    return Group(this, grid);
}

QWidget* CDialogOutput::BuildDelay() {
    auto* grid = new QGridLayout;
    grid->setVerticalSpacing(2);
    auto* onBox = new QCheckBox(QStringLiteral("延时开关"), this);
    SetControlId(onBox, kDelaySwitchId);
    auto* highFreq = new QRadioButton(QStringLiteral("高频延时"), this);
    SetControlId(highFreq, kHighFreqId);
    auto* channelDelay = new QRadioButton(QStringLiteral("通道延时"), this);
    SetControlId(channelDelay, kChannelDelayId);
    auto* group = new QButtonGroup(this);
    group->addButton(highFreq);
    group->addButton(channelDelay);
    auto* crossover = NumberedSlider(this, kCrossoverId);
    crossover->SetRange(0, kCrossoverSteps - 1);
    connect(crossover, &CXBmpSlider::sliderChanged, this, [this](int, int k) {
        if (Slider(kCrossoverId)->Dragging()) {
            BeginGesture();
        }
        OnDelayCrossover(k);
    });
    connect(crossover, &CXBmpSlider::sliderReleased, this, [] { EndGesture(); });
    // The switch above its two modes keeps the left column narrow enough for 1040 px.
    grid->addWidget(onBox, 0, 0, 1, 2);
    grid->addWidget(highFreq, 1, 0);
    grid->addWidget(channelDelay, 1, 1);
    grid->setColumnStretch(2, 1);
    auto* row1 = new QHBoxLayout;
    row1->addWidget(crossover);
    row1->addWidget(ValueLabel(this, kCrossoverLabelId));
    row1->addStretch(1);
    auto* row2 = new QHBoxLayout;
    row2->addWidget(NumberedSlider(this, kDelaySliderId));
    row2->addWidget(ValueLabel(this, kDelayLabelId));
    row2->addStretch(1);
    grid->addLayout(row1, 2, 0, 1, 3);
    grid->addLayout(row2, 3, 0, 1, 3);
    return Group(this, grid);
}

QWidget* CDialogOutput::BuildCompressor() {
    auto* grid = new QGridLayout;
    grid->setVerticalSpacing(2);
    auto* onBox = new QCheckBox(QStringLiteral("压限启用"), this);
    SetControlId(onBox, kCompSwitchId);
    grid->addWidget(onBox, 0, 0, 1, 3);
    const std::array<const char*, 4> names = {"阀(阈)", "衰减比例", "启动时间", "释放时间"};
    for (std::size_t i = 0; i < 4; ++i) {
        const int row = 1 + static_cast<int>(i);
        grid->addWidget(NumberedLabel(this, kCompLabelIds[i], names[i]), row, 0);
        grid->addWidget(NumberedSlider(this, kCompIds[i]), row, 1);
        grid->addWidget(ValueLabel(this, kCompTextIds[i]), row, 2);
    }
    return Group(this, grid);
}

QWidget* CDialogOutput::BuildChannels() {
    auto* grid = new QGridLayout;
    grid->setHorizontalSpacing(6);
    grid->setVerticalSpacing(2);
    for (int c = 0; c < 8; ++c) {
        const auto i = static_cast<std::size_t>(c);
        auto* name = new QLabel(QStringLiteral("CH%1").arg(c + 1), this);
        name->setAlignment(Qt::AlignCenter);
        m_roles[i] = new QComboBox(this);
        SetControlId(m_roles[i], kRoleFirstId + c);
        connect(m_roles[i], &QComboBox::activated, this, [this, c](int role) { OnRole(c, role); });
        m_mutes[i] = new QCheckBox(QStringLiteral("静音"), this);
        SetControlId(m_mutes[i], kMuteIds[i]);
        m_phases[i] = new QCheckBox(QStringLiteral("相位180°"), this);
        SetControlId(m_phases[i], kPhaseFirstId + c);
        const int row = c / 4 * 4;
        const int column = c % 4;
        grid->addWidget(name, row, column);
        grid->addWidget(m_roles[i], row + 1, column);
        grid->addWidget(m_mutes[i], row + 2, column);
        grid->addWidget(m_phases[i], row + 3, column);
    }
    const std::array<const char*, 3> links = {"通道1+通道2齐调节", "通道3+通道4齐调节",
                                              "通道7+通道8齐调节"};
    auto* linkRow = new QHBoxLayout;
    for (std::size_t p = 0; p < m_links.size(); ++p) {
        m_links[p] = new QCheckBox(QString::fromUtf8(links[p]), this);
        SetControlId(m_links[p], kLinkIds[p]);
        const int pair = static_cast<int>(p);
        connect(m_links[p], &QCheckBox::clicked, this,
                [this, pair](bool checked) { OnLinkBox(pair, checked); });
        linkRow->addWidget(m_links[p]);
    }
    grid->addLayout(linkRow, 8, 0, 1, 4);
    grid->setRowStretch(9, 1);
    grid->setColumnStretch(4, 1); // maximised, the spare width goes beside the columns
    auto* box = Group(this, grid);
    return box;
}

void CDialogOutput::FillRoleTexts() {
    static constexpr std::array<const char*, 8> kZh = {"前置左", "前置右", "后环绕左", "后环绕右",
                                                       "超低",   "中置",   "侧环绕左", "侧环绕右"};
    static constexpr std::array<const char*, 8> kEn = {"CH-L",   "CH-R",   "CH-SBL", "CH-SBR",
                                                       "CH-SUB", "CH-CEN", "CH-SL",  "CH-SR"};
    const bool english = LanguageIndex() == kEnglish;
    for (QComboBox* combo : m_roles) {
        const QSignalBlocker blocker(combo);
        const int current = combo->currentIndex();
        combo->clear();
        for (std::size_t r = 0; r < kZh.size(); ++r) {
            combo->addItem(QString::fromUtf8(english ? kEn[r] : kZh[r]));
        }
        combo->setCurrentIndex(current);
    }
}

QWidget* CDialogOutput::Control(int id) const {
    return FindControl(this, id);
}

CXBmpSlider* CDialogOutput::Slider(int id) const {
    return qobject_cast<CXBmpSlider*>(Control(id));
}

void CDialogOutput::SelectChannel(int channel) {
    m_channel = std::clamp(channel, 0, 7);
    GetAppState().outputPageChannel = m_channel;
    RefreshFromImage();
    ApplyLanguage();
}

void CDialogOutput::RefreshFromImage() {
    m_binder->SetChannel(m_channel);
    m_eq->SetChannel(m_channel);
    ShowPicture();
    m_binder->RefreshFromImage();
    m_eq->Load();
    m_nav->SetCurrentChannel(m_channel);
    ShowChannelControls();
    ShowDelayCrossover();
    ApplyDelayEnabling();
}

void CDialogOutput::ApplyLanguage() {
    m_binder->SetLanguage(LanguageIndex());
    m_eq->SetLanguage(LanguageIndex());
    ApplyLanguageTexts(this, kDialogId);
    FillRoleTexts();
    RefreshFromImage();
}

void CDialogOutput::ShowPicture() {
    m_picture->setPixmap(OutputPicture(m_channel, LanguageIndex(), devicePixelRatioF()));
}

void CDialogOutput::ShowChannelControls() {
    const ParamImage& image = GetParamImage();
    for (int c = 0; c < 8; ++c) {
        QComboBox* combo = m_roles[static_cast<std::size_t>(c)];
        const QSignalBlocker blocker(combo);
        combo->setCurrentIndex(std::clamp(image.Int(outRole, c), 0, 7));
    }
    const LinkFlags flags = CurrentLinkFlags();
    for (std::size_t p = 0; p < m_links.size(); ++p) {
        m_links[p]->setChecked(flags[p] != 0);
    }
}

void CDialogOutput::ShowDelayCrossover() {
    CXBmpSlider* slider = Slider(kCrossoverId);
    const int k =
        std::clamp(GetDelayCrossoverIndex(m_channel), slider->Minimum(), slider->Maximum());
    slider->SetPos(k);
    static_cast<QLabel*>(Control(kCrossoverLabelId))
        ->setText(QStringLiteral("%1Hz").arg(CrossoverFrequency(k)));
}

void CDialogOutput::ApplyDelayEnabling() {
    const bool on = static_cast<QCheckBox*>(Control(kDelaySwitchId))->isChecked();
    const bool highFreq = static_cast<QRadioButton*>(Control(kHighFreqId))->isChecked();
    Control(kHighFreqId)->setEnabled(on);
    Control(kChannelDelayId)->setEnabled(on);
    Slider(kCrossoverId)->SetEnabled(on && highFreq);
    Control(kCrossoverLabelId)->setEnabled(on && highFreq);
    Control(kDelayLabelId)->setEnabled(on);
}

void CDialogOutput::OnFieldChanged(const MainField* field, int entry) {
    if (field->slot == outDelayMode.slot && entry == m_channel) {
        ShowDelayCrossover();
    }
    ApplyDelayEnabling();
    const bool level = std::any_of(kLevelIds.begin(), kLevelIds.end(), [&](int id) {
        return m_binder->Binding(id)->field->slot == field->slot;
    });
    if (level && entry == m_channel && GetParamImage().Int(outMute, m_channel) != 0) {
        if (CMainFrame* frame = CMainFrame::Instance()) {
            frame->ShowInfo(Tr("当前是静音状态", "vol is mute"), kMuteNoticeMs);
        }
    }
}

void CDialogOutput::OnDelayCrossover(int k) {
    const EditScope scope;
    for (int i : GetLinkedChannels(m_channel, CurrentLinkFlags())) {
        EditDelayCrossover(i, k);
    }
    static_cast<QLabel*>(Control(kCrossoverLabelId))
        ->setText(QStringLiteral("%1Hz").arg(CrossoverFrequency(k)));
}

void CDialogOutput::OnRole(int channel, int role) {
    EditField(outRole, channel, role);
}

void CDialogOutput::OnLinkBox(int pair, bool checked) {
    const int p = kLinkPairs[static_cast<std::size_t>(pair)][0];
    const int q = kLinkPairs[static_cast<std::size_t>(pair)][1];
    if (checked && !ChannelsEqual(p, q)) {
        const QString message =
            Tr("通道参数不一致，是否需要同步？", "Parameter is different, Is need set same?");
        const QString first = Tr("以通道%1为标准同步", "Both set CH%1").arg(p + 1);
        const QString second = Tr("以通道%1为标准同步", "Both set CH%1").arg(q + 1);
        const int answer = CDlgMsgBox::Ask(this, message, first, second);
        if (answer == 1) {
            SyncChannels(p, q);
        } else if (answer == 2) {
            SyncChannels(q, p);
        } else {
            checked = false;
            m_links[static_cast<std::size_t>(pair)]->setChecked(false);
        }
    }
    StoreLinkFlag(pair, checked);
    RefreshFromImage();
}

bool CDialogOutput::IsEqBypassed() const {
    return m_eq->Bypassed();
}

void CDialogOutput::SelectBand(int band) {
    m_eq->SelectBand(band);
}

void CDialogOutput::ToggleEqSwitch() {
    m_eq->ToggleSwitch();
}

void CDialogOutput::ResetEq() {
    m_eq->Reset();
}

void CDialogOutput::wheelEvent(QWheelEvent* event) {
    // The wheel anywhere over the page turns the focused curve panel or slider.
    QWidget* focused = QApplication::focusWidget();
    if (focused && focused != this && isAncestorOf(focused) &&
        (qobject_cast<CEqPanel*>(focused) || qobject_cast<CXBmpSlider*>(focused) ||
         ControlId(focused) >= 1046)) {
        QApplication::sendEvent(focused, event);
        return;
    }
    QWidget::wheelEvent(event);
}

} // namespace kv
