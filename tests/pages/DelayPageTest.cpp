#include "OutputPageTestUtil.h"
#include "ValueNotes.h"

#include "controls/CDelayPanel.h"
#include "image/ParamImage.h"
#include "pages/CDelayDlg.h"
#include "pages/EditHistory.h"
#include "pages/UpDownControl.h"
#include "protocol/DelayOperations.h"
#include "protocol/Equaliser.h"
#include "shell/Language.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QToolButton>
#include <QUndoStack>

#include <gtest/gtest.h>

namespace kv {
namespace {

using namespace fields;
using test::ParamItems;
using test::ParamsOf;
using test::RecordingSink;
using test::ValueOf;
using test::WordOf;

class DelayPageTest : public ::testing::Test {
protected:
    void SetUp() override {
        GetParamImage().InitDefaults();
        for (int c = 0; c < 8; ++c) {
            GetParamImage().SetFloat(outDelay, c, 20.0f);
            SetDelayCrossover(c, 5); // 1000 Hz / 1500 Hz, high-frequency delay
        }
        test::OpenPage(m_page, m_stack);
    }
    void TearDown() override { test::ClosePage(m_page); }

    void Type(int c, const QString& text) {
        QLineEdit* box = m_page->DelayBox(c);
        box->setFocus();
        box->selectAll();
        QTest::keyClicks(box, text);
        QTest::keyClick(box, Qt::Key_Return);
    }

    /// The band records written and biquads sent for bands 13 and 14 of channel c.
    static void ExpectCrossoverBands(const RecordingSink& sink, int c, double f, int lowType,
                                     int highType) {
        const ParamImage& image = GetParamImage();
        const EqBand low = image.ReadBand(c + 5, kCrossoverLowBand);
        const EqBand high = image.ReadBand(c + 5, kCrossoverHighBand);
        EXPECT_NEAR(low.freqHz, f, 0.5);
        EXPECT_NEAR(high.freqHz, f + 500, 0.5);
        EXPECT_EQ(low.type, lowType);
        EXPECT_EQ(high.type, highType);
        int stores = 0;
        std::vector<int> biquads;
        for (const auto& r : sink.Commands()) {
            stores += r.IsStoreWrite();
            for (int band : {kCrossoverLowBand, kCrossoverHighBand}) {
                const auto cmd = EqBandCommand(c + 5, band);
                if (r.IsParam() && cmd && r.Module() == cmd->module && r.Item() == cmd->item) {
                    biquads.push_back(band);
                }
            }
        }
        EXPECT_EQ(stores, 2);
        EXPECT_EQ(biquads, (std::vector<int>{kCrossoverLowBand, kCrossoverHighBand}));
    }

