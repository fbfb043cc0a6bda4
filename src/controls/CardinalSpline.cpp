#include "controls/CardinalSpline.h"

namespace kv {

void AddCardinalSpline(QPainterPath& path, std::span<const QPointF> points, qreal tension) {
    if (points.empty()) {
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
    const std::size_t n = points.size();
    for (std::size_t i = 0; i + 1 < n; ++i) {
        const QPointF& p0 = points[i == 0 ? 0 : i - 1];
        const QPointF& p1 = points[i];
        const QPointF& p2 = points[i + 1];
        const QPointF& p3 = points[i + 2 < n ? i + 2 : n - 1];
        path.cubicTo(p1 + k * (p2 - p0), p2 - k * (p3 - p1), p2);
    }
}

} // namespace kv
