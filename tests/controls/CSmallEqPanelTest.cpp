// The read-only thumbnail equaliser.
#include "ControlTestUtil.h"

#include "controls/CSmallEqPanel.h"

#include <QSignalSpy>

#include <gtest/gtest.h>

namespace kv {
namespace {

class SmallEq : public ::testing::Test {
protected:
    void SetUp() override { test::ShowAt(panel, 204, 64); }
    /// The summed gain at the point u, from the drawn curve.
    double TotalDb(int u) const { return panel.YToGain(panel.TotalPoint(u).y()); }
    CSmallEqPanel panel;
};

TEST_F(SmallEq, FlatBandsGiveAFlatCurve) {
    for (int u = 0; u < CSmallEqPanel::kPoints; ++u) {
        EXPECT_NEAR(TotalDb(u), 0.0, 1e-9);
        EXPECT_DOUBLE_EQ(panel.TotalPoint(u).x(), 2 + u * 200.0 / 56);
    }
}

TEST_F(SmallEq, BoostShowsAtItsFrequencyToATenth) {
    panel.SetBandGain(5, 6.0f); // 1 kHz
    int best = 0;
    for (int u = 1; u < CSmallEqPanel::kPoints; ++u) {
        if (TotalDb(u) > TotalDb(best)) {
            best = u;
        }
    }
    EXPECT_NEAR(TotalDb(best), 6.0, 0.25);
    // Point u stands for 10 * 10^(3.4 * trunc(x_u - 2) / 200) Hz: the peak sits near 1 kHz.
    const double x = 2 + best * 200.0 / 56;
    const double f = 10.0 * std::pow(10.0, 3.4 * std::trunc(x - 2) / 200.0);
    EXPECT_GT(f, 700.0);
    EXPECT_LT(f, 1400.0);
    EXPECT_NEAR(TotalDb(0), 0.0, 0.11);
}

TEST_F(SmallEq, SettersClampAndUnknownTypesAreFlat) {
    panel.SetBandFreq(0, 5.0f);
    EXPECT_EQ(panel.BandAt(0).freqHz, 20.0f);
    panel.SetBandFreq(0, 0.0f);
    EXPECT_EQ(panel.BandAt(0).freqHz, 20.0f) << "0 is ignored";
    panel.SetBandFreq(0, 30000.0f);
    EXPECT_EQ(panel.BandAt(0).freqHz, 20000.0f);
    panel.SetBandGain(1, 40.0f);
    EXPECT_EQ(panel.BandAt(1).gainDb, 15.0f);
    panel.SetBandGain(1, 0.0f);

    panel.BandAt(3).type = 9;
    panel.BandAt(3).gainDb = 12.0f;
    panel.RecalcBand(3);
    for (int u = 0; u < CSmallEqPanel::kPoints; ++u) {
        EXPECT_NEAR(TotalDb(u), 0.0, 1e-9) << u;
    }
    panel.BandAt(3).type = 7; // notch: a deep cut at its frequency, flat far away
    panel.BandAt(3).freqHz = 250.0f;
    panel.RecalcBand(3);
    double lowest = 0;
    for (int u = 0; u < CSmallEqPanel::kPoints; ++u) {
        lowest = std::min(lowest, TotalDb(u));
    }
    EXPECT_LT(lowest, -3.0);
    EXPECT_NEAR(TotalDb(55), 0.0, 0.11);
}

TEST_F(SmallEq, HoverFrameAndClick) {
    QSignalSpy clicks(&panel, &CSmallEqPanel::clicked);
    QEnterEvent enter(QPointF(5, 5), QPointF(5, 5), QPointF(5, 5));
    QApplication::sendEvent(&panel, &enter);
    EXPECT_TRUE(panel.Hovering());
    const QImage framed = panel.grab().toImage();
    EXPECT_EQ(framed.pixelColor(0, 30), QColor(0, 255, 255));
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(&panel, &leave);
    EXPECT_FALSE(panel.Hovering());
    EXPECT_NE(panel.grab().toImage().pixelColor(0, 30), QColor(0, 255, 255));
    QTest::mouseClick(&panel, Qt::LeftButton, Qt::NoModifier, QPoint(50, 30));
    EXPECT_EQ(clicks.count(), 1);
    QTest::mouseClick(&panel, Qt::RightButton, Qt::NoModifier, QPoint(50, 30));
    EXPECT_EQ(clicks.count(), 1);
}

} // namespace
} // namespace kv
