#include "settings/CSSVCDlg.h"

#include "controls/CSSVolumePanel.h"
#include "controls/CXBmpSlider.h"
#include "image/MainFields.h"
#include "image/TypedValue.h"
#include "pages/FieldBinder.h"
#include "pages/OutputNavRow.h"
#include "pages/ValueNote.h"
#include "protocol/CoefficientEncoders.h"
#include "protocol/ParamSenders.h"
#include "protocol/PositionTrims.h"
#include "settings/SettingTexts.h"
#include "settings/SettingsDialog.h"
#include "settings/UpDownButtons.h"
#include "shell/Language.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

namespace kv {

namespace {

constexpr int kChannels = 8;
constexpr int kLocateModule = 4;
constexpr int kLocateItem = 34;
constexpr int kListenerXEdit = 1230, kListenerXUpDown = 1244;
constexpr int kListenerYEdit = 1049, kListenerYUpDown = 1245;
constexpr int kSpeakerEdit = 1050, kSpeakerUpDown = 1246;
constexpr int kRoomUpDowns[] = {1242, 1243};
constexpr int kLocateIds[kChannels] = {1231, 1232, 1233, 1234, 1235, 1236, 1240, 1241};
constexpr int kNameLabel = 1123, kLevelSlider = 1041, kLevelText = 1131;
/// Row labels of the speakers, geometry index order.
constexpr int kSpeakerLabels[kPositionSpeakers] = {1011, 1012, 1013, 1022, 1023, 1017, 1018, 1019};
/// Names of the speaker codes 0..7.
constexpr const char* kCodeNamesZh[] = {"前置左", "前置右", "后环绕左", "后环绕右",
                                        "超低",   "中置",   "侧环绕左", "侧环绕右"};
constexpr const char* kCodeNamesEn[] = {"CH-L",   "CH-R",   "CH-SBL", "CH-SBR",
                                        "CH-SUB", "CH-CEN", "CH-SL",  "CH-SR"};

int g_rememberedLocate = 0;

constexpr auto kBindings = [] {
    std::array<FieldBinding, kChannels> b{};
    for (int c = 0; c < kChannels; ++c) {
        b[static_cast<std::size_t>(c)] = {kLevelSlider + c, &fields::outGain, c, kLevelText + c,
                                          &settingtext::Percent};
    }
    return b;
}();

QString MetresText(double v) {
    return QString::asprintf("%+-.1fm", v);
}

QString RoomText(int v) {
    return QString::asprintf("%dm", v);
}

/// The metres typed into an edit ("2.5", "-1 m"); 0 when it holds no number.
double TypedMetres(const QString& text) {
    const TypedValue typed = ReadTypedValue(text.toStdString(), "m");
    return typed.ok() ? typed.value : 0.0;
}

/// A typed value limited to min..max; a value outside is noted with both shown by text.
template <typename T, typename Text>
T Limited(T typed, T min, T max, Text text) {
    const T kept = std::clamp(typed, min, max);
    if (kept != typed) {
        NoteLimited(text(typed), text(kept), LanguageIndex());
    }
    return kept;
}

int Tenths(double v) {
    return static_cast<int>(std::trunc(v * 10.0));
}

} // namespace

CSSVCDlg::CSSVCDlg(QWidget* parent)
    : QWidget(parent), m_nav(new OutputNavRow(PageKind::Positioning, this)),
      m_panel(new CSSVolumePanel(this)), m_binder(new FieldBinder(kBindings, this)) {
    setObjectName(QStringLiteral("positioningPage"));
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, QColor::fromRgb(SettingsDialog::kBackground));
    setPalette(pal);
    SetControlId(m_panel, kPanel);
    m_panel->setMinimumSize(300, 300);

    auto* side = new QVBoxLayout;
    side->setSpacing(8);
    side->addWidget(BuildRoom());
    side->addWidget(BuildPositions());
    side->addStretch(1);
    auto* body = new QHBoxLayout;
    body->setSpacing(10);
    body->addWidget(m_panel, 1);
    body->addSpacing(8);
    body->addLayout(side);
    body->addWidget(BuildChannels());
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(10, 8, 10, 10);
    layout->setSpacing(8);
    layout->addWidget(m_nav);
    layout->addLayout(body, 1);

