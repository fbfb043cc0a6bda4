#include "SimFixture.h"

#include "image/MainFields.h"
#include "image/ModeFile.h"
#include "image/ParamImage.h"
#include "link/ConnectionState.h"
#include "link/Link.h"
#include "link/platform/HidBackend.h"
#include "shell/CDisconnectedPanel.h"
#include "shell/CInfoDlg.h"
#include "shell/CRibbon.h"
#include "shell/CommandIds.h"
#include "shell/DeviceSimulator.h"
#include "shell/Language.h"
#include "shell/ModeCommands.h"
#include "shell/ToolWindows.h"
#include "sim/InProcessBus.h"

#include <QApplication>
#include <QCheckBox>
#include <QFileInfo>
#include <QLabel>
#include <QSlider>
#include <QTabBar>
#include <QToolButton>
#include <QWheelEvent>

#include <cstdlib>
#include <cstring>
#include <functional>

namespace kv::test {
namespace {

class SimulatedProcessorTest : public SimFixture {
protected:
    CRibbon& Ribbon() { return *m_frame->Ribbon(); }

    QString InfoText() const {
        CInfoDlg* info = m_frame->InfoWindow();
        return info ? info->Text() : QString();
    }

    /// Sets a quick level in the image and on the ribbon without sending anything.
    void SetLevel(QuickLevel level, int value) {
        GetParamImage().SetSlot(QuickLevelOf(level).field->slot, value);
        Ribbon().RefreshQuickControls();
    }

    /// Makes the processor report machine settings with these microphone and music maxima.
    void SetMaxima(int mic, int music) {
        device::SendCommand({145, 0, 0, 0, 255, 255, mic, music, 0, 0, 0, 0, 0, 0, 0});
        device::SendCommand({146});
        ASSERT_TRUE(QTest::qWaitFor([&] {
            return GetParamImage().HubByte(541) == mic && GetParamImage().HubByte(542) == music;
        }));
    }

    int LiveMusicVolumeCommands() { return static_cast<int>(ParamsSinceMark(4, 12).size()); }
};

TEST_F(SimulatedProcessorTest, ConnectsAtStartReadsTheProcessorAndPolls) {
    StartConnected();
    EXPECT_TRUE(device::IsConnected());
    EXPECT_EQ(QString::fromStdU16String(GetParamImage().Model()), QStringLiteral("KV5930Q"));
    EXPECT_EQ(GetParamImage().CommVersion(), 18);
    // Identification first, then the store read-back.
    const auto all = Received();
    ASSERT_GE(all.size(), 60u);
    EXPECT_EQ(all[0][1], 128);
    EXPECT_EQ(all[1][1], 127);
    EXPECT_EQ(SinceMark(48).size(), 59u);
    // The tray notice (the information window here, there is no system tray) and the panes.
    EXPECT_EQ(InfoText(), QStringLiteral("设备已连接，同步中……"));
    m_frame->UpdateStatus();
    EXPECT_EQ(m_frame->ConnectionPane()->text(), QStringLiteral("USB：已连接"));
    EXPECT_TRUE(m_frame->View()->DisconnectedPanel()->isHidden());
    EXPECT_TRUE(m_frame->Ribbon()->Button(cmd::kLoadFileInput)->isEnabled());
    EXPECT_TRUE(m_frame->View()->StatusPollActive());
    Mark();
    EXPECT_TRUE(QTest::qWaitFor([&] { return !SinceMark(14).empty(); }, 3000));
    SaveScreenshot(m_frame, QStringLiteral("connected-zh"));
    m_frame->OnCommand(cmd::kLanguage);
    QTest::qWait(300);
    EXPECT_EQ(m_frame->ConnectionPane()->text(), QStringLiteral("USB:Connected"));
    SaveScreenshot(m_frame, QStringLiteral("connected-en"));
}

TEST_F(SimulatedProcessorTest, MicSliderIsCutToTheMaximumOfReport146WithItsNotice) {
    StartConnected();
    SetMaxima(80, 90);
    Mark();
    Ribbon().Slider(QuickLevel::Mic, CRibbon::kInput)->setValue(95);
    EXPECT_EQ(Ribbon().Slider(QuickLevel::Mic, CRibbon::kInput)->value(), 80);
    EXPECT_EQ(Ribbon().Slider(QuickLevel::Mic, CRibbon::kOutput)->value(), 80);
    EXPECT_EQ(GetParamImage().Slot(fields::micVolume.slot), 80);
    EXPECT_EQ(InfoText(), QStringLiteral("不能超过最大话筒音量!"));
    EXPECT_EQ(Ribbon().ValueLabel(QuickLevel::Mic, CRibbon::kOutput)->text(),
              QStringLiteral("话筒音量: 80"));
    const auto sent = WaitParams(1, 14, 1);
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0], ParamBytes(1, 14, static_cast<float>(80 / 100.0 + 0.0005)));
    // The processor took the value.
    const auto live = device::RunningSimulator()->Inspect(
        [](const sim::SimProcessor& p) { return p.Live().Values(1, 14); });
    EXPECT_EQ(Bytes(live.begin(), live.end()), Bytes(sent[0].begin() + 6, sent[0].begin() + 10));

