#include "shell/FilterPreviewCurve.h"

#include "controls/EqResponse.h"
#include "protocol/BiquadDesigner.h"
#include "shell/Language.h"

#include <QPainter>
#include <QPainterPath>

#include <array>
#include <cmath>

namespace kv {

namespace {

constexpr double kMinHz = 20.0;
constexpr double kMaxHz = 20000.0;
constexpr double kSpanDb = 15.0;
constexpr int kPoints = 256;
constexpr QRgb kBackground = 0xFF141414;
constexpr QRgb kGrid = 0xFF404040;
constexpr QRgb kLabel = 0xFF909090;
constexpr QRgb kCurrent = 0xFFB4B4B4;
constexpr QRgb kImported = 0xFF00C8FF;
constexpr std::array<int, 9> kFreqLines = {20, 50, 100, 200, 500, 1000, 2000, 5000, 10000};
constexpr std::array<const char*, 9> kFreqLabels = {"20", "50", "100", "200", "500",
                                                    "1k", "2k", "5k", "10k"};

} // namespace

FilterPreviewCurve::FilterPreviewCurve(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("filterPreviewCurve"));
    setMinimumSize(360, 180);
}

void FilterPreviewCurve::SetCurves(const std::vector<EqBand>& current,
                                   const std::vector<EqBand>& imported) {
    m_current = current;
    m_imported = imported;
    update();
}

double FilterPreviewCurve::SumDb(const std::vector<EqBand>& bands, double hz) {
    const double phi = std::sin(3.141592653589793 * hz / kDesignSampleRate);
    double db = 0;
    for (const EqBand& b : bands) {
        // Bands that run no filter (type 0) pass the signal unchanged.
        if (b.type == kFilterNone || b.freqHz <= 0) {
            continue;
        }
        db += MagnitudeDb(MakeMagnitudeTerms(DesignBiquad(b.type, b.gainDb, b.freqHz, b.q)), phi);
    }
    return db;
}

void FilterPreviewCurve::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), QColor::fromRgba(kBackground));
    const QRectF plot = QRectF(rect()).adjusted(34, 8, -8, -20);
    auto x = [&](double hz) {
        return plot.left() + plot.width() * std::log(hz / kMinHz) / std::log(kMaxHz / kMinHz);
    };
    auto y = [&](double db) {
        const double clamped = std::clamp(db, -kSpanDb * 1.5, kSpanDb * 1.5);
        return plot.center().y() - plot.height() / 2 * clamped / kSpanDb;
    };
    QFont font = p.font();
    font.setPointSizeF(7.5);
    p.setFont(font);
    p.setPen(QColor::fromRgba(kGrid));
    for (int db = -15; db <= 15; db += 5) {
        p.drawLine(QPointF(plot.left(), y(db)), QPointF(plot.right(), y(db)));
    }
    for (std::size_t i = 0; i < kFreqLines.size(); ++i) {
        p.drawLine(QPointF(x(kFreqLines[i]), plot.top()), QPointF(x(kFreqLines[i]), plot.bottom()));
    }
    p.setPen(QColor::fromRgba(kLabel));
    for (int db = -15; db <= 15; db += 5) {
        p.drawText(QRectF(0, y(db) - 7, plot.left() - 4, 14), Qt::AlignRight | Qt::AlignVCenter,
                   QString::asprintf("%+d", db));
    }
    for (std::size_t i = 0; i < kFreqLines.size(); ++i) {
        p.drawText(QRectF(x(kFreqLines[i]) - 20, plot.bottom() + 2, 40, 14), Qt::AlignCenter,
                   QString::fromLatin1(kFreqLabels[i]));
    }
    p.setRenderHint(QPainter::Antialiasing);
    p.setClipRect(plot);
    auto curve = [&](const std::vector<EqBand>& bands, QRgb colour, qreal width) {
        QPainterPath path;
        for (int i = 0; i < kPoints; ++i) {
            const double hz = kMinHz * std::pow(kMaxHz / kMinHz, double(i) / (kPoints - 1));
            const QPointF pt(x(hz), y(SumDb(bands, hz)));
            i == 0 ? path.moveTo(pt) : path.lineTo(pt);
        }
        p.setPen(QPen(QColor::fromRgba(colour), width));
        p.drawPath(path);
    };
    curve(m_current, kCurrent, 1.2);
    curve(m_imported, kImported, 2.0);
    p.setClipping(false);
    const QRectF legend(plot.right() - 170, plot.top() + 4, 166, 14);
    p.setPen(QColor::fromRgba(kCurrent));
    p.drawText(legend, Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("— ") + Tr("当前", "Current"));
    p.setPen(QColor::fromRgba(kImported));
    p.drawText(legend, Qt::AlignRight | Qt::AlignVCenter,
               QStringLiteral("— ") + Tr("导入后", "Imported"));
}

} // namespace kv
