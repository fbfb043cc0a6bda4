#include "settings/CSetDlg.h"

#include "controls/CGdipButton.h"
#include "image/MainFields.h"
#include "link/ConnectionState.h"
#include "link/DebugLog.h"
#include "pages/EditHistory.h"
#include "shell/DeviceAdapter.h"
#include "shell/Language.h"
#include "shell/ModeCommands.h"
#include "shell/Shell.h"
#include "shell/UiServices.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QRadioButton>
#include <QVBoxLayout>

#include <algorithm>

namespace kv {

namespace {

constexpr int kAppliedNoticeMs = 1100;
constexpr int kNotSentNoticeMs = 3000;
constexpr int kClearingNoticeMs = 4000;
constexpr int kMaxVolume = 99;

std::function<void()>& PlugDataReset() {
    static std::function<void()> reset;
    return reset;
}

/// The controls of one volume row pair: start slider, its caption, value and switch, then
/// the maximum slider, its caption and value.
struct VolumeIds {
    int start, startCaption, startValue, enable, max, maxCaption, maxValue;
};
constexpr VolumeIds kVolumeIds[] = {
    {1014, 1005, 1145, 1039, 1016, 1006, 1147}, // microphone
    {1015, 1002, 1146, 1040, 1019, 1131, 1150}, // music
};
constexpr int kSaveModeIds[] = {1190, 1191};
constexpr int kRouteIds[] = {1192, 1195, 1199};

QString InvalidText() {
    return Tr("无效", "Invalid");
}

/// Sets a group of radio buttons to one choice, or to none for -1.
template <std::size_t N>
void Choose(const std::array<QRadioButton*, N>& radios, int choice) {
    for (std::size_t i = 0; i < N; ++i) {
        QRadioButton* r = radios[i];
        r->setAutoExclusive(false);
        r->setChecked(static_cast<int>(i) == choice);
        r->setAutoExclusive(true);
    }
}

} // namespace

void SetPlugDataReset(std::function<void()> reset) {
    PlugDataReset() = std::move(reset);
}

CSetDlg::CSetDlg(QWidget* parent)
    : SettingsDialog(kDialogId, {}, parent),
      m_volumes{{{settings::kMicStartVolume, settings::kMicMaxVolume, &fields::micVolume},
                 {settings::kMusicStartVolume, settings::kMusicMaxVolume, &fields::musicVolume}}},
      m_powerOn(new QComboBox(this)), m_hdmiMute(MakeCheck(kHdmiMute)) {
    setObjectName(QStringLiteral("machineSettingsDialog"));
    SetControlId(m_powerOn, kPowerOnMode);
    for (int m = 0; m <= kModes; ++m) {
        m_powerOn->addItem(m == 0 ? QStringLiteral("Auto") : QStringLiteral("M%1").arg(m));
    }

    auto* apply = new CGdipButton(this);
    auto* cancel = new CGdipButton(this);
    SetControlId(apply, kApply);
    SetControlId(cancel, kCancel);
    for (CGdipButton* b : {apply, cancel}) {
        b->SetStdImage(QStringLiteral(":/skins/button_std.svg"));
        b->setFixedSize(96, 30);
    }
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(apply);
    buttons->addWidget(cancel);

    auto* columns = new QHBoxLayout;
    columns->setSpacing(12);
    columns->addWidget(BuildVolumes(), 1);
    columns->addWidget(BuildOptions(), 1);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(14, 14, 14, 14);
    layout->setSpacing(10);
    layout->addLayout(columns);
    layout->addLayout(buttons);

    connect(apply, &QPushButton::clicked, this, &CSetDlg::Apply);
    connect(cancel, &QPushButton::clicked, this, &CSetDlg::reject);
    connect(m_powerOn, &QComboBox::activated, this, [this](int index) {
        Edit([index](MachineSettingsRecord& r) {
            r[settings::kPowerOnMode] = static_cast<std::uint8_t>(index);
        });
    });
    connect(m_hdmiMute, &QCheckBox::clicked, this,
            [this](bool on) { Edit([on](MachineSettingsRecord& r) { SetHdmiMute(r, on); }); });
    for (int i = 0; i < 2; ++i) {
        connect(m_saveMode[static_cast<std::size_t>(i)], &QRadioButton::clicked, this,
                [this, i] { Edit([i](MachineSettingsRecord& r) { SetVolumeSaveMode(r, i); }); });
    }
    for (int i = 0; i < settings::kRoutes; ++i) {
        connect(m_routes[static_cast<std::size_t>(i)], &QRadioButton::clicked, this,
                [this, i] { Edit([i](MachineSettingsRecord& r) { SetSurroundRoute(r, i); }); });
    }
    BindControls();
    ApplyLanguage();
}

QWidget* CSetDlg::BuildVolumes() {
    QGroupBox* group = MakeGroup(1197);
    auto* grid = new QGridLayout(group);
    grid->setHorizontalSpacing(10);
    grid->setVerticalSpacing(12);
    int row = 0;
    for (std::size_t i = 0; i < m_volumes.size(); ++i) {
        const VolumeIds& ids = kVolumeIds[i];
        Volume& v = m_volumes[i];
        v.start = MakeSlider(ids.start);
        v.startCaption = MakeLabel(ids.startCaption);
        v.startValue = MakeLabel(ids.startValue, 48);
        v.enable = MakeCheck(ids.enable);
        v.max = MakeSlider(ids.max);
        v.max->SetRange(1, kMaxVolume);
        v.maxValue = MakeLabel(ids.maxValue, 48);
        grid->addWidget(v.startCaption, row, 0);
        grid->addWidget(v.start, row, 1);
        grid->addWidget(v.startValue, row, 2);
        grid->addWidget(v.enable, row, 3);
        ++row;
        grid->addWidget(MakeLabel(ids.maxCaption), row, 0);
        grid->addWidget(v.max, row, 1);
        grid->addWidget(v.maxValue, row, 2);
        ++row;

        connect(v.start, &CXBmpSlider::sliderChanged, this,
                [this, i](int, int p) { MoveStart(m_volumes[i], p); });
        connect(v.max, &CXBmpSlider::sliderChanged, this,
                [this, i](int, int p) { MoveMax(m_volumes[i], p); });
        connect(v.enable, &QCheckBox::clicked, this,
                [this, i](bool on) { Enable(m_volumes[i], on); });
    }
    grid->setColumnStretch(4, 1);
    grid->setRowStretch(row, 1);

    // Factory recall and plug clearing sit below the volumes.
    QGroupBox* factory = MakeGroup(1183);
    auto* modes = new QHBoxLayout(factory);
    for (int m = 0; m < kModes; ++m) {
        auto* b = new CGdipButton(QStringLiteral("M%1").arg(m + 1), this);
        SetControlId(b, kFactoryFirst + m);
        b->SetStdImage(QStringLiteral(":/skins/button_std.svg"));
        b->SetAltImage(QStringLiteral(":/skins/button_alt.svg"));
        b->setFixedSize(64, 30);
        m_factory[static_cast<std::size_t>(m)] = b;
        modes->addWidget(b);
        connect(b, &QPushButton::clicked, this, [this, m] { RecallFactory(m); });
    }
    modes->addStretch(1);

    QGroupBox* plugs = MakeGroup(1185);
    auto* plugRow = new QHBoxLayout(plugs);
    auto* clear = new QPushButton(this);
    SetControlId(clear, kClearPlugs);
    QLabel* note = MakeLabel(1241);
    note->setWordWrap(true);
    plugRow->addWidget(clear, 0, Qt::AlignTop);
    plugRow->addWidget(note, 1);
    connect(clear, &QPushButton::clicked, this, &CSetDlg::ClearPlugs);

    auto* box = new QWidget(this);
    auto* column = new QVBoxLayout(box);
    column->setContentsMargins(0, 0, 0, 0);
    column->addWidget(group, 1);
    column->addWidget(factory);
    column->addWidget(plugs);
    return box;
}

QWidget* CSetDlg::BuildOptions() {
    QGroupBox* save = MakeGroup(1201);
    auto* saveRow = new QHBoxLayout(save);
    for (std::size_t i = 0; i < m_saveMode.size(); ++i) {
        m_saveMode[i] = MakeRadio(kSaveModeIds[i]);
        saveRow->addWidget(m_saveMode[i]);
    }
    saveRow->addStretch(1);

    QGroupBox* power = MakeGroup(1202);
    auto* powerRow = new QHBoxLayout(power);
    powerRow->addWidget(MakeLabel(1238));
    powerRow->addWidget(m_powerOn);
    powerRow->addStretch(1);

    QGroupBox* hdmi = MakeGroup(1186);
    auto* hdmiRow = new QHBoxLayout(hdmi);
    hdmiRow->addWidget(m_hdmiMute, 0, Qt::AlignLeft);

    QGroupBox* route = MakeGroup(1187);
    auto* routeColumn = new QVBoxLayout(route);
    for (std::size_t i = 0; i < m_routes.size(); ++i) {
        m_routes[i] = MakeRadio(kRouteIds[i]);
        routeColumn->addWidget(m_routes[i], 0, Qt::AlignLeft);
    }

    auto* box = new QWidget(this);
    auto* column = new QVBoxLayout(box);
    column->setContentsMargins(0, 0, 0, 0);
    for (QWidget* w : {static_cast<QWidget*>(save), static_cast<QWidget*>(power),
                       static_cast<QWidget*>(hdmi), static_cast<QWidget*>(route)}) {
        column->addWidget(w);
    }
    column->addStretch(1);
    return box;
}

void CSetDlg::Edit(const std::function<void(MachineSettingsRecord&)>& change) {
    ParamImage& image = GetParamImage();
    MachineSettingsRecord record = EditSettings(image);
    change(record);
    SetEditSettings(image, record);
}

void CSetDlg::ShowStart(Volume& v, int byte) {
    const bool set = byte != settings::kNotSet;
    v.enable->setChecked(set);
    v.start->SetPos(set ? byte : v.start->Minimum());
    v.startValue->setText(set ? QString::number(v.start->Pos()) : InvalidText());
    v.startCaption->setEnabled(set);
    v.startValue->setEnabled(set);
}

void CSetDlg::RefreshFromImage() {
    const MachineSettingsRecord current = CurrentSettings(GetParamImage());
    for (Volume& v : m_volumes) {
        const int max = std::clamp<int>(current[v.maxByte], 1, kMaxVolume);
        v.max->SetPos(max);
        v.maxValue->setText(QString::number(max));
        v.start->SetRange(0, max);
        ShowStart(v, current[v.startByte]);
    }
    const int powerOn = current[settings::kPowerOnMode];
    m_powerOn->setCurrentIndex(powerOn <= kModes ? powerOn : -1);
    Choose(m_saveMode, current[settings::kVolumeSaveMode] == 0 ? 0 : 1);
    m_hdmiMute->setChecked(HdmiMuted(current));
    Choose(m_routes, SurroundRoute(current));
    ShowModeButtons();
}

void CSetDlg::ShowModeButtons() {
    const int mode = g_nCurrentMode.load();
    for (int m = 0; m < kModes; ++m) {
        m_factory[static_cast<std::size_t>(m)]->SetSelected(m == mode);
    }
}

void CSetDlg::MoveStart(Volume& v, int p) {
    Edit([&v, p](MachineSettingsRecord& r) { r[v.startByte] = static_cast<std::uint8_t>(p); });
    StoreAndSendLevel(*v.live, 0, p);
    v.startValue->setText(QString::number(p));
}

void CSetDlg::MoveMax(Volume& v, int p) {
    Edit([&v, p](MachineSettingsRecord& r) { r[v.maxByte] = static_cast<std::uint8_t>(p); });
    v.start->SetRange(0, p);
    v.maxValue->setText(QString::number(p));
    if (v.start->Pos() > p) {
        v.start->SetPos(p);
        MoveStart(v, p);
    }
}

void CSetDlg::Enable(Volume& v, bool on) {
    if (!on) {
        Edit([&v](MachineSettingsRecord& r) { r[v.startByte] = settings::kNotSet; });
        ShowStart(v, settings::kNotSet);
        return;
    }
    const int live = GetParamImage().Int(*v.live, 0);
    Edit(
        [&v, live](MachineSettingsRecord& r) { r[v.startByte] = static_cast<std::uint8_t>(live); });
    ShowStart(v, std::clamp(live, v.start->Minimum(), v.start->Maximum()));
}

void CSetDlg::RecallFactory(int mode) {
    ShowModeButtons();
    if (!device::IsConnected()) {
        return;
    }
    if (!AskYesNo(
            this,
            Tr("确定要恢复机器模式 M%1 的出厂设置吗？", "Restore the factory setting of mode M%1?")
                .arg(mode + 1),
            Tr("提示", "Information"))) {
        return;
    }
    RecallFactoryMode(mode);
    ShowModeButtons();
}

void CSetDlg::ClearPlugs() {
    if (!device::IsConnected() || !PlugDataReset()) {
        return;
    }
    if (!AskYesNo(this, Tr("确定要清除所有插座数据吗？", "Clear the data of all smart plugs?"),
                  Tr("提示", "Information"))) {
        return;
    }
    DebugWrite("Start thread:SynchronizeData\n");
    PlugDataReset()();
    ShowInfo(Tr("正在清除插座数据，请稍等……", "Resetting, wait a moment"), kClearingNoticeMs);
}

void CSetDlg::Apply() {
    if (ApplyMachineSettings() > 0) {
        ShowInfo(Tr("机器设置已生效!", "Setting valid"), kAppliedNoticeMs);
        return;
    }
    // Nothing reached the processor: the edits stay for the next Apply.
    ShowInfo(device::IsConnected()
                 ? Tr("机器设置未能送达设备，设置未生效!",
                      "The settings did not reach the processor: nothing was changed")
                 : Tr("未连接设备，机器设置未发送!",
                      "No processor is connected: the settings were not sent"),
             kNotSentNoticeMs);
}

void CSetDlg::reject() {
    m_cancelled = true;
    close();
}

void CSetDlg::closeEvent(QCloseEvent* event) {
    if (!m_cancelled) {
        DiscardMachineSettingsEdits();
    }
    m_cancelled = false;
    event->accept();
}

} // namespace kv