    // Below the maximum nothing is cut and no notice is shown.
    m_frame->InfoWindow()->close();
    QTest::qWait(20);
    Ribbon().Slider(QuickLevel::Mic, CRibbon::kInput)->setValue(70);
    EXPECT_EQ(GetParamImage().Slot(fields::micVolume.slot), 70);
    EXPECT_TRUE(m_frame->InfoWindow() == nullptr || !m_frame->InfoWindow()->isVisible());
}

TEST_F(SimulatedProcessorTest, LevelKeysStepByFiveBelowFiftyTwoAboveAndOneWithCtrl) {
    StartConnected();
    struct Case {
        int start;
        Qt::KeyboardModifiers modifiers;
        int key;
        int expected;
    };
    const Case cases[] = {
        {48, Qt::NoModifier, Qt::Key_W, 53},      {50, Qt::NoModifier, Qt::Key_W, 52},
        {50, Qt::ControlModifier, Qt::Key_W, 51}, {3, Qt::NoModifier, Qt::Key_S, 0},
        {60, Qt::NoModifier, Qt::Key_S, 58},      {99, Qt::NoModifier, Qt::Key_W, 99},
    };
    SetMaxima(99, 99);
    for (const Case& c : cases) {
        SetLevel(QuickLevel::Mic, c.start);
        Mark();
        QTest::keyClick(m_frame, static_cast<Qt::Key>(c.key), c.modifiers);
        EXPECT_EQ(GetParamImage().Slot(fields::micVolume.slot), c.expected) << c.start;
        EXPECT_EQ(Ribbon().Slider(QuickLevel::Mic, CRibbon::kOutput)->value(), c.expected);
        const auto sent = WaitParams(1, 14, 1);
        ASSERT_EQ(sent.size(), 1u) << c.start;
        EXPECT_EQ(sent[0], ParamBytes(1, 14, static_cast<float>(c.expected / 100.0 + 0.0005)));
    }
    // Music (Q) and echo (E) keys act on their own levels; echo is sent without the offset.
    SetLevel(QuickLevel::Echo, 20);
    Mark();
    QTest::keyClick(m_frame, Qt::Key_E);
    EXPECT_EQ(GetParamImage().Slot(fields::echoVolume.slot), 25);
    ASSERT_EQ(WaitParams(2, 26, 1).size(), 1u);
    EXPECT_EQ(ParamsSinceMark(2, 26)[0], ParamBytes(2, 26, 0.25f));
}

