// The LED level meter: lit LEDs, zones, colours and the fall timer.
#include "ControlTestUtil.h"

#include "controls/CPeakMeterCtrl.h"

#include <gtest/gtest.h>

namespace kv {
namespace {

class Meter : public ::testing::Test {
protected:
    void SetUp() override {
        // The main page's configuration.
        meter.SetBandCount(1);
        meter.SetLedCount(15);
        meter.SetBackgroundColour(QColor(240, 250, 255));
        meter.ResetMeter();
        test::ShowAt(meter, 150, 12);
    }
    void Set(int value) { meter.SetData(std::span<const int>(&value, 1), 0); }
    CPeakMeterCtrl meter;
};

TEST_F(Meter, LevelsLightTheirLeds) {
    const std::pair<int, int> cases[] = {{0, 0},   {3, 0},   {4, 1},    {40, 10},
                                         {50, 12}, {60, 15}, {200, 15}, {-5, 0}};
    for (const auto& [level, lit] : cases) {
        Set(level);
        EXPECT_EQ(meter.LitLeds(0), lit) << level;
    }
}

TEST_F(Meter, ZonesColourThePaintedLeds) {
    Set(50);
    const QImage image = meter.grab().toImage();
    const QColor expected[15] = {{0, 255, 0}, {0, 255, 0}, {0, 255, 0},   {0, 255, 0},
                                 {0, 255, 0}, {0, 255, 0}, {0, 255, 0},   {0, 255, 0},
                                 {0, 255, 0}, {0, 255, 0}, {255, 255, 0}, {255, 255, 0},
                                 {60, 2, 2},  {60, 2, 2},  {60, 2, 2}};
    for (int i = 0; i < 15; ++i) {
        EXPECT_EQ(image.pixelColor(i * 10 + 5, 6), expected[i]) << "LED " << i;
        EXPECT_EQ(image.pixelColor(i * 10, 6), QColor(240, 250, 255)) << "gap before LED " << i;
    }
    Set(4);
    const QImage low = meter.grab().toImage();
    EXPECT_EQ(low.pixelColor(5, 6), QColor(0, 255, 0));
    EXPECT_EQ(low.pixelColor(15, 6), QColor(2, 60, 2));
    EXPECT_EQ(low.pixelColor(115, 6), QColor(60, 60, 2));
}

TEST_F(Meter, ALowerValueShowsAtOnceAndThePeakHolds) {
    Set(60);
    Set(20);
    EXPECT_EQ(meter.Bands()[0].level, 20);
    EXPECT_EQ(meter.Bands()[0].peak, 60);
    Set(30);
    EXPECT_EQ(meter.Bands()[0].peak, 60);
    int values[] = {10, 10};
    meter.SetData(values, 0); // the second value has no band and is ignored
    EXPECT_EQ(meter.Bands().size(), 1u);
}

TEST_F(Meter, FallAfterResetStopsTheTimerAtStepForty) {
    meter.StartTimer(35);
    EXPECT_EQ(meter.Period(), 35);
    ASSERT_TRUE(meter.TimerActive());
    int step = 0;
    while (meter.TimerActive() && step < 100) {
        meter.TimerStep();
        ++step;
        if (step == 9) {
            EXPECT_EQ(meter.Bands()[0].peak, 60) << "the peak is held";
        }
        if (step == 10) {
            EXPECT_EQ(meter.Bands()[0].peak, 58) << "and falls when the hold runs out";
        }
        if (step == 15) {
            EXPECT_EQ(meter.Bands()[0].level, 0) << "the bar is empty after 15 steps";
        }
        if (step == 39) {
            EXPECT_EQ(meter.Bands()[0].peak, 0);
        }
    }
    EXPECT_EQ(step, 40);
    EXPECT_TRUE(meter.TimerStarted());
    Set(30);
    EXPECT_TRUE(meter.TimerActive()) << "new data starts the fall again";
    meter.TimerStep();
    EXPECT_EQ(meter.Bands()[0].level, 26);
}

TEST_F(Meter, TheTimerRunsTheFall) {
    meter.StartTimer(5);
    Set(60);
    EXPECT_TRUE(test::WaitUntil([&] { return meter.Bands()[0].level == 0; }, 2000));
    EXPECT_TRUE(test::WaitUntil([&] { return !meter.TimerActive(); }, 3000));
}

} // namespace
} // namespace kv
