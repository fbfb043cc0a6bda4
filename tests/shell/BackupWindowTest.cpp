// Backup and restore from the application menu, against the simulated processor.
#include "SimFixture.h"

#include "backup/BackupArchive.h"
#include "shell/CBackupDlg.h"
#include "shell/CRibbon.h"
#include "shell/CommandIds.h"
#include "smarthome/KeyFile.h"

#include <QAction>
#include <QMenu>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>

#include <set>

namespace kv::test {
namespace {

class BackupWindowTest : public SimFixture {
protected:
    void SetUp() override {
        SimFixture::SetUp();
        ASSERT_TRUE(m_keys.isValid());
        SetKeyDirectory(m_keys.path());
    }
    void TearDown() override {
        SimFixture::TearDown();
        SetKeyDirectory(QString());
    }

    /// Chooses the file and picks the menu entry, as the user does; returns the window.
    CBackupDlg* OpenFromMenu(int id, const QString& path) {
        m_chooser->answers = {path};
        QMenu* menu = m_frame->Ribbon()->ApplicationMenu();
        emit menu->aboutToShow();
        for (QAction* a : menu->actions()) {
            if (a->data().toInt() == id) {
                EXPECT_TRUE(a->isEnabled());
                a->trigger();
            }
        }
        return m_frame->findChild<CBackupDlg*>();
    }

    /// Waits for the window's step to end and returns the progress values the bar showed
    /// while the work ran: the window kept drawing them meanwhile.
    static std::set<int> WaitStep(CBackupDlg* window) {
        std::set<int> seen;
        QTimer sampler;
        QObject::connect(&sampler, &QTimer::timeout, [&] {
            if (window->Running()) {
                seen.insert(window->Progress());
            }
        });
        sampler.start(1);
        QSignalSpy ended(window, &CBackupDlg::stepEnded);
        EXPECT_TRUE(QTest::qWaitFor([&] { return ended.count() > 0; }, 30000));
        return seen;
    }

    static bool SawProgressBetween(const std::set<int>& seen, int maximum) {
        return std::any_of(seen.begin(), seen.end(), [&](int v) { return v > 0 && v < maximum; });
    }

    QTemporaryDir m_keys;
};

TEST_F(BackupWindowTest, BackupAndRestoreFromTheApplicationMenu) {
    StartConnected();
    m_frame->OnCommand(cmd::kLanguage); // English
    const QString keyFile = m_keys.filePath(QStringLiteral("5.xml"));
    const QByteArray keyBytes = EncodeKeyFile(DefaultKeys());
    {
        QFile f(keyFile);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(keyBytes);
    }
    const QString path = m_dir.filePath(QStringLiteral("home.kvbackup"));

    CBackupDlg* window = OpenFromMenu(cmd::kBackup, path);
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(window->isVisible());
    std::set<int> seen = WaitStep(window);
    ASSERT_TRUE(window->Succeeded()) << window->ReportText().toStdString();
    EXPECT_TRUE(SawProgressBetween(seen, window->ProgressMaximum()));
    EXPECT_EQ(window->Progress(), window->ProgressMaximum());
    EXPECT_TRUE(window->ReportText().contains(QStringLiteral("plug-keys/5.xml")));
    SaveScreenshot(window, QStringLiteral("backup-en"));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    const auto contents = backup::DecodeArchive(
        std::span(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()));
    ASSERT_TRUE(contents.ok()) << contents.message;
    EXPECT_TRUE(contents.damaged.empty());
    EXPECT_EQ(contents.parts.size(), 5u);
    ASSERT_NE(contents.Find("plug-keys/5.xml"), nullptr);
    QTest::mouseClick(window->findChild<QPushButton*>(QStringLiteral("closeButton")),
                      Qt::LeftButton);
    EXPECT_TRUE(QTest::qWaitFor([&] { return m_frame->findChild<CBackupDlg*>() == nullptr; }));

    // The key file is lost; the restore shows that only it differs, and writes it back.
    ASSERT_TRUE(QFile::remove(keyFile));
    window = OpenFromMenu(cmd::kRestore, path);
    ASSERT_NE(window, nullptr);
    WaitStep(window);
    ASSERT_TRUE(window->Succeeded()) << window->ReportText().toStdString();
    const QString plan = window->ReportText();
    EXPECT_TRUE(plan.contains(QStringLiteral("plug-keys/5.xml (%1 bytes): differs")
                                  .arg(keyBytes.size())))
        << plan.toStdString();
    EXPECT_TRUE(plan.contains(QStringLiteral("zwave-memory.bin (6860 bytes): same")))
        << plan.toStdString();
    EXPECT_FALSE(QFile::exists(keyFile));
    auto* restore = window->findChild<QPushButton*>(QStringLiteral("restoreButton"));
    ASSERT_TRUE(restore->isEnabled());
    SaveScreenshot(window, QStringLiteral("restore-plan-en"));
    QTest::mouseClick(restore, Qt::LeftButton);
    WaitStep(window);
    ASSERT_TRUE(window->Succeeded()) << window->ReportText().toStdString();
    EXPECT_TRUE(window->ReportText().contains(QStringLiteral("plug-keys/5.xml: restored and read back")))
        << window->ReportText().toStdString();
    QFile restored(keyFile);
    ASSERT_TRUE(restored.open(QIODevice::ReadOnly));
    EXPECT_EQ(restored.readAll(), keyBytes);
}

TEST_F(BackupWindowTest, AFileThatIsNoBackupIsRefusedWithItsReason) {
    StartConnected();
    const QString path = m_dir.filePath(QStringLiteral("notes.kvbackup"));
    {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(QByteArray(4096, 'x'));
    }
    CBackupDlg* window = OpenFromMenu(cmd::kRestore, path);
    ASSERT_NE(window, nullptr);
    EXPECT_FALSE(window->Succeeded());
    EXPECT_FALSE(window->Running());
    EXPECT_TRUE(window->StatusText().contains(QStringLiteral("not a backup file")))
        << window->StatusText().toStdString();
    EXPECT_FALSE(window->findChild<QPushButton*>(QStringLiteral("restoreButton"))->isEnabled());
    SaveScreenshot(window, QStringLiteral("restore-refused-zh"));
}

} // namespace
} // namespace kv::test
