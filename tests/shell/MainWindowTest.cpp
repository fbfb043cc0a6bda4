#include "ShellFixture.h"

#include "image/ParamImage.h"
#include "link/ConnectionState.h"
#include "shell/AppSettings.h"
#include "shell/AppState.h"
#include "shell/CAboutDlg.h"
#include "shell/CDisconnectedPanel.h"
#include "shell/CInfoDlg.h"
#include "shell/CMX2240v13View.h"
#include "shell/CRibbon.h"
#include "shell/CommandIds.h"
#include "shell/IPage.h"
#include "shell/Language.h"
#include "shell/ModeCommands.h"
#include "shell/SingleInstance.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLocale>
#include <QMenu>
#include <QPushButton>
#include <QSettings>
#include <QSignalSpy>
#include <QTabBar>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <QUuid>

#include <string>

namespace kv::test {
namespace {

/// A page with an equaliser that records what the shell asks of it.
class FakeEqPage : public QWidget, public IPage {
public:
    FakeEqPage(PageKind pageKind, int pageArgument, QWidget* parent)
        : QWidget(parent), kind(pageKind), argument(pageArgument) {}
    PageKind Kind() const override { return kind; }
    QWidget* Widget() override { return this; }
    void SetPageArgument(int a) override { argument = a; }
    void RefreshFromImage() override { ++refreshes; }
    void ApplyLanguage() override { ++languageApplied; }
    bool HasEq() const override { return true; }
    bool IsEqBypassed() const override { return bypassed; }
    void SelectBand(int band) override { bands.push_back(band); }
    void ToggleEqSwitch() override { bypassed = !bypassed; }
    void ResetEq() override { ++resets; }

    PageKind kind;
    int argument;
    int refreshes = 0;
    int languageApplied = 0;
    bool bypassed = false;
    int resets = 0;
    std::vector<int> bands;
};

class MainWindowTest : public ShellFixture {
protected:
    void TearDown() override {
        RegisterPageFactory(PageKind::Main, nullptr);
        RegisterPageFactory(PageKind::Output, nullptr);
        ShellFixture::TearDown();
    }

    void UseFakePages() {
        for (PageKind kind : {PageKind::Main, PageKind::Output}) {
            RegisterPageFactory(kind, [kind](QWidget* parent, int argument) {
                return new FakeEqPage(kind, argument, parent);
            });
        }
    }

    FakeEqPage* Page() const { return dynamic_cast<FakeEqPage*>(m_frame->View()->CurrentPage()); }

