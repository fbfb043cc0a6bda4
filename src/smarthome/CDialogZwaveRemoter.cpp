#include "smarthome/CDialogZwaveRemoter.h"

#include "controls/CXBmpSlider.h"
#include "image/ParamImage.h"
#include "shell/HdmiInputs.h"
#include "shell/Language.h"
#include "shell/Shell.h"
#include "shell/UiServices.h"
#include "smarthome/CRemoteLearnDlg.h"
#include "smarthome/KeyFile.h"
#include "smarthome/SceneDialog.h"
#include "smarthome/SceneRunner.h"
#include "smarthome/SceneText.h"
#include "smarthome/ZwaveNodes.h"
#include "smarthome/ZwaveWindows.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <algorithm>

namespace kv {

namespace {

constexpr int kNoticeMs = 1100;
constexpr int kIndexColumn = 0;
constexpr int kNameColumn = 1;
constexpr int kTextColumn = 2;
constexpr int kColumnWidths[] = {36, 96, 120};
constexpr int kStepRole = Qt::UserRole;
constexpr int kDefaultDelay = 1;

/// A row's item data: value × 256 + target.
int PackStep(zwave::SceneStep step) {
    return step.value * 256 + step.target;
}

zwave::SceneStep UnpackStep(int data) {
    return {static_cast<std::uint8_t>(data & 0xFF), static_cast<std::uint8_t>((data >> 8) & 0xFF)};
}

bool Chinese() {
    return LanguageIndex() == kChinese;
}

void Notice(const char* chinese, const char* english) {
    ShowInfo(Tr(chinese, english), kNoticeMs);
}

/// The name column of a step: the device's name, "延时" for a delay, "HDMI" for an input.
QString StepName(zwave::SceneStep step) {
    if (step.target == zwave::kDelayTarget) {
        return Tr("延时", "Delay");
    }
    if (step.target == zwave::kHdmiTarget) {
        return QStringLiteral("HDMI");
    }
    return QString::fromStdU16String(zwave::ReadDeviceRecord(GetParamImage(), step.target).name);
}

/// Delays, HDMI inputs and steps of present devices get a row; the others are kept without one.
bool Listed(zwave::SceneStep step) {
    switch (zwave::KindOf(step)) {
    case zwave::StepKind::Delay:
        return true;
    case zwave::StepKind::Hdmi:
        return step.value <= zwave::kLastHdmiInput;
    case zwave::StepKind::Device:
        return zwave::NodePresent(GetParamImage(), step.target);
    default:
        return false;
    }
}

QPushButton* Button(QWidget* parent, int id) {
    auto* button = new QPushButton(parent);
    SetControlId(button, id);
    return button;
}

} // namespace

CDialogZwaveRemoter::CDialogZwaveRemoter(QWidget* parent)
    : QWidget(parent), m_sceneCaption(new QLabel(this)), m_scenes(new QComboBox(this)),
      m_list(new QTreeWidget(this)), m_hiddenNote(new QLabel(this)),
      m_deviceCaption(new QLabel(this)), m_devices(new QComboBox(this)), m_on(new QCheckBox(this)),
      m_level(new CXBmpSlider(this, kLevelSliderId)), m_levelLabel(new QLabel(this)),
      m_keyCaption(new QLabel(this)), m_keys(new QComboBox(this)),
      m_learnedOnly(new QCheckBox(this)), m_delayCaption(new QLabel(this)),
      m_delay(new CXBmpSlider(this, kDelaySliderId)), m_delayLabel(new QLabel(this)),
      m_hdmiCaption(new QLabel(this)), m_hdmiInputs(new QComboBox(this)) {
    setObjectName(QStringLiteral("scenePage"));
    SetControlId(m_scenes, kSceneComboId);
    SetControlId(m_list, kStepListId);
    SetControlId(m_devices, kDeviceComboId);
    SetControlId(m_on, kOnCheckId);
    SetControlId(m_level, kLevelSliderId);
    SetControlId(m_levelLabel, kLevelLabelId);
    SetControlId(m_keys, kKeyComboId);
    SetControlId(m_learnedOnly, kLearnedOnlyId);
    SetControlId(m_delay, kDelaySliderId);
    SetControlId(m_delayLabel, kDelayLabelId);
    SetControlId(m_hdmiInputs, kHdmiComboId);

    m_list->setColumnCount(3);
    m_list->setRootIsDecorated(false);
    m_list->setUniformRowHeights(true);
    m_list->setAllColumnsShowFocus(true);
    m_list->setSelectionMode(QAbstractItemView::SingleSelection);
    m_list->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_list->header()->setStretchLastSection(false);
    m_list->header()->setSectionsMovable(false);
    for (int column = 0; column < 3; ++column) {
        m_list->setColumnWidth(column, kColumnWidths[column]);
    }
    m_list->setMinimumWidth(kColumnWidths[0] + kColumnWidths[1] + kColumnWidths[2] + 24);
    // The name takes whatever width the list has beyond the number and parameter columns.
    m_list->header()->setSectionResizeMode(kNameColumn, QHeaderView::Stretch);
    m_list->setStyleSheet(QStringLiteral("QTreeWidget { background: white; }"));
    m_hiddenNote->setWordWrap(true);
    m_hiddenNote->setStyleSheet(QStringLiteral("color: rgb(0, 0, 160);"));
    m_hiddenNote->hide();

    m_level->SetSkin(CXBmpSlider::Skin::LongHorizontal);
    m_level->SetRange(0, zwave::kValueOn);
    m_level->setMinimumWidth(120);
    m_delay->SetSkin(CXBmpSlider::Skin::LongHorizontal);
    m_delay->SetRange(kMinDelay, kMaxDelay);
    m_delay->SetPos(kDefaultDelay);
    m_delay->setMinimumWidth(120);
    m_learnedOnly->setChecked(true);
    m_levelLabel->setMinimumWidth(40);
    m_delayLabel->setMinimumWidth(40);

    auto* sceneRow = new QHBoxLayout;
    sceneRow->addWidget(m_sceneCaption);
    sceneRow->addWidget(m_scenes, 1);
    auto* left = new QVBoxLayout;
    left->addLayout(sceneRow);
    left->addWidget(m_list, 1);
    left->addWidget(m_hiddenNote);

    auto* controls = new QGridLayout;
    int row = 0;
    controls->addWidget(m_deviceCaption, row, 0);
    controls->addWidget(m_devices, row++, 1, 1, 2);
    controls->addWidget(m_on, row, 1);
    auto* levelRow = new QHBoxLayout;
    levelRow->addWidget(m_level, 1);
    levelRow->addWidget(m_levelLabel);
    controls->addLayout(levelRow, row++, 1, 1, 2);
    controls->addWidget(m_keyCaption, row, 0);
    controls->addWidget(m_keys, row++, 1, 1, 2);
    controls->addWidget(m_learnedOnly, row++, 1, 1, 2);
    controls->addWidget(m_delayCaption, row, 0);
    auto* delayRow = new QHBoxLayout;
    delayRow->addWidget(m_delay, 1);
    delayRow->addWidget(m_delayLabel);
    controls->addLayout(delayRow, row++, 1, 1, 2);
    controls->addWidget(m_hdmiCaption, row, 0);
    controls->addWidget(m_hdmiInputs, row++, 1, 1, 2);
    controls->setColumnStretch(1, 1);

    // Four columns: device step, key step, delay step, HDMI step; then the list's own buttons.
    constexpr int kButtons[][4] = {{kAddValueId, kAddKeyId, kAddDelayId, kAddHdmiId},
                                   {kResetValueId, kResetKeyId, kResetDelayId, kResetHdmiId},
                                   {kDeleteId, kUpId, kDownId, kClearId}};
    auto* buttons = new QGridLayout;
    for (int r = 0; r < 3; ++r) {
        for (int c = 0; c < 4; ++c) {
            buttons->addWidget(Button(this, kButtons[r][c]), r, c);
        }
    }
    buttons->addWidget(Button(this, kSaveId), 3, 0, 1, 2);
    buttons->addWidget(Button(this, kTestId), 3, 2, 1, 2);
    QPushButton* modify = Button(this, kModifyId);
    modify->hide();

    auto* right = new QVBoxLayout;
    right->addLayout(controls);
    right->addStretch(1);
    right->addLayout(buttons);

    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(8, 8, 8, 8);
    layout->addLayout(left, 1);
    layout->addLayout(right);

    auto clicked = [this](int id, auto fn) {
        connect(qobject_cast<QPushButton*>(FindControl(this, id)), &QPushButton::clicked, this, fn);
    };
    clicked(kAddValueId, [this] { Add(&CDialogZwaveRemoter::DeviceStep); });
    clicked(kAddKeyId, [this] { Add(&CDialogZwaveRemoter::KeyStep); });
    clicked(kAddDelayId, [this] { Add(&CDialogZwaveRemoter::DelayStep); });
    clicked(kResetValueId, [this] { Replace(&CDialogZwaveRemoter::DeviceStep); });
    clicked(kModifyId, [this] { Replace(&CDialogZwaveRemoter::DeviceStep); });
    clicked(kResetKeyId, [this] { Replace(&CDialogZwaveRemoter::KeyStep); });
    clicked(kResetDelayId, [this] { Replace(&CDialogZwaveRemoter::DelayStep); });
    clicked(kAddHdmiId, [this] { Add(&CDialogZwaveRemoter::HdmiStep); });
    clicked(kResetHdmiId, [this] { Replace(&CDialogZwaveRemoter::HdmiStep); });
    clicked(kDeleteId, [this] { Delete(); });
    clicked(kUpId, [this] { Move(-1); });
    clicked(kDownId, [this] { Move(1); });
    clicked(kClearId, [this] { Clear(); });
    clicked(kSaveId, [this] { Save(); });
    clicked(kTestId, [this] { Test(); });
    connect(m_scenes, &QComboBox::activated, this, &CDialogZwaveRemoter::OnSceneSelected);
    connect(m_devices, &QComboBox::currentIndexChanged, this,
            &CDialogZwaveRemoter::OnDeviceSelected);
    connect(m_learnedOnly, &QCheckBox::toggled, this, &CDialogZwaveRemoter::LoadKeys);
    connect(m_level, &CXBmpSlider::sliderChanged, this, &CDialogZwaveRemoter::ShowLevel);
    connect(m_level, &CXBmpSlider::sliderReleased, this, &CDialogZwaveRemoter::ShowLevel);
    connect(m_delay, &CXBmpSlider::sliderChanged, this, &CDialogZwaveRemoter::ShowDelay);
    connect(m_delay, &CXBmpSlider::sliderReleased, this, &CDialogZwaveRemoter::ShowDelay);

    ApplyLanguage();
    LoadDevices();
    LoadSteps();
}

void CDialogZwaveRemoter::ApplyLanguage() {
    m_sceneCaption->setText(Tr("情景", "Scene"));
    m_deviceCaption->setText(Tr("插座", "Plug"));
    m_on->setText(Tr("开", "ON"));
    m_keyCaption->setText(Tr("遥控", "Remoter"));
    m_learnedOnly->setText(Tr("只显示学习过的键", "Show learn"));
    m_delayCaption->setText(Tr("延时", "Delay"));
    m_hdmiCaption->setText(QStringLiteral("HDMI"));
    const std::pair<int, std::pair<const char*, const char*>> texts[] = {
        {kAddValueId, {"添加值", "Add"}},
        {kAddKeyId, {"添加遥控", "Add Key"}},
        {kAddDelayId, {"添加延时", "Add delay"}},
        {kResetValueId, {"修改值", "Reset Val"}},
        {kResetKeyId, {"修改遥控", "Reset Key"}},
        {kResetDelayId, {"修改延时", "Reset Delay"}},
        {kDeleteId, {"删除选中项", "Delete"}},
        {kUpId, {"上移", "Up"}},
        {kDownId, {"下移", "Down"}},
        {kClearId, {"清空列表", "Clear"}},
        {kSaveId, {"保存列表", "Save"}},
        {kTestId, {"测试当前情景", "Test"}},
        {kModifyId, {"修改", "Modify"}},
        {kAddHdmiId, {"添加HDMI", "Add HDMI"}},
        {kResetHdmiId, {"修改HDMI", "Reset HDMI"}},
    };
    for (const auto& [id, text] : texts) {
        SetControlText(FindControl(this, id), Tr(text.first, text.second));
    }
    ApplyLanguageTexts(this, kDialogId);
    SetColumnTitles();
    LoadHdmiInputs();
    LoadSceneNames();
    ShowLevel();
    ShowDelay();
    ShowHiddenNote();
    // The names and texts of the rows speak the language too.
    RefreshRowTexts();
}

void CDialogZwaveRemoter::SetColumnTitles() {
    m_list->setHeaderLabels({Tr("序号", "Index"), Tr("设备名称", "Name"), Tr("参数", "Parameter")});
    // The number column is as narrow as its title allows ("Index" is wider than 36 px).
    const int title =
        m_list->header()->fontMetrics().horizontalAdvance(m_list->headerItem()->text(kIndexColumn));
    m_list->setColumnWidth(kIndexColumn, std::max(kColumnWidths[kIndexColumn], title + 12));
}

void CDialogZwaveRemoter::RefreshFromImage() {
    LoadDevices();
    LoadHdmiInputs();
    if (m_changed) {
        // Edits not saved yet stay; only the device names and key names are brought up to date.
        RefreshRowTexts();
    } else {
        LoadSteps();
    }
    LoadSceneNames();
}

void CDialogZwaveRemoter::RefreshRowTexts() {
    for (int r = 0; r < m_list->topLevelItemCount(); ++r) {
        QTreeWidgetItem* item = m_list->topLevelItem(r);
        SetRow(item, UnpackStep(item->data(kIndexColumn, kStepRole).toInt()));
    }
}

void CDialogZwaveRemoter::LoadSceneNames() {
    const QSignalBlocker blocker(m_scenes);
    m_scenes->clear();
    for (int k = 0; k < zwave::kSceneCount; ++k) {
        m_scenes->addItem(QString::fromUtf8(zwave::SceneName(k, Chinese())), k);
    }
    m_scenes->setCurrentIndex(m_scene);
}

void CDialogZwaveRemoter::LoadHdmiInputs() {
    const int selected = std::max(0, m_hdmiInputs->currentIndex());
    m_hdmiInputs->clear();
    for (int input = 0; input < kHdmiInputs; ++input) {
        m_hdmiInputs->addItem(HdmiInputName(input), input);
    }
    m_hdmiInputs->setCurrentIndex(selected);
}

void CDialogZwaveRemoter::OnSceneSelected() {
    m_scene = std::max(0, m_scenes->currentIndex());
    LoadSteps();
}

void CDialogZwaveRemoter::LoadDevices() {
    const int selected = SelectedNode();
    const ParamImage& image = GetParamImage();
    {
        const QSignalBlocker blocker(m_devices);
        m_devices->clear();
        for (int node : zwave::PresentDevices(image)) {
            m_devices->addItem(QString::fromStdU16String(zwave::ReadDeviceRecord(image, node).name),
                               node);
        }
        const int keep = m_devices->findData(selected);
        m_devices->setCurrentIndex(keep >= 0 ? keep : (m_devices->count() > 0 ? 0 : -1));
    }
    OnDeviceSelected();
}

void CDialogZwaveRemoter::OnDeviceSelected() {
    const int node = SelectedNode();
    const int type = node ? zwave::ReadDeviceRecord(GetParamImage(), node).type : 0;
    m_on->setVisible(type == zwave::kSwitchType);
    m_level->setVisible(type == zwave::kDimmerType);
    m_levelLabel->setVisible(type == zwave::kDimmerType);
    LoadKeys();
}

void CDialogZwaveRemoter::LoadKeys() {
    m_keys->clear();
    const int node = SelectedNode();
    if (node == 0) {
        return;
    }
    EnsureKeyFile(node, this);
    const KeyFile file = LoadKeyFile(node);
    for (const KeyEntry& key : file.keys) {
        // A plug sends keys 0..31 (128 + key); other indexes of a hand-made file are no keys.
        const int index = key.Index();
        if (index < 0 || index >= keys::kKeysPerDevice ||
            (m_learnedOnly->isChecked() && !key.Learned())) {
            continue;
        }
        m_keys->addItem(key.Name(), index);
    }
}

void CDialogZwaveRemoter::LoadSteps() {
    m_list->clear();
    m_hidden.clear();
    const zwave::SceneRecord record = zwave::ReadScene(GetParamImage(), m_scene);
    bool afterEmpty = false;
    QList<QTreeWidgetItem*> rows;
    for (int i = 0; i < zwave::kSceneSteps; ++i) {
        const zwave::SceneStep step = record[static_cast<std::size_t>(i)];
        if (step.Empty()) {
            // An empty step does nothing when the scene runs; the list ends at the first.
            afterEmpty = true;
            continue;
        }
        if (afterEmpty || !Listed(step)) {
            m_hidden.push_back({static_cast<int>(rows.size()), step});
            continue;
        }
        rows.append(NewRow(QString::number(i + 1), step));
    }
    m_list->addTopLevelItems(rows);
    m_changed = false;
    ShowHiddenNote();
}

QTreeWidgetItem* CDialogZwaveRemoter::NewRow(const QString& index, zwave::SceneStep step) {
    auto* item = new QTreeWidgetItem;
    item->setText(kIndexColumn, index);
    SetRow(item, step);
    return item;
}

void CDialogZwaveRemoter::SetRow(QTreeWidgetItem* item, zwave::SceneStep step) {
    item->setData(kIndexColumn, kStepRole, PackStep(step));
    item->setText(kNameColumn, StepName(step));
    item->setText(kTextColumn, step.target == zwave::kHdmiTarget
                                   ? HdmiInputName(step.value)
                                   : StepText(step.target, step.value, Chinese()));
}

std::vector<zwave::SceneStep> CDialogZwaveRemoter::ListedSteps() const {
    std::vector<zwave::SceneStep> steps;
    for (int r = 0; r < m_list->topLevelItemCount(); ++r) {
        steps.push_back(UnpackStep(m_list->topLevelItem(r)->data(kIndexColumn, kStepRole).toInt()));
    }
    return steps;
}

zwave::SceneRecord CDialogZwaveRemoter::RecordToSave() const {
    const std::vector<zwave::SceneStep> listed = ListedSteps();
    std::vector<zwave::SceneStep> steps;
    std::size_t hidden = 0;
    for (std::size_t r = 0; r < listed.size(); ++r) {
        for (; hidden < m_hidden.size() && m_hidden[hidden].before <= static_cast<int>(r);
             ++hidden) {
            steps.push_back(m_hidden[hidden].step);
        }
        steps.push_back(listed[r]);
    }
    for (; hidden < m_hidden.size(); ++hidden) {
        steps.push_back(m_hidden[hidden].step);
    }
    zwave::SceneRecord record{};
    // The add limit counts the kept steps, so the two together always fit.
    zwave::FillScene(steps, record);
    return record;
}

int CDialogZwaveRemoter::SelectedNode() const {
    return m_devices->currentIndex() >= 0 ? m_devices->currentData().toInt() : 0;
}

int CDialogZwaveRemoter::SelectedRow() const {
    const QList<QTreeWidgetItem*> selected = m_list->selectedItems();
    return selected.isEmpty() ? -1 : m_list->indexOfTopLevelItem(selected.front());
}

bool CDialogZwaveRemoter::DeviceStep(zwave::SceneStep& step) {
    const int node = SelectedNode();
    if (node == 0) {
        Notice("请选择一个插座", "Please select a plug");
        return false;
    }
    const int type = zwave::ReadDeviceRecord(GetParamImage(), node).type;
    std::uint8_t value = zwave::kValueOff;
    if (type == zwave::kSwitchType) {
        value = m_on->isChecked() ? zwave::kValueOn : zwave::kValueOff;
    } else if (type == zwave::kDimmerType) {
        value = static_cast<std::uint8_t>(m_level->Pos());
    }
    step = {static_cast<std::uint8_t>(node), value};
    return true;
}

bool CDialogZwaveRemoter::KeyStep(zwave::SceneStep& step) {
    const int node = SelectedNode();
    if (node == 0) {
        Notice("请选择一个插座", "Please select a plug");
        return false;
    }
    if (m_keys->currentIndex() < 0) {
        Notice("请选择一个遥控键名", "Please select a remote key");
        return false;
    }
    step = {static_cast<std::uint8_t>(node),
            static_cast<std::uint8_t>(zwave::kFirstKeySend + m_keys->currentData().toInt())};
    return true;
}

bool CDialogZwaveRemoter::DelayStep(zwave::SceneStep& step) {
    step = {zwave::kDelayTarget, static_cast<std::uint8_t>(m_delay->Pos())};
    return true;
}

bool CDialogZwaveRemoter::HdmiStep(zwave::SceneStep& step) {
    step = {zwave::kHdmiTarget, static_cast<std::uint8_t>(m_hdmiInputs->currentData().toInt())};
    return true;
}

void CDialogZwaveRemoter::Add(bool (CDialogZwaveRemoter::*make)(zwave::SceneStep&)) {
    const int rows = m_list->topLevelItemCount();
    if (rows + HiddenSteps() >= zwave::kSceneSteps) {
        Notice("情景指令已达最大数量", "command over range");
        return;
    }
    zwave::SceneStep step;
    if (!(this->*make)(step)) {
        return;
    }
    m_list->addTopLevelItem(NewRow(QString::number(rows + 1), step));
    MarkChanged();
}

void CDialogZwaveRemoter::Replace(bool (CDialogZwaveRemoter::*make)(zwave::SceneStep&)) {
    zwave::SceneStep step;
    if (!(this->*make)(step)) {
        return;
    }
    const int row = SelectedRow();
    if (row < 0) {
        Notice("请选择列表项", "Please select a item");
        return;
    }
    SetRow(m_list->topLevelItem(row), step);
    MarkChanged();
}

void CDialogZwaveRemoter::Delete() {
    const int row = SelectedRow();
    if (row < 0) {
        Notice("请先选择列表项", "Please select a item");
        return;
    }
    delete m_list->takeTopLevelItem(row);
    MarkChanged();
}

void CDialogZwaveRemoter::Move(int by) {
    const int row = SelectedRow();
    if (row < 0) {
        Notice("请先选择列表项", "Please select a item");
        return;
    }
    if (by < 0 && row == 0) {
        Notice("已移至首项", "Already be first");
        return;
    }
    if (by > 0 && row == m_list->topLevelItemCount() - 1) {
        Notice("已移至尾项", "Already be last");
        return;
    }
    QTreeWidgetItem* item = m_list->topLevelItem(row);
    QTreeWidgetItem* neighbour = m_list->topLevelItem(row + by);
    const zwave::SceneStep moved = UnpackStep(item->data(kIndexColumn, kStepRole).toInt());
    // The index column stays; name, text and step change places.
    SetRow(item, UnpackStep(neighbour->data(kIndexColumn, kStepRole).toInt()));
    SetRow(neighbour, moved);
    m_list->setCurrentItem(neighbour);
    m_list->setFocus();
    MarkChanged();
}

void CDialogZwaveRemoter::Clear() {
    // The steps kept without a row go too: a cleared scene runs nothing once saved.
    m_list->clear();
    m_hidden.clear();
    ShowHiddenNote();
    MarkChanged();
}

bool CDialogZwaveRemoter::Save() {
    const zwave::SceneRecord record = RecordToSave();
    const bool written = WriteSceneRecord(m_scene, record);
    m_changed = false;
    // The kept steps now stand at the list's end or before the rows they preceded.
    const int rows = m_list->topLevelItemCount();
    for (HiddenStep& hidden : m_hidden) {
        hidden.before = std::min(hidden.before, rows);
    }
    if (!written) {
        Notice("情景未能写入设备", "The scene could not be written to the device");
        return false;
    }
    Notice("保存完成", "Save finished");
    return true;
}

void CDialogZwaveRemoter::Test() {
    if (!CheckZwaveConnected()) {
        return;
    }
    if (m_changed) {
        if (!AskYesNo(this,
                      Tr("情景已更改，保存并测试？", "Scene changed! Are you sure save and load?"),
                      Tr("提示", "Information"))) {
            return;
        }
        if (!Save()) {
            return;
        }
    }
    RunSceneBehindSyncDialog(m_scene, Tr("载入情景中……", "Loading scene..."));
}

void CDialogZwaveRemoter::MarkChanged() {
    m_changed = true;
}

void CDialogZwaveRemoter::ShowHiddenNote() {
    m_hiddenNote->setVisible(!m_hidden.empty());
    m_hiddenNote->setText(
        Tr("另有%1条指令未列出（不在网络中的插座或空指令之后的指令），保存时保留，"
           "清空列表时一并删除。",
           "Not listed: %1 (plugs not in the network, steps after an empty one); kept when "
           "saving, removed by Clear.")
            .arg(m_hidden.size()));
}

void CDialogZwaveRemoter::ShowLevel() {
    m_levelLabel->setText(StepText(0, m_level->Pos(), Chinese()));
}

void CDialogZwaveRemoter::ShowDelay() {
    m_delayLabel->setText(QStringLiteral("%1s").arg(m_delay->Pos()));
}

} // namespace kv
