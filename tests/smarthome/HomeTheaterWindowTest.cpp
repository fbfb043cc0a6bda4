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
        QString text;
        QTimer::singleShot(50, [&] {
            if (CSynDlg* sync = GetAppState().syncDialog) {
                text = sync->Text();
            }
        });
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
        m_window->OnViewMessage(WM_ZWAVE_SYNC, CDialogHomeTheater::kHubTablesRead, 0);
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

} // namespace
} // namespace kv::test
