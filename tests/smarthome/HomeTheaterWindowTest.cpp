#include "smarthome/SmartPlugFixture.h"

#include "controls/CTabWnd.h"
#include "shell/CSynDlg.h"
#include "shell/CWaitDlg.h"
#include "smarthome/CDialogZwaveRemoter.h"
#include "smarthome/CDlgZwaveList.h"
#include "smarthome/CRemoteLearnDlg.h"
#include "smarthome/SceneRecord.h"

#include <QDir>
#include <QFile>
#include <QTimer>

namespace kv::test {
namespace {

using sim::ZWaveDeviceKind;

class HomeTheaterWindowTest : public SmartPlugFixture {
protected:
    void ClickButton(int id) {
        QPushButton* button = m_window->Button(id);
        ASSERT_NE(button, nullptr) << "control " << id;
        QTest::mouseClick(button, Qt::LeftButton);
    }

    /// Clicks a button that opens the synchronisation dialog; returns the dialog's text.
    QString ClickAndReadSyncText(int id) {
        // The dialog may be up for only a few milliseconds (a one-step scene): its text is
        // taken as soon as it shows.
        QString text;
        QTimer watch;
        QObject::connect(&watch, &QTimer::timeout, [&] {
            if (CSynDlg* sync = GetAppState().syncDialog; sync && text.isEmpty()) {
                text = sync->Text();
            }
        });
        watch.start(1);
        ClickButton(id);
        EXPECT_TRUE(
            QTest::qWaitFor([] { return !GetAppState().syncDialog && !SceneRunning(); }, 20000));
        return text;
    }

