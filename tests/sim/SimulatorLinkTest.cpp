#include "ImageCases.h"
#include "SimFixture.h"

#include "image/ModeFile.h"
#include "protocol/Synchronize.h"
#include "sim/SimTrace.h"
#include "sim/TraceComment.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <fstream>
#include <sstream>
#include <thread>
#include <vector>

namespace kv::test {
namespace {

using namespace std::chrono_literals;

const std::string kTimeOutLine = "WaitForSingleObject Time Out \r\n ";

std::atomic<int> g_readAllRequests{0};

std::vector<std::string> Lines(const std::string& path) {
    std::ifstream in(path);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) {
        lines.push_back(line);
    }
    return lines;
}

TEST_F(SimFixture, ReadAllReproducesTheStateFile) {
    auto original = std::make_unique<ParamImage>();
    FillVaried(*original);
    const std::string file = m_dir.Path() + "/state.amod";
    ASSERT_TRUE(WriteModeFile(file, *original).ok());
    sim::SimOptions options;
    options.statePath = file;
    StartSimulator(options);
    Connect();

    EXPECT_EQ(SynchronizeReadAll(), ReadAllResult::Done);
    const ParamImage& image = GetParamImage();
    EXPECT_EQ(image.Model(), u"KV5930Q");
    EXPECT_EQ(image.CommVersion(), 18);
    EXPECT_EQ(image.HubByte(541), 99) << "machine settings read";
    ExpectCarried(*original, image);
    EXPECT_EQ(m_log.Count(kTimeOutLine), 0) << "lock-step held throughout";
    EXPECT_EQ(m_sim->CommandsHandled(), 4 + 2 + 59 + 3) << "identification, 7, 149, 126, "
                                                           "59 store reads, 146, 98";
}

TEST_F(SimFixture, AStateFileThatCannotBeReadStopsTheSimulator) {
    sim::SimOptions options;
    options.statePath = m_dir.Path() + "/missing.amod";
    EXPECT_THROW(sim::Simulator{options}, std::runtime_error);
}

TEST_F(SimFixture, TraceHasOneLinePerReportInBothDirections) {
    sim::SimOptions options;
    options.tracePath = m_dir.Path() + "/trace.txt";
    StartSimulator(options);
    Connect();
    SendUsbCommand({128, -1});
    SendUsbCommand({127, -1});
    ASSERT_TRUE(Eventually([] { return GetParamImage().CommVersion() == 18; }));

    std::string zeros;
    for (int i = 0; i < 58; ++i) {
        zeros += " 00";
    }
    // The answer's line may be written just after the answer went out.
    ASSERT_TRUE(Eventually([&] { return Lines(options.tracePath).size() == 4u; }));
    const auto lines = Lines(options.tracePath);
    // The hex part as it always was, then a time stamp and a reading of the report.
    constexpr std::size_t kHex = 2 + 60 * 3 - 1;
    std::vector<std::string> hex;
    std::vector<std::string> comments;
    double previous = 0;
    for (const auto& line : lines) {
        ASSERT_GT(line.size(), kHex + 4) << line;
        hex.push_back(line.substr(0, kHex));
        ASSERT_EQ(line.substr(kHex, 4), "  # ") << line;
        std::istringstream rest(line.substr(kHex + 4));
        double seconds = -1;
        rest >> seconds;
        EXPECT_GE(seconds, previous) << line;
        previous = seconds;
        std::string comment;
        std::getline(rest >> std::ws, comment);
        comments.push_back(comment);
    }
    EXPECT_EQ(hex[0], "> 80 00" + zeros);
    sim::Report model{};
    model[1] = 0x80;
    const std::string text = "KV5930Q";
    std::copy(text.begin(), text.end(), model.begin() + 2);
    EXPECT_EQ(hex[1], sim::SimTrace::Format('<', model));
    EXPECT_EQ(hex[1].substr(0, 29), "< 80 4B 56 35 39 33 30 51 00 ");
    EXPECT_EQ(hex[2], "> 7F 00" + zeros);
    EXPECT_EQ(hex[3], "< 7F 12" + zeros);
    EXPECT_EQ(comments, (std::vector<std::string>{"model?", "model KV5930Q", "comm version?",
                                                  "comm version 18"}));
}

TEST(SimTraceComment, NamesCommandsAndTheirParameters) {
    const auto report = [](std::initializer_list<int> bytes) {
        sim::Report r{};
        std::size_t i = 1;
        for (int b : bytes) {
            r[i++] = static_cast<std::uint8_t>(b);
        }
        return r;
    };
    struct Case {
        char direction;
        sim::Report r;
        const char* comment;
    };
    const Case cases[] = {
        {'>', report({9, 0, 1, 14, 1, 0x3F}), "set (1,14) micVolume"},
        {'>', report({9, 0, 7, 18, 1}), "set (7,18) outDelay[2]"},
        {'>', report({9, 0, 4, 0, 5}), "set (4,0) band or record"},
        {'>', report({48, 0x05, 0x00, 56}), "store read 0x0500 +56"},
        {'>', report({5, 2}), "recall mode M3"},
        {'>', report({138}), "goodbye"},
        {'>', report({77}), "command 77"},
        {'<', report({7, 1}), "current mode M2"},
        {'<', report({14, 1, 2}), "status"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(sim::TraceComment(c.direction, c.r), c.comment);
    }
}

TEST_F(SimFixture, RecallAndChangesAreReportedToTheApplication) {
    StartSimulator();
    g_readAllRequests = 0;
    SetReadAllStarter([] { ++g_readAllRequests; });
    Connect();
    SendUsbCommand({5, 1, -1});
    ASSERT_TRUE(Eventually([] { return g_readAllRequests.load() == 1; }));

    // A parameter that now differs from the stored mode is answered with report 9.
    g_bParamChanged = 0;
    SendUsbCommand({9, 0, 1, 14, 1, 0x3F, 0x00, 0x00, 0x00, -1});
    EXPECT_TRUE(Eventually([] { return g_bParamChanged.load() == 1; }));

    m_sim->SendUnsolicited(6);
    EXPECT_TRUE(Eventually([] { return g_readAllRequests.load() == 2; }));
}

TEST_F(SimFixture, UnplugDuringAWaitReleasesTheWriterAndIsAnnounced) {
    sim::SimOptions options;
    options.dropEvery = 1; // the processor never answers
    StartSimulator(options);
    Connect();
    ASSERT_EQ(SendUsbCommand({14, -1}), 61);
    int waited = -1;
    std::thread writer([&] { waited = SendUsbCommand({14, -1}); });
    std::this_thread::sleep_for(100ms); // let the writer reach its wait
    m_bus->Unplug(m_path);
    writer.join();
    EXPECT_EQ(waited, 0);
    EXPECT_EQ(m_log.Count(kTimeOutLine), 0);
    EXPECT_TRUE(m_receiver.WaitForNotice(false, m_path));
    EXPECT_EQ(g_bReadThreadEnd.load(), 1);
    EXPECT_EQ(SendUsbCommand({14, -1}), 0);
}

TEST_F(SimFixture, FaultInjectionDropsAnswersAndDisconnects) {
    sim::SimOptions options;
    options.dropEvery = 2;
    options.disconnectAfter = 4;
    StartSimulator(options);
    Connect();
    EXPECT_EQ(SendUsbCommand({128, -1}), 61);
    EXPECT_EQ(SendUsbCommand({127, -1}), 61); // its answer is dropped
    EXPECT_EQ(m_log.Count(kTimeOutLine), 0);
    EXPECT_EQ(SendUsbCommand({129, -1}), 61); // waits the full 2000 ms
    EXPECT_EQ(m_log.Count(kTimeOutLine), 1);
    EXPECT_EQ(SendUsbCommand({126, -1}), 61); // the fourth: then the device goes
    EXPECT_TRUE(m_receiver.WaitForNotice(false, m_path));
    EXPECT_TRUE(Eventually([] { return g_bReadThreadEnd.load() == 1; }));
    EXPECT_EQ(GetParamImage().Model(), u"KV5930Q");
}

TEST_F(SimFixture, LearningKeyPressArrivesAfterTheDelay) {
    sim::SimOptions options;
    options.learnDelay = 20ms;
    StartSimulator(options);
    Connect();
    SendUsbCommand({96, 10, -1});
    const notice::LearnStatus learned{sim::SimProcessor::LearnedCode(10)};
    ASSERT_TRUE(Eventually([&] {
        const auto posted = m_receiver.PostedOf<notice::LearnStatus>();
        return std::find(posted.begin(), posted.end(), learned) != posted.end();
    }));
    EXPECT_EQ(GetParamImage().HubByte(10), sim::SimProcessor::LearnedCode(10));
}

TEST_F(SimFixture, ZWaveFramesAreRelayedWithoutALockStepAnswer) {
    StartSimulator();
    Connect();
    // get init data: 12 05 01 03 00 02 FE, written without waiting
    const std::uint8_t frame[61] = {2, 0x12, 5, 1, 3, 0, 2, 0xFE};
    ASSERT_EQ(WriteUsbDataNoWait(frame), 61);
    ASSERT_TRUE(Eventually([] { return g_bZWaveInitData.load() == 1; }));
    EXPECT_EQ(GetParamImage().HubByte(kHubNodeTableOffset + 2), 1) << "node 1 present";
    EXPECT_EQ(GetParamImage().HubByte(kHubNodeTableOffset + 4), 0);
    // The application acknowledged the node list (no-wait), the processor did not answer that.
    EXPECT_TRUE(Eventually([&] { return m_sim->CommandsHandled() == 2; }));
    std::this_thread::sleep_for(50ms);
    EXPECT_EQ(m_log.Count("Read:12 "), 2) << "the controller's ACK and its node list only";
}

} // namespace
} // namespace kv::test

namespace kv::test {
namespace {

/// Connects from inside its arrival notice, on the thread that delivers it.
class ConnectingReceiver : public TestReceiver {
public:
    void OnDeviceChange(bool arrived, const std::string& path) override {
        TestReceiver::OnDeviceChange(arrived, path);
        if (arrived) {
            connected = ConnectUsbDevice(this);
        }
    }
    bool connected = false;
};

TEST_F(SimFixture, AReceiverMayConnectFromInsideAnArrivalNotice) {
    StartSimulator();
    ConnectingReceiver receiver;
    SetLinkReceiver(&receiver);
    ASSERT_TRUE(RegisterUsbNotification());
    m_bus->Unplug(m_path);
    m_bus->Plug(m_path); // the notice is delivered on this thread
    EXPECT_TRUE(receiver.connected);
    EXPECT_EQ(SendUsbCommand({127, -1}), 61);
    EXPECT_TRUE(Eventually([] { return GetParamImage().CommVersion() == 18; }));
    m_bus->Unplug(m_path);
    CloseUsbDevice();
    SetLinkReceiver(&m_receiver); // the local receiver goes now
}

} // namespace
} // namespace kv::test
