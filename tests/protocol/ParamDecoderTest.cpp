#include "protocol/ParamDecoder.h"

#include "image/Encodings.h"
#include "image/ParamImage.h"
#include "protocol/ParamTable.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <set>
#include <vector>

namespace kv {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes F(std::initializer_list<float> values) {
    Bytes out;
    for (float v : values) {
        std::uint8_t b[4];
        PutFloatBE(b, v);
        out.insert(out.end(), b, b + 4);
    }
    return out;
}

Bytes U(std::uint32_t v) {
    Bytes out(4);
    PutU32BE(out.data(), v);
    return out;
}

/// The value a slot must hold after decoding: an integer, or a single compared bit for bit.
struct Expect {
    static Expect Int(std::int32_t v) { return {v}; }
    static Expect Float(float v) { return {std::bit_cast<std::int32_t>(v)}; }
    std::int32_t bits;
};

struct Case {
    int module;
    int item;
    Bytes values;
    const MainField* field;
    int entry;
    Expect expect;
};

std::vector<std::int32_t> Slots(const ParamImage& image) {
    std::vector<std::int32_t> slots(kMainSlots);
    for (int s = 0; s < kMainSlots; ++s) {
        slots[static_cast<std::size_t>(s)] = image.Slot(s);
    }
    return slots;
}

/// The slots whose value differs from the snapshot.
std::set<int> ChangedSlots(const std::vector<std::int32_t>& before, const ParamImage& image) {
    std::set<int> changed;
    for (int s = 0; s < kMainSlots; ++s) {
        if (image.Slot(s) != before[static_cast<std::size_t>(s)]) {
            changed.insert(s);
        }
    }
    return changed;
}

class ParamDecoderTest : public ::testing::Test {
protected:
    void SetUp() override { image.InitDefaults(); }

    /// Decodes and checks that exactly the expected slots changed, to the expected values.
    void ExpectOnlyChanges(int module, int item, const Bytes& values,
                           const std::vector<std::pair<int, std::int32_t>>& expected) {
        const auto before = Slots(image);
        DecodeParam(image, static_cast<std::uint8_t>(module), static_cast<std::uint8_t>(item),
                    values);
        std::set<int> touched;
        for (const auto& [slot, bits] : expected) {
            EXPECT_EQ(image.Slot(slot), bits) << "slot " << slot;
            touched.insert(slot);
        }
        for (int s : ChangedSlots(before, image)) {
            EXPECT_TRUE(touched.count(s) == 1) << "changed unrelated slot " << s;
        }
    }

