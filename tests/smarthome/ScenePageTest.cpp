#include "smarthome/SmartPlugFixture.h"

#include "controls/CXBmpSlider.h"
#include "shell/CSynDlg.h"
#include "smarthome/CDialogZwaveRemoter.h"
#include "smarthome/SceneRecord.h"
#include "smarthome/ZwaveDevices.h"

#include <QCheckBox>
#include <QLabel>
#include <QTimer>

namespace kv::test {
namespace {

using sim::ZWaveDeviceKind;
using zwave::SceneStep;

constexpr int kMovie = 1;

/// The scene page against a switch (node 2), a dimmer (3) and a smart plug (4).
class ScenePageTest : public SmartPlugFixture {
protected:
    void SetUp() override {
        SmartPlugFixture::SetUp();
        StartWith({ZWaveDeviceKind::Switch, ZWaveDeviceKind::Dimmer, ZWaveDeviceKind::Plug});
    }

    /// Opens the window with the scene page showing scene k, which the processor holds as
    /// record (read by the window's hub read).
    CDialogZwaveRemoter* OpenScene(int scene, const zwave::SceneRecord& record) {
        EXPECT_TRUE(WriteSceneRecord(scene, record));
        if (!OpenWindow()) {
            return nullptr;
        }
        QTest::mouseClick(m_window->Button(CDialogHomeTheater::kSceneTabId), Qt::LeftButton);
        CDialogZwaveRemoter* page = m_window->ScenePage();
        Choose(page->SceneCombo(), scene);
        EXPECT_EQ(page->Scene(), scene);
        return page;
    }

    /// The 56 bytes of scene k in the processor's smart-home memory.
    std::vector<std::uint8_t> StoredScene(int scene) {
        return device::RunningSimulator()->Inspect([scene](const sim::SimProcessor& p) {
            const auto& memory = p.SmartHomeMemory();
            const auto begin = memory.begin() + zwave::kSceneMemoryAddress + 56 * scene;
            return std::vector<std::uint8_t>(begin, begin + 56);
        });
    }

    static std::vector<std::uint8_t> Bytes56(const std::vector<SceneStep>& steps) {
        zwave::SceneRecord record{};
        EXPECT_TRUE(zwave::FillScene(steps, record));
        const auto bytes = zwave::EncodeScene(record);
        return {bytes.begin(), bytes.end()};
    }

