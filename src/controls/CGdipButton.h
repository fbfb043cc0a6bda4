#pragma once

#include "controls/CGdiPlusBitmapResource.h"

#include <QImage>
#include <QPushButton>

namespace kv {

/// Image push button: a standard picture and an optional alternate picture for the
/// selected state, each prepared once in three looks (normal, pressed, hot) over the
/// background beneath the button, with the button's text drawn on top. A click reaches
/// the owner as an ordinary clicked() signal.
class CGdipButton : public QPushButton {
    Q_OBJECT

public:
    /// The state image a paint shows.
    enum class Look {
        Standard,
        StandardPressed,
        StandardHot,
        Alternate,
        AlternatePressed,
        AlternateHot
    };

    explicit CGdipButton(QWidget* parent = nullptr);
    CGdipButton(const QString& text, QWidget* parent = nullptr);

    void SetStdImage(const QString& picture);
    /// Sets the alternate picture shown while the button is selected.
    void SetAltImage(const QString& picture);
    void SetTextColor(QColor colour);
    /// Shows the alternate picture set (only when one is present).
    void SetSelected(bool selected);
    /// Hands over the parent's pixels: the part of the surface beneath the button (in the
    /// parent's coordinates) becomes the background of the state images.
    void SetBkGnd(const QImage& parentSurface);

    bool Selected() const { return m_selected; }
    bool HasAltImage() const { return m_hasAlt; }
    bool Hovering() const { return m_hovering; }
    bool Prepared() const { return m_prepared; }
    /// The look the next paint uses.
    Look CurrentLook() const;
    /// A prepared state image (empty until prepared).
    QImage StateImage(Look look) const;
    QSize sizeHint() const override;

    /// Brightens an image the way hot buttons are drawn: each colour channel times 1.05
    /// plus 5 % of full scale, alpha unchanged.
    static QImage HotImage(const QImage& source);

protected:
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void Prepare();
    QImage Compose(const QImage& picture, QPoint offset) const;

    CGdiPlusBitmapResource m_std;
    CGdiPlusBitmapResource m_alt;
    bool m_hasAlt = false;
    QColor m_textColour{Qt::black};
    bool m_selected = false;
    bool m_hovering = false;
    bool m_prepared = false;
    QImage m_background;
    qreal m_preparedDpr = 0;
    QImage m_looks[6];
};

} // namespace kv
