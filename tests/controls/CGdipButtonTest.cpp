// The image button: state images and the look chosen for each state.
#include "ControlTestUtil.h"

#include "controls/CGdipButton.h"

#include <QSignalSpy>

#include <gtest/gtest.h>

namespace kv {
namespace {

class Button : public ::testing::Test {
protected:
    void SetUp() override {
        button.SetStdImage(":/skins/button_std.svg");
        button.SetAltImage(":/skins/button_alt.svg");
        button.SetTextColor(Qt::white);
        button.setText("CH 1");
        test::ShowAt(button, 161, 39);
        button.grab(); // prepares the looks
    }
    void Hover(bool in) {
        if (in) {
            QEnterEvent enter(QPointF(5, 5), QPointF(5, 5), QPointF(5, 5));
            QApplication::sendEvent(&button, &enter);
        } else {
            QEvent leave(QEvent::Leave);
            QApplication::sendEvent(&button, &leave);
        }
    }
    CGdipButton button;
};

TEST_F(Button, LooksFollowSelectionHoverAndPress) {
    ASSERT_TRUE(button.Prepared());
    using L = CGdipButton::Look;
    struct Case {
        bool selected, hover, down;
        L look;
    };
    const Case cases[] = {
        {false, false, false, L::Standard},      {false, true, false, L::StandardHot},
        {false, true, true, L::StandardPressed}, {true, false, false, L::Alternate},
        {true, true, false, L::AlternateHot},    {true, false, true, L::AlternatePressed}};
    for (const Case& c : cases) {
        button.SetSelected(c.selected);
        Hover(c.hover);
        button.setDown(c.down);
        EXPECT_EQ(button.CurrentLook(), c.look);
    }
}

TEST_F(Button, PressedAlternateShiftsByOnePixelAndPressedStandardDoesNot) {
    const QImage alt = button.StateImage(CGdipButton::Look::Alternate);
    const QImage altPressed = button.StateImage(CGdipButton::Look::AlternatePressed);
    ASSERT_FALSE(alt.isNull());
    int compared = 0;
    for (int y = 0; y < alt.height() - 1; y += 3) {
        for (int x = 0; x < alt.width() - 1; x += 3) {
            ASSERT_EQ(altPressed.pixel(x + 1, y + 1), alt.pixel(x, y)) << x << "," << y;
            ++compared;
        }
    }
    EXPECT_GT(compared, 500);
    EXPECT_NE(altPressed, alt);
    EXPECT_EQ(button.StateImage(CGdipButton::Look::StandardPressed),
              button.StateImage(CGdipButton::Look::Standard));
    EXPECT_NE(button.StateImage(CGdipButton::Look::Standard), alt);
}

TEST_F(Button, HotLooksAreBrighter) {
    const QImage image = button.StateImage(CGdipButton::Look::Standard);
    const QImage hot = button.StateImage(CGdipButton::Look::StandardHot);
    const QColor a = image.pixelColor(80, 28);
    const QColor b = hot.pixelColor(80, 28);
    EXPECT_NEAR(b.red(), std::min(255.0, a.red() * 1.05 + 12.75), 1.0);
    EXPECT_NEAR(b.blue(), std::min(255.0, a.blue() * 1.05 + 12.75), 1.0);

    QImage sample(2, 1, QImage::Format_ARGB32);
    sample.setPixel(0, 0, qRgba(100, 200, 250, 255));
    sample.setPixel(1, 0, qRgba(0, 0, 0, 128));
    const QImage bright = CGdipButton::HotImage(sample).convertToFormat(QImage::Format_ARGB32);
    EXPECT_EQ(bright.pixel(0, 0), qRgba(118, 223, 255, 255));
    EXPECT_EQ(qAlpha(bright.pixel(1, 0)), 128);
}

TEST_F(Button, TextAndClicks) {
    QSignalSpy clicks(&button, &QPushButton::clicked);
    QTest::mouseClick(&button, Qt::LeftButton, Qt::NoModifier, QPoint(80, 20));
    // What the window system delivers for a double click: press, release, double-click,
    // release.
    QTest::mouseClick(&button, Qt::LeftButton, Qt::NoModifier, QPoint(80, 20));
    const QPointF at(80, 20);
    QMouseEvent dbl(QEvent::MouseButtonDblClick, at, button.mapToGlobal(at), Qt::LeftButton,
                    Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&button, &dbl);
    QMouseEvent up(QEvent::MouseButtonRelease, at, button.mapToGlobal(at), Qt::LeftButton,
                   Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(&button, &up);
    EXPECT_EQ(clicks.count(), 3) << "a double click acts as two clicks";
    const QImage withText = button.grab().toImage();
    button.setText(QString());
    const QImage bare = button.grab().toImage();
    EXPECT_NE(withText, bare);
    EXPECT_EQ(withText.pixelColor(5, 20), bare.pixelColor(5, 20));
}

TEST(ButtonBackground, HandedOverSurfaceShowsUnderTransparentCorners) {
    QWidget parent;
    auto* b = new CGdipButton(&parent);
    b->setGeometry(10, 10, 161, 39);
    b->SetStdImage(":/skins/button_std.svg");
    test::ShowAt(parent, 200, 60);
    QImage surface(200, 60, QImage::Format_ARGB32_Premultiplied);
    surface.fill(QColor(255, 0, 0));
    b->SetBkGnd(surface);
    const QImage look = b->grab().toImage();
    EXPECT_EQ(look.pixelColor(0, 0), QColor(255, 0, 0)) << "the rounded corner shows the parent";
    CGdipButton none;
    test::ShowAt(none, 161, 39);
    EXPECT_FALSE(none.grab().isNull());
    EXPECT_FALSE(none.Prepared()) << "no standard picture, no state images";
}

} // namespace
} // namespace kv
