#pragma once

#include <QColor>
#include <QImage>
#include <QPoint>
#include <QWidget>

namespace kv {

/// Static transfer curve of an output compressor: output level against input level over
/// -90..+6 dB, with the threshold marked. A passive display: the compressor page writes
/// the values and the panel repaints; the grid is cached and rebuilt only on resize.
class CCompressPanelPlus : public QWidget {
    Q_OBJECT

public:
    /// The drawn curve in client pixels: segment A runs from lowStart to knee, B from knee
    /// to threshold, C from threshold to highEnd; the translucent band spans bandTop over
    /// bandHeight pixels.
    struct Curve {
        QPoint lowStart;
        QPoint knee;
        QPoint threshold;
        QPoint highEnd;
        int bandTop = 0;
        int bandHeight = 0;
    };

    explicit CCompressPanelPlus(QWidget* parent = nullptr);

    /// Compressor on; off draws "OFF" over the curve. (The widget itself stays enabled.)
    void SetEnabled(bool on);
    bool Enabled() const { return m_enabled; }
    void SetThreshold(float db);
    float Threshold() const { return m_threshold; }
    void SetLowerKnee(float db);
    float LowerKnee() const { return m_lowerKnee; }
    /// Slope above the threshold, 1 / ratio.
    void SetUpperSlope(float slope);
    float UpperSlope() const { return m_upperSlope; }
    void SetLowerSlope(float slope);
    float LowerSlope() const { return m_lowerSlope; }
    void SetGridColour(QColor c);
    void SetTextColour(QColor c);

    /// x of an input level in dB.
    int InputToX(double db) const;
    /// y of an output level in dB.
    int OutputToY(double db) const;
    /// The curve as it is drawn at the current size and values.
    Curve CurveGeometry() const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void EnsureGrid();
    double PlotWidth() const { return width() - 60; }
    double PlotHeight() const { return height() - 45; }

    bool m_enabled = false;
    float m_threshold = -15.0f;
    float m_lowerKnee = -5.0f;
    float m_upperSlope = 1.0f;
    float m_lowerSlope = 1.0f;
    QColor m_gridColour{0, 110, 0};
    QColor m_textColour{255, 255, 0};
    QImage m_grid;
};

} // namespace kv
