#include "sim/SimProcessor.h"
#include "image/Encodings.h"
#include "sim/RecordLayout.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

namespace kv::test {
namespace {

using sim::Report;
using sim::SimClock;
using sim::SimProcessor;

Report Command(std::initializer_list<int> bytes) {
    Report r{};
    r[0] = 2;
    std::size_t i = 1;
    for (int b : bytes) {
        r[i++] = static_cast<std::uint8_t>(b);
    }
    return r;
}

/// A parameter command carrying the given singles.
Report Param(int code, int module, int item, std::initializer_list<float> values) {
    Report r = Command({code, 0, module, item, static_cast<int>(values.size())});
    std::size_t at = 6;
    for (float v : values) {
        PutFloatBE(r.data() + at, v);
        at += 4;
    }
    return r;
}

class SimProcessorTest : public ::testing::Test {
protected:
    /// The one lock-step answer of a command.
    Report Ask(const Report& command) {
        const sim::CommandResult result = m_sim.Handle(command, SimClock::now());
        EXPECT_TRUE(result.lockStep);
        EXPECT_EQ(result.reports.size(), 1u);
        return result.reports.empty() ? Report{} : result.reports.front();
    }
    std::vector<std::uint8_t> Values(const Report& r, std::size_t n) {
        return {r.begin() + 6, r.begin() + 6 + static_cast<std::ptrdiff_t>(4 * n)};
    }