    m_binder->AttachAll([this](int control) { return FindControl(this, control); });
    for (QWidget* child : findChildren<QWidget*>()) {
        child->installEventFilter(this);
    }
    connect(m_panel, &CSSVolumePanel::markerPressed, this,
            [this](const CSSVolumePanel::Marker& m) { Dragged(m.index, m.X, m.Y); });
    connect(m_panel, &CSSVolumePanel::markerMoved, this,
            [this](const CSSVolumePanel::Marker& m) { Dragged(m.index, m.X, m.Y); });

    for (std::size_t a = 0; a < 2; ++a) {
        m_roomUpDowns[a]->SetRange(kMinRoomMetres, kMaxRoomMetres);
    }
    RefreshFromImage();
    ApplyLanguage();
}

QWidget* CSSVCDlg::BuildRoom() {
    auto* group = new QGroupBox(this);
    SetControlId(group, 1007);
    auto* grid = new QGridLayout(group);
    auto* unit = new QLabel(this);
    SetControlId(unit, 1005);
    grid->addWidget(unit, 0, 0, 1, 3);
    const int captions[] = {1229, 1139};
    const int edits[] = {kRoomWidth, kRoomLength};
    for (std::size_t a = 0; a < 2; ++a) {
        auto* caption = new QLabel(this);
        SetControlId(caption, captions[a]);
        m_roomEdits[a] = new QLineEdit(this);
        SetControlId(m_roomEdits[a], edits[a]);
        m_roomEdits[a]->setFixedWidth(56);
        m_roomUpDowns[a] = new UpDownButtons(this);
        SetControlId(m_roomUpDowns[a], kRoomUpDowns[a]);
        const int row = 1 + static_cast<int>(a);
        grid->addWidget(caption, row, 0);
        grid->addWidget(m_roomEdits[a], row, 1);
        grid->addWidget(m_roomUpDowns[a], row, 2);
        const int axis = static_cast<int>(a);
        connect(m_roomUpDowns[a], &UpDownButtons::stepping, this,
                [this, axis](int delta) { StepRoom(axis, delta); });
    }
    auto* modify = new QPushButton(this);
    SetControlId(modify, kModify);
    grid->addWidget(modify, 1, 3, 2, 1);
    grid->setColumnStretch(4, 1);
    connect(modify, &QPushButton::clicked, this, [this] { ApplyRoomSize(true); });
    return group;
}

void CSSVCDlg::AddPositionEdits(QGridLayout* grid, int gridRow, int marker, int xEdit, int xUpDown,
                                int yEdit, int yUpDown) {
    Row& row = m_rows[static_cast<std::size_t>(marker)];
    const int edits[] = {xEdit, yEdit};
    const int upDowns[] = {xUpDown, yUpDown};
    for (int a = 0; a < 2; ++a) {
        auto* edit = new QLineEdit(this);
        SetControlId(edit, edits[a]);
        edit->setFixedWidth(58);
        auto* upDown = new UpDownButtons(this);
        SetControlId(upDown, upDowns[a]);
        row.edits[static_cast<std::size_t>(a)] = edit;
        row.upDowns[static_cast<std::size_t>(a)] = upDown;
        grid->addWidget(edit, gridRow, 1 + 2 * a);
        grid->addWidget(upDown, gridRow, 2 + 2 * a);
        connect(edit, &QLineEdit::returnPressed, this,
                [this, marker] { TypedPosition(marker, true); });
        connect(upDown, &UpDownButtons::stepping, this,
                [this, marker, a](int delta) { StepPosition(marker, a, delta); });
    }
}

QWidget* CSSVCDlg::BuildPositions() {
    auto* box = new QWidget(this);
    auto* column = new QVBoxLayout(box);
    column->setContentsMargins(0, 0, 0, 0);

    auto* listener = new QGroupBox(this);
    SetControlId(listener, 1006);
    auto* listenerGrid = new QGridLayout(listener);
    listenerGrid->addWidget(new QLabel(QStringLiteral("X / Y"), this), 0, 0);
    AddPositionEdits(listenerGrid, 0, 0, kListenerXEdit, kListenerXUpDown, kListenerYEdit,
                     kListenerYUpDown);
    auto* centre = new QPushButton(this);
    SetControlId(centre, kCentre);
    listenerGrid->addWidget(centre, 0, 5);
    listenerGrid->setColumnStretch(6, 1);
    connect(centre, &QPushButton::clicked, this, &CSSVCDlg::Centre);

    auto* speakers = new QGroupBox(this);
    SetControlId(speakers, 1002);
    auto* grid = new QGridLayout(speakers);
    grid->setVerticalSpacing(4);
    for (int k = 0; k < kPositionSpeakers; ++k) {
        auto* label = new QLabel(this);
        SetControlId(label, kSpeakerLabels[k]);
        grid->addWidget(label, k, 0);
        AddPositionEdits(grid, k, k + 1, kSpeakerEdit + 2 * k, kSpeakerUpDown + 2 * k,
                         kSpeakerEdit + 2 * k + 1, kSpeakerUpDown + 2 * k + 1);
    }
    grid->setColumnStretch(5, 1);

    auto* reset = new QPushButton(this);
    SetControlId(reset, kReset);
    connect(reset, &QPushButton::clicked, this, &CSSVCDlg::Reset);

    column->addWidget(listener);
    column->addWidget(speakers);
    column->addWidget(reset, 0, Qt::AlignLeft);
    return box;
}

