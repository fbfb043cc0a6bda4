#include "SimFixture.h"

#include "link/LinkReceiver.h"
#include "shell/ToolWindows.h"

#include <QApplication>
#include <QThread>

#include <thread>
#include <vector>

namespace kv::test {
namespace {

/// A tool window that records the notices the view hands it, and whether every one came on
/// the user-interface thread.
class RecordingWindow : public QWidget, public ILinkNoticeSink {
public:
    explicit RecordingWindow(QWidget* parent) : QWidget(parent, Qt::Tool) {}

    void OnLinkNotice(const LinkNotice& notice) override {
        received.push_back(notice);
        onUiThread = onUiThread && QThread::currentThread() == qApp->thread();
    }

    std::vector<LinkNotice> received;
    bool onUiThread = true;
};

constexpr ToolWindow kRecorded[] = {ToolWindow::RemoteStudy, ToolWindow::SmartPlug};

class ViewNoticeTest : public SimFixture {
protected:
    void SetUp() override {
        SimFixture::SetUp();
        for (ToolWindow which : kRecorded) {
            RegisterToolWindow(
                which, [](QWidget* parent) -> QWidget* { return new RecordingWindow(parent); });
        }
    }
    void TearDown() override {
        SimFixture::TearDown();
        for (ToolWindow which : kRecorded) {
            RegisterToolWindow(which, nullptr);
        }
    }

    RecordingWindow* Open(ToolWindow which) {
        return dynamic_cast<RecordingWindow*>(OpenToolWindow(which, m_frame));
    }

    /// Posts as the reader and the worker threads do: from a thread of their own.
    void PostFromWorker(const LinkNotice& notice) {
        std::thread([this, &notice] { m_frame->View()->PostNotice(notice); }).join();
    }
};

TEST_F(ViewNoticeTest, EachNoticeReachesItsToolWindowLaterOnTheUiThread) {
    StartConnected();
    RecordingWindow* study = Open(ToolWindow::RemoteStudy);
    RecordingWindow* plug = Open(ToolWindow::SmartPlug);
    ASSERT_NE(study, nullptr);
    ASSERT_NE(plug, nullptr);
    struct Case {
        const char* name;
        LinkNotice notice;
        RecordingWindow* to;
        RecordingWindow* notTo;
    };
    const Case cases[] = {
        {"learning status", notice::LearnStatus{0x3A}, study, plug},
        {"Z-Wave event", notice::ZwaveEvent{74, 7, 5}, plug, study},
        {"scene started", notice::ZwaveSync{notice::ZwaveProgress::SceneStarted}, plug, study},
        {"hub tables read", notice::ZwaveSync{notice::ZwaveProgress::HubTablesRead}, plug, study},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        study->received.clear();
        plug->received.clear();
        PostFromWorker(c.notice);
        EXPECT_TRUE(c.to->received.empty()) << "the poster does not wait for the window";
        ASSERT_TRUE(QTest::qWaitFor([&] { return !c.to->received.empty(); }, 2000));
        EXPECT_EQ(c.to->received, std::vector<LinkNotice>{c.notice});
        EXPECT_TRUE(c.notTo->received.empty());
    }
    EXPECT_TRUE(study->onUiThread);
    EXPECT_TRUE(plug->onUiThread);
}

TEST_F(ViewNoticeTest, ASynchronisationEndIsReportedAsItsNoticeSays) {
    StartConnected();
    using notice::SyncEnd;
    using notice::SyncKind;
    struct Case {
        const char* name;
        notice::SyncFinished finished;
        const char* box; ///< nullptr: accepted, no box
    };
    const Case cases[] = {
        {"read-all answered", {SyncKind::ReadAll, SyncEnd::Answered, 0}, nullptr},
        {"write-all answered", {SyncKind::WriteAll, SyncEnd::Answered, 0}, nullptr},
        {"read-all without answer",
         {SyncKind::ReadAll, SyncEnd::NoAnswer, 1},
         "设备无应答! 是否重新读取?"},
        {"read-all incomplete",
         {SyncKind::ReadAll, SyncEnd::Incomplete, 3},
         "读取不完整: 3 次读取无应答，未读到的参数保持原值。是否重新读取?"},
        {"write-all incomplete",
         {SyncKind::WriteAll, SyncEnd::Incomplete, 5},
         "5 条指令设备无应答，设备中的参数可能不完整!"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        m_boxes->shown.clear();
        const int accepted = m_frame->View()->AcceptedSyncs();
        PostFromWorker(c.finished);
        ASSERT_TRUE(QTest::qWaitFor(
            [&] { return !m_boxes->shown.empty() || m_frame->View()->AcceptedSyncs() > accepted; },
            2000));
        if (c.box == nullptr) {
            EXPECT_EQ(m_frame->View()->AcceptedSyncs(), accepted + 1);
            EXPECT_TRUE(m_boxes->shown.empty());
            continue;
        }
        ASSERT_EQ(m_boxes->shown.size(), 1u);
        EXPECT_EQ(m_boxes->shown[0].text.toStdString(), c.box);
        EXPECT_EQ(m_frame->View()->AcceptedSyncs(), accepted) << "not counted as accepted";
    }
}

} // namespace
} // namespace kv::test
