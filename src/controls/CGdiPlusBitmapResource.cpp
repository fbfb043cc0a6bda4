#include "controls/CGdiPlusBitmapResource.h"

#include <QFile>
#include <QPainter>
#include <QSvgRenderer>

#include <cmath>

// The skins live in a static library; registering them explicitly keeps the linker from
// dropping them.
static void RegisterSkins() {
    Q_INIT_RESOURCE(skins);
}

namespace kv {

namespace {

void EnsureSkins() {
    static const bool registered = [] {
        RegisterSkins();
        return true;
    }();
    (void)registered;
}

} // namespace

CGdiPlusBitmapResource::CGdiPlusBitmapResource() = default;

CGdiPlusBitmapResource::CGdiPlusBitmapResource(const QString& path) {
    Load(path);
}

CGdiPlusBitmapResource::~CGdiPlusBitmapResource() = default;

bool CGdiPlusBitmapResource::Load(const QString& path) {
    Clear();
    EnsureSkins();
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return false;
    }
    m_bytes = file.readAll();
    if (path.endsWith(QLatin1String(".svg"), Qt::CaseInsensitive)) {
        auto svg = std::make_unique<QSvgRenderer>(m_bytes);
        if (!svg->isValid() || svg->defaultSize().isEmpty()) {
            Clear();
            return false;
        }
        m_size = svg->defaultSize();
        m_svg = std::move(svg);
    } else {
        m_raster = QImage::fromData(m_bytes);
        if (m_raster.isNull()) {
            Clear();
            return false;
        }
        m_raster = m_raster.convertToFormat(QImage::Format_ARGB32_Premultiplied);
        m_size = m_raster.size();
    }
    m_path = path;
    return true;
}

void CGdiPlusBitmapResource::Clear() {
    m_path.clear();
    m_bytes.clear();
    m_size = QSize();
    m_svg.reset();
    m_raster = QImage();
    m_cache = QImage();
    m_cacheSize = QSize();
    m_cacheDpr = 0;
}

QImage CGdiPlusBitmapResource::Render(QSize logicalSize, qreal dpr) const {
    if (IsNull() || logicalSize.isEmpty() || dpr <= 0) {
        return {};
    }
    if (m_cacheSize == logicalSize && m_cacheDpr == dpr && !m_cache.isNull()) {
        return m_cache;
    }
    const QSize pixels(int(std::ceil(logicalSize.width() * dpr)),
                       int(std::ceil(logicalSize.height() * dpr)));
    QImage image(pixels, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    {
        QPainter p(&image);
        p.setRenderHint(QPainter::Antialiasing);
        p.setRenderHint(QPainter::SmoothPixmapTransform);
        if (m_svg) {
            m_svg->render(&p, QRectF(QPointF(0, 0), QSizeF(pixels)));
        } else {
            p.drawImage(QRectF(QPointF(0, 0), QSizeF(pixels)), m_raster);
        }
    }
    image.setDevicePixelRatio(dpr);
    m_cache = image;
    m_cacheSize = logicalSize;
    m_cacheDpr = dpr;
    return image;
}

void CGdiPlusBitmapResource::Draw(QPainter& painter, const QRectF& target) const {
    if (IsNull() || target.isEmpty()) {
        return;
    }
    const qreal dpr = painter.device() ? painter.device()->devicePixelRatioF() : 1.0;
    const QSize logical(int(std::ceil(target.width())), int(std::ceil(target.height())));
    const QImage image = Render(logical, dpr);
    painter.drawImage(QRectF(target.topLeft(), QSizeF(logical)), image);
}

} // namespace kv
