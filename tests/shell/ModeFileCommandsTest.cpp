// The application's open and save commands with files that cannot be used as they are.
#include "SimFixture.h"

#include "image/MainFields.h"
#include "image/ModeFile.h"
#include "image/ParamImage.h"
#include "shell/CommandIds.h"

#include <QDir>
#include <QFile>

#include <sys/stat.h>

namespace kv::test {
namespace {

class ModeFileCommandsTest : public SimFixture {};

// A save whose file cannot be written is refused before the processor stores its mode.
TEST_F(ModeFileCommandsTest, SaveToAnUnwritableTargetStoresNothingInTheProcessor) {
    StartConnected();
    ASSERT_TRUE(QDir(m_dir.path()).mkpath(QStringLiteral("folder.amod")));
    const QString targets[] = {m_dir.filePath(QStringLiteral("no/such/dir/x.amod")),
                               m_dir.filePath(QStringLiteral("folder.amod"))};
    for (const QString& target : targets) {
        SCOPED_TRACE(target.toStdString());
        m_boxes->shown.clear();
        m_chooser->answers = {target};
        Mark();
        m_frame->OnCommand(cmd::kSaveFileOutput);
        ASSERT_EQ(m_boxes->shown.size(), 1u);
        EXPECT_EQ(m_boxes->shown[0].caption, QStringLiteral("Can't write to file"));
        EXPECT_TRUE(m_boxes->shown[0].text.contains(target));
        QTest::qWait(200);
        EXPECT_TRUE(SinceMark(4).empty());
    }
    EXPECT_TRUE(m_frame->Settings().RecentFiles().isEmpty());
}

// A file of a known version that ends early still loads and is sent, and the user is told
// how much was missing and which parts kept their old values.
TEST_F(ModeFileCommandsTest, TruncatedFileLoadsWithANoticeOfWhatWasMissing) {
    StartConnected();
    ParamImage source;
    source.InitDefaults();
    source.SetSlot(fields::echoVolume.slot, 33);
    const QString path = m_dir.filePath(QStringLiteral("cut.amod"));
    ASSERT_TRUE(WriteModeFile(path.toStdString(), source).ok());
    ASSERT_TRUE(QFile::resize(path, 4 + 912 + 84));

    m_boxes->shown.clear();
    m_chooser->answers = {path};
    m_frame->OnCommand(cmd::kLoadFileInput);
    ASSERT_TRUE(WaitSynchronised(2));
    ASSERT_EQ(m_boxes->shown.size(), 1u);
    EXPECT_EQ(m_boxes->shown[0].text,
              QStringLiteral("文件少了1223字节，以下部分保留原值：\n"
                             "system 84..1252, extension, routing, tail"));
    EXPECT_EQ(GetParamImage().Slot(fields::echoVolume.slot), 33); // loaded and kept
}

// Opening a pipe would block the window for good: it is refused like an unreadable file.
TEST_F(ModeFileCommandsTest, OpeningAPipeIsRefusedWithoutLoading) {
    StartConnected();
    const QString path = m_dir.filePath(QStringLiteral("pipe.amod"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
    m_boxes->shown.clear();
    m_chooser->answers = {path};
    Mark();
    m_frame->OnCommand(cmd::kLoadFileInput);
    ASSERT_EQ(m_boxes->shown.size(), 1u);
    EXPECT_EQ(m_boxes->shown[0].caption, QStringLiteral("Can't write to file"));
    QTest::qWait(200);
    EXPECT_TRUE(SinceMark(9).empty()); // no write-all
    EXPECT_TRUE(m_frame->Settings().RecentFiles().isEmpty());
}

} // namespace
} // namespace kv::test
