#include "controls/OffscreenLayer.h"

#include <QWidget>

#include <cmath>

namespace kv {

bool EnsureLayer(QImage& layer, const QWidget& widget, QColor fill) {
    const qreal dpr = widget.devicePixelRatioF();
    const QSize pixels(int(std::ceil(widget.width() * dpr)), int(std::ceil(widget.height() * dpr)));
    if (layer.size() == pixels && layer.devicePixelRatio() == dpr) {
        return false;
    }
    layer = QImage(pixels, QImage::Format_ARGB32_Premultiplied);
    layer.setDevicePixelRatio(dpr);
    layer.fill(fill);
    return true;
}

} // namespace kv
