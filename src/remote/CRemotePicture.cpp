#include "remote/CRemotePicture.h"

#include "remote/RemoteKeys.h"

#include <QFontMetricsF>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>

namespace kv {

namespace {

const QColor kBody(48, 52, 60);
const QColor kBodyEdge(20, 22, 26);
const QColor kKey(86, 92, 104);
const QColor kKeyHover(70, 130, 200);
const QColor kPower(190, 40, 40);
const QColor kFace(240, 242, 246);
const QColor kCaption(170, 180, 196);
const QColor kLearned(120, 220, 140);

/// Captions printed on the body above groups of keys, in picture units.
struct Caption {
    QRectF area;
    const char* text;
};
constexpr Caption kCaptions[] = {
    {{14, 84, 92, 16}, "PITCH"},   {{114, 84, 92, 16}, "PITCH"},  {{14, 352, 68, 16}, "MIC"},
    {{76, 352, 68, 16}, "EFFECT"}, {{138, 352, 68, 16}, "MUSIC"},
};

constexpr int kPowerKey = 1;

/// The power symbol: an open ring with a bar through its gap.
void DrawPowerSymbol(QPainter& p, const QRectF& key) {
    const double d = key.width() * 0.42;
    const QRectF ring(key.center().x() - d / 2, key.center().y() - d / 2 + d * 0.06, d, d);
    p.setPen(QPen(kFace, std::max(1.5, key.width() * 0.07), Qt::SolidLine, Qt::RoundCap));
    p.setBrush(Qt::NoBrush);
    p.drawArc(ring, 120 * 16, 300 * 16);
    p.drawLine(QPointF(key.center().x(), ring.top() - d * 0.12),
               QPointF(key.center().x(), ring.center().y()));
}

} // namespace

CRemotePicture::CRemotePicture(QWidget* parent) : QWidget(parent) {
    setMouseTracking(true);
    setMinimumSize(kRemotePictureWidth * 3 / 4, kRemotePictureHeight * 3 / 4);
}

QSize CRemotePicture::sizeHint() const {
    return {kRemotePictureWidth, kRemotePictureHeight};
}

void CRemotePicture::SetLearnedCodes(const RemoteKeyTable& table) {
    m_codes = table;
    update();
}

QRectF CRemotePicture::PictureRect() const {
    // Keeps the picture's proportions, centred in the widget.
    const double scale =
        std::min(width() / double(kRemotePictureWidth), height() / double(kRemotePictureHeight));
    const QSizeF size(kRemotePictureWidth * scale, kRemotePictureHeight * scale);
    return {QPointF((width() - size.width()) / 2, (height() - size.height()) / 2), size};
}

QRectF CRemotePicture::ToWidget(const QRectF& area) const {
    const QRectF picture = PictureRect();
    const double s = picture.width() / kRemotePictureWidth;
    return {picture.left() + area.left() * s, picture.top() + area.top() * s, area.width() * s,
            area.height() * s};
}

QRect CRemotePicture::HotSpotRect(int hotSpot) const {
    const RemoteKey* key = RemoteKeyOfHotSpot(hotSpot);
    return key ? ToWidget(key->area).toAlignedRect() : QRect();
}

int CRemotePicture::HotSpotAt(QPoint p) const {
    for (const RemoteKey& key : RemoteKeys()) {
        if (ToWidget(key.area).contains(p)) {
            return key.hotSpot;
        }
    }
    return 0;
}

void CRemotePicture::mouseMoveEvent(QMouseEvent* event) {
    const int hover = HotSpotAt(event->position().toPoint());
    if (hover != m_hover) {
        m_hover = hover;
        setCursor(hover ? Qt::PointingHandCursor : Qt::ArrowCursor);
        update();
    }
}

void CRemotePicture::leaveEvent(QEvent* /*event*/) {
    m_hover = 0;
    unsetCursor();
    update();
}

void CRemotePicture::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        return;
    }
    if (const int hotSpot = HotSpotAt(event->position().toPoint())) {
        emit hotSpotClicked(hotSpot);
    }
}

void CRemotePicture::paintEvent(QPaintEvent* /*event*/) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    const QRectF picture = PictureRect();
    const double s = picture.width() / kRemotePictureWidth;

    // Body with a soft highlight along its left edge.
    const QRectF body = ToWidget({6, 6, kRemotePictureWidth - 12.0, kRemotePictureHeight - 12.0});
    QLinearGradient shade(body.topLeft(), body.topRight());
    shade.setColorAt(0.0, kBody.lighter(135));
    shade.setColorAt(0.25, kBody);
    shade.setColorAt(1.0, kBody.darker(120));
    p.setPen(QPen(kBodyEdge, 2 * s));
    p.setBrush(shade);
    p.drawRoundedRect(body, 36 * s, 36 * s);
    // The infrared window at the top.
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(90, 20, 30));
    p.drawRoundedRect(ToWidget({84, 14, 52, 12}), 5 * s, 5 * s);

    QFont caption = font();
    caption.setPixelSize(std::max(6, int(10 * s)));
    caption.setBold(true);
    p.setFont(caption);
    p.setPen(kCaption);
    for (const Caption& c : kCaptions) {
        p.drawText(ToWidget(c.area), Qt::AlignCenter, QString::fromLatin1(c.text));
    }
    // The direction ring behind the pad.
    p.setPen(QPen(kBodyEdge, 1.5 * s));
    p.setBrush(kBody.lighter(115));
    p.drawEllipse(ToWidget({18, 152, 184, 144}));

    QFont face = font();
    face.setPixelSize(std::max(7, int(13 * s)));
    face.setBold(true);
    QFont code = font();
    code.setPixelSize(std::max(6, int(9 * s)));
    for (const RemoteKey& key : RemoteKeys()) {
        const QRectF r = ToWidget(key.area);
        const bool hover = key.hotSpot == m_hover;
        QColor fill = key.key == 1 ? kPower : kKey;
        if (hover) {
            fill = kKeyHover;
        }
        p.setPen(QPen(kBodyEdge, 1.2 * s));
        p.setBrush(fill);
        if (key.round) {
            p.drawEllipse(r);
        } else {
            p.drawRoundedRect(r, 8 * s, 8 * s);
        }
        if (key.key == kPowerKey) {
            DrawPowerSymbol(p, r);
        } else {
            QFont fitted = face;
            const QString text = QString::fromUtf8(key.face);
            while (fitted.pixelSize() > 6 &&
                   QFontMetricsF(fitted).horizontalAdvance(text) > r.width() * 0.8) {
                fitted.setPixelSize(fitted.pixelSize() - 1);
            }
            p.setFont(fitted);
            p.setPen(kFace);
            p.drawText(r, Qt::AlignCenter, text);
        }
        const std::uint8_t learned = m_codes[static_cast<std::size_t>(key.key)];
        if (learned != 0) {
            p.setFont(code);
            p.setPen(kLearned);
            p.drawText(r.adjusted(0, 0, -3 * s, -1 * s), Qt::AlignRight | Qt::AlignBottom,
                       QStringLiteral("%1").arg(learned, 2, 16, QLatin1Char('0')).toUpper());
        }
    }
}

} // namespace kv
