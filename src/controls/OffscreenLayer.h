#pragma once

#include <QColor>
#include <QImage>

class QWidget;

namespace kv {

/// Makes the layer an image of the widget's size at the widget's pixel density, filled
/// with a colour, unless it already is one. True when a new image was made, so the caller
/// draws what the layer caches (a grid, labels) only when the size or density changed.
bool EnsureLayer(QImage& layer, const QWidget& widget, QColor fill);

} // namespace kv