    /// The memory writes since Mark(): address, then the data bytes.
    std::vector<std::pair<int, std::vector<std::uint8_t>>> MemoryWrites() const {
        std::vector<std::pair<int, std::vector<std::uint8_t>>> writes;
        for (const Bytes& b : SinceMark(0x13)) {
            const auto begin = b.begin() + 5;
            writes.emplace_back(b[2] * 256 + b[3],
                                std::vector<std::uint8_t>(begin, begin + std::min<int>(b[4], 56)));
        }
        return writes;
    }
};

TEST_F(ScenePageTest, AThirdStepEmptyListsTwoRowsAndSavingKeepsTheStepsNotListed) {
    zwave::SceneRecord record{};
    record[0] = {2, zwave::kValueOn};
    record[1] = {zwave::kDelayTarget, 5};
    record[3] = {3, 50};
    record[4] = {zwave::kHdmiTarget, 1};
    record[5] = {9, zwave::kValueOn}; // a device no longer in the network
    record[6] = {2, zwave::kValueOff};
    CDialogZwaveRemoter* page = OpenScene(kMovie, record);
    ASSERT_NE(page, nullptr);
    EXPECT_EQ(Rows(page->StepList()),
              (std::vector<QString>{QStringLiteral("1|Plug 2|开"), QStringLiteral("2|延时|5秒")}));
    EXPECT_EQ(page->HiddenSteps(), 4);
    EXPECT_FALSE(page->Changed());

    ClickRow(page->StepList(), 0);
    Click(page, CDialogZwaveRemoter::kDeleteId);
    EXPECT_EQ(Rows(page->StepList()), (std::vector<QString>{QStringLiteral("2|延时|5秒")}));
    EXPECT_TRUE(page->Changed());

    Mark();
    Click(page, CDialogZwaveRemoter::kSaveId);
    EXPECT_EQ(InfoText(), QStringLiteral("保存完成"));
    EXPECT_FALSE(page->Changed());
    const auto expected = Bytes56({{zwave::kDelayTarget, 5},
                                   {3, 50},
                                   {zwave::kHdmiTarget, 1},
                                   {9, zwave::kValueOn},
                                   {2, zwave::kValueOff}});
    ASSERT_TRUE(QTest::qWaitFor([&] { return !MemoryWrites().empty(); }, 3000));
    EXPECT_EQ(MemoryWrites(), (std::vector<std::pair<int, std::vector<std::uint8_t>>>{
                                  {6524 + 56 * kMovie, expected}}));
    EXPECT_TRUE(QTest::qWaitFor([&] { return StoredScene(kMovie) == expected; }, 3000));
    EXPECT_EQ(zwave::EncodeScene(zwave::ReadScene(GetParamImage(), kMovie)),
              zwave::EncodeScene(zwave::DecodeScene(expected)));
}

TEST_F(ScenePageTest, ClearRemovesTheStepsNotListedSoTheirRoomCanBeUsed) {
    // A 5 s delay after an empty step and a step of a device not in the network: no rows.
    zwave::SceneRecord record{};
    record[0] = {2, zwave::kValueOn};
    record[2] = {zwave::kDelayTarget, 5};
    record[3] = {9, zwave::kValueOn};
    CDialogZwaveRemoter* page = OpenScene(kMovie, record);
    ASSERT_NE(page, nullptr);
    ASSERT_EQ(page->StepList()->topLevelItemCount(), 1);
    ASSERT_EQ(page->HiddenSteps(), 2);
    EXPECT_TRUE(page->HiddenNote()->isVisible());
    EXPECT_TRUE(page->HiddenNote()->text().contains(QStringLiteral("清空列表时一并删除")))
        << page->HiddenNote()->text().toStdString();

    Click(page, CDialogZwaveRemoter::kClearId);
    EXPECT_EQ(page->StepList()->topLevelItemCount(), 0);
    EXPECT_EQ(page->HiddenSteps(), 0);
    EXPECT_FALSE(page->HiddenNote()->isVisible());

    // All 28 steps are the user's again.
    CloseInfo();
    for (int i = 0; i < zwave::kSceneSteps; ++i) {
        Click(page, CDialogZwaveRemoter::kAddDelayId);
    }
    EXPECT_EQ(page->StepList()->topLevelItemCount(), zwave::kSceneSteps);
    EXPECT_NE(InfoText(), QStringLiteral("情景指令已达最大数量"));

    Mark();
    Click(page, CDialogZwaveRemoter::kSaveId);
    const auto expected =
        Bytes56(std::vector<SceneStep>(zwave::kSceneSteps, {zwave::kDelayTarget, 1}));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !MemoryWrites().empty(); }, 3000));
    EXPECT_EQ(MemoryWrites(), (std::vector<std::pair<int, std::vector<std::uint8_t>>>{
                                  {6524 + 56 * kMovie, expected}}));
    EXPECT_TRUE(QTest::qWaitFor([&] { return StoredScene(kMovie) == expected; }, 3000));
}

TEST_F(ScenePageTest, RefusedEditsExplainThemselvesAndChangeNothing) {
    zwave::SceneRecord record{};
    record[0] = {2, zwave::kValueOn};
    record[1] = {3, zwave::kValueOff};
    CDialogZwaveRemoter* page = OpenScene(0, record);
    ASSERT_NE(page, nullptr);
    const std::vector<QString> rows = Rows(page->StepList());
    ASSERT_EQ(rows.size(), 2u);
    struct Case {
        const char* name;
        int row; ///< -1: no row selected
        int button;
        QString notice;
    };
    const std::vector<Case> cases = {
        {"first row up", 0, CDialogZwaveRemoter::kUpId, QStringLiteral("已移至首项")},
        {"last row down", 1, CDialogZwaveRemoter::kDownId, QStringLiteral("已移至尾项")},
        {"delete without a row", -1, CDialogZwaveRemoter::kDeleteId,
         QStringLiteral("请先选择列表项")},
        {"down without a row", -1, CDialogZwaveRemoter::kDownId, QStringLiteral("请先选择列表项")},
        {"replace without a row", -1, CDialogZwaveRemoter::kResetDelayId,
         QStringLiteral("请选择列表项")},
        // The plug has learned no key, and only learned keys are offered.
        {"key step without a key", -1, CDialogZwaveRemoter::kAddKeyId,
         QStringLiteral("请选择一个遥控键名")},
    };
    Choose(page->DeviceCombo(), 2);
    ASSERT_EQ(page->KeyCombo()->count(), 0);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CloseInfo();
        if (c.row >= 0) {
            ClickRow(page->StepList(), c.row);
        } else {
            page->StepList()->clearSelection();
        }
        Click(page, c.button);
        EXPECT_EQ(InfoText(), c.notice);
        EXPECT_EQ(Rows(page->StepList()), rows);
        EXPECT_FALSE(page->Changed());
    }
}

