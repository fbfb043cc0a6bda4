#include "RecordingSink.h"

#include "image/Encodings.h"
#include "image/ParamImage.h"
#include "protocol/DelayOperations.h"
#include "protocol/ParamSenders.h"

#include <gtest/gtest.h>

#include <bit>
#include <string>
#include <vector>

namespace kv {
namespace {

using test::Hex;
using test::RecordingSink;

class SettersTest : public ::testing::Test {
protected:
    void SetUp() override { GetParamImage().InitDefaults(); }

    std::vector<std::string> Sent() const {
        std::vector<std::string> out;
        for (const auto& r : sink.Commands()) {
            out.push_back(Hex(r.command));
        }
        return out;
    }

    ParamImage& image = GetParamImage();
    RecordingSink sink;
};

TEST(CommandBytesTest, BuildersLayOutTheReport) {
    const float v = 0.8f;
    std::uint32_t word = std::bit_cast<std::uint32_t>(v);
    const Command param = BuildParamCommand(1, 14, std::span(&word, 1));
    EXPECT_EQ(Hex(param), "02 09 00 01 0E 01 3F 4C CC CD");
    for (std::size_t i = 10; i < kCommandSize; ++i) {
        EXPECT_EQ(param[i], 0) << i;
    }
    EXPECT_EQ(Hex(BuildCommand({14, -1})), "02 0E 00");
    EXPECT_EQ(Hex(BuildCommand({5, 2, -1, 7})), "02 05 02");
    EXPECT_EQ(Hex(BuildParamQuery(4, 12)), "02 0A 00 04 0C 01");
    EXPECT_EQ(Hex(BuildStoreRead(3248, 51)), "02 30 0C B0 33");
    const std::uint8_t data[3] = {0xAA, 0xBB, 0xCC};
    EXPECT_EQ(Hex(BuildStoreWrite(1305, data)), "02 85 05 19 03 AA BB CC");
    // Never more than 13 values or 56 store bytes, whatever the caller passes.
    const std::vector<std::uint32_t> many(20, 0x01010101);
    EXPECT_EQ(BuildParamCommand(1, 1, many)[5], 13);
    EXPECT_EQ(BuildParamCommand(1, 1, many)[58], 0);
    const std::vector<std::uint8_t> big(80, 0x11);
    const Command store = BuildStoreWrite(0, big);
    EXPECT_EQ(store[4], 56);
    EXPECT_EQ(store[60], 0x11);
}

TEST_F(SettersTest, SendParamRepeatsTheValue) {
    SendParam(1, 14, 0.8f, 1);
    SendParam(3, 24, 0.5f, 2);
    SendParamByte(4, 23, 3);
    SendParamSamples(5, 18, 100.0);
    EXPECT_EQ(Sent(), (std::vector<std::string>{
                          "02 09 00 01 0E 01 3F 4C CC CD",
                          "02 09 00 03 18 02 3F 00 00 00 3F 00 00 00",
                          "02 09 00 04 17 01 00 00 00 03",
                          "02 09 00 05 12 01 00 00 12 C0",
                      }));
}

/// A slot value for a setter: an integer, or a single given as its bits.
struct Value {
    static Value Int(std::int32_t v) { return {v}; }
    static Value Float(float v) { return {std::bit_cast<std::int32_t>(v)}; }
    std::int32_t bits;
};

struct SetterCase {
    const MainField* field;
    int entry;
    Value value;
    std::vector<std::string> expected;
};

TEST_F(SettersTest, EachFieldSendsItsCommandBytes) {
    using namespace fields;
    using V = Value;
    const SetterCase cases[] = {
        {&micVolume, 0, V::Int(80), {"02 09 00 01 0E 01 3F 4C CC CD"}},
        {&micInputVolume, 2, V::Int(60), {"02 09 00 01 06 01 3F 19 99 9A"}},
        {&micNoiseGate, 0, V::Int(1), {"02 09 00 01 08 01 38 D1 B7 17"}},
        {&autoSubOn, 0, V::Int(1), {"02 09 00 01 0C 01 00 00 00 01"}},
        {&micMute, 0, V::Int(1), {"02 09 00 01 0F 01 00 00 00 00"}},
        {&micMute, 0, V::Int(0), {"02 09 00 01 0F 01 3F 80 00 00"}},
        {&micEqSwitchB, 0, V::Int(1), {"02 09 00 01 31 01 00 00 00 01"}},
        {&micShiftOffA, 0, V::Int(1), {"02 09 00 01 21 01 00 00 00 01"}},
        {&effectVolume,
         0,
         V::Int(35),
         {"02 09 00 01 22 01 3E B3 33 33", "02 09 00 01 39 01 3E B3 33 33"}},
        {&micBassBoostOn,
         0,
         V::Int(1),
         {"02 09 00 01 25 01 00 00 00 00", "02 09 00 01 3C 01 00 00 00 00"}},
        {&micBassBoostOn,
         0,
         V::Int(0),
         {"02 09 00 01 25 01 00 00 00 01", "02 09 00 01 3C 01 00 00 00 01"}},
        {&echoLevel, 1, V::Int(45), {"02 09 00 02 15 01 3E E6 66 66"}},
        {&echoTime, 0, V::Float(217.9f), {"02 09 00 02 0A 01 00 00 28 B0"}},
        {&echoTime, 1, V::Float(1.0f), {"02 09 00 02 17 01 00 00 00 60"}},
        {&echoPredelay, 0, V::Float(0.5f), {"02 09 00 02 09 01 00 00 00 60"}},
        {&echoMute, 0, V::Int(0), {"02 09 00 02 1B 01 3F 80 00 00"}},
        {&reverbPredelay, 1, V::Float(10.0f), {"02 09 00 03 15 01 00 00 01 E0"}},
        {&reverbTime,
         0,
         V::Float(37.0f),
         {"02 09 00 03 0A 01 3E BD 70 A4", "02 09 00 03 0B 01 3E BD 70 A4"}},
        {&reverbTime,
         1,
         V::Float(5.0f),
         {"02 09 00 03 16 01 3D 4C CC CD", "02 09 00 03 17 01 3D 4C CC CD"}},
        {&reverbVolume, 0, V::Int(50), {"02 09 00 03 18 02 3F 00 00 00 3F 00 00 00"}},
        {&reverbMute, 0, V::Int(1), {"02 09 00 03 19 02 00 00 00 00 00 00 00 00"}},
        {&musicVolume, 0, V::Int(70), {"02 09 00 04 0C 01 3F 33 33 33"}},
        {&musicItem21, 0, V::Int(-2), {"02 09 00 04 15 01 00 00 00 03"}},
        {&musicNoiseGate, 0, V::Int(123), {"02 09 00 04 16 01 3C 49 85 F0"}},
        {&musicAgcLevel, 0, V::Float(-3.5f), {"02 09 00 04 11 01 C0 60 00 00"}},
        {&sourceLevelBt, 0, V::Int(100), {"02 09 00 04 1E 01 3F 80 00 00"}},
        {&sourceLevelHdmi4, 0, V::Int(50), {"02 09 00 04 1D 01 3F 00 00 00"}},
        {&musicBassDelay, 0, V::Int(10), {"02 09 00 04 24 01 00 00 01 E0"}},
        {&musicBassGain, 0, V::Int(25), {"02 09 00 04 25 01 3E 80 00 00"}},
        {&hdmiPort, 0, V::Int(2), {"02 09 00 04 21 01 00 00 00 02"}},
        {&musicInputLimiterOff, 0, V::Int(1), {"02 09 00 04 0F 01 00 00 00 01"}},
        {&outRole, 3, V::Int(4), {"02 09 00 08 10 01 00 00 00 04"}},
        {&outDelayOff, 7, V::Int(1), {"02 09 00 0C 13 01 00 00 00 01"}},
        {&outDelay, 0, V::Float(0.5f), {"02 09 00 05 12 01 00 00 00 48"}},
        {&outDelay, 1, V::Float(100.0f), {"02 09 00 06 12 01 00 00 12 C0"}},
        {&outGain, 1, V::Int(-1250), {"02 09 00 06 18 01 C1 48 00 00"}},
        {&outPhaseInvert, 2, V::Int(1), {"02 09 00 07 19 01 BF 80 00 00"}},
        {&outPhaseInvert, 2, V::Int(0), {"02 09 00 07 19 01 3F 80 00 00"}},
        {&outMute, 0, V::Int(1), {"02 09 00 05 1A 01 00 00 00 00"}},
        {&outMusicLevel, 7, V::Int(100), {"02 09 00 0C 17 01 3F 80 00 00"}},
        {&outCompOff, 4, V::Int(1), {"02 09 00 09 1C 01 00 00 00 01"}},
        {&outCompRatio,
         0,
         V::Float(4.0f),
         {"02 09 00 05 1B 07 00 00 00 00 00 00 00 00 3F 40 00 00 41 A0 00 00 3D 4C CC CD "
          "3F 80 00 00 3F 80 00 00"}},
        {&exciterLowFreq, 0, V::Float(120.0f), {"02 09 00 0D 00 01 42 F0 00 00"}},
        {&harmonicGain, 0, V::Float(50.0f), {"02 09 00 0D 06 01 3F 00 00 00"}},
        {&exciterOn, 0, V::Int(1), {"02 09 00 0D 0B 01 00 00 00 01"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.field->name << "[" << c.entry << "]");
        image.InitDefaults();
        sink.Clear();
        ASSERT_TRUE(SetParam(*c.field, c.entry, c.value.bits));
        EXPECT_EQ(Sent(), c.expected);
    }
}

TEST_F(SettersTest, ClampsAreStoredBack) {
    using namespace fields;
    SetParamFloat(echoTime, 0, 217.9f);
    SetParamFloat(echoTime, 1, 1.0f);
    SetParamFloat(echoPredelay, 0, 0.5f);
    SetParamFloat(reverbPredelay, 1, -3.0f);
    SetParamFloat(outDelay, 4, 0.5f);
    SetParamFloat(outDelay, 5, 12.25f);
    SetChannelDelay(6, std::bit_cast<float>(0x7FC00000u)); // not a number
    EXPECT_EQ(image.Float(echoTime, 0), 217.0f);
    EXPECT_EQ(image.Float(echoTime, 1), 2.0f);
    EXPECT_EQ(image.Float(echoPredelay, 0), 2.0f);
    EXPECT_EQ(image.Float(reverbPredelay, 1), 2.0f);
    EXPECT_EQ(image.Float(outDelay, 4), 1.5f);
    EXPECT_EQ(image.Float(outDelay, 5), 12.25f);
    EXPECT_EQ(image.Float(outDelay, 6), 1.5f);
}

TEST_F(SettersTest, BassBoostSwitchKeepsItsCopy) {
    SetParam(fields::micBassBoostOn, 0, 1);
    EXPECT_EQ(image.Int(fields::micBassBoostOnCopy), 1);
    SetParam(fields::micBassBoostOn, 0, 0);
    EXPECT_EQ(image.Int(fields::micBassBoostOnCopy), 0);
}

TEST_F(SettersTest, RejectsEntriesOutsideTheField) {
    EXPECT_FALSE(SetParam(fields::micInputVolume, 4, 10));
    EXPECT_FALSE(SetParam(fields::outGain, -1, 10));
    EXPECT_TRUE(sink.Log().empty());
}

TEST_F(SettersTest, MicRoutingSendsBothChannels) {
    SetMicRouting(1, true);
    SetMicRouting(3, false);
    EXPECT_EQ(Sent(), (std::vector<std::string>{
                          "02 09 00 01 1C 01 3F 80 00 00",
                          "02 09 00 01 33 01 00 00 00 00",
                          "02 09 00 01 1E 01 00 00 00 00",
                          "02 09 00 01 35 01 3F 80 00 00",
                      }));
    EXPECT_EQ(image.Int(fields::micToChannelA, 1), 100);
    EXPECT_EQ(image.Int(fields::micToChannelB, 1), 0);
    EXPECT_EQ(image.Int(fields::micToChannelA, 3), 0);
    EXPECT_EQ(image.Int(fields::micToChannelB, 3), 100);
    // The generic setter of either routing field takes the same road, also with a
    // descriptor looked up by name (a copy of the field's).
    sink.Clear();
    SetParam(*FindMainField("micToChannelB"), 1, 100);
    EXPECT_EQ(Sent(), (std::vector<std::string>{"02 09 00 01 1C 01 00 00 00 00",
                                                "02 09 00 01 33 01 3F 80 00 00"}));
}

TEST_F(SettersTest, FrequencyShiftSendsOffAngleAndDelay) {
    struct Case {
        int channel;
        int hz;
        std::vector<std::string> expected;
        int off;
    };
    const Case cases[] = {
        // 10 Hz: w = 0.0013089969, delay 1000 / 40 - 25 = 0 ms.
        {0,
         10,
         {"02 09 00 01 21 01 00 00 00 00", "02 09 00 01 1F 01 3A AB 92 A6",
          "02 09 00 01 20 01 00 00 00 00"},
         0},
        // 5 Hz: delay 25 ms = 1200 samples.
        {0,
         5,
         {"02 09 00 01 21 01 00 00 00 00", "02 09 00 01 1F 01 3A 2B 92 A6",
          "02 09 00 01 20 01 00 00 04 B0"},
         0},
        // 1 Hz is off; the delay is 225 ms = 10800 samples.
        {1,
         1,
         {"02 09 00 01 38 01 00 00 00 01", "02 09 00 01 36 01 39 09 42 1E",
          "02 09 00 01 37 01 00 00 2A 30"},
         1},
        // 0 Hz has no finite delay: sample count 0.
        {1,
         0,
         {"02 09 00 01 38 01 00 00 00 00", "02 09 00 01 36 01 00 00 00 00",
          "02 09 00 01 37 01 00 00 00 00"},
         0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.hz);
        sink.Clear();
        SetShiftFrequency(c.channel, c.hz);
        EXPECT_EQ(Sent(), c.expected);
        const auto& freq = c.channel == 0 ? fields::micShiftFreqA : fields::micShiftFreqB;
        const auto& off = c.channel == 0 ? fields::micShiftOffA : fields::micShiftOffB;
        EXPECT_EQ(image.Int(freq), c.hz);
        EXPECT_EQ(image.Int(off), c.off);
    }
}

TEST_F(SettersTest, MusicMuteFadesIn) {
    SetMusicMute(true);
    ASSERT_EQ(sink.Log().size(), 1u);
    EXPECT_EQ(Hex(sink.Log()[0].command), "02 09 00 04 0D 01 00 00 00 00");
    EXPECT_EQ(image.Int(fields::musicMute), 1);

    sink.Clear();
    SetParam(fields::musicMute, 0, 0);
    const auto log = sink.Log();
    ASSERT_EQ(log.size(), 19u);
    for (int i = 0; i < 9; ++i) {
        const auto& cmd = log[static_cast<std::size_t>(2 * i)];
        EXPECT_EQ(cmd.Module(), 4);
        EXPECT_EQ(cmd.Item(), 13);
        EXPECT_EQ(test::ValueOf(cmd, 0), static_cast<float>(i / 10.0)) << i;
        EXPECT_EQ(log[static_cast<std::size_t>(2 * i + 1)].pauseMs, 30);
    }
    EXPECT_EQ(Hex(log[18].command), "02 09 00 04 0D 01 3F 80 00 00");
    EXPECT_EQ(image.Int(fields::musicMute), 0);
}

TEST_F(SettersTest, HdmiPortGoesBeforeTheSource) {
    SetMusicSource(2, 3);
    SetMusicSource(4);
    EXPECT_EQ(Sent(), (std::vector<std::string>{
                          "02 09 00 04 21 01 00 00 00 03",
                          "02 09 00 04 17 01 00 00 00 02",
                          "02 09 00 04 17 01 00 00 00 04",
                      }));
}

TEST_F(SettersTest, DelayModeReprogramsTheCrossover) {
    // CH3 (module 7): band 13 is record 101 (offset 707 = 02C3), band 14 record 102.
    image.WriteBand(7, 13, 0, 1200, 0.707, kFilterPeq);
    SetChannelDelayMode(2, 1);
    auto sent = sink.Commands();
    ASSERT_EQ(sent.size(), 5u);
    EXPECT_EQ(Hex(sent[0].command), "02 09 00 07 11 02 3F 80 00 00 00 00 00 00");
    EXPECT_EQ(Hex(sent[1].command), "02 85 02 C3 07 00 96 04 B0 02 C3 01");
    EXPECT_EQ(sent[2].Module(), 7);
    EXPECT_EQ(sent[2].Item(), 13);
    EXPECT_EQ(Hex(sent[3].command), "02 85 02 CA 07 00 96 06 A4 02 C3 01");
    EXPECT_EQ(sent[4].Item(), 14);
    EXPECT_EQ(image.Int(fields::outDelayMode, 2), 1);

    sink.Clear();
    SetChannelDelayMode(2, 0);
    sent = sink.Commands();
    ASSERT_EQ(sent.size(), 5u);
    EXPECT_EQ(Hex(sent[0].command), "02 09 00 07 11 02 3F 80 00 00 3F 80 00 00");
    EXPECT_EQ(image.ReadBand(7, 13).type, kFilterHighPass);
    EXPECT_EQ(image.ReadBand(7, 13).freqHz, 1200);
    EXPECT_EQ(image.ReadBand(7, 14).type, kFilterLowPass);
    EXPECT_EQ(image.ReadBand(7, 14).freqHz, 1700);
}

TEST_F(SettersTest, CrossoverIndexFollowsBand13) {
    struct Case {
        double freq;
        int k;
    };
    const Case cases[] = {{500, 0}, {600, 1}, {1200, 7}, {3000, 25}, {750, 0}, {3100, 0}, {0, 0}};
    for (const auto& c : cases) {
        image.WriteBand(5, 13, 0, c.freq, 0.707, kFilterHighPass);
        EXPECT_EQ(GetDelayCrossoverIndex(0), c.k) << c.freq;
    }
    SetDelayCrossover(0, 25);
    EXPECT_EQ(image.ReadBand(5, 13).freqHz, 3000);
    EXPECT_EQ(image.ReadBand(5, 14).freqHz, 3500);
    SetDelayCrossover(0, 99); // beyond the slider: the last step
    EXPECT_EQ(image.ReadBand(5, 13).freqHz, 3000);
}

} // namespace
} // namespace kv
