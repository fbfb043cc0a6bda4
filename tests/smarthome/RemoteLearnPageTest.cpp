#include "smarthome/SmartPlugFixture.h"

#include "image/ParamImage.h"
#include "shell/CInfoDlg.h"
#include "shell/CWaitDlg.h"
#include "shell/CommandIds.h"
#include "shell/Language.h"
#include "shell/ToolWindows.h"
#include "sim/ZWaveNetwork.h"
#include "smarthome/CDialogHomeTheater.h"
#include "smarthome/CDlgZwaveList.h"
#include "smarthome/CRemoteLearnDlg.h"
#include "smarthome/KeyFile.h"
#include "smarthome/WaitWindowWatch.h"
#include "smarthome/ZwaveNodes.h"

#include <QComboBox>
#include <QHeaderView>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QTreeWidget>

#include <algorithm>

namespace kv::test {
namespace {

using sim::KeyLearnOutcome;
using sim::ZWaveDeviceKind;
using sim::ZWaveNetwork;

/// The smart-plug window's fixture with plugs only; the test clicks through its remote-key
/// page and watches the wait window.
class RemoteLearnPageTest : public SmartPlugFixture {
protected:
    void TearDown() override {
        m_watch.stop();
        SmartPlugFixture::TearDown();
    }

    /// Starts connected with smart plugs as nodes 2.. named "Plug 2" ..., learning quickly.
    void StartWithPlugs(int plugs) {
        StartWith(
            std::vector<ZWaveDeviceKind>(static_cast<std::size_t>(plugs), ZWaveDeviceKind::Plug));
    }

    /// Opens the smart-plug window, waits for its hub read, and shows its remote-key page.
    CRemoteLearnDlg* OpenPage() {
        if (!OpenWindow()) {
            return nullptr;
        }
        m_window->ShowTab(CDialogHomeTheater::kLearnTab);
        CRemoteLearnDlg* page = m_window->KeyPage();
        page->LoadDevices();
        return page;
    }

    /// Records every text the wait window shows, with its colour; calls act(text) on each.
    void WatchWait(std::function<void(const QString&)> act = {}) {
        WatchWaitWindow(m_watch, m_waitTexts, std::move(act));
    }

    static void ClickRow(CRemoteLearnDlg* page, int row) {
        SmartPlugFixture::ClickRow(page->KeyList(), row);
    }

    /// Each row of the key list: "number|name|status".
    static std::vector<QString> Rows(CRemoteLearnDlg* page) {
        return SmartPlugFixture::Rows(page->KeyList());
    }

    static QString Status(int node, int key) {
        const KeyFile file = LoadKeyFile(node);
        return key < static_cast<int>(file.keys.size()) ? file.keys[key].status.value_or("?")
                                                        : QStringLiteral("-");
    }

