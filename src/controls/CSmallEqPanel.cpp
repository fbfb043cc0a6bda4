#include "controls/CSmallEqPanel.h"

#include "controls/ControlFonts.h"
#include "controls/EqResponse.h"
#include "controls/OffscreenLayer.h"
#include "image/Encodings.h"
#include "protocol/BiquadDesigner.h"

#include <QMouseEvent>
#include <QPainter>

#include <algorithm>
#include <cmath>
#include <optional>

namespace kv {

namespace {

constexpr std::array<float, CSmallEqPanel::kBands> kDefaultFreq = {31,  62,   125, 250,
                                                                   500, 1000, 2000};
/// The thumbnail's own meaning of codes 6 and 7 (crossover sections elsewhere); the pages
/// never hand it a code above the high shelf.
constexpr int kSmallBandPass = 6;
constexpr int kSmallNotch = 7;
constexpr double kDecades = 3.4;
constexpr double kGainRange = 30.0;

/// The thumbnail's own designer: peaking, low/high-pass and shelves without a level, and
/// a band-pass and a notch. Other types have no section.
std::optional<Biquad> SmallDesign(int type, double gain, double freq, double q, double fs) {
    if (type >= kFilterPeq && type <= kFilterHighShelf) {
        // With level 0 dB the main designer's rows are the same; LP/HP take no gain.
        const bool pass = type == kFilterLowPass || type == kFilterHighPass;
        return DesignBiquad(type, pass ? 0.0 : gain, freq, q, 0.0, fs);
    }
    if (type != kSmallBandPass && type != kSmallNotch) {
        return std::nullopt;
    }
    const double w0 = kTwoPi * freq / fs;
    const double c = std::cos(w0);
    const double alpha = std::sin(w0) / (2.0 * q);
    const double a0 = 1.0 + alpha;
    Biquad s;
    s.a1 = -2.0 * c / a0;
    s.a2 = (1.0 - alpha) / a0;
    if (type == kSmallBandPass) {
        s.b0 = alpha / a0;
        s.b1 = 0.0;
        s.b2 = -alpha / a0;
    } else {
        s.b0 = 1.0 / a0;
        s.b1 = -2.0 * c / a0;
        s.b2 = 1.0 / a0;
    }
    return s;
}

} // namespace

CSmallEqPanel::CSmallEqPanel(QWidget* parent) : QWidget(parent) {
    for (int i = 0; i < kBands; ++i) {
        m_bands[std::size_t(i)].index = i;
        m_bands[std::size_t(i)].freqHz = kDefaultFreq[std::size_t(i)];
    }
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAttribute(Qt::WA_Hover);
    setCursor(Qt::PointingHandCursor);
    resize(160, 64);
    for (Band& b : m_bands) {
        ComputeBand(b);
    }
    RecalcTotal();
    UpdateHandles();
}

CSmallEqPanel::Band& CSmallEqPanel::BandAt(int index) {
    return m_bands[std::size_t(std::clamp(index, 0, kBands - 1))];
}

const CSmallEqPanel::Band& CSmallEqPanel::BandAt(int index) const {
    return m_bands[std::size_t(std::clamp(index, 0, kBands - 1))];
}

void CSmallEqPanel::SetBandFreq(int index, float freq) {
    if (index < 0 || index >= kBands || freq == 0.0f || !std::isfinite(freq)) {
        return;
    }
    m_bands[std::size_t(index)].freqHz = std::clamp(freq, 20.0f, 20000.0f);
    RecalcBand(index);
}

void CSmallEqPanel::SetBandGain(int index, float gain) {
    if (index < 0 || index >= kBands || !std::isfinite(gain)) {
        return;
    }
    m_bands[std::size_t(index)].gainDb = std::clamp(gain, -15.0f, 15.0f);
    RecalcBand(index);
}

void CSmallEqPanel::RecalcBand(int index) {
    if (index < 0 || index >= kBands) {
        return;
    }
    ComputeBand(m_bands[std::size_t(index)]);
    RecalcTotal();
    UpdateHandles();
    update();
}

void CSmallEqPanel::SetCurveColour(QRgb argb) {
    m_curveColour = argb;
    update();
}

void CSmallEqPanel::SetPass(bool pass) {
    m_pass = pass;
    update();
}

void CSmallEqPanel::SetDim(bool dim) {
    m_dim = dim;
    update();
}

double CSmallEqPanel::GainToY(double gain) const {
    return kMargin + PlotHeight() / 2.0 - gain * PlotHeight() / kGainRange;
}

double CSmallEqPanel::YToGain(double y) const {
    const double h = std::max(PlotHeight(), 1.0);
    return (h / 2.0 - (y - kMargin)) * kGainRange / h;
}

double CSmallEqPanel::FreqToX(double freq) const {
    return kMargin + (std::log10(freq) - 1.0) * PlotWidth() / kDecades;
}

QPointF CSmallEqPanel::TotalPoint(int u) const {
    return m_total[std::size_t(std::clamp(u, 0, kPoints - 1))];
}

void CSmallEqPanel::ComputeBand(Band& band) const {
    const double w = PlotWidth();
    const double span = std::max(double(width() - 4), 1.0);
    const std::optional<Biquad> c =
        SmallDesign(band.type, band.gainDb, band.freqHz, band.q, m_sampleRate);
    const MagnitudeTerms t = c ? MakeMagnitudeTerms(*c) : MagnitudeTerms{};
    for (int u = 0; u < kPoints; ++u) {
        const double x = kMargin + u * w / kPoints;
        const double f =
            std::trunc(10.0 * std::pow(10.0, kDecades * (std::trunc(x) - kMargin) / span));
        const double db = c ? MagnitudeDb(t, std::sin(kPi * f / m_sampleRate)) : 0.0;
        band.points[std::size_t(u)] = QPointF(x, GainToY(db));
    }
}

void CSmallEqPanel::RecalcTotal() {
    for (int u = 0; u < kPoints; ++u) {
        double sum = 0.0;
        for (const Band& b : m_bands) {
            // Each band is read back from its plotted point to a tenth of a dB.
            const double db = YToGain(b.points[std::size_t(u)].y());
            sum += std::trunc(10.0 * db + 0.5) / 10.0;
        }
        m_total[std::size_t(u)] = QPointF(m_bands[0].points[std::size_t(u)].x(), GainToY(sum));
    }
}

void CSmallEqPanel::UpdateHandles() {
    for (Band& b : m_bands) {
        b.handleX = TruncToInt32(FreqToX(b.freqHz));
        b.handleY = TruncToInt32(GainToY(b.gainDb));
    }
}

void CSmallEqPanel::resizeEvent(QResizeEvent* event) {
    // Points follow the new size; the grid is rebuilt for it as well so that a resized
    // thumbnail never shows a stretched or cropped background.
    for (Band& b : m_bands) {
        ComputeBand(b);
    }
    RecalcTotal();
    UpdateHandles();
    m_grid = QImage();
    QWidget::resizeEvent(event);
}

void CSmallEqPanel::EnsureGrid() {
    if (!EnsureLayer(m_grid, *this, Qt::black)) {
        return;
    }
    QPainter p(&m_grid);
    const double left = kMargin;
    const double right = kMargin + PlotWidth();
    const double top = kMargin;
    const double bottom = kMargin + PlotHeight();
    auto hline = [&](int db, QRgb colour) {
        const double y = std::floor(GainToY(db)) + 0.5;
        p.setPen(QColor::fromRgba(colour));
        p.drawLine(QPointF(left, y), QPointF(right, y));
    };
    for (int db = -15; db <= 15; ++db) {
        hline(db, 0xFF171717);
    }
    for (int db = -15; db <= 15; db += 3) {
        hline(db, (db == -15 || db == 15) ? 0xFF808080 : 0xFF404040);
    }
    p.setPen(QColor::fromRgba(0xFF404040));
    for (int decade = 10; decade <= 10000; decade *= 10) {
        for (int m = 1; m <= 9; ++m) {
            const double x = std::floor(FreqToX(double(decade) * m)) + 0.5;
            p.drawLine(QPointF(x, top), QPointF(x, bottom));
        }
    }
    const double x = std::floor(FreqToX(20000.0)) + 0.5;
    p.drawLine(QPointF(x, top), QPointF(x, bottom));
}

void CSmallEqPanel::paintEvent(QPaintEvent*) {
    EnsureGrid();
    QPainter p(this);
    p.drawImage(QPoint(0, 0), m_grid);
    p.setRenderHint(QPainter::Antialiasing);
    if (m_dim) {
        p.fillRect(rect(), QColor::fromRgba(0x65606060));
    }
    QPen pen(QColor::fromRgba(m_curveColour), 1.7);
    pen.setJoinStyle(Qt::RoundJoin);
    p.setPen(pen);
    p.save();
    p.setClipRect(QRectF(kMargin, kMargin, PlotWidth(), PlotHeight()));
    p.drawPolyline(m_total.data(), kPoints);
    p.restore();
    if (m_pass) {
        p.setFont(ControlFont(FontFace::SimHei, 32));
        p.setPen(Qt::white);
        p.drawText(rect(), Qt::AlignCenter, QStringLiteral("PASS"));
    }
    if (m_hovering) {
        p.setRenderHint(QPainter::Antialiasing, false);
        p.setPen(QColor(0, 255, 255));
        p.setBrush(Qt::NoBrush);
        p.drawRect(rect().adjusted(0, 0, -1, -1));
    }
}

void CSmallEqPanel::mousePressEvent(QMouseEvent* event) {
    m_pressed = event->button() == Qt::LeftButton;
    QWidget::mousePressEvent(event);
}

void CSmallEqPanel::mouseReleaseEvent(QMouseEvent* event) {
    const bool click = m_pressed && event->button() == Qt::LeftButton &&
                       rect().contains(event->position().toPoint());
    m_pressed = false;
    if (click) {
        emit clicked();
    }
    QWidget::mouseReleaseEvent(event);
}

void CSmallEqPanel::enterEvent(QEnterEvent* event) {
    m_hovering = true;
    update();
    QWidget::enterEvent(event);
}

void CSmallEqPanel::leaveEvent(QEvent* event) {
    m_hovering = false;
    update();
    QWidget::leaveEvent(event);
}

} // namespace kv