QWidget* CSSVCDlg::BuildChannels() {
    auto* box = new QWidget(this);
    auto* grid = new QGridLayout(box);
    grid->setContentsMargins(0, 0, 0, 0);
    grid->setVerticalSpacing(10);
    for (int c = 0; c < kChannels; ++c) {
        const auto i = static_cast<std::size_t>(c);
        m_locate[i] = new QCheckBox(this);
        SetControlId(m_locate[i], kLocateIds[c]);
        m_names[i] = new QLabel(this);
        SetControlId(m_names[i], kNameLabel + c);
        auto* slider = new CXBmpSlider(this, kLevelSlider + c);
        slider->SetSkin(CXBmpSlider::Skin::LongHorizontal);
        slider->SetBackgroundColour(SettingsDialog::kBackground);
        SetControlId(slider, kLevelSlider + c);
        auto* level = new QLabel(this);
        SetControlId(level, kLevelText + c);
        level->setMinimumWidth(44);
        grid->addWidget(m_locate[i], c, 0);
        grid->addWidget(m_names[i], c, 1);
        grid->addWidget(slider, c, 2);
        grid->addWidget(level, c, 3);
        connect(m_locate[i], &QCheckBox::clicked, this,
                [this, c](bool checked) { Locate(c, checked); });
    }
    grid->setRowStretch(kChannels, 1);
    return box;
}

QLineEdit* CSSVCDlg::PositionEdit(int marker, int axis) const {
    return m_rows[static_cast<std::size_t>(marker)].edits[static_cast<std::size_t>(axis)];
}

UpDownButtons* CSSVCDlg::PositionUpDown(int marker, int axis) const {
    return m_rows[static_cast<std::size_t>(marker)].upDowns[static_cast<std::size_t>(axis)];
}

int CSSVCDlg::RememberedLocate() {
    return g_rememberedLocate;
}

void CSSVCDlg::ApplyLanguage() {
    ApplyLanguageTexts(this, kDialogId);
    m_binder->SetLanguage(LanguageIndex());
    ShowChannelNames();
}

void CSSVCDlg::ShowChannelNames() {
    const bool chinese = LanguageIndex() == kChinese;
    const ParamImage& image = GetParamImage();
    for (int c = 0; c < kChannels; ++c) {
        const int role = image.Int(fields::outRole, c);
        const QString name =
            role >= 0 && role < kChannels
                ? QString::fromUtf8(chinese ? kCodeNamesZh[role] : kCodeNamesEn[role])
                : QString();
        m_names[static_cast<std::size_t>(c)]->setText(QStringLiteral("(%1)").arg(name));
    }
}

void CSSVCDlg::RefreshFromImage() {
    ShowLocate();
    m_binder->RefreshFromImage();
    ShowGeometry();
}

void CSSVCDlg::SetPositionRanges(int w, int l) {
    for (Row& row : m_rows) {
        row.upDowns[0]->SetRange(-5 * w, 5 * w);
        row.upDowns[1]->SetRange(-5 * l, 5 * l);
    }
}

void CSSVCDlg::ShowMarker(int marker, float x, float y, bool setUpDowns) {
    m_panel->SetMarkerPosition(marker, x, y);
    Row& row = m_rows[static_cast<std::size_t>(marker)];
    const float v[] = {x, y};
    for (std::size_t a = 0; a < 2; ++a) {
        row.edits[a]->setText(MetresText(v[a]));
        if (setUpDowns) {
            row.upDowns[a]->SetPos(Tenths(v[a]));
        }
    }
}

