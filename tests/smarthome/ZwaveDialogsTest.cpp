#include "shell/SimFixture.h"

#include "controls/CXBmpSlider.h"
#include "image/ParamImage.h"
#include "protocol/CommandSink.h"
#include "protocol/DeviceQueue.h"
#include "protocol/ZWaveRelay.h"
#include "shell/CInfoDlg.h"
#include "shell/CWaitDlg.h"
#include "shell/CommandIds.h"
#include "shell/Language.h"
#include "shell/ToolWindows.h"
#include "sim/InProcessBus.h"
#include "sim/ZWaveNetwork.h"
#include "smarthome/CDialogHomeTheater.h"
#include "smarthome/CDlgZwaveEdit.h"
#include "smarthome/CDlgZwaveLight.h"
#include "smarthome/CDlgZwaveList.h"
#include "smarthome/CDlgZwaveSwitch.h"
#include "smarthome/WaitWindowWatch.h"
#include "smarthome/ZwaveNodes.h"
#include "widgets/CIconListCtrl.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

namespace kv::test {
namespace {

using sim::ZWaveDeviceKind;
using sim::ZWaveNetwork;

/// The application on the simulated processor with its Z-Wave network; the test clicks
/// through the smart-plug window and the device dialogs.
class ZwaveDialogsTest : public SimFixture {
protected:
    void SetUp() override {
        SimFixture::SetUp();
        RegisterSmartHomeWindows();
        g_bZWaveSynchronised.store(0);
    }
    void TearDown() override {
        SimFixture::TearDown();
        for (ToolWindow which : {ToolWindow::SmartPlug, ToolWindow::ZwaveEdit,
                                 ToolWindow::ZwaveSwitch, ToolWindow::ZwaveLight}) {
            RegisterToolWindow(which, nullptr);
        }
    }

    template <typename Fn>
    auto Network(Fn&& fn) {
        return device::RunningSimulator()->WithZWave(std::forward<Fn>(fn));
    }

    /// Opens the smart-plug window and waits until it has read the hub.
    /// Opens the switch window of node 2, listed as the switch "Fan".
    CDlgZwaveSwitch* OpenFanSwitch() {
        CDlgZwaveList* list = OpenPlugs();
        if (list == nullptr) {
            return nullptr;
        }
        zwave::StoreDeviceRecord(GetParamImage(), 2, {zwave::kSwitchType, u"Fan"});
        list->RefreshDevices();
        Click(list->List(), 2);
        return qobject_cast<CDlgZwaveSwitch*>(GetAppState().OpenWindow(ToolWindow::ZwaveSwitch));
    }

    CDlgZwaveList* OpenPlugs() {
        m_frame->OnCommand(cmd::kSmartPlug);
        auto* window =
            qobject_cast<CDialogHomeTheater*>(GetAppState().OpenWindow(ToolWindow::SmartPlug));
        EXPECT_NE(window, nullptr);
        EXPECT_TRUE(QTest::qWaitFor([] { return g_bZWaveSynchronised.load() == 1; }, 10000));
        EXPECT_TRUE(QTest::qWaitFor([] { return !GetAppState().syncDialog; }, 5000));
        return window ? window->DeviceList() : nullptr;
    }

    /// Watches the wait dialog while it is up: every text it showed, in order, with its
    /// colour; when it asks for a confirmation the user presses the device's button (node
    /// pressNode, 0 for the new device). The controller's answers reach the application only
    /// once the dialog is up, as from a controller slower than the window.
    void WatchWait(int pressNode) {
        HoldReports(true);
        WatchWaitWindow(m_watch, m_waitTexts, [this, pressNode](const QString& text) {
            HoldReports(false);
            if (text.startsWith(QStringLiteral("请长按3秒"))) {
                Network([pressNode](ZWaveNetwork& n) { return n.Press(pressNode); });
            }
        });
    }

    static void Click(CIconListCtrl* list, int node, Qt::MouseButton button = Qt::LeftButton) {
        const int row = list->RowOfData(node);
        ASSERT_GE(row, 0) << "node " << node << " is listed";
        QTest::mouseClick(list->viewport(), button, {},
                          list->visualItemRect(list->item(row)).center());
    }

    static void HoldReports(bool hold) {
        if (sim::InProcessBus* bus = device::RunningSimulatorBus()) {
            bus->HoldReports(device::SimulatedDevicePath(), hold);
        }
    }

    static QPushButton* Button(QWidget* window, int id) {
        return qobject_cast<QPushButton*>(FindControl(window, id));
    }

