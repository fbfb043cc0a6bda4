#include "controls/CEqPanel.h"

#include "controls/AxisLabels.h"

#include "controls/CardinalSpline.h"
#include "controls/ControlFonts.h"
#include "controls/EqResponse.h"
#include "controls/OffscreenLayer.h"
#include "image/DisplayFormat.h"
#include "image/Encodings.h"
#include "protocol/BiquadDesigner.h"

#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <span>

namespace kv {

namespace {

constexpr QRgb kBackground = 0xFF141414;
constexpr QRgb kGridLine = 0xFF404040;
constexpr QRgb kZeroLine = 0xFF5A5A5A;
constexpr QRgb kGridLabel = 0xFF808080;
constexpr QRgb kReadoutLabel = 0xFFB4B4B4;
constexpr QRgb kReadoutValue = 0xFF10FF10;
constexpr QRgb kTitle = 0xFFFFFF00;
constexpr QRgb kWarnYellow = 0xFFFFFF00;
constexpr QRgb kWarnRed = 0xFFFF3C3C;
constexpr QRgb kFocusFrame = 0xFF1C6E8C;

constexpr float kQMin = 0.1f;
constexpr float kQMaxPeq = 30.0f;
constexpr float kQMaxOther = 2.0f;
constexpr float kQPass = 0.7f;
constexpr int kHitRadiusPress = 10;
constexpr int kHitRadiusHover = 16;
/// How far outside the plot a response may be drawn; the plot clip hides the rest, and
/// the bound keeps -300 dB stop bands from producing absurd coordinates.
constexpr qreal kCurveOverdraw = 40.0;

constexpr std::array<QRgb, 13> kBandColours = {0xFA64B4, 0xFF50FF, 0x5050FF, 0x50FF64, 0xFFFF64,
                                               0xFF6464, 0xFFB414, 0xFF64B4, 0xB464FF, 0x8CB4FF,
                                               0x14B4FF, 0x50FFFF, 0x28FFA0};

constexpr std::array<int, 7> kIsoFreq7 = {31, 62, 125, 250, 500, 1000, 2000};
constexpr std::array<int, 3> kIsoFreqUpper = {4000, 8000, 16000};

/// Gain grid lines and the frequency grid of the plot.
constexpr std::array<int, 11> kGainLines = {-15, -12, -9, -6, -3, 0, 3, 6, 9, 12, 15};
constexpr std::array<int, 30> kFreqLines = {
    18,  20,  30,  40,   50,   60,   70,   80,   90,   100,  200,  300,  400,   500,   600,
    700, 800, 900, 1000, 2000, 3000, 4000, 5000, 6000, 7000, 8000, 9000, 10000, 20000, 23000};
struct FreqLabel {
    int freq;
    const char* text;
};
constexpr std::array<FreqLabel, 10> kFreqLabels = {{{20, "20Hz"},
                                                    {50, "50Hz"},
                                                    {100, "100Hz"},
                                                    {200, "200Hz"},
                                                    {500, "500Hz"},
                                                    {1000, "1kHz"},
                                                    {2000, "2kHz"},
                                                    {5000, "5kHz"},
                                                    {10000, "10kHz"},
                                                    {20000, "20kHz"}}};

/// Section types of bands 9..12 per crossover slope, written with the low-pass codes; the
/// high-pass family uses the next code up. 1 is a flat section.
constexpr std::array<std::array<int, 4>, 12> kSlopeSections = {{{10, 10, 1, 1},
                                                                {12, 12, 1, 1},
                                                                {14, 10, 14, 10},
                                                                {18, 20, 18, 20},
                                                                {8, 1, 1, 1},
                                                                {8, 10, 1, 1},
                                                                {8, 8, 1, 1},
                                                                {12, 1, 1, 1},
                                                                {14, 10, 1, 1},
                                                                {18, 20, 1, 1},
                                                                {6, 1, 1, 1},
                                                                {1, 1, 1, 1}}};

/// Sections of bands 9..12 for the context-menu types PEQ, LP, HP, LS, HS.
constexpr std::array<std::array<int, 4>, 5> kMenuSections = {
    {{1, 1, 1, 1}, {18, 20, 1, 1}, {19, 21, 1, 1}, {4, 1, 1, 1}, {5, 1, 1, 1}}};

bool HasGain(int type) {
    return type == kFilterPeq || type == kFilterLowShelf || type == kFilterHighShelf;
}
bool IsPassType(int type) {
    return type == kFilterLowPass || type == kFilterHighPass || IsCrossoverType(type);
}
float QMax(int type) {
    return type == kFilterPeq ? kQMaxPeq : kQMaxOther;
}
/// Q range of the pointer and key edits: the narrow range for the pass and shelf types.
float EditQMax(int type) {
    return (type >= kFilterLowPass && type <= kFilterHighShelf) ? kQMaxOther : kQMaxPeq;
}
float RoundTenth(float v) {
    return std::round(v * 10.0f) / 10.0f;
}

QString Printf(const char* format, double value) {
    char buffer[64];
    const int n = std::snprintf(buffer, sizeof buffer, format, value);
    return n < 0 ? QString() : QString::fromUtf8(buffer);
}

qreal DevicePixelRatio(const QPainter& p) {
    return p.device() != nullptr ? std::max(p.device()->devicePixelRatioF(), 1.0) : 1.0;
}

QColor WithAlpha(QColor c, int alpha) {
    c.setAlpha(alpha);
    return c;
}

/// Type the context menu shows as current: the family for crossover sections.
int MenuType(int type) {
    if (type >= kFilterPeq && type <= kFilterHighShelf) {
        return type;
    }
    if (IsCrossoverType(type)) {
        return IsLowPassFamily(type) ? kFilterLowPass : kFilterHighPass;
    }
    return kFilterNone;
}

struct KindTitle {
    const char* zh;
    const char* en;
};
constexpr std::array<KindTitle, 7> kKindTitles = {{{"话筒A均衡", "Mic A EQ"},
                                                   {"话筒B均衡", "Mic B EQ"},
                                                   {"混响A均衡", "Reverb A EQ"},
                                                   {"混响B均衡", "Reverb B EQ"},
                                                   {"回声A均衡", "Echo A EQ"},
                                                   {"回声B均衡", "Echo B EQ"},
                                                   {"音乐均衡", "Music EQ"}}};

} // namespace

CEqPanel::CEqPanel(QWidget* parent) : QWidget(parent), m_bands(kMaxBands) {
    qRegisterMetaType<kv::EqPanelBand>();
    for (int i = 0; i < kMaxBands; ++i) {
        m_bands[std::size_t(i)].index = i;
    }
    setMouseTracking(true);
    setFocusPolicy(Qt::StrongFocus);
    setContextMenuPolicy(Qt::PreventContextMenu);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMinimumSize(240, 120);
    RebuildFrequencyTable();
}

CEqPanel::~CEqPanel() = default;

// --- Band operations -------------------------------------------------------------------

void CEqPanel::SetBandType(int index, int type) {
    if (!ValidIndex(index)) {
        return;
    }
    m_bands[std::size_t(index)].type = type;
    if (type == kFilterPeq) {
        SetBandQ(kQReset, index);
    } else if (type >= kFilterLowPass && type <= kFilterHighShelf) {
        SetBandGain(0.0f, index);
        SetBandQ(kQPass, index);
    }
    RecalcBand(index);
}

void CEqPanel::SetBandGain(float value, int index) {
    if (!ValidIndex(index) || !std::isfinite(value)) {
        return;
    }
    EqPanelBand& b = m_bands[std::size_t(index)];
    b.gainDb = value;
    if (b.type == kFilterLowPass || b.type == kFilterHighPass || b.type > kFilterHighShelf) {
        b.gainDb = 0.0f;
    }
    b.gainDb = std::clamp(b.gainDb, m_gainLimitLow, m_gainLimitHigh);
    RecalcBand(index);
}

void CEqPanel::SetBandQ(float value, int index) {
    if (!ValidIndex(index) || !std::isfinite(value) || std::fabs(value) < 1e-7f) {
        return;
    }
    EqPanelBand& b = m_bands[std::size_t(index)];
    b.q = std::clamp(value, kQMin, QMax(b.type));
    RecalcBand(index);
}

void CEqPanel::SetBandCount(int n) {
    m_bandCount = std::clamp(n, 0, kMaxBands);
    if (m_bandCount == 7 || m_bandCount == 10) {
        for (int i = 0; i < m_bandCount; ++i) {
            EqPanelBand& b = m_bands[std::size_t(i)];
            b.freqHz = float(i < 7 ? kIsoFreq7[std::size_t(i)] : kIsoFreqUpper[std::size_t(i - 7)]);
            b.type = kFilterPeq;
            b.q = kQReset;
        }
    }
    for (int i = 0; i < m_bandCount; ++i) {
        m_bands[std::size_t(i)].index = i;
        m_bands[std::size_t(i)].gainDb = 0.0f;
        RecalcBand(i);
    }
    if (m_selected >= m_bandCount) {
        m_selected = -1;
    }
    update();
}

void CEqPanel::RecalcBand(int index) {
    if (!ValidIndex(index)) {
        return;
    }
    EqPanelBand& b = m_bands[std::size_t(index)];
    if (b.type == kFilterNone) {
        return;
    }
    if (IsChannelKind() && index == kCrossoverBand) {
        for (int k = kCrossoverBand + 1; k <= kCrossoverBand + 3; ++k) {
            EqPanelBand& s = m_bands[std::size_t(k)];
            s.freqHz = b.freqHz;
            s.q = b.q;
            s.gainDb = 0.0f;
            RecalcBand(k);
        }
    }
    ComputeResponse(b);
    update();
}

void CEqPanel::ApplyBandType(int index, int type) {
    if (!ValidIndex(index)) {
        return;
    }
    if (IsChannelKind()) {
        SetBandGain(0.0f, index);
        if (index == kCrossoverBand && type >= kFilterPeq && type <= kFilterHighShelf) {
            for (int k = kCrossoverBand + 1; k <= kCrossoverBand + 3; ++k) {
                SetBandGain(0.0f, k);
            }
            const auto& sections = kMenuSections[std::size_t(type - kFilterPeq)];
            for (int k = 0; k < 4; ++k) {
                SetBandType(kCrossoverBand + k, sections[std::size_t(k)]);
            }
            return;
        }
    }
    SetBandType(index, type);
}

std::array<int, 4> CEqPanel::CrossoverSectionTypes(int slope, bool lowPass) {
    const std::size_t row = (slope < 0 || slope > 11) ? 0 : std::size_t(slope);
    std::array<int, 4> types = kSlopeSections[row];
    if (!lowPass) {
        for (int& t : types) {
            if (t != kFilterPeq) {
                t += 1;
            }
        }
    }
    return types;
}

void CEqPanel::SetCrossoverSlope(int index, int slope) {
    if (index != kCrossoverBand) {
        return;
    }
    const int current = m_bands[kCrossoverBand].type;
    const bool lowPass = current == kFilterLowPass || current % 2 == 0;
    for (int k = kCrossoverBand; k <= kCrossoverBand + 3; ++k) {
        m_bands[std::size_t(k)].gainDb = 0.0f;
    }
    const std::array<int, 4> types = CrossoverSectionTypes(slope, lowPass);
    for (int k = 0; k < 4; ++k) {
        SetBandType(kCrossoverBand + k, types[std::size_t(k)]);
    }
}

void CEqPanel::HandleCommand(int id) {
    if (id >= kCmdTypeFirst && id <= kCmdTypeLast) {
        if (m_selected < 0) {
            return;
        }
        ApplyBandType(m_selected, id - (kCmdTypeFirst - 1));
        NotifyChanged(m_selected);
        update();
    } else if (id >= kCmdCopy && id <= kCmdReset) {
        emit copyPaste(id - kCmdCopy, m_kind);
    }
}

// --- Fields ----------------------------------------------------------------------------

EqPanelBand& CEqPanel::Band(int index) {
    Q_ASSERT(ValidIndex(index));
    return m_bands[std::size_t(std::clamp(index, 0, kMaxBands - 1))];
}

const EqPanelBand& CEqPanel::Band(int index) const {
    Q_ASSERT(ValidIndex(index));
    return m_bands[std::size_t(std::clamp(index, 0, kMaxBands - 1))];
}

bool CEqPanel::IsChannelKind() const {
    return m_kind >= kFirstChannelKind && m_kind <= kLastChannelKind;
}

int CEqPanel::VisibleBandCount() const {
    return IsChannelKind() ? std::min(m_bandCount, kCrossoverBand + 1) : m_bandCount;
}

void CEqPanel::SetKind(int kind) {
    m_kind = kind;
    m_gridDirty = true;
    update();
}

void CEqPanel::SetLanguage(int language) {
    m_language = language;
    m_gridDirty = true;
    update();
}

void CEqPanel::SetCurveColour(QRgb argb) {
    m_curveColour = argb;
    update();
}

void CEqPanel::SetBypass(bool bypass) {
    m_bypass = bypass;
    update();
}

void CEqPanel::SetSelected(int index) {
    m_selected = (index >= 0 && index < kMaxBands) ? index : -1;
    update();
}

void CEqPanel::SetGainLimits(float low, float high) {
    if (low <= high) {
        m_gainLimitLow = low;
        m_gainLimitHigh = high;
    }
}

QString CEqPanel::Title() const {
    const bool en = m_language == 1;
    if (m_kind >= 0 && m_kind < int(kKindTitles.size())) {
        const KindTitle& t = kKindTitles[std::size_t(m_kind)];
        return QString::fromUtf8(en ? t.en : t.zh);
    }
    if (IsChannelKind()) {
        const int ch = m_kind - kFirstChannelKind + 1;
        return en ? QStringLiteral("CH%1 EQ").arg(ch) : QStringLiteral("通道%1均衡").arg(ch);
    }
    return {};
}

QColor CEqPanel::BandColour(int index) {
    if (index >= 0 && index < int(kBandColours.size())) {
        return QColor::fromRgb(kBandColours[std::size_t(index)]);
    }
    // Beyond the table: hues spread by the golden angle so neighbours stay distinct.
    const int hue = int(std::fmod(index * 137.508, 360.0));
    return QColor::fromHsv(hue, 150, 255);
}

// --- Geometry ----------------------------------------------------------------------------

QRect CEqPanel::PlotRect() const {
    return QRect(QPoint(kPlotLeft, kPlotTop),
                 QPoint(width() - kPlotRightMargin - 1, height() - kPlotBottomMargin - 1));
}

double CEqPanel::Span() const {
    return std::log10(double(m_axisFreqMax) / m_axisFreqMin);
}

int CEqPanel::FreqToPlotX(double freq) const {
    const int w = PlotRect().width();
    return TruncToInt32(w * std::log10(freq / m_axisFreqMin) / Span());
}

double CEqPanel::GainToPlotY(double gain) const {
    return (m_axisGainMax - gain) * PlotRect().height() / (m_axisGainMax - m_axisGainMin);
}

double CEqPanel::PlotXToFreq(double x) const {
    const int w = std::max(PlotRect().width(), 1);
    return m_axisFreqMin * std::pow(10.0, Span() * x / w);
}

QPoint CEqPanel::HandlePos(int index) const {
    const EqPanelBand& b = Band(index);
    return {FreqToPlotX(b.freqHz), TruncToInt32(GainToPlotY(b.gainDb))};
}

float CEqPanel::PlotFrequency(int i) const {
    return m_plotFreq[std::size_t(std::clamp(i, 0, kEqResponsePoints - 1))];
}

float CEqPanel::TotalResponse(int i) const {
    const std::size_t k = std::size_t(std::clamp(i, 0, kEqResponsePoints - 1));
    float sum = 0.0f;
    for (int b = 0; b < m_bandCount; ++b) {
        if (m_bands[std::size_t(b)].type != kFilterNone) {
            sum += m_bands[std::size_t(b)].response[k];
        }
    }
    return sum;
}

void CEqPanel::RebuildFrequencyTable() {
    const double span = Span();
    for (int i = 0; i < kEqResponsePoints; ++i) {
        const float f = float(m_axisFreqMin * std::pow(10.0, double(i) / kEqResponsePoints * span));
        m_plotFreq[std::size_t(i)] = f;
        m_phi[std::size_t(i)] = std::sin(kPi * double(f) / kSampleRate);
    }
}

void CEqPanel::ComputeResponse(EqPanelBand& band) {
    const Biquad c = DesignBiquad(band.type, band.gainDb, band.freqHz, band.q, 0.0, kSampleRate);
    const MagnitudeTerms t = MakeMagnitudeTerms(c);
    for (int i = 0; i < kEqResponsePoints; ++i) {
        band.response[std::size_t(i)] = float(MagnitudeDb(t, m_phi[std::size_t(i)]));
    }
    if (band.type == kFilterPeq && band.freqHz > 0.0f) {
        // Put the point nearest the centre on the band's exact gain, so the drawn peak
        // never falls short of the value the user set.
        int w = PlotRect().width();
        if (w < 1) {
            w = kEqResponsePoints;
        }
        const double step = double(w) / kEqResponsePoints;
        const int px = TruncToInt32(w * std::log10(double(band.freqHz) / m_axisFreqMin) / Span());
        const int k = TruncToInt32(px / step);
        if (k >= 0 && k < kEqResponsePoints) {
            band.response[std::size_t(k)] = band.gainDb;
        }
    }
}

// --- Notifications and edits -------------------------------------------------------------

void CEqPanel::NotifyChanged(int index) {
    if (ValidIndex(index)) {
        emit bandChanged(m_bands[std::size_t(index)], index);
    }
}

void CEqPanel::ClampBand(EqPanelBand& b) const {
    b.gainDb = std::clamp(b.gainDb, b.gainMin, b.gainMax);
    b.q = std::clamp(b.q, kQMin, EditQMax(b.type));
    b.freqHz = std::clamp(b.freqHz, b.freqMin, b.freqMax);
}

int CEqPanel::HitTest(QPoint plotPos, int radius, bool highest) const {
    int found = -1;
    for (int i = 0; i < VisibleBandCount(); ++i) {
        if (m_bands[std::size_t(i)].type == kFilterNone) {
            continue;
        }
        const QPoint h = HandlePos(i);
        if (std::abs(plotPos.x() - h.x()) < radius && std::abs(plotPos.y() - h.y()) < radius) {
            found = i;
            if (!highest) {
                break;
            }
        }
    }
    return found;
}

void CEqPanel::mousePressEvent(QMouseEvent* event) {
    const QPoint pt = event->position().toPoint() - QPoint(kPlotLeft, kPlotTop);
    if (event->button() == Qt::LeftButton) {
        if (m_locked || m_rightDown) {
            return;
        }
        setFocus(Qt::MouseFocusReason);
        m_press = pt;
        m_leftDown = true;
        m_moved = false;
        m_selected = HitTest(pt, kHitRadiusPress, false);
        if (m_selected >= 0) {
            const QPoint h = HandlePos(m_selected);
            m_grabX = pt.x() - h.x();
            m_grabY = pt.y() - h.y();
            NotifyChanged(m_selected);
        }
    } else if (event->button() == Qt::RightButton) {
        if (m_locked || m_leftDown) {
            return;
        }
        m_press = pt;
        m_rightDown = true;
        m_moved = false;
        m_selected = HitTest(pt, kHitRadiusHover, false);
        if (m_selected >= 0) {
            m_grabX = pt.x();
            NotifyChanged(m_selected);
        }
    }
    UpdateCursor(pt);
    update();
}

void CEqPanel::mouseMoveEvent(QMouseEvent* event) {
    const QPoint pt = event->position().toPoint() - QPoint(kPlotLeft, kPlotTop);
    const bool pressing = m_leftDown || m_rightDown;
    m_hover = pressing ? -1 : HitTest(pt, kHitRadiusHover, true);
    if (pressing && m_selected >= 0 && !m_moved) {
        m_moved = std::abs(pt.x() - m_press.x()) > 1 || std::abs(pt.y() - m_press.y()) > 1;
    }
    if (m_selected >= 0 && m_moved) {
        EqPanelBand& b = m_bands[std::size_t(m_selected)];
        if (m_leftDown) {
            const QRect plot = PlotRect();
            b.freqHz = float(PlotXToFreq(pt.x()));
            if (HasGain(b.type)) {
                const double range = m_axisGainMax - m_axisGainMin;
                const double g =
                    m_axisGainMax - double(pt.y() - m_grabY) / std::max(plot.height(), 1) * range;
                b.gainDb = RoundTenth(float(g));
            } else {
                b.gainDb = 0.0f;
            }
            b.gainDb = std::clamp(b.gainDb, b.gainMin, b.gainMax);
            b.freqHz = std::clamp(b.freqHz, b.freqMin, b.freqMax);
            RecalcBand(m_selected);
            NotifyChanged(m_selected);
        } else if (m_rightDown) {
            const bool narrow = b.type >= kFilterLowPass && b.type <= kFilterHighShelf;
            b.q += float(pt.x() - m_grabX) / (narrow ? 80.0f : 12.0f);
            b.q = std::clamp(b.q, kQMin, narrow ? kQMaxOther : kQMaxPeq);
            m_grabX = pt.x();
            RecalcBand(m_selected);
            NotifyChanged(m_selected);
        }
    }
    UpdateCursor(pt);
    update();
}

void CEqPanel::mouseReleaseEvent(QMouseEvent* event) {
    const QPoint pt = event->position().toPoint() - QPoint(kPlotLeft, kPlotTop);
    if (event->button() == Qt::LeftButton && m_leftDown) {
        m_leftDown = false;
        if (m_selected < 0) {
            emit deselected();
        } else if (m_moved) {
            NotifyChanged(m_selected);
        }
    } else if (event->button() == Qt::RightButton && m_rightDown) {
        m_rightDown = false;
        const QPoint global = event->globalPosition().toPoint();
        if (m_selected < 0) {
            PopupMenu(global, false);
        } else {
            NotifyChanged(m_selected);
            if (!m_moved) {
                PopupMenu(global, true);
            }
        }
    }
    UpdateCursor(pt);
    update();
}

void CEqPanel::wheelEvent(QWheelEvent* event) {
    const QPoint delta = event->angleDelta();
    const int d = delta.y() != 0 ? delta.y() : delta.x();
    if (m_selected < 0 || !HasGain(m_bands[std::size_t(m_selected)].type) || d == 0) {
        event->ignore();
        return;
    }
    EqPanelBand& b = m_bands[std::size_t(m_selected)];
    b.gainDb = RoundTenth(b.gainDb + (d > 0 ? 0.1f : -0.1f));
    b.gainDb = std::clamp(b.gainDb, b.gainMin, b.gainMax);
    RecalcBand(m_selected);
    NotifyChanged(m_selected);
    update();
    event->accept();
}

void CEqPanel::keyPressEvent(QKeyEvent* event) {
    event->accept();
    if (m_selected >= 0 && m_selected < kMaxBands) {
        ApplyKey(event);
    }
}

void CEqPanel::ApplyKey(QKeyEvent* event) {
    const int last = std::max(VisibleBandCount() - 1, 0);
    const bool fine = event->modifiers().testFlag(Qt::ControlModifier);
    EqPanelBand& b = m_bands[std::size_t(m_selected)];
    const int key = event->key();
    switch (key) {
    case Qt::Key_PageUp:
        m_selected = std::max(m_selected - 1, 0);
        update();
        return;
    case Qt::Key_PageDown:
        m_selected = std::min(m_selected + 1, last);
        update();
        return;
    case Qt::Key_End:
        m_selected = last;
        update();
        return;
    case Qt::Key_Home:
        m_selected = 0;
        update();
        return;
    case Qt::Key_Left:
    case Qt::Key_Right: {
        float step = b.freqHz > 10000.0f  ? 100.0f
                     : b.freqHz > 1000.0f ? 10.0f
                     : b.freqHz > 100.0f  ? 5.0f
                                          : 2.0f;
        if (fine) {
            step += 1.0f;
        }
        b.freqHz += key == Qt::Key_Left ? -step : step;
        break;
    }
    case Qt::Key_Up:
    case Qt::Key_Down:
        if (HasGain(b.type)) {
            const float step = fine ? 0.1f : 0.2f;
            b.gainDb = RoundTenth(b.gainDb + (key == Qt::Key_Up ? step : -step));
        }
        break;
    case Qt::Key_Plus:
    case Qt::Key_Equal:
    case Qt::Key_Minus: {
        const float step = fine ? 0.01f : 0.1f;
        b.q += key == Qt::Key_Minus ? -step : step;
        break;
    }
    case Qt::Key_Comma:
    case Qt::Key_Period:
        if (IsChannelKind() && m_selected == kCrossoverBand) {
            return;
        }
        SetBandType(m_selected, std::clamp<int>(b.type + (key == Qt::Key_Comma ? -1 : 1),
                                                kFilterPeq, kFilterHighShelf));
        break;
    default:
        if (key >= Qt::Key_0 && key <= Qt::Key_9) {
            const int band = key == Qt::Key_0 ? kCrossoverBand : key - Qt::Key_1;
            if (band < VisibleBandCount()) {
                m_selected = band;
                emit bandPicked(m_bands[std::size_t(band)], band);
            }
            update();
        }
        return;
    }
    ClampBand(b);
    RecalcBand(m_selected);
    NotifyChanged(m_selected);
    update();
}

void CEqPanel::PopupMenu(QPoint globalPos, bool typeMenu) {
    delete m_menu;
    auto* menu = new QMenu(this);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    const bool en = m_language == 1;
    if (typeMenu) {
        static const std::array<const char*, 5> zh = {"参量(PEQ)", "低通(LP)", "高通(HP)",
                                                      "低架(LS)", "高架(HS)"};
        static const std::array<const char*, 5> eng = {"PEQ", "LP", "HP", "LS", "HS"};
        const int current = m_selected >= 0 ? MenuType(m_bands[std::size_t(m_selected)].type) : 0;
        for (int t = 1; t <= 5; ++t) {
            QAction* a = menu->addAction(QString::fromUtf8((en ? eng : zh)[std::size_t(t - 1)]));
            a->setData(kCmdTypeFirst + t - 1);
            a->setCheckable(true);
            a->setChecked(t == current);
        }
    } else {
        menu->addAction(en ? QStringLiteral("Copy EQ") : QStringLiteral("复制均衡"))
            ->setData(kCmdCopy);
        menu->addAction(en ? QStringLiteral("Paste EQ") : QStringLiteral("粘贴均衡"))
            ->setData(kCmdPaste);
    }
    connect(menu, &QMenu::triggered, this,
            [this](QAction* a) { HandleCommand(a->data().toInt()); });
    m_menu = menu;
    menu->popup(globalPos);
}

void CEqPanel::UpdateCursor(QPoint plotPos) {
    if (m_leftDown && m_selected >= 0) {
        setCursor(Qt::ClosedHandCursor);
    } else if (!m_leftDown && !m_rightDown && HitTest(plotPos, kHitRadiusPress, false) >= 0) {
        setCursor(Qt::OpenHandCursor);
    } else {
        unsetCursor();
    }
}

void CEqPanel::leaveEvent(QEvent* event) {
    m_hover = -1;
    update();
    QWidget::leaveEvent(event);
}

void CEqPanel::focusInEvent(QFocusEvent* event) {
    update();
    QWidget::focusInEvent(event);
}

void CEqPanel::focusOutEvent(QFocusEvent* event) {
    update();
    QWidget::focusOutEvent(event);
}

void CEqPanel::resizeEvent(QResizeEvent* event) {
    m_gridDirty = true;
    QWidget::resizeEvent(event);
}

// --- Painting ----------------------------------------------------------------------------

void CEqPanel::paintEvent(QPaintEvent*) {
    QPainter p(this);
    Render(p);
}

void CEqPanel::Render(QPainter& p) {
    EnsureGrid();
    p.drawImage(QPoint(0, 0), m_grid);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    const QRect plot = PlotRect();
    p.save();
    p.setClipRect(plot.adjusted(0, 0, 1, 1));
    DrawSelectedFill(p);
    DrawTotalCurve(p);
    p.restore();
    if (hasFocus()) {
        p.save();
        p.setRenderHint(QPainter::Antialiasing, false);
        p.setPen(QColor::fromRgb(kFocusFrame));
        p.setBrush(Qt::NoBrush);
        p.drawRect(plot.adjusted(-1, -1, 1, 1));
        p.restore();
    }
    if (m_bypass) {
        DrawBypass(p);
    }
    DrawHandles(p);
    DrawReadouts(p);
    DrawStatus(p);
}

void CEqPanel::EnsureGrid() {
    if (m_gridDirty) {
        m_grid = QImage();
    }
    if (!EnsureLayer(m_grid, *this, QColor::fromRgb(kBackground))) {
        return;
    }
    QPainter p(&m_grid);
    DrawGrid(p);
    m_gridDirty = false;
}

void CEqPanel::DrawGrid(QPainter& p) const {
    p.fillRect(QRect(0, 0, width(), height()), QColor::fromRgb(kBackground));
    p.setRenderHint(QPainter::TextAntialiasing);
    const QRect plot = PlotRect();

    p.setFont(ControlFont(FontFace::Arial, 13, true));
    p.setPen(QColor::fromRgb(kTitle));
    const QFontMetrics tfm(p.font());
    const QString title = Title();
    p.drawText(
        QPoint(plot.right() - 2 - tfm.horizontalAdvance(title), plot.top() - 1 - tfm.descent()),
        title);

    const QFont labelFont = ControlFont(FontFace::Arial, 11);
    p.setFont(labelFont);
    const QFontMetrics fm(labelFont);
    // Labels that would touch a neighbour or leave the panel are left out, so a small panel
    // shows fewer of them rather than a crowd.
    std::vector<int> gains;
    std::vector<AxisLabel> gainLabels;
    for (int g : kGainLines) {
        if (g < m_axisGainMin || g > m_axisGainMax) {
            continue;
        }
        const int y = plot.top() + TruncToInt32(GainToPlotY(g));
        p.setPen(QColor::fromRgb(g == 0 ? kZeroLine : kGridLine));
        p.drawLine(plot.left(), y, plot.right(), y);
        gains.push_back(g);
        gainLabels.push_back({y, fm.height()});
    }
    const auto gainStarts = PlaceAxisLabels(gainLabels, 0, height(), 0);
    p.setPen(QColor::fromRgb(kGridLabel));
    for (std::size_t i = 0; i < gains.size(); ++i) {
        if (gainStarts[i]) {
            const QRect box(0, *gainStarts[i], plot.left() - 3, fm.height());
            p.drawText(box, Qt::AlignRight | Qt::AlignVCenter, Printf("%+-.0fdB", gains[i]));
        }
    }
    p.setPen(QColor::fromRgb(kGridLine));
    for (int f : kFreqLines) {
        const int x = std::min(plot.left() + FreqToPlotX(f), plot.right());
        p.drawLine(x, plot.top() + 1, x, plot.bottom());
    }
    std::vector<AxisLabel> freqLabels;
    for (const FreqLabel& l : kFreqLabels) {
        freqLabels.push_back(
            {plot.left() + FreqToPlotX(l.freq), fm.horizontalAdvance(QString::fromLatin1(l.text))});
    }
    const auto freqStarts = PlaceAxisLabels(freqLabels, 0, width(), 8);
    p.setPen(QColor::fromRgb(kGridLabel));
    for (std::size_t i = 0; i < kFreqLabels.size(); ++i) {
        if (freqStarts[i]) {
            p.drawText(QPoint(*freqStarts[i], plot.bottom() + 4 + fm.ascent()),
                       QString::fromLatin1(kFreqLabels[i].text));
        }
    }
}

QPointF CEqPanel::ResponsePoint(int i, float db) const {
    const QRect plot = PlotRect();
    const qreal x = plot.left() + qreal(i) * plot.width() / kEqResponsePoints;
    qreal y = plot.top() + GainToPlotY(db);
    y = std::clamp(y, plot.top() - kCurveOverdraw, plot.bottom() + kCurveOverdraw);
    return {x, y};
}

QPolygonF CEqPanel::CurvePolyline(const QPainter& p, std::span<const QPointF> points) {
    // The response is sampled densely and nearly straight between samples, so a polyline
    // kept within a quarter of a device pixel of every sample looks the same as the smooth
    // curve through them and takes a fraction of the segments to stroke.
    return SimplifyPolyline(points, 0.25 / DevicePixelRatio(p));
}

void CEqPanel::DrawSelectedFill(QPainter& p) const {
    if (m_selected < 0 || m_selected >= VisibleBandCount()) {
        return;
    }
    const EqPanelBand& sel = m_bands[std::size_t(m_selected)];
    if (sel.type == kFilterNone) {
        return;
    }
    // The crossover band of a channel is drawn as the sum of its four sections.
    const int count = (IsChannelKind() && m_selected == kCrossoverBand) ? 4 : 1;
    std::array<QPointF, kEqResponsePoints> pts;
    for (int i = 0; i < kEqResponsePoints; ++i) {
        float db = 0.0f;
        for (int k = 0; k < count; ++k) {
            const EqPanelBand& b = m_bands[std::size_t(m_selected + k)];
            if (b.type != kFilterNone) {
                db += b.response[std::size_t(i)];
            }
        }
        pts[std::size_t(i)] = ResponsePoint(i, db);
    }
    const QRect plot = PlotRect();
    const qreal zero = plot.top() + GainToPlotY(0.0);
    // The area is filled as a polygon through the points without antialiasing (at 2-3 px
    // spacing and this faint alpha the spline and the polygon are indistinguishable, and
    // this is several times cheaper per drag step); the antialiased outline on top gives
    // the edge.
    const QPolygonF line = CurvePolyline(p, pts);
    QPolygonF area;
    area.reserve(line.size() + 2);
    if (IsPassType(sel.type)) {
        area << QPointF(pts.front().x(), plot.bottom() + 20);
    } else {
        area << QPointF(plot.left(), zero);
    }
    area += line;
    if (IsPassType(sel.type)) {
        area << QPointF(pts.back().x(), plot.bottom() + 20);
    } else {
        area << QPointF(plot.right() + 1, zero);
    }
    const QColor c = BandColour(m_selected);
    p.save();
    p.setRenderHint(QPainter::Antialiasing, false);
    p.setPen(Qt::NoPen);
    p.setBrush(WithAlpha(c, 0x20));
    p.drawPolygon(area);
    p.restore();
    // The outline is one device pixel wide on any screen: a thin line is drawn on a fast
    // path, where a scaled one goes through the general stroker at several times the cost.
    // On a denser screen the line is narrower, so its alpha rises to keep about the same
    // weight (halfway to the full ratio: a crisp line reads brighter than a soft one).
    const qreal dpr = DevicePixelRatio(p);
    QPen outlinePen(WithAlpha(c, std::min(255, int(std::lround(0x60 * (1.0 + dpr) / 2.0)))), 1.0);
    outlinePen.setCosmetic(true);
    p.setPen(outlinePen);
    p.setBrush(Qt::NoBrush);
    p.drawPolyline(line);
}

void CEqPanel::DrawTotalCurve(QPainter& p) const {
    std::array<QPointF, kEqResponsePoints> pts;
    for (int i = 0; i < kEqResponsePoints; ++i) {
        pts[std::size_t(i)] = ResponsePoint(i, TotalResponse(i));
    }
    QPen pen(QColor::fromRgba(m_curveColour), 2.0);
    pen.setJoinStyle(Qt::RoundJoin);
    pen.setCapStyle(Qt::FlatCap);
    p.setPen(pen);
    p.setBrush(Qt::NoBrush);
    const QPolygonF line = CurvePolyline(p, pts);
    if (qAlpha(m_curveColour) != 255) {
        p.drawPolyline(line);
        return;
    }
    // The rasteriser's cost grows with the stroke's bounding box, so an opaque curve is
    // stroked in short runs. Each run starts one segment back so the seams lie under
    // already drawn curve and cannot show.
    constexpr qsizetype kRun = 8;
    for (qsizetype a = 0; a + 1 < line.size(); a += kRun) {
        const qsizetype first = a == 0 ? 0 : a - 1;
        const qsizetype last = std::min(a + kRun, line.size() - 1);
        p.drawPolyline(line.constData() + first, int(last - first + 1));
    }
}

const QImage& CEqPanel::HandleSprite(int index, bool peq, bool selected, qreal dpr) {
    const QColor colour = BandColour(index);
    for (const Sprite& s : m_handleSprites) {
        if (s.index == index && s.peq == peq && s.selected == selected && s.dpr == dpr &&
            s.colour == colour.rgba()) {
            return s.image;
        }
    }
    if (m_handleSprites.size() > 64) {
        m_handleSprites.clear(); // only after a change of screen; a few are drawn again
    }
    const int side = 2 * kSpriteHalf;
    QImage image(int(std::ceil(side * dpr)), int(std::ceil(side * dpr)),
                 QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(dpr);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    const QPointF c(kSpriteHalf, kSpriteHalf);
    const QColor fill = WithAlpha(colour, selected ? 0x50 : 0x25);
    if (peq) {
        const QRectF ring(c.x() - 9, c.y() - 9, 18, 18);
        p.setBrush(Qt::NoBrush);
        p.setPen(QPen(WithAlpha(colour, 0x7F), 2.0));
        p.drawArc(ring, 15 * 16, 150 * 16);
        p.drawArc(ring, 195 * 16, 150 * 16);
        p.setPen(Qt::NoPen);
        p.setBrush(fill);
        p.drawEllipse(c, 7.0, 7.0);
    } else {
        QPen dashed(WithAlpha(colour, 0x7F), 1.5, Qt::DashLine);
        p.setPen(dashed);
        p.setBrush(fill);
        p.drawRect(QRectF(c.x() - 7, c.y() - 7, 14, 14));
    }
    // The number keeps the band's hue, lifted a little and set on a soft shadow so that
    // the darker colours (blue, violet) stay legible on the dark plot.
    const QRectF box(c.x() - 12, c.y() - 8, 24, 16);
    const QString number = QString::number(index + 1);
    p.setFont(ControlFont(FontFace::Arial, 11, true));
    p.setPen(QColor(0, 0, 0, 0xC0));
    p.drawText(box.translated(1, 1), Qt::AlignCenter, number);
    p.setPen(colour.lighter(135));
    p.drawText(box, Qt::AlignCenter, number);
    p.end();
    m_handleSprites.push_back({index, peq, selected, dpr, colour.rgba(), std::move(image)});
    return m_handleSprites.back().image;
}

void CEqPanel::DrawHandles(QPainter& p) {
    // A handle looks the same wherever it is, so each is drawn once into a small image and
    // then only placed; the hover halo and the selection line depend on the plot and are
    // drawn here.
    const QRect plot = PlotRect();
    const qreal dpr = DevicePixelRatio(p);
    auto drawOne = [&](int i) {
        EqPanelBand& b = m_bands[std::size_t(i)];
        const QPoint h = HandlePos(i);
        b.handleX = h.x();
        b.handleY = h.y();
        const QPoint c(plot.left() + h.x(), plot.top() + h.y());
        const QColor colour = BandColour(i);
        const bool selected = i == m_selected;
        const bool peq = b.type == kFilterPeq;
        if (i == m_hover) {
            p.setPen(Qt::NoPen);
            p.setBrush(WithAlpha(colour, 0x30));
            p.drawEllipse(QPointF(c), 14.0, 14.0);
        }
        if (!peq && selected) {
            p.setPen(QPen(QColor(255, 0, 0), 1.0, Qt::DashLine));
            p.drawLine(QPointF(c.x(), plot.top()), QPointF(c.x(), plot.bottom()));
        }
        p.drawImage(c - QPoint(kSpriteHalf, kSpriteHalf), HandleSprite(i, peq, selected, dpr));
    };
    const int visible = VisibleBandCount();
    for (int i = 0; i < visible; ++i) {
        if (i != m_selected && m_bands[std::size_t(i)].type != kFilterNone) {
            drawOne(i);
        }
    }
    // The selected handle goes last so that it stays on top of its neighbours.
    if (m_selected >= 0 && m_selected < visible &&
        m_bands[std::size_t(m_selected)].type != kFilterNone) {
        drawOne(m_selected);
    }
}

void CEqPanel::DrawReadouts(QPainter& p) const {
    const int index = m_hover >= 0 ? m_hover : m_selected;
    if (index < 0 || index >= VisibleBandCount()) {
        return;
    }
    const EqPanelBand& b = m_bands[std::size_t(index)];
    if (b.type == kFilterNone) {
        return;
    }
    const QRect plot = PlotRect();
    const QPoint h = HandlePos(index);
    const std::array<QString, 3> labels = {"F:", "G:", "Q:"};
    const std::array<QString, 3> values = {QString::fromStdString(fmt::Hz(b.freqHz)),
                                           QString::fromStdString(fmt::SignedDb(b.gainDb)),
                                           QString::fromStdString(fmt::Q(b.q))};
    const bool above = b.gainDb < -0.01f;
    const std::array<int, 3> offsets =
        above ? std::array<int, 3>{-42, -33, -24} : std::array<int, 3>{18, 27, 36};
    const QFont font = ControlFont(FontFace::Arial, 10);
    p.setFont(font);
    const QFontMetrics fm(font);
    const int r = int(std::lround(h.x() - (index + 1 >= 10 ? 7 : 4)));
    std::array<QPoint, 3> origins;
    QRect block;
    for (std::size_t k = 0; k < 3; ++k) {
        const int n = int(values[k].size());
        int x = plot.left() + r - (6 * n + 12) / 2 + 1;
        // Keep the read-out inside the panel near the plot's edges.
        x = std::clamp(x, 2, std::max(2, width() - 16 - fm.horizontalAdvance(values[k])));
        const int top = plot.top() + h.y() + offsets[k];
        origins[k] = QPoint(x, top);
        block |= QRect(x, top, 12 + fm.horizontalAdvance(values[k]), 9);
    }
    // A dark plate under the three lines lifts them off the curves beneath.
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(16, 16, 16, 0xC8));
    p.drawRoundedRect(QRectF(block).adjusted(-3, -2, 3, 3), 3, 3);
    for (std::size_t k = 0; k < 3; ++k) {
        const QPoint baseline = origins[k] + QPoint(0, fm.ascent() - 1);
        p.setPen(QColor::fromRgb(kReadoutLabel));
        p.drawText(baseline, labels[k]);
        p.setPen(QColor::fromRgb(kReadoutValue));
        p.drawText(baseline + QPoint(12, 0), values[k]);
    }
}

void CEqPanel::DrawStatus(QPainter& p) const {
    if (m_selected < 0 || m_selected >= kMaxBands) {
        return;
    }
    const EqPanelBand& b = m_bands[std::size_t(m_selected)];
    char buffer[160];
    const char* format = m_language == 1 ? "Index=%d     Frequency=%.0fHz    Q=%.2f     Gain="
                                         : "EQ号=%d    频率=%.0fHz    Q值=%.2f     增益=";
    std::snprintf(buffer, sizeof buffer, format, m_selected + 1, double(b.freqHz), double(b.q));
    const QString head = QString::fromUtf8(buffer);
    const QString gain = Printf("%+-.1fdB ", b.gainDb);
    const float g = b.gainDb;
    QRgb gainColour = kWarnRed;
    if (g >= -6.0f && g <= 6.0f) {
        gainColour = kReadoutValue;
    } else if ((g > -10.1f && g < -6.0f) || (g > 6.0f && g < 10.1f)) {
        gainColour = kWarnYellow;
    }
    const QFont font = ControlFont(FontFace::Arial, 12);
    p.setFont(font);
    const QFontMetrics fm(font);
    const QPoint origin(kPlotLeft, 3 + fm.ascent());
    p.setPen(QColor::fromRgb(kReadoutValue));
    p.drawText(origin, head);
    p.setPen(QColor::fromRgb(gainColour));
    p.drawText(origin + QPoint(fm.horizontalAdvance(head), 0), gain);
}

void CEqPanel::DrawBypass(QPainter& p) const {
    // As large as the panel allows (72 px at most), under the handles.
    p.setFont(
        ControlFont(FontFace::SimHei, std::clamp(std::min(height() / 6, width() / 8), 12, 72)));
    p.setPen(Qt::white);
    p.drawText(rect(), Qt::AlignCenter, QStringLiteral("BYPASS"));
}

} // namespace kv
