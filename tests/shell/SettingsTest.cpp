#include "shell/AppSettings.h"

#include <QSettings>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace kv {
namespace {

class SettingsTest : public ::testing::Test {
protected:
    QString Path() const { return m_dir.filePath(QStringLiteral("settings.ini")); }
    QTemporaryDir m_dir;
};

TEST_F(SettingsTest, DefaultsWhenNothingIsStoredAndNothingWrittenByReading) {
    {
        AppSettings settings(Path());
        EXPECT_EQ(settings.Language(), 0);
        EXPECT_EQ(settings.QtOption(), kDefaultOptionRecord);
        EXPECT_EQ(settings.ApplicationLook(), 215);
        EXPECT_TRUE(settings.RecentFiles().isEmpty());
    }
    QSettings raw(Path(), QSettings::IniFormat);
    EXPECT_FALSE(raw.contains(QStringLiteral("Workspace/QtOption")));
}

TEST_F(SettingsTest, QtOptionTakesTheFirstEightBytesAndZeroFillsShorterValues) {
    struct Case {
        QByteArray stored;
        OptionRecord expected;
    };
    const Case cases[] = {
        {QByteArray("\x00\x01\x00\x00\x00\x00\x00\x00\x07\x07", 10), {0, 1, 0, 0, 0, 0, 0, 0}},
        {QByteArray("\x01\x00", 2), {1, 0, 0, 0, 0, 0, 0, 0}},
        {QByteArray(), {0, 0, 0, 0, 0, 0, 0, 0}},
    };
    for (const Case& c : cases) {
        {
            QSettings raw(Path(), QSettings::IniFormat);
            raw.setValue(QStringLiteral("Workspace/QtOption"), c.stored);
        }
        AppSettings settings(Path());
        EXPECT_EQ(settings.QtOption(), c.expected) << c.stored.toHex().constData();
    }
}

TEST_F(SettingsTest, ValuesSurviveARestart) {
    {
        AppSettings settings(Path());
        settings.SetLanguage(1);
        settings.SetQtOption({0, 1, 1, 0, 0, 0, 0, 0});
    }
    AppSettings settings(Path());
    EXPECT_EQ(settings.Language(), 1);
    EXPECT_EQ(settings.QtOption(), (OptionRecord{0, 1, 1, 0, 0, 0, 0, 0}));
}

TEST_F(SettingsTest, RecentFilesKeepTenMostRecentFirstWithoutDuplicates) {
    AppSettings settings(Path());
    for (int i = 0; i < 12; ++i) {
        settings.AddRecentFile(m_dir.filePath(QStringLiteral("f%1.amod").arg(i)));
    }
    settings.AddRecentFile(m_dir.filePath(QStringLiteral("f5.amod")));
    const QStringList files = settings.RecentFiles();
    ASSERT_EQ(files.size(), 10);
    EXPECT_TRUE(files[0].endsWith(QStringLiteral("f5.amod")));
    EXPECT_TRUE(files[1].endsWith(QStringLiteral("f11.amod")));
    EXPECT_EQ(files.filter(QStringLiteral("f5.amod")).size(), 1);
    EXPECT_TRUE(files.filter(QStringLiteral("f0.amod")).isEmpty());
    settings.RemoveRecentFile(m_dir.filePath(QStringLiteral("f11.amod")));
    EXPECT_EQ(settings.RecentFiles().size(), 9);
    EXPECT_TRUE(settings.RecentFiles()[1].endsWith(QStringLiteral("f10.amod")));
}

} // namespace
} // namespace kv
