// The compressor transfer curve.
#include "ControlTestUtil.h"

#include "controls/CCompressPanelPlus.h"

#include <gtest/gtest.h>

namespace kv {
namespace {

class CompressCurve : public ::testing::Test {
protected:
    void SetUp() override {
        test::ShowAt(panel, 540, 381); // plot 480 x 336: 5 px per dB across, 3.5 down
        panel.SetLowerKnee(-90.0f);
        panel.SetLowerSlope(1.0f);
        panel.SetEnabled(true);
    }
    /// True when the curve's colour is at (x, y) or a pixel above or below it: the
    /// antialiased 2 px pen straddles pixel rows.
    static bool OnCurve(const QImage& image, int x, int y) {
        for (int dy = -1; dy <= 1; ++dy) {
            const QColor c = image.pixelColor(x, y + dy);
            if (c.blue() > 200 && c.green() > 150 && c.red() < 120) {
                return true;
            }
        }
        return false;
    }
    CCompressPanelPlus panel;
};

TEST_F(CompressCurve, ThresholdAndRatioSetTheEndPoints) {
    panel.SetThreshold(-30.0f);
    panel.SetUpperSlope(0.25f);
    const auto c = panel.CurveGeometry();
    EXPECT_EQ(c.threshold, QPoint(40 + 60 * 5, 20 + int(36 * 3.5)));
    EXPECT_EQ(c.threshold, QPoint(panel.InputToX(-30), panel.OutputToY(-30)));
    EXPECT_EQ(c.highEnd, QPoint(panel.InputToX(6), panel.OutputToY(-21)));
    EXPECT_EQ(c.knee, QPoint(40, panel.OutputToY(-90)));
    EXPECT_EQ(c.lowStart, c.knee);
    EXPECT_EQ(c.bandTop, c.highEnd.y());
    EXPECT_EQ(c.bandHeight, c.lowStart.y() - c.highEnd.y());

    const QImage image = panel.grab().toImage();
    // Midway along the 1:1 segment and along the compressed segment.
    EXPECT_TRUE(OnCurve(image, panel.InputToX(-60), panel.OutputToY(-60)));
    EXPECT_TRUE(OnCurve(image, panel.InputToX(-12), panel.OutputToY(-25.5)));
    EXPECT_FALSE(OnCurve(image, panel.InputToX(-12), panel.OutputToY(-12)));
}

TEST_F(CompressCurve, RatioOneIsAStraightLineToTheTopRight) {
    panel.SetThreshold(-15.0f);
    panel.SetUpperSlope(1.0f);
    const auto c = panel.CurveGeometry();
    EXPECT_EQ(c.highEnd.x(), panel.InputToX(6));
    EXPECT_NEAR(c.highEnd.y(), panel.OutputToY(6), 1) << "whole pixels, truncated";
    const QImage image = panel.grab().toImage();
    for (int db : {-80, -40, -5, 3}) {
        EXPECT_TRUE(OnCurve(image, panel.InputToX(db), panel.OutputToY(db))) << db;
    }
}

TEST_F(CompressCurve, OffKeepsTheCurveAndAddsTheWord) {
    panel.SetThreshold(-30.0f);
    const QImage on = panel.grab().toImage();
    panel.SetEnabled(false);
    const QImage off = panel.grab().toImage();
    EXPECT_TRUE(OnCurve(off, panel.InputToX(-80), panel.OutputToY(-80)));
    int changed = 0;
    const QRect centre(panel.width() / 2 - 60, panel.height() / 2 - 25, 120, 50);
    for (int y = centre.top(); y <= centre.bottom(); ++y) {
        for (int x = centre.left(); x <= centre.right(); ++x) {
            changed += on.pixel(x, y) != off.pixel(x, y) ? 1 : 0;
        }
    }
    EXPECT_GT(changed, 300) << "the word OFF is drawn in the middle";
}

TEST_F(CompressCurve, ResizeRedrawsTheGridAtTheNewSize) {
    // Keep the curve and its translucent band below -60 dB so the grid above is bare.
    panel.SetThreshold(-60.0f);
    panel.SetUpperSlope(0.0f);
    const QColor grid(0, 110, 0);
    test::ShowAt(panel, 300, 245);
    QImage image = panel.grab().toImage();
    EXPECT_EQ(image.pixelColor(100, panel.OutputToY(-20)), grid);
    test::ShowAt(panel, 700, 445);
    image = panel.grab().toImage();
    EXPECT_EQ(image.pixelColor(500, panel.OutputToY(-20)), grid);
    EXPECT_EQ(image.pixelColor(panel.InputToX(-50), panel.OutputToY(-15)), grid);
    EXPECT_EQ(image.pixelColor(500, panel.OutputToY(-15)), QColor(Qt::black));
}

} // namespace
} // namespace kv