TEST_F(SimulatedProcessorTest, WheelOverAPanelStepsItsSliderAndElsewhereDoesNothing) {
    StartConnected();
    SetLevel(QuickLevel::Reverb, 40);
    Mark();
    QSlider* reverb = Ribbon().Slider(QuickLevel::Reverb, CRibbon::kInput);
    QWheelEvent up(QPointF(5, 5), reverb->mapToGlobal(QPointF(5, 5)), QPoint(), QPoint(0, 120),
                   Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(reverb->parentWidget(), &up);
    EXPECT_EQ(GetParamImage().Slot(fields::reverbVolume.slot), 41);
    EXPECT_EQ(Ribbon().Slider(QuickLevel::Reverb, CRibbon::kOutput)->value(), 41);
    ASSERT_EQ(WaitParams(3, 24, 1).size(), 1u);
    EXPECT_EQ(ParamsSinceMark(3, 24)[0], ParamBytes(3, 24, 0.41f, 2));
    // Over the category tabs the wheel neither steps a level nor switches the category.
    QWheelEvent down(QPointF(5, 5), QPointF(5, 5), QPoint(), QPoint(0, -120), Qt::NoButton,
                     Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(Ribbon().Tabs(), &down);
    EXPECT_EQ(Ribbon().ActiveCategory(), CRibbon::kInput);
    EXPECT_EQ(GetParamImage().Slot(fields::reverbVolume.slot), 41);
}

TEST_F(SimulatedProcessorTest, RibbonSliderKeysStepLikeTheMouseWithItsLimitsAndNotices) {
    StartConnected();
    SetMaxima(80, 99);
    m_frame->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(m_frame));
    QSlider* mic = Ribbon().Slider(QuickLevel::Mic, CRibbon::kInput);
    // A click gives the slider the keyboard; Tab goes on to the next panel's slider.
    QTest::mouseClick(mic, Qt::LeftButton, Qt::NoModifier, QPoint(2, mic->height() / 2));
    ASSERT_EQ(QApplication::focusWidget(), mic);
    QTest::keyClick(mic, Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), Ribbon().Slider(QuickLevel::Effect, CRibbon::kInput));
    // The click sent a command too; let it reach the trace before counting.
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            const auto before = Received().size();
            QTest::qWait(150);
            return Received().size() == before;
        },
        5000));

    // Turns the mouse wheel over the microphone panel `steps` times (negative: down).
    auto wheel = [&](int steps) {
        for (int i = 0; i < std::abs(steps); ++i) {
            QWheelEvent turn(QPointF(5, 5), mic->mapToGlobal(QPointF(5, 5)), QPoint(),
                             QPoint(0, steps > 0 ? 120 : -120), Qt::NoButton, Qt::NoModifier,
                             Qt::NoScrollPhase, false);
            QApplication::sendEvent(mic->parentWidget(), &turn);
        }
    };
    struct Case {
        Qt::Key key;
        int start;
        int expected;
        int wheelSteps; ///< the mouse wheel turns that reach the same value
        bool limitNotice;
    };
    const Case cases[] = {
        {Qt::Key_Right, 40, 41, 1, false},   {Qt::Key_Left, 40, 39, -1, false},
        {Qt::Key_PageUp, 40, 50, 10, false}, {Qt::Key_PageDown, 5, 0, -10, false},
        {Qt::Key_Home, 12, 0, -12, false},   {Qt::Key_End, 75, 80, 25, true},
        {Qt::Key_Up, 80, 80, 1, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(QTest::toString(c.key));
        // The keyboard ...
        SetLevel(QuickLevel::Mic, c.start);
        if (CInfoDlg* info = m_frame->InfoWindow()) {
            info->close();
        }
        m_frame->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(m_frame));
        mic->setFocus(Qt::TabFocusReason);
        ASSERT_EQ(QApplication::focusWidget(), mic);
        Mark();
        QTest::keyClick(QApplication::focusWidget(), c.key);
        EXPECT_EQ(GetParamImage().Slot(fields::micVolume.slot), c.expected);
        EXPECT_EQ(Ribbon().Slider(QuickLevel::Mic, CRibbon::kOutput)->value(), c.expected);
        EXPECT_EQ(InfoText() == QStringLiteral("不能超过最大话筒音量!"), c.limitNotice);
        const auto keyed = WaitParams(1, 14, 1);
        ASSERT_EQ(keyed.size(), 1u);
        EXPECT_EQ(keyed[0], ParamBytes(1, 14, static_cast<float>(c.expected / 100.0 + 0.0005)));
        // ... and the mouse from the same start end with the same command.
        SetLevel(QuickLevel::Mic, c.start);
        Mark();
        wheel(c.wheelSteps);
        const auto wheeled = WaitParams(1, 14, static_cast<std::size_t>(std::abs(c.wheelSteps)));
        ASSERT_FALSE(wheeled.empty());
        EXPECT_EQ(wheeled.back(), keyed[0]);
    }
}

