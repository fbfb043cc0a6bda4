#include "controls/CXBmpSlider.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QWheelEvent>

#include <algorithm>
#include <array>
#include <cmath>

namespace kv {

namespace {

/// Background the pages give their sliders.
constexpr QRgb kPageBackground = 0xFFF0FAFF;

struct SkinSpec {
    const char* track;
    const char* fill;
    const char* thumb;
    const char* thumbFocused;
    const char* thumbDisabled;
    int left, right, top, bottom;
    bool vertical;
};

constexpr std::array<SkinSpec, 4> kSkins = {{
    {":/skins/slider_track_long_h.svg", ":/skins/slider_fill_long_h.svg",
     ":/skins/slider_thumb_h.svg", ":/skins/slider_thumb_h_focus.svg",
     ":/skins/slider_thumb_h_disabled.svg", 7, 7, 3, 2, false},
    {":/skins/slider_track_short_h.svg", ":/skins/slider_fill_short_h.svg",
     ":/skins/slider_thumb_h.svg", ":/skins/slider_thumb_h_focus.svg",
     ":/skins/slider_thumb_h_disabled.svg", 3, 3, 3, 2, false},
    {":/skins/slider_track_long_v.svg", ":/skins/slider_fill_long_v.svg",
     ":/skins/slider_thumb_v.svg", ":/skins/slider_thumb_v_focus.svg",
     ":/skins/slider_thumb_v_disabled.svg", 3, 2, 7, 7, true},
    {":/skins/slider_track_tall_v.svg", ":/skins/slider_fill_tall_v.svg",
     ":/skins/slider_thumb_tall.svg", ":/skins/slider_thumb_tall_focus.svg",
     ":/skins/slider_thumb_tall_disabled.svg", 6, 4, 13, 12, true},
}};

/// Integer truncation of a single-precision value; out-of-range results saturate.
int TruncF(float v) {
    if (!std::isfinite(v)) {
        return 0;
    }
    return int(std::clamp(v, -2.0e9f, 2.0e9f));
}

} // namespace

CXBmpSlider::CXBmpSlider(QWidget* parent, int controlId) : QWidget(parent), m_controlId(controlId) {
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

void CXBmpSlider::SetSkin(Skin skin) {
    const SkinSpec& s = kSkins[std::size_t(skin)];
    SetImages(QString::fromLatin1(s.track));
    SetFillImage(QString::fromLatin1(s.fill));
    SetThumbImages(QString::fromLatin1(s.thumb), QString::fromLatin1(s.thumbFocused),
                   QString::fromLatin1(s.thumbDisabled));
    SetMargins(s.left, s.right, s.top, s.bottom);
    SetVertical(s.vertical);
    SetBackgroundColour(kPageBackground);
}

void CXBmpSlider::SetImages(const QString& picture) {
    m_track.Load(picture);
    m_fill.Load(picture);
    m_controlWidth = m_track.Width();
    m_controlHeight = m_track.Height();
    ApplyControlSize();
}

void CXBmpSlider::SetFillImage(const QString& picture) {
    m_fill.Load(picture);
    update();
}

void CXBmpSlider::SetThumbImages(const QString& normal, const QString& focused,
                                 const QString& disabled) {
    m_thumb.Load(normal);
    m_thumbFocused.Load(focused.isEmpty() ? normal : focused);
    m_thumbDisabled.Load(disabled.isEmpty() ? normal : disabled);
    m_thumbWidth = m_thumb.Width();
    m_thumbHeight = m_thumb.Height();
    update();
}

void CXBmpSlider::SetMargins(int left, int right, int top, int bottom) {
    m_leftMargin = left;
    m_rightMargin = right;
    m_topMargin = top;
    m_bottomMargin = bottom;
    update();
}

void CXBmpSlider::SetVertical(bool vertical) {
    m_vertical = vertical;
    update();
}

void CXBmpSlider::SetBackgroundColour(QRgb argb) {
    m_background = argb;
    update();
}

void CXBmpSlider::ApplyControlSize() {
    if (m_controlWidth > 0 && m_controlHeight > 0) {
        setFixedSize(m_controlWidth, m_controlHeight);
    }
    updateGeometry();
    update();
}

QSize CXBmpSlider::sizeHint() const {
    return (m_controlWidth > 0 && m_controlHeight > 0) ? QSize(m_controlWidth, m_controlHeight)
                                                       : QSize(131, 22);
}

void CXBmpSlider::SetRange(int minimum, int maximum) {
    m_minimum = minimum;
    m_maximum = maximum;
    update();
}

void CXBmpSlider::SetPos(int value) {
    m_position = Limit(value);
    update();
}

void CXBmpSlider::SetEnabled(bool enabled) {
    m_enabled = enabled;
    update();
}

int CXBmpSlider::Limit(int value) const {
    // With an inverted range the upper bound wins, so the position stays defined.
    return std::min(std::max(value, m_minimum), m_maximum);
}

int CXBmpSlider::Travel() const {
    return m_vertical ? m_controlHeight - m_thumbHeight - m_bottomMargin - m_topMargin
                      : m_controlWidth - m_thumbWidth - m_rightMargin - m_leftMargin;
}

int CXBmpSlider::ThumbPixel() const {
    const float range = float(m_maximum - m_minimum);
    const float travel = float(Travel());
    if (range <= 0.0f) {
        return m_vertical ? m_topMargin : m_leftMargin;
    }
    if (m_vertical) {
        return TruncF(travel / range * float(m_maximum - m_position) + float(m_topMargin));
    }
    return TruncF(travel / range * float(m_position - m_minimum) + float(m_leftMargin));
}

int CXBmpSlider::PixelToValue(int pixel) const {
    const float perStep = float(Travel()) / float(m_maximum - m_minimum);
    if (!(perStep > 0.0f) || !std::isfinite(perStep)) {
        return m_minimum;
    }
    if (m_vertical) {
        return m_maximum - TruncF(float(pixel - m_topMargin) / perStep);
    }
    return TruncF(float(pixel - m_leftMargin) / perStep) + m_minimum;
}

QRect CXBmpSlider::ThumbRect() const {
    const int p = ThumbPixel();
    return m_vertical ? QRect(m_leftMargin, p, m_thumbWidth, m_thumbHeight)
                      : QRect(p, m_topMargin, m_thumbWidth, m_thumbHeight);
}

void CXBmpSlider::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), QColor::fromRgba(m_background));
    const QRect area(0, 0, m_controlWidth, m_controlHeight);
    m_track.Draw(p, area);
    const int pos = ThumbPixel();
    const CGdiPlusBitmapResource& thumb =
        !m_enabled ? m_thumbDisabled : (m_focused ? m_thumbFocused : m_thumb);
    p.save();
    if (m_vertical) {
        p.setClipRect(QRect(0, pos, m_controlWidth, m_controlHeight));
    } else {
        p.setClipRect(QRect(0, 0, pos, m_controlHeight));
    }
    m_fill.Draw(p, area);
    p.restore();
    thumb.Draw(p, ThumbRect());
}