    QTimer m_watch;
    std::vector<QString> m_waitTexts;
};

TEST_F(RemoteLearnPageTest, LearningRowThreeSendsBasicSet195AndMarksTheKeyReady) {
    StartWithPlugs(1);
    CRemoteLearnDlg* page = OpenPage();
    ASSERT_NE(page, nullptr);
    EXPECT_EQ(page->DeviceCombo()->currentText(), QStringLiteral("Plug 2"));

    // Showing the new device wrote its file: 32 keys, none learned.
    const KeyFile created = LoadKeyFile(2);
    ASSERT_TRUE(created.ok());
    EXPECT_EQ(created.keys, DefaultKeys());
    const std::vector<QString> rows = Rows(page);
    ASSERT_EQ(rows.size(), 32u);
    EXPECT_EQ(rows.front(), QStringLiteral("1|Key1|未学习"));
    EXPECT_EQ(rows.back(), QStringLiteral("32|Key32|未学习"));

    ClickRow(page, 3);
    EXPECT_EQ(page->NameEdit()->text(), QStringLiteral("Key4"));
    Mark();
    WatchWait();
    Click(page, CRemoteLearnDlg::kLearnId);
    ASSERT_TRUE(QTest::qWaitFor(
        [] { return Status(2, 3) == QStringLiteral("1") && !GetAppState().waitDialog; }, 10000));
    EXPECT_TRUE(QTest::qWaitFor([&] { return !BasicSets().empty(); }, 3000));
    EXPECT_EQ(BasicSets(), (std::vector<std::pair<int, int>>{{2, 195}}));
    EXPECT_EQ(m_waitTexts, (std::vector<QString>{QStringLiteral("遥控学习操作 "),
                                                 QStringLiteral("准备就绪，请按下遥控器按键 "),
                                                 QStringLiteral("学习完成 #ff00d2")}));
    EXPECT_EQ(page->LearningRow(), 3);
    EXPECT_EQ(Rows(page)[3], QStringLiteral("4|Key4|已学习"));
    EXPECT_EQ(Rows(page)[2], QStringLiteral("3|Key3|未学习"));
    EXPECT_EQ(page->SelectedRow(), 3) << "the row stays selected";
    EXPECT_EQ(Status(2, 2), QStringLiteral("0"));
    SaveScreenshot(page, QStringLiteral("zwave-keys-zh"));

    // The same list in English.
    m_frame->OnCommand(cmd::kLanguage);
    page->ApplyLanguage();
    QTest::qWait(20); // the buttons take their new widths
    EXPECT_EQ(qobject_cast<QPushButton*>(FindControl(page, CRemoteLearnDlg::kRenameId))->text(),
              QStringLiteral("Rename"));
    SaveScreenshot(page, QStringLiteral("zwave-keys-en"));
    EXPECT_EQ(Rows(page)[3], QStringLiteral("4|Key4|Ready"));
    EXPECT_EQ(Rows(page)[0], QStringLiteral("1|Key1|Not Ready"));
    const QTreeWidgetItem* header = page->KeyList()->headerItem();
    EXPECT_EQ(header->text(0) + header->text(1) + header->text(2),
              QStringLiteral("IndexKey nameStatus"));
    EXPECT_EQ(page->KeyList()->columnWidth(0), 45);
    EXPECT_EQ(page->KeyList()->columnWidth(2), 100);
    // The name column takes the rest of the list, so no blank strip is left beside the state.
    EXPECT_GE(page->KeyList()->columnWidth(1), 120);
    EXPECT_EQ(page->KeyList()->columnWidth(0) + page->KeyList()->columnWidth(1) + 100,
              page->KeyList()->viewport()->width());
}

TEST_F(RemoteLearnPageTest, TransmittingSendsBasicSet128PlusTheRow) {
    StartWithPlugs(1);
    CRemoteLearnDlg* page = OpenPage();
    ASSERT_NE(page, nullptr);
    struct Row {
        const char* name;
        int row;
        bool fails;
        int value;
        std::vector<QString> texts;
    };
    // The wait window closes at once on success: its last text may pass unseen.
    const std::vector<Row> rows = {
        {"sent",
         0,
         false,
         128,
         {QStringLiteral("遥控操作 "), QStringLiteral("遥控按键发射成功 #ff00d2")}},
        {"not sent",
         31,
         true,
         159,
         {QStringLiteral("遥控操作 "), QStringLiteral("遥控按键发射失败 #ff0000")}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        Network([&row](ZWaveNetwork& n) {
            n.SetKeySendFails(row.fails);
            // The plug answers after the wait window is up.
            n.SetCallbackDelay(std::chrono::milliseconds(300));
            return 0;
        });
        m_waitTexts.clear();
        ClickRow(page, row.row);
        Mark();
        WatchWait();
        Click(page, CRemoteLearnDlg::kTransmitId);
        ASSERT_TRUE(QTest::qWaitFor([&] { return !m_waitTexts.empty(); }, 3000));
        ASSERT_TRUE(QTest::qWaitFor([] { return !GetAppState().waitDialog; }, 10000));
        m_watch.stop();
        m_watch.disconnect();
        EXPECT_TRUE(QTest::qWaitFor([&] { return !BasicSets().empty(); }, 3000));
        EXPECT_EQ(BasicSets(), (std::vector<std::pair<int, int>>{{2, row.value}}));
        EXPECT_EQ(m_waitTexts.front(), row.texts.front());
        if (row.fails) {
            EXPECT_EQ(m_waitTexts.back(), row.texts.back());
        }
        for (const QString& text : m_waitTexts) {
            EXPECT_TRUE(text == row.texts.front() || text == row.texts.back())
                << text.toStdString();
        }
        EXPECT_EQ(LoadKeyFile(2).keys, DefaultKeys()) << "sending changes no key";
    }
}

TEST_F(RemoteLearnPageTest, AFailedOrAbortedLearningLeavesTheKeyNotLearned) {
    StartWithPlugs(1);
    CRemoteLearnDlg* page = OpenPage();
    ASSERT_NE(page, nullptr);
    struct Row {
        const char* name;
        KeyLearnOutcome outcome;
        QString last; ///< the wait window's last text
    };
    const std::vector<Row> rows = {
        {"checksum error", KeyLearnOutcome::ChecksumError,
         QStringLiteral("校验错误，请重新学习 #ff0000")},
        {"no remote key in time", KeyLearnOutcome::Timeout,
         QStringLiteral("等待遥控器按键超时 #ff0000")},
        {"aborted while the plug waits", KeyLearnOutcome::NoKey,
         QStringLiteral("准备就绪，请按下遥控器按键 ")},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        ASSERT_EQ(SetKeyStatus(2, 5, 1), KeyFileStatus::Ok) << "learned before";
        page->LoadDevices();
        ASSERT_EQ(Rows(page)[5], QStringLiteral("6|Key6|已学习"));
        Network([&row](ZWaveNetwork& n) {
            n.SetKeyLearnOutcome(row.outcome);
            return 0;
        });
        m_waitTexts.clear();
        ClickRow(page, 5);
        Mark();
        WatchWait([&row](const QString& text) {
            // The user gives up on a plug that waits for the remote.
            if (row.outcome == KeyLearnOutcome::NoKey &&
                text == QStringLiteral("准备就绪，请按下遥控器按键")) {
                if (QWidget* abort = FindControl(GetAppState().waitDialog, CWaitDlg::kAbortId)) {
                    QTimer::singleShot(50, abort,
                                       [abort] { QTest::mouseClick(abort, Qt::LeftButton); });
                }
            }
        });
        Click(page, CRemoteLearnDlg::kLearnId);
        ASSERT_TRUE(QTest::qWaitFor(
            [] { return Status(2, 5) == QStringLiteral("0") && !GetAppState().waitDialog; },
            10000));
        m_watch.stop();
        m_watch.disconnect();
        ASSERT_FALSE(m_waitTexts.empty());
        EXPECT_EQ(m_waitTexts.back(), row.last);
        EXPECT_EQ(Rows(page)[5], QStringLiteral("6|Key6|未学习"));
        EXPECT_TRUE(QTest::qWaitFor([&] { return !BasicSets().empty(); }, 3000));
        EXPECT_EQ(BasicSets().front(), std::make_pair(2, 197));
    }
    // The abort sent the cancel of the pending send (it takes its turn in the device's queue,
    // and the simulator's trace may lag behind by a moment).
    EXPECT_TRUE(QTest::qWaitFor(
        [&] {
            const auto frames = SinceMark(0x12);
            return std::any_of(frames.begin(), frames.end(), [](const Bytes& b) {
                return b[3] == 1 && b[4] == 5 && b[6] == 0x13 && b[7] == 0x05;
            });
        },
        3000));
}

TEST_F(RemoteLearnPageTest, RenamingNeedsANameAPlugAndARow) {
    StartWithPlugs(2);
    CRemoteLearnDlg* page = OpenPage();
    ASSERT_NE(page, nullptr);
    page->DeviceCombo()->setCurrentIndex(1);
    ASSERT_EQ(page->SelectedNode(), 3);
    const QByteArray before = [] {
        QFile file(KeyFilePath(3));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }();
    ASSERT_FALSE(before.isEmpty());

    ClickRow(page, 4);
    page->NameEdit()->clear();
    Click(page, CRemoteLearnDlg::kRenameId);
    ASSERT_EQ(m_boxes->shown.size(), 1u);
    EXPECT_EQ(m_boxes->shown[0].text, QStringLiteral("遥控键名称不能为空字符串!"));
    QFile file(KeyFilePath(3));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), before) << "an empty name changes nothing";
    file.close();

