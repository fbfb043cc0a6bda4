#pragma once

#include "controls/CGdiPlusBitmapResource.h"

#include <QColor>
#include <QWidget>

namespace kv {

/// Skinned slider: a track picture, a fill picture shown between the low end and the
/// thumb, and three thumb pictures (normal, focused, disabled). Pointer, wheel and arrow
/// keys move the position one step or drag it, PageUp/PageDown ten steps, Home/End to the
/// ends of the range; every change is reported through the
/// signals below, which stand for UM_SLIDER_CHANGED, UM_SLIDER_FOCUS and UM_SLIDER_RELEASED
/// and carry the slider's control id and position.
class CXBmpSlider : public QWidget {
    Q_OBJECT

public:
    /// The skins of the pages; each sets pictures, size and margins together.
    enum class Skin {
        LongHorizontal,  ///< 131 x 22, most level and time sliders
        ShortHorizontal, ///< 100 x 22, the main page's level sliders
        LongVertical,    ///< 22 x 131, band gain, frequency and Q
        TallVertical,    ///< 28 x 140, the main page's parameter slider
    };

    explicit CXBmpSlider(QWidget* parent = nullptr, int controlId = 0);

    /// Applies one of the skins: track, fill, thumbs, margins and orientation.
    void SetSkin(Skin skin);
    /// Loads track and fill from one picture and takes the control size from it.
    void SetImages(const QString& picture);
    /// Replaces the fill picture (drawn between the low end and the thumb).
    void SetFillImage(const QString& picture);
    /// Sets the normal, focused and disabled thumb pictures; the thumb size comes from the
    /// normal one. An empty path reuses the normal picture.
    void SetThumbImages(const QString& normal, const QString& focused, const QString& disabled);
    void SetMargins(int left, int right, int top, int bottom);
    void SetVertical(bool vertical);
    bool Vertical() const { return m_vertical; }
    void SetBackgroundColour(QRgb argb);

    /// Sets the range; the position is not clamped.
    void SetRange(int minimum, int maximum);
    /// Moves the position, limited to the range; sends nothing.
    void SetPos(int value);
    /// Accepts or refuses pointer presses and keys; the wheel always works. The widget
    /// itself stays enabled so that it still receives wheel events.
    void SetEnabled(bool enabled);

    int Pos() const { return m_position; }
    int Minimum() const { return m_minimum; }
    int Maximum() const { return m_maximum; }
    bool IsSliderEnabled() const { return m_enabled; }
    bool Dragging() const { return m_dragging; }
    bool Focused() const { return m_focused; }
    int ControlId() const { return m_controlId; }
    void SetControlId(int id) { m_controlId = id; }

    /// Thumb edge (left, or top when vertical) for the current position.
    int ThumbPixel() const;
    /// Value for a thumb edge coordinate, not yet limited to the range.
    int PixelToValue(int pixel) const;
    /// Thumb rectangle in client coordinates.
    QRect ThumbRect() const;
    /// Length of the thumb's travel in pixels.
    int Travel() const;
    QSize sizeHint() const override;

signals:
    /// UM_SLIDER_CHANGED: a press, a drag step, an arrow key or a wheel step.
    void sliderChanged(int controlId, int position);
    /// UM_SLIDER_FOCUS: the slider gained the keyboard focus (position 0).
    void sliderFocus(int controlId, int position);
    /// UM_SLIDER_RELEASED: the button went up, or a key or wheel step ended.
    void sliderReleased(int controlId, int position);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    void MoveBy(int delta);
    int Limit(int value) const;
    void ApplyControlSize();

    int m_controlId = 0;
    int m_maximum = 127;
    int m_minimum = 0;
    int m_position = 0;
    int m_leftMargin = 0;
    int m_rightMargin = 0;
    int m_topMargin = 0;
    int m_bottomMargin = 0;
    bool m_dragging = false;
    bool m_vertical = false;
    bool m_enabled = true;
    bool m_focused = false;
    CGdiPlusBitmapResource m_track;
    CGdiPlusBitmapResource m_fill;
    CGdiPlusBitmapResource m_thumb;
    CGdiPlusBitmapResource m_thumbFocused;
    CGdiPlusBitmapResource m_thumbDisabled;
    int m_thumbWidth = 0;
    int m_thumbHeight = 0;
    int m_controlWidth = 0;
    int m_controlHeight = 0;
    QRgb m_background = 0xFFC7C7C7;
};

} // namespace kv
