#include "pages/EqBandEditor.h"

#include "controls/CXBmpSlider.h"
#include "image/TypedValue.h"
#include "pages/EditHistory.h"
#include "pages/PageTexts.h"
#include "shell/Language.h"

#include <QButtonGroup>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

namespace kv {

namespace {

constexpr int kGainMin = -150;
constexpr int kGainMax = 150;
constexpr double kFreqMin = 20;
constexpr double kFreqMax = 20000;
/// The frequency slider moves logarithmically: 20 Hz at the bottom, 1 kHz in the middle,
/// 20 kHz at the top, each half in equal ratios per position. Positions are not rounded to
/// whole Hz, so that each arrow key press moves the band even where positions lie closer
/// than 1 Hz.
constexpr double kFreqMiddle = 1000;
constexpr int kFreqPositions = 1000;
constexpr int kFreqHalf = kFreqPositions / 2;
constexpr int kQMin = 10;
constexpr int kQMaxPeq = 3000;
constexpr int kQMaxOther = 200;
constexpr int kFirstTypeId = 1204;

} // namespace

double EqBandEditor::FreqAtPosition(int position) {
    const int p = std::clamp(position, 0, kFreqPositions);
    const double hz =
        p <= kFreqHalf
            ? kFreqMin * std::pow(kFreqMiddle / kFreqMin, double(p) / kFreqHalf)
            : kFreqMiddle * std::pow(kFreqMax / kFreqMiddle, double(p - kFreqHalf) / kFreqHalf);
    return std::clamp(hz, kFreqMin, kFreqMax);
}

int EqBandEditor::PositionOfFreq(double hz) {
    if (!std::isfinite(hz)) {
        return 0;
    }
    const double f = std::clamp(hz, kFreqMin, kFreqMax);
    const double p =
        f <= kFreqMiddle
            ? kFreqHalf * std::log(f / kFreqMin) / std::log(kFreqMiddle / kFreqMin)
            : kFreqHalf + kFreqHalf * std::log(f / kFreqMiddle) / std::log(kFreqMax / kFreqMiddle);
    return std::clamp(static_cast<int>(std::lround(p)), 0, kFreqPositions);
}

EqBandEditor::EqBandEditor(QWidget* parent)
    : QWidget(parent), m_number(new QLabel(this)), m_gain(new CXBmpSlider(this, 1209)),
      m_freq(new CXBmpSlider(this, 1210)), m_q(new CXBmpSlider(this, 1211)),
      m_gainBox(new QLineEdit(this)), m_freqBox(new QLineEdit(this)), m_qBox(new QLineEdit(this)) {
    setObjectName(QStringLiteral("bandEditor"));
    SetControlId(m_number, 1203);
    QFont font(QStringLiteral("Arial"));
    font.setPixelSize(24);
    font.setBold(true);
    m_number->setFont(font);
    m_number->setStyleSheet(QStringLiteral("color: rgb(20, 200, 20);"));
    m_number->setAlignment(Qt::AlignCenter);
    m_number->setMinimumWidth(36);

    auto* types = new QWidget(this);
    auto* typeColumn = new QVBoxLayout(types);
    typeColumn->setContentsMargins(4, 2, 4, 2);
    typeColumn->setSpacing(1);
    auto* group = new QButtonGroup(this);
    for (int t = 1; t <= 5; ++t) {
        auto* radio = new QRadioButton(pagetext::TypeName(t, 1), types);
        SetControlId(radio, kFirstTypeId + t - 1);
        group->addButton(radio, t);
        typeColumn->addWidget(radio);
        m_types[static_cast<std::size_t>(t - 1)] = radio;
    }
    connect(group, &QButtonGroup::idClicked, this, [this](int type) {
        SetTypeRange(type);
        emit typeChosen(type);
    });

    struct SliderSpec {
        CXBmpSlider* slider;
        QLineEdit* box;
        int boxId;
        int min;
        int max;
    };
    const SliderSpec specs[] = {{m_gain, m_gainBox, 1212, kGainMin, kGainMax},
                                {m_freq, m_freqBox, 1213, 0, kFreqPositions},
                                {m_q, m_qBox, 1214, kQMin, kQMaxPeq}};
    for (const SliderSpec& s : specs) {
        s.slider->SetSkin(CXBmpSlider::Skin::LongVertical);
        s.slider->SetRange(s.min, s.max);
        SetControlId(s.slider, s.slider->ControlId());
        SetControlId(s.box, s.boxId);
        s.box->setAlignment(Qt::AlignCenter);
        s.box->setFixedWidth(62);
    }
    // A slider writes its box and reports the value; a drag is one undo step.
    connect(m_gain, &CXBmpSlider::sliderChanged, this, [this](int, int p) {
        if (m_gain->Dragging()) {
            BeginGesture();
        }
        m_gainBox->setText(pagetext::SignedDb(p / 10.0));
        emit gainEdited(p / 10.0);
    });
    connect(m_freq, &CXBmpSlider::sliderChanged, this, [this](int, int p) {
        if (m_freq->Dragging()) {
            BeginGesture();
        }
        const double hz = FreqAtPosition(p);
        m_freqBox->setText(pagetext::Hz(hz));
        emit freqEdited(hz);
    });
    connect(m_q, &CXBmpSlider::sliderChanged, this, [this](int, int p) {
        if (m_q->Dragging()) {
            BeginGesture();
        }
        m_qBox->setText(pagetext::Q(p / 100.0));
        emit qEdited(p / 100.0);
    });
    for (CXBmpSlider* s : {m_gain, m_freq, m_q}) {
        connect(s, &CXBmpSlider::sliderReleased, this, [] { EndGesture(); });
    }
    BoxFinished(m_gainBox, "dB", &EqBandEditor::gainEdited);
    BoxFinished(m_freqBox, "Hz", &EqBandEditor::freqEdited);
    BoxFinished(m_qBox, "", &EqBandEditor::qEdited);

    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(4);
    row->addWidget(m_number);
    row->addWidget(Frame(1199, types));
    auto column = [this](CXBmpSlider* slider, QLineEdit* box) {
        auto* w = new QWidget(this);
        auto* v = new QVBoxLayout(w);
        v->setContentsMargins(2, 0, 2, 0);
        v->setSpacing(2);
        v->addWidget(slider, 1, Qt::AlignHCenter);
        v->addWidget(box, 0, Qt::AlignHCenter);
        return w;
    };
    row->addWidget(Frame(1200, column(m_freq, m_freqBox)));
    row->addWidget(Frame(1201, column(m_gain, m_gainBox)));
    row->addWidget(Frame(1202, column(m_q, m_qBox)));
    row->addStretch(1);
}

QWidget* EqBandEditor::Frame(int id, QWidget* content) {
    auto* box = new QGroupBox(this);
    SetControlId(box, id);
    auto* l = new QVBoxLayout(box);
    l->setContentsMargins(2, 2, 2, 2);
    l->addWidget(content);
    return box;
}

void EqBandEditor::BoxFinished(QLineEdit* box, const char* unit,
                               void (EqBandEditor::*signal)(double)) {
    connect(box, &QLineEdit::editingFinished, this, [this, box, unit, signal] {
        if (!box->isModified()) {
            return;
        }
        box->setModified(false);
        const TypedValue typed = ReadTypedValue(box->text().toStdString(), unit);
        if (typed.ok()) {
            emit(this->*signal)(typed.value);
        } else {
            // Not a number (or empty): the band keeps its value; the page shows it again.
            emit(this->*signal)(std::nan(""));
        }
    });
}

QRadioButton* EqBandEditor::TypeRadio(int type) const {
    return type >= kFilterPeq && type <= kFilterHighShelf
               ? m_types[static_cast<std::size_t>(type - kFilterPeq)]
               : nullptr;
}

void EqBandEditor::SetTypeRange(int type) {
    m_q->SetRange(kQMin, type == kFilterPeq ? kQMaxPeq : kQMaxOther);
}

void EqBandEditor::ShowBand(int index, const EqPanelBand& band) {
    m_number->setText(QString::number(index + 1));
    for (int t = 1; t <= 5; ++t) {
        QRadioButton* r = TypeRadio(t);
        const QSignalBlocker blocker(r);
        r->setChecked(t == band.type);
    }
    SetTypeRange(band.type);
    const bool gainEditable =
        band.type == kFilterPeq || band.type == kFilterLowShelf || band.type == kFilterHighShelf;
    m_gain->SetEnabled(gainEditable);
    m_gainBox->setEnabled(gainEditable);
    m_gain->SetPos(std::clamp(static_cast<int>(std::lround(band.gainDb * 10)), kGainMin, kGainMax));
    m_freq->SetPos(PositionOfFreq(band.freqHz));
    m_q->SetPos(static_cast<int>(std::lround(band.q * 100)));
    m_gainBox->setText(pagetext::SignedDb(band.gainDb));
    m_freqBox->setText(pagetext::Hz(band.freqHz));
    m_qBox->setText(pagetext::Q(band.q));
    for (QLineEdit* b : {m_gainBox, m_freqBox, m_qBox}) {
        b->setModified(false);
    }
}

} // namespace kv