    /// The Basic Set frames the simulator received since Mark(): (node, value) each.
    std::vector<std::pair<int, int>> BasicSets() const {
        std::vector<std::pair<int, int>> sets;
        for (const Bytes& b : SinceMark(0x12)) {
            if (b.size() > 12 && b[3] == 1 && b[6] == 0x13 && b[9] == 0x20) {
                sets.emplace_back(b[7], b[11]);
            }
        }
        return sets;
    }

    QTimer m_watch;
    std::vector<QString> m_waitTexts;
};

TEST_F(ZwaveDialogsTest, AddingADimmerNamedLampThroughTheEditDialog) {
    StartConnected();
    Network([](ZWaveNetwork& n) {
        n.SetNewDevice(ZWaveDeviceKind::Dimmer);
        return n.Join(ZWaveDeviceKind::Switch);
    });
    CDlgZwaveList* list = OpenPlugs();
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(list->List()->count(), 1);

    Button(list, CDlgZwaveList::kAddId)->click();
    auto* edit = qobject_cast<CDlgZwaveEdit*>(GetAppState().OpenWindow(ToolWindow::ZwaveEdit));
    ASSERT_NE(edit, nullptr);
    EXPECT_EQ(edit->OkButton()->text(), QStringLiteral("添加"));
    EXPECT_EQ(edit->NameEdit()->text(), QStringLiteral("开关1"));
    edit->TypeCombo()->setCurrentIndex(1);
    EXPECT_EQ(edit->NameEdit()->text(), QStringLiteral("调压1"));
    edit->NameEdit()->setText(QStringLiteral("Lamp"));
    Mark();
    WatchWait(ZWaveNetwork::kNewDevice);
    QTimer::singleShot(0, edit->OkButton(), &QPushButton::click);
    ASSERT_TRUE(QTest::qWaitFor(
        [] { return zwave::NodePresent(GetParamImage(), 3) && !GetAppState().waitDialog; }, 10000));
    EXPECT_FALSE(GetAppState().OpenWindow(ToolWindow::ZwaveEdit)) << "OK closes the dialog";
    EXPECT_EQ(m_waitTexts, (std::vector<QString>{QStringLiteral("添加设备…… "),
                                                 QStringLiteral("请长按3秒第一次确认 "),
                                                 QStringLiteral("请长按3秒第二次确认 #8200ff"),
                                                 QStringLiteral("已确认，请稍等 #ff00d2")}));
    const zwave::DeviceRecord record = zwave::ReadDeviceRecord(GetParamImage(), 3);
    EXPECT_EQ(record.type, zwave::kDimmerType);
    EXPECT_EQ(record.name, u"Lamp");
    ASSERT_TRUE(QTest::qWaitFor([&] { return list->List()->RowOfData(3) >= 0; }, 3000));
    EXPECT_EQ(list->List()->item(list->List()->RowOfData(3))->text(), QStringLiteral("Lamp"));
    EXPECT_EQ(list->List()->ItemImage(list->List()->RowOfData(3)), zwave::kDimmerType);

    // Exclusion first, then the inclusion, then the record at 28 x 3.
    std::vector<int> functions;
    for (const Bytes& b : SinceMark(0x12)) {
        if (b.size() > 7 && b[3] == 1) {
            functions.push_back(b[6] * 256 + b[7]);
        }
    }
    EXPECT_EQ(functions, (std::vector<int>{0x4B01, 0x4B05, 0x4A01}));
    const auto writes = WaitCommands(0x13, 1);
    ASSERT_EQ(writes.size(), 1u);
    EXPECT_EQ(writes[0][2] * 256 + writes[0][3], 3 * 28);
    EXPECT_EQ(writes[0][5], zwave::kDimmerType);
    EXPECT_EQ(writes[0][9], 'L');
}

TEST_F(ZwaveDialogsTest, RenamingKeepsElevenCharactersAndRefusesAnEmptyName) {
    StartConnected();
    Network([](ZWaveNetwork& n) { return n.Join(ZWaveDeviceKind::Switch); });
    CDlgZwaveList* list = OpenPlugs();
    ASSERT_NE(list, nullptr);
    Click(list->List(), 2, Qt::RightButton);
    auto* edit = qobject_cast<CDlgZwaveEdit*>(GetAppState().OpenWindow(ToolWindow::ZwaveEdit));
    ASSERT_NE(edit, nullptr);
    EXPECT_EQ(edit->OkButton()->text(), QStringLiteral("修改"));

    edit->NameEdit()->clear();
    edit->OkButton()->click();
    ASSERT_EQ(m_boxes->shown.size(), 1u);
    EXPECT_EQ(m_boxes->shown[0].text, QStringLiteral("名称不能为空"));
    EXPECT_EQ(m_boxes->shown[0].caption, QStringLiteral("提示"));
    EXPECT_TRUE(GetAppState().OpenWindow(ToolWindow::ZwaveEdit)) << "the dialog stays open";

    Mark();
    edit->TypeCombo()->setCurrentIndex(1);
    EXPECT_TRUE(edit->NameEdit()->text().isEmpty()) << "editing keeps the typed name";
    edit->NameEdit()->setText(QStringLiteral("abcdefghijkl"));
    edit->OkButton()->click();
    EXPECT_EQ(zwave::ReadDeviceRecord(GetParamImage(), 2).name, u"abcdefghijk");
    EXPECT_EQ(zwave::ReadDeviceRecord(GetParamImage(), 2).type, zwave::kDimmerType);
    const auto writes = WaitCommands(0x13, 1);
    ASSERT_EQ(writes.size(), 1u);
    EXPECT_EQ(writes[0][2] * 256 + writes[0][3], 56);
    EXPECT_EQ(writes[0][4], 28);
    EXPECT_EQ(writes[0][5 + 4 + 2 * 10], 'k');
    EXPECT_EQ(writes[0][5 + 4 + 2 * 11], 0) << "the terminator";
    EXPECT_EQ(list->List()->item(0)->text(), QStringLiteral("abcdefghijk"));
}

TEST_F(ZwaveDialogsTest, SwitchAndDimmerDialogsDriveTheirNodes) {
    StartConnected();
    Network([](ZWaveNetwork& n) {
        n.Join(ZWaveDeviceKind::Switch);
        return n.Join(ZWaveDeviceKind::Dimmer);
    });
    CDlgZwaveList* list = OpenPlugs();
    ASSERT_NE(list, nullptr);
    zwave::StoreDeviceRecord(GetParamImage(), 2, {zwave::kSwitchType, u"Fan"});
    zwave::StoreDeviceRecord(GetParamImage(), 3, {zwave::kDimmerType, u"Lamp"});
    list->RefreshDevices();

    Mark();
    Click(list->List(), 2);
    auto* sw = qobject_cast<CDlgZwaveSwitch*>(GetAppState().OpenWindow(ToolWindow::ZwaveSwitch));
    ASSERT_NE(sw, nullptr);
    EXPECT_EQ(sw->windowTitle(), QStringLiteral("开关控制: Fan"));
    Button(sw, CDlgZwaveSwitch::kOnId)->click();
    ASSERT_TRUE(QTest::qWaitFor([] { return zwave::NodeValue(GetParamImage(), 2) == 255; }, 3000));

    // A dimmer click closes the switch dialog and opens the dimmer dialog for that node.
    Click(list->List(), 3);
    ASSERT_TRUE(
        QTest::qWaitFor([] { return !GetAppState().OpenWindow(ToolWindow::ZwaveSwitch); }, 2000));
    auto* light = qobject_cast<CDlgZwaveLight*>(GetAppState().OpenWindow(ToolWindow::ZwaveLight));
    ASSERT_NE(light, nullptr);
    EXPECT_EQ(light->Node(), 3);
    EXPECT_EQ(light->windowTitle(), QStringLiteral("电压控制: Lamp"));
    Button(light, CDlgZwaveLight::kMaxId)->click();
    EXPECT_EQ(light->LevelText(), QStringLiteral("最大"));
    ASSERT_TRUE(QTest::qWaitFor([] { return zwave::NodeValue(GetParamImage(), 3) == 99; }, 3000));
    Button(light, CDlgZwaveLight::kOffId)->click();
    EXPECT_EQ(light->LevelText(), QStringLiteral("关"));
    ASSERT_TRUE(QTest::qWaitFor([] { return zwave::NodeValue(GetParamImage(), 3) == 0; }, 3000));
    // The simulator's trace may lag behind by a moment.
    EXPECT_TRUE(QTest::qWaitFor([&] { return BasicSets().size() >= 3; }, 3000));
    EXPECT_EQ(BasicSets(), (std::vector<std::pair<int, int>>{{2, 255}, {3, 99}, {3, 0}}));
    EXPECT_EQ(CDlgZwaveLight::LevelText(40), QStringLiteral("40%"));
}

TEST_F(ZwaveDialogsTest, ASwitchFrameTakesItsTurnAndTheWindowNeverWaitsForIt) {
    StartConnected();
    Network([](ZWaveNetwork& n) { return n.Join(ZWaveDeviceKind::Switch); });
    CDlgZwaveSwitch* sw = OpenFanSwitch();
    ASSERT_NE(sw, nullptr);

    // Settings still waiting for the processor's answer: the frame goes out after them.
    const auto setting = [](int item) {
        const std::uint32_t half = 0x3F000000;
        return BuildParamCommand(1, item, std::span(&half, 1));
    };
    Mark();
    HoldReports(true);
    CommandSink().Write(setting(14));
    CommandSink().Write(setting(15));
    Button(sw, CDlgZwaveSwitch::kOnId)->click();
    HoldReports(false);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !BasicSets().empty(); }, 5000));
    std::vector<int> order;
    for (const Bytes& b : ReceivedSinceMark()) {
        if (b[1] != 0x12 || b[3] != zwave::kAck) { // not the acknowledgements of its callbacks
            order.push_back(b[1] == kCmdSetParam ? b[4] : b[1]);
        }
    }
    EXPECT_EQ(order, (std::vector<int>{14, 15, 0x12}));
    ASSERT_TRUE(QTest::qWaitFor([] { return !GetAppState().waitDialog; }, 5000));

    // A processor that stops reading: the click comes back while the frame is still on its
    // way, and the value is the node's at once.
    const auto previousWait = AnswerWait();
    SetAnswerWait(std::chrono::seconds(10));
    device::RunningSimulator()->StopReading();
    Button(sw, CDlgZwaveSwitch::kOffId)->click();
    auto queue = DeviceQueue();
    ASSERT_NE(queue, nullptr);
    EXPECT_FALSE(queue->FlushFor(std::chrono::milliseconds(0))) << "the window waited";
    EXPECT_EQ(zwave::NodeValue(GetParamImage(), 2), 0);
    device::RunningSimulatorBus()->Unplug(device::SimulatedDevicePath()); // the write ends
    queue->FlushFor(std::chrono::seconds(5));
    SetAnswerWait(previousWait);
}

