#include "shell/SimFixture.h"

#include "SettingsTestUtil.h"

#include "image/MainFields.h"
#include "image/ParamImage.h"
#include "protocol/CoefficientEncoders.h"
#include "settings/CDialogMusicInput.h"
#include "settings/CloudnessDlg.h"
#include "settings/SettingsWindows.h"
#include "shell/CommandIds.h"
#include "shell/Language.h"
#include "shell/ToolWindows.h"
#include "sim/InProcessBus.h"

#include <QCheckBox>
#include <QLabel>
#include <QPointer>
#include <QRadioButton>

#include <bit>

namespace kv::test {
namespace {

class SourceSettingsWindowTest : public SettingsWindowFixture {
protected:
    CDialogMusicInput* OpenSource() {
        m_frame->OnCommand(cmd::kInputSource);
        return qobject_cast<CDialogMusicInput*>(GetAppState().OpenWindow(ToolWindow::InputSource));
    }
    CloudnessDlg* OpenFeatures() {
        m_frame->OnCommand(cmd::kFeatures);
        return qobject_cast<CloudnessDlg*>(GetAppState().OpenWindow(ToolWindow::Loudness));
    }

    template <typename T = QWidget>
    static T* Control(QWidget* window, int id) {
        return qobject_cast<T*>(FindControl(window, id));
    }

