#include "OutputPageTestUtil.h"
#include "ValueNotes.h"

#include "controls/CEqPanel.h"
#include "controls/CXBmpSlider.h"
#include "image/ParamImage.h"
#include "pages/CDialogOutput.h"
#include "pages/ChannelLink.h"
#include "pages/EditHistory.h"
#include "pages/EqBandEditor.h"
#include "pages/EqBandTable.h"
#include "pages/OutputEqSection.h"
#include "protocol/CoefficientEncoders.h"
#include "protocol/DelayOperations.h"
#include "protocol/Equaliser.h"
#include "shell/AppState.h"
#include "shell/Language.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QUndoStack>

#include <gtest/gtest.h>

#include <cmath>
#include <set>

namespace kv {
namespace {

using namespace fields;
using test::ParamItems;
using test::ParamsOf;
using test::RecordingSink;
using test::ValueOf;
using test::WordOf;

/// The band groups (module of the biquad command) of every band write a sink saw, and how
/// many store writes of band records came with them.
struct BandWrites {
    std::multiset<std::pair<int, int>> biquads; ///< (group, band)
    int stores = 0;
};

BandWrites BandWritesOf(const RecordingSink& sink) {
    BandWrites w;
    for (const auto& r : sink.Commands()) {
        w.stores += r.IsStoreWrite();
        if (!r.IsParam()) {
            continue;
        }
        for (int group = 5; group <= 12; ++group) {
            for (int band = 0; band <= 14; ++band) {
                const auto cmd = EqBandCommand(group, band);
                if (cmd && cmd->module == r.Module() && cmd->item == r.Item() &&
                    r.Count() == kBiquadValues) {
                    w.biquads.insert({group, band});
                }
            }
        }
    }
    return w;
}

class OutputPageTest : public ::testing::Test {
protected:
    void SetUp() override {
        GetParamImage().InitDefaults();
        for (int c = 0; c < 8; ++c) {
            ResetEq(7 + c);
            GetParamImage().SetFloat(outDelay, c, 10.0f);
            GetParamImage().SetFloat(outCompRatio, c, 2.0f);
            GetParamImage().SetFloat(outCompAttack, c, 10.0f);
            GetParamImage().SetFloat(outCompRelease, c, 100.0f);
            SetDelayCrossover(c, 0);
        }
        GetAppState().option = kDefaultOptionRecord; // CH1+CH2, CH3+CH4, CH7+CH8 linked
        SetLanguageIndex(kEnglish);
        LoadCurrentLanguageTable();
        SetEditHistory(&m_stack, [this] { m_page->RefreshFromImage(); });
        m_page = std::make_unique<CDialogOutput>(0);
        m_page->ApplyLanguage();
        test::ShowAt(*m_page, 1040, 600);
    }
    void TearDown() override {
        m_page.reset();
        SetEditHistory(nullptr);
    }

    CEqPanel* Panel() const { return static_cast<CEqPanel*>(m_page->Control(1040)); }

    void DragBand(int band) {
        CEqPanel* panel = Panel();
        const QPoint start = panel->HandlePos(band) + panel->PlotRect().topLeft();
        QTest::mousePress(panel, Qt::LeftButton, Qt::NoModifier, start);
        QTest::mouseMove(panel, start + QPoint(10, -20));
        QTest::mouseMove(panel, start + QPoint(20, -30));
        QTest::mouseRelease(panel, Qt::LeftButton, Qt::NoModifier, start + QPoint(20, -30));
    }

