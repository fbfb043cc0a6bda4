#include "pages/OutputPicture.h"

#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <array>

namespace kv {

namespace {

constexpr int kWidth = 220;
constexpr int kHeight = 96;

/// Where each channel's speaker stands, as fractions of the room (front at the top).
constexpr std::array<QPointF, 8> kPlaces = {{{0.22, 0.16},
                                             {0.78, 0.16},
                                             {0.30, 0.88},
                                             {0.70, 0.88},
                                             {0.90, 0.20},
                                             {0.50, 0.12},
                                             {0.10, 0.55},
                                             {0.90, 0.55}}};

constexpr std::array<const char*, 8> kNamesZh = {"前置左", "前置右", "后环绕左", "后环绕右",
                                                 "超低",   "中置",   "侧环绕左", "侧环绕右"};
constexpr std::array<const char*, 8> kNamesEn = {"Front left", "Front right", "Back left",
                                                 "Back right", "Subwoofer",   "Centre",
                                                 "Side left",  "Side right"};

void DrawSpeaker(QPainter& p, QPointF centre, bool current) {
    const QColor fill = current ? QColor(255, 140, 0) : QColor(120, 140, 160);
    p.setPen(QPen(current ? QColor(160, 70, 0) : QColor(70, 85, 100), 1));
    p.setBrush(fill);
    QPainterPath cone;
    cone.moveTo(centre + QPointF(-4, -4));
    cone.lineTo(centre + QPointF(0, -4));
    cone.lineTo(centre + QPointF(5, -8));
    cone.lineTo(centre + QPointF(5, 8));
    cone.lineTo(centre + QPointF(0, 4));
    cone.lineTo(centre + QPointF(-4, 4));
    cone.closeSubpath();
    p.drawPath(cone);
    if (current) {
        p.setBrush(Qt::NoBrush);
        p.setPen(QPen(QColor(255, 140, 0), 1.5));
        p.drawEllipse(centre, 12, 12);
    }
}

} // namespace

QSize OutputPictureSize() {
    return {kWidth, kHeight};
}

QPixmap OutputPicture(int channel, int language, qreal dpr) {
    const int c = std::clamp(channel, 0, 7);
    QPixmap pixmap(QSize(kWidth, kHeight) * dpr);
    pixmap.setDevicePixelRatio(dpr);
    pixmap.fill(QColor(240, 250, 255));
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF room(4, 4, 130, kHeight - 8);
    p.setPen(QPen(QColor(60, 90, 120), 1));
    p.setBrush(QColor(225, 238, 248));
    p.drawRoundedRect(room, 6, 6);
    // The listener in the middle.
    p.setBrush(QColor(60, 90, 120));
    p.drawEllipse(room.center() + QPointF(0, 6), 5, 5);
    for (int i = 0; i < 8; ++i) {
        const QPointF place = kPlaces[static_cast<std::size_t>(i)];
        const QPointF centre(room.left() + place.x() * room.width(),
                             room.top() + place.y() * room.height());
        DrawSpeaker(p, centre, i == c);
    }
    QFont font = p.font();
    font.setPixelSize(20);
    font.setBold(true);
    p.setFont(font);
    p.setPen(QColor(0, 100, 170));
    const QString name =
        language == 1 ? QStringLiteral("CH %1").arg(c + 1) : QStringLiteral("通道%1").arg(c + 1);
    p.drawText(QRectF(140, 14, kWidth - 142, 30), Qt::AlignLeft | Qt::AlignVCenter, name);
    font.setPixelSize(13);
    font.setBold(false);
    p.setFont(font);
    p.setPen(QColor(60, 60, 60));
    const auto i = static_cast<std::size_t>(c);
    p.drawText(QRectF(140, 48, kWidth - 142, 24), Qt::AlignLeft | Qt::AlignVCenter,
               QString::fromUtf8(language == 1 ? kNamesEn[i] : kNamesZh[i]));
    return pixmap;
}

} // namespace kv