    ParamImage image;
};

TEST_F(ParamDecoderTest, StoresEachRowInItsFieldAndEncoding) {
    using namespace fields;
    using E = Expect;
    const Case cases[] = {
        // x100: the 0.005 rounding, then truncation of the single product.
        {1, 4, F({0.6f}), &micInputVolume, 0, E::Int(60)},
        {1, 7, F({-0.129999995f}), &micInputVolume, 3, E::Int(-13)},
        {1, 13, F({1.2349f}), &autoSubRatio, 0, E::Int(123)},
        {1, 14, F({0.8005f}), &micVolume, 0, E::Int(80)},
        {1, 34, F({-0.004f}), &effectVolume, 0, E::Int(0)},
        {1, 34, F({-0.006f}), &effectVolume, 0, E::Int(-1)},
        {2, 8, F({0.45f}), &echoLevel, 0, E::Int(45)},
        {2, 25, F({0.25f}), &echoDecay, 1, E::Int(25)},
        {2, 26, F({0.7f}), &echoVolume, 0, E::Int(70)},
        {3, 20, F({0.33f}), &reverbLevel, 1, E::Int(33)},
        {3, 24, F({0.5f, 0.5f}), &reverbVolume, 0, E::Int(50)},
        {4, 12, F({0.7005f}), &musicVolume, 0, E::Int(70)},
        {4, 24, F({0.1f}), &sourceLevelSpdif1, 0, E::Int(10)},
        {4, 25, F({0.2f}), &sourceLevelSpdif2, 0, E::Int(20)},
        {4, 26, F({0.3f}), &sourceLevelHdmi1, 0, E::Int(30)},
        {4, 27, F({0.4f}), &sourceLevelHdmi2, 0, E::Int(40)},
        {4, 28, F({0.5f}), &sourceLevelHdmi3, 0, E::Int(50)},
        {4, 29, F({0.6f}), &sourceLevelHdmi4, 0, E::Int(60)},
        {4, 30, F({0.7f}), &sourceLevelBt, 0, E::Int(70)},
        {4, 31, F({0.8f}), &sourceLevelAux, 0, E::Int(80)},
        {4, 32, F({0.9f}), &sourceLevelAux2, 0, E::Int(90)},
        {4, 37, F({0.55f}), &musicBassGain, 0, E::Int(55)},
        {6, 24, F({-12.5f}), &outGain, 1, E::Int(-1250)},
        {5, 20, F({1.0f}), &outDirectLevel, 0, E::Int(100)},
        {8, 21, F({0.12f}), &outReverbLevel, 3, E::Int(12)},
        {11, 22, F({0.34f}), &outEchoLevel, 6, E::Int(34)},
        {12, 23, F({0.56f}), &outMusicLevel, 7, E::Int(56)},
        // Routing flags are read as x100 integers.
        {1, 28, F({1.0f}), &micToChannelA, 1, E::Int(100)},
        {1, 53, F({1.0f}), &micToChannelB, 3, E::Int(100)},
        {1, 27, F({0.0f}), &micToChannelA, 0, E::Int(0)},
        // x10000, rounded to the nearest unit so that slot / 10000 reads back as the slot.
        {1, 8, F({static_cast<float>(1 / 10000.0)}), &micNoiseGate, 0, E::Int(1)},
        {1, 11, F({static_cast<float>(47 / 10000.0)}), &micNoiseGate, 3, E::Int(47)},
        {4, 22, F({static_cast<float>(123 / 10000.0)}), &musicNoiseGate, 0, E::Int(123)},
        // Bytes: the last byte of the first value.
        {1, 12, U(1), &autoSubOn, 0, E::Int(1)},
        {1, 26, U(1), &micEqSwitchA, 0, E::Int(1)},
        {1, 49, U(1), &micEqSwitchB, 0, E::Int(1)},
        {2, 20, U(1), &echoEqSwitch, 1, E::Int(1)},
        {3, 7, U(1), &reverbEqSwitch, 0, E::Int(1)},
        {4, 11, U(1), &musicEqSwitch, 0, E::Int(1)},
        {4, 15, U(1), &musicInputLimiterOff, 0, E::Int(1)},
        {4, 16, U(1), &musicAgcOn, 0, E::Int(1)},
        {4, 23, U(0x0102), &musicSource, 0, E::Int(2)},
        {4, 33, U(3), &hdmiPort, 0, E::Int(3)},
        {5, 16, U(4), &outRole, 0, E::Int(4)},
        {7, 15, U(1), &outEqSwitch, 2, E::Int(1)},
        {9, 19, U(1), &outDelayOff, 4, E::Int(1)},
        {10, 28, U(1), &outCompOff, 5, E::Int(1)},
        {13, 10, U(1), &exciterEqOn, 0, E::Int(1)},
        {13, 11, U(1), &exciterOn, 0, E::Int(1)},
        // (4, 21) keeps the received byte minus 5, which may be negative.
        {4, 21, U(3), &musicItem21, 0, E::Int(-2)},
        {4, 21, U(9), &musicItem21, 0, E::Int(4)},
        // Inverted flags.
        {1, 15, F({0.0f}), &micMute, 0, E::Int(1)},
        {2, 27, F({1.0f}), &echoMute, 0, E::Int(0)},
        {3, 25, F({0.0f, 0.0f}), &reverbMute, 0, E::Int(1)},
        {4, 13, F({0.9f}), &musicMute, 0, E::Int(0)},
        {9, 26, F({0.0f}), &outMute, 4, E::Int(1)},
        {1, 37, U(0), &micBassBoostOn, 0, E::Int(1)},
        {1, 37, U(1), &micBassBoostOn, 0, E::Int(0)},
        // Phase: 1 when the x100 value is 0 or less.
        {7, 25, F({1.0f}), &outPhaseInvert, 2, E::Int(0)},
        {7, 25, F({-1.0f}), &outPhaseInvert, 2, E::Int(1)},
        {7, 25, F({0.0f}), &outPhaseInvert, 2, E::Int(1)},
        // Delay mode from the second value.
        {8, 17, F({1.0f, 0.0f}), &outDelayMode, 3, E::Int(1)},
        {8, 17, F({1.0f, 1.0f}), &outDelayMode, 3, E::Int(0)},
        // Sample counts to milliseconds.
        {2, 10, U(10416), &echoTime, 0, E::Float(217.0f)},
        {2, 22, U(96), &echoPredelay, 1, E::Float(2.0f)},
        {3, 21, U(480), &reverbPredelay, 1, E::Float(10.0f)},
        {12, 18, U(72), &outDelay, 7, E::Float(1.5f)},
        {5, 18, U(4800), &outDelay, 0, E::Float(100.0f)},
        {4, 36, U(500), &musicBassDelay, 0, E::Int(10)},
        // Angular step to Hz.
        {1, 31, F({0.0013089969f}), &micShiftFreqA, 0, E::Int(10)},
        {1, 54, F({HzToAngular(5)}), &micShiftFreqB, 0, E::Int(5)},
        // Steps, raw and rounded singles.
        {3, 10, F({0.37f}), &reverbTime, 0, E::Float(37.0f)},
        {3, 22, F({0.05f}), &reverbTime, 1, E::Float(5.0f)},
        {13, 6, F({0.5f}), &harmonicGain, 0, E::Float(50.0f)},
        {13, 9, F({0.8f}), &exciterVolume, 0, E::Float(80.0f)},
        {4, 17, F({-12.3456f}), &musicAgcLevel, 0, E::Float(-12.3456f)},
        {13, 0, F({119.997f}), &exciterLowFreq, 0, E::Float(RoundedSingle(119.997f))},
        {13, 5, F({-3.0f}), &exciterHighGain, 0, E::Float(-3.005f)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::Message() << "(" << c.module << ", " << c.item << ")");
        image.InitDefaults();
        ExpectOnlyChanges(c.module, c.item, c.values, {{c.field->SlotOf(c.entry), c.expect.bits}});
    }
}

TEST_F(ParamDecoderTest, ExciterRoundingMatchesTheWorkedExample) {
    DecodeParam(image, 13, 0, F({119.997f}));
    EXPECT_NEAR(image.Float(fields::exciterLowFreq), 120.002, 1e-4);
}

TEST_F(ParamDecoderTest, ShiftOffAlsoMarksTheFrequencyOff) {
    using namespace fields;
    image.SetInt(micShiftFreqA, 5);
    image.SetInt(micShiftFreqB, 6);
    ExpectOnlyChanges(1, 33, U(1), {{micShiftOffA.slot, 1}, {micShiftFreqA.slot, 1}});
    ExpectOnlyChanges(1, 33, U(0), {{micShiftOffA.slot, 0}});
    EXPECT_EQ(image.Int(micShiftFreqA), 1);
    ExpectOnlyChanges(1, 56, U(1), {{micShiftOffB.slot, 1}, {micShiftFreqB.slot, 1}});
    EXPECT_EQ(image.Int(micShiftOffA), 0);
}

TEST_F(ParamDecoderTest, DynamicsRecordFillsFourFields) {
    using namespace fields;
    const Bytes record = F({-10.0f, 0.0f, 0.75f, 20.0f, 0.05f, TimeToCoef(10), TimeToCoef(100)});
    const int c = 3;
    DecodeParam(image, static_cast<std::uint8_t>(5 + c), 27, record);
    EXPECT_EQ(image.Float(outCompThreshold, c), -10.0f);
    EXPECT_EQ(image.Float(outCompRatio, c), 4.0f);
    EXPECT_NEAR(image.Float(outCompAttack, c), 10.0, 1e-3);
    EXPECT_NEAR(image.Float(outCompRelease, c), 100.0, 1e-2);
    EXPECT_EQ(image.Float(outCompRatio, c - 1), 0.0f);

    DecodeParam(image, 4, 14, F({-3.0f, 0.0f, 0.5f, 20.0f, 0.05f, TimeToCoef(1), TimeToCoef(50)}));
    EXPECT_EQ(image.Float(musicInputLimiter, 0), -3.0f);
    EXPECT_EQ(image.Float(musicInputLimiter, 1), 2.0f);
    EXPECT_NEAR(image.Float(musicInputLimiter, 2), 1.0, 1e-4);
    EXPECT_NEAR(image.Float(musicInputLimiter, 3), 50.0, 1e-2);
}

TEST_F(ParamDecoderTest, IgnoresWhatItDoesNotKnowOrCannotRead) {
    struct Ignored {
        int module;
        int item;
        Bytes values;
    };
    const Bytes dynamics = F({-10.0f, 0.0f, 0.75f, 20.0f, 0.05f, 0.1f, 0.1f});
    const Ignored cases[] = {
        {0, 14, F({0.5f})},
        {14, 14, F({0.5f})},
        {255, 4, F({0.5f})},
        {1, 0, F({0.5f})},
        {1, 16, F({0.5f, 0.5f, 0.5f, 0.5f, 0.5f})}, // biquad coefficients
        {4, 10, F({0.5f})},
        {5, 29, F({0.5f})}, // level pair record
        {1, 35, F({0.5f})}, // bass enhancement coefficients
        {1, 57, F({0.5f})}, // duplicates of decoded items
        {3, 11, F({0.5f})},
        {3, 23, F({0.5f})},
        {1, 60, U(1)},
        {1, 32, U(100)}, // shift delays
        {1, 55, U(100)},
        {13, 12, F({0.5f})},
        {1, 14, Bytes{0x3F, 0x00, 0x00}}, // shorter than one value
        {1, 14, Bytes{}},
        {5, 27, Bytes(dynamics.begin(), dynamics.end() - 1)},
        {5, 17, F({1.0f})}, // delay mode without its second value
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::Message() << "(" << c.module << ", " << c.item << ")");
        ExpectOnlyChanges(c.module, c.item, c.values, {});
    }
}

