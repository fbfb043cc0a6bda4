#include "LinkFixture.h"

#include "link/DebugLog.h"
#include "link/platform/HidapiBackend.h"

#include <chrono>
#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace kv::test {
namespace {

using namespace std::chrono_literals;

const std::string kTimeOutLine = "WaitForSingleObject Time Out \r\n ";
const std::string kRefusedLine = "g_bReadThreadEnd == TRUE ,WriteUsbData return \n";

std::vector<std::uint8_t> Sequence(std::size_t n, int first) {
    std::vector<std::uint8_t> v(n);
    for (std::size_t i = 0; i < n; ++i) {
        v[i] = static_cast<std::uint8_t>(first + static_cast<int>(i));
    }
    return v;
}

struct LayoutCase {
    const char* name;
    std::function<int()> send;
    Bytes61 expected;
};

TEST_F(LinkFixture, CommandsAreLaidOutByteForByte) {
    auto device = Connect(true);
    const auto sixty = Sequence(60, 1);
    const auto store = Sequence(60, 0x40);
    const auto raw = Sequence(70, 2);
    Bytes61 sixtyTaken{};
    sixtyTaken[0] = 2;
    std::copy(sixty.begin(), sixty.end(), sixtyTaken.begin() + 1);
    Bytes61 storeCut = MakeReport({2, 0x85, 0x04, 0xE5, 56});
    std::copy_n(store.begin(), 56, storeCut.begin() + 5);
    Bytes61 rawCut{};
    std::copy_n(raw.begin(), 61, rawCut.begin());

    const std::vector<LayoutCase> cases = {
        {"SendUsbCommand(5, 2, -1)",
         [] {
             return SendUsbCommand({5, 2, -1});
         },
         MakeReport({2, 5, 2})},
        {"SendUsbCommand(14, -1)",
         [] {
             return SendUsbCommand({14, -1});
         },
         MakeReport({2, 14})},
        {"values after -1 are ignored",
         [] {
             return SendUsbCommand({9, 1, -1, 7, 7});
         },
         MakeReport({2, 9, 1})},
        {"a list without -1 ends with its last value",
         [] {
             return SendUsbCommand({48, 1});
         },
         MakeReport({2, 48, 1})},
        {"only the low byte of a value is sent",
         [] {
             return SendUsbCommand({300, -1});
         },
         MakeReport({2, 0x2C})},
        {"at most 60 values",
         [] {
             // The 61st value has no room in the report.
             return SendUsbCommand({1,  2,  3,  4,  5,  6,  7,  8,  9,  10, 11, 12, 13, 14, 15, 16,
                                    17, 18, 19, 20, 21, 22, 23, 24, 25, 26, 27, 28, 29, 30, 31, 32,
                                    33, 34, 35, 36, 37, 38, 39, 40, 41, 42, 43, 44, 45, 46, 47, 48,
                                    49, 50, 51, 52, 53, 54, 55, 56, 57, 58, 59, 60, 99, -1});
         },
         sixtyTaken},
        {"WriteStore(0x0102, 3 bytes)",
         [] {
             const std::uint8_t d[] = {0xAA, 0xBB, 0xCC};
             return WriteStore(0x0102, d);
         },
         MakeReport({2, 0x85, 0x01, 0x02, 3, 0xAA, 0xBB, 0xCC})},
        {"WriteStore cuts at 56 bytes", [&] { return WriteStore(1253, store); }, storeCut},
        {"WriteUsbData pads with zeros",
         [] {
             const std::uint8_t d[] = {2, 10, 0};
             return WriteUsbData(d, 3);
         },
         MakeReport({2, 10, 0})},
        {"WriteUsbData takes at most 61 bytes", [&] { return WriteUsbData(raw.data(), 70); },
         rawCut},
        {"WriteUsbDataNoWait writes 61 bytes", [&] { return WriteUsbDataNoWait(raw.data()); },
         rawCut},
    };
    for (const LayoutCase& c : cases) {
        SCOPED_TRACE(c.name);
        const std::size_t before = device->Writes().size();
        EXPECT_EQ(c.send(), 61);
        ASSERT_TRUE(device->WaitIdle(before + 1));
        EXPECT_EQ(device->Writes().back(), c.expected);
    }
    EXPECT_EQ(m_log.Count(kTimeOutLine), 0) << "an answered command never waits";
}

TEST_F(LinkFixture, FirstWriteDoesNotWaitSecondWaitsForTheAnswerAndLogsTheTimeOut) {
    auto device = Connect(false);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(SendUsbCommand({14, -1}), 61);
    EXPECT_EQ(m_log.Count(kTimeOutLine), 0) << "the event is created signalled";
    EXPECT_EQ(SendUsbCommand({14, -1}), 61);
    const auto elapsed = std::chrono::steady_clock::now() - start;
    EXPECT_GE(elapsed, 1900ms);
    EXPECT_EQ(m_log.Count(kTimeOutLine), 1);
    EXPECT_EQ(device->Writes().size(), 2u) << "written anyway after the time-out";
    // Each write is logged as bytes 1..59.
    std::string line = "Write:0E ";
    for (int i = 2; i <= 59; ++i) {
        line += "00 ";
    }
    EXPECT_EQ(m_log.Count(line + "\n"), 2);
}

TEST_F(LinkFixture, EveryReportReleasesExactlyOneWriter) {
    auto device = Connect(false);
    EXPECT_EQ(SendUsbCommand({7, -1}), 61);
    device->Inject(MakeReport({1, 200})); // a type nobody handles is still an answer
    ASSERT_TRUE(device->WaitIdle());
    EXPECT_EQ(SendUsbCommand({7, -1}), 61);
    EXPECT_EQ(m_log.Count(kTimeOutLine), 0);
    // The reader logs each report as bytes 1..60.
    std::string line = "Read:C8 ";
    for (int i = 2; i <= 60; ++i) {
        line += "00 ";
    }
    EXPECT_EQ(m_log.Count(line + "\n"), 1);
}

// The report handler acknowledges each report too (the dispatcher does); the writers must
// still go one per report.
TEST_F(LinkFixture, AReportReleasesOneWriterWhenItsHandlerAcknowledgesToo) {
    SetReportHandler([](const std::uint8_t*) {
        SetAckEvent();
        std::this_thread::sleep_for(100ms); // time for a waiting writer to slip through
    });
    auto device = Connect(false);
    ASSERT_EQ(SendUsbCommand({7, -1}), 61); // takes the initial acknowledgement
    std::thread first([] { SendUsbCommand({8, -1}); });
    std::thread second([] { SendUsbCommand({9, -1}); });
    std::this_thread::sleep_for(100ms); // both writers wait
    device->Inject(MakeReport({1, 200}));
    ASSERT_TRUE(device->WaitIdle());
    std::this_thread::sleep_for(100ms);
    EXPECT_EQ(device->Writes().size(), 2u) << "one report, one more write";
    device->Inject(MakeReport({1, 200}));
    first.join();
    second.join();
    EXPECT_EQ(device->Writes().size(), 3u);
    EXPECT_EQ(m_log.Count(kTimeOutLine), 0);
}

TEST_F(LinkFixture, ReadFailureReleasesTheWaitingWriterAndRefusesLaterWrites) {
    auto device = Connect(false);
    ASSERT_EQ(SendUsbCommand({14, -1}), 61); // takes the initial acknowledgement
    int waited = -1;
    std::thread writer([&] { waited = SendUsbCommand({14, -1}); });
    std::this_thread::sleep_for(100ms); // let the writer reach its wait
    device->Fail();
    writer.join();

    EXPECT_EQ(waited, 0);
    EXPECT_EQ(m_log.Count(kTimeOutLine), 0) << "released by the reader, not by the time-out";
    EXPECT_EQ(m_log.Count("Read Usb Error will return !\n"), 1);
    EXPECT_TRUE(Eventually([&] { return m_log.Count("End thread: ReadUsbThreadProc \n") == 1; }));
    EXPECT_EQ(g_bReadThreadEnd.load(), 1);
    EXPECT_EQ(g_bStatusPoll.load(), 0);
    EXPECT_EQ(g_bDeviceConnected.load(), 1) << "failed, not closed, until the removal";

    const int refusedBefore = m_log.Count(kRefusedLine);
    const std::uint8_t report[61] = {2, 14};
    EXPECT_EQ(WriteUsbData(report, 61), 0);
    EXPECT_EQ(WriteUsbDataNoWait(report), 0);
    EXPECT_EQ(m_log.Count(kRefusedLine), refusedBefore + 2);
    EXPECT_EQ(device->Writes().size(), 1u);
    EXPECT_FALSE(ConnectUsbDevice(&m_receiver)) << "only a closed link connects again";

    CloseUsbDevice();
    EXPECT_EQ(g_bDeviceConnected.load(), 0);
    EXPECT_TRUE(ConnectUsbDevice(&m_receiver));
    EXPECT_EQ(g_bReadThreadEnd.load(), 0);
}

TEST_F(LinkFixture, EnumerationSkipsOtherDevicesAndTakesTheProcessor) {
    m_backend->Add({"fake:other", 0x0483, 0x5750});
    m_backend->Add(
        {"fake:mute", kDefaultProcessorId.vendorId, kDefaultProcessorId.productId, false, true});
    m_backend->Add(
        {"fake:busy", kDefaultProcessorId.vendorId, kDefaultProcessorId.productId, true, false});
    m_backend->Add({kProcessorPath, kDefaultProcessorId.vendorId, kDefaultProcessorId.productId});

    ASSERT_TRUE(ConnectUsbDevice(&m_receiver));
    EXPECT_EQ(OpenedDevicePath(), kProcessorPath);
    const auto opened = m_backend->Opened();
    ASSERT_EQ(opened.size(), 3u) << "other, mute and the processor; busy cannot be opened";
    EXPECT_TRUE(opened[0]->Closed()) << "another vendor/product id is closed again";
    EXPECT_TRUE(opened[1]->Closed()) << "a device without attributes is closed again";
    EXPECT_FALSE(opened[2]->Closed());

    EXPECT_EQ(m_log.Count("开始枚举usb设备"), 1);
    EXPECT_EQ(m_log.Count("枚举usb设备成功"), 4);
    EXPECT_EQ(m_log.Count("设备路径:\r\nfake:other"), 1);
    EXPECT_EQ(m_log.Count("尝试打开通信端口...."), 4);
    EXPECT_EQ(m_log.Count("无法打开通信端口。不能读取设备信息!(设备连接可能不正确?)\n"), 1);
    EXPECT_EQ(m_log.Count("打开通信端口成功!\n"), 3);
    EXPECT_EQ(m_log.Count("正在读取设备的标识...\n"), 3);
    EXPECT_EQ(m_log.Count("查询设备信息出错!\n"), 1);
    EXPECT_EQ(m_log.Count("连接目标设备成功!"), 1);
    EXPECT_TRUE(Eventually([&] { return m_log.Count("start thread: ReadUsbThreadProc \n") == 1; }));
    EXPECT_TRUE(GetParamImage().Connected());
    EXPECT_FALSE(ConnectUsbDevice(&m_receiver)) << "already connected";
}

TEST_F(LinkFixture, UsbIdOverrideChoosesAnotherPair) {
    m_backend->Add({kProcessorPath, kDefaultProcessorId.vendorId, kDefaultProcessorId.productId});
    m_backend->Add({"fake:other", 0x0483, 0x5750});
    setenv("KV_USB_ID", "0483:5750", 1);
    ASSERT_TRUE(ConnectUsbDevice(&m_receiver));
    EXPECT_EQ(OpenedDevicePath(), "fake:other");
}

TEST_F(LinkFixture, EnumerationGivesUpAfterTheLastMemberOrThirtyTwo) {
    m_backend->Add({"fake:other", 0x0483, 0x5750});
    EXPECT_FALSE(ConnectUsbDevice(&m_receiver));
    EXPECT_EQ(m_log.Count("枚举usb设备出错,usb设备接口可能枚举完成了"), 1);
    EXPECT_EQ(m_log.Count("连接目标设备失败，没有找到目标设备"), 1);
    EXPECT_EQ(g_bDeviceConnected.load(), 0);

    // The processor as the 33rd interface is never looked at.
    m_log.Clear();
    for (int i = 1; i < kMaxEnumeratedInterfaces; ++i) {
        m_backend->Add({"fake:other" + std::to_string(i), 0x0483, 0x5750});
    }
    m_backend->Add({kProcessorPath, kDefaultProcessorId.vendorId, kDefaultProcessorId.productId});
    EXPECT_FALSE(ConnectUsbDevice(&m_receiver));
    EXPECT_EQ(m_log.Count("枚举usb设备成功"), kMaxEnumeratedInterfaces);
    EXPECT_EQ(m_log.Count("枚举usb设备出错,usb设备接口可能枚举完成了"), 0);
    EXPECT_EQ(m_log.Count("连接目标设备失败，没有找到目标设备"), 1);
}

TEST_F(LinkFixture, CloseWaitsForTheReaderThenClosesTheDevice) {
    auto device = Connect(false);
    const std::uint8_t status[16] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};
    g_statusRecord.Set(status);
    ASSERT_TRUE(device->WaitIdle());
    CloseUsbDevice(); // the reader is blocked in a read: 1000 ms, then the close ends it
    EXPECT_EQ(m_log.Count("wait read thread exited time out !\n"), 1);
    EXPECT_TRUE(device->Closed());
    EXPECT_EQ(g_bDeviceConnected.load(), 0);
    EXPECT_FALSE(GetParamImage().Connected());
    EXPECT_EQ(OpenedDevicePath(), "");
    EXPECT_EQ(g_statusRecord.Get(), (std::array<std::uint8_t, 16>{}));
    m_log.Clear();
    EXPECT_EQ(SendUsbCommand({14, -1}), 0);
    EXPECT_EQ(m_log.Text(), "") << "a command without a processor is dropped silently";
    CloseUsbDevice(); // closing twice is harmless
}

