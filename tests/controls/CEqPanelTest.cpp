// Pointer, wheel, keyboard and menu handling of the equaliser panel.
#include "ControlTestUtil.h"

#include "controls/CEqPanel.h"

#include <QMenu>

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace kv {
namespace {

struct Sent {
    int index;
    int type;
    float freq;
    float gain;
    float q;
};

class EqPanelInput : public ::testing::Test {
protected:
    static constexpr int kW = 1280;
    static constexpr int kH = 400;

    void SetUp() override {
        test::ShowAt(panel, kW, kH);
        panel.SetBandCount(10);
        QObject::connect(&panel, &CEqPanel::bandChanged, [this](const EqPanelBand& b, int index) {
            changed.push_back({index, b.type, b.freqHz, b.gainDb, b.q});
        });
        QObject::connect(&panel, &CEqPanel::bandPicked,
                         [this](const EqPanelBand&, int index) { picked.push_back(index); });
        QObject::connect(&panel, &CEqPanel::deselected, [this] { ++deselects; });
        QObject::connect(&panel, &CEqPanel::copyPaste, [this](int action, int kind) {
            copyPaste.push_back({action, kind});
        });
    }
    void TearDown() override {
        if (QWidget* popup = QApplication::activePopupWidget()) {
            popup->close();
        }
    }
    /// Client point of a band's handle, offset by (dx, dy).
    QPoint HandleAt(int band, int dx = 0, int dy = 0) const {
        return panel.HandlePos(band) + QPoint(CEqPanel::kPlotLeft + dx, CEqPanel::kPlotTop + dy);
    }
    void PlaceBand(int band, int type, float freq, float gain) {
        panel.SetBandType(band, type);
        panel.Band(band).freqHz = freq;
        panel.SetBandGain(gain, band);
    }
    QMenu* OpenMenu() const {
        QApplication::processEvents();
        return qobject_cast<QMenu*>(QApplication::activePopupWidget());
    }

    CEqPanel panel;
    std::vector<Sent> changed;
    std::vector<int> picked;
    int deselects = 0;
    std::vector<std::pair<int, int>> copyPaste;
};

TEST_F(EqPanelInput, PressSelectsLowestIndexAndHoverPrefersHighest) {
    PlaceBand(2, 1, 700.0f, 0.0f);
    PlaceBand(3, 1, 700.0f, 1.0f); // 12 px above band 2's handle
    const QPoint between = HandleAt(2, 0, -3);
    QTest::mouseMove(&panel, between);
    EXPECT_EQ(panel.Hover(), 3);
    QTest::mousePress(&panel, Qt::LeftButton, Qt::NoModifier, between);
    EXPECT_EQ(panel.Selected(), 2);
    ASSERT_EQ(changed.size(), 1u);
    EXPECT_EQ(changed[0].index, 2);
    QTest::mouseRelease(&panel, Qt::LeftButton, Qt::NoModifier, between);
    EXPECT_EQ(changed.size(), 1u) << "no move, no second notification";
}

TEST_F(EqPanelInput, HitRadiiAndOffBandsExcluded) {
    PlaceBand(0, 1, 200.0f, 0.0f);
    panel.SetBandType(1, 0);
    panel.Band(1).freqHz = 200.0f;
    QTest::mouseMove(&panel, HandleAt(0, 15, 0));
    EXPECT_EQ(panel.Hover(), 0) << "hover reaches 15 px";
    QTest::mouseMove(&panel, HandleAt(0, 16, 0));
    EXPECT_EQ(panel.Hover(), -1);
    QTest::mousePress(&panel, Qt::LeftButton, Qt::NoModifier, HandleAt(0, 10, 0));
    EXPECT_EQ(panel.Selected(), -1) << "a press must be within 9 px";
    QTest::mouseRelease(&panel, Qt::LeftButton, Qt::NoModifier, HandleAt(0, 10, 0));
    EXPECT_EQ(deselects, 1);
    QTest::mousePress(&panel, Qt::LeftButton, Qt::NoModifier, HandleAt(0, 9, -9));
    EXPECT_EQ(panel.Selected(), 0) << "band 1 is off and never hit";
    QTest::mouseRelease(&panel, Qt::LeftButton, Qt::NoModifier, HandleAt(0, 9, -9));
}

TEST_F(EqPanelInput, LeftDragMovesFrequencyAndGainWithANotificationPerStep) {
    PlaceBand(4, 1, 700.0f, 0.0f);
    const QPoint start = HandleAt(4, 3, 2); // grab offset (3, 2)
    QTest::mousePress(&panel, Qt::LeftButton, Qt::NoModifier, start);
    QTest::mouseMove(&panel, start + QPoint(1, 1));
    EXPECT_EQ(changed.size(), 1u) << "a 1 px jitter is not a move";
    const QRect plot = panel.PlotRect();
    const double span = std::log10(23000.0 / 18.0);
    const QPoint steps[] = {start + QPoint(40, -30), start + QPoint(120, -60),
                            start + QPoint(200, 20)};
    for (const QPoint& p : steps) {
        QTest::mouseMove(&panel, p);
        const QPoint q = p - plot.topLeft();
        const Sent& s = changed.back();
        EXPECT_NEAR(s.freq, 18.0 * std::pow(10.0, span * q.x() / plot.width()), 1e-2);
        const double gain = 15.0 - double(q.y() - 2) / plot.height() * 30.0;
        EXPECT_FLOAT_EQ(s.gain, std::round(float(gain) * 10.0f) / 10.0f);
    }
    EXPECT_EQ(changed.size(), 4u);
    QTest::mouseRelease(&panel, Qt::LeftButton, Qt::NoModifier, steps[2]);
    ASSERT_EQ(changed.size(), 5u) << "release after a drag notifies once more";
    EXPECT_EQ(changed[4].freq, panel.Band(4).freqHz);
    EXPECT_EQ(deselects, 0);
}

TEST_F(EqPanelInput, DragClampsGainAndKeepsPassBandsFlat) {
    PlaceBand(1, 1, 500.0f, 0.0f);
    panel.Band(1).gainMax = 12.0f;
    const QPoint start = HandleAt(1);
    QTest::mousePress(&panel, Qt::LeftButton, Qt::NoModifier, start);
    QTest::mouseMove(&panel, QPoint(start.x(), CEqPanel::kPlotTop + 40));
    EXPECT_NEAR(panel.Band(1).gainDb, 15.0 - 40.0 / panel.PlotRect().height() * 30.0, 0.051);
    QTest::mouseMove(&panel, QPoint(start.x(), 2));
    EXPECT_EQ(panel.Band(1).gainDb, 12.0f) << "clamped to the band's maximum";
    QTest::mouseRelease(&panel, Qt::LeftButton, Qt::NoModifier, QPoint(start.x(), 2));

    PlaceBand(6, 2, 3000.0f, 0.0f);
    const QPoint lp = HandleAt(6);
    QTest::mousePress(&panel, Qt::LeftButton, Qt::NoModifier, lp);
    QTest::mouseMove(&panel, lp + QPoint(0, -80));
    QTest::mouseMove(&panel, lp + QPoint(0, 90));
    EXPECT_EQ(panel.Band(6).gainDb, 0.0f);
    EXPECT_EQ(changed.back().gain, 0.0f);
    QTest::mouseRelease(&panel, Qt::LeftButton, Qt::NoModifier, lp + QPoint(0, 90));
}

TEST_F(EqPanelInput, RightDragChangesQByTheRules) {
    struct Case {
        int type;
        float q0, expected;
        int dx;
    };
    const Case cases[] = {{1, 1.0f, 2.0f, 12},
                          {4, 0.7f, 0.85f, 12},
                          {1, 29.5f, 30.0f, 24},
                          {5, 1.9f, 2.0f, 40},
                          {2, 0.5f, 0.1f, -60}};
    for (const Case& c : cases) {
        PlaceBand(3, c.type, 900.0f, 0.0f);
        panel.Band(3).q = c.q0;
        panel.RecalcBand(3);
        const QPoint start = HandleAt(3);
        QTest::mousePress(&panel, Qt::RightButton, Qt::NoModifier, start);
        QTest::mouseMove(&panel, start + QPoint(c.dx / 2, 0));
        QTest::mouseMove(&panel, start + QPoint(c.dx, 0));
        EXPECT_NEAR(panel.Band(3).q, c.expected, 1e-4) << "type " << c.type;
        QTest::mouseRelease(&panel, Qt::RightButton, Qt::NoModifier, start + QPoint(c.dx, 0));
        EXPECT_EQ(OpenMenu(), nullptr) << "a right drag opens no menu";
    }
}

TEST_F(EqPanelInput, RightClickOpensTheTypeMenuAndAppliesTheChoice) {
    PlaceBand(5, 1, 2000.0f, 4.0f);
    const QPoint at = HandleAt(5);
    QTest::mousePress(&panel, Qt::RightButton, Qt::NoModifier, at);
    QTest::mouseMove(&panel, at + QPoint(1, 0)); // jitter
    QTest::mouseRelease(&panel, Qt::RightButton, Qt::NoModifier, at + QPoint(1, 0));
    QMenu* menu = OpenMenu();
    ASSERT_NE(menu, nullptr);
    ASSERT_EQ(menu->actions().size(), 5);
    EXPECT_EQ(menu->actions()[0]->text(), QStringLiteral("参量(PEQ)"));
    EXPECT_TRUE(menu->actions()[0]->isChecked());
    const std::size_t before = changed.size();
    menu->actions()[3]->trigger(); // LS
    EXPECT_EQ(panel.Band(5).type, 4);
    EXPECT_EQ(panel.Band(5).gainDb, 0.0f);
    ASSERT_EQ(changed.size(), before + 1);
    EXPECT_EQ(changed.back().type, 4);
}

TEST_F(EqPanelInput, EmptyAreaMenuCopiesAndPastesInTheLanguage) {
    panel.SetKind(4);
    panel.SetLanguage(1);
    const QPoint empty(CEqPanel::kPlotLeft + 5, CEqPanel::kPlotTop + 5);
    QTest::mousePress(&panel, Qt::RightButton, Qt::NoModifier, empty);
    QTest::mouseRelease(&panel, Qt::RightButton, Qt::NoModifier, empty);
    QMenu* menu = OpenMenu();
    ASSERT_NE(menu, nullptr);
    ASSERT_EQ(menu->actions().size(), 2);
    EXPECT_EQ(menu->actions()[0]->text(), QStringLiteral("Copy EQ"));
    EXPECT_EQ(menu->actions()[1]->text(), QStringLiteral("Paste EQ"));
    menu->actions()[1]->trigger();
    ASSERT_EQ(copyPaste.size(), 1u);
    EXPECT_EQ(copyPaste[0], std::make_pair(1, 4));
    panel.HandleCommand(CEqPanel::kCmdReset);
    EXPECT_EQ(copyPaste.back(), std::make_pair(2, 4));
}

TEST_F(EqPanelInput, WheelStepsGainOnlyForGainTypes) {
    PlaceBand(2, 1, 300.0f, 1.0f);
    panel.SetSelected(2);
    EXPECT_TRUE(test::Wheel(panel, HandleAt(2), 120));
    EXPECT_FLOAT_EQ(panel.Band(2).gainDb, 1.1f);
    EXPECT_TRUE(test::Wheel(panel, HandleAt(2), -720));
    EXPECT_TRUE(test::Wheel(panel, HandleAt(2), -15));
    EXPECT_FLOAT_EQ(panel.Band(2).gainDb, 0.9f) << "one step per message";
    EXPECT_EQ(changed.size(), 3u);
    panel.Band(2).gainDb = 15.0f;
    test::Wheel(panel, HandleAt(2), 120);
    EXPECT_EQ(panel.Band(2).gainDb, 15.0f);

    PlaceBand(3, 3, 300.0f, 0.0f);
    panel.SetSelected(3);
    EXPECT_FALSE(test::Wheel(panel, HandleAt(3), 120)) << "not consumed for a high-pass";
}

struct KeyCase {
    int key;
    Qt::KeyboardModifiers mods;
    int type;
    float freq, gain, q;
    float freqOut, gainOut, qOut;
};

TEST_F(EqPanelInput, KeysEditTheSelectedBand) {
    const KeyCase cases[] = {
        {Qt::Key_Left, Qt::NoModifier, 1, 150, 0, 1, 145, 0, 1},
        {Qt::Key_Left, Qt::ControlModifier, 1, 150, 0, 1, 144, 0, 1},
        {Qt::Key_Right, Qt::NoModifier, 1, 1500, 0, 1, 1510, 0, 1},
        {Qt::Key_Right, Qt::NoModifier, 1, 12000, 0, 1, 12100, 0, 1},
        {Qt::Key_Left, Qt::NoModifier, 1, 80, 0, 1, 78, 0, 1},
        {Qt::Key_Left, Qt::NoModifier, 1, 21, 0, 1, 20, 0, 1},
        {Qt::Key_Right, Qt::NoModifier, 1, 19950, 0, 1, 20000, 0, 1},
        {Qt::Key_Up, Qt::NoModifier, 1, 500, 1.0f, 1, 500, 1.2f, 1},
        {Qt::Key_Down, Qt::ControlModifier, 4, 500, 1.0f, 0.7f, 500, 0.9f, 0.7f},
        {Qt::Key_Up, Qt::NoModifier, 2, 500, 0, 0.7f, 500, 0, 0.7f},
        {Qt::Key_Up, Qt::NoModifier, 1, 500, 15.0f, 1, 500, 15.0f, 1},
        {Qt::Key_Plus, Qt::NoModifier, 1, 500, 0, 1, 500, 0, 1.1f},
        {Qt::Key_Equal, Qt::ControlModifier, 1, 500, 0, 1, 500, 0, 1.01f},
        {Qt::Key_Minus, Qt::NoModifier, 3, 500, 0, 0.15f, 500, 0, 0.1f},
        {Qt::Key_Plus, Qt::NoModifier, 5, 500, 0, 2.0f, 500, 0, 2.0f},
    };
    for (const KeyCase& c : cases) {
        PlaceBand(6, c.type, c.freq, c.gain);
        panel.Band(6).q = c.q;
        panel.SetSelected(6);
        const std::size_t before = changed.size();
        QTest::keyClick(&panel, Qt::Key(c.key), c.mods);
        const EqPanelBand& b = panel.Band(6);
        EXPECT_FLOAT_EQ(b.freqHz, c.freqOut) << "key " << c.key << " at " << c.freq;
        EXPECT_FLOAT_EQ(b.gainDb, c.gainOut) << "key " << c.key;
        EXPECT_NEAR(b.q, c.qOut, 1e-5) << "key " << c.key;
        EXPECT_EQ(changed.size(), before + 1);
    }
}

TEST_F(EqPanelInput, CommaAndPeriodStepTheTypeWithinPeqToHighShelf) {
    PlaceBand(2, 1, 400.0f, 3.0f);
    panel.SetSelected(2);
    QTest::keyClick(&panel, Qt::Key_Comma);
    EXPECT_EQ(panel.Band(2).type, 1);
    QTest::keyClick(&panel, Qt::Key_Period);
    EXPECT_EQ(panel.Band(2).type, 2);
    EXPECT_EQ(panel.Band(2).gainDb, 0.0f);
    for (int i = 0; i < 5; ++i) {
        QTest::keyClick(&panel, Qt::Key_Period);
    }
    EXPECT_EQ(panel.Band(2).type, 5);
}

TEST_F(EqPanelInput, SelectionKeysAndSwallowedKeys) {
    const std::size_t before = changed.size();
    QTest::keyClick(&panel, Qt::Key_Right);
    QTest::keyClick(&panel, Qt::Key_3);
    EXPECT_EQ(panel.Selected(), -1) << "without a selection keys do nothing";
    panel.SetSelected(4);
    QTest::keyClick(&panel, Qt::Key_PageUp);
    EXPECT_EQ(panel.Selected(), 3);
    QTest::keyClick(&panel, Qt::Key_End);
    EXPECT_EQ(panel.Selected(), 9);
    QTest::keyClick(&panel, Qt::Key_PageDown);
    EXPECT_EQ(panel.Selected(), 9);
    QTest::keyClick(&panel, Qt::Key_Home);
    QTest::keyClick(&panel, Qt::Key_PageUp);
    EXPECT_EQ(panel.Selected(), 0);
    EXPECT_EQ(changed.size(), before) << "selection keys only repaint";
    QTest::keyClick(&panel, Qt::Key_7, Qt::KeypadModifier);
    EXPECT_EQ(panel.Selected(), 6);
    ASSERT_EQ(picked, std::vector<int>{6});
}

TEST_F(EqPanelInput, DigitsOnAChannelPanelPickTheCrossover) {
    panel.SetKind(8);
    panel.SetBandCount(13);
    panel.SetSelected(2);
    QTest::keyClick(&panel, Qt::Key_0);
    EXPECT_EQ(panel.Selected(), 9);
    ASSERT_EQ(picked, std::vector<int>{9});
    panel.SetBandType(9, 18);
    const std::size_t before = changed.size();
    QTest::keyClick(&panel, Qt::Key_Comma);
    QTest::keyClick(&panel, Qt::Key_Period);
    EXPECT_EQ(panel.Band(9).type, 18) << "the crossover keeps its sections";
    EXPECT_EQ(changed.size(), before);
    QTest::keyClick(&panel, Qt::Key_End);
    EXPECT_EQ(panel.Selected(), 9) << "hidden sections are not selectable";
    EXPECT_EQ(panel.VisibleBandCount(), 10);
}

TEST_F(EqPanelInput, HiddenSectionsHaveNoHandles) {
    panel.SetKind(7);
    panel.SetBandCount(13);
    panel.Band(11).freqHz = 100.0f; // away from every visible band
    const QPoint at = HandleAt(11);
    QTest::mouseMove(&panel, at);
    EXPECT_EQ(panel.Hover(), -1);
    QTest::mousePress(&panel, Qt::LeftButton, Qt::NoModifier, at);
    EXPECT_EQ(panel.Selected(), -1);
    QTest::mouseRelease(&panel, Qt::LeftButton, Qt::NoModifier, at);
    EXPECT_EQ(deselects, 1);
}

TEST_F(EqPanelInput, LockedPanelIgnoresPresses) {
    PlaceBand(1, 1, 700.0f, 2.0f);
    panel.SetLocked(true);
    QTest::mousePress(&panel, Qt::LeftButton, Qt::NoModifier, HandleAt(1));
    QTest::mouseRelease(&panel, Qt::LeftButton, Qt::NoModifier, HandleAt(1));
    EXPECT_EQ(panel.Selected(), -1);
    EXPECT_TRUE(changed.empty());
    EXPECT_EQ(deselects, 0);
}

TEST_F(EqPanelInput, TitlesFollowKindAndLanguage) {
    const std::tuple<int, const char*, const char*> cases[] = {{0, "话筒A均衡", "Mic A EQ"},
                                                               {3, "混响B均衡", "Reverb B EQ"},
                                                               {6, "音乐均衡", "Music EQ"},
                                                               {7, "通道1均衡", "CH1 EQ"},
                                                               {14, "通道8均衡", "CH8 EQ"}};
    for (const auto& [kind, zh, en] : cases) {
        panel.SetKind(kind);
        panel.SetLanguage(0);
        EXPECT_EQ(panel.Title(), QString::fromUtf8(zh));
        panel.SetLanguage(1);
        EXPECT_EQ(panel.Title(), QString::fromUtf8(en));
    }
}

TEST_F(EqPanelInput, PaintingDrawsTheSummedCurve) {
    PlaceBand(0, 1, 1000.0f, 12.0f);
    PlaceBand(8, 1, 9000.0f, -9.0f);
    panel.SetCurveColour(0xFFFF00FF);
    const QImage image = panel.grab().toImage();
    const QRect plot = panel.PlotRect();
    for (int i : {60, 200, 330, 480}) {
        const int x = plot.left() + i * plot.width() / kEqResponsePoints;
        const int y = plot.top() + int(std::lround(panel.GainToPlotY(panel.TotalResponse(i))));
        bool found = false;
        for (int dy = -2; dy <= 2 && !found; ++dy) {
            const QColor c = image.pixelColor(x, y + dy);
            found = c.red() > 150 && c.green() < 100 && c.blue() > 150;
        }
        EXPECT_TRUE(found) << "curve missing at point " << i;
    }
}

} // namespace
} // namespace kv