TEST_F(SimulatedProcessorTest, MuteBoxesAndKeysToggleTheFieldAndBothCopies) {
    StartConnected();
    Mark();
    QCheckBox* inputMic = Ribbon().MuteBox(MuteKind::Mic, CRibbon::kInput);
    QCheckBox* outputMic = Ribbon().MuteBox(MuteKind::Mic, CRibbon::kOutput);
    QTest::mouseClick(inputMic, Qt::LeftButton, {}, QPoint(6, inputMic->height() / 2));
    EXPECT_EQ(GetParamImage().Int(fields::micMute), 1);
    EXPECT_TRUE(inputMic->isChecked());
    EXPECT_TRUE(outputMic->isChecked());
    // The mute reaches the processor before the next key (a quicker unmute would replace it).
    ASSERT_EQ(WaitParams(1, 15, 1).size(), 1u);
    // A level change while muted says so.
    Ribbon().Slider(QuickLevel::Mic, CRibbon::kInput)->setValue(10);
    EXPECT_EQ(InfoText(), QStringLiteral("当前是静音状态"));
    // X toggles it back: unmuted, so no "muted" notice.
    QTest::keyClick(m_frame, Qt::Key_X);
    EXPECT_EQ(GetParamImage().Int(fields::micMute), 0);
    EXPECT_FALSE(inputMic->isChecked());
    const auto mic = WaitParams(1, 15, 2);
    ASSERT_EQ(mic.size(), 2u);
    EXPECT_EQ(mic[0], ParamBytes(1, 15, 0.0f));
    EXPECT_EQ(mic[1], ParamBytes(1, 15, 1.0f));

    // V mutes the reverb: two values, and its notice.
    Mark();
    QTest::keyClick(m_frame, Qt::Key_V);
    EXPECT_EQ(GetParamImage().Int(fields::reverbMute), 1);
    EXPECT_TRUE(Ribbon().MuteBox(MuteKind::Reverb, CRibbon::kOutput)->isChecked());
    EXPECT_EQ(InfoText(), QStringLiteral("混响已静音"));
    ASSERT_EQ(WaitParams(3, 25, 1).size(), 1u);
    EXPECT_EQ(ParamsSinceMark(3, 25)[0], ParamBytes(3, 25, 0.0f, 2));
}

TEST_F(SimulatedProcessorTest, F2WithUnsavedChangesAnsweredNoSendsNothing) {
    StartConnected();
    Ribbon().Slider(QuickLevel::Effect, CRibbon::kInput)->setValue(33);
    // The processor reports that its parameters now differ from the stored mode.
    ASSERT_TRUE(QTest::qWaitFor([] { return g_bParamChanged.load() == 1; }, 3000));
    Mark();
    m_boxes->answers = {BoxAnswer::No};
    QTest::keyClick(m_frame, Qt::Key_F2);
    ASSERT_EQ(m_boxes->shown.size(), 1u);
    EXPECT_EQ(m_boxes->shown[0].text, QStringLiteral("参数已更改，确定要直接载入模式二?"));
    EXPECT_EQ(m_boxes->shown[0].caption, QStringLiteral("信息"));
    QTest::qWait(300);
    EXPECT_TRUE(SinceMark(5).empty());

    // Yes recalls M2 and reads the processor again.
    m_boxes->answers = {BoxAnswer::Yes};
    QTest::keyClick(m_frame, Qt::Key_F2);
    ASSERT_TRUE(WaitSynchronised(2));
    ASSERT_EQ(SinceMark(5).size(), 1u);
    EXPECT_EQ(SinceMark(5)[0][2], 1);
    EXPECT_EQ(g_nCurrentMode.load(), 1);
    EXPECT_EQ(device::RunningSimulator()->Inspect(
                  [](const sim::SimProcessor& p) { return p.CurrentMode(); }),
              1);
}

