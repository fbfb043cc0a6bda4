#include "controls/CSSVolumePanel.h"

#include "controls/ControlFonts.h"
#include "controls/OffscreenLayer.h"

#include <QFontMetrics>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <cmath>

namespace kv {

namespace {

const QColor kBackground(240, 250, 255);
const QColor kRoomFill(255, 255, 255);
const QColor kText(73, 90, 151);
const QColor kEdgeLine(128, 128, 128);
const QColor kInnerLine(64, 64, 64);
const QColor kNumber(255, 0, 0);

constexpr int kListenerWidth = 30;
constexpr int kListenerHeight = 40;
constexpr int kSpeakerWidth = 24;
constexpr int kSpeakerHeight = 35;

/// Speaker colours and captions by marker number 1..8.
struct SpeakerLook {
    QColor colour;
    const char* caption;
};
const std::array<SpeakerLook, 8> kSpeakers = {{
    {QColor(227, 207, 87), "前置左(L)"},
    {QColor(176, 224, 230), "中置(CEN)"},
    {QColor(227, 207, 87), "前置右(R)"},
    {QColor(65, 105, 225), "后环绕左(SBL)"},
    {QColor(235, 142, 85), "超低(SUB)"},
    {QColor(65, 105, 225), "后环绕右(SBR)"},
    {QColor(255, 153, 18), "侧环绕左(SL)"},
    {QColor(255, 153, 18), "侧环绕右(SR)"},
}};

/// The client rectangle as left, top, right and bottom with right and bottom exclusive.
struct Edges {
    int l, t, r, b;
    explicit Edges(const QRect& c)
        : l(c.x()), t(c.y()), r(c.x() + c.width()), b(c.y() + c.height()) {}
    int AreaWidth() const { return r - l - 2 * CSSVolumePanel::kInset; }
    int AreaHeight() const { return b - t - 2 * CSSVolumePanel::kInset; }
};

/// The label of a room edge at half the room size: one decimal when the half has one.
QString EdgeLabel(float metres, char sign) {
    const float half = metres / 2.0f;
    const int n = static_cast<int>(std::ceil(half));
    const float fraction = half - std::floor(half);
    if (fraction > 0.0f) {
        return QStringLiteral("%1%2m")
            .arg(QLatin1Char(sign))
            .arg(double(n - 1 + fraction), 0, 'f', 1);
    }
    return QStringLiteral("%1%2m").arg(QLatin1Char(sign)).arg(n);
}

QString InnerLabel(int a, char sign) {
    return a == 0 ? QStringLiteral("0") : QStringLiteral("%1%2m").arg(QLatin1Char(sign)).arg(a);
}

QFont LabelFont() {
    return ControlFont(FontFace::Arial, 13);
}

/// Space between a left-axis label and the room's edge.
constexpr int kLabelGap = 5;

void DrawListener(QPainter& p, QPoint c) {
    const QRectF box(c.x() - kListenerWidth / 2.0, c.y() - kListenerHeight / 2.0, kListenerWidth,
                     kListenerHeight);
    QPainterPath shoulders;
    shoulders.moveTo(box.left(), box.bottom());
    shoulders.cubicTo(box.left(), box.top() + 22, box.right(), box.top() + 22, box.right(),
                      box.bottom());
    shoulders.closeSubpath();
    p.setPen(QPen(QColor(40, 60, 110), 1.2));
    p.setBrush(QColor(70, 110, 180));
    p.drawPath(shoulders);
    p.setBrush(QColor(250, 214, 180));
    p.drawEllipse(QPointF(c.x(), box.top() + 11), 9.0, 10.5);
    p.setBrush(QColor(70, 50, 40));
    p.setPen(Qt::NoPen);
    p.drawChord(QRectF(c.x() - 9.0, box.top() + 0.5, 18.0, 14.0), 0, 180 * 16);
}

void DrawSpeaker(QPainter& p, QPoint c, const QColor& colour) {
    const QRectF box(c.x() - kSpeakerWidth / 2.0, c.y() - kSpeakerHeight / 2.0, kSpeakerWidth,
                     kSpeakerHeight);
    p.setPen(QPen(QColor(30, 30, 30), 1.0));
    p.setBrush(QColor(60, 62, 70));
    p.drawRoundedRect(box, 3, 3);
    p.setBrush(colour.darker(130));
    p.setPen(QPen(colour, 1.5));
    p.drawEllipse(QPointF(c.x(), box.top() + 7), 3.5, 3.5);
    p.drawEllipse(QPointF(c.x(), box.bottom() - 11), 9.0, 9.0);
}

} // namespace

CSSVolumePanel::CSSVolumePanel(QWidget* parent) : QWidget(parent) {
    qRegisterMetaType<kv::CSSVolumePanel::Marker>();
    setMinimumSize(240, 240);
    for (int i = 0; i < kMarkers; ++i) {
        m_markers[static_cast<std::size_t>(i)].index = i;
    }
    PlaceMarkers();
}

QPoint CSSVolumePanel::ToPixels(const QRect& client, float width, float length, float x, float y) {
    const Edges e(client);
    const float a = float(e.AreaWidth()) / width;
    const float b = float(e.AreaHeight()) / length;
    return {static_cast<int>(a * (x + width / 2.0f) + float(e.l + kInset)),
            static_cast<int>(b * (length / 2.0f - y) + float(e.t + kInset))};
}

QPointF CSSVolumePanel::DragToMetres(const QRect& client, float width, float length, QPoint p,
                                     QPoint* limited) {
    const Edges e(client);
    const int mx = std::clamp(p.x(), e.l + kInset, std::max(e.l + kInset, e.r - kInset));
    const int my = std::clamp(p.y(), e.t + kInset, std::max(e.t + kInset, e.b - kInset));
    if (limited) {
        *limited = {mx, my};
    }
    const float a = float(e.AreaWidth()) / width;
    const float b = float(e.AreaHeight()) / length;
    return {double(float(mx - (e.l + e.r) / 2) / a), double(float((e.t + e.b) / 2 - my) / b)};
}

int CSSVolumePanel::LabelGutter() {
    // The widest left-axis label of any room size; the inset alone is too narrow for
    // "-4.5m" in the label font, so the room moves right by the difference.
    static const int gutter = [] {
        const QFontMetrics metrics(LabelFont());
        int widest = 0;
        for (int metres = kMinRoom; metres <= kMaxRoom; ++metres) {
            for (const QString& label : AxisLabels(float(metres))) {
                widest = std::max(widest, metrics.horizontalAdvance(label));
            }
        }
        return std::max(0, widest + kLabelGap + 1 - kInset);
    }();
    return gutter;
}

QRect CSSVolumePanel::RoomClient() const {
    return rect().adjusted(LabelGutter(), 0, 0, 0);
}

QStringList CSSVolumePanel::AxisLabels(float metres) {
    QStringList labels{EdgeLabel(metres, '-'), EdgeLabel(metres, '+')};
    const int n = static_cast<int>(std::ceil(metres / 2.0f));
    for (int a = 0; a < n; ++a) {
        labels << InnerLabel(a, '-');
        if (a > 0) {
            labels << InnerLabel(a, '+');
        }
    }
    return labels;
}

void CSSVolumePanel::SetRoomSize(float width, float length) {
    if (!(width > 0.0f) || !(length > 0.0f)) {
        return;
    }
    m_width = width;
    m_length = length;
    m_grid = QImage();
    PlaceMarkers();
    update();
}

void CSSVolumePanel::SetMarkerPosition(int index, float x, float y) {
    if (index < 0 || index >= kMarkers) {
        return;
    }
    Marker& m = m_markers[static_cast<std::size_t>(index)];
    m.X = x;
    m.Y = y;
    const QPoint p = ToPixels(RoomClient(), m_width, m_length, x, y);
    m.x = p.x();
    m.y = p.y();
    update();
}

const CSSVolumePanel::Marker& CSSVolumePanel::MarkerAt(int index) const {
    return m_markers[static_cast<std::size_t>(std::clamp(index, 0, kMarkers - 1))];
}

void CSSVolumePanel::PlaceMarkers() {
    for (Marker& m : m_markers) {
        const QPoint p = ToPixels(RoomClient(), m_width, m_length, m.X, m.Y);
        m.x = p.x();
        m.y = p.y();
    }
}

void CSSVolumePanel::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    m_grid = QImage();
    PlaceMarkers();
}