TEST_F(ScenePageTest, TheTwentyNinthStepIsRefusedButAFullListCanStillBeEdited) {
    struct Case {
        const char* name;
        int delays;       ///< listed delay steps
        bool absentAtEnd; ///< and a step of a device not in the network, which gets no row
    };
    for (const Case& c : {Case{"28 listed steps", 28, false},
                          Case{"27 listed steps and one of an absent device", 27, true}}) {
        SCOPED_TRACE(c.name);
        std::vector<SceneStep> steps(static_cast<std::size_t>(c.delays), {zwave::kDelayTarget, 1});
        if (c.absentAtEnd) {
            steps.push_back({9, zwave::kValueOn});
        }
        zwave::SceneRecord record{};
        ASSERT_TRUE(zwave::FillScene(steps, record));
        CDialogZwaveRemoter* page = OpenScene(2, record);
        ASSERT_NE(page, nullptr);
        ASSERT_EQ(page->StepList()->topLevelItemCount(), c.delays);

        CloseInfo();
        for (int button : {CDialogZwaveRemoter::kAddDelayId, CDialogZwaveRemoter::kAddValueId,
                           CDialogZwaveRemoter::kAddHdmiId}) {
            Click(page, button);
            EXPECT_EQ(InfoText(), QStringLiteral("情景指令已达最大数量"));
            EXPECT_EQ(page->StepList()->topLevelItemCount(), c.delays);
        }

        // Replacing adds no step: it works on a full list.
        CloseInfo();
        ClickRow(page->StepList(), c.delays - 1);
        page->DelaySlider()->setFocus();
        QTest::keyClick(page->DelaySlider(), Qt::Key_PageUp); // 1 + 10 s
        Click(page, CDialogZwaveRemoter::kResetDelayId);
        EXPECT_EQ(Rows(page->StepList()).back(), QStringLiteral("%1|延时|11秒").arg(c.delays));
        EXPECT_TRUE(page->Changed());
        steps[static_cast<std::size_t>(c.delays - 1)].value = 11;
        Mark();
        Click(page, CDialogZwaveRemoter::kSaveId);
        EXPECT_TRUE(QTest::qWaitFor([&] { return StoredScene(2) == Bytes56(steps); }, 3000));
        m_window->close();
        QTest::qWait(20);
    }
}

