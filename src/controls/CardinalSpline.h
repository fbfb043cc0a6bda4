#pragma once

#include <QPainterPath>
#include <QPointF>

#include <span>

namespace kv {

/// Appends a cardinal spline through the points to the path (the first point is joined
/// with lineTo when the path already has a current position, else moved to). Tension 0
/// gives straight segments; 0.5 is the usual smooth curve.
void AddCardinalSpline(QPainterPath& path, std::span<const QPointF> points, qreal tension);

} // namespace kv