void CSSVolumePanel::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        return;
    }
    const QPoint p = event->position().toPoint();
    for (const Marker& m : m_markers) {
        if (std::abs(m.x - p.x()) < kHitRadius && std::abs(m.y - p.y()) < kHitRadius) {
            m_selected = m.index;
            m_dragging = true;
            emit markerPressed(m);
            return;
        }
    }
}

void CSSVolumePanel::mouseMoveEvent(QMouseEvent* event) {
    if (!m_dragging || m_selected < 0) {
        return;
    }
    Marker& m = m_markers[static_cast<std::size_t>(m_selected)];
    QPoint limited;
    const QPointF metres =
        DragToMetres(RoomClient(), m_width, m_length, event->position().toPoint(), &limited);
    m.x = limited.x();
    m.y = limited.y();
    m.X = float(metres.x());
    m.Y = float(metres.y());
    emit markerMoved(m);
    update();
}

void CSSVolumePanel::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        m_dragging = false;
    }
}

void CSSVolumePanel::paintEvent(QPaintEvent* /*event*/) {
    if (EnsureLayer(m_grid, *this, kBackground)) {
        QPainter layer(&m_grid);
        DrawGrid(layer);
    }
    QPainter p(this);
    p.drawImage(QPoint(0, 0), m_grid);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    // Speakers first, the listener on top, the selected marker above all.
    for (int i = kMarkers - 1; i >= 0; --i) {
        if (i != m_selected) {
            DrawMarker(p, m_markers[static_cast<std::size_t>(i)]);
        }
    }
    if (m_selected >= 0) {
        DrawMarker(p, m_markers[static_cast<std::size_t>(m_selected)]);
    }
}

