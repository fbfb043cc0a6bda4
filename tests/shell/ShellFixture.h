#pragma once

#include "shell/AppState.h"
#include "shell/CMX2240v13App.h"
#include "shell/CMainFrame.h"
#include "shell/CSynDlg.h"
#include "shell/UiServices.h"

#include <QLocale>
#include <QString>
#include <QTemporaryDir>
#include <QUuid>

#include <gtest/gtest.h>

#include <deque>
#include <memory>
#include <vector>

namespace kv::test {

/// One message box the application showed.
struct ShownBox {
    QString text;
    QString caption;
    BoxButtons buttons;
    BoxIcon icon;
    bool overSyncDialog; ///< a synchronisation dialog was on screen beneath it
};

/// Message boxes answered from a script; every box is recorded.
class ScriptedBoxes : public IMessageBoxes {
public:
    BoxAnswer Show(QWidget*, const QString& text, const QString& caption, BoxButtons buttons,
                   BoxIcon icon) override {
        const CSynDlg* sync = GetAppState().syncDialog;
        shown.push_back({text, caption, buttons, icon, sync && sync->isVisible()});
        if (!answers.empty()) {
            const BoxAnswer a = answers.front();
            answers.pop_front();
            return a;
        }
        return buttons == BoxButtons::Ok ? BoxAnswer::Ok : BoxAnswer::No;
    }

    std::deque<BoxAnswer> answers;
    std::vector<ShownBox> shown;
};

/// File dialogs answered from a script (an empty answer is a cancel).
class ScriptedChooser : public IFileChooser {
public:
    QString OpenFile(QWidget*, const QString&) override { return Next(); }
    QString SaveFile(QWidget*, const QString& proposedName, const QString&,
                     const QString&) override {
        proposedNames.push_back(proposedName);
        return Next();
    }

    std::deque<QString> answers;
    std::vector<QString> proposedNames;

private:
    QString Next() {
        if (answers.empty()) {
            return {};
        }
        const QString a = answers.front();
        answers.pop_front();
        return a;
    }
};

/// Saves a picture of the main window when KV_SCREENSHOT_DIR names a folder.
inline void SaveScreenshot(QWidget* window, const QString& name) {
    const QString dir = qEnvironmentVariable("KV_SCREENSHOT_DIR");
    if (!dir.isEmpty()) {
        window->grab().save(dir + QLatin1Char('/') + name + QStringLiteral(".png"));
    }
}

/// Starts the whole application (settings in a temporary INI file, its own instance key)
/// with scripted message boxes and file dialogs.
class ShellFixture : public ::testing::Test {
protected:
    void SetUp() override {
        // A private, empty virtual bus: processors that other tests serve are not found.
        qputenv("KV_HID_BUS", m_dir.filePath(QStringLiteral("bus")).toUtf8());
        auto boxes = std::make_unique<ScriptedBoxes>();
        auto chooser = std::make_unique<ScriptedChooser>();
        m_boxes = boxes.get();
        m_chooser = chooser.get();
        SetMessageBoxes(std::move(boxes));
        SetFileChooser(std::move(chooser));
        m_options.settingsPath = m_dir.filePath(QStringLiteral("settings.ini"));
        // With no stored language the system's decides: the tests start in Chinese.
        QLocale::setDefault(QLocale(QLocale::Chinese, QLocale::China));
        m_options.instanceKey =
            QStringLiteral("kvtest-") + QUuid::createUuid().toString(QUuid::Id128);
    }

    void TearDown() override {
        m_app.reset();
        QLocale::setDefault(QLocale::system());
        SetMessageBoxes(nullptr);
        SetFileChooser(nullptr);
    }

    /// Starts the application; call after adjusting m_options.
    void Start() {
        m_app = std::make_unique<CMX2240v13App>();
        int exitCode = -1;
        ASSERT_TRUE(m_app->InitInstance(m_options, exitCode));
        m_frame = m_app->MainFrame();
        ASSERT_NE(m_frame, nullptr);
    }

    QTemporaryDir m_dir;
    CMX2240v13App::Options m_options;
    std::unique_ptr<CMX2240v13App> m_app;
    CMainFrame* m_frame = nullptr;
    ScriptedBoxes* m_boxes = nullptr;
    ScriptedChooser* m_chooser = nullptr;
};

} // namespace kv::test