TEST_F(ParamDecoderTest, EveryDecodedRowChangesOnlyItsOwnSlots) {
    // A value that every conversion turns into something other than the defaults.
    const Bytes values = F({0.37f, 0.37f, 0.37f, 0.37f, 0.37f, 0.37f, 0.37f});
    for (const ParamRow& row : ParamRows()) {
        SCOPED_TRACE(::testing::Message()
                     << "(" << int{row.module} << ", " << int{row.item} << ")");
        image.InitDefaults();
        const auto before = Slots(image);
        DecodeParam(image, row.module, row.item, values);
        std::set<int> allowed = {row.field->SlotOf(row.entry)};
        if (row.wire == Wire::Dynamics) {
            const DynamicsSlots s = DynamicsSlotsOf(row);
            allowed = {s.threshold, s.ratio, s.attack, s.release};
        }
        if (row.wire == Wire::ShiftOff) {
            allowed.insert(row.item == 33 ? fields::micShiftFreqA.slot
                                          : fields::micShiftFreqB.slot);
        }
        const std::set<int> changed = ChangedSlots(before, image);
        for (int s : changed) {
            EXPECT_TRUE(allowed.count(s) == 1) << "changed unrelated slot " << s;
        }
    }
}

TEST(ParamTableTest, RowsAreUniqueAndInRange) {
    std::set<std::pair<int, int>> seen;
    for (const ParamRow& row : ParamRows()) {
        EXPECT_TRUE(seen.insert({row.module, row.item}).second)
            << "(" << int{row.module} << ", " << int{row.item} << ") twice";
        EXPECT_GE(row.module, kFirstModule);
        EXPECT_LE(row.module, kLastModule);
        ASSERT_NE(row.field, nullptr);
        EXPECT_LT(row.entry, row.field->count);
        EXPECT_GE(row.count, 1);
        EXPECT_LE(row.count, kMaxParamValues);
        EXPECT_EQ(FindParamRow(row.module, row.item), &row);
    }
    EXPECT_EQ(FindParamRow(1, 16), nullptr);
    EXPECT_EQ(FindParamRow(14, 0), nullptr);
    EXPECT_EQ(FindParamRow(1, -1), nullptr);
    EXPECT_EQ(FindParamRow(1, 1000), nullptr);
}

} // namespace
} // namespace kv
