#pragma once

#include "image/EqBand.h"

#include <QImage>
#include <QPointF>
#include <QWidget>

#include <array>

namespace kv {

/// Read-only thumbnail of a 7-band equaliser: the summed response at 56 points over a
/// cached grid. It sends nothing of its own; a left click is reported through clicked()
/// the way a notifying static control reports it, and hovering draws a cyan frame.
class CSmallEqPanel : public QWidget {
    Q_OBJECT

public:
    static constexpr int kBands = 7;
    static constexpr int kPoints = 56;
    static constexpr int kMargin = 2;

    /// One band of the thumbnail: its settings, handle and points.
    struct Band : BasicEqBand<float> {
        Band() : BasicEqBand<float>{0.0f, 100.0f, 1.414f, kFilterPeq} {}

        int handleX = 0;
        int handleY = 0;
        int index = 0;
        std::array<QPointF, kPoints> points{};
        float freqMin = 20.0f;
        float freqMax = 20000.0f;
        float gainMin = -12.0f;
        float gainMax = 12.0f;
    };

    explicit CSmallEqPanel(QWidget* parent = nullptr);

    /// Sets a band's frequency, clamped to 20..20000 Hz; 0 is ignored. Recomputes the band.
    void SetBandFreq(int index, float freq);
    /// Sets a band's gain, clamped to -15..+15 dB. Recomputes the band.
    void SetBandGain(int index, float gain);
    /// Band record; write type or q and then call RecalcBand.
    Band& BandAt(int index);
    const Band& BandAt(int index) const;
    /// Recomputes one band's 56 points and the summed curve.
    void RecalcBand(int index);
    void SetCurveColour(QRgb argb);
    /// Shows the word "PASS" over the curve.
    void SetPass(bool pass);
    /// Dims the panel (its equaliser is not in use).
    void SetDim(bool dim);
    bool Pass() const { return m_pass; }
    bool Dim() const { return m_dim; }
    bool Hovering() const { return m_hovering; }

    /// Point u of the summed curve in client coordinates.
    QPointF TotalPoint(int u) const;
    /// Gain in dB that a y coordinate stands for.
    double YToGain(double y) const;
    /// y coordinate of a gain.
    double GainToY(double gain) const;
    /// x coordinate of a frequency.
    double FreqToX(double freq) const;

signals:
    /// The panel was clicked with the left button.
    void clicked();

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    void ComputeBand(Band& band) const;
    void RecalcTotal();
    void UpdateHandles();
    void EnsureGrid();
    double PlotWidth() const { return width() - 2 * kMargin; }
    double PlotHeight() const { return height() - 2 * kMargin; }

    std::array<Band, kBands> m_bands;
    std::array<QPointF, kPoints> m_total{};
    double m_sampleRate = 48000.0;
    QRgb m_curveColour = 0xFF00C8FF;
    bool m_pass = false;
    bool m_dim = false;
    bool m_hovering = false;
    bool m_pressed = false;
    QImage m_grid;
};

} // namespace kv