    /// Position of the first parameter command (module, item) since Mark(), or -1.
    std::ptrdiff_t IndexOf(int module, int item) const {
        const auto sent = SinceMark(9);
        for (std::size_t i = 0; i < sent.size(); ++i) {
            if (sent[i][3] == module && sent[i][4] == item) {
                return static_cast<std::ptrdiff_t>(i);
            }
        }
        return -1;
    }
};

/// The 4-byte word of value k of a parameter command.
std::uint32_t Word(const Bytes& b, int k = 0) {
    const std::size_t at = 6 + 4 * static_cast<std::size_t>(k);
    return std::uint32_t{b[at]} << 24 | std::uint32_t{b[at + 1]} << 16 |
           std::uint32_t{b[at + 2]} << 8 | b[at + 3];
}

TEST_F(SourceSettingsWindowTest, HdmiChoiceSendsTheSubInputBeforeTheSource) {
    StartConnected();
    CDialogMusicInput* dialog = OpenSource();
    ASSERT_NE(dialog, nullptr);
    Mark();
    QTest::mouseClick(Control(dialog, 1194), Qt::LeftButton); // HDMI3
    const auto port = WaitParams(4, 33, 1);
    const auto source = WaitParams(4, 23, 1);
    ASSERT_EQ(port.size(), 1u);
    ASSERT_EQ(source.size(), 1u);
    EXPECT_EQ(Word(port[0]), 2u);
    EXPECT_EQ(Word(source[0]), 2u);
    EXPECT_LT(IndexOf(4, 33), IndexOf(4, 23));

    Mark();
    QTest::mouseClick(Control(dialog, 1191), Qt::LeftButton); // Bluetooth: no sub-input
    EXPECT_EQ(Word(WaitParams(4, 23, 1).at(0)), 3u);
    EXPECT_TRUE(ParamsSinceMark(4, 33).empty());
    EXPECT_EQ(GetParamImage().Int(fields::hdmiPort), 2);
}

TEST_F(SourceSettingsWindowTest, ModelRs483RenamesTheHdmiButtonsButKeepsTheirCodes) {
    StartConnected();
    GetParamImage().SetModel(u"rs483");
    CDialogMusicInput* dialog = OpenSource();
    EXPECT_EQ(dialog->SourceButton(2)->text(), "Android");
    EXPECT_EQ(dialog->SourceButton(5)->text(), "HDMI3");
    Mark();
    QTest::mouseClick(dialog->SourceButton(2), Qt::LeftButton);
    EXPECT_EQ(Word(WaitParams(4, 33, 1).at(0)), 0u);
    EXPECT_EQ(Word(WaitParams(4, 23, 1).at(0)), 2u);
}

TEST_F(SourceSettingsWindowTest, RefreshChecksTheStoredSourceAndShowsTheLevels) {
    Start();
    struct Case {
        int code, port, checkedRadio;
    };
    const Case cases[] = {{2, 3, 1195}, {2, 0, 1192}, {1, 3, 1198}, {4, 1, 1196}};
    GetParamImage().SetInt(fields::sourceLevelHdmi4, 0, 140); // beyond the slider
    CDialogMusicInput* dialog = OpenSource();
    for (const Case& c : cases) {
        GetParamImage().SetInt(fields::musicSource, 0, c.code);
        GetParamImage().SetInt(fields::hdmiPort, 0, c.port);
        dialog->RefreshFromImage();
        EXPECT_TRUE(Control<QRadioButton>(dialog, c.checkedRadio)->isChecked()) << c.checkedRadio;
    }
    GetParamImage().SetInt(fields::musicSource, 0, 9); // unknown: the choice stays
    dialog->RefreshFromImage();
    EXPECT_TRUE(Control<QRadioButton>(dialog, 1196)->isChecked());
    EXPECT_EQ(Control<CXBmpSlider>(dialog, 1046)->Pos(), 100);
    EXPECT_EQ(Control<QLabel>(dialog, 1131)->text(), "100%");
}

TEST_F(SourceSettingsWindowTest, LevelSliderSendsItsSourcesItemAndClosingOnlyHides) {
    StartConnected();
    CDialogMusicInput* dialog = OpenSource();
    Mark();
    MoveSlider(Control<CXBmpSlider>(dialog, 1042), 55); // Bluetooth
    EXPECT_EQ(Control<QLabel>(dialog, 1007)->text(), "55%");
    EXPECT_EQ(GetParamImage().Int(fields::sourceLevelBt), 55);
    EXPECT_EQ(WaitParams(4, 30, 1).back(), ParamBytes(4, 30, 0.55f));

    dialog->close();
    EXPECT_FALSE(dialog->isVisible());
    QTest::keyClick(dialog, Qt::Key_Escape);
    QTest::qWait(20);
    ASSERT_EQ(GetAppState().OpenWindow(ToolWindow::InputSource), dialog);
    EXPECT_EQ(OpenSource(), dialog);
    EXPECT_TRUE(dialog->isVisible());
}

TEST_F(SourceSettingsWindowTest, DeviceArrivalDestroysTheFeaturesButOnlyHidesTheSource) {
    StartConnected();
    CDialogMusicInput* source = OpenSource();
    ASSERT_NE(source, nullptr);
    ASSERT_NE(OpenFeatures(), nullptr);
    const QPointer<QWidget> features = GetAppState().OpenWindow(ToolWindow::Loudness);

    auto* bus = device::RunningSimulatorBus();
    bus->Unplug(device::SimulatedDevicePath());
    ASSERT_TRUE(QTest::qWaitFor([] { return !device::IsConnected(); }, 5000));
    bus->Plug(device::SimulatedDevicePath());
    ASSERT_TRUE(WaitSynchronised(2));
    QTest::qWait(20);

    EXPECT_TRUE(features.isNull());
    EXPECT_EQ(GetAppState().OpenWindow(ToolWindow::Loudness), nullptr);
    ASSERT_EQ(GetAppState().OpenWindow(ToolWindow::InputSource), source);
    EXPECT_FALSE(source->isVisible());
    EXPECT_EQ(OpenSource(), source);
    EXPECT_TRUE(source->isVisible());
}

TEST_F(SourceSettingsWindowTest, FeatureSlidersStoreAndSendTheirValues) {
    StartConnected();
    CloudnessDlg* dialog = OpenFeatures();
    ASSERT_NE(dialog, nullptr);
    struct Case {
        int slider, value, module, item;
        std::uint32_t word;
        int label;
        const char* text;
    };
    const Case cases[] = {
        {1043, 200, 13, 0, std::bit_cast<std::uint32_t>(200.0f), 1006, "200Hz"},
        {1058, 7, 13, 5, std::bit_cast<std::uint32_t>(7.0f), 1022, "7dB"},
        {1059, 40, 13, 6, std::bit_cast<std::uint32_t>(0.4f), 1023, "40%"},
        {1047, 20, 4, 36, 960u, 1004, "20ms"},
        {1048, 250, 4, 37, std::bit_cast<std::uint32_t>(2.5f), 1009, "250%"},
        {1050, 30, 1, 13, std::bit_cast<std::uint32_t>(0.3f), 1011, "30%"},
    };
    for (const Case& c : cases) {
        Mark();
        MoveSlider(Control<CXBmpSlider>(dialog, c.slider), c.value);
        const auto sent = WaitParams(c.module, c.item, 1);
        ASSERT_FALSE(sent.empty()) << c.slider;
        EXPECT_EQ(Word(sent.back()), c.word) << c.slider;
        EXPECT_EQ(Control<QLabel>(dialog, c.label)->text(), c.text);
    }
}

TEST_F(SourceSettingsWindowTest, AttackSliderSendsTheWholeLevelControlBlock) {
    StartConnected();
    ParamImage& image = GetParamImage();
    const float before[] = {-20.0f, 4.0f, 10.0f, 200.0f};
    for (int k = 0; k < 4; ++k) {
        image.SetFloat(fields::musicInputLimiter, k, before[k]);
    }
    CloudnessDlg* dialog = OpenFeatures();
    EXPECT_EQ(Control<QLabel>(dialog, 1014)->text(), "-20dB");
    Mark();
    MoveSlider(Control<CXBmpSlider>(dialog, 1053), 30);
    EXPECT_EQ(Control<QLabel>(dialog, 1016)->text(), "30ms");
    EXPECT_FLOAT_EQ(image.Float(fields::musicInputLimiter, 0), -20.0f);
    EXPECT_FLOAT_EQ(image.Float(fields::musicInputLimiter, 1), 4.0f);
    EXPECT_FLOAT_EQ(image.Float(fields::musicInputLimiter, 2), 30.0f);
    EXPECT_FLOAT_EQ(image.Float(fields::musicInputLimiter, 3), 200.0f);
    const auto sent = WaitParams(4, 14, 1);
    ASSERT_FALSE(sent.empty());
    const DynamicsRecord expected = BuildDynamicsRecord(-20.0f, 4.0f, 30.0f, 200.0f);
    ASSERT_EQ(sent.back()[5], kDynamicsValues);
    for (int k = 0; k < kDynamicsValues; ++k) {
        EXPECT_EQ(Word(sent.back(), k), std::bit_cast<std::uint32_t>(expected[k])) << k;
    }
}

TEST_F(SourceSettingsWindowTest, SwitchesStoreTheirStateAndSendTheirBytes) {
    StartConnected();
    ParamImage& image = GetParamImage();
    image.SetInt(fields::micBassBoostOn, 0, 0);
    image.SetInt(fields::micBassBoostOnCopy, 0, 0);
    image.SetInt(fields::musicInputLimiterOff, 0, 1);
    CloudnessDlg* dialog = OpenFeatures();
    EXPECT_FALSE(Control<QCheckBox>(dialog, CloudnessDlg::kMusicLevelOn)->isChecked());
    Mark();
    QTest::mouseClick(Control(dialog, 1045), Qt::LeftButton); // "Mic Max Bass"
    EXPECT_EQ(image.Int(fields::micBassBoostOn), 1);
    EXPECT_EQ(image.Int(fields::micBassBoostOnCopy), 1);
    EXPECT_EQ(Word(WaitParams(1, 37, 1).at(0)), 0u);
    EXPECT_EQ(Word(WaitParams(1, 60, 1).at(0)), 0u);

    QTest::mouseClick(Control(dialog, CloudnessDlg::kMusicLevelOn), Qt::LeftButton);
    EXPECT_EQ(image.Int(fields::musicInputLimiterOff), 0);
    EXPECT_EQ(Word(WaitParams(4, 15, 1).at(0)), 0u);
}

TEST_F(SourceSettingsWindowTest, SubBassLowPassAndBassBoostGoThroughTheirOperations) {
    StartConnected();
    CloudnessDlg* dialog = OpenFeatures();
    Mark();
    MoveSlider(Control<CXBmpSlider>(dialog, CloudnessDlg::kSubBassFreq), 120);
    const EqBand band = GetParamImage().ReadBand(14, 0);
    EXPECT_NEAR(band.freqHz, 120.0, 1.0);
    EXPECT_EQ(band.type, 2);
    EXPECT_NEAR(band.q, 0.707, 0.01);
    EXPECT_FALSE(WaitParams(4, 10, 1).empty());
    EXPECT_EQ(Control<QLabel>(dialog, CloudnessDlg::kSubBassFreqText)->text(), "120Hz");

    MoveSlider(Control<CXBmpSlider>(dialog, CloudnessDlg::kBassBoost), 12);
    EXPECT_FLOAT_EQ(GetParamImage().TailValue(), -12.0f);
    EXPECT_EQ(Control<QLabel>(dialog, CloudnessDlg::kBassBoostText)->text(), "12dB");
    EXPECT_FALSE(WaitParams(1, 38, 1).empty());

    dialog->close(); // the features window is destroyed on close
    ASSERT_TRUE(QTest::qWaitFor(
        [] { return GetAppState().OpenWindow(ToolWindow::Loudness) == nullptr; }, 2000));
}

TEST_F(SourceSettingsWindowTest, WindowsInBothLanguages) {
    StartConnected();
    for (int language : {kChinese, kEnglish}) {
        SetLanguageIndex(language);
        LoadCurrentLanguageTable();
        CDialogMusicInput* source = OpenSource();
        EXPECT_EQ(source->windowTitle(),
                  language == kChinese ? "音源设置" : "Music source setting");
        CloudnessDlg* features = OpenFeatures();
        EXPECT_EQ(features->windowTitle(), language == kChinese ? "特色功能" : "Features");
        EXPECT_EQ(Control<QCheckBox>(features, 1045)->text(),
                  language == kChinese ? "话筒低频增强" : "Mic Max Bass ");
        const QString suffix = language == kChinese ? "zh" : "en";
        Settle(source);
        SaveScreenshot(source, "music-source-" + suffix);
        Settle(features);
        SaveScreenshot(features, "features-" + suffix);
        source->close();
        features->close();
        QTest::qWait(20);
    }
    SetLanguageIndex(kChinese);
    LoadCurrentLanguageTable();
}

} // namespace
} // namespace kv::test