    SimProcessor m_sim;
};

std::string TextOf(const Report& r) {
    return std::string(reinterpret_cast<const char*>(r.data() + 2));
}

TEST_F(SimProcessorTest, EveryCommandButARelayedFrameGetsExactlyOneAnswer) {
    for (int code = 0; code < 256; ++code) {
        if (code == 18) {
            continue;
        }
        SCOPED_TRACE(code);
        const auto result = m_sim.Handle(Command({code, 1, 2, 3}), SimClock::now());
        EXPECT_TRUE(result.lockStep);
        EXPECT_EQ(result.reports.size(), 1u);
    }
}

TEST_F(SimProcessorTest, ReportsItsIdentity) {
    EXPECT_EQ(Ask(Command({128}))[1], 128);
    EXPECT_EQ(TextOf(Ask(Command({128}))), "KV5930Q");
    const Report version = Ask(Command({127}));
    EXPECT_EQ(version[1], 127);
    EXPECT_EQ(version[2], 18);
    EXPECT_EQ(TextOf(Ask(Command({129}))), "2024-03-18");
    EXPECT_EQ(TextOf(Ask(Command({126}))), "2024-03-20");
    EXPECT_EQ(Ask(Command({7}))[1], 7);

    SimProcessor other({"rs483", 17, "m", "d"});
    EXPECT_EQ(TextOf(other.Handle(Command({128}), SimClock::now()).reports[0]), "rs483");
    EXPECT_EQ(other.Handle(Command({127}), SimClock::now()).reports[0][2], 17);
}

TEST_F(SimProcessorTest, StoreReadsCoverTheStoreInFiftyNineChunks) {
    std::vector<std::uint8_t> read;
    for (int i = 0; i < 59; ++i) {
        const int address = 56 * i;
        const int length = i == 58 ? 51 : 56;
        const Report r = Ask(Command({48, address >> 8, address & 0xFF, length}));
        ASSERT_EQ(r[1], 48);
        EXPECT_EQ(r[2] * 256 + r[3], address);
        ASSERT_EQ(r[4], length);
        read.insert(read.end(), r.begin() + 5, r.begin() + 5 + length);
    }
    const auto& store = m_sim.Live().Store();
    EXPECT_EQ(read, std::vector<std::uint8_t>(store.begin(), store.end()));

    const Report beyond = Ask(Command({48, 3299 >> 8, 3299 & 0xFF, 56}));
    EXPECT_EQ(beyond[4], 0) << "nothing beyond the store";
    const Report tooLong = Ask(Command({48, 0, 0, 200}));
    EXPECT_EQ(tooLong[4], 56) << "never more than a report holds";
}

TEST_F(SimProcessorTest, ParameterCommandsChangeTheLiveRecordsAndAreQueried) {
    const sim::PlacedRecord* mic = sim::FindStoreRecord(1, 14);
    ASSERT_NE(mic, nullptr);
    const auto factory = m_sim.Live().Values(1, 14);

    EXPECT_EQ(Ask(Param(9, 1, 14, {0.5f}))[1], 9) << "differs from the stored mode";
    const auto& store = m_sim.Live().Store();
    EXPECT_EQ(GetFloatBE(store.data() + mic->offset + 3), 0.5f);
    const Report query = Ask(Command({10, 0, 1, 14, 1}));
    EXPECT_EQ(query[1], 10);
    EXPECT_EQ(query[2], 0);
    EXPECT_EQ(query[3], 1);
    EXPECT_EQ(query[4], 14);
    EXPECT_EQ(GetFloatBE(query.data() + 6), 0.5f);

    Report back = Command({9, 0, 1, 14, 1});
    std::copy(factory.begin(), factory.end(), back.begin() + 6);
    EXPECT_EQ(Ask(back)[1], 49) << "equal to the stored mode again";
    EXPECT_FALSE(m_sim.LiveDiffers());

    // Parameters without a record keep their values too: the last channel's phase, a biquad.
    EXPECT_EQ(Ask(Param(9, 12, 25, {-1.0f}))[1], 9);
    EXPECT_EQ(GetFloatBE(Ask(Command({10, 0, 12, 25, 1})).data() + 6), -1.0f);
    EXPECT_EQ(Ask(Param(9, 5, 3, {1, 2, 3, 4, 5}))[1], 9);
    EXPECT_EQ(GetFloatBE(Ask(Command({10, 0, 5, 3, 1})).data() + 6 + 16), 5.0f);
    // Multi-value records keep every value: the delay mode of CH1.
    EXPECT_EQ(Ask(Param(9, 5, 17, {1.0f, 0.0f}))[1], 9);
    const sim::PlacedRecord* mode = sim::FindStoreRecord(5, 17);
    EXPECT_EQ(GetFloatBE(store.data() + mode->offset + 7), 0.0f);
}

TEST_F(SimProcessorTest, WrongParametersAreAnsweredWithAnErrorStatus) {
    struct Case {
        const char* name;
        Report command;
        int status;
    };
    const Case cases[] = {
        {"module 0", Param(9, 0, 14, {1.0f}), 1},
        {"module 14", Param(9, 14, 0, {1.0f}), 1},
        {"unknown item", Param(9, 1, 3, {1.0f}), 2},
        {"wrong count", Param(9, 1, 14, {1.0f, 1.0f}), 3},
        {"query of an unknown item", Command({10, 0, 13, 12, 1}), 2},
        {"query of module 200", Command({10, 0, 200, 1, 1}), 1},
    };
    const auto before = m_sim.Live();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const Report r = Ask(c.command);
        EXPECT_EQ(r[1], 10);
        EXPECT_EQ(r[2], c.status);
        EXPECT_EQ(r[3], c.command[3]);
        EXPECT_EQ(r[4], c.command[4]);
    }
    EXPECT_TRUE(m_sim.Live() == before) << "nothing applied";
    // A wrong count carries the current value, so decoding the answer changes nothing.
    const Report r = Ask(Param(9, 1, 14, {1.0f, 1.0f}));
    EXPECT_EQ(Values(r, 1), before.Values(1, 14));
}

TEST_F(SimProcessorTest, ModesAreStoredRecalledAndResetToTheFactorySetting) {
    Ask(Param(9, 1, 14, {0.33f}));
    Report r = Ask(Command({4, 2}));
    EXPECT_EQ(r[1], 7);
    EXPECT_EQ(r[2], 2);
    EXPECT_EQ(m_sim.CurrentMode(), 2);
    EXPECT_TRUE(m_sim.Mode(2) == m_sim.Live());
    EXPECT_FALSE(m_sim.LiveDiffers());

    r = Ask(Command({5, 1}));
    EXPECT_EQ(r[1], 5) << "recall asks the application to read everything again";
    EXPECT_TRUE(m_sim.Live() == m_sim.Mode(1));
    EXPECT_FALSE(m_sim.Live() == m_sim.Mode(2));

    Ask(Param(9, 1, 14, {0.33f}));
    Ask(Command({4, 3}));
    r = Ask(Command({6, 3}));
    EXPECT_EQ(r[1], 6);
    EXPECT_TRUE(m_sim.Mode(3) == m_sim.Live());
    EXPECT_NE(m_sim.Live().Values(1, 14), m_sim.Mode(2).Values(1, 14));

    r = Ask(Command({3, 0}));
    EXPECT_EQ(r[1], 7);
    EXPECT_EQ(m_sim.CurrentMode(), 0);
    EXPECT_EQ(Ask(Command({5, 4}))[1], 49) << "no mode 5";
    EXPECT_EQ(m_sim.CurrentMode(), 0);
}

TEST_F(SimProcessorTest, StoreWritesChangeTheStoreAndEchoTheBlocks) {
    Report w = Command({133, 0, 100, 7, 0x00, 0x96, 0x00, 0x7D, 0x05, 0x86, 0x01});
    Report r = Ask(w);
    EXPECT_EQ(r[1], 134);
    EXPECT_TRUE(std::equal(r.begin() + 2, r.begin() + 12, w.begin() + 2));
    EXPECT_EQ(m_sim.Live().Store()[106], 0x01);

    r = Ask(Command({133, 0, 0, 2, 0xFF, 0xFF}));
    EXPECT_EQ(r[1], 49) << "an echo would read as clearing the whole system block";
    EXPECT_EQ(m_sim.Live().Store()[0], 0xFF);

    r = Ask(Command({133, 3298 >> 8, 3298 & 0xFF, 5, 1, 2, 3, 4, 5}));
    EXPECT_EQ(r[1], 49);
    EXPECT_EQ(m_sim.Live().Store()[3298], 1) << "cut at the store's end";

    // Mode names live at 3840 + 64 m.
    Ask(Command({133, 3904 >> 8, 3904 & 0xFF, 6, 0, 'K', 0, 'T', 0, 0}));
    EXPECT_EQ(m_sim.ModeName(1), u"KT");
    r = Ask(Command({48, 3904 >> 8, 3904 & 0xFF, 56}));
    EXPECT_EQ(r[1], 219);
    EXPECT_EQ(r[4], 6);
    EXPECT_EQ(r[6], 'K');
    EXPECT_EQ(r[8], 'T');
    EXPECT_EQ(r[10], 0);
}

TEST_F(SimProcessorTest, LearningPressesTheKeyAfterTheDelayUnlessStopped) {
    sim::CommandResult result = m_sim.Handle(Command({96, 10}), SimClock::now());
    ASSERT_EQ(result.reports.size(), 1u);
    EXPECT_EQ(result.reports[0][1], 49) << "the answer itself is not a learning report";
    ASSERT_TRUE(result.keyPressAfter.has_value());
    const auto press = m_sim.PressLearnKey();
    ASSERT_TRUE(press.has_value());
    EXPECT_EQ((*press)[1], 96);
    EXPECT_EQ((*press)[3], 10);
    EXPECT_EQ((*press)[4], SimProcessor::LearnedCode(10));
    EXPECT_FALSE(m_sim.PressLearnKey().has_value()) << "one press per learning";

    const Report table = Ask(Command({98}));
    EXPECT_EQ(table[1], 98);
    EXPECT_EQ(table[2 + 10], SimProcessor::LearnedCode(10));

    m_sim.Handle(Command({96, 3}), SimClock::now());
    Ask(Command({97}));
    EXPECT_FALSE(m_sim.PressLearnKey().has_value()) << "stopped";
    EXPECT_FALSE(m_sim.Handle(Command({96, 18}), SimClock::now()).keyPressAfter) << "no key 18";

    Report store = Command({99});
    for (int i = 0; i < 18; ++i) {
        store[2 + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(100 + i);
    }
    Ask(store);
    EXPECT_EQ(m_sim.LearnTable()[17], 117);
}

TEST_F(SimProcessorTest, LearningEndsAsItsModeSays) {
    using sim::LearnAnswer;
    struct Case {
        LearnAnswer answer;
        bool pressDue;        ///< a delayed end is scheduled
        int delayedStatus;    ///< status of the delayed report, -1 when none comes
        bool keyCodeAccepted; ///< PressKeyCode(0x3A) learns it
    };
    const Case cases[] = {
        {LearnAnswer::Press, true, 1, true},
        {LearnAnswer::Manual, false, -1, true},
        {LearnAnswer::Refuse, true, 0, true},
        {LearnAnswer::Silent, false, -1, true},
    };
    for (const Case& c : cases) {
        const int mode = static_cast<int>(c.answer);
        m_sim.SetLearnAnswer(c.answer);
        Ask(Command({99, 1, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7}));
        const sim::CommandResult start = m_sim.Handle(Command({96, 10}), SimClock::now());
        EXPECT_EQ(start.keyPressAfter.has_value(), c.pressDue) << mode;
        if (c.pressDue) {
            const auto end = m_sim.PressLearnKey();
            ASSERT_TRUE(end.has_value()) << mode;
            EXPECT_EQ((*end)[1], 96);
            EXPECT_EQ((*end)[2], c.delayedStatus) << mode;
            EXPECT_EQ((*end)[3], 10);
            // A refusal reports the key's old code and leaves the table's code alone.
            const int code = c.delayedStatus == 1 ? SimProcessor::LearnedCode(10) : 7;
            EXPECT_EQ((*end)[4], code) << mode;
            EXPECT_EQ(m_sim.LearnTable()[10], code) << mode;
            EXPECT_FALSE(m_sim.PressKeyCode(0x3A).has_value()) << "nothing pending any more";
            continue;
        }
        EXPECT_EQ(m_sim.PendingLearnKey(), 10) << mode;
        const auto press = m_sim.PressKeyCode(0x3A);
        ASSERT_EQ(press.has_value(), c.keyCodeAccepted) << mode;
        EXPECT_EQ((*press)[2], 1);
        EXPECT_EQ((*press)[3], 10);
        EXPECT_EQ((*press)[4], 0x3A);
        EXPECT_EQ(m_sim.LearnTable()[10], 0x3A) << mode;
        EXPECT_EQ(m_sim.LearnTable()[0], 1) << mode;
    }
    // A stop cancels a pending manual learning.
    m_sim.SetLearnAnswer(LearnAnswer::Manual);
    m_sim.Handle(Command({96, 4}), SimClock::now());
    Ask(Command({97}));
    EXPECT_FALSE(m_sim.PressKeyCode(0x11).has_value());
}

TEST_F(SimProcessorTest, MachineSettingsStatusAndSmartHomeMemory) {
    Report settings = Ask(Command({146}));
    EXPECT_EQ(settings[1], 146);
    EXPECT_EQ(settings[2 + 5], 99) << "maximum microphone volume";
    Report write = Command({145, 1, 1, 1, 40, 50, 90, 80, 0, 0, 0, 0, 2, 0x21, 0});
    EXPECT_EQ(Ask(write)[1], 49);
    settings = Ask(Command({146}));
    EXPECT_TRUE(std::equal(settings.begin() + 2, settings.begin() + 16, write.begin() + 2));

    const auto t0 = SimClock::now();
    const Report s0 = m_sim.Handle(Command({14}), t0).reports[0];
    const Report s1 = m_sim.Handle(Command({14}), t0 + std::chrono::milliseconds(300)).reports[0];
    EXPECT_EQ(s0[1], 14);
    EXPECT_FALSE(std::equal(s0.begin() + 2, s0.begin() + 8, s1.begin() + 2)) << "meters move";
    EXPECT_EQ(s0[2 + 7] & 0x0F, 1) << "input format";
    EXPECT_EQ(s0[2 + 8], 235) << "receiver A's RF level";

    EXPECT_EQ(Ask(Command({19, 6850 >> 8, 6850 & 0xFF, 20, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11}))[1],
              49);
    Report read = Ask(Command({20, 6850 >> 8, 6850 & 0xFF, 56}));
    EXPECT_EQ(read[1], 20);
    EXPECT_EQ(read[4], 10) << "cut at the memory's end";
    EXPECT_EQ(read[5 + 9], 10);
    EXPECT_EQ(Ask(Command({20, 7000 >> 8, 7000 & 0xFF, 56}))[4], 0);
}

TEST_F(SimProcessorTest, ResetRestoresTheFactoryState) {
    Ask(Param(9, 1, 14, {0.1f}));
    Ask(Command({4, 1}));
    Ask(Command({104, 0}));
    EXPECT_EQ(m_sim.CurrentMode(), 1) << "104 without 170 does nothing";
    Ask(Command({104, 170}));
    EXPECT_EQ(m_sim.CurrentMode(), 0);
    EXPECT_FALSE(m_sim.LiveDiffers());
    EXPECT_NE(GetFloatBE(m_sim.Mode(1).Values(1, 14).data()), 0.1f);
}

std::vector<Report> Relay(SimProcessor& sim, std::initializer_list<int> payload) {
    // 12 n+4 01 n+2 00 payload checksum
    Report r = Command(
        {18, static_cast<int>(payload.size()) + 4, 1, static_cast<int>(payload.size()) + 2, 0});
    std::uint8_t checksum = 0xFF ^ r[4] ^ r[5];
    std::size_t at = 6;
    for (int b : payload) {
        r[at++] = static_cast<std::uint8_t>(b);
        checksum ^= static_cast<std::uint8_t>(b);
    }
    r[at] = checksum;
    const auto result = sim.Handle(r, SimClock::now());
    EXPECT_FALSE(result.lockStep);
    return result.reports;
}

TEST_F(SimProcessorTest, ZWaveControllerAnswersWithAckAndItsNodeList) {
    auto out = Relay(m_sim, {0x02});
    ASSERT_EQ(out.size(), 2u);
    EXPECT_EQ(out[0][1], 18);
    EXPECT_EQ(out[0][2], 1);
    EXPECT_EQ(out[0][3], 0x06);
    const Report& list = out[1];
    EXPECT_EQ(list[3], 0x01);
    EXPECT_EQ(list[5], 0x01) << "a response";
    EXPECT_EQ(list[6], 0x02);
    EXPECT_EQ(list[9], 29) << "bitmap length";
    EXPECT_EQ(list[10], 0x01) << "node 1, the controller";
    std::uint8_t checksum = 0xFF;
    for (std::size_t i = 4; i < 4u + list[4]; ++i) {
        checksum ^= list[i];
    }
    EXPECT_EQ(list[4u + list[4]], checksum);
    EXPECT_EQ(list[2], list[4] + 2);

    out = Relay(m_sim, {0x42, 0x02});
    ASSERT_EQ(out.size(), 2u);
    EXPECT_EQ(out[1][6], 0x42);
    EXPECT_EQ(out[1][7], 0x02) << "callback id";

    out = Relay(m_sim, {0x13, 5, 3, 0x20, 0x01, 99, 0x25, 67});
    ASSERT_EQ(out.size(), 3u);
    EXPECT_EQ(out[1][5], 0x01) << "the response to send data";
    EXPECT_EQ(out[2][5], 0x00) << "then its callback";
    EXPECT_EQ(out[2][7], 67);
    EXPECT_EQ(out[2][8], 1) << "node 5 is not in the network";

    EXPECT_TRUE(m_sim.Handle(Command({18, 1, 6}), SimClock::now()).reports.empty())
        << "the application's ACK is not answered";
    Report bad = Command({18, 5, 1, 3, 0, 2, 0x00});
    EXPECT_TRUE(m_sim.Handle(bad, SimClock::now()).reports.empty()) << "bad checksum";
}

} // namespace
} // namespace kv::test

namespace kv::test {
namespace {

TEST(SimProcessorMeters, InputLevelsMoveOnTheMeterScaleUnlessHeldStill) {
    SimProcessor sim;
    const auto start = SimClock::now();
    auto levels = [&sim, start](double seconds) {
        const auto at = start + std::chrono::duration_cast<SimClock::duration>(
                                    std::chrono::duration<double>(seconds));
        const Report r = sim.Handle(Command({14}), at).reports.at(0);
        return std::vector<int>(r.begin() + 2, r.begin() + 8);
    };
    std::set<std::vector<int>> seen;
    for (double t = 0; t < 8; t += 0.3) {
        const auto v = levels(t);
        for (int level : v) {
            EXPECT_GE(level, 0);
            EXPECT_LE(level, 60);
        }
        seen.insert(v);
    }
    EXPECT_GT(seen.size(), 20u);
    sim.SetMetersStill(true);
    EXPECT_EQ(levels(1.0), levels(5.5));
    EXPECT_EQ(levels(1.0), (std::vector<int>{24, 18, 0, 0, 36, 34}));
}

} // namespace
} // namespace kv::test
