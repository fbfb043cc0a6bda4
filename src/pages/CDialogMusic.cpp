#include "pages/CDialogMusic.h"

#include "controls/CEqPanel.h"
#include "controls/CGdipButton.h"
#include "controls/CPeakMeterCtrl.h"
#include "controls/CSmallEqPanel.h"
#include "controls/CXBmpSlider.h"
#include "image/ParamImage.h"
#include "link/ConnectionState.h"
#include "pages/EqBandEditor.h"
#include "pages/EqBandTable.h"
#include "pages/EqSection.h"
#include "pages/FieldBinder.h"
#include "pages/PageSwitch.h"
#include "pages/PageTexts.h"
#include "protocol/Equaliser.h"
#include "shell/AppState.h"
#include "shell/CMX2240v13View.h"
#include "shell/Language.h"
#include "shell/Shell.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include <algorithm>

namespace kv {

namespace {

using namespace fields;

constexpr int kNoticeMs = 1100;
constexpr int kMics = 4;
constexpr int kShownMics = 2; // Mic 3 and Mic 4 are hidden in the template
constexpr int kSourceLevels = 3;
constexpr int kFirstMeter = 1168;

// Rows 0..8 of the parameter table, then the three source levels, then the microphones.
constexpr FieldBinding kControls[] = {
    {0, &reverbLevel, kChannelEntry, 0, &pagetext::Percent},
    {0, &reverbPredelay, kChannelEntry, 0, &pagetext::MsInt},
    {0, &reverbTime, kChannelEntry, 0, &pagetext::ReverbTime},
    {0, &echoLevel, kChannelEntry, 0, &pagetext::Percent},
    {0, &echoPredelay, kChannelEntry, 0, &pagetext::MsInt},
    {0, &echoTime, kChannelEntry, 0, &pagetext::MsInt},
    {0, &echoStartVol, kChannelEntry, 0, &pagetext::Percent},
    {0, &echoDecay, kChannelEntry, 0, &pagetext::Percent},
    {0, &micShiftFreqA, kChannelEntry, 0, &pagetext::ShiftFreq, nullptr, &micShiftFreqB},
    // Source level by music source: HDMI, BT, optical.
    {0, &sourceLevelHdmi1, 0, 1174},
    {0, &sourceLevelBt, 0, 1174},
    {0, &sourceLevelSpdif1, 0, 1174},
    // Noise gate, volume and routing of Mic 1..4.
    {1052, &micNoiseGate, 0, 1152},
    {1053, &micNoiseGate, 1, 1154},
    {1054, &micNoiseGate, 2, 1156},
    {1055, &micNoiseGate, 3, 1158},
    {1056, &micInputVolume, 0, 1160},
    {1057, &micInputVolume, 1, 1162},
    {1058, &micInputVolume, 2, 1164},
    {1059, &micInputVolume, 3, 1166},
    {1190, &micToChannelA, 0},
    {1191, &micToChannelB, 0},
    {1192, &micToChannelA, 1},
    {1193, &micToChannelB, 1},
    {1194, &micToChannelA, 2},
    {1195, &micToChannelB, 2},
    {1196, &micToChannelA, 3},
    {1197, &micToChannelB, 3},
};
constexpr int kFirstSourceLevel = CDialogMusic::kParamRows;

struct TextPair {
    const char* zh;
    const char* en;
};
constexpr TextPair kRowNames[] = {
    {"混响电平", "Reverb Level"},       {"混响预延时", "Reverb Predelay"},
    {"混响时长", "Reverb Time"},        {"回声电平", "Echo Level"},
    {"回声预延时", "Echo Predelay"},    {"回声间隔", "Echo Time"},
    {"回声起始音量", "Echo Start Vol"}, {"回声衰减比例", "Echo Vol Decay"},
    {"话筒移频", "Shift Frequency"},
};
constexpr TextPair kSourceLevelNames[] = {
    {"HDMI音量", "HDMI"}, {"蓝牙音量", "BT"}, {"光纤音量", "OPTICAL"}};
constexpr const char* kStreamFormats[] = {"STEREO",   "AC3",    "DTS",    "DTS-CD",      "E-AC3",
                                          "DOLBY-HD", "DTS-HR", "DTS-HD", "LPCM MultiCh"};

struct SourceLook {
    QColor header;
};
const QColor kHeaderColours[] = {QColor(0, 200, 255), QColor(0, 220, 0), QColor(255, 200, 0)};
const QColor kHeaderText(20, 20, 20);

EqTarget TargetOf(int source) {
    const int kind = source == 0 ? 0 : source == 1 ? 1 : 6;
    const EqKindBands k = *EqKind(kind);
    const MainField* sw = source == 0   ? &micEqSwitchA
                          : source == 1 ? &micEqSwitchB
                                        : &musicEqSwitch;
    return {kind, k.group, k.firstBand, k.bands, sw, 0};
}

QLabel* Label(QWidget* parent, int id, const QString& text = {}) {
    auto* l = new QLabel(text, parent);
    if (id != 0) {
        SetControlId(l, id);
    }
    return l;
}

} // namespace

CDialogMusic::CDialogMusic(int source, QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("mainPage"));
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, QColor(240, 250, 255));
    setPalette(pal);
    m_binder = new FieldBinder(kControls, this);
    Build();
    m_binder->AttachAll([this](int id) { return FindControl(this, id); });
    m_binder->SetHook(echoTime, [this](double v) {
        if (v >= 2 && v <= 6) {
            m_binder->EditTarget(reverbPredelay, m_binder->Channel(), v * 10);
        }
    });
    m_binder->SetHook(reverbLevel, [](double v) {
        if (v != 0 && GetParamImage().Int(reverbMute) != 0) {
            ShowInfo(Tr("混响已静音", "Reverb vol is mute"), kNoticeMs);
        }
    });
    m_binder->SetHook(echoLevel, [](double v) {
        if (v != 0 && GetParamImage().Int(echoMute) != 0) {
            ShowInfo(Tr("回声已静音", "Echo vol is mute"), kNoticeMs);
        }
    });
    connect(m_binder, &FieldBinder::changed, this, [this](const MainField* field, int) {
        for (int r = 0; r < kParamRows; ++r) {
            const FieldTarget t = m_binder->Target(Row(r));
            if (t.field->slot == field->slot) {
                ShowRow(r);
            }
        }
        ShowSourceLevel();
    });
    connect(m_eq, &EqSection::selectionChanged, this,
            [this](int band) { m_editor->setEnabled(band >= 0); });
    // The view hands on each status poll's answer.
    if (auto* view = qobject_cast<CMX2240v13View*>(parent)) {
        connect(view, &CMX2240v13View::statusReceived, this, &CDialogMusic::ShowStatus);
    }
    m_source = std::clamp(source, 0, 2);
    SetSource(m_source);
}

