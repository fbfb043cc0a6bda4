#include "controls/ControlTestUtil.h"
#include "protocol/RecordingSink.h"

#include "controls/CEqPanel.h"
#include "controls/CPeakMeterCtrl.h"
#include "controls/CSmallEqPanel.h"
#include "controls/CXBmpSlider.h"
#include "image/ParamImage.h"
#include "link/ConnectionState.h"
#include "pages/CDialogMusic.h"
#include "pages/EditHistory.h"
#include "pages/EqBandEditor.h"
#include "pages/EqBandTable.h"
#include "pages/EqSection.h"
#include "protocol/Equaliser.h"
#include "shell/AppState.h"
#include "shell/Language.h"

#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QTableWidget>
#include <QTest>
#include <QUndoStack>

#include <gtest/gtest.h>

#include <set>

namespace kv {
namespace {

using namespace fields;
using test::RecordingSink;
using test::ValueOf;

std::vector<std::pair<int, int>> Items(const RecordingSink& sink) {
    std::vector<std::pair<int, int>> out;
    for (const auto& r : sink.Commands()) {
        if (r.IsParam()) {
            out.emplace_back(r.Module(), r.Item());
        }
    }
    return out;
}

class MainPageTest : public ::testing::Test {
protected:
    void SetUp() override {
        GetParamImage().InitDefaults();
        g_statusRecord.Clear();
        SetLanguageIndex(kChinese);
        LoadCurrentLanguageTable();
        SetEditHistory(&m_stack);
        EqSection::CopiedKind() = -1;
        m_page = std::make_unique<CDialogMusic>(0);
        m_page->ApplyLanguage();
        test::ShowAt(*m_page, 1040, 560);
    }
    void TearDown() override {
        m_page.reset();
        SetEditHistory(nullptr);
    }

    QWidget* Control(int id) const { return FindControl(m_page.get(), id); }
    QString ParamText(int row) const { return m_page->ParamTable()->item(row, 2)->text(); }
    /// Clicks parameter row r and moves the shared slider to v as a key step would.
    void SetRow(int row, int v) {
        m_page->SelectRow(row);
        m_page->ParamSlider()->SetPos(v);
        emit m_page->ParamSlider()->sliderChanged(1000, v);
        emit m_page->ParamSlider()->sliderReleased(1000, v);
    }