    void ClickButton(int id) { QTest::mouseClick(m_frame->Ribbon()->Button(id), Qt::LeftButton); }
};

TEST_F(MainWindowTest, OpensWithTitleSizeAndAllRibbonControlsVisibleInBothLanguages) {
    Start();
    EXPECT_EQ(m_frame->windowTitle(), QStringLiteral("Controller v2.0.9"));
    EXPECT_EQ(m_frame->minimumSize(), QSize(1040, 700));
    EXPECT_GE(m_frame->View()->minimumWidth(), 1024);
    EXPECT_GE(m_frame->View()->minimumHeight(), 520);
    EXPECT_EQ(QSettings(m_options.settingsPath, QSettings::IniFormat)
                  .value(QStringLiteral("Workspace/ApplicationLook"))
                  .toInt(),
              215);
    m_frame->resize(m_frame->minimumSize());
    QTest::qWait(50);

    for (int language : {kChinese, kEnglish}) {
        if (LanguageIndex() != language) {
            m_frame->OnCommand(cmd::kLanguage);
        }
        QTest::qWait(20);
        // At the smallest window size every button beside the tabs and every panel of the
        // active category lies inside the window.
        for (int id : {cmd::kFeatures, cmd::kSmartPlug, cmd::kInputSource, cmd::kMachineReset,
                       cmd::kRemoteControl, cmd::kLanguage, cmd::kAppAbout, cmd::kSaveFileInput}) {
            QToolButton* button = m_frame->Ribbon()->Button(id);
            ASSERT_NE(button, nullptr) << id;
            const QRect r(button->mapTo(m_frame, QPoint(0, 0)), button->size());
            EXPECT_TRUE(m_frame->rect().contains(r)) << id << " language " << language;
        }
        SaveScreenshot(m_frame, language == kChinese ? QStringLiteral("main-zh")
                                                     : QStringLiteral("main-en"));
    }
}

TEST_F(MainWindowTest, LanguageButtonRenamesCategoriesPanelsMenusAndBack) {
    Start();
    CRibbon* ribbon = m_frame->Ribbon();
    auto modeMenuFirst = [&](int buttonId) {
        QMenu* menu = ribbon->Button(buttonId)->menu();
        return menu ? menu->actions().value(0)->text() : QString();
    };
    EXPECT_EQ(ribbon->CategoryName(CRibbon::kInput), QStringLiteral("输入控制"));
    EXPECT_EQ(modeMenuFirst(cmd::kLoadModeOutput), QStringLiteral("M1（电视）"));

    ClickButton(cmd::kLanguage);
    EXPECT_EQ(LanguageIndex(), kEnglish);
    EXPECT_EQ(ribbon->CategoryName(CRibbon::kInput), QStringLiteral("Input"));
    EXPECT_EQ(ribbon->CategoryName(CRibbon::kOutput), QStringLiteral("Output"));
    EXPECT_EQ(ribbon->PanelName(CRibbon::kOutput, 0), QStringLiteral("Mic  Vol"));
    EXPECT_EQ(ribbon->PanelName(CRibbon::kInput, 7), QStringLiteral("Save"));
    EXPECT_EQ(ribbon->Button(cmd::kLoadModeInput)->menu(), ribbon->ModeMenu(cmd::kMenuLoadEn));
    EXPECT_EQ(ribbon->Button(cmd::kSaveModeOutput)->menu(), ribbon->ModeMenu(cmd::kMenuSaveEn));
    EXPECT_EQ(modeMenuFirst(cmd::kSaveModeInput), QStringLiteral("M1（TV）"));
    EXPECT_EQ(ribbon->Button(cmd::kLoadFileOutput)->text(), QStringLiteral("LoadFile"));
    EXPECT_EQ(ribbon->ApplicationMenu()->actions().value(0)->text(), QStringLiteral("Open(&O)"));
    EXPECT_EQ(ribbon->ValueLabel(QuickLevel::NoiseGate, CRibbon::kInput)->text(),
              QStringLiteral("Noisegate:      0"));
    EXPECT_EQ(m_frame->BypassBox()->text(), QStringLiteral("Bypass"));
    m_frame->UpdateStatus();
    // No processor: no current mode to show.
    EXPECT_EQ(m_frame->ModePane()->text(), QStringLiteral("Current Mode:--"));
    EXPECT_EQ(QSettings(m_options.settingsPath, QSettings::IniFormat)
                  .value(QStringLiteral("Workspace/language"))
                  .toInt(),
              1);

    ClickButton(cmd::kLanguage);
    EXPECT_EQ(LanguageIndex(), kChinese);
    EXPECT_EQ(ribbon->CategoryName(CRibbon::kOutput), QStringLiteral("输出调节"));
    EXPECT_EQ(ribbon->PanelName(CRibbon::kInput, 5), QStringLiteral("音乐噪声门"));
    EXPECT_EQ(ribbon->Button(cmd::kLoadModeInput)->menu(), ribbon->ModeMenu(cmd::kMenuLoadZh));
    EXPECT_EQ(ribbon->ApplicationMenu()->actions().value(1)->text(), QStringLiteral("保存(&S)"));
    EXPECT_EQ(m_frame->ResetEqButton()->text(), QStringLiteral("重置均衡"));
    // The reverb label of the language switch has its own Chinese prefix.
    EXPECT_EQ(ribbon->ValueLabel(QuickLevel::Reverb, CRibbon::kInput)->text(),
              QStringLiteral("混响音量:  0"));
}

TEST_F(MainWindowTest, FirstStartFollowsTheSystemLanguageAndAStoredSettingWins) {
    struct Case {
        const char* locale;
        int stored; ///< -1: nothing stored yet
        const char* inputCategory;
    };
    const Case cases[] = {
        {"zh_CN", -1, "输入控制"}, {"zh_TW", -1, "输入控制"}, {"en_US", -1, "Input"},
        {"de_DE", -1, "Input"},    {"C", -1, "Input"},        {"en_US", 0, "输入控制"},
        {"zh_CN", 1, "Input"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.locale) + " stored " + std::to_string(c.stored));
        QFile::remove(m_options.settingsPath);
        if (c.stored >= 0) {
            QSettings(m_options.settingsPath, QSettings::IniFormat)
                .setValue(QStringLiteral("Workspace/language"), c.stored);
        }
        QLocale::setDefault(QLocale(QString::fromLatin1(c.locale)));
        Start();
        EXPECT_EQ(m_frame->Ribbon()->CategoryName(CRibbon::kInput),
                  QString::fromUtf8(c.inputCategory));
        const bool english = QString::fromUtf8(c.inputCategory) == QStringLiteral("Input");
        EXPECT_EQ(m_frame->ResetEqButton()->text(),
                  english ? QStringLiteral("Reset EQ") : QStringLiteral("重置均衡"));
        m_app.reset();
        // Starting does not store the language: the system keeps deciding until a switch.
        EXPECT_EQ(QSettings(m_options.settingsPath, QSettings::IniFormat)
                      .contains(QStringLiteral("Workspace/language")),
                  c.stored >= 0);
    }
}

TEST_F(MainWindowTest, CategoriesSwitchPagesAndTheStatusBarActsOnThePage) {
    UseFakePages();
    Start();
    ASSERT_NE(Page(), nullptr);
    EXPECT_EQ(Page()->Kind(), PageKind::Main);
    m_frame->UpdateStatus();
    EXPECT_TRUE(m_frame->BypassBox()->isEnabled());

    GetAppState().outputPageChannel = 5;
    QTabBar* tabs = m_frame->Ribbon()->Tabs();
    QTest::mouseClick(tabs, Qt::LeftButton, {}, tabs->tabRect(CRibbon::kOutput).center());
    ASSERT_NE(Page(), nullptr);
    EXPECT_EQ(Page()->Kind(), PageKind::Output);
    EXPECT_EQ(Page()->argument, 5);

    // Bypass box and the P key toggle the page's equaliser switch.
    QTest::mouseClick(m_frame->BypassBox(), Qt::LeftButton, {}, QPoint(6, 6));
    EXPECT_TRUE(Page()->bypassed);
    EXPECT_TRUE(m_frame->BypassBox()->isChecked());
    QTest::keyClick(m_frame, Qt::Key_P);
    EXPECT_FALSE(Page()->bypassed);
    // Ctrl+digits select bands 1..10 (Ctrl+0 is the tenth); digits alone do nothing.
    QTest::keyClick(m_frame, Qt::Key_3, Qt::ControlModifier);
    QTest::keyClick(m_frame, Qt::Key_0, Qt::ControlModifier);
    QTest::keyClick(m_frame, Qt::Key_7, Qt::ControlModifier | Qt::KeypadModifier);
    QTest::keyClick(m_frame, Qt::Key_4);
    EXPECT_EQ(Page()->bands, (std::vector<int>{2, 9, 6}));
    // Reset EQ asks first; No leaves the equaliser alone.
    m_boxes->answers = {BoxAnswer::No, BoxAnswer::Yes};
    QTest::mouseClick(m_frame->ResetEqButton(), Qt::LeftButton);
    EXPECT_EQ(Page()->resets, 0);
    QTest::mouseClick(m_frame->ResetEqButton(), Qt::LeftButton);
    EXPECT_EQ(Page()->resets, 1);
    ASSERT_EQ(m_boxes->shown.size(), 2u);
    EXPECT_EQ(m_boxes->shown[1].text, QStringLiteral("您确定重置当前均衡吗?"));
    EXPECT_EQ(m_boxes->shown[1].caption, QStringLiteral("提示"));

    // Back to Input: the main page again, on channel A.
    GetAppState().mainPageSource = 2;
    QTest::mouseClick(tabs, Qt::LeftButton, {}, tabs->tabRect(CRibbon::kInput).center());
    EXPECT_EQ(Page()->Kind(), PageKind::Main);
    EXPECT_EQ(Page()->argument, 0);
    EXPECT_EQ(GetAppState().mainPageSource, 0);
}

TEST_F(MainWindowTest, PlaceholderPageDisablesTheEqualiserControls) {
    Start();
    m_frame->UpdateStatus();
    EXPECT_FALSE(m_frame->BypassBox()->isEnabled());
    EXPECT_FALSE(m_frame->ResetEqButton()->isEnabled());
    QTest::keyClick(m_frame, Qt::Key_P);
    EXPECT_TRUE(m_boxes->shown.empty());
}

TEST_F(MainWindowTest, CommandsThatNeedTheProcessorSayOrDoNothingWhenDisconnected) {
    Start();
    ASSERT_FALSE(device::IsConnected());
    m_frame->OnCommand(cmd::kLoadFileInput);
    ASSERT_NE(m_frame->InfoWindow(), nullptr);
    EXPECT_EQ(m_frame->InfoWindow()->Text(), QStringLiteral("请先连接设备!"));
    EXPECT_TRUE(m_chooser->answers.empty());
    m_frame->OnCommand(cmd::kMachineReset);
    m_frame->OnCommand(cmd::kStoreFirst + 1);
    QTest::keyClick(m_frame, Qt::Key_F3);
    EXPECT_TRUE(m_boxes->shown.empty());
    // Levels still change in the image.
    GetParamImage().SetSlot(QuickLevelOf(QuickLevel::Reverb).field->slot, 30);
    m_frame->RefreshAll();
    QTest::keyClick(m_frame, Qt::Key_R);
    EXPECT_EQ(GetParamImage().Slot(QuickLevelOf(QuickLevel::Reverb).field->slot), 35);
}

TEST_F(MainWindowTest, WithoutAProcessorThePageAreaSaysWhatToCheckAndItsCommandsAreOff) {
    Start();
    m_frame->resize(1200, 800);
    QTest::qWait(300); // the status update
    CDisconnectedPanel* panel = m_frame->View()->DisconnectedPanel();
    ASSERT_FALSE(panel->isHidden());
    EXPECT_TRUE(m_frame->View()->rect().contains(panel->geometry()));
    EXPECT_EQ(m_frame->ModePane()->text(), QStringLiteral("当前模式:--"));
    for (int id : {cmd::kLoadModeInput, cmd::kSaveModeOutput, cmd::kLoadFileInput,
                   cmd::kSaveFileOutput, cmd::kMachineReset}) {
        QToolButton* button = m_frame->Ribbon()->Button(id);
        ASSERT_NE(button, nullptr) << id;
        EXPECT_FALSE(button->isEnabled()) << id;
        EXPECT_FALSE(button->toolTip().isEmpty()) << id;
    }
    // What to check, with the command that installs the udev rule, in the current language.
    m_frame->OnCommand(cmd::kLanguage);
    const QString text = panel->Text();
    for (const QString& part :
         {QStringLiteral("No processor connected"), QStringLiteral("lsusb"),
          QStringLiteral("1209:0001"), QStringLiteral("KV_USB_ID"),
          QStringLiteral("/etc/udev/rules.d/"), QStringLiteral("udevadm trigger"),
          QStringLiteral("kvcontrol --simulate"), QStringLiteral("kvsim")}) {
        EXPECT_TRUE(text.contains(part)) << part.toStdString();
    }
    // The command copies a rule file that exists (the source tree's in a build).
    EXPECT_TRUE(QFileInfo::exists(CDisconnectedPanel::UdevRulePath()));
    EXPECT_TRUE(
        CDisconnectedPanel::UdevInstallCommand().contains(CDisconnectedPanel::UdevRulePath()));
    SaveScreenshot(m_frame, QStringLiteral("disconnected-en"));
}

TEST_F(MainWindowTest, RecentEntryOfAMissingFileIsReportedAndDropped) {
    Start();
    const QString missing = m_dir.filePath(QStringLiteral("gone.amod"));
    m_frame->Settings().AddRecentFile(missing);
    QMenu* menu = m_frame->Ribbon()->ApplicationMenu();
    emit menu->aboutToShow();
    QAction* entry = nullptr;
    for (QAction* a : menu->actions()) {
        if (a->data().toInt() == cmd::kRecentFirst) {
            entry = a;
        }
    }
    ASSERT_NE(entry, nullptr);
    entry->trigger();
    ASSERT_EQ(m_boxes->shown.size(), 1u);
    EXPECT_EQ(m_boxes->shown[0].text, QStringLiteral("文件不存在！"));
    EXPECT_EQ(m_boxes->shown[0].caption, QStringLiteral("文件打开错误"));
    EXPECT_TRUE(m_frame->Settings().RecentFiles().isEmpty());
}

TEST_F(MainWindowTest, AboutBoxRevealsModelAndPeakWithCtrlShiftF11) {
    Start();
    g_bPeakOption.store(1);
    bool checked = false;
    QTimer::singleShot(0, [&] {
        auto* about = qobject_cast<CAboutDlg*>(QApplication::activeModalWidget());
        ASSERT_NE(about, nullptr);
        checked = true;
        EXPECT_FALSE(about->PeakBox()->isVisible());
        EXPECT_FALSE(about->ModelLine()->isVisible());
        QTest::keyClick(about, Qt::Key_F11, Qt::ControlModifier);
        EXPECT_FALSE(about->PeakBox()->isVisible());
        QTest::keyClick(about, Qt::Key_F11, Qt::ControlModifier | Qt::ShiftModifier);
        EXPECT_TRUE(about->PeakBox()->isVisible());
        EXPECT_TRUE(about->ModelLine()->isVisible());
        EXPECT_EQ(about->ModelLine()->text(), QStringLiteral("Module:MX2240"));
        QTest::mouseClick(about->PeakBox(), Qt::LeftButton, {}, QPoint(6, 6));
        about->accept();
    });
    ClickButton(cmd::kAppAbout);
    EXPECT_TRUE(checked);
    EXPECT_EQ(g_bPeakOption.load(), 0);
    g_bPeakOption.store(1);
}

TEST(ModeFileSlotTest, TitleBeginningWithM1ToM4ChoosesTheSlot) {
    const std::pair<const char*, int> cases[] = {
        {"/x/M3 party.amod", 2}, {"/x/my m1.amod", -1},   {"/x/m2", 1},         {"/x/M4.AMOD", 3},
        {"/x/.amod", -1},        {"/x/m5 test.amod", -1}, {"/x/m1.v2.amod", 0}, {"/x/.m3", -1},
    };
    for (const auto& [path, slot] : cases) {
        EXPECT_EQ(FileModeSlot(QString::fromUtf8(path)), slot) << path;
    }
}

TEST(SingleInstanceTest, SecondStartAsksTheFirstToComeToTheFront) {
    const QString key =
        QStringLiteral("kvtest-single-") + QUuid::createUuid().toString(QUuid::Id128);
    SingleInstance first(key);
    ASSERT_EQ(first.Start(), SingleInstance::Result::Primary);
    QSignalSpy raised(&first, &SingleInstance::raiseRequested);
    {
        SingleInstance second(key);
        EXPECT_EQ(second.Start(), SingleInstance::Result::Secondary);
    }
    EXPECT_TRUE(raised.wait(3000));
}

} // namespace
} // namespace kv::test