TEST_F(SimulatedProcessorTest, FileTitledM3IsStoredIntoM3AfterTheWriteAll) {
    StartConnected();
    // A mode file with an echo volume of 33.
    ParamImage source;
    source.InitDefaults();
    source.SetSlot(fields::echoVolume.slot, 33);
    const QString path = m_dir.filePath(QStringLiteral("M3 party.amod"));
    ASSERT_TRUE(WriteModeFile(path.toStdString(), source).ok());

    Mark();
    m_chooser->answers = {path};
    QTest::mouseClick(Ribbon().Button(cmd::kLoadFileInput), Qt::LeftButton);
    ASSERT_TRUE(WaitSynchronised(2));
    EXPECT_EQ(GetParamImage().Slot(fields::echoVolume.slot), 33);
    EXPECT_EQ(Ribbon().Slider(QuickLevel::Echo, CRibbon::kInput)->value(), 33);
    EXPECT_EQ(GetAppState().fileModeSlot, -1);
    EXPECT_EQ(g_nCurrentMode.load(), 2);
    EXPECT_EQ(m_frame->Settings().RecentFiles().value(0), path);
    // After the write-all (its last commands are the two volume queries): 02 03 02, 02 04 02.
    WaitCommands(4, 1);
    const auto since = ReceivedSinceMark();
    std::vector<Bytes> tail;
    for (const Bytes& b : since) {
        if (b[1] == 3 || b[1] == 4 || b[1] == 10) {
            tail.push_back(b);
        }
    }
    ASSERT_GE(tail.size(), 4u);
    EXPECT_EQ(tail[tail.size() - 4][1], 10);
    EXPECT_EQ(tail[tail.size() - 3][1], 10);
    EXPECT_EQ((Bytes{tail[tail.size() - 2][1], tail[tail.size() - 2][2]}), (Bytes{3, 2}));
    EXPECT_EQ((Bytes{tail.back()[1], tail.back()[2]}), (Bytes{4, 2}));
    const auto stored = device::RunningSimulator()->Inspect(
        [](const sim::SimProcessor& p) { return p.Mode(2).Values(2, 26); });
    const Bytes expected = ParamBytes(2, 26, 0.33f);
    EXPECT_EQ(Bytes(stored.begin(), stored.end()),
              Bytes(expected.begin() + 6, expected.begin() + 10));
}

TEST_F(SimulatedProcessorTest, SaveStoresTheCurrentModeBeforeWritingTheFile) {
    StartConnected();
    // The dialog proposes the processor's name of the current mode, made safe as a file name.
    GetParamImage().SetModeName(g_nCurrentMode.load(), u"Party/Night.");
    const QString path = m_dir.filePath(QStringLiteral("saved.amod"));
    m_chooser->answers = {path};
    Mark();
    m_frame->OnCommand(cmd::kSaveFileOutput);
    ASSERT_EQ(m_chooser->proposedNames.size(), 1u);
    EXPECT_EQ(m_chooser->proposedNames[0], QStringLiteral("PartyNight"));
    ASSERT_EQ(WaitCommands(4, 1).size(), 1u);
    EXPECT_EQ(SinceMark(4)[0][2], g_nCurrentMode.load());
    EXPECT_EQ(QFileInfo(path).size(), 2223);
    EXPECT_TRUE(m_frame->MessagePane()->text().contains(QStringLiteral("saved.amod")))
        << m_frame->MessagePane()->text().toStdString();
    // The store is reported once the processor answered it.
    QTRY_COMPARE(m_frame->MessagePane()->text(),
                 QStringLiteral("已保存 saved.amod，并保存至机器模式 %1")
                     .arg(ModeName(0, g_nCurrentMode.load())));

    // Without a name from the processor the mode's number is proposed.
    GetParamImage().SetModeName(g_nCurrentMode.load(), u"");
    m_frame->OnCommand(cmd::kSaveFileOutput);
    ASSERT_EQ(m_chooser->proposedNames.size(), 2u);
    EXPECT_EQ(m_chooser->proposedNames[1], QStringLiteral("M%1").arg(g_nCurrentMode.load() + 1));
}