TEST_F(LinkFixture, NoticesReachTheReceiverOnceRegistered) {
    m_backend->Announce(hid::HidNotice::Arrival, "fake:early");
    EXPECT_TRUE(m_receiver.Notices().empty());
    ASSERT_TRUE(RegisterUsbNotification());
    m_backend->Announce(hid::HidNotice::Arrival, "fake:x");
    m_backend->Announce(hid::HidNotice::Removal, "fake:x");
    const auto notices = m_receiver.Notices();
    ASSERT_EQ(notices.size(), 2u);
    EXPECT_TRUE(notices[0].arrived);
    EXPECT_FALSE(notices[1].arrived);
    EXPECT_EQ(notices[1].path, "fake:x");
    UnregisterUsbNotification();
    m_backend->Announce(hid::HidNotice::Removal, "fake:x");
    EXPECT_EQ(m_receiver.Notices().size(), 2u);
}

TEST_F(LinkFixture, RegistrationFailsWithoutAnyBackendThatWatches) {
    hid::SetHidBackends({});
    EXPECT_FALSE(ConnectUsbDevice(&m_receiver));
    EXPECT_EQ(m_log.Count("注册Guid错误，可能不能捕捉设备的连接或移除\n"), 1);
    EXPECT_EQ(m_receiver.ErrorBoxes(),
              std::vector<std::string>{"Error|Can't register device notification: "});
}

