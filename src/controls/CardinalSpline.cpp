#include "controls/CardinalSpline.h"

#include <algorithm>
#include <cmath>

namespace kv {

void AddCardinalSpline(QPainterPath& path, std::span<const QPointF> points, qreal tension) {
    const std::size_t n = points.size();
    if (n == 0) {
        return;
    }
    if (path.elementCount() == 0) {
        path.moveTo(points[0]);
    } else {
        path.lineTo(points[0]);
    }
    // Each segment P1..P2 becomes a cubic whose control points follow the tangent of the
    // neighbours: C1 = P1 + t/3 (P2 - P0), C2 = P2 - t/3 (P3 - P1).
    const qreal k = tension / 3.0;
    for (std::size_t i = 0; i + 1 < n; ++i) {
        const QPointF& p0 = points[i == 0 ? 0 : i - 1];
        const QPointF& p1 = points[i];
        const QPointF& p2 = points[i + 1];
        const QPointF& p3 = points[i + 2 < n ? i + 2 : n - 1];
        path.cubicTo(p1 + k * (p2 - p0), p2 - k * (p3 - p1), p2);
    }
}

namespace {

// Distance of p from the segment a-b.
qreal SegmentDistance(QPointF p, QPointF a, QPointF b) {
    const QPointF ab = b - a;
    const qreal len2 = QPointF::dotProduct(ab, ab);
    qreal t = len2 > 0.0 ? QPointF::dotProduct(p - a, ab) / len2 : 0.0;
    t = std::clamp(t, 0.0, 1.0);
    const QPointF d = p - (a + t * ab);
    return std::hypot(d.x(), d.y());
}

} // namespace

QPolygonF SimplifyPolyline(std::span<const QPointF> points, qreal tolerance) {
    QPolygonF out;
    const std::size_t n = points.size();
    if (n <= 2) {
        out.append(QList<QPointF>(points.begin(), points.end()));
        return out;
    }
    // Greedy: from the last kept point, reach as far as the points in between stay within
    // the tolerance of the chord, then keep the last point that did. A chord spans at most
    // kMaxSpan points, which bounds the work on long flat stretches.
    constexpr std::size_t kMaxSpan = 48;
    std::size_t anchor = 0;
    out << points[0];
    while (anchor + 1 < n) {
        std::size_t end = anchor + 1;
        for (std::size_t next = end + 1; next < n && next - anchor <= kMaxSpan; ++next) {
            bool fits = true;
            for (std::size_t k = anchor + 1; k < next && fits; ++k) {
                fits = SegmentDistance(points[k], points[anchor], points[next]) <= tolerance;
            }
            if (!fits) {
                break;
            }
            end = next;
        }
        out << points[end];
        anchor = end;
    }
    return out;
}

} // namespace kv