    static QString TextColour(QPushButton* button) { return button->styleSheet(); }
};

TEST_F(HomeTheaterWindowTest, TabButtonsShowOnePageAndTurnBlue) {
    StartWith({ZWaveDeviceKind::Switch});
    ASSERT_NE(OpenWindow(), nullptr);
    CTabWnd* tabs = m_window->TabArea();
    ASSERT_EQ(tabs->PageCount(), 3);
    EXPECT_EQ(tabs->TemplateId(0), 481);
    EXPECT_EQ(tabs->TemplateId(1), 482);
    EXPECT_EQ(tabs->TemplateId(2), 516);
    struct Case {
        int button;
        QWidget* page;
    };
    const std::vector<Case> cases = {{CDialogHomeTheater::kSceneTabId, m_window->ScenePage()},
                                     {CDialogHomeTheater::kLearnTabId, m_window->KeyPage()},
                                     {CDialogHomeTheater::kPlugTabId, m_window->DeviceList()}};
    EXPECT_TRUE(m_window->DeviceList()->isVisible()) << "the plug list shows first";
    for (const Case& c : cases) {
        SCOPED_TRACE(c.button);
        ClickButton(c.button);
        for (QWidget* page : {static_cast<QWidget*>(m_window->DeviceList()),
                              static_cast<QWidget*>(m_window->ScenePage()),
                              static_cast<QWidget*>(m_window->KeyPage())}) {
            EXPECT_EQ(page->isVisible(), page == c.page);
        }
        EXPECT_EQ(c.page->geometry(), tabs->rect()) << "the page fills the tab area";
        for (int id : {CDialogHomeTheater::kPlugTabId, CDialogHomeTheater::kSceneTabId,
                       CDialogHomeTheater::kLearnTabId}) {
            EXPECT_EQ(TextColour(m_window->Button(id)),
                      id == c.button ? QStringLiteral("color: rgb(0, 0, 255);")
                                     : QStringLiteral("color: rgb(0, 0, 0);"));
        }
    }
}

TEST_F(HomeTheaterWindowTest, SceneButtonsRunTheirScenesBehindTheSyncDialog) {
    StartWith({ZWaveDeviceKind::Switch});
    ASSERT_NE(OpenWindow(), nullptr);
    // Every scene switches node 2 to its own value, so the run shows which scene it was.
    for (int k = 0; k < zwave::kSceneCount; ++k) {
        zwave::SceneRecord record{};
        record[0] = {2, static_cast<std::uint8_t>(10 + k)};
        ASSERT_TRUE(WriteSceneRecord(k, record));
    }
    struct Case {
        int button;
        int scene;
        QString text;
    };
    const std::vector<Case> cases = {
        {CDialogHomeTheater::kPowerOnId, 4, QStringLiteral("调用开机情景……")},
        {CDialogHomeTheater::kPowerOffId, 5, QStringLiteral("调用关机情景……")},
        {1070, 0, QStringLiteral("载入情景中")},
        {1072, 2, QStringLiteral("载入情景中")},
        {1073, 3, QStringLiteral("载入情景中")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.button);
        Mark();
        EXPECT_EQ(ClickAndReadSyncText(c.button), c.text);
        EXPECT_EQ(g_nSceneRequest.load(), c.scene);
        // The simulator's trace may lag a moment behind the scene's end.
        [[maybe_unused]] const bool seen =
            QTest::qWaitFor([&] { return !BasicSets().empty(); }, 3000);
        EXPECT_EQ(BasicSets(), (std::vector<std::pair<int, int>>{{2, 10 + c.scene}}));
    }
}

TEST_F(HomeTheaterWindowTest, WithoutAProcessorNothingStartsAndEveryButtonSaysSo) {
    Start();
    ASSERT_FALSE(device::IsConnected());
    ASSERT_NE(OpenWindow(), nullptr);
    QTest::qWait(CDialogHomeTheater::kReadDelayMs + 100);
    EXPECT_EQ(GetAppState().syncDialog, nullptr) << "no hub read without a processor";
    EXPECT_EQ(g_bZWaveSynchronised.load(), 0);
    for (int id : {CDialogHomeTheater::kPowerOnId, CDialogHomeTheater::kPowerOffId, 1071,
                   CDialogHomeTheater::kRemoveId, CDialogHomeTheater::kAddId,
                   CDialogHomeTheater::kResetId}) {
        SCOPED_TRACE(id);
        CloseInfo();
        ClickButton(id);
        EXPECT_EQ(InfoText(), QStringLiteral("请先连接设备!"));
        EXPECT_FALSE(SceneRunning());
        EXPECT_EQ(GetAppState().syncDialog, nullptr);
        EXPECT_EQ(GetAppState().waitDialog, nullptr);
    }
}

TEST_F(HomeTheaterWindowTest, ResetErasesTheNetworkScenesAndEveryKeyFile) {
    StartWith({ZWaveDeviceKind::Plug, ZWaveDeviceKind::Switch});
    ASSERT_NE(OpenWindow(), nullptr);
    ASSERT_EQ(CreateKeyFile(2), KeyFileStatus::Ok);
    QDir dir(KeyDirectory());
    ASSERT_TRUE(dir.mkpath(QStringLiteral("old/deeper")));
    for (const QString& name : {QStringLiteral("old/5.xml"), QStringLiteral("old/deeper/x.txt")}) {
        QFile file(dir.filePath(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("x");
    }
    // A file beside the key folder is not the window's to delete.
    QFile beside(QFileInfo(KeyDirectory()).dir().filePath(QStringLiteral("keep.txt")));
    ASSERT_TRUE(beside.open(QIODevice::WriteOnly));
    beside.close();
    zwave::SceneRecord record{};
    record[0] = {2, zwave::kValueOn};
    ASSERT_TRUE(WriteSceneRecord(1, record));

    EXPECT_EQ(ClickAndReadSyncText(CDialogHomeTheater::kResetId),
              QStringLiteral("正在复位，请稍等……"));
    EXPECT_TRUE(zwave::PresentDevices(GetParamImage()).empty());
    EXPECT_EQ(zwave::ReadScene(GetParamImage(), 1), zwave::SceneRecord{});
    EXPECT_TRUE(dir.entryList(QDir::Files).isEmpty());
    EXPECT_FALSE(QFile::exists(dir.filePath(QStringLiteral("old/5.xml"))));
    EXPECT_FALSE(QFile::exists(dir.filePath(QStringLiteral("old/deeper/x.txt"))));
    EXPECT_TRUE(QDir(dir.filePath(QStringLiteral("old/deeper"))).exists()) << "folders stay";
    EXPECT_TRUE(beside.exists());
}

TEST_F(HomeTheaterWindowTest, AFailedHubReadAsksToRetryOncePerFinish) {
    StartWith({ZWaveDeviceKind::Switch});
    ASSERT_NE(OpenWindow(), nullptr);
    ASSERT_TRUE(m_boxes->shown.empty()) << "the first read succeeded";
    g_bZWaveSynchronised.store(0);
    for (int finish = 1; finish <= 2; ++finish) {
        m_window->OnLinkNotice(notice::ZwaveSync{notice::ZwaveProgress::HubTablesRead});
        ASSERT_EQ(m_boxes->shown.size(), static_cast<std::size_t>(finish));
        EXPECT_EQ(m_boxes->shown.back().text,
                  QStringLiteral("同步失败！可能智能模块未就绪，请稍等片刻重试！"));
    }
}

TEST_F(HomeTheaterWindowTest, HelpExplainsThePagesInAMessageBox) {
    StartWith({});
    ASSERT_NE(OpenWindow(), nullptr);
    ClickButton(CDialogHomeTheater::kHelpId);
    ASSERT_EQ(m_boxes->shown.size(), 1u);
    EXPECT_EQ(m_boxes->shown[0].caption, QStringLiteral("帮助"));
    EXPECT_TRUE(m_boxes->shown[0].text.contains(QStringLiteral("情景列表")));
}

TEST_F(HomeTheaterWindowTest, EveryPageSpeaksBothLanguagesWithItsOwnButtonTexts) {
    StartWith({ZWaveDeviceKind::Switch, ZWaveDeviceKind::Dimmer, ZWaveDeviceKind::Plug});
    ASSERT_EQ(CreateKeyFile(4), KeyFileStatus::Ok);
    ASSERT_EQ(SetKeyName(4, 0, QStringLiteral("Power")), KeyFileStatus::Ok);
    ASSERT_EQ(SetKeyStatus(4, 0, 1), KeyFileStatus::Ok);
    ASSERT_NE(OpenWindow(), nullptr);
    zwave::SceneRecord movie{};
    movie[0] = {3, 60};
    movie[1] = {zwave::kDelayTarget, 2};
    movie[2] = {4, zwave::kFirstKeySend};
    movie[3] = {2, zwave::kValueOn};
    movie[4] = {zwave::kHdmiTarget, 1};
    ASSERT_TRUE(WriteSceneRecord(1, movie));
    m_window->resize(900, 520);
    m_window->show();
    CDialogZwaveRemoter* scenes = m_window->ScenePage();
    ClickButton(CDialogHomeTheater::kSceneTabId);
    Choose(scenes->SceneCombo(), 1);

    // The window and its pages share control numbers (1068, 1074 ... 1077): each page keeps
    // its own texts whatever the window's table says.
    struct Case {
        QWidget* root;
        int id;
        QString chinese;
        QString english;
    };
    const std::vector<Case> cases = {
        {m_window->Button(CDialogHomeTheater::kPlugTabId), 0, QStringLiteral("插座列表"),
         QStringLiteral("Plug list")},
        {m_window->Button(CDialogHomeTheater::kPowerOnId), 0, QStringLiteral("开机"),
         QStringLiteral("Power ON")},
        {m_window->Button(1071), 0, QStringLiteral("电影"), QStringLiteral("Movie")},
        {scenes, CDialogZwaveRemoter::kSaveId, QStringLiteral("保存列表"), QStringLiteral("Save")},
        {scenes, CDialogZwaveRemoter::kAddValueId, QStringLiteral("添加值"), QStringLiteral("Add")},
        {scenes, CDialogZwaveRemoter::kUpId, QStringLiteral("上移"), QStringLiteral("Up")},
        {scenes, CDialogZwaveRemoter::kClearId, QStringLiteral("清空列表"),
         QStringLiteral("Clear")},
        {m_window->DeviceList(), 1075, QStringLiteral("删除插座"), QStringLiteral("Delete plug")},
        {m_window->KeyPage(), CRemoteLearnDlg::kLearnId, QStringLiteral("学习键码"),
         QStringLiteral("Learn")},
    };
    const char* pages[] = {"plugs", "scenes", "keys"};
    for (const bool english : {false, true}) {
        SCOPED_TRACE(english ? "English" : "Chinese");
        if (english) {
            m_frame->OnCommand(cmd::kLanguage);
        }
        for (const Case& c : cases) {
            auto* button = qobject_cast<QPushButton*>(c.id ? FindControl(c.root, c.id) : c.root);
            ASSERT_NE(button, nullptr);
            EXPECT_EQ(button->text(), english ? c.english : c.chinese);
        }
        EXPECT_EQ(Rows(scenes->StepList())[1],
                  english ? QStringLiteral("2|Delay|2s") : QStringLiteral("2|延时|2秒"));
        EXPECT_EQ(scenes->SceneCombo()->currentText(),
                  english ? QStringLiteral("Movie") : QStringLiteral("电影"));
        for (int tab = 0; tab < 3; ++tab) {
            ClickButton(CDialogHomeTheater::kPlugTabId + (tab == 0 ? 0 : tab == 1 ? 3 : 6));
            QTest::qWait(20);
            SaveScreenshot(m_window,
                           QStringLiteral("smarthome-%1-%2")
                               .arg(QLatin1String(pages[tab]),
                                    english ? QStringLiteral("en") : QStringLiteral("zh")));
        }
    }
}

} // namespace
} // namespace kv::test
