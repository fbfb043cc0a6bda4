#include "OutputPageTestUtil.h"

#include "controls/CCompressPanelPlus.h"
#include "image/ParamImage.h"
#include "pages/CCompDlg.h"
#include "pages/CDlgMsgBox.h"
#include "pages/EditHistory.h"
#include "protocol/CoefficientEncoders.h"
#include "shell/AppState.h"
#include "shell/Language.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QUndoStack>

#include <gtest/gtest.h>

namespace kv {
namespace {

using namespace fields;
using test::ParamItems;
using test::ParamsOf;
using test::RecordingSink;
using test::ValueOf;

class CompPageTest : public ::testing::Test {
protected:
    void SetUp() override {
        GetParamImage().InitDefaults();
        GetAppState().option = kDefaultOptionRecord; // every pair linked
        test::OpenPage(m_page, m_stack);
    }
    void TearDown() override { test::ClosePage(m_page); }

    static void StoreCompressor(int c, float threshold, float ratio, float attack, float release) {
        ParamImage& image = GetParamImage();
        image.SetFloat(outCompThreshold, c, threshold);
        image.SetFloat(outCompRatio, c, ratio);
        image.SetFloat(outCompAttack, c, attack);
        image.SetFloat(outCompRelease, c, release);
    }

    QUndoStack m_stack;
    std::unique_ptr<CCompDlg> m_page;
};

TEST_F(CompPageTest, RatioSliderSendsTheRecordWithTheStoredValuesToTheChosenChannelOnly) {
    // Channel 1 is linked with channel 2; the page still reaches channel 1 alone.
    StoreCompressor(0, -20.0f, 4.1f, 12.0f, 300.0f);
    StoreCompressor(1, -20.0f, 4.1f, 12.0f, 300.0f);
    m_page->RefreshFromImage();
    ASSERT_EQ(m_page->Slider(1)->Pos(), 41);
    RecordingSink sink;
    m_page->Slider(1)->setFocus();
    QTest::keyClick(m_page->Slider(1), Qt::Key_Left);

    EXPECT_EQ(ParamItems(sink), (std::vector<std::pair<int, int>>{{5, 27}}));
    const auto sent = ParamsOf(sink, 5, 27);
    ASSERT_EQ(sent.size(), 1u);
    const DynamicsRecord expected = BuildDynamicsRecord(-20.0f, 4.0f, 12.0f, 300.0f);
    for (int k = 0; k < kDynamicsValues; ++k) {
        EXPECT_FLOAT_EQ(ValueOf(sent[0], k), expected[static_cast<std::size_t>(k)]) << k;
    }
    EXPECT_FLOAT_EQ(GetParamImage().Float(outCompRatio, 0), 4.0f);
    EXPECT_FLOAT_EQ(GetParamImage().Float(outCompRatio, 1), 4.1f);
    EXPECT_EQ(m_page->ValueBox(1)->text(), QStringLiteral("4.0:1"));
    EXPECT_FLOAT_EQ(m_page->Panel()->UpperSlope(), 0.25f);
    EXPECT_EQ(m_stack.count(), 1);
}

TEST_F(CompPageTest, EachSliderReplacesItsOwnValue) {
    struct Case {
        int slider;
        int position;
        float threshold, ratio, attack, release; // what the record carries
    };
    // Stored: -10 dB, 2.0:1, 5 ms, 100 ms on channel 4.
    const Case cases[] = {
        {0, -30, -30.0f, 2.0f, 5.0f, 100.0f},
        {1, 300, -10.0f, 30.0f, 5.0f, 100.0f},
        {2, 100, -10.0f, 2.0f, 100.0f, 100.0f},
        {3, 1, -10.0f, 2.0f, 5.0f, 1.0f},
    };
    for (const Case& c : cases) {
        StoreCompressor(3, -10.0f, 2.0f, 5.0f, 100.0f);
        m_page->SelectChannel(3);
        RecordingSink sink;
        test::DragSliderTo(*m_page->Slider(c.slider), c.position);
        const auto sent = ParamsOf(sink, 8, 27);
        ASSERT_FALSE(sent.empty()) << c.slider;
        EXPECT_EQ(ParamItems(sink).size(), sent.size()) << c.slider;
        const DynamicsRecord expected =
            BuildDynamicsRecord(c.threshold, c.ratio, c.attack, c.release);
        for (int k = 0; k < kDynamicsValues; ++k) {
            EXPECT_FLOAT_EQ(ValueOf(sent.back(), k), expected[static_cast<std::size_t>(k)])
                << c.slider << " value " << k;
        }
    }
}

TEST_F(CompPageTest, SwitchSendsTheOffByteAndThePanelShowsIt) {
    GetParamImage().SetInt(outCompOff, 0, 0);
    m_page->RefreshFromImage();
    ASSERT_TRUE(m_page->Switch()->isChecked());
    RecordingSink sink;
    test::ClickBox(m_page->Switch());
    const auto sent = ParamsOf(sink, 5, 28);
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(test::WordOf(sent[0], 0), 1u);
    EXPECT_EQ(GetParamImage().Int(outCompOff, 0), 1);
    EXPECT_EQ(GetParamImage().Int(outCompOff, 1), 0); // the linked partner is left alone
    EXPECT_FALSE(m_page->Panel()->Enabled());
    m_stack.undo();
    EXPECT_EQ(GetParamImage().Int(outCompOff, 0), 0);
    EXPECT_TRUE(m_page->Switch()->isChecked());
}

TEST_F(CompPageTest, ChoosingAChannelShowsItsValuesWithoutSending) {
    StoreCompressor(4, -12.0f, 2.5f, 30.0f, 450.0f);
    GetParamImage().SetInt(outCompOff, 4, 1);
    RecordingSink sink;
    QComboBox* combo = m_page->ChannelCombo();
    combo->setFocus();
    for (int i = 0; i < 4; ++i) {
        QTest::keyClick(combo, Qt::Key_Down);
    }
    EXPECT_EQ(m_page->Channel(), 4);
    EXPECT_EQ(combo->currentText(), QStringLiteral("CH 5"));
    EXPECT_TRUE(sink.Commands().empty());
    EXPECT_EQ(m_page->ValueBox(0)->text(), QStringLiteral("-12dB"));
    EXPECT_EQ(m_page->ValueBox(1)->text(), QStringLiteral("2.5:1"));
    EXPECT_EQ(m_page->ValueBox(2)->text(), QStringLiteral("30ms"));
    EXPECT_EQ(m_page->ValueBox(3)->text(), QStringLiteral("450ms"));
    EXPECT_FALSE(m_page->Switch()->isChecked());
    EXPECT_FLOAT_EQ(m_page->Panel()->Threshold(), -12.0f);
    EXPECT_FLOAT_EQ(m_page->Panel()->UpperSlope(), 0.4f);
}

TEST_F(CompPageTest, BadStoredValuesAreShownLimitedAndSentLimitedOnlyAfterAnEdit) {
    // A ratio below 1, a threshold above 0 and a zero attack from a file or the processor.
    StoreCompressor(2, 12.0f, 0.5f, 0.0f, 5000.0f);
    RecordingSink sink;
    m_page->SelectChannel(2);
    EXPECT_TRUE(sink.Commands().empty());
    EXPECT_EQ(m_page->ValueBox(0)->text(), QStringLiteral("0dB"));
    EXPECT_EQ(m_page->ValueBox(1)->text(), QStringLiteral("1.0:1"));
    EXPECT_EQ(m_page->ValueBox(2)->text(), QStringLiteral("1ms"));
    EXPECT_EQ(m_page->ValueBox(3)->text(), QStringLiteral("1000ms"));
    EXPECT_FLOAT_EQ(m_page->Panel()->UpperSlope(), 1.0f);
    EXPECT_FLOAT_EQ(GetParamImage().Float(outCompRatio, 2), 0.5f);

    test::DragSliderTo(*m_page->Slider(0), -20);
    const auto sent = ParamsOf(sink, 7, 27);
    ASSERT_FALSE(sent.empty());
    const DynamicsRecord expected = BuildDynamicsRecord(-20.0f, 1.0f, 1.0f, 1000.0f);
    for (int k = 0; k < kDynamicsValues; ++k) {
        EXPECT_FLOAT_EQ(ValueOf(sent.back(), k), expected[static_cast<std::size_t>(k)]) << k;
    }
}

TEST_F(CompPageTest, TextsFollowTheLanguage) {
    EXPECT_EQ(m_page->Switch()->text(), QStringLiteral("Comp ON"));
    EXPECT_EQ(m_page->ChannelCombo()->itemText(7), QStringLiteral("CH 8"));
    SetLanguageIndex(kChinese);
    LoadCurrentLanguageTable();
    m_page->SelectChannel(6);
    m_page->ApplyLanguage();
    EXPECT_EQ(m_page->Switch()->text(), QStringLiteral("压限启用"));
    EXPECT_EQ(m_page->ChannelCombo()->currentText(), QStringLiteral("通道7"));
}

TEST(QuestionBoxTest, ReturnsTheChoiceAndZeroWhenCancelledOrClosed) {
    SetLanguageIndex(kEnglish);
    for (int choice : {1, 2, 0, -1}) {
        test::QuestionAnswer answer;
        answer.choice = choice;
        answer.Arm();
        const int result =
            CDlgMsgBox::Ask(nullptr, QStringLiteral("Parameter is different"),
                            QStringLiteral("Both set CH1"), QStringLiteral("Both set CH2"));
        EXPECT_TRUE(answer.asked);
        EXPECT_EQ(result, std::max(choice, 0)) << choice;
        EXPECT_EQ(answer.first, QStringLiteral("Both set CH1"));
    }
}

} // namespace
} // namespace kv
