#include "controls/CCompressPanelPlus.h"

#include "controls/AxisLabels.h"

#include "controls/ControlFonts.h"
#include "controls/OffscreenLayer.h"
#include "image/Encodings.h"

#include <QPainter>

#include <algorithm>
#include <array>
#include <cmath>

namespace kv {

namespace {

constexpr int kLeft = 40;
constexpr int kTop = 20;
constexpr double kAxisDb = 96.0;
constexpr QRgb kKneeDot = 0xC8FF0A0A;
constexpr QRgb kCurvePen = 0xFF00CFFF;
constexpr QRgb kDynamicBand = 0x41787878;

struct AxisMark {
    int db;
    const char* text;
};
constexpr std::array<AxisMark, 11> kOutputMarks = {{{6, "+6dB"},
                                                    {0, "0dB"},
                                                    {-10, "-10dB"},
                                                    {-20, "-20dB"},
                                                    {-30, "-30dB"},
                                                    {-40, "-40dB"},
                                                    {-50, "-50dB"},
                                                    {-60, "-60dB"},
                                                    {-70, "-70dB"},
                                                    {-80, "-80dB"},
                                                    {-90, "-90dB"}}};
constexpr std::array<AxisMark, 6> kInputMarks = {
    {{-90, "-90dB"}, {-70, "-70dB"}, {-50, "-50dB"}, {-30, "-30dB"}, {-10, "-10dB"}, {6, "6dB"}}};

} // namespace

CCompressPanelPlus::CCompressPanelPlus(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMinimumSize(160, 120);
}

void CCompressPanelPlus::SetEnabled(bool on) {
    m_enabled = on;
    update();
}

void CCompressPanelPlus::SetThreshold(float db) {
    m_threshold = db;
    update();
}

void CCompressPanelPlus::SetLowerKnee(float db) {
    m_lowerKnee = db;
    update();
}

void CCompressPanelPlus::SetUpperSlope(float slope) {
    m_upperSlope = slope;
    update();
}

void CCompressPanelPlus::SetLowerSlope(float slope) {
    m_lowerSlope = slope;
    update();
}

void CCompressPanelPlus::SetGridColour(QColor c) {
    m_gridColour = c;
    m_grid = QImage();
    update();
}

void CCompressPanelPlus::SetTextColour(QColor c) {
    m_textColour = c;
    m_grid = QImage();
    update();
}

int CCompressPanelPlus::InputToX(double db) const {
    return TruncToInt32(kLeft + (db + 90.0) * PlotWidth() / kAxisDb);
}

int CCompressPanelPlus::OutputToY(double db) const {
    return TruncToInt32(kTop + std::fabs(db - 6.0) * PlotHeight() / kAxisDb);
}

CCompressPanelPlus::Curve CCompressPanelPlus::CurveGeometry() const {
    const double perDb = PlotHeight() / kAxisDb;
    Curve c;
    c.knee = {InputToX(m_lowerKnee), OutputToY(m_lowerKnee)};
    c.threshold = {InputToX(m_threshold), OutputToY(m_threshold)};
    const int u = TruncToInt32(c.knee.y() + std::fabs(-90.0 - m_lowerKnee) * perDb * m_lowerSlope);
    const int r =
        TruncToInt32(c.threshold.y() - std::fabs(6.0 - m_threshold) * perDb * m_upperSlope);
    c.lowStart = {kLeft, u};
    c.highEnd = {TruncToInt32(kLeft + PlotWidth()), r};
    c.bandTop = std::min(r, u);
    c.bandHeight = std::abs(r - u);
    return c;
}

void CCompressPanelPlus::resizeEvent(QResizeEvent* event) {
    m_grid = QImage();
    QWidget::resizeEvent(event);
}

void CCompressPanelPlus::EnsureGrid() {
    if (!EnsureLayer(m_grid, *this, Qt::black)) {
        return;
    }
    QPainter p(&m_grid);
    p.setRenderHint(QPainter::TextAntialiasing);
    const QFont font = ControlFont(FontFace::SimSun, 12);
    p.setFont(font);
    const QFontMetrics fm(font);
    const int plotBottom = TruncToInt32(kTop + PlotHeight());
    // 0 dB goes first and +6 dB last: when the two labels would touch, 0 dB keeps its own.
    std::vector<AxisLabel> outputLabels;
    std::vector<const AxisMark*> outputMarks;
    for (std::size_t i = 0; i < kOutputMarks.size(); ++i) {
        const AxisMark& m = kOutputMarks[(i + 1) % kOutputMarks.size()];
        const int y = OutputToY(m.db);
        p.setPen(m_gridColour);
        p.drawLine(kLeft, y, width() - 20, y);
        outputLabels.push_back({y, fm.height()});
        outputMarks.push_back(&m);
    }
    const auto starts = PlaceAxisLabels(outputLabels, 0, height(), 0);
    p.setPen(m_textColour);
    for (std::size_t i = 0; i < outputMarks.size(); ++i) {
        if (starts[i]) {
            p.drawText(QRect(0, *starts[i], kLeft - 2, fm.height()),
                       Qt::AlignRight | Qt::AlignVCenter,
                       QString::fromLatin1(outputMarks[i]->text));
        }
    }
    for (const AxisMark& m : kInputMarks) {
        const int x = InputToX(m.db);
        p.setPen(m_gridColour);
        p.drawLine(x, kTop, x, plotBottom);
        p.setPen(m_textColour);
        const QString text = QString::fromLatin1(m.text);
        const int w = fm.horizontalAdvance(text);
        // Centred on the line, but kept right of the output labels' column and inside the
        // panel, so the corner labels never overlap.
        const int left = std::clamp(x - w / 2, kLeft, std::max(kLeft, width() - w - 1));
        p.drawText(QPoint(left, height() - 23 + fm.ascent()), text);
    }
}

void CCompressPanelPlus::paintEvent(QPaintEvent*) {
    EnsureGrid();
    QPainter p(this);
    p.drawImage(QPoint(0, 0), m_grid);
    p.setRenderHint(QPainter::Antialiasing);
    const Curve c = CurveGeometry();
    p.setPen(Qt::NoPen);
    p.setBrush(QColor::fromRgba(kKneeDot));
    p.drawEllipse(QPointF(c.threshold), 4.0, 4.0);

    QPen pen(QColor::fromRgba(kCurvePen), 2.0);
    pen.setCapStyle(Qt::RoundCap);
    pen.setJoinStyle(Qt::RoundJoin);
    p.setPen(pen);
    const std::array<QPoint, 4> polyline = {c.lowStart, c.knee, c.threshold, c.highEnd};
    p.drawPolyline(polyline.data(), int(polyline.size()));

    p.setPen(Qt::NoPen);
    p.setBrush(QColor::fromRgba(kDynamicBand));
    p.drawRect(QRect(kLeft, c.bandTop, TruncToInt32(PlotWidth()), c.bandHeight));

    if (!m_enabled) {
        QFont font = ControlFont(FontFace::SimHei, 53);
        p.setFont(font);
        p.setPen(QColor(0, 150, 255));
        p.drawText(rect(), Qt::AlignCenter, QStringLiteral("OFF"));
    }
}

} // namespace kv
