#pragma once

#include "remote/RemoteKeyTable.h"

#include <QWidget>

namespace kv {

/// The picture of the processor's remote control with one hot spot per learnable key,
/// drawn to the widget's size. A click on a hot spot emits hotSpotClicked(control number);
/// the pointer is a hand over every hot spot.
class CRemotePicture : public QWidget {
    Q_OBJECT

public:
    explicit CRemotePicture(QWidget* parent = nullptr);

    /// The codes shown beside the keys (0 shows none).
    void SetLearnedCodes(const RemoteKeyTable& table);
    /// The widget rectangle of a hot spot (empty for an unknown one).
    QRect HotSpotRect(int hotSpot) const;
    /// The hot spot at a point, or 0.
    int HotSpotAt(QPoint p) const;

    QSize sizeHint() const override;

signals:
    void hotSpotClicked(int hotSpot);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    QRectF PictureRect() const;
    QRectF ToWidget(const QRectF& area) const;

    RemoteKeyTable m_codes{};
    int m_hover = 0;
};

} // namespace kv
