#include "RecordingSink.h"

#include "protocol/CommandQueue.h"

#include <gtest/gtest.h>

#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace kv {
namespace {

using namespace std::chrono_literals;
using test::Hex;

/// Records what the owner writes; holds the owner inside its first write until opened, so
/// that the test can queue behind a device that has not answered yet.
class GatedSink final : public ICommandSink {
public:
    int Write(const Command& command) override {
        std::unique_lock lock(m_lock);
        m_log.push_back(Hex(command));
        m_entered = true;
        m_changed.notify_all();
        m_changed.wait(lock, [&] { return m_open; });
        return m_failCode == command[1] ? 0 : static_cast<int>(command.size());
    }
    int WriteStore(int address, std::span<const std::uint8_t> data) override {
        return Write(BuildStoreWrite(address, data));
    }
    int WriteUnpaced(const Command& command) override {
        std::lock_guard lock(m_lock);
        m_log.push_back("unpaced " + Hex(command));
        return m_failCode == command[1] ? 0 : static_cast<int>(command.size());
    }
    void Pause(std::chrono::milliseconds duration) override {
        std::lock_guard lock(m_lock);
        m_log.push_back("pause " + std::to_string(duration.count()));
    }
    Delivery Exchange(const Command& command, const AnswerCheck&) override {
        std::lock_guard lock(m_lock);
        m_log.push_back("exchange " + Hex(command));
        return Delivery::Answered;
    }

