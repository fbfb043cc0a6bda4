#include "RecordingSink.h"

#include "image/ParamImage.h"
#include "protocol/DeviceQueue.h"
#include "protocol/Dispatcher.h"

#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <vector>

namespace kv {
namespace {

using namespace std::chrono_literals;
using test::RecordingSink;

Command Param(int module, int item, std::uint32_t word) {
    return BuildParamCommand(module, item, std::span(&word, 1));
}

TEST(DeviceQueueTest, WhileOpenEverySenderGoesThroughTheQueueAndClosingRestoresTheSink) {
    RecordingSink below;
    OpenDeviceQueue();
    auto queue = DeviceQueue();
    ASSERT_NE(queue, nullptr);
    EXPECT_NE(&CommandSink(), &below);
    OpenDeviceQueue(); // a second open keeps the one queue
    EXPECT_EQ(DeviceQueue(), queue);

    // A drag from the window and a procedure's exchange, in one order on the wire.
    CommandSink().Write(Param(1, 14, 1));
    CommandSink().Pause(5ms);
    EXPECT_EQ(CommandSink().Exchange(BuildCommand({kCmdModel}), {}), Delivery::Answered);
    EXPECT_TRUE(FlushDeviceQueue());
    const auto log = below.Log();
    ASSERT_EQ(log.size(), 3u);
    EXPECT_EQ(log[0].command, Param(1, 14, 1));
    EXPECT_EQ(log[1].pauseMs, 5);
    EXPECT_EQ(log[2].Code(), kCmdModel);

    EXPECT_TRUE(CloseDeviceQueue(1s));
    EXPECT_EQ(DeviceQueue(), nullptr);
    EXPECT_EQ(&CommandSink(), &below);
    // The closed queue takes nothing more, even from someone still holding it.
    EXPECT_EQ(queue->Write(Param(1, 14, 2)), 0);
    EXPECT_TRUE(FlushDeviceQueue());
}

/// Answers status queries with a record once let go; installs itself while alive.
class StatusDevice final : public ICommandSink {
public:
    int Write(const Command& command) override { return static_cast<int>(command.size()); }
    int WriteStore(int, std::span<const std::uint8_t>) override { return 61; }
    void Pause(std::chrono::milliseconds) override {}
    Delivery Exchange(const Command& command, const AnswerCheck& isAnswer) override {
        std::unique_lock lock(m_lock);
        ++m_queries;
        m_changed.wait(lock, [&] { return m_open; });
        std::uint8_t report[61] = {2, command[1], 7, 8};
        return isAnswer(report) ? Delivery::Answered : Delivery::NoAnswer;
    }
    void Open() {
        std::lock_guard lock(m_lock);
        m_open = true;
        m_changed.notify_all();
    }
    int Queries() const {
        std::lock_guard lock(m_lock);
        return m_queries;
    }

private:
    mutable std::mutex m_lock;
    std::condition_variable m_changed;
    bool m_open = false;
    int m_queries = 0;
    ScopedCommandSink m_scope{*this};
};

TEST(DeviceQueueTest, OneStatusQueryAtATimeAndItsAnswerIsHandedOnAsACopy) {
    StatusDevice device;
    EXPECT_FALSE(PostStatusQuery({})); // no device open
    OpenDeviceQueue();
    std::mutex lock;
    std::vector<StatusBytes> copies;
    const auto keep = [&](const StatusBytes& status) {
        std::lock_guard guard(lock);
        copies.push_back(status);
    };
    ASSERT_TRUE(PostStatusQuery(keep));
    // A slow processor: the polls that come meanwhile are not piled up.
    EXPECT_FALSE(PostStatusQuery(keep));
    EXPECT_FALSE(PostStatusQuery(keep));
    device.Open();
    EXPECT_TRUE(FlushDeviceQueue());
    EXPECT_TRUE(PostStatusQuery(keep));
    EXPECT_TRUE(CloseDeviceQueue(1s));
    EXPECT_EQ(device.Queries(), 2);
    std::lock_guard guard(lock);
    ASSERT_EQ(copies.size(), 2u);
    EXPECT_EQ(copies[0][0], 7);
    EXPECT_EQ(copies[0][1], 8);
}

/// Holds every write until let go, as a processor that is slow to answer.
class GateDevice final : public ICommandSink {
public:
    int Write(const Command& command) override {
        std::unique_lock lock(m_lock);
        ++m_writes;
        m_changed.notify_all();
        m_changed.wait(lock, [&] { return m_open; });
        return static_cast<int>(command.size());
    }
    int WriteStore(int address, std::span<const std::uint8_t> data) override {
        return Write(BuildStoreWrite(address, data));
    }
    void Pause(std::chrono::milliseconds) override {}
    Delivery Exchange(const Command& command, const AnswerCheck&) override {
        Write(command);
        return Delivery::Answered;
    }
    void WaitForWrites(int count) {
        std::unique_lock lock(m_lock);
        m_changed.wait(lock, [&] { return m_writes >= count; });
    }
    void Open() {
        std::lock_guard lock(m_lock);
        m_open = true;
        m_changed.notify_all();
    }

private:
    std::mutex m_lock;
    std::condition_variable m_changed;
    bool m_open = false;
    int m_writes = 0;
    ScopedCommandSink m_scope{*this};
};

/// The processor's answer to a store write: report 134 with the bytes it now holds.
std::uint8_t* StoreAnswer(std::uint8_t (&report)[61], int address,
                          const std::vector<std::uint8_t>& data) {
    report[0] = 2;
    report[1] = 134;
    report[2] = static_cast<std::uint8_t>(address >> 8);
    report[3] = static_cast<std::uint8_t>(address);
    report[4] = static_cast<std::uint8_t>(data.size());
    std::copy(data.begin(), data.end(), report + 5);
    return report;
}

TEST(DeviceQueueTest, TheAnswerToAnOlderStoreWriteDoesNotUndoANewerEditWaitingItsTurn) {
    constexpr int kAddress = 100;
    const std::vector<std::uint8_t> older{1, 2, 3}, newer{7, 8, 9}, other{4, 5, 6};
    ParamImage& image = GetParamImage();
    const auto held = [&image] {
        std::vector<std::uint8_t> bytes(3);
        image.ReadBlock(Block::System, kAddress, bytes);
        return bytes;
    };
    GateDevice device;
    OpenDeviceQueue();
    // A drag: the older bytes are being written, the newer ones wait and are in the image.
    image.WriteBlock(Block::System, kAddress, older);
    CommandSink().WriteStore(kAddress, older);
    device.WaitForWrites(1);
    image.WriteBlock(Block::System, kAddress, newer);
    CommandSink().WriteStore(kAddress, newer);
    EXPECT_TRUE(StoreWriteWaiting(kAddress, 3));
    EXPECT_FALSE(StoreWriteWaiting(kAddress, 4)) << "another target";

    std::uint8_t report[61] = {};
    DispatchReport(StoreAnswer(report, kAddress, older));
    EXPECT_EQ(held(), newer) << "the older answer must not undo the newer edit";

    device.Open();
    EXPECT_TRUE(FlushDeviceQueue());
    EXPECT_FALSE(StoreWriteWaiting(kAddress, 3));
    // With nothing waiting, the processor's answer is what the image keeps.
    std::uint8_t second[61] = {};
    DispatchReport(StoreAnswer(second, kAddress, other));
    EXPECT_EQ(held(), other);
    EXPECT_TRUE(CloseDeviceQueue(1s));
}

} // namespace
} // namespace kv
