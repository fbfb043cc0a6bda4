#include "settings/CloudnessDlg.h"

#include "image/MainFields.h"
#include "pages/EditHistory.h"
#include "pages/FieldBinder.h"
#include "protocol/CoefficientEncoders.h"
#include "settings/SettingTexts.h"
#include "shell/Language.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

namespace kv {

namespace {

using namespace settingtext;

/// The music sub-bass low-pass: band 0 of group 14, 0 dB, Q 0.707, low-pass.
constexpr int kSubBassGroup = 14;
constexpr double kSubBassQ = 0.707;
constexpr int kSubBassMinHz = 20;
constexpr int kSubBassMaxHz = 300;
constexpr int kBassBoostMaxDb = 40;

constexpr FieldBinding kBindings[] = {
    {1040, &fields::exciterOn},
    {1041, &fields::exciterEqOn},
    {1043, &fields::exciterLowFreq, 0, 1006, &Hz},
    {1049, &fields::exciterLowGain, 0, 1010, &Db},
    {1055, &fields::exciterMidFreq, 0, 1012, &Hz},
    {1056, &fields::exciterMidGain, 0, 1019, &Db},
    {1057, &fields::exciterHighFreq, 0, 1240, &Hz},
    {1058, &fields::exciterHighGain, 0, 1022, &Db},
    {1059, &fields::harmonicGain, 0, 1023, &Percent},
    {1061, &fields::harmonicMixRatio, 0, 1025, &Percent},
    {1060, &fields::harmonicOrderRatio, 0, 1024, &Percent},
    {1062, &fields::exciterVolume, 0, 1026, &Percent},
    {1045, &fields::micBassBoostOn},
    {1047, &fields::musicBassDelay, 0, 1004, &Ms},
    {1048, &fields::musicBassGain, 0, 1009, &Percent},
    {1042, &fields::autoSubOn},
    {1050, &fields::autoSubRatio, 0, 1011, &Percent},
    {1051, &fields::musicInputLimiter, 0, 1014, &DbWhole},
    {1052, &fields::musicInputLimiter, 1, 1015, &Ratio},
    {1053, &fields::musicInputLimiter, 2, 1016, &MsWhole},
    {1054, &fields::musicInputLimiter, 3, 1017, &MsWhole},
};

} // namespace

CloudnessDlg::CloudnessDlg(QWidget* parent) : SettingsDialog(kDialogId, kBindings, parent) {
    setObjectName(QStringLiteral("featuresDialog"));
    auto* left = new QVBoxLayout;
    left->addWidget(BuildExciter());
    left->addStretch(1);
    auto* right = new QVBoxLayout;
    right->addWidget(BuildSubBass());
    right->addWidget(BuildDucking());
    right->addWidget(BuildMusicLevel());
    right->addStretch(1);
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(14, 14, 14, 14);
    layout->setSpacing(12);
    layout->addLayout(left);
    layout->addLayout(right);
    BindControls();
    connect(m_bassBoost, &CXBmpSlider::sliderChanged, this,
            [this](int, int p) { SetBassBoost(p); });
    connect(m_subBassFreq, &CXBmpSlider::sliderChanged, this,
            [this](int, int p) { SetSubBassFreq(p); });
    connect(m_musicLevelOn, &QCheckBox::clicked, this, [this](bool on) { SetMusicLevelOn(on); });
    ApplyLanguage();
}

void CloudnessDlg::AddRow(QGridLayout* grid, int row, int caption, int slider, int text) {
    grid->addWidget(MakeLabel(caption), row, 0);
    grid->addWidget(MakeSlider(slider), row, 1);
    grid->addWidget(MakeLabel(text, 56), row, 2);
}

QWidget* CloudnessDlg::BuildExciter() {
    QGroupBox* group = MakeGroup(1005);
    auto* column = new QVBoxLayout(group);
    column->addWidget(MakeCheck(1040), 0, Qt::AlignLeft);
    column->addWidget(MakeCheck(1041), 0, Qt::AlignLeft);
    auto* grid = new QGridLayout;
    grid->setHorizontalSpacing(10);
    constexpr int kRows[][3] = {
        {1030, 1043, 1006}, {1031, 1049, 1010}, {1032, 1055, 1012}, {1033, 1056, 1019},
        {1034, 1057, 1240}, {1035, 1058, 1022}, {1036, 1059, 1023}, {1037, 1061, 1025},
        {1038, 1060, 1024}, {1039, 1062, 1026},
    };
    int row = 0;
    for (const auto& r : kRows) {
        AddRow(grid, row++, r[0], r[1], r[2]);
    }
    // The exciter's overall level is kept in the image but not offered.
    for (int id : {1039, 1062, 1026}) {
        FindControl(this, id)->hide();
    }
    column->addLayout(grid);

    column->addSpacing(8);
    column->addWidget(MakeCheck(1045), 0, Qt::AlignLeft);
    auto* boost = new QHBoxLayout;
    m_bassBoost = MakeSlider(kBassBoost);
    m_bassBoost->SetRange(0, kBassBoostMaxDb);
    m_bassBoostText = MakeLabel(kBassBoostText, 56);
    boost->addWidget(m_bassBoost);
    boost->addWidget(m_bassBoostText);
    boost->addStretch(1);
    column->addLayout(boost);
    return group;
}

QWidget* CloudnessDlg::BuildSubBass() {
    QGroupBox* group = MakeGroup(1007);
    auto* grid = new QGridLayout(group);
    grid->setHorizontalSpacing(10);
    grid->addWidget(MakeLabel(1064), 0, 0);
    m_subBassFreq = MakeSlider(kSubBassFreq);
    m_subBassFreq->SetRange(kSubBassMinHz, kSubBassMaxHz);
    m_subBassFreqText = MakeLabel(kSubBassFreqText, 56);
    grid->addWidget(m_subBassFreq, 0, 1);
    grid->addWidget(m_subBassFreqText, 0, 2);
    AddRow(grid, 1, 1065, 1047, 1004);
    AddRow(grid, 2, 1066, 1048, 1009);
    return group;
}

QWidget* CloudnessDlg::BuildDucking() {
    QGroupBox* group = MakeGroup(1013);
    auto* grid = new QGridLayout(group);
    grid->setHorizontalSpacing(10);
    QLabel* note = MakeLabel(1021);
    note->setWordWrap(true);
    grid->addWidget(MakeCheck(1042), 0, 0, 1, 3, Qt::AlignLeft);
    grid->addWidget(note, 1, 0, 1, 3);
    AddRow(grid, 2, 1067, 1050, 1011);
    return group;
}

QWidget* CloudnessDlg::BuildMusicLevel() {
    QGroupBox* group = MakeGroup(1018);
    auto* grid = new QGridLayout(group);
    grid->setHorizontalSpacing(10);
    m_musicLevelOn = MakeCheck(kMusicLevelOn);
    grid->addWidget(m_musicLevelOn, 0, 0, 1, 3, Qt::AlignLeft);
    AddRow(grid, 1, 1068, 1051, 1014);
    AddRow(grid, 2, 1069, 1052, 1015);
    AddRow(grid, 3, 1070, 1053, 1016);
    AddRow(grid, 4, 1071, 1054, 1017);
    // The ratio is kept and sent with the block but not offered.
    for (int id : {1069, 1052, 1015}) {
        FindControl(this, id)->hide();
    }
    return group;
}

void CloudnessDlg::SetBassBoost(int amount) {
    m_bassBoostText->setText(Db(amount, 0));
    SetMicBassBoostLevel(static_cast<float>(-amount));
}

void CloudnessDlg::SetSubBassFreq(int hz) {
    EditBand(kSubBassGroup, 0, EqBand{0.0, static_cast<double>(hz), kSubBassQ, kFilterLowPass});
    m_subBassFreqText->setText(Hz(hz, 0));
}

void CloudnessDlg::SetMusicLevelOn(bool on) {
    // The stored byte is 1 while the automatic level is off.
    Binder()->EditTarget(fields::musicInputLimiterOff, 0, on ? 0 : 1);
}

void CloudnessDlg::AfterRefresh() {
    const ParamImage& image = GetParamImage();
    const float boost = -image.TailValue();
    const int amount = std::isfinite(boost) ? static_cast<int>(std::trunc(boost)) : 0;
    m_bassBoost->SetPos(amount);
    m_bassBoostText->setText(Db(m_bassBoost->Pos(), 0));
    const double hz = image.ReadBand(kSubBassGroup, 0).freqHz;
    m_subBassFreq->SetPos(std::isfinite(hz) ? static_cast<int>(std::lround(hz)) : kSubBassMinHz);
    m_subBassFreqText->setText(Hz(m_subBassFreq->Pos(), 0));
    m_musicLevelOn->setChecked(ReadFieldValue(fields::musicInputLimiterOff, 0) == 0);
}

} // namespace kv