CDialogMusic::~CDialogMusic() = default;

void CDialogMusic::Build() {
    m_panel = new CEqPanel(this);
    SetControlId(m_panel, 1040);
    m_bandTable = new EqBandTable(10, this);
    SetControlId(m_bandTable, 1139);
    m_editor = new EqBandEditor(this);
    m_eq = new EqSection(m_panel, m_bandTable, m_editor, this);

    auto* sourceRow = new QHBoxLayout;
    sourceRow->setSpacing(6);
    for (int s = 0; s < 3; ++s) {
        auto* b = new CGdipButton(this);
        SetControlId(b, 1068 + s);
        b->SetStdImage(QStringLiteral(":/skins/button_std2.svg"));
        b->SetAltImage(QStringLiteral(":/skins/button_alt.svg"));
        b->SetTextColor(Qt::white);
        b->setFixedSize(120, 34);
        b->setFocusPolicy(Qt::NoFocus);
        connect(b, &QPushButton::clicked, this, [this, s] { SetSource(s); });
        m_sources[static_cast<std::size_t>(s)] = b;
        sourceRow->addWidget(b);
    }
    sourceRow->addStretch(1);
    m_format = Label(this, 1222, QStringLiteral("STEREO"));
    m_format->setObjectName(QStringLiteral("streamFormat"));
    m_format->setStyleSheet(QStringLiteral("font-weight: bold; color: rgb(0, 120, 200);"));
    sourceRow->addWidget(m_format);

    auto* bandRow = new QHBoxLayout;
    bandRow->setSpacing(6);
    bandRow->addWidget(m_bandTable);
    bandRow->addWidget(m_editor, 1);

    auto* left = new QVBoxLayout;
    left->setSpacing(6);
    left->addLayout(sourceRow);
    left->addWidget(m_panel, 1);
    left->addLayout(bandRow);

    auto* right = new QVBoxLayout;
    right->setSpacing(6);
    right->addWidget(BuildParameters());
    right->addWidget(BuildThumbs());
    right->addWidget(BuildMicrophones());
    right->addWidget(BuildMeters());
    right->addStretch(1);

    auto* grid = new QHBoxLayout(this);
    grid->setContentsMargins(6, 6, 6, 6);
    grid->setSpacing(8);
    grid->addLayout(left, 1);
    grid->addLayout(right, 0);
}

