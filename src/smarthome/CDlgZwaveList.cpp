#include "smarthome/CDlgZwaveList.h"

#include "image/ParamImage.h"
#include "shell/Language.h"
#include "smarthome/ZwaveNodes.h"
#include "smarthome/ZwaveWindows.h"
#include "widgets/CIconListCtrl.h"

#include <QHBoxLayout>
#include <QPainter>
#include <QPushButton>
#include <QVBoxLayout>

namespace kv {

namespace {

/// The three device icons: white ground, a plug outline, and for a switch a toggle, for a
/// dimmer a level scale.
QIcon DeviceIcon(int type) {
    QPixmap pixmap(CDlgZwaveList::kIconSize, CDlgZwaveList::kIconSize);
    pixmap.fill(Qt::white);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(70, 70, 70), 2));
    p.setBrush(QColor(235, 235, 235));
    p.drawRoundedRect(QRectF(6, 6, 36, 36), 6, 6);
    p.setBrush(QColor(70, 70, 70));
    if (type == zwave::kSwitchType) {
        p.setBrush(QColor(40, 150, 60));
        p.drawRoundedRect(QRectF(14, 18, 20, 12), 6, 6);
        p.setBrush(Qt::white);
        p.drawEllipse(QRectF(24, 19, 10, 10));
    } else if (type == zwave::kDimmerType) {
        p.setBrush(QColor(230, 160, 20));
        for (int i = 0; i < 4; ++i) {
            const qreal h = 6 + 5 * i;
            p.drawRect(QRectF(12 + 6 * i, 36 - h, 4, h));
        }
    } else {
        p.drawEllipse(QRectF(17, 20, 4, 8));
        p.drawEllipse(QRectF(27, 20, 4, 8));
    }
    return QIcon(pixmap);
}

} // namespace

CDlgZwaveList::CDlgZwaveList(QWidget* parent)
    : QWidget(parent), m_list(new CIconListCtrl(this, kIconSize)), m_delete(new QPushButton(this)),
      m_add(new QPushButton(this)) {
    setObjectName(QStringLiteral("zwaveListPage"));
    SetControlId(m_list, kListId);
    SetControlId(m_delete, kDeleteId);
    SetControlId(m_add, kAddId);
    m_list->SetIcons(
        {DeviceIcon(0), DeviceIcon(zwave::kSwitchType), DeviceIcon(zwave::kDimmerType)});
    m_list->setStyleSheet(QStringLiteral("QListWidget { background: white; }"));

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(m_delete);
    buttons->addWidget(m_add);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(8, 8, 8, 8);
    layout->addWidget(m_list, 1);
    layout->addLayout(buttons);

    connect(m_list, &CIconListCtrl::itemClickedWithData, this, &CDlgZwaveList::Open);
    connect(m_list, &CIconListCtrl::itemRightClickedWithData, this, &CDlgZwaveList::Edit);
    connect(m_delete, &QPushButton::clicked, this, [] {
        if (CheckZwaveConnected()) {
            StartRemoveDevice(QStringLiteral("删除设备"));
        }
    });
    connect(m_add, &QPushButton::clicked, this, [this] {
        if (CheckZwaveConnected()) {
            OpenZwaveDeviceDialog(ToolWindow::ZwaveEdit, 0, window());
        }
    });
    ApplyLanguage();
    RefreshDevices();
}

void CDlgZwaveList::ApplyLanguage() {
    m_list->SetColumnTitle(Tr("设备列表", "Device list"));
    m_delete->setText(Tr("删除插座", "Delete plug"));
    m_add->setText(Tr("添加插座", "Add plug"));
    ApplyLanguageTexts(this, kDialogId);
}

void CDlgZwaveList::RefreshDevices() {
    m_list->clear();
    const ParamImage& image = GetParamImage();
    for (int node : zwave::PresentDevices(image)) {
        const zwave::DeviceRecord record = zwave::ReadDeviceRecord(image, node);
        m_list->AddItem(QString::fromStdU16String(record.name), record.type, node);
        m_list->item(m_list->count() - 1)
            ->setToolTip(QStringLiteral("%1 · %2").arg(node).arg(zwave::NodeValue(image, node)));
    }
}

void CDlgZwaveList::Open(int node) {
    const int type = zwave::ReadDeviceRecord(GetParamImage(), node).type;
    if (type == zwave::kSwitchType) {
        OpenZwaveDeviceDialog(ToolWindow::ZwaveSwitch, node, window());
    } else if (type == zwave::kDimmerType) {
        OpenZwaveDeviceDialog(ToolWindow::ZwaveLight, node, window());
    }
}

void CDlgZwaveList::Edit(int node) {
    OpenZwaveDeviceDialog(ToolWindow::ZwaveEdit, node, window());
}

} // namespace kv
