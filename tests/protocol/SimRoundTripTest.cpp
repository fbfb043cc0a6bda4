#include "RoundTrip.h"
#include "SimLink.h"

#include "image/ModeFile.h"
#include "image/ParamImage.h"
#include "link/ConnectionState.h"
#include "protocol/CommandSink.h"
#include "protocol/Synchronize.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <random>
#include <string>

namespace kv {
namespace {

using namespace std::chrono_literals;
using namespace fields;
using test::SimLink;

std::string TempPath(const std::string& name) {
    return (std::filesystem::temp_directory_path() /
            ("kv-protocol-" + std::to_string(::getpid()) + "-" + name))
        .string();
}

class SimRoundTripTest : public ::testing::TestWithParam<unsigned> {};

TEST_P(SimRoundTripTest, ReadAllGivesBackTheProcessorsState) {
    ParamImage sent;
    std::mt19937 rng(GetParam());
    if (GetParam() == 0) {
        sent.InitDefaults();
        // The processor keeps what the application sends: times at their minimums.
        for (int ch = 0; ch < 2; ++ch) {
            sent.SetFloat(echoPredelay, ch, 2.0f);
            sent.SetFloat(reverbPredelay, ch, 2.0f);
        }
        for (int c = 0; c < kOutputChannels; ++c) {
            sent.SetFloat(outDelay, c, 1.5f);
            sent.SetFloat(outCompRatio, c, 1.0f);
        }
        sent.SetFloat(musicInputLimiter, 1, 1.0f);
    } else {
        test::FillRandomImage(sent, rng);
    }
    const std::string path = TempPath("state.amod");
    ASSERT_TRUE(WriteModeFile(path, sent).ok());
    sim::SimOptions options;
    options.statePath = path;
    SimLink link(options);
    ASSERT_TRUE(link.Connected());

    ParamImage& got = GetParamImage();
    got.InitDefaults();
    EXPECT_EQ(SynchronizeReadAll(), ReadAllResult::Done);
    test::ExpectReadBackMatches(sent, got);
    std::remove(path.c_str());
}

TEST_P(SimRoundTripTest, WriteAllThenReadAllCarriesTheImage) {
    ParamImage sent;
    std::mt19937 rng(GetParam() + 1000);
    test::FillRandomImage(sent, rng);
    SimLink link;
    ASSERT_TRUE(link.Connected());

    // Connected: the read-all brings the processor's state, then a mode file is loaded over
    // it and written. Odd cases keep volumes with the modes, so the ramp sends them too.
    ParamImage& image = GetParamImage();
    image.InitDefaults();
    ASSERT_EQ(SynchronizeReadAll(), ReadAllResult::Done);
    const bool volumesSent = GetParam() % 2 == 1;
    image.SetHubByte(536, volumesSent ? 1 : 0);
    const int processorMic = image.Int(micVolume);
    const int processorMusic = image.Int(musicVolume);
    image.SetMainBlock(sent.MainBlock());
    for (Block b : {Block::System, Block::Extension, Block::Routing, Block::Tail}) {
        image.WriteBlock(b, 0, sent.BlockBytes(b));
    }
    SynchronizeWriteAll();
    ParamImage expected;
    test::ExpectedAfterWriteAll(sent, volumesSent, processorMic, processorMusic, expected);

    image.InitDefaults();
    EXPECT_EQ(SynchronizeReadAll(), ReadAllResult::Done);
    test::ExpectReadBackMatches(expected, image);
}

INSTANTIATE_TEST_SUITE_P(Images, SimRoundTripTest, ::testing::Values(0u, 1u, 2u, 3u));

TEST(SimReadAllTest, IdentityAndVersionChecks) {
    struct Case {
        std::string model;
        int version;
        ReadAllResult result;
        int commands;
    };
    const Case cases[] = {
        {"kv5930q", 18, ReadAllResult::Done, 7 + 59 + 2},
        {"Rs483", 18, ReadAllResult::Done, 7 + 59 + 2},
        {"MX2240", 18, ReadAllResult::UnknownModel, 8},
        {"KV5930Q", 17, ReadAllResult::WrongVersion, 4},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.model);
        sim::SimOptions options;
        options.identity.model = c.model;
        options.identity.commVersion = c.version;
        SimLink link(options);
        ASSERT_TRUE(link.Connected());
        GetParamImage().InitDefaults();
        EXPECT_EQ(SynchronizeReadAll(), c.result);
        // One more waiting command: it is written only after the last one was answered.
        CommandSink().Write(BuildCommand({kCmdPing}));
        const int handled = link.Sim().CommandsHandled();
        EXPECT_GE(handled, c.commands);
        EXPECT_LE(handled, c.commands + 1);
    }
}

TEST(SimReadAllTest, ThreadPostsTheEndAlsoWhenTheProcessorGoes) {
    sim::SimOptions options;
    options.disconnectAfter = 20; // unplugged during the store reads
    SimLink link(options);
    ASSERT_TRUE(link.Connected());
    g_bStatusPoll.store(1);
    StartReadAllThread();
    EXPECT_TRUE(link.WaitForSync(notice::SyncKind::ReadAll, 10s));
    EXPECT_TRUE(WaitForSyncThreads(5s));
    EXPECT_EQ(g_bStatusPoll.load(), 1);
    EXPECT_LE(link.Sim().CommandsHandled(), 21);
}

TEST(SimReadAllTest, RecallMakesTheProcessorAskForAReadAll) {
    SimLink link;
    ASSERT_TRUE(link.Connected());
    GetParamImage().InitDefaults();
    ASSERT_EQ(SynchronizeReadAll(), ReadAllResult::Done);
    CommandSink().Write(BuildCommand({kCmdRecallMode, 2}));
    EXPECT_TRUE(link.WaitForSync(notice::SyncKind::ReadAll, 10s));
    EXPECT_TRUE(WaitForSyncThreads(5s));
    EXPECT_EQ(g_nCurrentMode.load(), 2);
}

} // namespace
} // namespace kv