TEST(DebugLog, IsSilentUnlessEnabledAndCapturesWhole) {
    if (std::getenv("KV_DEBUG") != nullptr) {
        GTEST_SKIP() << "KV_DEBUG is set in this environment";
    }
    EXPECT_FALSE(DebugEnabled());
    {
        LogCapture log;
        EXPECT_TRUE(DebugEnabled());
        DebugLog("REMOVE ID= %d\n", 7);
        const std::uint8_t bytes[3] = {0x00, 0xAB, 0x05};
        DebugHexLine("Read:", bytes, 1, 2);
        std::string longText(2000, 'x');
        DebugLog("%s", longText.c_str());
        EXPECT_EQ(log.Text(), "REMOVE ID= 7\nRead:AB 05 \n" + longText);
    }
    EXPECT_FALSE(DebugEnabled());
}

} // namespace
} // namespace kv::test

namespace kv::test {
namespace {

TEST(HidapiBackend, ClaimsHidrawPathsAndOpensOnlyWhatIsThere) {
    hid::HidapiBackend backend;
    EXPECT_TRUE(backend.Claims("/dev/hidraw3"));
    EXPECT_FALSE(backend.Claims("sim:processor"));
    EXPECT_FALSE(backend.Claims("/tmp/kv-hid-bus/1209-0001-kvsim.sock"));
    EXPECT_EQ(backend.Open("/dev/hidraw-none"), nullptr);
    std::vector<hid::HidInterface> found;
    EXPECT_TRUE(backend.Enumerate(found));
    for (const auto& i : found) {
        EXPECT_TRUE(backend.Claims(i.path)) << i.path;
    }
}

} // namespace
} // namespace kv::test
