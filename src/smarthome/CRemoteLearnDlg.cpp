#include "smarthome/CRemoteLearnDlg.h"

#include "image/ParamImage.h"
#include "shell/AppState.h"
#include "shell/Language.h"
#include "shell/Shell.h"
#include "shell/UiServices.h"
#include "smarthome/KeyFile.h"
#include "smarthome/ZwaveNodes.h"
#include "smarthome/ZwaveWindows.h"

#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace kv {

namespace {

constexpr int kNoticeMs = 1100;
constexpr int kIndexColumn = 0;
constexpr int kNameColumn = 1;
constexpr int kStatusColumn = 2;
constexpr int kColumnWidths[] = {45, 120, 100};

} // namespace

CRemoteLearnDlg::CRemoteLearnDlg(QWidget* parent)
    : QWidget(parent), m_deviceCaption(new QLabel(this)), m_devices(new QComboBox(this)),
      m_list(new QTreeWidget(this)), m_learn(new QPushButton(this)),
      m_transmit(new QPushButton(this)), m_clear(new QPushButton(this)),
      m_nameCaption(new QLabel(this)), m_name(new QLineEdit(this)),
      m_rename(new QPushButton(this)) {
    setObjectName(QStringLiteral("remoteLearnPage"));
    SetControlId(m_devices, kDeviceComboId);
    SetControlId(m_list, kKeyListId);
    SetControlId(m_learn, kLearnId);
    SetControlId(m_transmit, kTransmitId);
    SetControlId(m_clear, kClearId);
    SetControlId(m_nameCaption, kNameCaptionId);
    SetControlId(m_name, kNameEditId);
    SetControlId(m_rename, kRenameId);

    m_devices->setMinimumWidth(160);
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
    // The name takes whatever width the list has beyond the number and state columns.
    m_list->header()->setSectionResizeMode(kNameColumn, QHeaderView::Stretch);
    m_list->headerItem()->setTextAlignment(kStatusColumn, Qt::AlignCenter);
    m_list->setStyleSheet(QStringLiteral("QTreeWidget { background: white; }"));

    auto* device = new QHBoxLayout;
    device->addWidget(m_deviceCaption);
    device->addWidget(m_devices, 1);

    auto* buttons = new QVBoxLayout;
    buttons->addWidget(m_learn);
    buttons->addWidget(m_transmit);
    buttons->addWidget(m_clear);
    buttons->addStretch(1);

    auto* name = new QHBoxLayout;
    name->addWidget(m_nameCaption);
    name->addWidget(m_name, 1);
    name->addWidget(m_rename);

    auto* layout = new QGridLayout(this);
    layout->setContentsMargins(8, 8, 8, 8);
    layout->addLayout(device, 0, 0);
    layout->addWidget(m_list, 1, 0);
    layout->addLayout(buttons, 1, 1);
    layout->addLayout(name, 2, 0, 1, 2);
    layout->setRowStretch(1, 1);
    layout->setColumnStretch(0, 1);

    connect(m_devices, &QComboBox::currentIndexChanged, this, &CRemoteLearnDlg::OnDeviceSelected);
    connect(m_list, &QTreeWidget::itemClicked, this, &CRemoteLearnDlg::OnRowClicked);
    connect(m_learn, &QPushButton::clicked, this, &CRemoteLearnDlg::Learn);
    connect(m_transmit, &QPushButton::clicked, this, &CRemoteLearnDlg::Transmit);
    connect(m_clear, &QPushButton::clicked, this, &CRemoteLearnDlg::Clear);
    connect(m_rename, &QPushButton::clicked, this, &CRemoteLearnDlg::Rename);
    ApplyLanguage();
    LoadDevices();
}

void CRemoteLearnDlg::ApplyLanguage() {
    m_deviceCaption->setText(Tr("插座", "Plug"));
    m_learn->setText(Tr("学习键码", "Learn"));
    m_transmit->setText(Tr("发射测试", "Transmit"));
    m_clear->setText(Tr("清除键码", "Clear"));
    m_nameCaption->setText(Tr("遥控键名称", "Key name"));
    m_rename->setText(Tr("重命名", "Rename"));
    ApplyLanguageTexts(this, kDialogId);
    SetColumnTitles();
    // The status column speaks the language too.
    m_reload = true;
    LoadKeyList();
}

void CRemoteLearnDlg::SetColumnTitles() {
    m_list->setHeaderLabels(
        {Tr("序号", "Index"), Tr("遥控键名称", "Key name"), Tr("状态", "Status")});
    m_list->headerItem()->setTextAlignment(kStatusColumn, Qt::AlignCenter);
}

void CRemoteLearnDlg::LoadDevices() {
    const int selected = SelectedNode();
    const ParamImage& image = GetParamImage();
    {
        const QSignalBlocker blocker(m_devices);
        m_devices->clear();
        for (int node : zwave::PresentDevices(image)) {
            const zwave::DeviceRecord record = zwave::ReadDeviceRecord(image, node);
            m_devices->addItem(QString::fromStdU16String(record.name), node);
        }
        const int keep = m_devices->findData(selected);
        m_devices->setCurrentIndex(keep >= 0 ? keep : (m_devices->count() > 0 ? 0 : -1));
    }
    OnDeviceSelected();
}

void CRemoteLearnDlg::OnDeviceSelected() {
    m_reload = true;
    LoadKeyList();
}

