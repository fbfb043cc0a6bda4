#include "controls/CSSVolumePanel.h"

#include "controls/ControlFonts.h"

#include <QFontMetrics>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

namespace kv {
namespace {

using Marker = CSSVolumePanel::Marker;

/// A 480 x 480 room client to the right of the label gutter.
class CSSVolumePanelTest : public ::testing::Test {
protected:
    void SetUp() override {
        panel.resize(480 + CSSVolumePanel::LabelGutter(), 480);
        panel.show(); // a hidden widget gets its resize events only when shown
        panel.SetRoomSize(4, 4);
        panel.SetMarkerPosition(0, 0.0f, 0.0f);
        panel.SetMarkerPosition(1, -1.0f, 1.0f);
    }
    /// A point of the 480 x 480 room client in the panel's pixels.
    static QPoint At(int x, int y) { return {x + CSSVolumePanel::LabelGutter(), y}; }
    static int X(int x) { return x + CSSVolumePanel::LabelGutter(); }

    CSSVolumePanel panel;
};

TEST(CSSVolumePanelGeometry, MetresMapOntoTheInsetRoomArea) {
    // 480 x 480 client, room area 420 x 420 from (30, 30): 105 px per metre in a 4 m room.
    struct Case {
        float width, length, x, y;
        QPoint pixel;
    };
    const Case cases[] = {
        {4, 4, 0.0f, 0.0f, {240, 240}},  {4, 4, -1.0f, 1.0f, {135, 135}},
        {4, 4, 2.0f, -2.0f, {450, 450}}, {3, 6, 1.5f, 0.0f, {450, 240}},
        {3, 6, -0.5f, 2.5f, {170, 65}},  {10, 10, 0.3f, 0.0f, {252, 240}},
    };
    const QRect client(0, 0, 480, 480);
    for (const Case& c : cases) {
        EXPECT_EQ(CSSVolumePanel::ToPixels(client, c.width, c.length, c.x, c.y), c.pixel)
            << c.width << "x" << c.length << " (" << c.x << ", " << c.y << ")";
    }
}

TEST(CSSVolumePanelGeometry, DragIsLimitedToTheRoomArea) {
    const QRect client(0, 0, 480, 480);
    QPoint limited;
    QPointF m = CSSVolumePanel::DragToMetres(client, 4, 4, {5, 600}, &limited);
    EXPECT_EQ(limited, QPoint(30, 450));
    EXPECT_FLOAT_EQ(float(m.x()), -2.0f);
    EXPECT_FLOAT_EQ(float(m.y()), -2.0f);
    m = CSSVolumePanel::DragToMetres(client, 4, 4, {345, 240}, &limited);
    EXPECT_EQ(limited, QPoint(345, 240));
    EXPECT_FLOAT_EQ(float(m.x()), 1.0f);
    EXPECT_FLOAT_EQ(float(m.y()), 0.0f);
}

TEST(CSSVolumePanelGeometry, GridLabelsFollowTheRoomSize) {
    struct Case {
        float metres;
        QStringList labels; ///< edges, then the inner lines from the centre out
    };
    const Case cases[] = {
        {3, {"-1.5m", "+1.5m", "0", "-1m", "+1m"}},
        {4, {"-2m", "+2m", "0", "-1m", "+1m"}},
        {1, {"-0.5m", "+0.5m", "0"}},
        {2, {"-1m", "+1m", "0"}},
        {7, {"-3.5m", "+3.5m", "0", "-1m", "+1m", "-2m", "+2m", "-3m", "+3m"}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(CSSVolumePanel::AxisLabels(c.metres), c.labels) << c.metres;
    }
}

TEST(CSSVolumePanelGeometry, EveryAxisLabelFitsLeftOfTheRoom) {
    const QFontMetrics metrics(ControlFont(FontFace::Arial, 13));
    const int room = CSSVolumePanel::LabelGutter() + CSSVolumePanel::kInset;
    for (int metres = CSSVolumePanel::kMinRoom; metres <= CSSVolumePanel::kMaxRoom; ++metres) {
        for (const QString& label : CSSVolumePanel::AxisLabels(float(metres))) {
            EXPECT_LE(metrics.horizontalAdvance(label) + 5, room)
                << label.toStdString() << " in a " << metres << " m room";
        }
    }
}

TEST_F(CSSVolumePanelTest, LabelsStayInsideThePanel) {
    // Nothing is drawn in the panel's first column: a label cut at the edge would be.
    for (float metres : {4.0f, 9.0f}) {
        panel.SetRoomSize(metres, metres);
        const QImage image = panel.grab().toImage();
        for (int y = 0; y < image.height(); ++y) {
            ASSERT_EQ(image.pixelColor(0, y), QColor(240, 250, 255)) << metres << " m, y " << y;
        }
    }
}

TEST_F(CSSVolumePanelTest, PressPicksTheListenerFirstAndDragReportsEveryStep) {
    panel.SetMarkerPosition(2, 0.1f, 0.0f); // a speaker under the listener
    QSignalSpy pressed(&panel, &CSSVolumePanel::markerPressed);
    QSignalSpy moved(&panel, &CSSVolumePanel::markerMoved);
    QTest::mousePress(&panel, Qt::LeftButton, {}, At(245, 238));
    ASSERT_EQ(pressed.count(), 1);
    EXPECT_EQ(pressed[0][0].value<Marker>().index, 0);
    QTest::mouseMove(&panel, At(345, 240));
    QTest::mouseMove(&panel, At(700, -50));
    ASSERT_EQ(moved.count(), 2);
    const auto last = moved[1][0].value<Marker>();
    EXPECT_EQ(last.index, 0);
    EXPECT_FLOAT_EQ(last.X, 2.0f);
    EXPECT_FLOAT_EQ(last.Y, 2.0f);
    EXPECT_EQ(panel.MarkerAt(0).x, X(450));
    EXPECT_EQ(panel.MarkerAt(0).y, 30);
    QTest::mouseRelease(&panel, Qt::LeftButton, {}, At(450, 30));
    QTest::mouseMove(&panel, At(100, 100));
    EXPECT_EQ(moved.count(), 2) << "the drag ended with the release";
}

TEST_F(CSSVolumePanelTest, MissesAndTheRightButtonDoNothing) {
    QSignalSpy pressed(&panel, &CSSVolumePanel::markerPressed);
    QTest::mousePress(&panel, Qt::RightButton, {}, At(240, 240));
    QTest::mousePress(&panel, Qt::LeftButton, {}, At(240 + 16, 240)); // 16 px is outside
    EXPECT_EQ(pressed.count(), 0);
    EXPECT_FALSE(panel.Dragging());
    QTest::mousePress(&panel, Qt::LeftButton, {}, At(135 + 15, 135 - 15));
    ASSERT_EQ(pressed.count(), 1);
    EXPECT_EQ(pressed[0][0].value<Marker>().index, 1);
}

TEST_F(CSSVolumePanelTest, RoomSizeReplacesMarkersFromTheirMetres) {
    panel.SetRoomSize(3, 6);
    EXPECT_EQ(panel.MarkerAt(1).x, X(100)); // 140 px per metre across, 70 along
    EXPECT_EQ(panel.MarkerAt(1).y, 170);
    panel.resize(X(600), 480);
    EXPECT_EQ(panel.MarkerAt(0).x, X(300));
}

TEST_F(CSSVolumePanelTest, GridAndMarkersAreDrawn) {
    const QImage image = panel.grab().toImage();
    // The +1 m vertical line of a 4 m room at x = 240 + 105, drawn dark grey.
    EXPECT_EQ(image.pixelColor(X(345), 300), QColor(64, 64, 64));
    EXPECT_EQ(image.pixelColor(X(30), 300), QColor(128, 128, 128)) << "left edge";
    EXPECT_EQ(image.pixelColor(X(300), 300), QColor(255, 255, 255)) << "room floor";
    EXPECT_EQ(image.pixelColor(5, 5), QColor(240, 250, 255)) << "outside the room";
    // Speaker 1 (cabinet, dark) at its place; the listener's face above the centre.
    EXPECT_LT(image.pixelColor(X(127), 149).lightness(), 100);
    EXPECT_NE(image.pixelColor(X(240), 240 - 9), QColor(255, 255, 255));
}

} // namespace
} // namespace kv