    QUndoStack m_stack;
    std::unique_ptr<CDelayDlg> m_page;
};

TEST_F(DelayPageTest, TypedDelaysAreLimitedStoredAndSentAsSamples) {
    struct Case {
        const char* typed;
        const char* shown;
        float stored;
        int samples; // -1: nothing sent
    };
    const Case cases[] = {
        {"0.5", "1.5ms", 1.5f, 72},       {"100", "100.0ms", 100.0f, 4800},
        {"150", "100.0ms", 100.0f, 4800}, {"abc", "1.5ms", 1.5f, 72},
        {"12.5ms", "12.5ms", 12.5f, 600}, {"20", "20.0ms", 20.0f, -1},
    };
    for (const Case& c : cases) {
        GetParamImage().SetFloat(outDelay, 2, 20.0f);
        m_page->RefreshFromImage();
        RecordingSink sink;
        Type(2, QString::fromUtf8(c.typed));
        EXPECT_EQ(m_page->DelayBox(2)->text(), QString::fromUtf8(c.shown)) << c.typed;
        EXPECT_FLOAT_EQ(GetParamImage().Float(outDelay, 2), c.stored) << c.typed;
        const auto sent = ParamsOf(sink, 7, 18);
        if (c.samples < 0) {
            EXPECT_TRUE(sink.Commands().empty()) << c.typed;
        } else {
            ASSERT_EQ(sent.size(), 1u) << c.typed;
            EXPECT_EQ(WordOf(sent[0], 0), static_cast<std::uint32_t>(c.samples)) << c.typed;
            EXPECT_EQ(ParamItems(sink).size(), 1u) << c.typed; // no other channel
        }
        EXPECT_EQ(m_page->UpDown(2)->Pos(), static_cast<int>(c.stored * 10.0f + 0.001f));
        EXPECT_NEAR(m_page->Panel()->ChannelAt(2).value, c.stored, 0.01) << c.typed;
    }
}

TEST_F(DelayPageTest, TypedDelaysTakeUnitsAndSayWhenTheyWereLimited) {
    struct Case {
        const char* typed;
        float stored;
        bool noted;
    };
    const Case cases[] = {
        {"0.05 s", 50.0f, false}, {"7.5 ms", 7.5f, false}, {"150", 100.0f, true},
        {"0.2ms", 1.5f, true},    {"abc", 1.5f, false}, // no number: the lowest delay, as before,
                                                        // without a note
    };
    for (const Case& c : cases) {
        GetParamImage().SetFloat(outDelay, 2, 20.0f);
        m_page->RefreshFromImage();
        test::ValueNotes notes;
        Type(2, QString::fromUtf8(c.typed));
        EXPECT_FLOAT_EQ(GetParamImage().Float(outDelay, 2), c.stored) << c.typed;
        const QStringList said = notes.Take();
        ASSERT_EQ(said.size(), c.noted ? 1 : 0) << c.typed;
        if (c.noted) {
            EXPECT_TRUE(said[0].endsWith(m_page->DelayBox(2)->text())) << said[0].toStdString();
        }
    }
}

TEST_F(DelayPageTest, ModeSwitchSendsTheModeAndRewritesBothCrossoverBands) {
    RecordingSink sink;
    test::ClickBox(m_page->ChannelRadio(1));
    const auto mode = ParamsOf(sink, 6, 17);
    ASSERT_EQ(mode.size(), 1u);
    EXPECT_FLOAT_EQ(ValueOf(mode[0], 0), 1.0f);
    EXPECT_FLOAT_EQ(ValueOf(mode[0], 1), 0.0f);
    EXPECT_EQ(GetParamImage().Int(outDelayMode, 1), 1);
    ExpectCrossoverBands(sink, 1, 1000, kFilterPeq, kFilterPeq);
    EXPECT_FALSE(m_page->CrossoverSlider(1)->IsSliderEnabled());

    sink.Clear();
    test::ClickBox(m_page->HighFreqRadio(1));
    ASSERT_EQ(ParamsOf(sink, 6, 17).size(), 1u);
    EXPECT_FLOAT_EQ(ValueOf(ParamsOf(sink, 6, 17)[0], 1), 1.0f);
    ExpectCrossoverBands(sink, 1, 1000, 3, 2);
    EXPECT_TRUE(m_page->CrossoverSlider(1)->IsSliderEnabled());
}

TEST_F(DelayPageTest, CrossoverSliderAtItsLastPositionGivesThreeThousandHertz) {
    RecordingSink sink;
    test::DragSliderTo(*m_page->CrossoverSlider(4), 25);
    EXPECT_EQ(m_page->CrossoverLabel(4)->text(), QStringLiteral("3000Hz"));
    EXPECT_EQ(GetDelayCrossoverIndex(4), 25);
    const EqBand low = GetParamImage().ReadBand(9, kCrossoverLowBand);
    const EqBand high = GetParamImage().ReadBand(9, kCrossoverHighBand);
    EXPECT_NEAR(low.freqHz, 3000, 0.5);
    EXPECT_NEAR(high.freqHz, 3500, 0.5);
    EXPECT_EQ(low.type, 3);
    EXPECT_EQ(high.type, 2);
    EXPECT_EQ(m_stack.count(), 1);
    m_stack.undo();
    EXPECT_EQ(GetDelayCrossoverIndex(4), 5);
    EXPECT_EQ(m_page->CrossoverLabel(4)->text(), QStringLiteral("1000Hz"));
}

TEST_F(DelayPageTest, SwitchSendsTheOffFlagAndFollowsTheEnablingRule) {
    RecordingSink sink;
    test::ClickBox(m_page->Switch(6));
    const auto off = ParamsOf(sink, 11, 19);
    ASSERT_EQ(off.size(), 1u);
    EXPECT_EQ(WordOf(off[0], 0), 1u);
    EXPECT_EQ(GetParamImage().Int(outDelayOff, 6), 1);
    EXPECT_FALSE(m_page->CrossoverSlider(6)->IsSliderEnabled());
    EXPECT_FALSE(m_page->HighFreqRadio(6)->isEnabled());
    EXPECT_FALSE(m_page->DelayBox(6)->isEnabled());
    EXPECT_FALSE(m_page->NameLabel(6)->isEnabled());

    // Back on in channel-delay mode: everything but the crossover comes back.
    GetParamImage().SetInt(outDelayMode, 6, 1);
    m_page->RefreshFromImage();
    test::ClickBox(m_page->Switch(6));
    EXPECT_EQ(GetParamImage().Int(outDelayOff, 6), 0);
    EXPECT_TRUE(m_page->ChannelRadio(6)->isChecked());
    EXPECT_TRUE(m_page->DelayBox(6)->isEnabled());
    EXPECT_FALSE(m_page->CrossoverSlider(6)->IsSliderEnabled());
    EXPECT_FALSE(m_page->CrossoverLabel(6)->isEnabled());
}

TEST_F(DelayPageTest, DraggingAMarkerPastTheAxisStopsAtOneHundredMilliseconds) {
    CDelayPanel* panel = m_page->Panel();
    const QPoint start = panel->MarkerCentre(0);
    RecordingSink sink;
    QTest::mousePress(panel, Qt::LeftButton, Qt::NoModifier, start);
    QTest::mouseMove(panel, start + QPoint(40, 0));
    QTest::mouseMove(panel, QPoint(panel->width() + 200, start.y()));
    QTest::mouseRelease(panel, Qt::LeftButton, Qt::NoModifier,
                        QPoint(panel->width() + 200, start.y()));
    EXPECT_FLOAT_EQ(GetParamImage().Float(outDelay, 0), 100.0f);
    EXPECT_EQ(m_page->DelayBox(0)->text(), QStringLiteral("100.0ms"));
    const auto sent = ParamsOf(sink, 5, 18);
    ASSERT_GE(sent.size(), 2u);
    EXPECT_EQ(WordOf(sent.back(), 0), 4800u);
    EXPECT_EQ(ParamItems(sink).size(), sent.size()); // only channel 1
    EXPECT_EQ(m_stack.count(), 1);                   // the whole drag
}

TEST_F(DelayPageTest, UpDownStepsByATenthAndStopsAtTheLowestDelay) {
    GetParamImage().SetFloat(outDelay, 3, 1.6f);
    m_page->RefreshFromImage();
    RecordingSink sink;
    QToolButton* down = m_page->UpDown(3)->DownButton();
    QTest::mouseClick(down, Qt::LeftButton);
    EXPECT_FLOAT_EQ(GetParamImage().Float(outDelay, 3), 1.5f);
    QTest::mouseClick(down, Qt::LeftButton);
    EXPECT_FLOAT_EQ(GetParamImage().Float(outDelay, 3), 1.5f);
    EXPECT_EQ(m_page->DelayBox(3)->text(), QStringLiteral("1.5ms"));
    // One command for the step to 1.5 ms; the step that stays there sends nothing.
    ASSERT_EQ(ParamsOf(sink, 8, 18).size(), 1u);
    EXPECT_EQ(WordOf(ParamsOf(sink, 8, 18)[0], 0), 72u);
    QTest::mouseClick(m_page->UpDown(3)->UpButton(), Qt::LeftButton);
    EXPECT_FLOAT_EQ(GetParamImage().Float(outDelay, 3), 1.7f);
}

TEST_F(DelayPageTest, ValuesOutsideTheirRangesAreShownLimitedWithoutSending) {
    ParamImage& image = GetParamImage();
    image.SetFloat(outDelay, 5, 250.0f);
    image.WriteBand(10, kCrossoverLowBand, 0, 1234, 0.707, 3); // in no row of the table
    image.SetInt(outDelayMode, 5, 7);
    RecordingSink sink;
    m_page->RefreshFromImage();
    EXPECT_TRUE(sink.Commands().empty());
    EXPECT_EQ(m_page->DelayBox(5)->text(), QStringLiteral("100.0ms"));
    EXPECT_EQ(m_page->CrossoverLabel(5)->text(), QStringLiteral("500Hz"));
    EXPECT_NEAR(image.ReadBand(10, kCrossoverLowBand).freqHz, 1234, 0.5);
    EXPECT_FLOAT_EQ(image.Float(outDelay, 5), 250.0f);
}

} // namespace
} // namespace kv
