#include "shell/SimFixture.h"

#include "settings/SettingsTestUtil.h"

#include "controls/CGdipButton.h"
#include "controls/CSSVolumePanel.h"
#include "image/MainFields.h"
#include "pages/CDelayDlg.h"
#include "pages/CDialogOutput.h"
#include "pages/OutputNavRow.h"
#include "pages/OutputPages.h"
#include "protocol/CoefficientEncoders.h"
#include "protocol/PositionTrims.h"
#include "settings/CSSVCDlg.h"
#include "settings/SettingsWindows.h"
#include "settings/UpDownButtons.h"
#include "shell/CMX2240v13View.h"
#include "shell/Language.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QToolButton>

#include <bit>
#include <cmath>
#include <set>

namespace kv::test {
namespace {

class PositioningPageTest : public SimFixture {
protected:
    void SetUp() override {
        SimFixture::SetUp();
        RegisterSettingsWindows();
        RegisterOutputPages();
    }
    void TearDown() override {
        SimFixture::TearDown();
        for (PageKind kind :
             {PageKind::Positioning, PageKind::Output, PageKind::Delay, PageKind::Compressor}) {
            RegisterPageFactory(kind, nullptr);
        }
    }

    /// Connected, with these speaker roles per channel and the listener at (0, 0) with L at
    /// (-1, 1) in a 4 m x 4 m room; then the page is opened.
    CSSVCDlg* Open(std::array<int, 8> roles) {
        StartConnected();
        ParamImage& image = GetParamImage();
        for (int c = 0; c < 8; ++c) {
            image.SetInt(fields::outRole, c, roles[static_cast<std::size_t>(c)]);
        }
        RoomGeometry g = image.Geometry();
        g.width = 4;
        g.length = 4;
        g.listenerX = g.listenerY = 0.0f;
        g.speakerX[0] = -1.0f;
        g.speakerY[0] = 1.0f;
        image.SetGeometry(g);
        m_frame->View()->ShowPage(PageKind::Positioning, 0);
        auto* page = dynamic_cast<CSSVCDlg*>(m_frame->View()->CurrentPage());
        if (page) {
            page->RefreshFromImage();
        }
        return page;
    }

    /// The channels that received a positioning trim (item 29) since Mark(), by module.
    std::vector<int> TrimmedChannels() const {
        std::vector<int> channels;
        for (const Bytes& b : SinceMark(9)) {
            if (b[4] == 29) {
                channels.push_back(b[3] - 5);
            }
        }
        return channels;
    }

