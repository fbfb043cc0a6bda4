#include "shell/SimFixture.h"

#include "SettingsTestUtil.h"

#include "image/MainFields.h"
#include "protocol/MachineSettings.h"
#include "settings/CSetDlg.h"
#include "settings/SettingsWindows.h"
#include "settings/SingleSettingDlg.h"
#include "shell/CInfoDlg.h"
#include "shell/CommandIds.h"
#include "shell/Language.h"
#include "shell/ToolWindows.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QRadioButton>

namespace kv::test {
namespace {

class MachineSettingsWindowTest : public SettingsWindowFixture {
protected:
    /// Both copies of the record hold r, as after report 146.
    static void SetRecord(const MachineSettingsRecord& r) {
        ParamImage& image = GetParamImage();
        image.WriteBlock(Block::Hub, kHubSettingsOffset, r);
        SetEditSettings(image, r);
    }

    CSetDlg* OpenWithF7() {
        QTest::keyClick(m_frame, Qt::Key_F7);
        return qobject_cast<CSetDlg*>(GetAppState().OpenWindow(ToolWindow::MachineSettings));
    }

    template <typename T = QWidget>
    static T* Control(QWidget* window, int id) {
        return qobject_cast<T*>(FindControl(window, id));
    }
};

constexpr MachineSettingsRecord kRecord = {0, 0, 0, 70, 255, 90, 80, 1, 0x93, 7, 8, 2, 0x11, 9};

TEST_F(MachineSettingsWindowTest, ApplySendsTheEditedRecordAndOnlyThenMakesItCurrent) {
    StartConnected();
    SetRecord(kRecord);
    CSetDlg* dialog = OpenWithF7();
    ASSERT_NE(dialog, nullptr);
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_EQ(Control<QComboBox>(dialog, CSetDlg::kPowerOnMode)->currentText(), "M2");
    EXPECT_TRUE(Control<QRadioButton>(dialog, 1195)->isChecked());
    EXPECT_TRUE(Control<QCheckBox>(dialog, CSetDlg::kHdmiMute)->isChecked());
    EXPECT_EQ(Control<QLabel>(dialog, 1146)->text(), QStringLiteral("无效"));
    EXPECT_FALSE(Control<QLabel>(dialog, 1002)->isEnabled());

    Mark();
    QTest::mouseClick(Control(dialog, 1191), Qt::LeftButton);               // by mode
    QTest::mouseClick(Control(dialog, CSetDlg::kHdmiMute), Qt::LeftButton); // unticked
    QTest::mouseClick(Control(dialog, 1199), Qt::LeftButton);               // to both
    auto* powerOn = Control<QComboBox>(dialog, CSetDlg::kPowerOnMode);
    powerOn->setFocus();
    QTest::keyClick(powerOn, Qt::Key_Down); // M3
    MachineSettingsRecord edited = kRecord;
    edited[0] = edited[1] = edited[2] = 1;
    edited[12] = 0x20;
    edited[11] = 3;
    EXPECT_EQ(EditSettings(GetParamImage()), edited);
    EXPECT_EQ(CurrentSettings(GetParamImage()), kRecord);

    QTest::mouseClick(Control(dialog, CSetDlg::kApply), Qt::LeftButton);
    auto* info = qobject_cast<CInfoDlg*>(GetAppState().OpenWindow(ToolWindow::Info));
    ASSERT_NE(info, nullptr);
    EXPECT_EQ(info->Text(), QStringLiteral("机器设置已生效!"));
    const auto sent = WaitCommands(145, 1);
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_TRUE(std::equal(edited.begin(), edited.end(), sent[0].begin() + 2));
    EXPECT_TRUE(std::all_of(sent[0].begin() + 16, sent[0].end(), [](auto b) { return b == 0; }));
    EXPECT_EQ(CurrentSettings(GetParamImage()), edited);
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            return device::RunningSimulator()->Inspect(
                       [](const sim::SimProcessor& p) { return p.MachineSettings(); }) == edited;
        },
        3000));
}

TEST_F(MachineSettingsWindowTest, ApplyWithoutAProcessorSaysNothingWasSent) {
    Start(); // no processor
    SetRecord(kRecord);
    for (int language : {kChinese, kEnglish}) {
        SetLanguageIndex(language);
        LoadCurrentLanguageTable();
        CSetDlg* dialog = OpenWithF7();
        ASSERT_NE(dialog, nullptr);
        QTest::mouseClick(Control(dialog, 1191), Qt::LeftButton); // by mode
        QTest::mouseClick(Control(dialog, CSetDlg::kApply), Qt::LeftButton);
        auto* info = qobject_cast<CInfoDlg*>(GetAppState().OpenWindow(ToolWindow::Info));
        ASSERT_NE(info, nullptr);
        EXPECT_TRUE(info->isVisible());
        EXPECT_EQ(info->Text(),
                  language == kChinese
                      ? QStringLiteral("未连接设备，机器设置未发送!")
                      : QStringLiteral("No processor is connected: the settings were not sent"));
        // The edit stays for the next Apply; the current copy is what the processor has.
        EXPECT_EQ(EditSettings(GetParamImage())[0], 1);
        EXPECT_EQ(CurrentSettings(GetParamImage()), kRecord);
        dialog->reject();
        QTest::qWait(20);
    }
    SetLanguageIndex(kChinese);
    LoadCurrentLanguageTable();
}