void CSSVCDlg::ShowGeometry() {
    const RoomGeometry g = GetParamImage().Geometry();
    m_panel->SetRoomSize(static_cast<float>(g.width), static_cast<float>(g.length));
    const int size[] = {g.width, g.length};
    for (std::size_t a = 0; a < 2; ++a) {
        m_roomUpDowns[a]->SetPos(size[a]);
        m_roomEdits[a]->setText(RoomText(size[a]));
    }
    SetPositionRanges(size[0], size[1]);
    ShowMarker(0, g.listenerX, g.listenerY, true);
    for (int k = 0; k < kPositionSpeakers; ++k) {
        const auto i = static_cast<std::size_t>(k);
        ShowMarker(k + 1, g.speakerX[i], g.speakerY[i], true);
    }
}

void CSSVCDlg::TypedPosition(int marker, bool setUpDowns) {
    Row& row = m_rows[static_cast<std::size_t>(marker)];
    const double half[] = {m_roomUpDowns[0]->Pos() / 2.0, m_roomUpDowns[1]->Pos() / 2.0};
    float v[2];
    for (std::size_t a = 0; a < 2; ++a) {
        v[a] = static_cast<float>(
            Limited(TypedMetres(row.edits[a]->text()), -half[a], half[a], &MetresText));
    }
    ShowMarker(marker, v[0], v[1], setUpDowns);
    MovePositionMarker(marker, v[0], v[1]);
}

void CSSVCDlg::StepPosition(int marker, int axis, int delta) {
    Row& row = m_rows[static_cast<std::size_t>(marker)];
    const int room = m_roomUpDowns[static_cast<std::size_t>(axis)]->Pos();
    const int p =
        std::clamp(row.upDowns[static_cast<std::size_t>(axis)]->Pos() + delta, -5 * room, 5 * room);
    QLineEdit* edit = row.edits[static_cast<std::size_t>(axis)];
    edit->setText(MetresText(p / 10.0));
    edit->setFocus();
    TypedPosition(marker, false);
}

void CSSVCDlg::Dragged(int marker, float x, float y) {
    MovePositionMarker(marker, x, y);
    Row& row = m_rows[static_cast<std::size_t>(marker)];
    const float v[] = {x, y};
    for (std::size_t a = 0; a < 2; ++a) {
        row.edits[a]->setText(MetresText(v[a]));
        row.upDowns[a]->SetPos(Tenths(v[a]));
    }
}

void CSSVCDlg::ApplyRoomSize(bool setUpDowns) {
    int size[2];
    for (std::size_t a = 0; a < 2; ++a) {
        const double typed = TypedMetres(m_roomEdits[a]->text());
        size[a] = Limited(static_cast<int>(std::clamp(typed, -1e6, 1e6)), kMinRoomMetres,
                          kMaxRoomMetres, &RoomText);
        m_roomEdits[a]->setText(RoomText(size[a]));
        if (setUpDowns) {
            m_roomUpDowns[a]->SetPos(size[a]);
        }
    }
    m_panel->SetRoomSize(static_cast<float>(size[0]), static_cast<float>(size[1]));
    SetRoomSize(size[0], size[1]);
    SetPositionRanges(size[0], size[1]);
}

void CSSVCDlg::StepRoom(int axis, int delta) {
    const auto a = static_cast<std::size_t>(axis);
    const int v = std::clamp(m_roomUpDowns[a]->Pos() + delta, kMinRoomMetres, kMaxRoomMetres);
    m_roomEdits[a]->setText(QString::number(v));
    ApplyRoomSize(false);
}

void CSSVCDlg::Centre() {
    CentreListener();
    ShowMarker(0, 0.0f, 0.0f, true);
}

void CSSVCDlg::Reset() {
    ResetPositioning();
    ShowGeometry();
}

void CSSVCDlg::Locate(int channel, bool checked) {
    const int role = GetParamImage().Int(fields::outRole, channel);
    SendParamByte(kLocateModule, kLocateItem,
                  static_cast<std::uint8_t>(checked ? role : kNoSpeakerCode));
    g_rememberedLocate = checked ? channel + 1 : 0;
    ShowLocate();
}

void CSSVCDlg::ShowLocate() {
    for (int c = 0; c < kChannels; ++c) {
        m_locate[static_cast<std::size_t>(c)]->setChecked(g_rememberedLocate == c + 1);
    }
}

bool CSSVCDlg::eventFilter(QObject* watched, QEvent* event) {
    return ForwardWheelToFocusedSlider(this, watched, event) ||
           QWidget::eventFilter(watched, event);
}

void RegisterPositioningPage() {
    RegisterPageFactory(PageKind::Positioning,
                        [](QWidget* parent, int) -> IPage* { return new CSSVCDlg(parent); });
}

} // namespace kv
