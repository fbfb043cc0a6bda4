#include "pages/CDelayDlg.h"

#include "controls/CDelayPanel.h"
#include "controls/CXBmpSlider.h"
#include "image/TypedValue.h"
#include "pages/EditHistory.h"
#include "pages/FieldBinder.h"
#include "pages/OutputFields.h"
#include "pages/OutputNavRow.h"
#include "pages/PageTexts.h"
#include "pages/UpDownControl.h"
#include "pages/ValueNote.h"
#include "protocol/DelayOperations.h"
#include "shell/Language.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QGridLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QVBoxLayout>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>

namespace kv {

namespace {

using namespace fields;

constexpr std::array<int, 8> kNameIds = {1123, 1124, 1125, 1126, 1131, 1135, 1132, 1136};
constexpr std::array<int, 8> kCrossoverIds = {1014, 1015, 1016, 1017, 1018, 1019, 1022, 1023};
constexpr std::array<int, 8> kFrequencyIds = {1008, 1009, 1010, 1011, 1012, 1013, 1020, 1021};
constexpr int kOnFirstId = 1293;
constexpr int kHighFreqFirstId = 1190;
constexpr int kDelayBoxFirstId = 1038;
constexpr int kUpDownFirstId = 1242;
constexpr int kPanelId = 1250;
constexpr int kUpDownMin = 16;
constexpr int kUpDownMax = 1000;
constexpr int kPerChannel = 4;

const QColor kBackground(240, 250, 255);

/// Per channel: the switch (checked = on), the two mode radios and the delay shown in its box.
constexpr std::array<FieldBinding, 8 * kPerChannel> MakeControls() {
    std::array<FieldBinding, 8 * kPerChannel> b{};
    for (int c = 0; c < 8; ++c) {
        const auto i = static_cast<std::size_t>(kPerChannel * c);
        b[i] = {.control = kOnFirstId + c, .field = &outDelayOff, .entry = c, .inverted = true};
        b[i + 1] = {.control = kHighFreqFirstId + 2 * c,
                    .field = &outDelayMode,
                    .entry = c,
                    .setter = &SetDelayModeField,
                    .inverted = true};
        b[i + 2] = {.control = kHighFreqFirstId + 2 * c + 1,
                    .field = &outDelayMode,
                    .entry = c,
                    .setter = &SetDelayModeField};
        b[i + 3] = {.control = 0,
                    .field = &outDelay,
                    .entry = c,
                    .textControl = kDelayBoxFirstId + c,
                    .text = &DelayText,
                    .setter = &SetDelayField};
    }
    return b;
}

constexpr auto kControls = MakeControls();

const FieldBinding& DelayBinding(const FieldBinder& binder, int c) {
    return binder.Bindings()[static_cast<std::size_t>(kPerChannel * c + 3)];
}

QString HzText(int k) {
    return QStringLiteral("%1Hz").arg(CrossoverFrequency(k));
}

} // namespace

CDelayDlg::CDelayDlg(QWidget* parent)
    : QWidget(parent), m_nav(new OutputNavRow(PageKind::Delay, this)),
      m_panel(new CDelayPanel(this)), m_binder(new FieldBinder(kControls, this)) {
    setObjectName(QStringLiteral("delayPage"));
    setAutoFillBackground(true);
    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, kBackground);
    setPalette(palette);

    SetControlId(m_panel, kPanelId);
    m_panel->SetChannelCount(kChannels);
    m_panel->Init();
    m_panel->setMinimumHeight(220);
    m_panel->installEventFilter(this);

    auto* grid = new QGridLayout;
    grid->setHorizontalSpacing(10);
    grid->setVerticalSpacing(4);
    for (int c = 0; c < kChannels; ++c) {
        BuildRow(c);
        const Row& r = m_rows[Index(c)];
        int column = 0;
        for (QWidget* w :
             std::initializer_list<QWidget*>{r.name, r.onBox, r.highFreq, r.channel, r.crossover,
                                             r.frequency, r.delay, r.upDown}) {
            grid->addWidget(w, c, column++);
        }
    }
    grid->setColumnStretch(8, 1);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(10, 8, 10, 10);
    layout->setSpacing(8);
    layout->addWidget(m_nav);
    layout->addLayout(grid);
    layout->addWidget(m_panel, 1);

    m_binder->AttachAll([this](int control) { return FindControl(this, control); });
    connect(m_binder, &FieldBinder::changed, this, [this](const MainField* field, int c) {
        if (field->slot == outDelay.slot) {
            ShowDelay(c);
        } else if (field->slot == outDelayMode.slot) {
            ShowCrossover(c);
        }
        ApplyEnabling(c);
    });
    connect(m_panel, &CDelayPanel::delayDragged, this, [this](int c, float ms) {
        if (m_panel->Dragging()) {
            BeginGesture();
        }
        CommitDelay(c, ms);
    });
    RefreshFromImage();
}

CDelayDlg::~CDelayDlg() = default;

