#include "controls/CDelayPanel.h"

#include "controls/AxisLabels.h"

#include "controls/ControlFonts.h"
#include "controls/OffscreenLayer.h"
#include "image/DisplayFormat.h"
#include "image/Encodings.h"

#include <QMouseEvent>
#include <QPainter>

#include <algorithm>
#include <array>
#include <cmath>

namespace kv {

namespace {

constexpr QRgb kBackground = 0xFF141414;
constexpr int kGridStepMs = 20;
constexpr const char* kMarkerPath = ":/skins/delay_marker.svg";

constexpr std::array<QRgb, 8> kTrackColours = {0xE3CF57, 0xB0E0E6, 0xFF9912, 0x4169E1,
                                               0xEB8E55, 0x6A5ACD, 0x41E0D0, 0x7FFF00};
constexpr std::array<QRgb, 8> kLabelColours = {0xE3CF57, 0xE3CF57, 0xB0E0E6, 0xFF9912,
                                               0x4169E1, 0x4169E1, 0xEB8E55, 0xEB8E55};

QColor PickColour(const std::array<QRgb, 8>& table, int index) {
    return QColor::fromRgb(table[std::size_t(std::clamp(index, 0, 7))]);
}

} // namespace

CDelayPanel::CDelayPanel(QWidget* parent)
    : QWidget(parent), m_font(ControlFont(FontFace::SimSun, 12)) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMinimumSize(200, 120);
}

void CDelayPanel::SetChannelCount(int n) {
    m_channels.resize(std::size_t(std::clamp(n, 0, 64)));
}

void CDelayPanel::SetLanguage(int language) {
    if (language != m_language) {
        m_language = language;
        m_grid = QImage();
        update();
    }
}

void CDelayPanel::Init() {
    if (m_marker.Load(QString::fromLatin1(kMarkerPath))) {
        m_imageWidth = m_marker.Width();
        m_imageHeight = m_marker.Height();
    }
    m_markers.clear();
    for (std::size_t i = 0; i < m_channels.size(); ++i) {
        Channel& c = m_channels[i];
        c.index = int(i);
        c.value = 0.0f;
        c.minimum = 1.5f;
        c.maximum = 100.0f;
        Layout(c);
    }
    update();
}

const CDelayPanel::Channel& CDelayPanel::ChannelAt(int index) const {
    Q_ASSERT(index >= 0 && index < ChannelCount());
    static const Channel kNone;
    return (index >= 0 && index < ChannelCount()) ? m_channels[std::size_t(index)] : kNone;
}

void CDelayPanel::SetChannelValue(int index, float ms) {
    if (index < 0 || index >= ChannelCount() || !std::isfinite(ms)) {
        return;
    }
    Channel& c = m_channels[std::size_t(index)];
    c.value = Limit(ms, c);
    c.x = ValueToX(c.value);
    update();
}

double CDelayPanel::Scale() const {
    const int w = width() - (kLeftMargin + kRightMargin);
    return double(w) / (m_axisMax - m_axisMin);
}

double CDelayPanel::RowHeight() const {
    const int h = height() - (kTopMargin + kBottomMargin);
    return m_channels.empty() ? double(h) : double(h) / double(m_channels.size());
}

int CDelayPanel::ValueToX(float ms) const {
    return kLeftMargin + std::abs(TruncToInt32(Scale() * (ms - m_axisMin)));
}

float CDelayPanel::Limit(float ms, const Channel& c) const {
    return c.minimum != c.maximum ? std::clamp(ms, c.minimum, c.maximum) : ms;
}

float CDelayPanel::XToValue(int x, const Channel& channel) const {
    const double s = Scale();
    const float v = s > 0 ? float((x - kLeftMargin) / s + m_axisMin) : m_axisMin;
    return Limit(v, channel);
}

QPoint CDelayPanel::MarkerCentre(int index) const {
    const Channel& c = ChannelAt(index);
    return {c.x + m_imageWidth / 2, TruncToInt32(RowHeight() * 0.5 + c.y)};
}

QColor CDelayPanel::TrackColour(int index) {
    return PickColour(kTrackColours, index);
}

QColor CDelayPanel::LabelColour(int index) {
    return PickColour(kLabelColours, index);
}

void CDelayPanel::Layout(Channel& c) const {
    const double h = height() - (kTopMargin + kBottomMargin);
    c.y = TruncToInt32(h / double(m_channels.size()) * c.index + kTopMargin + 0.5);
    c.x = ValueToX(c.value);
}

void CDelayPanel::resizeEvent(QResizeEvent* event) {
    m_grid = QImage();
    for (Channel& c : m_channels) {
        Layout(c);
    }
    QWidget::resizeEvent(event);
}

