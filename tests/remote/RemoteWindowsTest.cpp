#include "shell/SimFixture.h"

#include "remote/CRemoteDlg.h"
#include "remote/CRemotePicture.h"
#include "remote/CRemoteStudyDlg.h"
#include "remote/RemoteFile.h"
#include "remote/RemoteKeys.h"
#include "shell/CommandIds.h"
#include "shell/Language.h"
#include "shell/ToolWindows.h"

#include <QFileInfo>
#include <QLabel>
#include <QPushButton>
#include <QTimer>

namespace kv::test {
namespace {

constexpr int kMuteHotSpot = 1608; // key 10

class RemoteWindowsTest : public SimFixture {
protected:
    void SetUp() override {
        SimFixture::SetUp();
        RegisterRemoteWindows();
    }
    void TearDown() override {
        SimFixture::TearDown();
        RegisterToolWindow(ToolWindow::RemoteLearning, nullptr);
    }

    CRemoteDlg* Open() {
        m_frame->OnCommand(cmd::kRemoteControl);
        return qobject_cast<CRemoteDlg*>(GetAppState().OpenWindow(ToolWindow::RemoteLearning));
    }

    /// What the learning window showed while it was open.
    struct Seen {
        QString caption;
        QString code;
        QString status;
        bool closeShown = false;
    };

    /// Clicks a hot spot and watches the modal learning window until it ends; act runs once
    /// the window is up.
    Seen Learn(CRemoteDlg* dialog, int hotSpot, std::function<void(CRemoteStudyDlg*)> act) {
        Seen seen;
        QTimer watch;
        bool acted = false;
        QObject::connect(&watch, &QTimer::timeout, [&] {
            auto* study =
                qobject_cast<CRemoteStudyDlg*>(GetAppState().OpenWindow(ToolWindow::RemoteStudy));
            if (!study || !study->isVisible()) {
                return;
            }
            if (!acted) {
                acted = true;
                seen.caption = qobject_cast<QLabel*>(FindControl(study, 1167))->text();
                act(study);
            }
            if (!study->CodeText().isEmpty()) {
                seen.code = study->CodeText();
                seen.status = study->StatusText();
                seen.closeShown = FindControl(study, 1)->isVisible();
            }
        });
        watch.start(10);
        CRemotePicture* picture = dialog->Picture();
        QTest::mouseClick(picture, Qt::LeftButton, {}, picture->HotSpotRect(hotSpot).center());
        return seen;
    }