TEST_F(ZwaveDialogsTest, ANodeThatDoesNotAnswerShowsSetTimeout) {
    StartConnected();
    Network([](ZWaveNetwork& n) {
        n.Join(ZWaveDeviceKind::Switch);
        return n.SetSilent(2, true);
    });
    CDlgZwaveSwitch* sw = OpenFanSwitch();
    ASSERT_NE(sw, nullptr);
    Button(sw, CDlgZwaveSwitch::kOffId)->click();
    ASSERT_TRUE(QTest::qWaitFor(
        [] {
            auto* info = qobject_cast<CInfoDlg*>(GetAppState().OpenWindow(ToolWindow::Info));
            return info && info->Text() == QStringLiteral("设置超时");
        },
        5000));
    EXPECT_FALSE(GetAppState().waitDialog);
}

TEST_F(ZwaveDialogsTest, RemovingADeviceClosesTheWaitAndEmptiesTheList) {
    StartConnected();
    Network([](ZWaveNetwork& n) { return n.Join(ZWaveDeviceKind::Switch); });
    CDlgZwaveList* list = OpenPlugs();
    ASSERT_NE(list, nullptr);
    ASSERT_EQ(list->List()->count(), 1);
    WatchWait(2);
    QTimer::singleShot(0, Button(list, CDlgZwaveList::kDeleteId), &QPushButton::click);
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return list->List()->count() == 0 && !GetAppState().waitDialog; }, 10000));
    EXPECT_FALSE(zwave::NodePresent(GetParamImage(), 2));
    EXPECT_EQ(m_waitTexts, (std::vector<QString>{QStringLiteral("删除设备 "),
                                                 QStringLiteral("请长按3秒确认删除 ")}));
}

