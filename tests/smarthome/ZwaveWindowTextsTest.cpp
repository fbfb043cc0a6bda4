#include "shell/SimFixture.h"

#include "image/ParamImage.h"
#include "shell/CommandIds.h"
#include "shell/Language.h"
#include "shell/ToolWindows.h"
#include "sim/ZWaveNetwork.h"
#include "smarthome/CDialogHomeTheater.h"
#include "smarthome/CDlgZwaveEdit.h"
#include "smarthome/CDlgZwaveLight.h"
#include "smarthome/CDlgZwaveList.h"
#include "smarthome/CDlgZwaveSwitch.h"
#include "smarthome/ZwaveNodes.h"
#include "smarthome/ZwaveWindows.h"

#include <QComboBox>
#include <QLabel>
#include <QPushButton>

namespace kv::test {
namespace {

class ZwaveWindowTextsTest : public SimFixture {
protected:
    void SetUp() override {
        SimFixture::SetUp();
        RegisterSmartHomeWindows();
        g_bZWaveSynchronised.store(0);
    }
    void TearDown() override {
        if (LanguageIndex() != kChinese && m_frame) {
            m_frame->OnCommand(cmd::kLanguage);
        }
        SimFixture::TearDown();
        for (ToolWindow which : {ToolWindow::SmartPlug, ToolWindow::ZwaveEdit,
                                 ToolWindow::ZwaveSwitch, ToolWindow::ZwaveLight}) {
            RegisterToolWindow(which, nullptr);
        }
    }
};

QString Text(QWidget* window, int id) {
    QWidget* control = FindControl(window, id);
    if (auto* button = qobject_cast<QPushButton*>(control)) {
        return button->text();
    }
    if (auto* label = qobject_cast<QLabel*>(control)) {
        return label->text();
    }
    return QStringLiteral("(no control %1)").arg(id);
}

struct LanguageRow {
    int language;
    const char* suffix;
    std::vector<QString> list;  ///< window title, delete, add
    std::vector<QString> edit;  ///< title, type label, name label, OK, cancel, two types
    std::vector<QString> sw;    ///< title, ON, OFF
    std::vector<QString> light; ///< title, voltage, tip, OFF, Max, warning, level
};

TEST_F(ZwaveWindowTextsTest, EveryWindowInBothLanguages) {
    StartConnected();
    device::RunningSimulator()->WithZWave([](sim::ZWaveNetwork& n) {
        n.Join(sim::ZWaveDeviceKind::Switch);
        return n.Join(sim::ZWaveDeviceKind::Dimmer);
    });
    m_frame->OnCommand(cmd::kSmartPlug);
    auto* plugs =
        qobject_cast<CDialogHomeTheater*>(GetAppState().OpenWindow(ToolWindow::SmartPlug));
    ASSERT_NE(plugs, nullptr);
    ASSERT_TRUE(QTest::qWaitFor([] { return g_bZWaveSynchronised.load() == 1; }, 10000));
    ASSERT_TRUE(QTest::qWaitFor([] { return !GetAppState().syncDialog; }, 5000));
    zwave::StoreDeviceRecord(GetParamImage(), 2, {zwave::kSwitchType, u"Fan"});
    zwave::StoreDeviceRecord(GetParamImage(), 3, {zwave::kDimmerType, u"Lamp"});
    zwave::SetNodeValueInImage(GetParamImage(), 3, 40);
    plugs->RefreshFromImage();

    const std::vector<LanguageRow> rows = {
        {kChinese,
         "zh",
         {"智能插座", "删除插座", "添加插座"},
         {"插座编辑", "类型", "名称", "添加", "取消", "开关插座", "调压插座"},
         {"开关控制: Fan", "开", "关"},
         {"电压控制: Lamp", "电压：", "提示：松开滑动条后设置灯光亮度", "关", "最大", "警告",
          "40%"}},
        {kEnglish,
         "en",
         {"Smart plug", "Delete plug", "Add plug"},
         {"Plug property", "Type", "Name", "Add", "Cancel", "Switch", "Knob"},
         {"Switch: Fan", "ON", "OFF"},
         {"Voltage: Lamp", "Voltage:", "Tip：Release drag to set value", "OFF", "Max", "Warning",
          "40%"}},
    };
    for (const LanguageRow& row : rows) {
        SCOPED_TRACE(row.suffix);
        if (LanguageIndex() != row.language) {
            m_frame->OnCommand(cmd::kLanguage);
        }
        const QString suffix = QString::fromLatin1(row.suffix);
        CDlgZwaveList* list = plugs->DeviceList();
        EXPECT_EQ((std::vector<QString>{plugs->windowTitle(), Text(list, CDlgZwaveList::kDeleteId),
                                        Text(list, CDlgZwaveList::kAddId)}),
                  row.list);
        SaveScreenshot(plugs, QStringLiteral("zwave-list-") + suffix);

        auto* edit =
            qobject_cast<CDlgZwaveEdit*>(OpenZwaveDeviceDialog(ToolWindow::ZwaveEdit, 0, plugs));
        ASSERT_NE(edit, nullptr);
        EXPECT_EQ((std::vector<QString>{
                      edit->windowTitle(), Text(edit, CDlgZwaveEdit::kTypeLabelId),
                      Text(edit, CDlgZwaveEdit::kNameLabelId), Text(edit, CDlgZwaveEdit::kOkId),
                      Text(edit, CDlgZwaveEdit::kCancelId), edit->TypeCombo()->itemText(0),
                      edit->TypeCombo()->itemText(1)}),
                  row.edit);
        SaveScreenshot(edit, QStringLiteral("zwave-edit-") + suffix);
        edit->close();

        auto* sw = qobject_cast<CDlgZwaveSwitch*>(
            OpenZwaveDeviceDialog(ToolWindow::ZwaveSwitch, 2, plugs));
        ASSERT_NE(sw, nullptr);
        EXPECT_EQ((std::vector<QString>{sw->windowTitle(), Text(sw, CDlgZwaveSwitch::kOnId),
                                        Text(sw, CDlgZwaveSwitch::kOffId)}),
                  row.sw);
        SaveScreenshot(sw, QStringLiteral("zwave-switch-") + suffix);

        auto* light =
            qobject_cast<CDlgZwaveLight*>(OpenZwaveDeviceDialog(ToolWindow::ZwaveLight, 3, plugs));
        ASSERT_NE(light, nullptr);
        EXPECT_EQ((std::vector<QString>{light->windowTitle(), Text(light, 1005), Text(light, 1007),
                                        Text(light, CDlgZwaveLight::kOffId),
                                        Text(light, CDlgZwaveLight::kMaxId), Text(light, 1237),
                                        light->LevelText()}),
                  row.light);
        EXPECT_EQ(FindControl(light, 1239)->isVisibleTo(light), row.language == kChinese);
        SaveScreenshot(light, QStringLiteral("zwave-light-") + suffix);
        light->close();
        QTest::qWait(20);
    }
}

} // namespace
} // namespace kv::test
