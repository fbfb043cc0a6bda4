#include "smarthome/CDlgZwaveEdit.h"

#include "image/ParamImage.h"
#include "shell/DeviceAdapter.h"
#include "shell/Language.h"
#include "shell/Shell.h"
#include "shell/UiServices.h"
#include "smarthome/ZwaveDevices.h"
#include "smarthome/ZwaveNodes.h"
#include "smarthome/ZwaveWindows.h"

#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QVBoxLayout>

namespace kv {

CDlgZwaveEdit::CDlgZwaveEdit(int node, QWidget* parent)
    : QDialog(parent), m_node(node), m_typeLabel(new QLabel(this)), m_type(new QComboBox(this)),
      m_nameLabel(new QLabel(this)), m_name(new QLineEdit(this)), m_ok(new QPushButton(this)),
      m_cancel(new QPushButton(this)) {
    setObjectName(QStringLiteral("zwaveEditDialog"));
    setProperty("kvSkin", QStringLiteral("dialog"));
    SetControlId(m_typeLabel, kTypeLabelId);
    SetControlId(m_type, kTypeId);
    SetControlId(m_nameLabel, kNameLabelId);
    SetControlId(m_name, kNameId);
    SetControlId(m_ok, kOkId);
    SetControlId(m_cancel, kCancelId);
    m_type->addItems({QString(), QString()});
    m_name->setMaxLength(kNameEditLength);
    m_ok->setDefault(true);

    auto* form = new QFormLayout;
    form->addRow(m_typeLabel, m_type);
    form->addRow(m_nameLabel, m_name);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(m_ok);
    buttons->addWidget(m_cancel);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(20, 16, 20, 14);
    layout->addLayout(form);
    layout->addLayout(buttons);

    const ParamImage& image = GetParamImage();
    if (Adding()) {
        m_type->setCurrentIndex(zwave::kSwitchType - 1);
        m_name->setText(
            QString::fromStdU16String(zwave::DefaultDeviceName(image, zwave::kSwitchType)));
    } else {
        const zwave::DeviceRecord record = zwave::ReadDeviceRecord(image, node);
        m_type->setCurrentIndex(record.type == zwave::kDimmerType ? 1 : 0);
        m_name->setText(QString::fromStdU16String(record.name));
    }
    m_name->setCursorPosition(static_cast<int>(m_name->text().size()));
    m_name->setFocus();

    connect(m_type, &QComboBox::currentIndexChanged, this, &CDlgZwaveEdit::TypeChanged);
    connect(m_ok, &QPushButton::clicked, this, &CDlgZwaveEdit::Ok);
    connect(m_cancel, &QPushButton::clicked, this, &QDialog::close);
    ApplyLanguage();
}

void CDlgZwaveEdit::ApplyLanguage() {
    setWindowTitle(Tr("插座编辑", "Plug property"));
    m_typeLabel->setText(Tr("类型", "Type"));
    m_nameLabel->setText(Tr("名称", "Name"));
    {
        const QSignalBlocker block(m_type);
        m_type->setItemText(0, Tr("开关插座", "Switch"));
        m_type->setItemText(1, Tr("调压插座", "Knob"));
    }
    m_cancel->setText(Tr("取消", "Cancel"));
    ApplyLanguageTexts(this, kDialogId);
    m_ok->setText(Adding() ? Tr("添加", "Add") : Tr("修改", "Modify"));
}

void CDlgZwaveEdit::TypeChanged(int index) {
    if (Adding()) {
        m_name->setText(
            QString::fromStdU16String(zwave::DefaultDeviceName(GetParamImage(), index + 1)));
        m_name->setCursorPosition(static_cast<int>(m_name->text().size()));
    }
}

void CDlgZwaveEdit::Ok() {
    if (!CheckZwaveConnected()) {
        close();
        return;
    }
    if (m_name->text().isEmpty()) {
        ShowMessage(this, QStringLiteral("名称不能为空"), QStringLiteral("提示"),
                    BoxIcon::Information);
        return;
    }
    const zwave::DeviceRecord record{static_cast<std::uint8_t>(m_type->currentIndex() + 1),
                                     m_name->text().toStdU16String()};
    ParamImage& image = GetParamImage();
    if (Adding()) {
        zwave::StorePendingAdd(image, record);
        StartAddDevice();
    } else {
        zwave::StoreDeviceRecord(image, m_node, record);
        WriteDeviceRecord(m_node);
    }
    RefreshSmartPlugPages();
    close();
}

} // namespace kv
