#include "controls/CardinalSpline.h"

#include <algorithm>

namespace kv {

void AddCardinalSpline(QPainterPath& path, std::span<const QPointF> points, qreal tension) {
    if (!points.empty()) {
        AddCardinalSplineRun(path, points, 0, points.size() - 1, tension);
    }
}

void AddCardinalSplineRun(QPainterPath& path, std::span<const QPointF> points, std::size_t first,
                          std::size_t last, qreal tension) {
    const std::size_t n = points.size();
    if (n == 0 || first >= n) {
        return;
    }
    last = std::min(last, n - 1);
    if (path.elementCount() == 0) {
        path.moveTo(points[first]);
    } else {
        path.lineTo(points[first]);
    }
    // Each segment P1..P2 becomes a cubic whose control points follow the tangent of the
    // neighbours: C1 = P1 + t/3 (P2 - P0), C2 = P2 - t/3 (P3 - P1).
    const qreal k = tension / 3.0;
    for (std::size_t i = first; i < last; ++i) {
        const QPointF& p0 = points[i == 0 ? 0 : i - 1];
        const QPointF& p1 = points[i];
        const QPointF& p2 = points[i + 1];
        const QPointF& p3 = points[i + 2 < n ? i + 2 : n - 1];
        path.cubicTo(p1 + k * (p2 - p0), p2 - k * (p3 - p1), p2);
    }
}

} // namespace kv