TEST_F(ZwaveDialogsTest, WithoutAProcessorTheButtonsOnlyTellSo) {
    Start();
    m_frame->OnCommand(cmd::kSmartPlug);
    auto* window =
        qobject_cast<CDialogHomeTheater*>(GetAppState().OpenWindow(ToolWindow::SmartPlug));
    ASSERT_NE(window, nullptr);
    QTest::qWait(300);
    EXPECT_FALSE(GetAppState().syncDialog) << "no read without a processor";
    EXPECT_EQ(g_bStatusPoll.load(), 0) << "no status poll while the window is open";
    Button(window->DeviceList(), CDlgZwaveList::kAddId)->click();
    EXPECT_FALSE(GetAppState().OpenWindow(ToolWindow::ZwaveEdit));
    auto* info = qobject_cast<CInfoDlg*>(GetAppState().OpenWindow(ToolWindow::Info));
    ASSERT_NE(info, nullptr);
    EXPECT_EQ(info->Text(), QStringLiteral("请先连接设备!"));
    window->close();
    ASSERT_TRUE(
        QTest::qWaitFor([] { return !GetAppState().OpenWindow(ToolWindow::SmartPlug); }, 2000));
    EXPECT_EQ(g_bStatusPoll.load(), 1);
}

} // namespace
} // namespace kv::test