TEST_F(MachineSettingsWindowTest, CancelKeepsEditsForTheNextApplyTheTitleBarCloseDropsThem) {
    StartConnected();
    SetRecord(kRecord);
    CSetDlg* dialog = OpenWithF7();
    Mark();
    QTest::mouseClick(Control(dialog, 1191), Qt::LeftButton);
    QTest::mouseClick(Control(dialog, CSetDlg::kCancel), Qt::LeftButton);
    ASSERT_TRUE(QTest::qWaitFor(
        [] { return GetAppState().OpenWindow(ToolWindow::MachineSettings) == nullptr; }, 2000));
    EXPECT_EQ(EditSettings(GetParamImage())[0], 1);

    dialog = OpenWithF7();
    ASSERT_NE(dialog, nullptr);
    EXPECT_TRUE(Control<QRadioButton>(dialog, 1190)->isChecked()); // shows the current copy
    dialog->close();                                               // the title-bar button
    ASSERT_TRUE(QTest::qWaitFor(
        [] { return GetAppState().OpenWindow(ToolWindow::MachineSettings) == nullptr; }, 2000));
    EXPECT_EQ(EditSettings(GetParamImage()), kRecord);
    QTest::qWait(100);
    EXPECT_TRUE(SinceMark(145).empty());
}

TEST_F(MachineSettingsWindowTest, LoweringTheMaximumBelowTheStartVolumeMovesAndSendsIt) {
    StartConnected();
    SetRecord(kRecord); // microphone start 70, maximum 90
    CSetDlg* dialog = OpenWithF7();
    auto* start = Control<CXBmpSlider>(dialog, 1014);
    auto* max = Control<CXBmpSlider>(dialog, 1016);
    EXPECT_EQ(start->Pos(), 70);
    EXPECT_EQ(max->Pos(), 90);
    Mark();
    MoveSlider(max, 40);
    EXPECT_EQ(start->Pos(), 40);
    EXPECT_EQ(start->Maximum(), 40);
    EXPECT_EQ(Control<QLabel>(dialog, 1145)->text(), "40");
    EXPECT_EQ(Control<QLabel>(dialog, 1147)->text(), "40");
    const MachineSettingsRecord r = EditSettings(GetParamImage());
    EXPECT_EQ(r[3], 40);
    EXPECT_EQ(r[5], 40);
    EXPECT_EQ(GetParamImage().Int(fields::micVolume), 40);
    const auto volumes = WaitParams(1, 14, 1);
    ASSERT_FALSE(volumes.empty());
    EXPECT_EQ(volumes.back(), ParamBytes(1, 14, 40 / 100.0f + 0.0005f));
}

TEST_F(MachineSettingsWindowTest, StartVolumeSwitchTakesTheLiveVolumeOrMarksItUnset) {
    StartConnected();
    SetRecord(kRecord);
    GetParamImage().SetInt(fields::musicVolume, 0, 33);
    CSetDlg* dialog = OpenWithF7();
    QTest::mouseClick(Control(dialog, 1040), Qt::LeftButton);
    EXPECT_EQ(EditSettings(GetParamImage())[4], 33);
    EXPECT_EQ(Control<CXBmpSlider>(dialog, 1015)->Pos(), 33);
    EXPECT_EQ(Control<QLabel>(dialog, 1146)->text(), "33");
    EXPECT_TRUE(Control<QLabel>(dialog, 1002)->isEnabled());
    QTest::mouseClick(Control(dialog, 1039), Qt::LeftButton);
    EXPECT_EQ(EditSettings(GetParamImage())[3], 255);
    EXPECT_EQ(Control<CXBmpSlider>(dialog, 1014)->Pos(), 0);
    EXPECT_FALSE(Control<QLabel>(dialog, 1145)->isEnabled());
}

TEST_F(MachineSettingsWindowTest, RouteByteOfFortyEightOrMoreLeavesEveryRouteUnchosen) {
    Start();
    MachineSettingsRecord r = kRecord;
    r[12] = 48;
    SetRecord(r);
    CSetDlg* dialog = OpenWithF7();
    for (int id : {1192, 1195, 1199}) {
        EXPECT_FALSE(Control<QRadioButton>(dialog, id)->isChecked()) << id;
    }
}

