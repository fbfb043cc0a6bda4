#include "ShellFixture.h"

#include "image/ParamImage.h"
#include "shell/CMX2240v13View.h"
#include "shell/CRibbon.h"
#include "shell/CommandIds.h"
#include "shell/Language.h"

#include <QApplication>
#include <QLabel>
#include <QTest>
#include <QToolButton>

namespace kv::test {
namespace {

class MainWindowTest : public ShellFixture {};

/// Saves a picture of the main window when KV_SCREENSHOT_DIR names a folder.
void SaveScreenshot(QWidget* window, const QString& name) {
    const QString dir = qEnvironmentVariable("KV_SCREENSHOT_DIR");
    if (!dir.isEmpty()) {
        window->grab().save(dir + QLatin1Char('/') + name + QStringLiteral(".png"));
    }
}

TEST_F(MainWindowTest, OpensWithTitleSizeAndAllRibbonControlsVisibleInBothLanguages) {
    Start();
    EXPECT_EQ(m_frame->windowTitle(), QStringLiteral("Controller v2.0.9"));
    EXPECT_EQ(m_frame->minimumSize(), QSize(1040, 700));
    EXPECT_GE(m_frame->View()->minimumWidth(), 1024);
    EXPECT_GE(m_frame->View()->minimumHeight(), 520);
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

} // namespace
} // namespace kv::test