    page->NameEdit()->insert(QStringLiteral("静音 ")); // typed through an input method
    QTest::keyClicks(page->NameEdit(), QStringLiteral("Mute"));
    Click(page, CRemoteLearnDlg::kRenameId);
    EXPECT_EQ(GetKeyName(3, 4), QStringLiteral("静音 Mute"));
    EXPECT_EQ(Rows(page)[4], QStringLiteral("5|静音 Mute|未学习"));
    EXPECT_EQ(GetKeyName(2, 4), QStringLiteral("Key5")) << "the other plug keeps its name";

    // Without a row.
    page->KeyList()->clearSelection();
    Click(page, CRemoteLearnDlg::kRenameId);
    EXPECT_EQ(InfoText(), QStringLiteral("请在列表中选择一个按键"));
    // A plug that does not learn: a damaged file keeps its names and says so.
    QFile damaged(KeyFilePath(3));
    ASSERT_TRUE(damaged.open(QIODevice::WriteOnly | QIODevice::Truncate));
    damaged.write("<Keys><Key Index=\"0\" Name=\"Power\" Status=\"1\"/><Key Index=\"1\"");
    damaged.close();
    page->LoadDevices();
    EXPECT_EQ(Rows(page), (std::vector<QString>{QStringLiteral("1|Power|已学习")}))
        << "the keys before the damage";
    ClickRow(page, 0);
    page->NameEdit()->setText(QStringLiteral("On"));
    Click(page, CRemoteLearnDlg::kRenameId);
    EXPECT_EQ(InfoText(), QStringLiteral("遥控键名称未能保存"));
    EXPECT_EQ(Rows(page), (std::vector<QString>{QStringLiteral("1|Power|已学习")}));
}

TEST_F(RemoteLearnPageTest, TheChecksComeBeforeAnyCommand) {
    StartWithPlugs(1);
    CRemoteLearnDlg* page = OpenPage();
    ASSERT_NE(page, nullptr);
    ASSERT_EQ(SetKeyStatus(2, 7, 1), KeyFileStatus::Ok);
    page->LoadDevices();
    Mark();
    struct Row {
        const char* name;
        int button;
        QString notice;
    };
    const std::vector<Row> rows = {
        {"learn without a row", CRemoteLearnDlg::kLearnId,
         QStringLiteral("请在列表中选择一个按键")},
        {"transmit without a row", CRemoteLearnDlg::kTransmitId,
         QStringLiteral("请在列表中选择一个按键")},
        {"clear without a row", CRemoteLearnDlg::kClearId,
         QStringLiteral("请在列表中选择一个按键")},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        page->KeyList()->clearSelection();
        Click(page, row.button);
        EXPECT_EQ(InfoText(), row.notice);
        EXPECT_FALSE(GetAppState().waitDialog);
    }
    // Clear marks the key not learned without a word to the plug.
    ClickRow(page, 7);
    Click(page, CRemoteLearnDlg::kClearId);
    EXPECT_EQ(Status(2, 7), QStringLiteral("0"));
    EXPECT_EQ(Rows(page)[7], QStringLiteral("8|Key8|未学习"));
    QTest::qWait(200);
    EXPECT_TRUE(BasicSets().empty());
}

TEST_F(RemoteLearnPageTest, WithoutAProcessorLearnTransmitAndClearOnlyTellSo) {
    Start();
    CRemoteLearnDlg* page = OpenPage();
    ASSERT_NE(page, nullptr);
    for (int button :
         {CRemoteLearnDlg::kLearnId, CRemoteLearnDlg::kTransmitId, CRemoteLearnDlg::kClearId}) {
        SCOPED_TRACE(button);
        Click(page, button);
        EXPECT_EQ(InfoText(), QStringLiteral("请先连接设备!"));
        EXPECT_FALSE(GetAppState().waitDialog);
    }
}

TEST_F(RemoteLearnPageTest, RemovingDeviceSevenDeletesItsKeyFile) {
    StartWithPlugs(6);
    CRemoteLearnDlg* page = OpenPage();
    ASSERT_NE(page, nullptr);
    for (int node : {6, 7}) {
        page->DeviceCombo()->setCurrentIndex(page->DeviceCombo()->findData(node));
        ASSERT_TRUE(KeyFileExists(node)) << node;
    }
    WatchWait([this](const QString& text) {
        if (text.startsWith(QStringLiteral("请长按3秒"))) {
            Network([](ZWaveNetwork& n) { return n.Press(7); });
        }
    });
    QTimer::singleShot(0, FindControl(m_window->DeviceList(), CDlgZwaveList::kDeleteId), [this] {
        qobject_cast<QPushButton*>(FindControl(m_window->DeviceList(), CDlgZwaveList::kDeleteId))
            ->click();
    });
    ASSERT_TRUE(QTest::qWaitFor(
        [] { return !zwave::NodePresent(GetParamImage(), 7) && !GetAppState().waitDialog; },
        10000));
    EXPECT_FALSE(QFile::exists(KeyFilePath(7)));
    EXPECT_TRUE(KeyFileExists(6));
}

} // namespace
} // namespace kv::test