TEST_F(MachineSettingsWindowTest, FactoryRecallAsksFirstAndSendsTheModeOnlyWhenConfirmed) {
    StartConnected();
    CSetDlg* dialog = OpenWithF7();
    Mark();
    m_boxes->answers = {BoxAnswer::No};
    QTest::mouseClick(Control(dialog, CSetDlg::kFactoryFirst + 2), Qt::LeftButton);
    ASSERT_EQ(m_boxes->shown.size(), 1u);
    QTest::qWait(100);
    EXPECT_TRUE(SinceMark(6).empty());
    m_boxes->answers = {BoxAnswer::Yes};
    QTest::mouseClick(Control(dialog, CSetDlg::kFactoryFirst + 2), Qt::LeftButton);
    const auto recall = WaitCommands(6, 1);
    ASSERT_EQ(recall.size(), 1u);
    EXPECT_EQ(recall[0][2], 2);
}

TEST_F(MachineSettingsWindowTest, SingleSettingWindowsStoreSendAndEnableTheirLevel) {
    StartConnected();
    GetParamImage().SetInt(fields::autoSubOn, 0, 0);
    m_frame->OnCommand(cmd::kAutoSub);
    auto* sub = qobject_cast<CAutoSubDlg*>(GetAppState().OpenWindow(ToolWindow::AutoSub));
    ASSERT_NE(sub, nullptr);
    auto* subSlider = Control<CXBmpSlider>(sub, SingleSettingDlg::kSlider);
    EXPECT_FALSE(subSlider->IsSliderEnabled());
    Mark();
    QTest::mouseClick(Control(sub, SingleSettingDlg::kSwitch), Qt::LeftButton);
    EXPECT_TRUE(subSlider->IsSliderEnabled());
    MoveSlider(subSlider, 35);
    EXPECT_EQ(Control<QLabel>(sub, SingleSettingDlg::kValue)->text(), "35%");
    const auto on = WaitParams(1, 12, 1);
    ASSERT_EQ(on.size(), 1u);
    EXPECT_EQ(on[0][9], 1);
    EXPECT_EQ(WaitParams(1, 13, 1).back(), ParamBytes(1, 13, 0.35f));

    GetParamImage().SetInt(fields::musicAgcOn, 0, 1);
    GetParamImage().SetFloat(fields::musicAgcLevel, 0, -10.0f);
    m_frame->OnCommand(cmd::kAutoMusicVol);
    auto* agc = qobject_cast<CAutoMusicVolDlg*>(GetAppState().OpenWindow(ToolWindow::AutoMusicVol));
    ASSERT_NE(agc, nullptr);
    auto* agcSlider = Control<CXBmpSlider>(agc, SingleSettingDlg::kSlider);
    EXPECT_EQ(agcSlider->Pos(), -100);
    EXPECT_EQ(Control<QLabel>(agc, SingleSettingDlg::kValue)->text(), "2.0dB");
    Mark();
    MoveSlider(agcSlider, -125);
    EXPECT_EQ(Control<QLabel>(agc, SingleSettingDlg::kValue)->text(), "-0.5dB");
    EXPECT_FLOAT_EQ(GetParamImage().Float(fields::musicAgcLevel), -12.5f);
    EXPECT_EQ(WaitParams(4, 17, 1).back(), ParamBytes(4, 17, -12.5f));
}

TEST_F(MachineSettingsWindowTest, WindowsInBothLanguages) {
    StartConnected();
    SetRecord(kRecord);
    for (int language : {kChinese, kEnglish}) {
        SetLanguageIndex(language);
        LoadCurrentLanguageTable();
        CSetDlg* dialog = OpenWithF7();
        ASSERT_NE(dialog, nullptr);
        EXPECT_EQ(dialog->windowTitle(), language == kChinese ? "机器设置" : "Machine Set");
        EXPECT_EQ(Control<QLabel>(dialog, 1146)->text(), language == kChinese ? "无效" : "Invalid");
        const QString suffix = language == kChinese ? "zh" : "en";
        Settle(dialog);
        SaveScreenshot(dialog, "machine-settings-" + suffix);
        dialog->close();
        m_frame->OnCommand(cmd::kAutoSub);
        Settle(GetAppState().OpenWindow(ToolWindow::AutoSub));
        SaveScreenshot(GetAppState().OpenWindow(ToolWindow::AutoSub), "auto-sub-" + suffix);
        GetAppState().OpenWindow(ToolWindow::AutoSub)->close();
        QTest::qWait(20);
    }
    SetLanguageIndex(kChinese);
    LoadCurrentLanguageTable();
}

} // namespace
} // namespace kv::test
