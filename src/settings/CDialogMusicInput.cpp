#include "settings/CDialogMusicInput.h"

#include "image/MainFields.h"
#include "pages/EditHistory.h"
#include "pages/FieldBinder.h"
#include "settings/SettingTexts.h"
#include "shell/HdmiInputs.h"

#include <QCloseEvent>
#include <QGridLayout>
#include <QLabel>
#include <QRadioButton>

namespace kv {

namespace {

constexpr int kHdmiSource = 2;

/// One source: its radio button, source code and HDMI sub-input (-1: none), level slider and
/// value label, and the level field.
struct SourceRow {
    int radio;
    int code;
    int hdmi;
    int slider;
    int label;
    const MainField* level;
};
constexpr SourceRow kRows[CDialogMusicInput::kSources] = {
    {1190, 0, -1, 1041, 1005, &fields::sourceLevelSpdif1},
    {1198, 1, -1, 1049, 1010, &fields::sourceLevelSpdif2},
    {1192, 2, 0, 1043, 1006, &fields::sourceLevelHdmi1},
    {1193, 2, 1, 1044, 1002, &fields::sourceLevelHdmi2},
    {1194, 2, 2, 1045, 1003, &fields::sourceLevelHdmi3},
    {1195, 2, 3, 1046, 1131, &fields::sourceLevelHdmi4},
    {1191, 3, -1, 1042, 1007, &fields::sourceLevelBt},
    {1196, 4, -1, 1047, 1008, &fields::sourceLevelAux},
    {1197, 5, -1, 1048, 1009, &fields::sourceLevelAux2},
};
constexpr int kAux2Row = 8;
constexpr int kFirstHdmiRow = 2;

constexpr auto kBindings = [] {
    std::array<FieldBinding, CDialogMusicInput::kSources> b{};
    for (std::size_t i = 0; i < b.size(); ++i) {
        b[i] = {kRows[i].slider, kRows[i].level, 0, kRows[i].label, &settingtext::Percent};
    }
    return b;
}();

} // namespace

CDialogMusicInput::CDialogMusicInput(QWidget* parent)
    : SettingsDialog(kDialogId, kBindings, parent) {
    setObjectName(QStringLiteral("musicInputDialog"));
    auto* grid = new QGridLayout(this);
    grid->setContentsMargins(16, 14, 16, 14);
    grid->setHorizontalSpacing(12);
    grid->setVerticalSpacing(8);
    for (int i = 0; i < kSources; ++i) {
        const SourceRow& row = kRows[i];
        QRadioButton* radio = MakeRadio(row.radio);
        radio->setMinimumWidth(96);
        m_radios[static_cast<std::size_t>(i)] = radio;
        CXBmpSlider* slider = MakeSlider(row.slider);
        QLabel* value = MakeLabel(row.label, 48);
        grid->addWidget(radio, i, 0);
        grid->addWidget(slider, i, 1);
        grid->addWidget(value, i, 2);
        if (i == kAux2Row) {
            radio->hide();
            slider->hide();
            value->hide();
        }
        connect(radio, &QRadioButton::clicked, this, [this, i] { Choose(i); });
    }
    grid->setColumnStretch(3, 1);
    BindControls();
    ApplyLanguage();
}

void CDialogMusicInput::Choose(int index) {
    const SourceRow& row = kRows[index];
    const EditScope scope;
    if (row.hdmi >= 0) {
        Binder()->EditTarget(fields::hdmiPort, 0, row.hdmi);
    }
    Binder()->EditTarget(fields::musicSource, 0, row.code);
}

void CDialogMusicInput::AfterRefresh() {
    const int code = static_cast<int>(ReadFieldValue(fields::musicSource, 0));
    if (code < 0 || code > 5) {
        return;
    }
    const int hdmi = static_cast<int>(ReadFieldValue(fields::hdmiPort, 0));
    for (int i = 0; i < kSources; ++i) {
        const SourceRow& row = kRows[i];
        if (row.code == code && (code != kHdmiSource || row.hdmi == hdmi)) {
            m_radios[static_cast<std::size_t>(i)]->setChecked(true);
        }
    }
}

void CDialogMusicInput::AfterLanguage() {
    SetHdmiLabelsByModel();
}

void CDialogMusicInput::SetHdmiLabelsByModel() {
    for (int k = 0; k < kHdmiInputs; ++k) {
        m_radios[static_cast<std::size_t>(kFirstHdmiRow + k)]->setText(HdmiInputName(k));
    }
}

void CDialogMusicInput::done(int result) {
    setResult(result);
    hide();
}

void CDialogMusicInput::closeEvent(QCloseEvent* event) {
    event->ignore();
    hide();
}

} // namespace kv