void CXBmpSlider::mousePressEvent(QMouseEvent* event) {
    if (!m_enabled || event->button() != Qt::LeftButton) {
        QWidget::mousePressEvent(event);
        return;
    }
    setFocus(Qt::MouseFocusReason);
    const QPoint pt = event->position().toPoint();
    const QRect thumb = ThumbRect();
    if (thumb.contains(pt)) {
        m_dragging = true;
    } else if (m_vertical) {
        const int centre = (thumb.top() + thumb.top() + m_thumbHeight) / 2;
        m_position = Limit(m_position + (pt.y() <= centre ? 1 : -1));
    } else {
        const int centre = (thumb.left() + thumb.left() + m_thumbWidth) / 2;
        m_position = Limit(m_position + (pt.x() <= centre ? -1 : 1));
    }
    update();
    emit sliderChanged(m_controlId, m_position);
}

void CXBmpSlider::mouseMoveEvent(QMouseEvent* event) {
    if (!m_dragging) {
        QWidget::mouseMoveEvent(event);
        return;
    }
    const QPoint pt = event->position().toPoint();
    const int pixel = m_vertical ? pt.y() - m_thumbHeight / 2 : pt.x() - m_thumbWidth / 2;
    m_position = Limit(PixelToValue(pixel));
    update();
    emit sliderChanged(m_controlId, m_position);
}

void CXBmpSlider::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        QWidget::mouseReleaseEvent(event);
        return;
    }
    m_dragging = false;
    emit sliderReleased(m_controlId, m_position);
}

void CXBmpSlider::MoveBy(int delta) {
    m_position = Limit(m_position + delta);
    update();
}

void CXBmpSlider::keyPressEvent(QKeyEvent* event) {
    constexpr int kPage = 10;
    const int toMinimum = m_minimum - m_position;
    const int toMaximum = m_maximum - m_position;
    int delta = 0;
    switch (event->key()) {
    case Qt::Key_Left:
    case Qt::Key_Down:
        delta = -1;
        break;
    case Qt::Key_Up:
    case Qt::Key_Right:
        delta = 1;
        break;
    case Qt::Key_PageDown:
        delta = -kPage;
        break;
    case Qt::Key_PageUp:
        delta = kPage;
        break;
    case Qt::Key_Home:
        delta = toMinimum;
        break;
    case Qt::Key_End:
        delta = toMaximum;
        break;
    default:
        QWidget::keyPressEvent(event);
        return;
    }
    if (!m_enabled) {
        QWidget::keyPressEvent(event);
        return;
    }
    event->accept();
    MoveBy(delta);
    emit sliderChanged(m_controlId, m_position);
    emit sliderReleased(m_controlId, m_position);
}

void CXBmpSlider::wheelEvent(QWheelEvent* event) {
    const QPoint angle = event->angleDelta();
    const int d = angle.y() != 0 ? angle.y() : angle.x();
    if (d != 0) {
        MoveBy(d > 0 ? 1 : -1);
    }
    emit sliderChanged(m_controlId, m_position);
    emit sliderReleased(m_controlId, m_position);
    event->accept();
}

void CXBmpSlider::focusInEvent(QFocusEvent* event) {
    emit sliderFocus(m_controlId, 0);
    m_focused = true;
    update();
    QWidget::focusInEvent(event);
}

void CXBmpSlider::focusOutEvent(QFocusEvent* event) {
    m_focused = false;
    update();
    QWidget::focusOutEvent(event);
}

} // namespace kv