    void WaitUntilWriting() {
        std::unique_lock lock(m_lock);
        m_changed.wait(lock, [&] { return m_entered; });
    }
    void Open() {
        std::lock_guard lock(m_lock);
        m_open = true;
        m_changed.notify_all();
    }
    void FailCode(int code) {
        std::lock_guard lock(m_lock);
        m_failCode = code;
    }
    std::vector<std::string> Log() const {
        std::lock_guard lock(m_lock);
        return m_log;
    }

private:
    mutable std::mutex m_lock;
    std::condition_variable m_changed;
    std::vector<std::string> m_log;
    bool m_entered = false;
    bool m_open = false;
    int m_failCode = -1;
};

Command Param(int module, int item, std::uint32_t word) {
    return BuildParamCommand(module, item, std::span(&word, 1));
}

TEST(CommandQueueTest, LatestWinsPerTargetAndKeepsOrderAcrossBarriers) {
    GatedSink device;
    CommandQueue queue(device);
    const std::uint8_t a[] = {1, 2};
    const std::uint8_t b[] = {3, 4};

    // The device is busy with the first command; everything else queues behind it.
    EXPECT_EQ(queue.Write(Param(1, 14, 0)), 61);
    device.WaitUntilWriting();
    struct Step {
        Command command;
        int pauseMs;
        bool unpaced = false;
    };
    const Command frame = BuildCommand({0x12, 5, 1, 3, 0, 2, 0xFE}); // a controller frame
    const std::vector<Step> steps = {
        {Param(1, 15, 0), -1}, // the second command of the setter whose first is being written
        {Param(1, 14, 1), -1}, // a drag over two targets (one setter, two commands)
        {Param(1, 15, 1), -1},
        {Param(1, 14, 2), -1},
        {Param(1, 15, 2), -1},
        {Param(1, 14, 3), -1},
        {BuildStoreWrite(100, a), -1}, // same store block twice, another block once
        {BuildStoreWrite(160, a), -1},
        {BuildStoreWrite(100, b), -1},
        {BuildCommand({kCmdSelectMode, 2}), -1}, // a mode change is a barrier
        {Param(1, 14, 4), -1},
        {Command{}, 30}, // so is a pause: a ramp keeps its steps
        {Param(1, 14, 5), -1},
        {Param(1, 14, 6), -1},
        {frame, -1, true}, // a frame goes in its turn, and is a barrier too
        {Param(1, 14, 7), -1},
    };
    for (const Step& step : steps) {
        if (step.pauseMs >= 0) {
            queue.Pause(std::chrono::milliseconds(step.pauseMs));
        } else if (step.unpaced) {
            EXPECT_EQ(queue.WriteUnpaced(step.command), 61);
        } else {
            EXPECT_EQ(queue.Write(step.command), 61);
        }
    }
    device.Open();
    EXPECT_TRUE(queue.Flush());

    // Each target's last value, in the order of the calls that sent them last.
    const std::vector<std::string> expected = {
        Hex(Param(1, 14, 0)),         Hex(Param(1, 15, 2)),
        Hex(Param(1, 14, 3)),         Hex(BuildStoreWrite(160, a)),
        Hex(BuildStoreWrite(100, b)), Hex(BuildCommand({kCmdSelectMode, 2})),
        Hex(Param(1, 14, 4)),         "pause 30",
        Hex(Param(1, 14, 6)),         "unpaced " + Hex(frame),
        Hex(Param(1, 14, 7)),
    };
    EXPECT_EQ(device.Log(), expected);
    EXPECT_EQ(queue.Replaced(), 6);
}

TEST(CommandQueueTest, ExchangeWaitsForQueuedCommandsAndFlushReportsFailures) {
    GatedSink device;
    CommandQueue queue(device);
    device.FailCode(kCmdStoreWrite);
    const std::uint8_t data[] = {9};

    queue.Write(Param(2, 1, 7));
    device.WaitUntilWriting();
    queue.WriteStore(10, data);
    device.Open();
    EXPECT_EQ(queue.Exchange(BuildParamQuery(2, 1), {}), Delivery::Answered);
    const std::vector<std::string> expected = {
        Hex(Param(2, 1, 7)),
        Hex(BuildStoreWrite(10, data)),
        "exchange " + Hex(BuildParamQuery(2, 1)),
    };
    EXPECT_EQ(device.Log(), expected);
    // The store write was not written in full: the next Flush says so, once.
    EXPECT_FALSE(queue.Flush());
    queue.Write(Param(2, 1, 8));
    EXPECT_TRUE(queue.Flush());
    // So does a controller frame that could not be written.
    device.FailCode(0x12);
    queue.WriteUnpaced(BuildCommand({0x12, 1, 6}));
    EXPECT_FALSE(queue.Flush());
}

TEST(CommandQueueTest, PostedCommandsReportOnTheOwnerAndOrderWhatTheyAreAskedTo) {
    struct Case {
        const char* name;
        CommandQueue::Order order;
        Command posted;
        std::vector<std::string> expected;
    };
    const Case cases[] = {
        // A status query between two steps of a drag does not keep the first step alive.
        {"free",
         CommandQueue::Order::Free,
         BuildCommand({kCmdStatus}),
         {Hex(Param(4, 12, 0)), "exchange " + Hex(BuildCommand({kCmdStatus})),
          Hex(Param(4, 12, 2))}},
        // A mode store takes every setting queued before it, however the drag goes on.
        {"barrier",
         CommandQueue::Order::Barrier,
         BuildCommand({kCmdStoreMode, 2}),
         {Hex(Param(4, 12, 0)), Hex(Param(4, 12, 1)),
          "exchange " + Hex(BuildCommand({kCmdStoreMode, 2})), Hex(Param(4, 12, 2))}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        GatedSink device;
        CommandQueue queue(device);
        queue.Write(Param(4, 12, 0));
        device.WaitUntilWriting();
        queue.Write(Param(4, 12, 1));
        std::mutex lock;
        std::vector<Delivery> ended;
        std::thread::id ranOn;
        EXPECT_TRUE(queue.Post(
            c.posted, {},
            [&](Delivery d) {
                std::lock_guard guard(lock);
                ended.push_back(d);
                ranOn = std::this_thread::get_id();
            },
            c.order));
        queue.Write(Param(4, 12, 2));
        device.Open();
        EXPECT_TRUE(queue.Flush());
        EXPECT_EQ(device.Log(), c.expected);
        std::lock_guard guard(lock);
        EXPECT_EQ(ended, std::vector<Delivery>{Delivery::Answered});
        EXPECT_NE(ranOn, std::this_thread::get_id());
    }
}

TEST(CommandQueueTest, AClosedQueueRefusesNewCommandsAndStillWritesWhatItHolds) {
    GatedSink device;
    CommandQueue queue(device);
    queue.Write(Param(3, 1, 1));
    device.WaitUntilWriting();
    queue.Write(Param(3, 2, 1));
    queue.Close();
    EXPECT_EQ(queue.Write(Param(3, 3, 1)), 0);
    EXPECT_EQ(queue.WriteUnpaced(BuildCommand({0x12, 1, 6})), 0);
    EXPECT_FALSE(queue.Post(BuildCommand({kCmdStatus}), {}, {}));
    EXPECT_EQ(queue.Exchange(BuildCommand({kCmdModel}), {}), Delivery::NotSent);
    // The device does not take the first command: the drain gives up after its wait.
    EXPECT_FALSE(queue.FlushFor(20ms));
    device.Open();
    EXPECT_TRUE(queue.FlushFor(5s));
    const std::vector<std::string> expected = {Hex(Param(3, 1, 1)), Hex(Param(3, 2, 1))};
    EXPECT_EQ(device.Log(), expected);
}

TEST(CommandQueueTest, DestroyingTheQueueWritesWhatIsQueued) {
    GatedSink device;
    {
        CommandQueue queue(device);
        queue.Write(Param(3, 1, 1));
        device.WaitUntilWriting();
        queue.Write(Param(3, 2, 1));
        device.Open();
    }
    EXPECT_EQ(device.Log().size(), 2u);
}

} // namespace
} // namespace kv