TEST_F(ScenePageTest, AMovieSceneBuiltWithTheControlsIsSavedAndRunOnTest) {
    ASSERT_EQ(CreateKeyFile(4), KeyFileStatus::Ok);
    ASSERT_EQ(SetKeyName(4, 5, QStringLiteral("Power")), KeyFileStatus::Ok);
    ASSERT_EQ(SetKeyStatus(4, 5, 1), KeyFileStatus::Ok);
    CDialogZwaveRemoter* page = OpenScene(kMovie, {});
    ASSERT_NE(page, nullptr);
    ASSERT_EQ(page->StepList()->topLevelItemCount(), 0);

    // A dimmer at 50: the slider shows the level in percent.
    Choose(page->DeviceCombo(), 1);
    EXPECT_TRUE(page->LevelSlider()->isVisible());
    EXPECT_FALSE(
        qobject_cast<QCheckBox*>(FindControl(page, CDialogZwaveRemoter::kOnCheckId))->isVisible());
    page->LevelSlider()->setFocus();
    for (int i = 0; i < 5; ++i) {
        QTest::keyClick(page->LevelSlider(), Qt::Key_PageUp);
    }
    EXPECT_EQ(qobject_cast<QLabel*>(FindControl(page, CDialogZwaveRemoter::kLevelLabelId))->text(),
              QStringLiteral("51"));
    Click(page, CDialogZwaveRemoter::kAddValueId);
    // A delay of 2 s.
    page->DelaySlider()->setFocus();
    QTest::keyClick(page->DelaySlider(), Qt::Key_Right);
    EXPECT_EQ(qobject_cast<QLabel*>(FindControl(page, CDialogZwaveRemoter::kDelayLabelId))->text(),
              QStringLiteral("2s"));
    Click(page, CDialogZwaveRemoter::kAddDelayId);
    // The plug's learned key 5.
    Choose(page->DeviceCombo(), 2);
    ASSERT_EQ(page->KeyCombo()->count(), 1);
    EXPECT_EQ(page->KeyCombo()->currentText(), QStringLiteral("Power"));
    Click(page, CDialogZwaveRemoter::kAddKeyId);
    // The switch on.
    Choose(page->DeviceCombo(), 0);
    auto* on = qobject_cast<QCheckBox*>(FindControl(page, CDialogZwaveRemoter::kOnCheckId));
    EXPECT_TRUE(on->isVisible());
    QTest::mouseClick(on, Qt::LeftButton, {}, QPoint(8, on->height() / 2));
    ASSERT_TRUE(on->isChecked());
    Click(page, CDialogZwaveRemoter::kAddValueId);

    EXPECT_EQ(Rows(page->StepList()),
              (std::vector<QString>{QStringLiteral("1|Plug 3|51"), QStringLiteral("2|延时|2秒"),
                                    QStringLiteral("3|Plug 4|遥控键:Power"),
                                    QStringLiteral("4|Plug 2|开")}));
    const std::vector<SceneStep> steps = {
        {3, 50}, {zwave::kDelayTarget, 2}, {4, 133}, {2, zwave::kValueOn}};
    EXPECT_EQ(page->ListedSteps(), steps);

    // Test asks to save the changed list first, then runs it behind the sync dialog.
    m_boxes->answers = {BoxAnswer::Yes};
    QString syncText;
    ASSERT_TRUE(TestScene(page, 15000, &syncText));
    ASSERT_EQ(m_boxes->shown.size(), 1u);
    EXPECT_EQ(m_boxes->shown[0].text, QStringLiteral("情景已更改，保存并测试？"));
    EXPECT_EQ(syncText, QStringLiteral("载入情景中……"));
    EXPECT_EQ(StoredScene(kMovie), Bytes56(steps));
    EXPECT_EQ(BasicSets(), (std::vector<std::pair<int, int>>{{3, 50}, {4, 133}, {2, 99}}));
    EXPECT_TRUE(LastSceneRun().Complete());
    EXPECT_EQ(g_nSceneRequest.load(), kMovie);
    EXPECT_FALSE(page->Changed());

    // An unchanged scene runs at once.
    ASSERT_TRUE(TestScene(page, 15000));
    EXPECT_EQ(m_boxes->shown.size(), 1u) << "no question";
    EXPECT_EQ(BasicSets(), (std::vector<std::pair<int, int>>{{3, 50}, {4, 133}, {2, 99}}));
}

TEST_F(ScenePageTest, HdmiStepsHaveRowsAreAddedAndReplacedAndKeepTheirPlaceOnSave) {
    zwave::SceneRecord record{};
    record[0] = {2, zwave::kValueOn};
    record[1] = {zwave::kHdmiTarget, 1};
    record[2] = {zwave::kDelayTarget, 3};
    record[3] = {zwave::kHdmiTarget, 9}; // no such input: kept, but without a row
    CDialogZwaveRemoter* page = OpenScene(0, record);
    ASSERT_NE(page, nullptr);
    EXPECT_EQ(Rows(page->StepList()),
              (std::vector<QString>{QStringLiteral("1|Plug 2|开"), QStringLiteral("2|HDMI|HDMI2"),
                                    QStringLiteral("3|延时|3秒")}));
    EXPECT_EQ(page->HiddenSteps(), 1);
    QComboBox* inputs = page->HdmiCombo();
    ASSERT_EQ(inputs->count(), 4);
    EXPECT_EQ(inputs->itemText(3), QStringLiteral("HDMI4"));

    // The first row becomes HDMI 4, and HDMI 1 is added at the end.
    ClickRow(page->StepList(), 0);
    Choose(inputs, 3);
    Click(page, CDialogZwaveRemoter::kResetHdmiId);
    Choose(inputs, 0);
    Click(page, CDialogZwaveRemoter::kAddHdmiId);
    EXPECT_EQ(Rows(page->StepList()),
              (std::vector<QString>{QStringLiteral("1|HDMI|HDMI4"), QStringLiteral("2|HDMI|HDMI2"),
                                    QStringLiteral("3|延时|3秒"), QStringLiteral("4|HDMI|HDMI1")}));
    EXPECT_TRUE(page->Changed());
    Click(page, CDialogZwaveRemoter::kSaveId);
    const auto expected = Bytes56({{zwave::kHdmiTarget, 3},
                                   {zwave::kHdmiTarget, 1},
                                   {zwave::kDelayTarget, 3},
                                   {zwave::kHdmiTarget, 9},
                                   {zwave::kHdmiTarget, 0}});
    EXPECT_TRUE(QTest::qWaitFor([&] { return StoredScene(0) == expected; }, 3000));

    // A processor whose first HDMI input is its Android box names the inputs as the music
    // source window does.
    const std::u16string model = GetParamImage().Model();
    GetParamImage().SetModel(u"RS483");
    m_window->RefreshFromImage();
    GetParamImage().SetModel(model);
    EXPECT_EQ(inputs->itemText(0), QStringLiteral("Android"));
    EXPECT_EQ(inputs->itemText(3), QStringLiteral("HDMI3"));
    EXPECT_EQ(
        Rows(page->StepList()),
        (std::vector<QString>{QStringLiteral("1|HDMI|HDMI3"), QStringLiteral("2|HDMI|HDMI1"),
                              QStringLiteral("3|延时|3秒"), QStringLiteral("5|HDMI|Android")}));
}

