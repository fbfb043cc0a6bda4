#pragma once

#include "controls/EqPanelBand.h"

#include <QImage>
#include <QPointer>
#include <QPolygonF>
#include <QWidget>

#include <array>
#include <span>
#include <vector>

class QMenu;

namespace kv {

/// Interactive equaliser editor: the response of one equaliser group on a logarithmic
/// frequency plot with a handle per band, the translucent response of the selected band,
/// the summed curve and read-outs. Bands are edited with the mouse (left drag: frequency
/// and gain; right drag: Q), the wheel, the keyboard and context menus; every edit is
/// reported to the host through the signals below, which stand for the notifications
/// UM_EQ_BAND_CHANGED .. UM_EQ_BAND_PICKED and are emitted synchronously.
class CEqPanel : public QWidget {
    Q_OBJECT

public:
    static constexpr int kMaxBands = 40;
    /// Band index of the crossover on the output-channel kinds; 10..12 are its sections.
    static constexpr int kCrossoverBand = 9;
    static constexpr int kFirstChannelKind = 7;
    static constexpr int kLastChannelKind = 14;
    /// Plot origin in client coordinates; the mouse handlers work relative to it.
    static constexpr int kPlotLeft = 36;
    static constexpr int kPlotTop = 18;
    static constexpr int kPlotRightMargin = 6;
    static constexpr int kPlotBottomMargin = 20;

    /// Context menu commands: 2025..2029 choose types 1..5; 3025..3027 copy, paste, reset.
    static constexpr int kCmdTypeFirst = 2025;
    static constexpr int kCmdTypeLast = 2029;
    static constexpr int kCmdCopy = 3025;
    static constexpr int kCmdPaste = 3026;
    static constexpr int kCmdReset = 3027;

    explicit CEqPanel(QWidget* parent = nullptr);
    ~CEqPanel() override;

    // --- Band operations ---------------------------------------------------------------

    /// Sets a band's type; PEQ resets Q to 1.41, LP/HP/shelves reset gain 0 and Q 0.7.
    void SetBandType(int index, int type);
    /// Sets a band's gain, clamped to the panel's gain limits; 0 for pass and crossover types.
    void SetBandGain(float value, int index);
    /// Sets a band's Q (0.1..30 for PEQ, 0.1..2 otherwise); a zero Q is ignored.
    void SetBandQ(float value, int index);
    /// Sets the number of bands in use; 7 and 10 also lay out the standard frequencies.
    void SetBandCount(int n);
    /// Recomputes one band's response; the crossover band of a channel also drives its
    /// three hidden sections.
    void RecalcBand(int index);
    /// The type change behind the context menu: on channel kinds the band's gain is reset
    /// and the crossover band programs its four sections.
    void ApplyBandType(int index, int type);
    /// Programs the crossover sections for a slope 0..11, keeping band 9's family.
    void SetCrossoverSlope(int index, int slope);
    /// The section types of bands 9..12 for a crossover slope and family.
    static std::array<int, 4> CrossoverSectionTypes(int slope, bool lowPass);

    /// Runs a context menu command (2025..2029, 3025..3027).
    void HandleCommand(int id);

    // --- Fields the host reads and writes ----------------------------------------------

    /// Band record; write freqHz, gainDb, q or type and then call RecalcBand.
    EqPanelBand& Band(int index);
    const EqPanelBand& Band(int index) const;
    int BandCount() const { return m_bandCount; }
    /// Bands that have handles: 10 on the channel kinds, else the band count.
    int VisibleBandCount() const;
    bool IsChannelKind() const;

    void SetKind(int kind);
    int Kind() const { return m_kind; }
    /// 0 Chinese, 1 English.
    void SetLanguage(int language);
    int Language() const { return m_language; }
    void SetCurveColour(QRgb argb);
    QRgb CurveColour() const { return m_curveColour; }
    void SetBypass(bool bypass);
    bool Bypass() const { return m_bypass; }
    void SetSelected(int index);
    int Selected() const { return m_selected; }
    int Hover() const { return m_hover; }
    void SetLocked(bool locked) { m_locked = locked; }
    bool Locked() const { return m_locked; }
    void SetGainLimits(float low, float high);