QWidget* CDialogMusic::BuildParameters() {
    auto* frame = new QGroupBox(this);
    SetControlId(frame, 1247);
    m_paramTable = new QTableWidget(kParamRows, 3, frame);
    SetControlId(m_paramTable, 1141);
    m_paramTable->setObjectName(QStringLiteral("paramTable"));
    m_paramTable->verticalHeader()->hide();
    m_paramTable->verticalHeader()->setDefaultSectionSize(19);
    m_paramTable->setColumnWidth(0, 34);
    m_paramTable->setColumnWidth(1, 130);
    m_paramTable->horizontalHeader()->setStretchLastSection(true);
    m_paramTable->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_paramTable->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_paramTable->setSelectionMode(QAbstractItemView::SingleSelection);
    m_paramTable->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_paramTable->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_paramTable->setFixedSize(250, 19 * kParamRows + 24);
    for (int r = 0; r < kParamRows; ++r) {
        for (int c = 0; c < 3; ++c) {
            auto* item = new QTableWidgetItem(c == 0 ? QString::number(r + 1) : QString());
            item->setTextAlignment(c == 1 ? (Qt::AlignLeft | Qt::AlignVCenter) : Qt::AlignCenter);
            m_paramTable->setItem(r, c, item);
        }
    }
    connect(m_paramTable, &QTableWidget::cellClicked, this, [this](int r, int) { SelectRow(r); });
    connect(m_paramTable, &QTableWidget::currentCellChanged, this,
            [this](int r, int, int, int) { SelectRow(r); });

    m_paramSlider = new CXBmpSlider(frame, 1000);
    SetControlId(m_paramSlider, 1000);
    m_paramSlider->SetSkin(CXBmpSlider::Skin::TallVertical);
    connect(m_paramSlider, &CXBmpSlider::sliderChanged, this, [this](int, int p) {
        if (m_paramSlider->Dragging()) {
            BeginGesture();
        }
        m_binder->Edit(Row(m_row), p);
    });
    connect(m_paramSlider, &CXBmpSlider::sliderReleased, this, [] { EndGesture(); });
    m_paramValue = new QLineEdit(frame);
    SetControlId(m_paramValue, 1038);
    m_paramValue->setReadOnly(true);
    m_paramValue->setAlignment(Qt::AlignCenter);
    m_paramValue->setFixedWidth(76);
    m_paramName = Label(frame, 1124);
    m_paramName->setAlignment(Qt::AlignCenter);
    m_paramName->setWordWrap(true);
    m_paramName->setFixedWidth(90);

    auto* column = new QVBoxLayout;
    column->setSpacing(3);
    column->addWidget(m_paramName, 0, Qt::AlignHCenter);
    column->addWidget(m_paramSlider, 1, Qt::AlignHCenter);
    column->addWidget(m_paramValue, 0, Qt::AlignHCenter);
    auto* row = new QHBoxLayout(frame);
    row->setContentsMargins(4, 4, 4, 4);
    row->addWidget(m_paramTable);
    row->addLayout(column);
    return frame;
}