TEST_F(SimulatedProcessorTest, LoadStoreAndRecallSayWhatTheyDidInTheStatusBar) {
    StartConnected();
    ParamImage source;
    source.InitDefaults();
    const QString path = m_dir.filePath(QStringLiteral("evening.amod"));
    ASSERT_TRUE(WriteModeFile(path.toStdString(), source).ok());
    m_chooser->answers = {path};
    m_frame->OnCommand(cmd::kLoadFileInput);
    ASSERT_TRUE(WaitSynchronised(2));
    const QString loaded = m_frame->MessagePane()->text();
    EXPECT_TRUE(loaded.contains(QStringLiteral("evening.amod"))) << loaded.toStdString();
    // The simulated processor keeps its volumes across power cycles, so the write-all left
    // them alone.
    EXPECT_TRUE(loaded.contains(QStringLiteral("保持机器原来的值"))) << loaded.toStdString();

    // A write-all that the synchronisation dialog gives up on is not reported as a load.
    CSynDlg::SetTimeoutMs(1);
    m_chooser->answers = {path};
    m_frame->OnCommand(cmd::kLoadFileInput);
    CSynDlg::SetTimeoutMs(CSynDlg::kDefaultTimeoutMs);
    EXPECT_EQ(m_frame->MessagePane()->text(),
              QStringLiteral("evening.amod 已读入，但机器没有确认收到"));
    ASSERT_TRUE(WaitSynchronised(3));

    m_boxes->answers = {BoxAnswer::Yes};
    m_frame->OnCommand(cmd::kStoreFirst + 3);
    // Said once the processor answered, not when the command was queued.
    QTRY_COMPARE(m_frame->MessagePane()->text(), QStringLiteral("已保存至机器模式 M4（音乐）"));

    m_frame->OnCommand(cmd::kRecallFirst + 1);
    ASSERT_TRUE(WaitSynchronised(4));
    EXPECT_EQ(m_frame->MessagePane()->text(), QStringLiteral("已调用机器模式 M2（电影）"));
}

TEST_F(SimulatedProcessorTest, AModeStoreTheProcessorDoesNotAnswerIsNotReportedAsStored) {
    using namespace std::chrono_literals;
    StartConnected();
    const QString path = m_dir.filePath(QStringLiteral("late.amod"));
    struct Case {
        const char* name;
        std::function<void()> store;
        QString said;
        int changedAfter; ///< the menu's store leaves the changes unsaved; the file holds them
    };
    const Case cases[] = {
        {"from the menu",
         [&] {
             m_boxes->answers = {BoxAnswer::Yes};
             m_frame->OnCommand(cmd::kStoreFirst + 3);
         },
         QStringLiteral("未能保存至机器模式 M4（音乐）：命令没有送达"), 1},
        {"with a mode file",
         [&] {
             g_nCurrentMode.store(3);
             m_chooser->answers = {path};
             m_frame->OnCommand(cmd::kSaveFileOutput);
         },
         QStringLiteral("已保存 late.amod，但机器模式 M4（音乐） 未保存：命令没有送达"), 0},
    };
    SetAnswerWait(100ms);
    device::RunningSimulator()->SetLatency(400ms);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        g_bParamChanged.store(1);
        c.store();
        QTRY_COMPARE_WITH_TIMEOUT(m_frame->MessagePane()->text(), c.said, 5000);
        EXPECT_EQ(g_bParamChanged.load(), c.changedAfter);
    }
    device::RunningSimulator()->SetLatency(0us);
    SetAnswerWait(std::chrono::milliseconds(kAckWaitMs));
}

TEST_F(SimulatedProcessorTest, RemovalOfAnotherDeviceIsIgnoredAndArrivalReconnects) {
    StartConnected();
    auto* bus = device::RunningSimulatorBus();
    sim::Simulator other;
    const std::string otherPath = bus->Attach(other, "other", UsbId{0x1234, 0x5678});
    bus->Unplug(otherPath);
    QTest::qWait(200);
    EXPECT_TRUE(device::IsConnected());

    // A tool window open before the processor comes back is closed by its arrival.
    RegisterToolWindow(ToolWindow::Loudness, [](QWidget* parent) {
        auto* w = new QWidget(parent, Qt::Tool);
        return w;
    });
    m_frame->OnCommand(cmd::kFeatures);
    ASSERT_NE(GetAppState().OpenWindow(ToolWindow::Loudness), nullptr);

    bus->Unplug(device::SimulatedDevicePath());
    ASSERT_TRUE(QTest::qWaitFor([] { return !device::IsConnected(); }, 5000));
    EXPECT_EQ(InfoText(), QStringLiteral("设备已断开!"));
    EXPECT_FALSE(m_frame->View()->StatusPollActive());

    bus->Plug(device::SimulatedDevicePath());
    ASSERT_TRUE(WaitSynchronised(2));
    EXPECT_TRUE(device::IsConnected());
    EXPECT_EQ(GetAppState().OpenWindow(ToolWindow::Loudness), nullptr);
    RegisterToolWindow(ToolWindow::Loudness, nullptr);
    bus->Detach(otherPath);
}

