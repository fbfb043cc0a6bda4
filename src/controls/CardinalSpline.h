#pragma once

#include <QPainterPath>
#include <QPointF>
#include <QPolygonF>

#include <span>

namespace kv {

/// Appends a cardinal spline through the points to the path (the first point is joined
/// with lineTo when the path already has a current position, else moved to). Tension 0
/// gives straight segments; 0.5 is the usual smooth curve.
void AddCardinalSpline(QPainterPath& path, std::span<const QPointF> points, qreal tension);

/// The points of a dense curve that a polyline needs so that no dropped point lies further
/// than the tolerance from it. The first and last points are always kept. Stroking a few
/// dozen straight segments instead of hundreds of cubics is what keeps a drag smooth on a
/// high-density screen.
QPolygonF SimplifyPolyline(std::span<const QPointF> points, qreal tolerance);

} // namespace kv
