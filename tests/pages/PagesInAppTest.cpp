#include "shell/SimFixture.h"

#include "controls/CSmallEqPanel.h"
#include "controls/CXBmpSlider.h"
#include "image/ParamImage.h"
#include "pages/CDialogEfx.h"
#include "pages/CDialogMusic.h"
#include "pages/PageSwitch.h"
#include "shell/CInfoDlg.h"
#include "shell/CMX2240v13View.h"
#include "shell/CommandIds.h"
#include "shell/Language.h"

#include <QAbstractButton>
#include <QAction>
#include <QCheckBox>
#include <QLabel>
#include <QTableWidget>
#include <QUndoStack>

namespace kv::test {
namespace {

using namespace fields;

/// The application on the in-process simulator with the real pages registered.
class PagesInAppTest : public SimFixture {
protected:
    void SetUp() override {
        SimFixture::SetUp();
        RegisterPages();
        StartConnected();
    }

    CDialogMusic* MainPage() const {
        return dynamic_cast<CDialogMusic*>(m_frame->View()->CurrentPage());
    }
    CDialogEfx* EffectsPage() const {
        return dynamic_cast<CDialogEfx*>(m_frame->View()->CurrentPage());
    }
    QString InfoText() const {
        CInfoDlg* info = m_frame->InfoWindow();
        return info ? info->Text() : QString();
    }
    void SetRow(int row, int v) {
        MainPage()->SelectRow(row);
        emit MainPage()->ParamSlider()->sliderChanged(1000, v);
        emit MainPage()->ParamSlider()->sliderReleased(1000, v);
    }
};

TEST_F(PagesInAppTest, TheFirstPageIsTheMainPageAndItsEditsReachTheProcessor) {
    ASSERT_NE(MainPage(), nullptr);
    Mark();
    SetRow(5, 4);
    const auto echo = WaitParams(2, 10, 1);
    const auto predelay = WaitParams(3, 9, 1);
    ASSERT_EQ(echo.size(), 1u);
    ASSERT_EQ(predelay.size(), 1u);
    // 4 ms and 40 ms as sample counts at 48 kHz.
    EXPECT_EQ(echo[0][9], 192);
    EXPECT_EQ((predelay[0][8] << 8) | predelay[0][9], 1920);
}

TEST_F(PagesInAppTest, ThumbnailsOpenTheEffectsPageAndBackReturns) {
    MainPage()->SetPageArgument(1);
    emit MainPage()->EchoThumb()->clicked();
    ASSERT_TRUE(QTest::qWaitFor([&] { return EffectsPage() != nullptr; }, 2000));
    EXPECT_EQ(EffectsPage()->Selection(), 3);
    m_frame->UpdateStatus();
    EXPECT_TRUE(m_frame->BypassBox()->isEnabled());
    EffectsPage()->Back();
    ASSERT_TRUE(QTest::qWaitFor([&] { return MainPage() != nullptr; }, 2000));
    EXPECT_EQ(MainPage()->Source(), 1);
}

TEST_F(PagesInAppTest, AReadAllRefreshesTheVisibleControls) {
    // Change the processor behind the application's back, then read everything.
    device::SendCommand({9, 0, 1, 4, 1, 0x3F, 0x19, 0x99, 0x9A}); // Mic 1 volume 0.6
    device::SendCommand({9, 0, 3, 8, 1, 0x3E, 0x99, 0x99, 0x9A}); // reverb level A 0.3
    device::StartReadAll(m_frame->View());
    ASSERT_TRUE(WaitSynchronised(2));
    EXPECT_EQ(GetParamImage().Int(micInputVolume, 0), 60);
    auto* volume = static_cast<CXBmpSlider*>(FindControl(MainPage(), 1056));
    EXPECT_EQ(volume->Pos(), 60);
    EXPECT_EQ(static_cast<QLabel*>(FindControl(MainPage(), 1160))->text(), QStringLiteral("60"));
    EXPECT_EQ(MainPage()->ParamTable()->item(0, 2)->text(), QStringLiteral("30%"));
}

TEST_F(PagesInAppTest, MutedReverbShowsTheNoticeWhenItsLevelIsRaised) {
    GetParamImage().SetInt(reverbMute, 1);
    SetRow(0, 0);
    EXPECT_NE(InfoText(), QStringLiteral("混响已静音"));
    SetRow(0, 20);
    EXPECT_EQ(InfoText(), QStringLiteral("混响已静音"));
    GetParamImage().SetInt(echoMute, 1);
    m_frame->OnCommand(cmd::kLanguage);
    SetRow(3, 20);
    EXPECT_EQ(InfoText(), QStringLiteral("Echo vol is mute"));
}

TEST_F(PagesInAppTest, SwitchingLanguageRelabelsThePage) {
    struct Case {
        int control;
        const char* zh;
        const char* en;
    };
    const Case cases[] = {{1068, "话筒A", "MIC A"},
                          {1070, "音乐", "MUSIC"},
                          {1204, "参量", "PEQ"},
                          {1231, "噪声门", "Noise Gate"},
                          {1239, "混响均衡", "Reverb EQ"}};
    auto text = [&](int id) {
        QWidget* w = FindControl(MainPage(), id);
        if (auto* b = qobject_cast<QAbstractButton*>(w)) {
            return b->text();
        }
        if (auto* l = qobject_cast<QLabel*>(w)) {
            return l->text();
        }
        return QString();
    };
    for (const Case& c : cases) {
        EXPECT_EQ(text(c.control), QString::fromUtf8(c.zh)) << c.control;
    }
    m_frame->OnCommand(cmd::kLanguage);
    for (const Case& c : cases) {
        EXPECT_EQ(text(c.control), QString::fromUtf8(c.en)) << c.control;
    }
    EXPECT_EQ(MainPage()->ParamTable()->item(8, 1)->text(), QStringLiteral("Shift Frequency"));
    EXPECT_EQ(MainPage()->ParamTable()->horizontalHeaderItem(2)->text(), QStringLiteral("Value"));
}

TEST_F(PagesInAppTest, UndoAcrossPagesStoresAndSendsTheOldValue) {
    auto* volume = static_cast<CXBmpSlider*>(FindControl(MainPage(), 1057));
    const int before = GetParamImage().Int(micInputVolume, 1);
    emit volume->sliderChanged(1057, 77);
    EXPECT_EQ(GetParamImage().Int(micInputVolume, 1), 77);
    m_frame->View()->ShowPage(PageKind::Effects, 0);
    ASSERT_NE(EffectsPage(), nullptr);
    Mark();
    ASSERT_TRUE(m_frame->UndoAction()->isEnabled());
    m_frame->UndoAction()->trigger();
    EXPECT_EQ(GetParamImage().Int(micInputVolume, 1), before);
    const auto sent = WaitParams(1, 5, 1);
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0], ParamBytes(1, 5, static_cast<float>(before / 100.0)));
    m_frame->RedoAction()->trigger();
    EXPECT_EQ(GetParamImage().Int(micInputVolume, 1), 77);
    // A read-all forgets the history.
    device::StartReadAll(m_frame->View());
    ASSERT_TRUE(WaitSynchronised(2));
    EXPECT_EQ(m_frame->UndoStack()->count(), 0);
    EXPECT_FALSE(m_frame->UndoAction()->isEnabled());
}

} // namespace
} // namespace kv::test