    /// The kind's title in the panel's language.
    QString Title() const;
    /// Colour of a band's handle, labels and fill.
    static QColor BandColour(int index);

    // --- Geometry --------------------------------------------------------------------

    /// Plot rectangle in client coordinates.
    QRect PlotRect() const;
    /// Pixels from the plot's left edge for a frequency.
    int FreqToPlotX(double freq) const;
    /// Pixels from the plot's top edge for a gain.
    double GainToPlotY(double gain) const;
    /// Frequency for a plot x.
    double PlotXToFreq(double x) const;
    /// Handle centre of a band in plot coordinates, from its current freq and gain.
    QPoint HandlePos(int index) const;
    /// The frequency of plot point i (0..511), as the responses use it.
    float PlotFrequency(int i) const;
    /// Sum of the responses of all bands in use at plot point i.
    float TotalResponse(int i) const;
    /// Draws the whole panel (what a paint event shows) with the painter.
    void Render(QPainter& painter);

signals:
    /// UM_EQ_BAND_CHANGED: a band was pressed, dragged, released, scrolled, keyed or retyped.
    void bandChanged(const kv::EqPanelBand& band, int index);
    /// UM_EQ_DESELECT: a left click hit no handle.
    void deselected();
    /// UM_EQ_COPY_PASTE: 0 copy, 1 paste, 2 reset, with the panel's kind.
    void copyPaste(int action, int kind);
    /// UM_EQ_BAND_PICKED: a digit key picked a band.
    void bandPicked(const kv::EqPanelBand& band, int index);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    bool ValidIndex(int index) const { return index >= 0 && index < kMaxBands; }
    double Span() const;
    void RebuildFrequencyTable();
    void ComputeResponse(EqPanelBand& band);
    int HitTest(QPoint plotPos, int radius, bool highest) const;
    void NotifyChanged(int index);
    void ClampBand(EqPanelBand& band) const;
    void ApplyKey(QKeyEvent* event);
    void PopupMenu(QPoint globalPos, bool typeMenu);
    void UpdateCursor(QPoint plotPos);

    void EnsureGrid();
    void DrawGrid(QPainter& p) const;
    static QPolygonF CurvePolyline(const QPainter& p, std::span<const QPointF> points);
    const QImage& HandleSprite(int index, bool peq, bool selected, qreal dpr);
    void DrawSelectedFill(QPainter& p) const;
    void DrawTotalCurve(QPainter& p) const;
    void DrawHandles(QPainter& p);
    void DrawReadouts(QPainter& p) const;
    void DrawStatus(QPainter& p) const;
    void DrawBypass(QPainter& p) const;
    QPointF ResponsePoint(int i, float db) const;

    std::vector<EqPanelBand> m_bands;
    int m_bandCount = 10;
    bool m_locked = false;
    float m_gainLimitLow = -15.0f;
    float m_gainLimitHigh = 15.0f;
    float m_axisFreqMin = 18.0f;
    float m_axisFreqMax = 23000.0f;
    float m_axisGainMin = -15.0f;
    float m_axisGainMax = 15.0f;
    int m_selected = -1;
    bool m_leftDown = false;
    bool m_rightDown = false;
    int m_hover = -1;
    int m_grabX = 0;
    int m_grabY = 0;
    QPoint m_press;
    bool m_moved = false;
    bool m_bypass = false;
    int m_kind = 0;
    QRgb m_curveColour = 0xFF00C8FF;
    int m_language = 0;

    /// sin(pi f_i / fs) of the 512 plot frequencies, rebuilt when the axis or width changes.
    std::array<float, kEqResponsePoints> m_plotFreq{};
    std::array<double, kEqResponsePoints> m_phi{};
    int m_tableWidth = -1;

    QImage m_grid; ///< background, title, grid and labels; rebuilt on resize
    bool m_gridDirty = true;
    /// Half the side of a handle's image: room for the ring and the number's shadow.
    static constexpr int kSpriteHalf = 15;
    struct Sprite {
        int index;
        bool peq;
        bool selected;
        qreal dpr;
        QRgb colour;
        QImage image;
    };
    std::vector<Sprite> m_handleSprites; ///< each handle's look, drawn once per screen density
    QPointer<QMenu> m_menu;
};

} // namespace kv
