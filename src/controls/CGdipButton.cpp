#include "controls/CGdipButton.h"

#include "controls/ControlFonts.h"

#include <QPainter>

#include <algorithm>
#include <cmath>

namespace kv {

namespace {

int Brighten(int channel) {
    return std::min(255, int(std::lround(channel * 1.05 + 0.05 * 255.0)));
}

} // namespace

CGdipButton::CGdipButton(QWidget* parent) : CGdipButton(QString(), parent) {}

CGdipButton::CGdipButton(const QString& text, QWidget* parent) : QPushButton(text, parent) {
    setFont(ControlFont(FontFace::SimSun, 12));
    setAttribute(Qt::WA_Hover);
    setCursor(Qt::PointingHandCursor);
}

QSize CGdipButton::sizeHint() const {
    return m_std.IsNull() ? QPushButton::sizeHint() : m_std.Size();
}

void CGdipButton::SetStdImage(const QString& picture) {
    m_std.Load(picture);
    m_prepared = false;
    updateGeometry();
    update();
}

void CGdipButton::SetAltImage(const QString& picture) {
    m_hasAlt = m_alt.Load(picture);
    m_prepared = false;
    update();
}

void CGdipButton::SetTextColor(QColor colour) {
    m_textColour = colour;
    update();
}

void CGdipButton::SetSelected(bool selected) {
    m_selected = selected;
    update();
}

void CGdipButton::SetBkGnd(const QImage& parentSurface) {
    const qreal dpr = parentSurface.devicePixelRatio();
    const QRect g = geometry();
    const QRect source(int(g.x() * dpr), int(g.y() * dpr), int(std::ceil(g.width() * dpr)),
                       int(std::ceil(g.height() * dpr)));
    m_background = parentSurface.copy(source);
    m_background.setDevicePixelRatio(dpr);
    m_prepared = false;
    update();
}

QImage CGdipButton::HotImage(const QImage& source) {
    QImage image = source.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < image.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            const QRgb c = line[x];
            line[x] = qRgba(Brighten(qRed(c)), Brighten(qGreen(c)), Brighten(qBlue(c)), qAlpha(c));
        }
    }
    image.setDevicePixelRatio(source.devicePixelRatio());
    return image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
}

QImage CGdipButton::Compose(const QImage& picture, QPoint offset) const {
    const qreal dpr = devicePixelRatioF();
    QImage out(QSize(int(std::ceil(width() * dpr)), int(std::ceil(height() * dpr))),
               QImage::Format_ARGB32_Premultiplied);
    out.setDevicePixelRatio(dpr);
    out.fill(Qt::transparent);
    QPainter p(&out);
    if (!m_background.isNull()) {
        p.drawImage(QRect(0, 0, width(), height()), m_background);
    }
    p.drawImage(offset, picture);
    return out;
}

void CGdipButton::Prepare() {
    const qreal dpr = devicePixelRatioF();
    if (m_std.IsNull()) {
        return;
    }
    const QImage standard = m_std.Render(size(), dpr);
    m_looks[int(Look::Standard)] = Compose(standard, {0, 0});
    m_looks[int(Look::StandardPressed)] = m_looks[int(Look::Standard)];
    m_looks[int(Look::StandardHot)] = Compose(HotImage(standard), {0, 0});
    if (m_hasAlt) {
        const QImage alt = m_alt.Render(size(), dpr);
        m_looks[int(Look::Alternate)] = Compose(alt, {0, 0});
        m_looks[int(Look::AlternatePressed)] = Compose(alt, {1, 1});
        m_looks[int(Look::AlternateHot)] = Compose(HotImage(alt), {0, 0});
    }
    m_preparedDpr = dpr;
    m_prepared = true;
}

CGdipButton::Look CGdipButton::CurrentLook() const {
    const bool alt = m_selected && m_hasAlt;
    if (isDown()) {
        return alt ? Look::AlternatePressed : Look::StandardPressed;
    }
    if (m_hovering) {
        return alt ? Look::AlternateHot : Look::StandardHot;
    }
    return alt ? Look::Alternate : Look::Standard;
}

QImage CGdipButton::StateImage(Look look) const {
    return m_looks[int(look)];
}

void CGdipButton::paintEvent(QPaintEvent*) {
    if (!m_prepared || m_preparedDpr != devicePixelRatioF()) {
        Prepare();
    }
    QPainter p(this);
    const QImage& look = m_looks[int(CurrentLook())];
    if (!look.isNull()) {
        p.drawImage(QPoint(0, 0), look);
    }
    const QString label = text().left(260);
    if (label.isEmpty()) {
        return;
    }
    p.setFont(font());
    p.setPen(isEnabled() ? m_textColour : QColor(160, 160, 160));
    const QFontMetrics fm(font());
    const int tw = fm.horizontalAdvance(label);
    const int x = int((width() - tw) * 0.5) + 1;
    const int y = int((height() - fm.height()) * 0.5);
    p.drawText(QPoint(x, y + fm.ascent()), label);
}

void CGdipButton::enterEvent(QEnterEvent* event) {
    m_hovering = true;
    update();
    QPushButton::enterEvent(event);
}

void CGdipButton::leaveEvent(QEvent* event) {
    m_hovering = false;
    update();
    QPushButton::leaveEvent(event);
}

void CGdipButton::resizeEvent(QResizeEvent* event) {
    // The looks are composed at the button's size; a new size needs them again.
    m_prepared = false;
    QPushButton::resizeEvent(event);
}

} // namespace kv