QWidget* CDialogMusic::BuildThumbs() {
    auto* w = new QWidget(this);
    auto* grid = new QGridLayout(w);
    grid->setContentsMargins(0, 0, 0, 0);
    grid->setHorizontalSpacing(8);
    grid->setVerticalSpacing(1);
    m_echoThumb = new CSmallEqPanel(w);
    m_reverbThumb = new CSmallEqPanel(w);
    SetControlId(m_echoThumb, 1143);
    SetControlId(m_reverbThumb, 1144);
    grid->addWidget(Label(w, 1238), 0, 0);
    grid->addWidget(Label(w, 1239), 0, 1);
    grid->addWidget(m_echoThumb, 1, 0);
    grid->addWidget(m_reverbThumb, 1, 1);
    for (CSmallEqPanel* p : {m_echoThumb, m_reverbThumb}) {
        p->setMinimumSize(150, 60);
        p->setCursor(Qt::PointingHandCursor);
    }
    connect(m_reverbThumb, &CSmallEqPanel::clicked, this, [this] { OpenEffects(true); });
    connect(m_echoThumb, &CSmallEqPanel::clicked, this, [this] { OpenEffects(false); });
    return w;
}

QWidget* CDialogMusic::BuildMicrophones() {
    auto* frame = new QGroupBox(this);
    SetControlId(frame, 1230);
    auto* grid = new QGridLayout(frame);
    grid->setContentsMargins(6, 4, 6, 4);
    grid->setHorizontalSpacing(6);
    grid->setVerticalSpacing(2);
    grid->addWidget(Label(frame, 1231), 0, 1, 1, 2);
    grid->addWidget(Label(frame, 1232), 0, 3, 1, 2);
    grid->addWidget(Label(frame, 1233), 0, 5, 1, 2);
    for (int k = 0; k < kMics; ++k) {
        auto* name = Label(frame, 1234 + k);
        auto* gate = new CXBmpSlider(frame, 1052 + k);
        auto* volume = new CXBmpSlider(frame, 1056 + k);
        auto* gateText = Label(frame, 1152 + 2 * k);
        auto* volumeText = Label(frame, 1160 + 2 * k);
        auto* toA = new QRadioButton(frame);
        auto* toB = new QRadioButton(frame);
        // Each microphone's pair is a group of its own.
        auto* pair = new QWidget(frame);
        toA->setParent(pair);
        toB->setParent(pair);
        auto* pairRow = new QHBoxLayout(pair);
        pairRow->setContentsMargins(0, 0, 0, 0);
        pairRow->addWidget(toA);
        pairRow->addWidget(toB);
        SetControlId(toA, 1190 + 2 * k);
        SetControlId(toB, 1191 + 2 * k);
        for (CXBmpSlider* s : {gate, volume}) {
            s->SetSkin(CXBmpSlider::Skin::ShortHorizontal);
            SetControlId(s, s->ControlId());
        }
        for (QLabel* t : {gateText, volumeText}) {
            t->setFixedWidth(26);
            t->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        }
        const int r = k + 1;
        grid->addWidget(name, r, 0);
        grid->addWidget(gate, r, 1);
        grid->addWidget(gateText, r, 2);
        grid->addWidget(volume, r, 3);
        grid->addWidget(volumeText, r, 4);
        grid->addWidget(pair, r, 5, 1, 2);
        if (k >= kShownMics) {
            for (QWidget* w : {static_cast<QWidget*>(name), static_cast<QWidget*>(gate),
                               static_cast<QWidget*>(gateText), static_cast<QWidget*>(volume),
                               static_cast<QWidget*>(volumeText), pair}) {
                w->hide();
            }
        }
    }
    // The level of the current music source (hidden in the template, kept in step).
    m_sourceLevel = new CXBmpSlider(frame, 1060);
    SetControlId(m_sourceLevel, 1060);
    m_sourceLevel->SetSkin(CXBmpSlider::Skin::ShortHorizontal);
    m_sourceLevel->SetRange(0, 100);
    m_sourceLevelText = Label(frame, 1174);
    m_sourceLevelName = Label(frame, 1175);
    connect(m_sourceLevel, &CXBmpSlider::sliderChanged, this, [this](int, int p) {
        if (m_sourceLevel->Dragging()) {
            BeginGesture();
        }
        m_binder->Edit(kControls[kFirstSourceLevel + SourceLevelIndex()], p);
    });
    connect(m_sourceLevel, &CXBmpSlider::sliderReleased, this, [] { EndGesture(); });
    for (QWidget* w :
         std::initializer_list<QWidget*>{m_sourceLevel, m_sourceLevelText, m_sourceLevelName}) {
        w->hide();
    }
    grid->addWidget(m_sourceLevelName, kMics + 1, 0);
    grid->addWidget(m_sourceLevel, kMics + 1, 1);
    grid->addWidget(m_sourceLevelText, kMics + 1, 2);
    return frame;
}

