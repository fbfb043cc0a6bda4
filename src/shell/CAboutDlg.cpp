#include "shell/CAboutDlg.h"

#include "image/ParamImage.h"
#include "link/ConnectionState.h"
#include "shell/DeviceAdapter.h"
#include "shell/Language.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace kv {

CAboutDlg::CAboutDlg(QWidget* parent)
    : QDialog(parent), m_model(new QLabel(this)), m_mcu(new QLabel(this)), m_dsp(new QLabel(this)),
      m_peak(new QCheckBox(QStringLiteral("Peak"), this)) {
    setProperty("kvSkin", QStringLiteral("dialog"));
    setObjectName(QStringLiteral("aboutDialog"));
    SetControlId(m_model, kModelId);
    SetControlId(m_dsp, kDspId);
    SetControlId(m_mcu, kMcuId);
    SetControlId(m_peak, kPeakId);

    auto* icon = new QLabel(this);
    icon->setPixmap(QIcon(QStringLiteral(":/app/kvcontrol.svg")).pixmap(64, 64));
    icon->setAlignment(Qt::AlignTop);
    auto* name = new QLabel(QStringLiteral("Controller v2.0.9"), this);
    name->setObjectName(QStringLiteral("aboutTitle"));
    auto* product = new QLabel(
        Tr("KV5930Q 音频处理器控制软件", "Control software for the KV5930Q audio processor"), this);
    product->setObjectName(QStringLiteral("aboutSubtitle"));

    const ParamImage& image = GetParamImage();
    m_model->setText(QStringLiteral("Module:%1").arg(QString::fromStdU16String(image.Model())));
    m_mcu->setText(QStringLiteral("MCU Ver:%1 CMD Ver:%2")
                       .arg(QString::fromStdU16String(image.McuVersion()))
                       .arg(image.CommVersion(), 2, 10, QLatin1Char('0')));
    m_dsp->setText(QStringLiteral("DSP Ver:%1").arg(QString::fromStdU16String(image.DspVersion())));
    const bool connected = device::IsConnected();
    m_model->setVisible(false);
    m_mcu->setVisible(connected);
    m_dsp->setVisible(connected);
    m_peak->setVisible(false);
    m_peak->setChecked(g_bPeakOption.load() != 0);
    connect(m_peak, &QCheckBox::toggled, this,
            [](bool checked) { g_bPeakOption.store(checked ? 1 : 0); });

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    SetControlId(buttons->button(QDialogButtonBox::Ok), 1);
    ApplyLanguageTexts(this, kDialogId);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);

    auto* text = new QVBoxLayout;
    text->setSpacing(4);
    for (QWidget* w :
         std::initializer_list<QWidget*>{name, product, m_model, m_mcu, m_dsp, m_peak}) {
        text->addWidget(w);
    }
    text->addStretch(1);
    auto* top = new QHBoxLayout;
    top->setSpacing(18);
    top->addWidget(icon);
    top->addLayout(text, 1);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(22, 20, 22, 16);
    layout->addLayout(top);
    layout->addWidget(buttons);
    setMinimumWidth(400);
}

void CAboutDlg::keyReleaseEvent(QKeyEvent* event) {
    const auto needed = Qt::ControlModifier | Qt::ShiftModifier;
    if (event->key() == Qt::Key_F11 && (event->modifiers() & needed) == needed) {
        m_model->setVisible(true);
        m_peak->setVisible(true);
        return;
    }
    QDialog::keyReleaseEvent(event);
}

} // namespace kv