    QUndoStack m_stack;
    std::unique_ptr<CDialogOutput> m_page;
};

TEST_F(OutputPageTest, BandDragWritesBothLinkedChannelsAndOnlyOneOnceUnlinked) {
    RecordingSink sink;
    DragBand(2);
    BandWrites w = BandWritesOf(sink);
    ASSERT_GE(w.biquads.count({5, 2}), 2u);
    EXPECT_EQ(w.biquads.count({6, 2}), w.biquads.count({5, 2}));
    EXPECT_EQ(w.biquads.size(), 2 * w.biquads.count({5, 2})); // nothing else
    EXPECT_EQ(static_cast<std::size_t>(w.stores), w.biquads.size());
    const EqBand one = GetParamImage().ReadBand(5, 2);
    const EqBand two = GetParamImage().ReadBand(6, 2);
    EXPECT_GT(one.gainDb, 0.0);
    EXPECT_EQ(one.gainDb, two.gainDb);
    EXPECT_EQ(one.freqHz, two.freqHz);
    EXPECT_EQ(m_page->Eq()->Selected(), 2);

    test::ClickBox(m_page->LinkBox(0));
    EXPECT_EQ(GetAppState().option[0], 0);
    sink.Clear();
    DragBand(2);
    w = BandWritesOf(sink);
    EXPECT_GE(w.biquads.count({5, 2}), 2u);
    EXPECT_EQ(w.biquads.count({6, 2}), 0u);
}

TEST_F(OutputPageTest, CrossoverSlopeProgramsTheFourSectionsOnEveryLinkedChannel) {
    m_page->SelectBand(9);
    auto* editor = m_page->findChild<EqBandEditor*>();
    ASSERT_NE(editor, nullptr);
    test::ClickBox(editor->TypeRadio(kFilterLowPass));
    auto* slope = static_cast<QComboBox*>(m_page->Control(1134));
    ASSERT_TRUE(slope->isVisible());

    slope->setFocus();
    QTest::keyClick(slope, Qt::Key_Home);
    ASSERT_EQ(slope->currentIndex(), 0);
    RecordingSink sink;
    QTest::keyClick(slope, Qt::Key_Down);
    EXPECT_EQ(slope->currentText(), QStringLiteral("LinkwitzRiely 24dB"));
    for (int group : {5, 6}) {
        const std::array<int, 4> expected = {12, 12, 1, 1};
        for (int b = 0; b < 4; ++b) {
            EXPECT_EQ(GetParamImage().ReadBand(group, 9 + b).type, expected[std::size_t(b)])
                << group << " band " << 9 + b;
        }
    }
    const BandWrites w = BandWritesOf(sink);
    EXPECT_EQ(w.stores, 8);
    EXPECT_EQ(w.biquads.size(), 8u);
    for (int group : {5, 6}) {
        for (int b = 9; b <= 12; ++b) {
            EXPECT_EQ(w.biquads.count({group, b}), 1u) << group << " " << b;
        }
    }
    auto* table = m_page->findChild<EqBandTable*>();
    EXPECT_EQ(table->item(9, EqBandTable::kType)->text(), QStringLiteral("LP"));
}

TEST_F(OutputPageTest, LinkQuestionCopiesTheChosenChannelOrLeavesTheBoxUnchecked) {
    struct Case {
        int choice; // 1 CH3 onto CH4, 2 CH4 onto CH3, 0 Cancel, -1 closed
        bool linked;
        float delay3, delay4;
    };
    const Case cases[] = {
        {1, true, 30.0f, 30.0f},
        {2, true, 45.0f, 45.0f},
        {0, false, 30.0f, 45.0f},
        {-1, false, 30.0f, 45.0f},
    };
    for (const Case& c : cases) {
        GetAppState().option[1] = 0;
        GetParamImage().SetFloat(outDelay, 2, 30.0f);
        GetParamImage().SetFloat(outDelay, 3, 45.0f);
        m_page->SelectChannel(2);
        ASSERT_FALSE(m_page->LinkBox(1)->isChecked());
        test::QuestionAnswer answer;
        answer.choice = c.choice;
        answer.Arm();
        test::ClickBox(m_page->LinkBox(1));
        EXPECT_TRUE(answer.asked) << c.choice;
        EXPECT_EQ(answer.message, QStringLiteral("Parameter is different, Is need set same?"));
        EXPECT_EQ(answer.first, QStringLiteral("Both set CH3"));
        EXPECT_EQ(answer.second, QStringLiteral("Both set CH4"));
        EXPECT_EQ(m_page->LinkBox(1)->isChecked(), c.linked) << c.choice;
        EXPECT_EQ(GetAppState().option[1], c.linked ? 1 : 0) << c.choice;
        EXPECT_FLOAT_EQ(GetParamImage().Float(outDelay, 2), c.delay3) << c.choice;
        EXPECT_FLOAT_EQ(GetParamImage().Float(outDelay, 3), c.delay4) << c.choice;
        EXPECT_EQ(ChannelsEqual(2, 3), c.linked) << c.choice;
    }
    // Identical channels are linked without a question.
    GetAppState().option[1] = 0;
    SyncChannels(2, 3);
    m_page->RefreshFromImage();
    test::QuestionAnswer never; // answers Cancel should a question come after all
    never.Arm();
    test::ClickBox(m_page->LinkBox(1));
    QTest::qWait(20);
    EXPECT_FALSE(never.asked);
    EXPECT_EQ(GetAppState().option[1], 1);
}

TEST_F(OutputPageTest, LinkedEditsReachThePartnerAndPerChannelControlsDoNot) {
    struct Case {
        const char* what;
        int channel;
        std::function<void(CDialogOutput&)> act;
        std::vector<std::pair<int, int>> items; // the parameter commands, in order
    };
    const Case cases[] = {
        {"direct level",
         0,
         [](CDialogOutput& p) { test::DragSliderTo(*p.Slider(1041), 60); },
         {{5, 20}, {6, 20}}},
        {"delay switch",
         6,
         [](CDialogOutput& p) { test::ClickBox(p.Control(1293)); },
         {{11, 19}, {12, 19}}},
        {"compressor switch",
         3,
         [](CDialogOutput& p) { test::ClickBox(p.Control(1081)); },
         {{8, 28}, {7, 28}}},
        {"CH5 level",
         4,
         [](CDialogOutput& p) { test::DragSliderTo(*p.Slider(1042), 40); },
         {{9, 21}}},
        {"mute of CH2", 0, [](CDialogOutput& p) { test::ClickBox(p.MuteBox(1)); }, {{6, 26}}},
        {"phase of CH8", 6, [](CDialogOutput& p) { test::ClickBox(p.PhaseBox(7)); }, {{12, 25}}},
    };
    for (const Case& c : cases) {
        m_page->SelectChannel(c.channel);
        RecordingSink sink;
        c.act(*m_page);
        // Each (module, item) once, in the order first sent (a drag sends every step).
        std::vector<std::pair<int, int>> items;
        for (const auto& item : ParamItems(sink)) {
            if (std::find(items.begin(), items.end(), item) == items.end()) {
                items.push_back(item);
            }
        }
        EXPECT_EQ(items, c.items) << c.what;
    }
    EXPECT_EQ(GetParamImage().Int(outDirectLevel, 1), 60);
    EXPECT_EQ(GetParamImage().Int(outMute, 1), 1);
    EXPECT_EQ(GetParamImage().Int(outMute, 0), 0);
}

TEST_F(OutputPageTest, DelaySliderSendsChangedValuesToTheLinkedPair) {
    RecordingSink sink;
    CXBmpSlider* slider = m_page->Slider(1019);
    test::DragSliderTo(*slider, 200);
    // The track has fewer pixels than values: the arrow keys take it the rest of the way.
    while (slider->Pos() != 200) {
        QTest::keyClick(slider, slider->Pos() < 200 ? Qt::Key_Right : Qt::Key_Left);
    }
    EXPECT_FLOAT_EQ(GetParamImage().Float(outDelay, 0), 20.0f);
    EXPECT_FLOAT_EQ(GetParamImage().Float(outDelay, 1), 20.0f);
    ASSERT_FALSE(ParamsOf(sink, 6, 18).empty());
    EXPECT_EQ(WordOf(ParamsOf(sink, 6, 18).back(), 0), 960u);
    EXPECT_EQ(static_cast<QLabel*>(m_page->Control(1038))->text(), QStringLiteral("20.0ms"));
    sink.Clear();
    m_page->Slider(1019)->setFocus();
    QTest::keyClick(m_page->Slider(1019), Qt::Key_Right);
    QTest::keyClick(m_page->Slider(1019), Qt::Key_Left);
    EXPECT_EQ(ParamsOf(sink, 5, 18).size(), 2u);
    sink.Clear();
    // A press on the thumb that does not move it sends nothing.
    const QPoint thumb = slider->ThumbRect().center();
    QTest::mousePress(slider, Qt::LeftButton, Qt::NoModifier, thumb);
    QTest::mouseRelease(slider, Qt::LeftButton, Qt::NoModifier, thumb);
    EXPECT_TRUE(ParamsOf(sink, 5, 18).empty());
}

TEST_F(OutputPageTest, CompressorSliderSendsTheCurrentChannelsValuesToBoth) {
    GetParamImage().SetFloat(outCompThreshold, 0, -20.0f);
    GetParamImage().SetFloat(outCompThreshold, 1, -5.0f);
    m_page->RefreshFromImage();
    RecordingSink sink;
    m_page->Slider(1016)->setFocus();
    QTest::keyClick(m_page->Slider(1016), Qt::Key_Right); // ratio 2.0 -> 2.1
    const DynamicsRecord expected = BuildDynamicsRecord(-20.0f, 2.1f, 10.0f, 100.0f);
    for (int module : {5, 6}) {
        const auto sent = ParamsOf(sink, module, 27);
        ASSERT_EQ(sent.size(), 1u) << module;
        for (int k = 0; k < kDynamicsValues; ++k) {
            EXPECT_FLOAT_EQ(ValueOf(sent[0], k), expected[std::size_t(k)]) << module << " " << k;
        }
    }
}

TEST_F(OutputPageTest, BandEditorBoxesFollowTheirRules) {
    m_page->SelectBand(4);
    auto* editor = m_page->findChild<EqBandEditor*>();
    const float q = Panel()->Band(4).q;
    auto type = [](QLineEdit* box, const char* text) {
        box->setFocus();
        box->selectAll();
        QTest::keyClicks(box, QString::fromUtf8(text));
        QTest::keyClick(box, Qt::Key_Return);
    };
    RecordingSink sink;
    type(editor->FreqBox(), "5");
    EXPECT_NEAR(GetParamImage().ReadBand(5, 4).freqHz, 20.0, 0.5);
    EXPECT_NEAR(GetParamImage().ReadBand(6, 4).freqHz, 20.0, 0.5);
    type(editor->QBox(), "");
    EXPECT_FLOAT_EQ(Panel()->Band(4).q, q);
    type(editor->GainBox(), "-4.5");
    EXPECT_NEAR(GetParamImage().ReadBand(5, 4).gainDb, -4.5, 0.05);
    EXPECT_EQ(BandWritesOf(sink).biquads.count({7, 4}), 0u);
}

TEST_F(OutputPageTest, BandBoxesTakeUnitsAndSayWhenAValueWasLimited) {
    m_page->SelectBand(4);
    auto* editor = m_page->findChild<EqBandEditor*>();
    enum Box { kFreq, kGain, kQ };
    struct Case {
        Box box;
        const char* typed;
        double stored;
        const char* shown;
        const char* note; // empty: none
    };
    const Case cases[] = {
        {kFreq, "2k", 2000, "2000Hz", ""},
        {kFreq, "2.5 kHz", 2500, "2500Hz", ""},
        {kFreq, "440Hz", 440, "440Hz", ""},
        {kFreq, "30000", 20000, "20000Hz", "30000Hz is out of range: set to 20000Hz"},
        {kGain, "+3dB", 3, "+3.0dB", ""},
        {kGain, "-20 dB", -15, "-15.0dB", "-20.0dB is out of range: set to -15.0dB"},
        {kQ, "40", 30, "30.00", "40.00 is out of range: set to 30.00"},
    };
    for (const Case& c : cases) {
        test::ValueNotes notes;
        QLineEdit* box = c.box == kFreq   ? editor->FreqBox()
                         : c.box == kGain ? editor->GainBox()
                                          : editor->QBox();
        box->setFocus();
        box->selectAll();
        QTest::keyClicks(box, QString::fromUtf8(c.typed));
        QTest::keyClick(box, Qt::Key_Return);
        const EqBand band = GetParamImage().ReadBand(5, 4);
        const double stored = c.box == kFreq ? band.freqHz : c.box == kGain ? band.gainDb : band.q;
        EXPECT_NEAR(stored, c.stored, 0.01) << c.typed;
        EXPECT_EQ(box->text(), QString::fromUtf8(c.shown)) << c.typed;
        notes.Expect(c.note, c.typed);
    }
}

TEST_F(OutputPageTest, FrequencySliderIsLogarithmicWithOneKilohertzInTheMiddle) {
    m_page->SelectBand(4);
    auto* editor = m_page->findChild<EqBandEditor*>();
    CXBmpSlider* slider = editor->FreqSlider();
    struct Case {
        const char* typed;
        int position;
    };
    const Case cases[] = {{"20", 0}, {"1000", slider->Maximum() / 2}, {"20000", slider->Maximum()}};
    for (const Case& c : cases) {
        QLineEdit* box = editor->FreqBox();
        box->setFocus();
        box->selectAll();
        QTest::keyClicks(box, QString::fromUtf8(c.typed));
        QTest::keyClick(box, Qt::Key_Return);
        EXPECT_EQ(slider->Pos(), c.position) << c.typed;
    }
    // From the bottom, every arrow press moves the band up, in ratios not in hertz (the band
    // record keeps whole hertz).
    slider->setFocus();
    QTest::keyClick(slider, Qt::Key_Home);
    double previous = Panel()->Band(4).freqHz;
    EXPECT_NEAR(previous, 20.0, 0.01);
    for (int press = 1; press <= 3; ++press) {
        QTest::keyClick(slider, Qt::Key_Up);
        const double now = Panel()->Band(4).freqHz;
        EXPECT_GT(now, previous) << press;
        EXPECT_EQ(slider->Pos(), press);
        EXPECT_NEAR(GetParamImage().ReadBand(5, 4).freqHz, now, 0.5) << press;
        previous = now;
    }
    QTest::keyClick(slider, Qt::Key_PageUp);
    EXPECT_NEAR(Panel()->Band(4).freqHz / previous, std::pow(50.0, 10.0 / (slider->Maximum() / 2)),
                1e-4);
}

TEST_F(OutputPageTest, BadStoredValuesAreShownAsTheNearestChoiceWithoutSending) {
    ParamImage& image = GetParamImage();
    image.SetInt(outRole, 3, 9);
    image.SetFloat(outDelay, 0, 500.0f);
    image.WriteBand(5, 9, 0, 80, 0.7, 23); // a section code that matches no slope
    RecordingSink sink;
    m_page->RefreshFromImage();
    EXPECT_TRUE(sink.Commands().empty());
    EXPECT_EQ(m_page->RoleCombo(3)->currentIndex(), 7);
    EXPECT_EQ(static_cast<QLabel*>(m_page->Control(1038))->text(), QStringLiteral("100.0ms"));
    auto* table = m_page->findChild<EqBandTable*>();
    EXPECT_EQ(table->item(9, EqBandTable::kType)->text(), QStringLiteral("OFF"));
    EXPECT_EQ(image.Int(outRole, 3), 9);
    // Choosing a role stores and sends that channel's role alone.
    m_page->RoleCombo(3)->setFocus();
    QTest::keyClick(m_page->RoleCombo(3), Qt::Key_Up);
    EXPECT_EQ(image.Int(outRole, 3), 6);
    EXPECT_EQ(ParamItems(sink), (std::vector<std::pair<int, int>>{{8, 16}}));
}

} // namespace
} // namespace kv