QWidget* CDialogMusic::BuildMeters() {
    auto* frame = new QGroupBox(this);
    SetControlId(frame, 1240);
    auto* grid = new QGridLayout(frame);
    grid->setContentsMargins(6, 4, 6, 4);
    grid->setHorizontalSpacing(6);
    grid->setVerticalSpacing(2);
    // Mic 1..4 (1170..1173), then the two music meters (1168, 1169).
    constexpr int kOrder[] = {1170, 1171, 1172, 1173, 1168, 1169};
    for (int i = 0; i < 6; ++i) {
        const int id = kOrder[i];
        auto* meter = new CPeakMeterCtrl(frame);
        SetControlId(meter, id);
        meter->SetBandCount(1);
        meter->SetLedCount(15);
        meter->SetBackgroundColour(QColor(240, 250, 255));
        meter->ResetMeter();
        meter->StartTimer(35);
        meter->setMinimumSize(120, 9);
        meter->setMaximumHeight(11);
        m_meters[static_cast<std::size_t>(id - kFirstMeter)] = meter;
        grid->addWidget(Label(frame, 1241 + i), i % 3, (i / 3) * 2);
        grid->addWidget(meter, i % 3, (i / 3) * 2 + 1);
    }
    return frame;
}

CPeakMeterCtrl* CDialogMusic::Meter(int control) const {
    const int i = control - kFirstMeter;
    return i >= 0 && i < 6 ? m_meters[static_cast<std::size_t>(i)] : nullptr;
}

const FieldBinding& CDialogMusic::Row(int row) const {
    return kControls[std::clamp(row, 0, kParamRows - 1)];
}

void CDialogMusic::SetPageArgument(int source) {
    SetSource(std::clamp(source, 0, 2));
}

void CDialogMusic::SetSource(int source) {
    m_source = source;
    GetAppState().mainPageSource = source;
    m_binder->SetChannel(source == 1 ? 1 : 0);
    m_eq->SetTarget(TargetOf(source));
    RefreshFromImage();
}

void CDialogMusic::RefreshFromImage() {
    m_binder->RefreshFromImage();
    const bool music = m_source == 2;
    for (int s = 0; s < 3; ++s) {
        m_sources[static_cast<std::size_t>(s)]->SetSelected(s == m_source);
    }
    for (QWidget* w : std::initializer_list<QWidget*>{m_paramTable, m_paramSlider, m_paramValue,
                                                      m_paramName, m_echoThumb, m_reverbThumb}) {
        w->setEnabled(!music);
    }
    m_bandTable->SetHeaderColours(kHeaderColours[m_source], kHeaderText);
    m_eq->Load();
    for (int r = 0; r < kParamRows; ++r) {
        ShowRow(r);
    }
    SelectRow(m_row);
    ShowThumbs();
    ShowSourceLevel();
}

void CDialogMusic::ShowRow(int row) {
    const FieldBinding& b = Row(row);
    const double v = m_binder->Value(b);
    const QString text = m_binder->Text(b, v);
    m_paramTable->item(row, 2)->setText(text);
    if (row == m_row) {
        m_paramSlider->SetPos(static_cast<int>(v));
        m_paramValue->setText(text);
    }
}

void CDialogMusic::SelectRow(int row) {
    if (row < 0 || row >= kParamRows) {
        return;
    }
    m_row = row;
    const FieldBinding& b = Row(row);
    const FieldRange& r = m_binder->Range(b);
    m_paramSlider->SetRange(static_cast<int>(r.min), static_cast<int>(r.max));
    const int language = LanguageIndex();
    m_paramName->setText(language == kEnglish ? QString::fromUtf8(kRowNames[row].en)
                                              : QString::fromUtf8(kRowNames[row].zh));
    ShowRow(row);
    if (m_paramTable->currentRow() != row) {
        const QSignalBlocker blocker(m_paramTable);
        m_paramTable->selectRow(row);
    }
}