    QUndoStack m_stack;
    std::unique_ptr<CDialogMusic> m_page;
};

TEST_F(MainPageTest, DraggingBandThreeOfChannelAWritesTheRecordAndTheBiquad) {
    CEqPanel* panel = m_page->Panel();
    const QPoint start = panel->HandlePos(2) + panel->PlotRect().topLeft();
    RecordingSink sink;
    QTest::mousePress(panel, Qt::LeftButton, Qt::NoModifier, start);
    QTest::mouseMove(panel, start + QPoint(20, -30));
    QTest::mouseMove(panel, start + QPoint(40, -40));
    QTest::mouseRelease(panel, Qt::LeftButton, Qt::NoModifier, start + QPoint(40, -40));

    const EqPanelBand& band = panel->Band(2);
    EXPECT_GT(band.gainDb, 0.0f);
    const EqBand r = GetParamImage().ReadBand(1, 2);
    EXPECT_NEAR(r.gainDb, band.gainDb, 0.051);
    EXPECT_NEAR(r.freqHz, band.freqHz, 1.0);
    // Store writes of the record and the biquad of (group 1, band 2) for every step.
    const auto cmd = EqBandCommand(1, 2);
    ASSERT_TRUE(cmd.has_value());
    int stores = 0;
    int biquads = 0;
    for (const auto& c : sink.Commands()) {
        stores += c.IsStoreWrite();
        biquads += c.IsParam() && c.Module() == cmd->module && c.Item() == cmd->item;
    }
    EXPECT_GE(stores, 2);
    EXPECT_EQ(stores, biquads);
    // The table row and the editor follow; the whole drag is one undo step.
    EXPECT_EQ(m_page->BandTable()->item(2, EqBandTable::kGain)->text(),
              QString::asprintf("%+-.1fdB", band.gainDb));
    EXPECT_EQ(m_page->BandEditor()->Number()->text(), QStringLiteral("3"));
    EXPECT_EQ(m_stack.count(), 1);
    m_stack.undo();
    EXPECT_EQ(GetParamImage().ReadBand(1, 2).gainDb, 0.0);
}

TEST_F(MainPageTest, BandTableEditsFollowThePanelRules) {
    EqBandTable* table = m_page->BandTable();
    struct Case {
        int source;
        int column;
        const char* typed;
        int group;
        int band;
        double gain;
        double freq;
        double q;
        int type;
    };
    // Starting from the flat defaults (PEQ, 0 dB, Q 1.41) of band 5; freq -1: unchanged.
    const Case cases[] = {
        {0, EqBandTable::kFreq, "5", 1, 4, 0, 20, 1.41, 1},
        {0, EqBandTable::kFreq, "25000Hz", 1, 4, 0, 20000, 1.41, 1},
        {1, EqBandTable::kGain, "-3.5dB", 1, 14, -3.5, -1, 1.41, 1},
        {1, EqBandTable::kGain, "99", 1, 14, 15, -1, 1.41, 1},
        {2, EqBandTable::kQ, "4.5", 4, 4, 0, -1, 4.5, 1},
        {2, EqBandTable::kType, "LP", 4, 4, 0, -1, 0.7, 2},
    };
    for (Case c : cases) {
        GetParamImage().InitDefaults();
        if (c.freq < 0) {
            c.freq = GetParamImage().ReadBand(c.group, c.band).freqHz;
        }
        m_page->SetPageArgument(c.source);
        table->item(4, c.column)->setText(QString::fromUtf8(c.typed));
        const EqBand r = GetParamImage().ReadBand(c.group, c.band);
        EXPECT_NEAR(r.gainDb, c.gain, 0.051) << c.typed;
        EXPECT_NEAR(r.freqHz, c.freq, 0.5) << c.typed;
        EXPECT_NEAR(r.q, c.q, 0.006) << c.typed;
        EXPECT_EQ(r.type, c.type) << c.typed;
    }
    // Text that is not a number keeps the old value, and the cell shows it again.
    GetParamImage().InitDefaults();
    m_page->SetPageArgument(0);
    RecordingSink sink;
    const double freq = GetParamImage().ReadBand(1, 4).freqHz;
    table->item(4, EqBandTable::kFreq)->setText(QStringLiteral("abc"));
    EXPECT_EQ(GetParamImage().ReadBand(1, 4).freqHz, freq);
    EXPECT_EQ(table->item(4, EqBandTable::kFreq)->text(), QString::asprintf("%.0fHz", freq));
    EXPECT_TRUE(sink.Commands().empty());
}

TEST_F(MainPageTest, EchoTimeFourSetsTheReverbPredelayAndSendsBoth) {
    m_page->SetPageArgument(1);
    RecordingSink sink;
    SetRow(5, 4);
    EXPECT_EQ(GetParamImage().Float(echoTime, 1), 4.0f);
    EXPECT_EQ(GetParamImage().Float(reverbPredelay, 1), 40.0f);
    EXPECT_EQ(Items(sink), (std::vector<std::pair<int, int>>{{2, 23}, {3, 21}}));
    EXPECT_EQ(ParamText(1), QStringLiteral("40ms"));
    EXPECT_EQ(ParamText(5), QStringLiteral("4ms"));
    sink.Clear();
    SetRow(5, 7); // outside 2..6 the predelay stays
    EXPECT_EQ(Items(sink), (std::vector<std::pair<int, int>>{{2, 23}}));
}

TEST_F(MainPageTest, ParameterRowsShowTheirTexts) {
    struct Case {
        int row;
        int value;
        const char* zh;
        const char* en;
    };
    const Case cases[] = {
        {8, 1, "关闭", "Off"},        {8, 2, "2Hz", "2Hz"},  {2, 0, "40ms", "40ms"},
        {2, 100, "5000ms", "5000ms"}, {0, 55, "55%", "55%"}, {4, 200, "200ms", "200ms"},
    };
    for (const Case& c : cases) {
        SetLanguageIndex(kChinese);
        m_page->ApplyLanguage();
        SetRow(c.row, c.value);
        EXPECT_EQ(ParamText(c.row), QString::fromUtf8(c.zh));
        EXPECT_EQ(static_cast<QLineEdit*>(Control(1038))->text(), QString::fromUtf8(c.zh));
        SetLanguageIndex(kEnglish);
        m_page->ApplyLanguage();
        EXPECT_EQ(ParamText(c.row), QString::fromUtf8(c.en));
    }
    SetLanguageIndex(kChinese);
}

TEST_F(MainPageTest, ShiftFrequencySendsOffByteOrShiftWithDelay) {
    RecordingSink sink;
    SetRow(8, 1);
    EXPECT_EQ(Items(sink), (std::vector<std::pair<int, int>>{{1, 33}, {1, 31}, {1, 32}}));
    EXPECT_EQ(sink.Commands()[0].command[9], 1); // the off byte
    sink.Clear();
    SetRow(8, 2);
    EXPECT_EQ(sink.Commands()[0].command[9], 0);
    EXPECT_EQ(test::WordOf(sink.Commands()[2], 0), 4800u); // (125 - 25) ms at 48 kHz
}

TEST_F(MainPageTest, RoutingAMicrophoneToChannelBSendsBothFlags) {
    RecordingSink sink;
    static_cast<QRadioButton*>(Control(1193))->click();
    EXPECT_EQ(GetParamImage().Int(micToChannelA, 1), 0);
    EXPECT_EQ(GetParamImage().Int(micToChannelB, 1), 100);
    EXPECT_EQ(Items(sink), (std::vector<std::pair<int, int>>{{1, 28}, {1, 51}}));
    EXPECT_FALSE(static_cast<QRadioButton*>(Control(1192))->isChecked());
}

TEST_F(MainPageTest, MicrophoneSlidersStoreAndSendWithTheirTexts) {
    struct Case {
        int control;
        int value;
        int text;
        int slot;
        int module;
        int item;
        float sent;
    };
    const Case cases[] = {{1052, 30, 1152, micNoiseGate.SlotOf(0), 1, 8, 0.003f},
                          {1057, 85, 1162, micInputVolume.SlotOf(1), 1, 5, 0.85f}};
    for (const Case& c : cases) {
        auto* slider = static_cast<CXBmpSlider*>(Control(c.control));
        RecordingSink sink;
        slider->SetPos(c.value);
        emit slider->sliderChanged(c.control, c.value);
        EXPECT_EQ(GetParamImage().Slot(c.slot), c.value);
        ASSERT_EQ(sink.Commands().size(), 1u);
        EXPECT_EQ(sink.Commands()[0].Item(), c.item);
        EXPECT_EQ(ValueOf(sink.Commands()[0], 0), c.sent);
        EXPECT_EQ(static_cast<QLabel*>(Control(c.text))->text(), QString::number(c.value));
    }
}

TEST_F(MainPageTest, MusicDisablesTheParametersAndEmptiesTheThumbnails) {
    GetParamImage().WriteBand(2, 0, 6.0, 100, 1.41, 1);
    m_page->RefreshFromImage();
    EXPECT_GT(m_page->EchoThumb()->BandAt(0).gainDb, 5.0f);
    m_page->SetPageArgument(2);
    EXPECT_FALSE(m_page->ParamTable()->isEnabled());
    EXPECT_FALSE(m_page->ParamSlider()->isEnabled());
    EXPECT_EQ(m_page->EchoThumb()->BandAt(0).gainDb, 0.0f);
    EXPECT_EQ(GetAppState().mainPageSource, 2);
    m_page->SetPageArgument(0);
    EXPECT_TRUE(m_page->ParamTable()->isEnabled());
}

TEST_F(MainPageTest, BandTypeDecidesTheQRangeAndTheGainControls) {
    m_page->SelectBand(0);
    EqBandEditor* editor = m_page->BandEditor();
    EXPECT_EQ(editor->QSlider()->Maximum(), 3000);
    RecordingSink sink;
    editor->TypeRadio(2)->click();
    EXPECT_EQ(editor->QSlider()->Maximum(), 200);
    EXPECT_FALSE(editor->GainSlider()->IsSliderEnabled());
    EXPECT_FALSE(editor->GainBox()->isEnabled());
    EXPECT_EQ(GetParamImage().ReadBand(1, 0).type, 2);
    EXPECT_EQ(m_page->BandTable()->item(0, EqBandTable::kType)->text(), QStringLiteral("低通"));
    EXPECT_FALSE(sink.Commands().empty());
}

TEST_F(MainPageTest, StatusRecordDrivesMetersAndStreamFormat) {
    struct Case {
        std::uint8_t byte7;
        const char* text;
    };
    const Case cases[] = {
        {0x13, "DTS-CD"}, {0x08, "LPCM MultiCh"}, {0x0C, "LPCM MultiCh"}, {0x01, "AC3"}};
    for (const Case& c : cases) {
        std::array<std::uint8_t, kStatusRecordSize> status{};
        status[0] = 30;
        status[5] = 55;
        status[7] = c.byte7;
        g_statusRecord.Set(status.data());
        m_page->PollStatus();
        EXPECT_EQ(m_page->StreamFormat()->text(), QString::fromLatin1(c.text));
    }
    EXPECT_EQ(m_page->Meter(1170)->LitLeds(0), 15 * 30 / 60);
    EXPECT_EQ(m_page->Meter(1169)->LitLeds(0), 15 * 55 / 60);
    EXPECT_EQ(m_page->Meter(1171)->LitLeds(0), 0);
}

TEST_F(MainPageTest, OutOfRangeImageValuesAreShownClampedWithoutSending) {
    ParamImage& image = GetParamImage();
    image.SetFloat(echoTime, 0, 9999.0f);
    image.SetInt(micInputVolume, 0, -20);
    image.SetInt(micShiftFreqA, 0, 77);
    image.WriteBand(1, 1, 0, 0, 0, 9);
    RecordingSink sink;
    m_page->RefreshFromImage();
    EXPECT_EQ(ParamText(5), QStringLiteral("260ms"));
    EXPECT_EQ(ParamText(8), QStringLiteral("8Hz"));
    EXPECT_EQ(static_cast<CXBmpSlider*>(Control(1056))->Pos(), 0);
    EXPECT_EQ(m_page->BandTable()->item(1, EqBandTable::kType)->text(), QStringLiteral("关闭"));
    EXPECT_TRUE(sink.Commands().empty());
}

TEST_F(MainPageTest, CopyOnChannelAThenPasteOnChannelB) {
    GetParamImage().WriteBand(1, 3, -4.0, 300, 2.0, 1);
    m_page->RefreshFromImage();
    emit m_page->Panel()->copyPaste(1, 1); // nothing copied yet: nothing happens
    EXPECT_EQ(GetParamImage().ReadBand(1, 13).gainDb, 0.0);
    emit m_page->Panel()->copyPaste(0, 0);
    m_page->SetPageArgument(1);
    emit m_page->Panel()->copyPaste(1, 1);
    EXPECT_EQ(GetParamImage().ReadBand(1, 13).gainDb, -4.0);
    EXPECT_EQ(m_page->BandTable()->item(3, EqBandTable::kGain)->text(), QStringLiteral("-4.0dB"));
}

} // namespace
} // namespace kv
