// The delay panel: geometry, dragging and the host's answer.
#include "ControlTestUtil.h"

#include "controls/CDelayPanel.h"

#include <gtest/gtest.h>

#include <vector>

namespace kv {
namespace {

class DelayPanel : public ::testing::Test {
protected:
    void SetUp() override {
        panel.SetChannelCount(8);
        test::ShowAt(panel, 626, 265); // plot 530 x 240: 5 px per ms, rows of 30 px
        panel.Init();
        QObject::connect(&panel, &CDelayPanel::delayDragged, [this](int channel, float ms) {
            reports.push_back({channel, ms});
            if (answer) {
                panel.SetChannelValue(channel, ms);
            }
        });
    }
    QPoint Centre(int i) const { return panel.MarkerCentre(i); }

    CDelayPanel panel;
    bool answer = true;
    std::vector<std::pair<int, float>> reports;
};

TEST_F(DelayPanel, GeometryAndFirstValues) {
    EXPECT_EQ(panel.ImageWidth(), 25);
    EXPECT_EQ(panel.ImageHeight(), 22);
    EXPECT_DOUBLE_EQ(panel.Scale(), 5.0);
    EXPECT_DOUBLE_EQ(panel.RowHeight(), 30.0);
    for (int i = 0; i < 8; ++i) {
        EXPECT_EQ(panel.ChannelAt(i).x, CDelayPanel::kLeftMargin) << "0 ms before any refresh";
        EXPECT_EQ(panel.ChannelAt(i).y, 5 + 30 * i);
    }
    panel.SetChannelValue(3, 0.0f);
    EXPECT_FLOAT_EQ(panel.ChannelAt(3).value, 1.5f);
    EXPECT_EQ(panel.ChannelAt(3).x, 78 + 7);
    panel.SetChannelValue(3, 250.0f);
    EXPECT_FLOAT_EQ(panel.ChannelAt(3).value, 100.0f);
    EXPECT_EQ(panel.ChannelAt(3).x, 78 + 500);
    panel.SetChannelValue(8, 20.0f); // not a channel: ignored
    panel.SetChannelValue(-1, 20.0f);
}

TEST_F(DelayPanel, DragPastTheAxisReportsAndShowsHundredMilliseconds) {
    panel.SetChannelValue(2, 50.0f);
    QTest::mousePress(&panel, Qt::LeftButton, Qt::NoModifier, Centre(2));
    EXPECT_EQ(panel.Selected(), 2);
    QTest::mouseMove(&panel, QPoint(78 + 12 + 5 * 60, Centre(2).y()));
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_EQ(reports[0].first, 2);
    EXPECT_FLOAT_EQ(reports[0].second, 60.0f);
    QTest::mouseMove(&panel, QPoint(panel.width() - 2, Centre(2).y() + 40));
    ASSERT_EQ(reports.size(), 2u);
    EXPECT_FLOAT_EQ(reports[1].second, 100.0f);
    EXPECT_EQ(panel.ChannelAt(2).x, 78 + 500) << "the host's answer places the marker";
    QTest::mouseRelease(&panel, Qt::LeftButton, Qt::NoModifier, QPoint(panel.width() - 2, 10));
    EXPECT_FALSE(panel.Dragging());
    EXPECT_EQ(panel.Selected(), 2) << "the selection stays until the next press";
}

TEST_F(DelayPanel, WithoutAnAnswerTheMarkerFollowsThePointer) {
    answer = false;
    panel.SetChannelValue(0, 10.0f);
    QTest::mousePress(&panel, Qt::LeftButton, Qt::NoModifier, Centre(0));
    QTest::mouseMove(&panel, QPoint(20, Centre(0).y()));
    EXPECT_FLOAT_EQ(panel.ChannelAt(0).value, 1.5f);
    EXPECT_EQ(panel.ChannelAt(0).x, 20 - 12);
    QTest::mouseRelease(&panel, Qt::LeftButton, Qt::NoModifier, QPoint(20, Centre(0).y()));
}

TEST_F(DelayPanel, PressAwayFromEveryMarkerReportsNothing) {
    panel.SetChannelValue(5, 40.0f);
    const QPoint off = Centre(5) + QPoint(15, 0);
    QTest::mousePress(&panel, Qt::LeftButton, Qt::NoModifier, off);
    EXPECT_EQ(panel.Selected(), -1);
    QTest::mouseMove(&panel, off + QPoint(30, 0));
    QTest::mouseRelease(&panel, Qt::LeftButton, Qt::NoModifier, off + QPoint(30, 0));
    EXPECT_TRUE(reports.empty());
    EXPECT_FLOAT_EQ(panel.ChannelAt(5).value, 40.0f);
}

TEST_F(DelayPanel, NeighboursWithinReachPreferTheLowerChannel) {
    test::ShowAt(panel, 626, 185); // rows of 20 px: two markers can share the pointer
    panel.SetChannelValue(3, 20.0f);
    panel.SetChannelValue(4, 20.0f);
    ASSERT_EQ(Centre(4).y() - Centre(3).y(), 20);
    const QPoint near4 = Centre(4) + QPoint(3, -6); // 14 px from channel 3, 6 from 4
    QTest::mousePress(&panel, Qt::LeftButton, Qt::NoModifier, near4);
    EXPECT_EQ(panel.Selected(), 3);
    QTest::mouseRelease(&panel, Qt::LeftButton, Qt::NoModifier, near4);
    const QPoint only4 = Centre(4) + QPoint(0, 5); // 25 px from channel 3
    QTest::mousePress(&panel, Qt::LeftButton, Qt::NoModifier, only4);
    EXPECT_EQ(panel.Selected(), 4);
    QTest::mouseRelease(&panel, Qt::LeftButton, Qt::NoModifier, only4);
}

TEST_F(DelayPanel, ResizeKeepsEveryValue) {
    const float values[] = {1.5f, 10, 20, 33.3f, 50, 66, 90, 100};
    for (int i = 0; i < 8; ++i) {
        panel.SetChannelValue(i, values[i]);
    }
    test::ShowAt(panel, 1000, 505);
    for (int i = 0; i < 8; ++i) {
        EXPECT_FLOAT_EQ(panel.ChannelAt(i).value, values[i]);
        EXPECT_EQ(panel.ChannelAt(i).x, panel.ValueToX(values[i]));
        EXPECT_EQ(panel.ChannelAt(i).y, int(panel.RowHeight() * i + 5 + 0.5));
    }
    EXPECT_EQ(panel.ValueToX(100.0f), 78 + int(904.0 / 106.0 * 100.0));
}

TEST_F(DelayPanel, MarkersAreDrawnInTheirTrackColours) {
    for (int i = 0; i < 8; ++i) {
        panel.SetChannelValue(i, 10.0f + 10 * i);
    }
    const QImage image = panel.grab().toImage();
    for (int i : {0, 3, 7}) {
        // The stem below the marker runs in the channel's colour at alpha 0x40.
        const auto& c = panel.ChannelAt(i);
        const QColor stem = image.pixelColor(c.x, panel.height() - 22);
        const QColor track = CDelayPanel::TrackColour(i);
        EXPECT_NEAR(stem.red(), 0x14 + (track.red() - 0x14) * 0x40 / 255, 3) << i;
        EXPECT_NEAR(stem.blue(), 0x14 + (track.blue() - 0x14) * 0x40 / 255, 3) << i;
    }
}

} // namespace
} // namespace kv