    static void Type(QLineEdit* edit, const QString& text) {
        edit->setFocus();
        edit->selectAll();
        QTest::keyClicks(edit, text);
        QTest::keyClick(edit, Qt::Key_Return);
    }
};

constexpr std::array<int, 8> kInOrder = {0, 1, 2, 3, 4, 5, 6, 7};

std::uint32_t Word(const Bytes& b, int k) {
    const std::size_t at = 6 + 4 * static_cast<std::size_t>(k);
    return std::uint32_t{b[at]} << 24 | std::uint32_t{b[at + 1]} << 16 |
           std::uint32_t{b[at + 2]} << 8 | b[at + 3];
}

TEST_F(PositioningPageTest, SpeakerDraggedTwiceAsFarIsTrimmedOnTheChannelThatPlaysIt) {
    // Shuffled roles: L (code 0) plays on channel 6.
    CSSVCDlg* page = Open({3, 4, 5, 6, 7, 1, 0, 2});
    ASSERT_NE(page, nullptr);
    CSSVolumePanel* panel = page->Panel();
    const CSSVolumePanel::Marker& l = panel->MarkerAt(1);
    const QPoint to = CSSVolumePanel::ToPixels(panel->RoomClient(), 4.0f, 4.0f, -2.0f, 2.0f);
    Mark();
    QTest::mousePress(panel, Qt::LeftButton, {}, QPoint(l.x, l.y));
    QTest::mouseMove(panel, to);
    QTest::mouseRelease(panel, Qt::LeftButton, {}, to);

    // The trim follows the point the drag reached; the stored geometry keeps tenths of a
    // metre, which may round that point.
    RoomGeometry reached = GetParamImage().Geometry();
    reached.speakerX[0] = l.X;
    reached.speakerY[0] = l.Y;
    const float trim = SpeakerTrimDb(reached, 0);
    EXPECT_NEAR(trim, 3.0f - 3.0f * 2.0f * std::sqrt(2.0f), 0.2f); // was -1.24 dB at 1.414 m

    const auto trims = WaitParams(11, 29, 2); // the press and the move
    ASSERT_FALSE(trims.empty());
    const LevelPairRecord expected = BuildLevelPair(trim, LevelPairKind::PositionTrim);
    for (int k = 0; k < kLevelPairValues; ++k) {
        EXPECT_EQ(Word(trims.back(), k), std::bit_cast<std::uint32_t>(expected[k])) << k;
    }
    // The processor answers each store write with the block it holds; once the last answer
    // is in, the image holds the move's values.
    EXPECT_TRUE(QTest::qWaitFor(
        [&] {
            const RoomGeometry g = GetParamImage().Geometry();
            return GetParamImage().ExtensionTrim(6) == trim && std::abs(g.speakerX[0] + 2) < 0.05f;
        },
        3000));
    const RoomGeometry g = GetParamImage().Geometry();
    EXPECT_NEAR(g.speakerX[0], -2.0f, 0.05f);
    EXPECT_NEAR(g.speakerY[0], 2.0f, 0.05f);
    EXPECT_FLOAT_EQ(GetParamImage().ExtensionTrim(6), trim);
    EXPECT_EQ(page->PositionEdit(1, 0)->text(), QString::asprintf("%+-.1fm", g.speakerX[0]));
    EXPECT_EQ(page->PositionUpDown(1, 1)->Pos(), static_cast<int>(std::trunc(g.speakerY[0] * 10)));
    const std::vector<int> channels = TrimmedChannels();
    EXPECT_TRUE(std::all_of(channels.begin(), channels.end(), [](int c) { return c == 6; }));
    EXPECT_FALSE(SinceMark(0x85).empty()); // routing and extension blocks into the store
}

TEST_F(PositioningPageTest, CentringTheListenerTrimsEachCodeOnlyOnItsFirstChannel) {
    // Code 1 on channels 1 and 2, code 7 on none.
    CSSVCDlg* page = Open({0, 1, 1, 2, 3, 4, 5, 6});
    Mark();
    Type(page->PositionEdit(0, 0), QStringLiteral("1"));
    EXPECT_EQ(page->PositionEdit(0, 0)->text(), "+1.0m");
    WaitParams(5 + 7, 29, 1); // the move's trims have all arrived
    Mark();
    QTest::mouseClick(FindControl(page, CSSVCDlg::kCentre), Qt::LeftButton);
    WaitParams(5 + 7, 29, 1);
    const std::vector<int> channels = TrimmedChannels();
    EXPECT_EQ(std::set<int>(channels.begin(), channels.end()),
              (std::set<int>{0, 1, 3, 4, 5, 6, 7}));
    EXPECT_EQ(channels.size(), 7u);
    EXPECT_FLOAT_EQ(GetParamImage().ExtensionTrim(0), SpeakerTrimDb(GetParamImage().Geometry(), 0));
    EXPECT_NEAR(GetParamImage().ExtensionTrim(0), -1.2426f, 1e-3f);
    EXPECT_EQ(page->PositionEdit(0, 0)->text(), "+0.0m");
    EXPECT_EQ(page->PositionUpDown(0, 0)->Pos(), 0);
}

TEST_F(PositioningPageTest, RoomSizeAndTypedPositionsAreLimited) {
    CSSVCDlg* page = Open(kInOrder);
    auto* width = qobject_cast<QLineEdit*>(FindControl(page, CSSVCDlg::kRoomWidth));
    width->setText(QStringLiteral("11"));
    QTest::mouseClick(FindControl(page, CSSVCDlg::kModify), Qt::LeftButton);
    EXPECT_EQ(width->text(), "10m");
    EXPECT_EQ(GetParamImage().Geometry().width, 10);
    EXPECT_EQ(page->PositionUpDown(3, 0)->Minimum(), -50);
    EXPECT_FLOAT_EQ(page->Panel()->RoomWidth(), 10.0f);

    struct Case {
        const char* typed;
        const char* shown;
        float metres;
    };
    const Case cases[] = {{"7", "+5.0m", 5.0f}, {"-2.34", "-2.3m", -2.3f}, {"abc", "+0.0m", 0.0f}};
    for (const Case& c : cases) {
        Type(page->PositionEdit(3, 0), QString::fromLatin1(c.typed));
        EXPECT_EQ(page->PositionEdit(3, 0)->text(), c.shown) << c.typed;
        // The image holds the position in tenths once the processor has echoed the block.
        EXPECT_TRUE(QTest::qWaitFor(
            [&] { return std::abs(GetParamImage().Geometry().speakerX[2] - c.metres) < 1e-5f; },
            3000))
            << c.typed << ": " << GetParamImage().Geometry().speakerX[2];
    }

    // The room up-down: one step down from 4 m long, then the Y edits are limited to 1.5 m.
    page->RoomUpDown(1)->Step(-1);
    EXPECT_EQ(page->RoomUpDown(1)->Pos(), 3);
    EXPECT_EQ(qobject_cast<QLineEdit*>(FindControl(page, CSSVCDlg::kRoomLength))->text(), "3m");
    EXPECT_EQ(GetParamImage().Geometry().length, 3);
    Type(page->PositionEdit(1, 1), QStringLiteral("2"));
    EXPECT_EQ(page->PositionEdit(1, 1)->text(), "+1.5m");
}

TEST_F(PositioningPageTest, PositionUpDownStepsATenthAndMovesTheSpeaker) {
    CSSVCDlg* page = Open(kInOrder);
    UpDownButtons* y = page->PositionUpDown(1, 1);
    EXPECT_EQ(y->Pos(), 10);
    Mark();
    QTest::mouseClick(y->UpButton(), Qt::LeftButton);
    EXPECT_EQ(y->Pos(), 11);
    EXPECT_EQ(page->PositionEdit(1, 1)->text(), "+1.1m");
    EXPECT_FLOAT_EQ(GetParamImage().Geometry().speakerY[0], 1.1f);
    EXPECT_EQ(WaitParams(5, 29, 1).size(), 1u);
    EXPECT_EQ(TrimmedChannels(), std::vector<int>{0});
}

TEST_F(PositioningPageTest, OnlyOneLocateBoxStaysCheckedAndUncheckingSendsNoSpeaker) {
    CSSVCDlg* page = Open({3, 4, 5, 6, 7, 1, 0, 2});
    Mark();
    // Each click's speaker reaches the processor before the next click (quicker clicks would
    // replace the speakers not yet sent).
    QTest::mouseClick(page->LocateBox(0), Qt::LeftButton);
    WaitParams(4, 34, 1);
    QTest::mouseClick(page->LocateBox(2), Qt::LeftButton);
    EXPECT_FALSE(page->LocateBox(0)->isChecked());
    EXPECT_TRUE(page->LocateBox(2)->isChecked());
    EXPECT_EQ(CSSVCDlg::RememberedLocate(), 3);
    WaitParams(4, 34, 2);
    QTest::mouseClick(page->LocateBox(2), Qt::LeftButton);
    EXPECT_EQ(CSSVCDlg::RememberedLocate(), 0);
    const auto sent = WaitParams(4, 34, 3);
    ASSERT_EQ(sent.size(), 3u);
    EXPECT_EQ(Word(sent[0], 0), 3u);
    EXPECT_EQ(Word(sent[1], 0), 5u); // channel 3 plays code 5
    EXPECT_EQ(Word(sent[2], 0), 8u);
}

TEST_F(PositioningPageTest, ResetRestoresTheDefaultRoomAndZeroTrimsButKeepsLevels) {
    CSSVCDlg* page = Open(kInOrder);
    auto* ch6 = qobject_cast<CXBmpSlider*>(FindControl(page, 1046));
    Mark();
    MoveSlider(ch6, 500);
    EXPECT_EQ(qobject_cast<QLabel*>(FindControl(page, 1136))->text(), "500%");
    EXPECT_EQ(WaitParams(10, 24, 1).back(), ParamBytes(10, 24, 5.0f));
    Type(page->PositionEdit(5, 0), QStringLiteral("1.5"));
    EXPECT_NE(GetParamImage().ExtensionTrim(4), 0.0f);

    Mark();
    QTest::mouseClick(FindControl(page, CSSVCDlg::kReset), Qt::LeftButton);
    // The processor answers every store write with the block it now holds; an answer to the
    // typed position may still be on its way, so the trims are read once the reset's own
    // writes have arrived and been answered.
    for (int c = 0; c < 8; ++c) {
        WaitParams(5 + c, 29, 1);
    }
    const auto trimsAreZero = [] {
        for (int c = 0; c < 8; ++c) {
            if (GetParamImage().ExtensionTrim(c) != 0.0f) {
                return false;
            }
        }
        return true;
    };
    EXPECT_TRUE(QTest::qWaitFor(trimsAreZero, 3000));
    for (int c = 0; c < 8; ++c) {
        EXPECT_FLOAT_EQ(GetParamImage().ExtensionTrim(c), 0.0f) << c;
    }
    const RoomGeometry g = GetParamImage().Geometry();
    EXPECT_EQ(g.width, 4);
    EXPECT_FLOAT_EQ(g.speakerX[4], 0.0f);
    EXPECT_FLOAT_EQ(g.speakerY[4], -1.0f);
    EXPECT_EQ(page->PositionEdit(5, 0)->text(), "+0.0m");
    EXPECT_EQ(GetParamImage().Int(fields::outGain, 5), 500);
    EXPECT_EQ(ch6->Pos(), 500);
}

TEST_F(PositioningPageTest, NavigationRowMarksLocationAndOpensTheOtherPages) {
    CSSVCDlg* page = Open(kInOrder);
    ASSERT_NE(page, nullptr);
    OutputNavRow* nav = page->Navigation();
    ASSERT_NE(nav, nullptr);
    EXPECT_TRUE(nav->Button(OutputNavRow::kLocationId)->Selected());
    EXPECT_FALSE(nav->Button(OutputNavRow::kDelayId)->Selected());
    EXPECT_TRUE(nav->isVisible());

    // "Location" on its own page keeps the page.
    QTest::mouseClick(nav->Button(OutputNavRow::kLocationId), Qt::LeftButton);
    QTest::qWait(20);
    EXPECT_EQ(m_frame->View()->CurrentPage(), page);

    QTest::mouseClick(nav->Button(OutputNavRow::kDelayId), Qt::LeftButton);
    ASSERT_TRUE(QTest::qWaitFor(
        [this] { return dynamic_cast<CDelayDlg*>(m_frame->View()->CurrentPage()) != nullptr; },
        2000));
    auto* delay = dynamic_cast<CDelayDlg*>(m_frame->View()->CurrentPage());
    QTest::mouseClick(delay->Navigation()->Button(OutputNavRow::kLocationId), Qt::LeftButton);
    ASSERT_TRUE(QTest::qWaitFor(
        [this] { return dynamic_cast<CSSVCDlg*>(m_frame->View()->CurrentPage()) != nullptr; },
        2000));

    page = dynamic_cast<CSSVCDlg*>(m_frame->View()->CurrentPage());
    QTest::mouseClick(page->Navigation()->ChannelButton(2), Qt::LeftButton);
    ASSERT_TRUE(QTest::qWaitFor(
        [this] { return dynamic_cast<CDialogOutput*>(m_frame->View()->CurrentPage()) != nullptr; },
        2000));
    EXPECT_EQ(dynamic_cast<CDialogOutput*>(m_frame->View()->CurrentPage())->Channel(), 2);
}

TEST_F(PositioningPageTest, PageInBothLanguages) {
    for (int language : {kChinese, kEnglish}) {
        SetLanguageIndex(language);
        if (language == kChinese) {
            Open({3, 4, 5, 6, 7, 1, 0, 2});
        } else {
            m_frame->View()->ShowPage(PageKind::Main, 0);
            m_frame->View()->ShowPage(PageKind::Positioning, 0);
        }
        m_frame->ApplyLanguage(); // the ribbon and the shown page
        auto* page = dynamic_cast<CSSVCDlg*>(m_frame->View()->CurrentPage());
        ASSERT_NE(page, nullptr);
        EXPECT_EQ(qobject_cast<QLabel*>(FindControl(page, 1123))->text(),
                  language == kChinese ? "(后环绕右)" : "(CH-SBR)");
        EXPECT_EQ(qobject_cast<QPushButton*>(FindControl(page, CSSVCDlg::kReset))->text(),
                  language == kChinese ? "复位" : "Reset");
        EXPECT_EQ(page->Navigation()->Button(OutputNavRow::kLocationId)->text(),
                  language == kChinese ? "声场定位" : "Location");
        EXPECT_EQ(page->Navigation()->ChannelButton(7)->text(),
                  language == kChinese ? "通道8" : "CH 8");
        Settle(m_frame);
        SaveScreenshot(m_frame, language == kChinese ? "positioning-zh" : "positioning-en");
    }
    SetLanguageIndex(kChinese);
    m_frame->ApplyLanguage();
}

} // namespace
} // namespace kv::test
