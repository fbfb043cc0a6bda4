#include "ValueNotes.h"
#include "controls/ControlTestUtil.h"
#include "protocol/RecordingSink.h"

#include "controls/CEqPanel.h"
#include "controls/CXBmpSlider.h"
#include "image/ParamImage.h"
#include "pages/CDialogEfx.h"
#include "pages/EditHistory.h"
#include "pages/EqBandEditor.h"
#include "pages/EqBandTable.h"
#include "pages/EqSection.h"
#include "protocol/Equaliser.h"
#include "shell/Language.h"

#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QTest>
#include <QUndoStack>

#include <gtest/gtest.h>

namespace kv {
namespace {

using namespace fields;
using test::RecordingSink;

class EffectsPageTest : public ::testing::Test {
protected:
    void SetUp() override {
        GetParamImage().InitDefaults();
        SetLanguageIndex(kChinese);
        LoadCurrentLanguageTable();
        SetEditHistory(&m_stack);
        EqSection::CopiedKind() = -1;
        m_page = std::make_unique<CDialogEfx>(3);
        m_page->ApplyLanguage();
        test::ShowAt(*m_page, 1040, 560);
    }
    void TearDown() override {
        m_page.reset();
        SetEditHistory(nullptr);
    }

    QUndoStack m_stack;
    std::unique_ptr<CDialogEfx> m_page;
};

TEST_F(EffectsPageTest, EchoBShowsRecordsSevenOnAndEditsThem) {
    GetParamImage().WriteBand(2, 7, 5.0, 200, 2.0, 1);
    m_page->LoadEq();
    EXPECT_NEAR(m_page->Panel()->Band(0).gainDb, 5.0f, 0.01);
    EXPECT_EQ(m_page->BandList()->item(0, EqBandTable::kGain)->text(), QStringLiteral("+5.0dB"));
    m_page->SelectBand(0);
    EXPECT_TRUE(m_page->EditorShown());
    RecordingSink sink;
    QLineEdit* gain = m_page->BandEditor()->GainBox();
    gain->setText(QStringLiteral("-2.5"));
    gain->setModified(true);
    emit gain->editingFinished();
    EXPECT_NEAR(GetParamImage().ReadBand(2, 7).gainDb, -2.5, 0.051);
    const auto commands = sink.Commands();
    ASSERT_EQ(commands.size(), 2u);
    EXPECT_TRUE(commands[0].IsStoreWrite());
    EXPECT_EQ(commands[0].command[3], 7 * ParamImage::BandRecordIndex(2, 7) % 256);
    EXPECT_EQ(commands[1].Module(), 2);
    EXPECT_EQ(commands[1].Item(), 13);
    EXPECT_EQ(m_page->BandList()->item(0, EqBandTable::kGain)->text(), QStringLiteral("-2.5dB"));
}

TEST_F(EffectsPageTest, TypeChoiceKeepsOrDropsTheGain) {
    GetParamImage().WriteBand(2, 7, 5.0, 200, 2.0, 1);
    m_page->LoadEq();
    m_page->SelectBand(0);
    EqBandEditor* editor = m_page->BandEditor();
    editor->TypeRadio(2)->click();
    EqBand r = GetParamImage().ReadBand(2, 7);
    EXPECT_EQ(r.type, 2);
    EXPECT_EQ(r.gainDb, 0.0);
    EXPECT_NEAR(r.q, 0.7, 0.006);
    EXPECT_FALSE(editor->GainBox()->isEnabled());
    GetParamImage().WriteBand(2, 8, 4.0, 400, 3.0, 4);
    m_page->LoadEq();
    m_page->SelectBand(1);
    editor->TypeRadio(1)->click();
    r = GetParamImage().ReadBand(2, 8);
    EXPECT_EQ(r.type, 1);
    EXPECT_NEAR(r.gainDb, 4.0, 0.051);
    EXPECT_NEAR(r.q, 1.41, 0.006);
    EXPECT_EQ(editor->QSlider()->Maximum(), 3000);
}

TEST_F(EffectsPageTest, AnEmptyFrequencyBoxLeavesTheFrequency) {
    m_page->SelectBand(2);
    const double before = GetParamImage().ReadBand(2, 9).freqHz;
    QLineEdit* freq = m_page->BandEditor()->FreqBox();
    RecordingSink sink;
    for (const char* typed : {"", "kHz"}) {
        freq->setText(QString::fromUtf8(typed));
        freq->setModified(true);
        emit freq->editingFinished();
        EXPECT_EQ(GetParamImage().ReadBand(2, 9).freqHz, before);
        EXPECT_EQ(freq->text(), QString::asprintf("%.0fHz", before));
    }
    EXPECT_TRUE(sink.Commands().empty());
}

TEST_F(EffectsPageTest, BoxesAndListCellsTakeUnitsAndSayWhenAValueWasLimited) {
    GetParamImage().WriteBand(2, 9, 0.0, 1000, 1.0, 1);
    m_page->LoadEq();
    m_page->SelectBand(2);
    EqBandTable* table = m_page->BandList();
    struct Case {
        bool cell; // the list's cell, else the editor's box
        int column;
        const char* typed;
        double stored;
        const char* note; // empty: none
    };
    const Case cases[] = {
        {false, EqBandTable::kFreq, "2k", 2000, ""},
        {true, EqBandTable::kFreq, "3 kHz", 3000, ""},
        {true, EqBandTable::kFreq, "30000", 20000, "30000Hz 超出范围，已设为 20000Hz"},
        {false, EqBandTable::kGain, "+3dB", 3, ""},
        {true, EqBandTable::kGain, "16", 15, "+16.0dB 超出范围，已设为 +15.0dB"},
        {true, EqBandTable::kQ, "0.05", 0.1, "0.05 超出范围，已设为 0.10"},
    };
    for (const Case& c : cases) {
        test::ValueNotes notes;
        if (c.cell) {
            emit table->cellEdited(2, c.column, QString::fromUtf8(c.typed));
        } else {
            QLineEdit* box = c.column == EqBandTable::kFreq ? m_page->BandEditor()->FreqBox()
                                                            : m_page->BandEditor()->GainBox();
            box->setText(QString::fromUtf8(c.typed));
            box->setModified(true);
            emit box->editingFinished();
        }
        const EqBand band = GetParamImage().ReadBand(2, 9);
        const double stored = c.column == EqBandTable::kFreq   ? band.freqHz
                              : c.column == EqBandTable::kGain ? band.gainDb
                                                               : band.q;
        EXPECT_NEAR(stored, c.stored, 0.01) << c.typed;
        notes.Expect(c.note, c.typed);
    }
}

TEST_F(EffectsPageTest, SelectBandSevenDoesNothingAndDeselectShowsTheList) {
    m_page->SelectBand(7);
    EXPECT_FALSE(m_page->EditorShown());
    EXPECT_EQ(m_page->Panel()->Selected(), -1);
    m_page->SelectBand(6);
    EXPECT_TRUE(m_page->EditorShown());
    EXPECT_EQ(m_page->BandEditor()->Number()->text(), QStringLiteral("7"));
    emit m_page->Panel()->deselected();
    EXPECT_FALSE(m_page->EditorShown());
}

TEST_F(EffectsPageTest, CopyOnReverbAThenPasteOnEchoB) {
    for (int b = 0; b < 7; ++b) {
        GetParamImage().WriteBand(3, b, b - 3.0, 100.0 * (b + 1), 1.0 + b / 10.0, 1);
    }
    m_page->SelectEq(0);
    emit m_page->Panel()->copyPaste(0, m_page->Panel()->Kind());
    m_page->SelectEq(3);
    RecordingSink sink;
    emit m_page->Panel()->copyPaste(1, m_page->Panel()->Kind());
    for (int b = 0; b < 7; ++b) {
        const EqBand from = GetParamImage().ReadBand(3, b);
        const EqBand to = GetParamImage().ReadBand(2, 7 + b);
        EXPECT_EQ(to.gainDb, from.gainDb) << b;
        EXPECT_EQ(to.freqHz, from.freqHz) << b;
    }
    EXPECT_EQ(m_page->BandList()->item(0, EqBandTable::kGain)->text(), QStringLiteral("-3.0dB"));
    EXPECT_FALSE(sink.Commands().empty());
    // One undo step puts echo B back.
    m_stack.undo();
    EXPECT_EQ(GetParamImage().ReadBand(2, 7).gainDb, 0.0);
}

TEST_F(EffectsPageTest, SwitchAndResetOfTheSelection) {
    struct Case {
        int selection;
        int module;
        int item;
    };
    const Case cases[] = {{0, 3, 7}, {1, 3, 19}, {2, 2, 7}, {3, 2, 20}};
    for (const Case& c : cases) {
        m_page->SelectEq(c.selection);
        RecordingSink sink;
        EXPECT_FALSE(m_page->IsEqBypassed());
        m_page->ToggleEqSwitch();
        EXPECT_TRUE(m_page->IsEqBypassed());
        EXPECT_TRUE(m_page->Panel()->Bypass());
        ASSERT_EQ(sink.Commands().size(), 1u);
        EXPECT_EQ(sink.Commands()[0].Module(), c.module);
        EXPECT_EQ(sink.Commands()[0].Item(), c.item);
        m_page->ToggleEqSwitch();
    }
    GetParamImage().WriteBand(2, 9, 6.0, 3000, 1.0, 1);
    m_page->SelectEq(3);
    m_page->ResetEq();
    EXPECT_EQ(GetParamImage().ReadBand(2, 9).gainDb, 0.0);
    EXPECT_EQ(GetParamImage().ReadBand(2, 9).freqHz, 250.0);
    EXPECT_EQ(m_page->BandList()->item(2, EqBandTable::kFreq)->text(), QStringLiteral("250Hz"));
}

TEST_F(EffectsPageTest, PictureAndTextsFollowSelectionAndLanguage) {
    m_page->SelectEq(1);
    EXPECT_EQ(m_page->Picture()->toolTip(), QStringLiteral("混响均衡 B"));
    EXPECT_EQ(m_page->BandEditor()->TypeRadio(1)->text(), QStringLiteral("参量"));
    SetLanguageIndex(kEnglish);
    LoadCurrentLanguageTable();
    m_page->ApplyLanguage();
    EXPECT_EQ(m_page->Picture()->toolTip(), QStringLiteral("Reverb EQ B"));
    EXPECT_EQ(m_page->BandEditor()->TypeRadio(1)->text(), QStringLiteral("PEQ"));
    EXPECT_EQ(m_page->BandList()->horizontalHeaderItem(1)->text(), QStringLiteral("Type"));
    SetLanguageIndex(kChinese);
    LoadCurrentLanguageTable();
}

} // namespace
} // namespace kv
