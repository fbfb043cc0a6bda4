#pragma once

#include <QImage>
#include <QWidget>

#include <array>

namespace kv {

/// The room seen from above: a metre grid scaled to the room, the listener and eight
/// speakers as markers that can be dragged. Pressing a marker emits markerPressed()
/// (message 2258) and every drag step markerMoved() (2259), synchronously, with the
/// marker's new position; the host stores it and the panel repaints.
class CSSVolumePanel : public QWidget {
    Q_OBJECT

public:
    static constexpr int kMarkers = 9; ///< 0 listener, 1..8 speakers
    static constexpr int kInset = 30;  ///< room area inset on every side
    static constexpr int kHitRadius = 16;

    struct Marker {
        int index = 0;
        int x = 0; ///< pixels, centre of the marker
        int y = 0;
        float X = 0.0f; ///< metres, 0 at the room's centre, X to the right, Y to the front
        float Y = 0.0f;
    };

    explicit CSSVolumePanel(QWidget* parent = nullptr);

    /// New room size in metres; markers are re-placed from their metres.
    void SetRoomSize(float width, float length);
    float RoomWidth() const { return m_width; }
    float RoomLength() const { return m_length; }
    /// Places marker i at (X, Y) metres (not limited to the room).
    void SetMarkerPosition(int index, float x, float y);
    const Marker& MarkerAt(int index) const;
    int Selected() const { return m_selected; }
    bool Dragging() const { return m_dragging; }

    /// Pixel centre of a point in metres inside a client rectangle.
    static QPoint ToPixels(const QRect& client, float width, float length, float x, float y);
    /// Where a drag to pointer p puts a marker: p limited to the room area (out), and the
    /// metres of that point.
    static QPointF DragToMetres(const QRect& client, float width, float length, QPoint p,
                                QPoint* limited);
    /// The grid labels of one axis, outermost edge first then the inner lines from the
    /// centre out (for tests): "0", "+1m", "-1m", ... and the edges.
    static QStringList AxisLabels(float metres);
    /// Room sizes the grid labels are made for, in metres.
    static constexpr int kMinRoom = 1;
    static constexpr int kMaxRoom = 10;
    /// Extra room on the left for the labels of the Y axis, in pixels.
    static int LabelGutter();
    /// The client rectangle the room geometry is computed in: the widget less the gutter.
    QRect RoomClient() const;

    QSize sizeHint() const override { return {420, 420}; }

signals:
    void markerPressed(const kv::CSSVolumePanel::Marker& marker);
    void markerMoved(const kv::CSSVolumePanel::Marker& marker);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    void PlaceMarkers();
    void DrawGrid(QPainter& p) const;
    void DrawMarker(QPainter& p, const Marker& marker) const;

    float m_width = 4.0f;
    float m_length = 4.0f;
    std::array<Marker, kMarkers> m_markers{};
    int m_selected = -1;
    bool m_dragging = false;
    QImage m_grid; ///< background cache: room, grid lines and labels
};

} // namespace kv

Q_DECLARE_METATYPE(kv::CSSVolumePanel::Marker)