void CDialogMusic::ShowThumbs() {
    const ParamImage& image = GetParamImage();
    const int channel = m_source == 1 ? 1 : 0;
    struct Thumb {
        CSmallEqPanel* panel;
        int kind;
        const MainField* eqSwitch;
    };
    const Thumb thumbs[] = {{m_reverbThumb, 2 + channel, &reverbEqSwitch},
                            {m_echoThumb, 4 + channel, &echoEqSwitch}};
    for (const Thumb& t : thumbs) {
        const EqKindBands k = *EqKind(t.kind);
        for (int b = 0; b < CSmallEqPanel::kBands; ++b) {
            const EqBand r = image.ReadBand(k.group, k.firstBand + b);
            CSmallEqPanel::Band& band = t.panel->BandAt(b);
            band.type = r.type >= kFilterNone && r.type <= kFilterHighShelf ? r.type : kFilterNone;
            if (r.q > 0) {
                band.q = static_cast<float>(r.q);
            }
            // With music selected the thumbnails show no equaliser.
            t.panel->SetBandFreq(b, static_cast<float>(r.freqHz));
            t.panel->SetBandGain(b, m_source == 2 ? 0.0f : static_cast<float>(r.gainDb));
        }
        t.panel->SetDim(m_source == 2);
        t.panel->SetPass(m_source != 2 && image.Int(*t.eqSwitch, channel) != 0);
        t.panel->update();
    }
}

int CDialogMusic::SourceLevelIndex() const {
    const int source = GetParamImage().Int(musicSource);
    return source == 2 ? 0 : source == 3 ? 1 : 2;
}

void CDialogMusic::ShowSourceLevel() {
    const int i = SourceLevelIndex();
    const FieldBinding& b = kControls[kFirstSourceLevel + i];
    const double v = m_binder->Value(b);
    m_sourceLevel->SetPos(static_cast<int>(v));
    m_sourceLevelText->setText(m_binder->Text(b, v));
    const TextPair& name = kSourceLevelNames[i];
    m_sourceLevelName->setText(LanguageIndex() == kEnglish ? QString::fromUtf8(name.en)
                                                           : QString::fromUtf8(name.zh));
}

void CDialogMusic::OpenEffects(bool reverb) {
    if (m_source == 2) {
        return;
    }
    SwitchPageLater(PageKind::Effects, (reverb ? 0 : 2) + m_source);
}

void CDialogMusic::PollStatus() {
    ShowStatus(g_statusRecord.Get());
}

void CDialogMusic::ShowStatus(const StatusBytes& bytes) {
    for (int k = 0; k < 4; ++k) {
        const int v = bytes[static_cast<std::size_t>(k)];
        Meter(1170 + k)->SetData(std::span<const int>(&v, 1));
    }
    for (int k = 0; k < 2; ++k) {
        const int v = bytes[static_cast<std::size_t>(4 + k)];
        Meter(1168 + k)->SetData(std::span<const int>(&v, 1));
    }
    const int format = bytes[7] & 0x0F;
    if (format < static_cast<int>(std::size(kStreamFormats))) {
        m_format->setText(QString::fromLatin1(kStreamFormats[format]));
    }
}

void CDialogMusic::ApplyLanguage() {
    const int language = LanguageIndex();
    ApplyLanguageTexts(this, kDialog);
    m_binder->SetLanguage(language);
    m_eq->SetLanguage(language);
    const bool en = language == kEnglish;
    m_paramTable->setHorizontalHeaderLabels(
        {QStringLiteral("#"), en ? QStringLiteral("Parameter name") : QStringLiteral("参数名"),
         en ? QStringLiteral("Value") : QStringLiteral("参数值")});
    for (int r = 0; r < kParamRows; ++r) {
        m_paramTable->item(r, 1)->setText(en ? QString::fromUtf8(kRowNames[r].en)
                                             : QString::fromUtf8(kRowNames[r].zh));
    }
    for (int r = 0; r < kParamRows; ++r) {
        ShowRow(r);
    }
    SelectRow(m_row);
    ShowSourceLevel();
    m_binder->RefreshFromImage();
}

int CDialogMusic::ShownEqKind() const {
    return m_eq->Target().kind;
}

bool CDialogMusic::IsEqBypassed() const {
    return m_eq->Bypassed();
}

void CDialogMusic::SelectBand(int band) {
    m_eq->SelectBand(band);
}

void CDialogMusic::ToggleEqSwitch() {
    m_eq->ToggleSwitch();
}

void CDialogMusic::ResetEq() {
    m_eq->Reset();
}

} // namespace kv
