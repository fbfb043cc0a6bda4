#pragma once

#include <QByteArray>
#include <QImage>
#include <QRectF>
#include <QSize>
#include <QString>

class QPainter;
class QSvgRenderer;

#include <memory>

namespace kv {

/// Holds one skin picture loaded from the resources (SVG or PNG). The picture's own size
/// (the SVG's nominal size or the PNG's pixels) sets the layout of the control that uses
/// it; drawing renders it afresh for the target's pixel density, so skins stay sharp on
/// high-DPI screens. A missing resource leaves the holder empty.
class CGdiPlusBitmapResource {
public:
    CGdiPlusBitmapResource();
    explicit CGdiPlusBitmapResource(const QString& path);
    ~CGdiPlusBitmapResource();
    CGdiPlusBitmapResource(const CGdiPlusBitmapResource&) = delete;
    CGdiPlusBitmapResource& operator=(const CGdiPlusBitmapResource&) = delete;

    /// Loads the picture at a resource path; false (and empty) when it cannot be decoded.
    bool Load(const QString& path);
    /// Drops the picture.
    void Clear();
    /// True when no picture is held.
    bool IsNull() const { return m_size.isEmpty(); }
    /// Nominal width in logical pixels.
    int Width() const { return m_size.width(); }
    /// Nominal height in logical pixels.
    int Height() const { return m_size.height(); }
    QSize Size() const { return m_size; }
    QString Path() const { return m_path; }

    /// The picture rendered at a logical size for a device pixel ratio; the last result is
    /// cached, so repeated paints at one size cost a copy only.
    QImage Render(QSize logicalSize, qreal dpr) const;
    /// Draws the picture into a target rectangle at the painter's pixel density.
    void Draw(QPainter& painter, const QRectF& target) const;

private:
    QString m_path;
    QByteArray m_bytes; ///< the resource's bytes, kept for the picture's lifetime
    QSize m_size;
    std::unique_ptr<QSvgRenderer> m_svg;
    QImage m_raster; ///< decoded PNG, when the picture is not vector
    mutable QImage m_cache;
    mutable QSize m_cacheSize;
    mutable qreal m_cacheDpr = 0;
};

} // namespace kv
