#include "RecordingSink.h"

#include "image/Encodings.h"
#include "image/ParamImage.h"
#include "link/ConnectionState.h"
#include "protocol/Synchronize.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace kv {
namespace {

using test::Recorded;
using test::RecordingSink;
using test::ValueOf;

/// "m/i" for a parameter command, "store@address", "query m/i", "pause N".
std::string Describe(const Recorded& r) {
    if (r.IsPause()) {
        return "pause " + std::to_string(r.pauseMs);
    }
    const auto mi = std::to_string(r.Module()) + "/" + std::to_string(r.Item());
    switch (r.Code()) {
    case kCmdSetParam:
        return mi;
    case kCmdQueryParam:
        return "query " + mi;
    case kCmdStoreWrite:
        return "store@" + std::to_string(r.command[2] * 256 + r.command[3]);
    default:
        return "cmd " + std::to_string(r.Code());
    }
}

std::vector<std::string> Describe(const std::vector<Recorded>& log) {
    std::vector<std::string> out;
    for (const auto& r : log) {
        out.push_back(Describe(r));
    }
    return out;
}

class WriteAllTest : public ::testing::Test {
protected:
    void SetUp() override {
        image.InitDefaults();
        image.SetPreviousBassLevel(0.0f);
    }
    ParamImage& image = GetParamImage();
    RecordingSink sink;
};

/// The processor's order of the scalar parameters for the default image, written out here
/// independently of the implementation.
std::vector<std::string> ExpectedDefaultOrder() {
    std::vector<std::string> e;
    const auto add = [&e](std::initializer_list<const char*> items) {
        e.insert(e.end(), items.begin(), items.end());
    };
    add({"1/26", "3/7", "2/7", "1/49", "3/19", "2/20", "4/11"});
    for (int c = 0; c < 8; ++c) {
        const std::string m = std::to_string(5 + c) + "/";
        const int record13 = 15 * (5 + c) - 17 + 13;
        e.push_back(m + "15");
        e.push_back(m + "19");
        e.push_back(m + "17");
        e.push_back("store@" + std::to_string(7 * record13));
        e.push_back(m + "13");
        e.push_back("store@" + std::to_string(7 * (record13 + 1)));
        e.push_back(m + "14");
        for (const char* item : {"18", "20", "21", "22", "23", "26", "25", "16", "28", "27"}) {
            e.push_back(m + item);
        }
        e.push_back("store@1253");
        e.push_back(m + "29");
        e.push_back(m + "24");
    }
    add({"4/14", "4/15", "1/34", "1/57", "1/15"});
    for (int i = 0; i < 9; ++i) {
        add({"4/13", "pause 30"});
    }
    add({"4/13", "3/25", "2/27"});
    add({"1/27", "1/50", "1/28", "1/51", "1/29", "1/52", "1/30", "1/53"});
    add({"1/4", "1/5", "1/6", "1/7", "1/8", "1/9", "1/10", "1/11"});
    add({"3/24", "2/26", "4/33", "4/23"});
    add({"4/24", "4/25", "4/30", "4/26", "4/27", "4/28", "4/29", "4/31", "4/32"});
    add({"1/33", "1/31", "1/32", "2/8", "3/8", "3/9", "3/10", "3/11", "2/9", "2/10", "2/11",
         "2/12"});
    add({"1/56", "1/54", "1/55", "2/21", "3/20", "3/21", "3/22", "3/23", "2/22", "2/23", "2/24",
         "2/25"});
    add({"4/21", "4/16", "4/17", "4/22", "1/12", "1/13", "1/37", "1/60"});
    add({"store@1305", "1/61", "1/59", "1/58", "1/38", "1/36", "1/35"});
    add({"4/36", "4/37"});
    add({"13/1", "13/0", "13/3", "13/2", "13/5", "13/4", "13/6", "13/7", "13/8", "13/9", "13/10",
         "13/11"});
    return e;
}

TEST_F(WriteAllTest, SendsEveryParameterInTheProcessorsOrder) {
    SendAllParams(false);
    EXPECT_EQ(Describe(sink.Log()), ExpectedDefaultOrder());
}

TEST_F(WriteAllTest, VolumeRestoreStartsWithSilence) {
    SendAllParams(true);
    const auto sent = Describe(sink.Log());
    ASSERT_GE(sent.size(), 3u);
    EXPECT_EQ(sent[0], "1/14");
    EXPECT_EQ(sent[1], "4/12");
    EXPECT_EQ(ValueOf(sink.Log()[0], 0), 0.0f);
    EXPECT_EQ(ValueOf(sink.Log()[1], 0), 0.0f);
    EXPECT_EQ(std::vector<std::string>(sent.begin() + 2, sent.end()), ExpectedDefaultOrder());
}

TEST_F(WriteAllTest, ValuesAndStoredBackClamps) {
    image.SetInt(fields::effectVolume, 80);
    image.SetInt(fields::micToChannelA, 2, 100);
    image.SetInt(fields::musicMute, 1);
    image.SetFloat(fields::harmonicMixRatio, 37.9f);
    image.SetFloat(fields::outDelay, 3, 0.2f);
    image.SetInt(fields::outDelayMode, 4, 1);
    SendAllParams(false);
    const auto log = sink.Log();
    const auto find = [&](const std::string& what, int nth = 0) -> const Recorded& {
        for (const auto& r : log) {
            if (Describe(r) == what && nth-- == 0) {
                return r;
            }
        }
        ADD_FAILURE() << what << " not sent";
        static const Recorded none{};
        return none;
    };
    // Effect volume carries the 0.0005 offset on both items; other levels do not.
    EXPECT_EQ(ValueOf(find("1/34"), 0), static_cast<float>(80 / 100.0 + 0.0005));
    EXPECT_EQ(ValueOf(find("1/57"), 0), static_cast<float>(80 / 100.0 + 0.0005));
    EXPECT_EQ(ValueOf(find("1/29"), 0), 1.0f);
    EXPECT_EQ(ValueOf(find("1/52"), 0), 0.0f);
    EXPECT_EQ(ValueOf(find("4/13"), 0), 0.0f);
    EXPECT_EQ(ValueOf(find("13/8"), 0), 0.37f);
    EXPECT_EQ(image.Float(fields::harmonicMixRatio), 37.0f);
    EXPECT_EQ(test::WordOf(find("8/18"), 0), 72u);
    EXPECT_EQ(image.Float(fields::outDelay, 3), 1.5f);
    EXPECT_EQ(image.Float(fields::echoPredelay, 0), 2.0f);
    EXPECT_EQ(image.Float(fields::echoTime, 1), 217.0f);
    EXPECT_EQ(ValueOf(find("9/17"), 1), 0.0f);
    EXPECT_EQ(image.ReadBand(9, 13).type, kFilterPeq);
    EXPECT_EQ(image.ReadBand(8, 13).type, kFilterHighPass);
    EXPECT_EQ(image.ReadBand(8, 14).type, kFilterLowPass);
    // Music muted: one command, no fade-in.
    int musicMute = 0;
    for (const auto& r : log) {
        musicMute += Describe(r) == "4/13";
    }
    EXPECT_EQ(musicMute, 1);
}

TEST_F(WriteAllTest, SystemBlocksGoOutInChunks) {
    WriteSystemBlocks();
    const auto sent = sink.Commands();
    ASSERT_EQ(sent.size(), 25u);
    const auto system = image.BlockBytes(Block::System);
    for (int i = 0; i < 23; ++i) {
        const auto& c = sent[static_cast<std::size_t>(i)].command;
        EXPECT_EQ(c[2] * 256 + c[3], 56 * i);
        EXPECT_EQ(c[4], i == 22 ? 21 : 56);
        EXPECT_TRUE(std::equal(c.begin() + 5, c.begin() + 5 + c[4], system.begin() + 56 * i));
    }
    EXPECT_EQ(test::Hex(sent[23].command),
              "02 85 05 05 14 04 04 80 80 8A 0A 80 0A 0A 0A 8A 8A 80 8A 0A 8A 85 80 05 80");
    EXPECT_EQ(sent[24].command[2] * 256 + sent[24].command[3], 1253);
    EXPECT_EQ(sent[24].command[4], 32);
}

TEST_F(WriteAllTest, WholeWriteAllWithRamp) {
    image.SetInt(fields::micVolume, 85);
    image.SetInt(fields::musicVolume, 72);
    image.SetHubByte(536, 1);
    SynchronizeWriteAll();
    const auto log = sink.Log();
    const auto all = Describe(log);
    ASSERT_GT(all.size(), 20u);
    const std::size_t start = all.size() - 15;
    EXPECT_EQ(std::vector<std::string>(all.begin() + static_cast<std::ptrdiff_t>(start), all.end()),
              (std::vector<std::string>{"1/14", "1/14", "1/14", "1/14", "1/14", "1/14", "4/12",
                                        "pause 100", "4/12", "pause 100", "4/12", "pause 100",
                                        "query 1/14", "query 4/12", "pause 50"}));
    for (std::size_t i = 0; i < 6; ++i) {
        EXPECT_EQ(ValueOf(log[start + i], 0), static_cast<float>((80 + i) / 100.0 + 0.0005));
    }
    EXPECT_EQ(ValueOf(log[start + 10], 0), static_cast<float>(72 / 100.0 + 0.0005));
    EXPECT_EQ(test::Hex(log[start + 13].command), "02 0A 00 04 0C 01");
    // Commands only: 2 silences + 266 parameters + 25 block writes + 163 bands + 9 ramp steps
    // + 2 queries.
    EXPECT_EQ(sink.Commands().size(), 2u + 266u + 25u + 163u + 9u + 2u);
}

TEST_F(WriteAllTest, WriteAllWithoutRestoreHasNoRamp) {
    g_bParamChanged.store(1);
    SynchronizeWriteAll();
    EXPECT_EQ(sink.Commands().size(), 266u + 25u + 163u + 2u);
    EXPECT_EQ(Describe(sink.Log().back()), "pause 50");
    EXPECT_EQ(g_bParamChanged.load(), 0);
}

TEST_F(WriteAllTest, RampBelowItsStartIsOneCommand) {
    struct Case {
        int mic;
        int music;
        std::vector<std::string> expected;
    };
    const Case cases[] = {
        {50, 10, {"1/14", "4/12"}},
        {80, 70, {"1/14", "4/12", "pause 100"}},
        {79, 71, {"1/14", "4/12", "pause 100", "4/12", "pause 100"}},
        // A damaged volume is sent once instead of ramping through millions of steps.
        {2000000000, -5, {"1/14", "4/12"}},
    };
    for (const auto& c : cases) {
        sink.Clear();
        image.SetInt(fields::micVolume, c.mic);
        image.SetInt(fields::musicVolume, c.music);
        RampVolumes();
        EXPECT_EQ(Describe(sink.Log()), c.expected) << c.mic;
        EXPECT_EQ(ValueOf(sink.Log()[0], 0),
                  VolumeWithOffset(c.mic < 80 || c.mic > 255 ? c.mic : 80));
    }
}

} // namespace
} // namespace kv