TEST_F(ScenePageTest, AScenesLongerThanTheSyncTimeOutIsNotReportedAsAFailure) {
    // The dialog's own time-out is shorter than the scene's 1 s delay.
    struct TimeoutScope {
        TimeoutScope() { CSynDlg::SetTimeoutMs(300); }
        ~TimeoutScope() { CSynDlg::SetTimeoutMs(CSynDlg::kDefaultTimeoutMs); }
    } shortTimeout;
    zwave::SceneRecord record{};
    record[0] = {zwave::kDelayTarget, 1};
    record[1] = {2, zwave::kValueOn};
    CDialogZwaveRemoter* page = OpenScene(zwave::kScenePowerOff, record);
    ASSERT_NE(page, nullptr);
    ASSERT_TRUE(TestScene(page, 15000));
    EXPECT_TRUE(m_boxes->shown.empty()) << m_boxes->shown.front().text.toStdString();
    EXPECT_TRUE(LastSceneRun().Complete());
    EXPECT_EQ(BasicSets(), (std::vector<std::pair<int, int>>{{2, 99}}));
    EXPECT_EQ(CSynDlg::TimeoutMs(), 300) << "the next dialog has the usual time-out again";
}

TEST_F(ScenePageTest, EditsNotSavedYetSurviveARefreshOfTheWindow) {
    zwave::SceneRecord record{};
    record[0] = {2, zwave::kValueOn};
    CDialogZwaveRemoter* page = OpenScene(4, record);
    ASSERT_NE(page, nullptr);
    Click(page, CDialogZwaveRemoter::kAddDelayId);
    const std::vector<QString> edited = Rows(page->StepList());
    ASSERT_EQ(edited.size(), 2u);
    // Pressing the scene tab again refreshes the page, as does any change of the devices.
    QTest::mouseClick(m_window->Button(CDialogHomeTheater::kSceneTabId), Qt::LeftButton);
    m_window->RefreshFromImage();
    EXPECT_EQ(Rows(page->StepList()), edited);
    EXPECT_TRUE(page->Changed());
    // Once saved, a refresh shows the stored scene.
    Click(page, CDialogZwaveRemoter::kSaveId);
    m_window->RefreshFromImage();
    EXPECT_EQ(Rows(page->StepList()), edited);
    EXPECT_FALSE(page->Changed());
}

TEST_F(ScenePageTest, MovingARowSwapsItWithItsNeighbourAndKeepsTheIndexColumn) {
    zwave::SceneRecord record{};
    record[0] = {2, zwave::kValueOn};
    record[1] = {zwave::kDelayTarget, 3};
    record[2] = {3, 1};
    CDialogZwaveRemoter* page = OpenScene(3, record);
    ASSERT_NE(page, nullptr);
    ClickRow(page->StepList(), 0);
    Click(page, CDialogZwaveRemoter::kDownId);
    Click(page, CDialogZwaveRemoter::kDownId);
    EXPECT_EQ(Rows(page->StepList()),
              (std::vector<QString>{QStringLiteral("1|延时|3秒"), QStringLiteral("2|Plug 3|1"),
                                    QStringLiteral("3|Plug 2|开")}));
    EXPECT_EQ(page->StepList()->currentItem(), page->StepList()->topLevelItem(2));
    Click(page, CDialogZwaveRemoter::kUpId);
    EXPECT_EQ(page->ListedSteps(),
              (std::vector<SceneStep>{{zwave::kDelayTarget, 3}, {2, zwave::kValueOn}, {3, 1}}));
    Click(page, CDialogZwaveRemoter::kClearId);
    EXPECT_EQ(page->StepList()->topLevelItemCount(), 0);
    EXPECT_TRUE(page->Changed());
}

} // namespace
} // namespace kv::test
