// Device notices whose receiver calls back into the link: from inside the notice on the
// delivering thread, and while another thread stops or replaces what delivers it.
#include "LinkFixture.h"

#include "link/platform/VirtualBus.h"
#include "link/platform/VirtualBusBackend.h"

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <fcntl.h>
#include <functional>
#include <future>
#include <memory>
#include <thread>
#include <unistd.h>

namespace kv::test {
namespace {

using namespace std::chrono_literals;

/// Runs fn on a thread of its own; true when it returned within the time. A call that
/// deadlocked is left behind (the test fails rather than hangs).
bool ReturnsWithin(std::chrono::milliseconds limit, std::function<void()> fn) {
    auto done = std::make_shared<std::promise<void>>();
    auto finished = done->get_future();
    std::thread([done, fn = std::move(fn)] {
        fn();
        done->set_value();
    }).detach();
    return finished.wait_for(limit) == std::future_status::ready;
}

/// Runs an action on the thread that delivers its notice.
class CallingReceiver : public TestReceiver {
public:
    using Action = std::function<void(TestReceiver& self)>;
    explicit CallingReceiver(Action action) : m_action(std::move(action)) {}
    void OnDeviceChange(bool arrived, const std::string& path) override {
        TestReceiver::OnDeviceChange(arrived, path);
        m_action(*this);
    }

private:
    Action m_action;
};

struct InsideNoticeCase {
    const char* name;
    CallingReceiver::Action action;
};

// Each of these waits for notices in delivery to end, or replaces their handler; from
// inside a notice it must not wait for that notice itself.
TEST_F(LinkFixture, AReceiverMayCallBackIntoTheLinkFromInsideItsNotice) {
    const InsideNoticeCase cases[] = {
        {"stops the notices", [](TestReceiver&) { UnregisterUsbNotification(); }},
        {"connects and closes",
         [this](TestReceiver& self) {
             EXPECT_TRUE(ConnectUsbDevice(&self));
             m_backend->Opened().back()->Fail(); // the reader leaves at once
             CloseUsbDevice();
         }},
        {"goes away", [](TestReceiver&) { SetLinkReceiver(nullptr); }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        m_backend->Add(
            {kProcessorPath, kDefaultProcessorId.vendorId, kDefaultProcessorId.productId});
        auto receiver = std::make_unique<CallingReceiver>(c.action);
        SetLinkReceiver(receiver.get());
        ASSERT_TRUE(RegisterUsbNotification());
        const bool returned = ReturnsWithin(
            5s, [this] { m_backend->Announce(hid::HidNotice::Arrival, kProcessorPath); });
        ASSERT_TRUE(returned) << "the notice never ended";
        EXPECT_EQ(receiver->Notices().size(), 1u);
        for (const auto& device : m_backend->Opened()) {
            device->Fail();
        }
        CloseUsbDevice();
        UnregisterUsbNotification();
        SetLinkReceiver(&m_receiver);
    }
}

/// A bus directory of its own, watched by the virtual bus backend alone.
class WatchedBus : public LinkFixture {
protected:
    void SetUp() override {
        LinkFixture::SetUp();
        setenv("KV_HID_BUS", m_dir.Path().c_str(), 1);
        hid::SetHidBackends({std::make_shared<hid::VirtualBusBackend>()});
    }
    void TearDown() override {
        LinkFixture::TearDown();
        unsetenv("KV_HID_BUS");
    }
    /// A file named like a device appearing in the directory is announced as an arrival.
    void AnnounceByFile() {
        const std::string path =
            m_dir.Path() + "/" + vbus::SocketFileName(kDefaultProcessorId, "late");
        const int fd = open(path.c_str(), O_CREAT | O_WRONLY | O_CLOEXEC, 0600);
        ASSERT_GE(fd, 0);
        close(fd);
    }

    TempDir m_dir;
};

// The watcher delivers a notice whose receiver registers again, while this thread stops the
// notices: stopping waits for the notice, and the notice must not wait for the stopping.
TEST_F(WatchedBus, StoppingTheNoticesWaitsForAReceiverThatRegistersAgain) {
    std::promise<void> inNotice;
    std::atomic<bool> stopping{false};
    std::atomic<bool> registered{false};
    CallingReceiver receiver([&](TestReceiver&) {
        inNotice.set_value();
        while (!stopping.load()) {
            std::this_thread::yield();
        }
        // Time for the other thread to get into the stopping before registering again.
        std::this_thread::sleep_for(100ms);
        registered = RegisterUsbNotification();
    });
    SetLinkReceiver(&receiver);
    ASSERT_TRUE(RegisterUsbNotification());
    AnnounceByFile();
    ASSERT_EQ(inNotice.get_future().wait_for(5s), std::future_status::ready);
    stopping = true;
    EXPECT_TRUE(ReturnsWithin(5s, [] { UnregisterUsbNotification(); }));
    EXPECT_TRUE(registered.load());
    EXPECT_EQ(receiver.Notices().size(), 1u);
    SetLinkReceiver(&m_receiver);
}

} // namespace
} // namespace kv::test
