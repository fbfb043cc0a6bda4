#include "controls/CardinalSpline.h"

#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QPen>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

namespace kv {
namespace {

// A dense curve shaped like an equaliser response on a 1000 px wide plot: a sharp peak and
// a gentle shelf, 512 samples.
std::vector<QPointF> ResponseLike() {
    std::vector<QPointF> pts;
    for (int i = 0; i < 512; ++i) {
        const double x = 20.0 + i * 1000.0 / 512;
        const double peak = 90.0 / (1.0 + std::pow((x - 400.0) / 12.0, 2.0));
        const double shelf = 30.0 / (1.0 + std::exp(-(x - 800.0) / 40.0));
        pts.emplace_back(x, 200.0 - peak - shelf);
    }
    return pts;
}

qreal DistanceToPolyline(QPointF p, const QPolygonF& line) {
    qreal best = 1e9;
    for (qsizetype i = 0; i + 1 < line.size(); ++i) {
        const QPointF a = line[i];
        const QPointF ab = line[i + 1] - a;
        const qreal len2 = QPointF::dotProduct(ab, ab);
        const qreal t =
            len2 > 0 ? std::clamp(QPointF::dotProduct(p - a, ab) / len2, 0.0, 1.0) : 0.0;
        const QPointF d = p - (a + t * ab);
        best = std::min(best, std::hypot(d.x(), d.y()));
    }
    return best;
}

TEST(CardinalSplineTest, SimplifiedPolylineStaysWithinTolerance) {
    struct Case {
        const char* what;
        std::vector<QPointF> points;
        qreal tolerance;
        qsizetype maxKept;
    };
    std::vector<QPointF> straight;
    std::vector<QPointF> zigzag;
    for (int i = 0; i < 40; ++i) {
        straight.emplace_back(i, 0.5 * i);
    }
    for (int i = 0; i < 100; ++i) {
        zigzag.emplace_back(i * 3, (i % 2) * 2.0);
    }
    const Case cases[] = {
        {"straight line keeps its ends", straight, 0.1, 2},
        {"zigzag above the tolerance keeps every corner", zigzag, 0.5, 100},
        {"response at 2x", ResponseLike(), 0.125, 200},
        {"two points", {{0, 0}, {5, 5}}, 0.1, 2},
        {"one point", {{3, 4}}, 0.1, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const QPolygonF line = SimplifyPolyline(c.points, c.tolerance);
        ASSERT_FALSE(line.isEmpty());
        EXPECT_EQ(line.front(), c.points.front());
        EXPECT_EQ(line.back(), c.points.back());
        EXPECT_LE(line.size(), c.maxKept);
        if (line.size() >= 2) {
            for (const QPointF& p : c.points) {
                EXPECT_LE(DistanceToPolyline(p, line), c.tolerance + 1e-9) << p.x();
            }
        }
    }
    EXPECT_EQ(SimplifyPolyline(zigzag, 0.5).size(), 100);
}

TEST(CardinalSplineTest, PolylineLooksLikeTheSplineAtDoubleDensity) {
    const std::vector<QPointF> pts = ResponseLike();
    auto render = [&](bool simplified) {
        QImage image(2100, 500, QImage::Format_ARGB32_Premultiplied);
        image.setDevicePixelRatio(2.0);
        image.fill(Qt::black);
        QPainter p(&image);
        p.setRenderHint(QPainter::Antialiasing);
        QPen pen(Qt::white, 2.0);
        pen.setJoinStyle(Qt::RoundJoin);
        pen.setCapStyle(Qt::FlatCap);
        if (simplified) {
            p.setPen(pen);
            p.drawPolyline(SimplifyPolyline(pts, 0.125));
        } else {
            QPainterPath path;
            AddCardinalSpline(path, pts, 0.1);
            p.strokePath(path, pen);
        }
        return image;
    };
    const QImage spline = render(false);
    const QImage polyline = render(true);
    int differing = 0;
    int lit = 0;
    int worst = 0;
    for (int y = 0; y < spline.height(); ++y) {
        for (int x = 0; x < spline.width(); ++x) {
            const int a = qGray(spline.pixel(x, y));
            const int b = qGray(polyline.pixel(x, y));
            lit += a > 0 ? 1 : 0;
            worst = std::max(worst, std::abs(a - b));
            differing += std::abs(a - b) > 80 ? 1 : 0;
        }
    }
    ASSERT_GT(lit, 4000);
    // Edge pixels may gain or lose a quarter pixel of coverage; none may change from curve
    // to background or the other way.
    EXPECT_LT(worst, 128) << differing;
    EXPECT_LT(differing, lit / 100);
}

} // namespace
} // namespace kv
