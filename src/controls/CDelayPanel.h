#pragma once

#include "controls/CGdiPlusBitmapResource.h"

#include <QImage>
#include <QWidget>

#include <vector>

namespace kv {

/// One horizontal track per output channel on a common millisecond axis, each channel's
/// delay a marker that can be dragged sideways. Every drag step is reported through
/// delayDragged() (UM_DELAY_CHANGED), emitted synchronously so the host can store the
/// value and move the marker with SetChannelValue before the panel repaints.
class CDelayPanel : public QWidget {
    Q_OBJECT

public:
    /// One track.
    struct Channel {
        int index = 0;
        int x = 0; ///< left edge of the marker
        int y = 0; ///< top of the channel's row
        float value = 0.0f;
        float minimum = 1.5f;
        float maximum = 100.0f;
    };

    static constexpr int kLeftMargin = 78;
    static constexpr int kTopMargin = 5;
    static constexpr int kRightMargin = 18;
    static constexpr int kBottomMargin = 20;
    static constexpr int kHitRadius = 15;

    explicit CDelayPanel(QWidget* parent = nullptr);

    /// Number of tracks; call before Init.
    void SetChannelCount(int n);
    /// 0 Chinese, 1 English: the channel labels ("通道(CH)1" or "CH1").
    void SetLanguage(int language);
    int Language() const { return m_language; }
    int ChannelCount() const { return int(m_channels.size()); }
    /// Loads the marker picture and resets every track to 0 ms with limits 1.5..100 ms.
    void Init();
    /// Moves a channel's marker to a value, limited to the channel's range.
    void SetChannelValue(int index, float ms);
    const Channel& ChannelAt(int index) const;
    int Selected() const { return m_selected; }
    bool Dragging() const { return m_dragging; }

    float AxisMinimum() const { return m_axisMin; }
    float AxisMaximum() const { return m_axisMax; }
    int ImageWidth() const { return m_imageWidth; }
    int ImageHeight() const { return m_imageHeight; }
    /// Pixels per millisecond.
    double Scale() const;
    /// Row height in pixels.
    double RowHeight() const;
    /// Marker x for a value.
    int ValueToX(float ms) const;
    /// Value for a marker x, limited to the channel's range.
    float XToValue(int x, const Channel& channel) const;
    /// Centre of a channel's marker, as the hit test sees it.
    QPoint MarkerCentre(int index) const;
    /// Track and label colours of a channel.
    static QColor TrackColour(int index);
    static QColor LabelColour(int index);

signals:
    /// UM_DELAY_CHANGED: a marker was dragged to a value (ms).
    void delayDragged(int channel, float ms);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    void Layout(Channel& c) const;
    float Limit(float ms, const Channel& c) const;
    void EnsureGrid();
    const QImage& Marker(int index);

    std::vector<Channel> m_channels;
    float m_axisMin = 0.0f;
    float m_axisMax = 106.0f;
    CGdiPlusBitmapResource m_marker;
    int m_imageWidth = 5;
    int m_imageHeight = 5;
    int m_selected = -1;
    int m_language = 0;
    bool m_dragging = false;
    QFont m_font;
    QImage m_grid;
    std::vector<QImage> m_markers; ///< the marker tinted in each track colour
    qreal m_markerDpr = 0;
};

} // namespace kv