void CDelayDlg::BuildRow(int c) {
    Row& r = m_rows[Index(c)];
    r.name = new QLabel(Tr("通道%1", "CH %1").arg(c + 1), this);
    SetControlId(r.name, kNameIds[Index(c)]);
    r.onBox = new QCheckBox(QStringLiteral("开关"), this);
    SetControlId(r.onBox, kOnFirstId + c);
    r.highFreq = new QRadioButton(QStringLiteral("高频延时"), this);
    SetControlId(r.highFreq, kHighFreqFirstId + 2 * c);
    r.channel = new QRadioButton(QStringLiteral("通道延时"), this);
    SetControlId(r.channel, kHighFreqFirstId + 2 * c + 1);
    auto* group = new QButtonGroup(this);
    group->addButton(r.highFreq);
    group->addButton(r.channel);
    r.highFreq->setChecked(true);

    r.crossover = new CXBmpSlider(this, kCrossoverIds[Index(c)]);
    SetControlId(r.crossover, kCrossoverIds[Index(c)]);
    r.crossover->SetSkin(CXBmpSlider::Skin::LongHorizontal);
    r.crossover->SetBackgroundColour(kBackground.rgb());
    r.crossover->SetRange(0, kCrossoverSteps - 1);
    r.crossover->SetPos(0);
    connect(r.crossover, &CXBmpSlider::sliderChanged, this,
            [this, c](int, int k) { OnCrossover(c, k); });
    connect(r.crossover, &CXBmpSlider::sliderReleased, this, [] { EndGesture(); });
    r.frequency = new QLabel(HzText(0), this);
    SetControlId(r.frequency, kFrequencyIds[Index(c)]);
    r.frequency->setMinimumWidth(56);

    r.delay = new QLineEdit(this);
    SetControlId(r.delay, kDelayBoxFirstId + c);
    r.delay->setFixedWidth(80);
    r.delay->setAlignment(Qt::AlignCenter);
    r.delay->installEventFilter(this);
    r.upDown = new UpDownControl(this);
    SetControlId(r.upDown, kUpDownFirstId + c);
    r.upDown->SetRange(kUpDownMin, kUpDownMax);
    r.upDown->SetPos(1);
    connect(r.upDown, &UpDownControl::stepping, this,
            [this, c](int position, int delta) { OnUpDown(c, position, delta); });
}

void CDelayDlg::RefreshFromImage() {
    m_binder->RefreshFromImage();
    for (int c = 0; c < kChannels; ++c) {
        ShowDelay(c);
        ShowCrossover(c);
        ApplyEnabling(c);
    }
}

void CDelayDlg::ApplyLanguage() {
    m_binder->SetLanguage(LanguageIndex());
    ApplyLanguageTexts(this, kDialogId);
    m_binder->RefreshFromImage();
}

void CDelayDlg::ShowDelay(int c) {
    const auto ms = static_cast<float>(m_binder->Value(DelayBinding(*m_binder, c)));
    m_panel->SetChannelValue(c, ms);
    m_rows[Index(c)].upDown->SetPos(static_cast<int>(std::trunc(ms * 10.0f)));
}

void CDelayDlg::ShowCrossover(int c) {
    const Row& r = m_rows[Index(c)];
    const int k =
        std::clamp(GetDelayCrossoverIndex(c), r.crossover->Minimum(), r.crossover->Maximum());
    r.crossover->SetPos(k);
    r.frequency->setText(HzText(k));
}

void CDelayDlg::ApplyEnabling(int c) {
    const Row& r = m_rows[Index(c)];
    const bool on = r.onBox->isChecked();
    for (QWidget* w :
         std::initializer_list<QWidget*>{r.highFreq, r.channel, r.name, r.delay, r.upDown}) {
        w->setEnabled(on);
    }
    const bool crossover = on && r.highFreq->isChecked();
    r.crossover->SetEnabled(crossover);
    r.frequency->setEnabled(crossover);
}

void CDelayDlg::CommitDelay(int c, float ms) {
    QLineEdit* box = m_rows[Index(c)].delay;
    box->setText(DelayText(ms, LanguageIndex()));
    box->setFocus();
    ApplyDelay(c, ms);
    m_rows[Index(c)].upDown->SetPos(static_cast<int>(std::trunc(ms * 10.0f)));
}

void CDelayDlg::ApplyDelay(int c, float ms) {
    m_panel->SetChannelValue(c, ms);
    m_rows[Index(c)].delay->setText(DelayText(ms, LanguageIndex()));
    m_binder->Edit(DelayBinding(*m_binder, c), ms);
}

void CDelayDlg::OnCrossover(int c, int k) {
    if (m_rows[Index(c)].crossover->Dragging()) {
        BeginGesture();
    }
    EditDelayCrossover(c, k);
    m_rows[Index(c)].frequency->setText(HzText(GetDelayCrossoverIndex(c)));
}

void CDelayDlg::OnUpDown(int c, int position, int delta) {
    const int tenths = std::clamp(position + (delta > 0 ? 1 : delta < 0 ? -1 : 0), 1, 1000);
    ApplyDelay(c, static_cast<float>(tenths) / 10.0f);
}

bool CDelayDlg::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_panel && event->type() == QEvent::MouseButtonRelease) {
        EndGesture();
    }
    if (event->type() == QEvent::KeyRelease) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
            for (int c = 0; c < kChannels; ++c) {
                if (watched == m_rows[Index(c)].delay) {
                    // Text that is not a number reads as 0 and so gives the lowest delay.
                    const TypedValue t =
                        ReadTypedValue(m_rows[Index(c)].delay->text().toStdString(), "ms");
                    const double typed = t.ok() ? t.value : 0;
                    const double kept = std::clamp(typed, double(kMinChannelDelayMs), 100.0);
                    if (t.ok() && kept != typed) {
                        NoteLimited(DelayText(typed, LanguageIndex()),
                                    DelayText(kept, LanguageIndex()), LanguageIndex());
                    }
                    CommitDelay(c, static_cast<float>(kept));
                    return true;
                }
            }
        }
    }
    return QWidget::eventFilter(watched, event);
}

void CDelayDlg::wheelEvent(QWheelEvent* event) {
    // The wheel anywhere over the page turns the focused crossover slider or delay box.
    QWidget* focused = QApplication::focusWidget();
    for (const Row& r : m_rows) {
        if (focused && (focused == r.crossover || focused == r.delay)) {
            QApplication::sendEvent(focused, event);
            return;
        }
    }
    QWidget::wheelEvent(event);
}

} // namespace kv