    QString InfoText() const {
        auto* info = GetAppState().OpenWindow(ToolWindow::Info);
        auto* label = info ? info->findChild<QLabel*>(QStringLiteral("infoText")) : nullptr;
        return label ? label->text() : QString();
    }
};

TEST_F(RemoteWindowsTest, LearnedKeyArrivesInTheTableAndTheWindowClosesItself) {
    sim::SimOptions options;
    options.learnAnswer = sim::LearnAnswer::Manual;
    StartConnected(options);
    CRemoteDlg* dialog = Open();
    ASSERT_NE(dialog, nullptr);
    Mark();
    // The learning request is written by the processor's queue: the key is pressed once the
    // processor has it.
    const Seen seen = Learn(dialog, kMuteHotSpot, [](CRemoteStudyDlg*) {
        EXPECT_TRUE(
            QTest::qWaitFor([] { return device::RunningSimulator()->PressKeyCode(0x3A); }, 3000));
    });
    const auto learnRequests = SinceMark(96);
    ASSERT_EQ(learnRequests.size(), 1u);
    EXPECT_EQ(learnRequests[0][2], 10);
    EXPECT_EQ(seen.caption, QStringLiteral("您正在学习的键：静音键"));
    EXPECT_EQ(seen.code, QStringLiteral("3A"));
    EXPECT_EQ(seen.status, QStringLiteral("窗口将自动关闭"));
    EXPECT_TRUE(seen.closeShown);
    EXPECT_EQ(GetParamImage().HubByte(10), 0x3A);
    EXPECT_EQ(GetParamImage().HubByte(0), 1);
    EXPECT_EQ(GetAppState().OpenWindow(ToolWindow::RemoteStudy), nullptr);
    EXPECT_TRUE(SinceMark(97).empty());
}

TEST_F(RemoteWindowsTest, CancelStopsALearningTheProcessorNeverAnswers) {
    sim::SimOptions options;
    options.learnAnswer = sim::LearnAnswer::Silent;
    StartConnected(options);
    SetLanguageIndex(kEnglish);
    CRemoteDlg* dialog = Open();
    Mark();
    const Seen seen =
        Learn(dialog, 1600, [](CRemoteStudyDlg* study) { QTest::keyClick(study, Qt::Key_Escape); });
    SetLanguageIndex(kChinese);
    EXPECT_EQ(seen.caption, QStringLiteral("Learning key: Pitch-"));
    EXPECT_TRUE(seen.code.isEmpty());
    ASSERT_EQ(WaitCommands(97, 1).size(), 1u);
    EXPECT_EQ(SinceMark(96)[0][2], 2);
    EXPECT_EQ(GetParamImage().HubByte(2), 0);
}

TEST_F(RemoteWindowsTest, RefusedLearningShowsTheReportedCodeAndKeepsTheOldOne) {
    sim::SimOptions options;
    options.learnAnswer = sim::LearnAnswer::Refuse;
    options.learnDelay = std::chrono::milliseconds(50);
    StartConnected(options);
    CRemoteDlg* dialog = Open();
    const Seen seen = Learn(dialog, 1615, [](CRemoteStudyDlg*) {});
    EXPECT_EQ(seen.code, QStringLiteral("00"));
    EXPECT_EQ(GetParamImage().HubByte(0), 0) << "status: nothing learned";
}

TEST_F(RemoteWindowsTest, SavedFileLoadsBackAndIsSentWhole) {
    StartConnected();
    CRemoteDlg* dialog = Open();
    RemoteKeyTable table{};
    for (std::size_t i = 0; i < table.size(); ++i) {
        table[i] = static_cast<std::uint8_t>(0x20 + 3 * i);
    }
    SetImageRemoteKeyTable(GetParamImage(), table);

    // A name typed with another extension is saved as .remo.
    const QString typed = m_dir.filePath(QStringLiteral("keys.txt"));
    const QString saved = m_dir.filePath(QStringLiteral("keys.remo"));
    m_chooser->answers.push_back(typed);
    QTest::mouseClick(qobject_cast<QPushButton*>(FindControl(dialog, 4)), Qt::LeftButton);
    EXPECT_EQ(QFileInfo(saved).size(), 18);
    EXPECT_FALSE(QFileInfo::exists(typed));
    EXPECT_EQ(InfoText(), QStringLiteral("保存遥控文件成功"));

    SetImageRemoteKeyTable(GetParamImage(), RemoteKeyTable{});
    Mark();
    m_chooser->answers.push_back(saved);
    QTest::mouseClick(qobject_cast<QPushButton*>(FindControl(dialog, 3)), Qt::LeftButton);
    EXPECT_EQ(ImageRemoteKeyTable(GetParamImage()), table);
    const auto stores = WaitCommands(99, 1);
    ASSERT_EQ(stores.size(), 1u);
    EXPECT_TRUE(std::equal(table.begin(), table.end(), stores[0].begin() + 2));
    EXPECT_EQ(InfoText(), QStringLiteral("载入遥控文件成功"));
    EXPECT_TRUE(device::RunningSimulator()->Inspect(
        [&](const sim::SimProcessor& p) { return p.LearnTable() == table; }));
}

TEST_F(RemoteWindowsTest, DamagedFileIsRefusedWithItsMessageAndChangesNothing) {
    StartConnected();
    CRemoteDlg* dialog = Open();
    const RemoteKeyTable before = ImageRemoteKeyTable(GetParamImage());
    const QString path = m_dir.filePath(QStringLiteral("short.remo"));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(QByteArray(11, '\x7F'));
    file.close();
    Mark();
    m_chooser->answers.push_back(path);
    dialog->LoadFile();
    ASSERT_EQ(m_boxes->shown.size(), 1u);
    EXPECT_TRUE(m_boxes->shown[0].text.contains(path));
    EXPECT_TRUE(m_boxes->shown[0].text.contains(QStringLiteral("18个字节，这个文件只有11个字节")));
    EXPECT_EQ(m_boxes->shown[0].icon, BoxIcon::Warning);
    EXPECT_EQ(InfoText(), QStringLiteral("载入遥控文件失败"));
    EXPECT_EQ(ImageRemoteKeyTable(GetParamImage()), before);
    QTest::qWait(100);
    EXPECT_TRUE(SinceMark(99).empty());
}

TEST_F(RemoteWindowsTest, ApplySendsTheTableAndSaveCancelledDoesNothing) {
    StartConnected();
    CRemoteDlg* dialog = Open();
    Mark();
    QTest::keyClick(dialog, Qt::Key_Return); // the default button, Apply
    EXPECT_EQ(WaitCommands(99, 1).size(), 1u);
    EXPECT_EQ(InfoText(), QStringLiteral("遥控器键码保存成功!"));
    EXPECT_TRUE(dialog->isVisible()) << "Apply keeps the window open";

    dialog->SaveFile(); // the chooser answers with a cancel
    EXPECT_TRUE(m_boxes->shown.empty());
    EXPECT_EQ(QDir(m_dir.path()).entryList({QStringLiteral("*.remo")}).size(), 0);
}

TEST_F(RemoteWindowsTest, LoadAndSaveNeedAConnectedProcessor) {
    Start();
    RegisterRemoteWindows();
    auto* dialog = new CRemoteDlg(m_frame);
    dialog->LoadFile();
    EXPECT_EQ(InfoText(), QStringLiteral("请先连接机器再进行此操作!"));
    dialog->SaveFile();
    EXPECT_TRUE(m_chooser->proposedNames.empty()) << "no file dialog was shown";
    delete dialog;
}

TEST_F(RemoteWindowsTest, EveryTextIsThereInBothLanguages) {
    StartConnected();
    RemoteKeyTable table{};
    table[10] = 0x3A;
    table[1] = 0x12;
    SetImageRemoteKeyTable(GetParamImage(), table);
    for (int language : {kChinese, kEnglish}) {
        SetLanguageIndex(language);
        LoadCurrentLanguageTable();
        CRemoteDlg* dialog = Open();
        ASSERT_NE(dialog, nullptr);
        dialog->ApplyLanguage();
        CRemoteStudyDlg study(RemoteKeyText(RemoteKeys()[9], language), dialog);
        study.show();
        study.ShowLearnedCode(0x3A);
        for (QWidget* w : {static_cast<QWidget*>(dialog), static_cast<QWidget*>(&study)}) {
            EXPECT_FALSE(w->windowTitle().isEmpty());
            for (auto* button : w->findChildren<QPushButton*>()) {
                EXPECT_FALSE(button->text().isEmpty()) << ControlId(button);
            }
        }
        EXPECT_EQ(study.windowTitle(),
                  language == kChinese ? QStringLiteral("学习中……") : QStringLiteral("Learning"));
        const QString suffix = language == kChinese ? QStringLiteral("zh") : QStringLiteral("en");
        SaveScreenshot(dialog, QStringLiteral("remote-learning-") + suffix);
        SaveScreenshot(&study, QStringLiteral("remote-study-") + suffix);
        // The picture shows the learned codes on their keys.
        const QImage picture = dialog->Picture()->grab().toImage();
        EXPECT_FALSE(picture.isNull());
    }
    SetLanguageIndex(kChinese);
    LoadCurrentLanguageTable();
}

} // namespace
} // namespace kv::test