void CSSVolumePanel::DrawGrid(QPainter& p) const {
    const Edges e(RoomClient());
    const int areaW = e.AreaWidth();
    const int areaH = e.AreaHeight();
    const QRect area(e.l + kInset, e.t + kInset, areaW, areaH);
    p.fillRect(area, kRoomFill);
    p.setFont(LabelFont());
    const int cx = area.left() + areaW / 2;
    const int cy = area.top() + areaH / 2;
    const int stepX = static_cast<int>(float(areaW) / m_width);
    const int stepY = static_cast<int>(float(areaH) / m_length);

    auto hLine = [&](int y, const QColor& colour, const QString& label) {
        p.setPen(colour);
        p.drawLine(area.left(), y, area.left() + areaW, y);
        p.setPen(kText);
        p.drawText(QRect(0, y - 10, area.left() - kLabelGap, 20), Qt::AlignRight | Qt::AlignVCenter,
                   label);
    };
    auto vLine = [&](int x, const QColor& colour, const QString& label) {
        p.setPen(colour);
        p.drawLine(x, area.top(), x, area.top() + areaH);
        p.setPen(kText);
        p.drawText(QRect(x - 30, area.top() + areaH + 3, 60, 20), Qt::AlignHCenter | Qt::AlignTop,
                   label);
    };

    const int ny = static_cast<int>(std::ceil(m_length / 2.0f));
    for (int a = 0; a < ny; ++a) {
        hLine(cy - a * stepY, kInnerLine, InnerLabel(a, '+'));
        if (a > 0) {
            hLine(cy + a * stepY, kInnerLine, InnerLabel(a, '-'));
        }
    }
    hLine(area.top(), kEdgeLine, EdgeLabel(m_length, '+'));
    hLine(area.top() + areaH, kEdgeLine, EdgeLabel(m_length, '-'));

    const int nx = static_cast<int>(std::ceil(m_width / 2.0f));
    for (int a = 0; a < nx; ++a) {
        vLine(cx - a * stepX, kInnerLine, InnerLabel(a, '-'));
        if (a > 0) {
            vLine(cx + a * stepX, kInnerLine, InnerLabel(a, '+'));
        }
    }
    vLine(area.left(), kEdgeLine, EdgeLabel(m_width, '-'));
    vLine(area.left() + areaW, kEdgeLine, EdgeLabel(m_width, '+'));
}

void CSSVolumePanel::DrawMarker(QPainter& p, const Marker& marker) const {
    const QPoint c(marker.x, marker.y);
    if (marker.index == 0) {
        DrawListener(p, c);
        return;
    }
    const SpeakerLook& look = kSpeakers[static_cast<std::size_t>(marker.index - 1)];
    DrawSpeaker(p, c, look.colour);
    p.setFont(ControlFont(FontFace::Arial, 16, true));
    p.setPen(kNumber);
    p.drawText(QRect(c.x() - 12, c.y() - 12, 24, 24), Qt::AlignCenter,
               QString::number(marker.index));
    p.setFont(ControlFont(FontFace::Arial, 11));
    p.setPen(look.colour.darker(115));
    const int top = c.y() + kSpeakerHeight / 2 + 2;
    p.drawText(QRect(c.x() - 60, top, 120, 16), Qt::AlignHCenter | Qt::AlignTop,
               QString::fromUtf8(look.caption));
}

} // namespace kv
