// Reports read by whichever thread waits for them: a writer reads its own answer while no one
// else reads, the reader thread reads the rest. Every report must still reach the handler once,
// in order, on one thread at a time.
#include "LinkFixture.h"

#include "link/WriteHold.h"

#include <atomic>
#include <chrono>
#include <functional>
#include <future>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

namespace kv::test {
namespace {

using namespace std::chrono_literals;

constexpr int kAnswer = 49;
constexpr int kFrame = 60;       ///< sent with every answer; the handler acknowledges it
constexpr int kUnsolicited = 61; ///< sent by the device on its own
constexpr int kFrameAck = 6;
constexpr int kCommand = 20;

/// What the report handler saw.
struct Seen {
    std::mutex lock;                          ///< guards reports and threads
    std::vector<std::pair<int, int>> reports; ///< type, number
    std::vector<std::thread::id> threads;
    std::atomic<int> inside{0};
    std::atomic<bool> overlapped{false};
};

Seen g_seen;

int NumberOf(const std::uint8_t* r) {
    return r[2] | (r[3] << 8);
}

void RecordingHandler(const std::uint8_t* r) {
    if (g_seen.inside.fetch_add(1) != 0) {
        g_seen.overlapped = true;
    }
    {
        std::lock_guard lock(g_seen.lock);
        g_seen.reports.emplace_back(r[1], NumberOf(r));
        g_seen.threads.push_back(std::this_thread::get_id());
    }
    if (r[1] == kFrame) {
        // Acknowledged from inside the dispatch, as the Z-Wave relay does, now and then with
        // the pause it keeps before the next command, or with a handler that takes its time.
        const Bytes61 ack = MakeReport({2, kFrameAck, r[2]});
        WriteUsbDataNoWait(ack.data());
        if (r[2] % 16 == 0) {
            HoldWritesFor(20ms);
        } else if (r[2] % 16 == 8) {
            std::this_thread::sleep_for(20ms);
        }
    }
    g_seen.inside.fetch_sub(1);
}

class ReadRoleTest : public LinkFixture {
protected:
    void SetUp() override {
        LinkFixture::SetUp();
        {
            std::lock_guard lock(g_seen.lock);
            g_seen.reports.clear();
            g_seen.threads.clear();
        }
        g_seen.overlapped = false;
        SetReportHandler(&RecordingHandler);
    }
    void TearDown() override {
        LinkFixture::TearDown();
        SetAnswerWait(std::chrono::milliseconds(kAckWaitMs));
    }
};

TEST_F(ReadRoleTest, ReportsReachTheHandlerOnceEachAndInOrderWhoeverReadsThem) {
    constexpr int kCommands = 200;
    auto device = Connect(false);
    device->SetScript([](const Bytes61& written) {
        if (written[1] != kCommand) {
            return std::vector<Bytes61>{}; // the acknowledgements are not answered
        }
        return std::vector<Bytes61>{MakeReport({1, kFrame, written[2]}),
                                    MakeReport({1, kAnswer, written[2]})};
    });
    std::atomic<bool> writing{true};
    int injected = 0;
    std::thread unsolicited([&] {
        // Some come after the writer is done, when only the reader thread reads.
        for (int after = 0; after < 20; after += writing ? 0 : 1) {
            device->Inject(MakeReport({1, kUnsolicited, injected & 0xFF, injected >> 8}));
            ++injected;
            std::this_thread::sleep_for(200us);
        }
    });
    const auto writer = std::this_thread::get_id();
    for (int c = 0; c < kCommands; ++c) {
        const Bytes61 command = MakeReport({2, kCommand, c});
        const AnswerCheck isAnswer = [c](const std::uint8_t* r) {
            return r[1] == kAnswer && r[2] == c;
        };
        ASSERT_EQ(ExchangeUsbData(command.data(), command.size(), isAnswer), Delivery::Answered)
            << "command " << c;
        if (c % 25 == 24) {
            std::this_thread::sleep_for(20ms); // the reader thread reads again meanwhile
        }
    }
    writing = false;
    unsolicited.join();
    ASSERT_TRUE(device->WaitIdle());

    EXPECT_FALSE(g_seen.overlapped) << "the handler ran on two threads at once";
    std::vector<std::pair<int, int>> exchanged;
    std::vector<int> others;
    int answersOnTheWriter = 0;
    {
        std::lock_guard lock(g_seen.lock);
        for (std::size_t i = 0; i < g_seen.reports.size(); ++i) {
            const auto [type, number] = g_seen.reports[i];
            if (type == kUnsolicited) {
                others.push_back(number);
            } else {
                exchanged.emplace_back(type, number);
            }
            answersOnTheWriter += type == kAnswer && g_seen.threads[i] == writer ? 1 : 0;
        }
    }
    std::vector<std::pair<int, int>> expectedExchanged;
    std::vector<Bytes61> expectedWrites;
    for (int c = 0; c < kCommands; ++c) {
        expectedExchanged.emplace_back(kFrame, c);
        expectedExchanged.emplace_back(kAnswer, c);
        expectedWrites.push_back(MakeReport({2, kCommand, c}));
        expectedWrites.push_back(MakeReport({2, kFrameAck, c}));
    }
    EXPECT_EQ(exchanged, expectedExchanged);
    std::vector<int> expectedOthers(static_cast<std::size_t>(injected));
    for (int i = 0; i < injected; ++i) {
        expectedOthers[static_cast<std::size_t>(i)] = i;
    }
    EXPECT_EQ(others, expectedOthers);
    EXPECT_EQ(device->Writes(), expectedWrites) << "each frame acknowledged once, in its turn";
    EXPECT_GT(answersOnTheWriter, 0) << "exchanges in a row read their own answers";
}

TEST_F(ReadRoleTest, ClosingOrFailingEndsTheWaitOfAWriterThatReads) {
    struct Case {
        const char* name;
        std::function<void(FakeDevice&)> end;
        bool failed;
    };
    const Case cases[] = {
        {"closed", [](FakeDevice&) { CloseUsbDevice(); }, false},
        {"device failed", [](FakeDevice& d) { d.Fail(); }, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SetAnswerWait(30s); // far beyond the test's own limit below
        auto device = Connect(false);
        device->SetScript([](const Bytes61& written) {
            return written[2] == 1 ? std::vector<Bytes61>{MakeReport({1, kAnswer})}
                                   : std::vector<Bytes61>{};
        });
        const Bytes61 first = MakeReport({2, kCommand, 1});
        ASSERT_EQ(ExchangeUsbData(first.data(), first.size()), Delivery::Answered);
        // The next one's answer never comes; its writer reads until the link ends.
        auto waiting = std::async(std::launch::async, [] {
            const Bytes61 second = MakeReport({2, kCommand, 2});
            return ExchangeUsbData(second.data(), second.size());
        });
        ASSERT_TRUE(device->WaitIdle(2));
        c.end(*device);
        ASSERT_EQ(waiting.wait_for(10s), std::future_status::ready);
        EXPECT_EQ(waiting.get(), Delivery::NotSent);
        if (c.failed) {
            EXPECT_EQ(g_bReadThreadEnd.load(), 1);
            EXPECT_EQ(SendUsbCommand({kCommand, 3, -1}), 0) << "a failed link refuses writes";
        }
        device->Fail();
        CloseUsbDevice();
    }
}

} // namespace
} // namespace kv::test