TEST_F(SimulatedProcessorTest, RefusedProcessorsAreNamedAndTheWindowShowsItIsDisconnected) {
    struct Case {
        const char* model;
        int commVersion;
        const char* message;
    };
    const Case cases[] = {
        {"KV5930Q", 17, "机器与软件通信版本不匹配，请使用机器配套软件!"},
        {"MX9000", 18,
         "机器型号与软件不匹配!\n连接的机器型号: MX9000\n本软件支持的型号: KV5930Q, RS483"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.model);
        sim::SimOptions options;
        options.identity.model = c.model;
        options.identity.commVersion = c.commVersion;
        // Each processor starts a trace of its own.
        QFile::remove(m_dir.filePath(QStringLiteral("trace.txt")));
        Mark();
        options.tracePath = m_dir.filePath(QStringLiteral("trace.txt")).toStdString();
        ASSERT_TRUE(device::StartSimulator(options));
        m_boxes->shown.clear();
        Start();
        ASSERT_TRUE(QTest::qWaitFor([&] { return !m_boxes->shown.empty(); }, 15000));
        EXPECT_EQ(m_boxes->shown[0].text, QString::fromUtf8(c.message));
        EXPECT_EQ(m_boxes->shown[0].caption, QStringLiteral("错误"));
        EXPECT_EQ(m_boxes->shown[0].icon, BoxIcon::Error);
        EXPECT_FALSE(m_boxes->shown[0].overSyncDialog);
        EXPECT_EQ(m_boxes->shown.size(), 1u);
        EXPECT_FALSE(device::IsConnected());
        // No store read was sent, and the processor was told goodbye.
        EXPECT_TRUE(SinceMark(48).empty());
        ASSERT_FALSE(WaitCommands(138, 1).empty());
        // The window then shows the disconnected state.
        m_frame->UpdateStatus();
        EXPECT_FALSE(m_frame->View()->DisconnectedPanel()->isHidden());
        EXPECT_EQ(m_frame->ModePane()->text(), QStringLiteral("当前模式:--"));
        m_app.reset();
        device::StopSimulator();
    }
}

TEST_F(SimulatedProcessorTest, AProcessorHeldByAnotherConnectionIsNamedOnTheCard) {
    ASSERT_TRUE(device::StartSimulator(sim::SimOptions{}));
    // Another connection has the processor before the window starts.
    auto other = hid::OpenHidPath(device::SimulatedDevicePath());
    ASSERT_NE(other, nullptr);
    Start();
    QTest::qWait(300);
    m_frame->UpdateStatus();
    EXPECT_FALSE(device::IsConnected());
    CDisconnectedPanel* panel = m_frame->View()->DisconnectedPanel();
    EXPECT_FALSE(panel->isHidden());
    EXPECT_TRUE(panel->Text().contains(QStringLiteral("找到了处理器，但无法打开")))
        << panel->Text().toStdString();
    EXPECT_TRUE(panel->Text().contains(QStringLiteral("in use"))) << panel->Text().toStdString();
    SaveScreenshot(m_frame, QStringLiteral("busy-zh"));
    m_frame->OnCommand(cmd::kLanguage);
    QTest::qWait(100);
    EXPECT_TRUE(panel->Text().contains(QStringLiteral("could not be opened")))
        << panel->Text().toStdString();
    SaveScreenshot(m_frame, QStringLiteral("busy-en"));
    // Once the other connection lets go, the window takes the processor by itself.
    other->Close();
    EXPECT_TRUE(WaitSynchronised(1));
    EXPECT_TRUE(device::IsConnected());
    m_frame->UpdateStatus();
    EXPECT_TRUE(panel->isHidden());
    m_app.reset();
    device::StopSimulator();
}

