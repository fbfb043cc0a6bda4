#include "settings/SingleSettingDlg.h"

#include "image/MainFields.h"
#include "pages/FieldBinder.h"
#include "settings/SettingTexts.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

namespace kv {

namespace {

/// The level shown 12 dB above the stored target, "%.1fdB".
QString AgcLevelText(double level, int) {
    return QString::asprintf("%.1fdB", level + 12.0);
}

constexpr FieldBinding kAutoSub[] = {
    {SingleSettingDlg::kSwitch, &fields::autoSubOn},
    {SingleSettingDlg::kSlider, &fields::autoSubRatio, 0, SingleSettingDlg::kValue,
     &settingtext::Percent},
};

constexpr FieldBinding kAutoMusicVol[] = {
    {SingleSettingDlg::kSwitch, &fields::musicAgcOn},
    {SingleSettingDlg::kSlider, &fields::musicAgcLevel, 0, SingleSettingDlg::kValue, &AgcLevelText},
};

} // namespace

SingleSettingDlg::SingleSettingDlg(int dialogId, std::span<const FieldBinding> bindings,
                                   QWidget* parent)
    : SettingsDialog(dialogId, bindings, parent), m_switch(MakeCheck(kSwitch)),
      m_caption(MakeLabel(kCaption)), m_slider(MakeSlider(kSlider)),
      m_value(MakeLabel(kValue, 56)) {
    QLabel* note = MakeLabel(kNote);
    note->setWordWrap(true);
    note->setMinimumWidth(320);

    auto* level = new QHBoxLayout;
    level->setSpacing(10);
    level->addWidget(m_caption);
    level->addWidget(m_slider);
    level->addWidget(m_value);
    level->addStretch(1);
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(16, 14, 16, 16);
    column->setSpacing(10);
    column->addWidget(note);
    column->addWidget(m_switch, 0, Qt::AlignLeft);
    column->addLayout(level);

    BindControls();
    connect(Binder(), &FieldBinder::changed, this, [this] { EnableLevel(); });
    ApplyLanguage();
}

void SingleSettingDlg::AfterRefresh() {
    EnableLevel();
}

void SingleSettingDlg::EnableLevel() {
    const bool on = m_switch->isChecked();
    m_caption->setEnabled(on);
    m_value->setEnabled(on);
    m_slider->SetEnabled(on);
}

CAutoSubDlg::CAutoSubDlg(QWidget* parent) : SingleSettingDlg(kDialogId, kAutoSub, parent) {
    setObjectName(QStringLiteral("autoSubDialog"));
}

CAutoMusicVolDlg::CAutoMusicVolDlg(QWidget* parent)
    : SingleSettingDlg(kDialogId, kAutoMusicVol, parent) {
    setObjectName(QStringLiteral("autoMusicVolDialog"));
}

} // namespace kv