void CDelayPanel::EnsureGrid() {
    if (!EnsureLayer(m_grid, *this, QColor::fromRgb(kBackground))) {
        return;
    }
    QPainter p(&m_grid);
    p.setRenderHint(QPainter::TextAntialiasing);
    p.setFont(m_font);
    const QFontMetrics fm(m_font);
    const int left = kLeftMargin;
    const int right = width() - kRightMargin;
    const int bottom = height() - kBottomMargin;
    const double r = RowHeight();
    const int n = ChannelCount();
    for (int h = 0; h <= n; ++h) {
        const int y = TruncToInt32(kTopMargin + h * r);
        p.setPen(QColor(h == 0 || h == n ? QColor(128, 128, 128) : QColor(64, 64, 64)));
        p.drawLine(left, y, right, y);
    }
    for (int k = 1; k <= n; ++k) {
        const QString name =
            (m_language == 1 ? QStringLiteral("CH%1") : QStringLiteral("通道(CH)%1")).arg(k);
        const int x = left - fm.horizontalAdvance(name) - 5;
        const int y = TruncToInt32(kTopMargin + k * r - r / 2 - fm.height() / 2.0);
        p.setPen(LabelColour(k - 1));
        p.drawText(QPoint(x, y + fm.ascent()), name);
    }
    const double s = Scale();
    const int steps = TruncToInt32((m_axisMax - m_axisMin) / kGridStepMs);
    std::vector<QString> texts;
    std::vector<AxisLabel> labels;
    for (int l = 0; l <= steps; ++l) {
        const int x = left + TruncToInt32(l * kGridStepMs * s);
        texts.push_back(QString::fromStdString(fmt::DelayMs(m_axisMin + kGridStepMs * l)));
        labels.push_back({x, fm.horizontalAdvance(texts.back())});
        if (l == 0 || l == steps) {
            p.setPen(QColor(128, 128, 128));
            p.drawLine(x, kTopMargin, x, bottom);
        }
    }
    // Kept inside the panel ("100.0ms" at the right end) and apart from each other.
    const auto starts = PlaceAxisLabels(labels, 0, width(), 4);
    p.setPen(Qt::white);
    for (std::size_t i = 0; i < texts.size(); ++i) {
        if (starts[i]) {
            p.drawText(QPoint(*starts[i], bottom + 5 + fm.ascent()), texts[i]);
        }
    }
}

const QImage& CDelayPanel::Marker(int index) {
    const qreal dpr = devicePixelRatioF();
    if (m_markerDpr != dpr || m_markers.size() != m_channels.size()) {
        m_markers.clear();
        m_markerDpr = dpr;
        for (std::size_t i = 0; i < m_channels.size(); ++i) {
            QImage image = m_marker.Render(QSize(m_imageWidth, m_imageHeight), dpr).copy();
            QPainter t(&image);
            t.setCompositionMode(QPainter::CompositionMode_SourceAtop);
            QColor tint = TrackColour(int(i));
            tint.setAlpha(0x9C);
            t.fillRect(QRect(0, 0, m_imageWidth, m_imageHeight), tint);
            t.end();
            m_markers.push_back(image);
        }
    }
    return m_markers[std::size_t(std::clamp(index, 0, int(m_markers.size()) - 1))];
}

void CDelayPanel::paintEvent(QPaintEvent*) {
    EnsureGrid();
    QPainter p(this);
    p.drawImage(QPoint(0, 0), m_grid);
    if (m_marker.IsNull()) {
        return;
    }
    p.setRenderHint(QPainter::Antialiasing);
    p.setFont(m_font);
    const QFontMetrics fm(m_font);
    const int th = fm.boundingRect(QStringLiteral("文字高度")).height();
    const double r = RowHeight();
    const int bottom = height() - kBottomMargin;
    for (const Channel& c : m_channels) {
        const QColor colour = TrackColour(c.index);
        const int f = TruncToInt32((r - m_imageHeight - th) * 0.5 + c.y);
        p.drawImage(QPoint(c.x, f), Marker(c.index));
        const qreal yl = f + m_imageHeight / 2 + kTopMargin + 0.5;
        p.setPen(QPen(colour, 1.0, Qt::DashLine));
        p.drawLine(QPointF(kLeftMargin, yl), QPointF(c.x, yl));
        QColor stem = colour;
        stem.setAlpha(c.index == m_selected ? 0x80 : 0x40);
        p.setPen(QPen(stem, 1.0));
        p.drawLine(QPointF(c.x + 0.5, yl), QPointF(c.x + 0.5, bottom));
        p.setPen(colour);
        p.drawText(QPoint(c.x + 2, f + m_imageHeight + fm.ascent()),
                   QString::fromStdString(fmt::DelayMs(c.value)));
    }
}

void CDelayPanel::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        QWidget::mousePressEvent(event);
        return;
    }
    const QPoint pt = event->position().toPoint();
    m_dragging = true;
    m_selected = -1;
    for (int i = 0; i < ChannelCount(); ++i) {
        const QPoint c = MarkerCentre(i);
        if (std::abs(c.x() - pt.x()) < kHitRadius && std::abs(c.y() - pt.y()) < kHitRadius) {
            m_selected = i;
            break;
        }
    }
    update();
}

void CDelayPanel::mouseMoveEvent(QMouseEvent* event) {
    if (!m_dragging || m_selected < 0 || m_selected >= ChannelCount()) {
        return;
    }
    Channel& c = m_channels[std::size_t(m_selected)];
    c.x = event->position().toPoint().x() - m_imageWidth / 2;
    c.value = XToValue(c.x, c);
    emit delayDragged(m_selected, c.value);
    update();
}

void CDelayPanel::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        m_dragging = false;
        update();
    }
    QWidget::mouseReleaseEvent(event);
}

} // namespace kv