TEST_F(SimulatedProcessorTest, MachineResetAsksThenResetsAndRestoresTheOptionRecord) {
    StartConnected();
    m_frame->Settings().SetQtOption({0, 0, 0, 0, 0, 0, 0, 0});
    Mark();
    m_boxes->answers = {BoxAnswer::No};
    QTest::mouseClick(Ribbon().Button(cmd::kMachineReset), Qt::LeftButton);
    QTest::qWait(200);
    EXPECT_TRUE(SinceMark(104).empty());
    m_boxes->answers = {BoxAnswer::Yes};
    QTest::mouseClick(Ribbon().Button(cmd::kMachineReset), Qt::LeftButton);
    ASSERT_EQ(m_boxes->shown.size(), 2u);
    EXPECT_EQ(m_boxes->shown[1].text,
              QStringLiteral("您确定要将机器复位吗? \n机器复位后请手动重启机器."));
    const auto reset = WaitCommands(104, 1);
    ASSERT_EQ(reset.size(), 1u);
    EXPECT_EQ(reset[0][2], 170);
    EXPECT_EQ(m_frame->Settings().QtOption(), kDefaultOptionRecord);
    EXPECT_EQ(GetAppState().option, kDefaultOptionRecord);
    EXPECT_EQ(InfoText(), QStringLiteral("请手动重启……"));
}

TEST_F(SimulatedProcessorTest, CloseWithUnsavedChangesKeepsRunningUnlessSavedOrDiscarded) {
    StartConnected();
    g_bParamChanged.store(1);
    const QString unwritable = m_dir.filePath(QStringLiteral("no such folder/x.amod"));
    struct Case {
        const char* what;
        BoxAnswer answer;
        QString file; ///< the file dialog's answer; empty = cancelled
    };
    // Every way of not getting the changes into a file keeps the window open and connected.
    const Case cases[] = {
        {"cancel at the question", BoxAnswer::Cancel, {}},
        {"cancel at the file dialog", BoxAnswer::Yes, {}},
        {"file cannot be written", BoxAnswer::Yes, unwritable},
    };
    Mark();
    for (const Case& c : cases) {
        m_boxes->answers = {c.answer};
        m_chooser->answers = {c.file};
        m_boxes->shown.clear();
        EXPECT_FALSE(m_frame->close()) << c.what;
        EXPECT_TRUE(m_frame->isVisible()) << c.what;
        EXPECT_TRUE(device::IsConnected()) << c.what;
        ASSERT_FALSE(m_boxes->shown.empty()) << c.what;
        EXPECT_EQ(m_boxes->shown[0].buttons, BoxButtons::YesNoCancel);
    }
    EXPECT_FALSE(QFileInfo::exists(unwritable));
    // None of them told the processor to store its mode (the file is checked first).
    EXPECT_TRUE(WaitCommands(4, 1).empty());

    // Yes with a file stores the current mode, writes the file and closes.
    const QString path = m_dir.filePath(QStringLiteral("kept.amod"));
    m_boxes->answers = {BoxAnswer::Yes};
    m_chooser->answers = {path};
    Mark();
    EXPECT_TRUE(m_frame->close());
    EXPECT_EQ(QFileInfo(path).size(), 2223);
    EXPECT_EQ(WaitCommands(4, 1).size(), 1u);
    EXPECT_FALSE(device::IsConnected());
}

TEST_F(SimulatedProcessorTest, CloseWithUnsavedChangesAnsweredNoClosesWithoutSaving) {
    StartConnected();
    g_bParamChanged.store(1);
    Mark();
    m_boxes->answers = {BoxAnswer::No};
    EXPECT_TRUE(m_frame->close());
    EXPECT_FALSE(device::IsConnected());
    EXPECT_EQ(WaitCommands(138, 1).size(), 1u);
    EXPECT_TRUE(SinceMark(4).empty());
    EXPECT_TRUE(m_chooser->proposedNames.empty());
}

} // namespace
} // namespace kv::test