void CRemoteLearnDlg::LoadKeyList() {
    if (!m_reload) {
        return;
    }
    m_reload = false;
    const int row = SelectedRow();
    const int node = SelectedNode();
    m_list->clear();
    SetColumnTitles();
    if (node == 0) {
        return;
    }
    EnsureKeyFile(node, this);
    // A damaged file shows the keys read before the damage.
    const KeyFile file = LoadKeyFile(node);
    QList<QTreeWidgetItem*> items;
    for (std::size_t i = 0; i < file.keys.size(); ++i) {
        const KeyEntry& key = file.keys[i];
        auto* item = new QTreeWidgetItem(
            {QString::number(i + 1), key.Name(),
             key.Learned() ? Tr("已学习", "Ready") : Tr("未学习", "Not Ready")});
        item->setTextAlignment(kStatusColumn, Qt::AlignCenter);
        items.append(item);
    }
    m_list->addTopLevelItems(items);
    if (row >= 0 && row < m_list->topLevelItemCount()) {
        m_list->setCurrentItem(m_list->topLevelItem(row));
    }
}

int CRemoteLearnDlg::SelectedNode() const {
    return m_devices->currentIndex() >= 0 ? m_devices->currentData().toInt() : 0;
}

int CRemoteLearnDlg::SelectedRow() const {
    const QList<QTreeWidgetItem*> selected = m_list->selectedItems();
    return selected.isEmpty() ? -1 : m_list->indexOfTopLevelItem(selected.front());
}

void CRemoteLearnDlg::OnRowClicked() {
    if (const QTreeWidgetItem* item = m_list->currentItem()) {
        m_name->setText(item->text(kNameColumn));
    }
}

int CRemoteLearnDlg::CheckedRow() {
    if (!CheckZwaveConnected()) {
        return -1;
    }
    if (SelectedNode() == 0) {
        ShowInfo(Tr("请选择一个插座", "Please select a plug"), kNoticeMs);
        return -1;
    }
    const int row = SelectedRow();
    if (row < 0) {
        ShowInfo(Tr("请在列表中选择一个按键", "Please select a row"), kNoticeMs);
        return -1;
    }
    return row;
}

void CRemoteLearnDlg::Learn() {
    const int row = CheckedRow();
    // The plug's key commands address keys 0..31 of a key file; a longer, hand-made file
    // would push 192 + row past the byte, or onto 255, which switches a device on.
    if (row < 0 || row >= keys::kKeysPerDevice) {
        return;
    }
    m_reload = true;
    m_learningRow = row;
    SetDevice(QStringLiteral("遥控学习操作"), SelectedNode(), kFirstLearnValue + row);
}

void CRemoteLearnDlg::Transmit() {
    const int row = CheckedRow();
    if (row < 0 || row >= keys::kKeysPerDevice) {
        return;
    }
    SetDevice(QStringLiteral("遥控操作"), SelectedNode(), kFirstSendValue + row);
}

void CRemoteLearnDlg::Clear() {
    const int row = CheckedRow();
    if (row < 0) {
        return;
    }
    m_reload = true;
    SetKeyStatus(SelectedNode(), row, 0);
    LoadKeyList();
}

void CRemoteLearnDlg::Rename() {
    const QString text = m_name->text();
    if (text.isEmpty()) {
        ShowMessage(this, QStringLiteral("遥控键名称不能为空字符串!"), Tr("提示", "Information"),
                    BoxIcon::Information);
        return;
    }
    const int node = SelectedNode();
    if (node == 0) {
        ShowInfo(Tr("请选择一个插座", "Please select a plug"), kNoticeMs);
        return;
    }
    const int row = SelectedRow();
    if (row < 0) {
        ShowInfo(Tr("请在列表中选择一个按键", "Please select a key row"), kNoticeMs);
        return;
    }
    if (SetKeyName(node, row, text) != KeyFileStatus::Ok) {
        // A damaged or unwritable file keeps its name; the list must not claim otherwise.
        ShowInfo(Tr("遥控键名称未能保存", "The key name could not be saved"), kNoticeMs);
        return;
    }
    // Reloaded rather than patched, so the row shows what the file now holds.
    m_reload = true;
    LoadKeyList();
}

void CRemoteLearnDlg::StoreLearnResult(int node, bool learned) {
    if (m_learningRow >= 0) {
        SetKeyStatus(node, m_learningRow, learned ? 1 : 0);
    }
    LoadKeyList();
}

void CRemoteLearnDlg::LearningAborted(int node, int key) {
    SetKeyStatus(node, key, 0);
    LoadKeyList();
}

bool EnsureKeyFile(int node, QWidget* parent) {
    if (KeyFileExists(node)) {
        return true;
    }
    const KeyFileStatus status = CreateKeyFile(node);
    if (status == KeyFileStatus::DirectoryFailed) {
        ShowMessage(parent, QStringLiteral("创建Key目录失败!"), Tr("提示", "Information"),
                    BoxIcon::Warning);
    }
    return status == KeyFileStatus::Ok;
}

CRemoteLearnDlg* OpenRemoteLearnPage() {
    QWidget* window = GetAppState().OpenWindow(ToolWindow::SmartPlug);
    return window ? window->findChild<CRemoteLearnDlg*>() : nullptr;
}

} // namespace kv
