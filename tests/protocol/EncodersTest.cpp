#include "RecordingSink.h"

#include "image/Encodings.h"
#include "image/ParamImage.h"
#include "protocol/BiquadDesigner.h"
#include "protocol/CoefficientEncoders.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <limits>
#include <string>

namespace kv {
namespace {

using test::Hex;
using test::RecordingSink;
using test::ValueOf;

std::uint32_t Bits(float v) {
    return std::bit_cast<std::uint32_t>(v);
}

TEST(LevelPairTest, GainsAndConstants) {
    struct Case {
        float db;
        float g1;
        float g2;
    };
    const Case cases[] = {
        {0.0f, 1.0f, 1.0f},
        {-6.0f, 0.50118721f, 0.58089334f},
        {-12.0f, 0.25118864f, 0.34381661f},
        {6.0f, 1.99526227f, 1.75403249f},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.db);
        for (auto kind : {LevelPairKind::PositionTrim, LevelPairKind::BassBoost}) {
            const LevelPairRecord r = BuildLevelPair(c.db, kind);
            EXPECT_FLOAT_EQ(r[0], c.g1);
            EXPECT_FLOAT_EQ(r[1], c.g2);
            EXPECT_EQ(Bits(r[4]), Bits(r[0]));
            EXPECT_EQ(Bits(r[5]), Bits(r[1]));
        }
    }
    const LevelPairRecord trim = BuildLevelPair(-6.0f, LevelPairKind::PositionTrim);
    EXPECT_EQ(Bits(trim[2]), 0x3F7EFF25u);
    EXPECT_EQ(Bits(trim[3]), 0xBFFF7EF1u);
    const LevelPairRecord bass = BuildLevelPair(-6.0f, LevelPairKind::BassBoost);
    EXPECT_EQ(Bits(bass[2]), 0x3F7D554Au);
    EXPECT_EQ(Bits(bass[3]), 0xBFFEA8DCu);
}

TEST(LevelPairTest, SecondGainUsesSinglePrecisionSteps) {
    // y = single(single(x * x) * 0.0022594517 + single(x * 0.799902)), then 10^(y / 20).
    for (float x : {-11.0f, -7.3f, -1.1f, 2.9f, 9.7f}) {
        const float xx = x * x;
        const float a = xx * 0.0022594517f;
        const float b = x * 0.799902f;
        const float y = a + b;
        EXPECT_EQ(Bits(BuildLevelPair(x, LevelPairKind::PositionTrim)[1]),
                  Bits(static_cast<float>(std::pow(10.0, y / 20.0))))
            << x;
    }
}

TEST(LevelPairTest, NeverCarriesANonFiniteValue) {
    const float inputs[] = {std::numeric_limits<float>::quiet_NaN(),
                            std::numeric_limits<float>::infinity(),
                            -std::numeric_limits<float>::infinity(), 1.0e30f, -1.0e30f};
    for (float x : inputs) {
        for (float v : BuildLevelPair(x, LevelPairKind::BassBoost)) {
            EXPECT_TRUE(std::isfinite(v)) << x;
        }
    }
    EXPECT_EQ(BuildLevelPair(std::numeric_limits<float>::quiet_NaN(), LevelPairKind::BassBoost),
              BuildLevelPair(0.0f, LevelPairKind::BassBoost));
}

TEST(DynamicsRecordTest, ValuesOfTheWorkedExample) {
    const DynamicsRecord r = BuildDynamicsRecord(-10.0f, 4.0f, 10.0f, 100.0f);
    EXPECT_EQ(Bits(r[0]), 0xC1200000u);
    EXPECT_EQ(Bits(r[1]), 0x00000000u);
    EXPECT_EQ(Bits(r[2]), 0x3F400000u);
    EXPECT_EQ(Bits(r[3]), 0x41A00000u);
    EXPECT_EQ(Bits(r[4]), 0x3D4CCCCDu);
    // The worked figures carry six significant digits.
    EXPECT_NEAR(r[5], 0.00208116, 0.00208116 * 1e-5);
    EXPECT_NEAR(r[6], 0.000208312, 0.000208312 * 1e-5);
    EXPECT_NEAR(BuildDynamicsRecord(0, 1, 1, 1)[5], 0.0206178, 0.0206178 * 1e-5);
    EXPECT_EQ(BuildDynamicsRecord(0, 1, 1, 1)[2], 0.0f);
}

TEST(DynamicsRecordTest, DegenerateSettingsStayFinite) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    struct Case {
        float threshold, ratio, attack, release;
    };
    // Ratio 0 (the default image), ratio below 1, zero and negative times, non-numbers.
    const Case cases[] = {{0, 0, 0, 0},
                          {-20, 0.5f, -1, 0},
                          {nan, nan, nan, nan},
                          {inf, inf, inf, inf},
                          {-inf, -inf, 1e30f, 1e-30f}};
    for (const auto& c : cases) {
        const DynamicsRecord r = BuildDynamicsRecord(c.threshold, c.ratio, c.attack, c.release);
        for (float v : r) {
            EXPECT_TRUE(std::isfinite(v));
        }
    }
    // A ratio below 1 is sent as ratio 1; a zero time gives the coefficient 1.0.
    EXPECT_EQ(BuildDynamicsRecord(0, 0.5f, 0, 0)[2], 0.0f);
    EXPECT_EQ(BuildDynamicsRecord(0, 0, 0, 0)[5], 1.0f);
}

TEST(BiquadValuesTest, SendsNegatedFeedbackThenFeedForward) {
    const Biquad s = DesignBiquad(kFilterPeq, 3.0, 1000.0, 1.414);
    const BiquadRecord r = BiquadValues(kFilterPeq, 3.0, 1000.0, 1.414);
    EXPECT_EQ(r[0], static_cast<float>(-s.a1));
    EXPECT_EQ(r[1], static_cast<float>(-s.a2));
    EXPECT_EQ(r[2], static_cast<float>(s.b0));
    EXPECT_EQ(r[3], static_cast<float>(s.b1));
    EXPECT_EQ(r[4], static_cast<float>(s.b2));
}

TEST(BiquadValuesTest, QZeroAndDegenerateBandsPassThrough) {
    const BiquadRecord unity = {0.0f, 0.0f, 1.0f, 0.0f, 0.0f};
    // Every type with Q 0 (record 178 of the default image is type 0, 0 Hz, Q 0).
    for (int type = 0; type <= 23; ++type) {
        const BiquadRecord r = BiquadValues(type, -15.0, 0.0, 0.0);
        for (float v : r) {
            EXPECT_TRUE(std::isfinite(v)) << "type " << type;
        }
        if (type <= kFilterHighShelf || type > kFilterLastType) {
            EXPECT_EQ(r, unity) << "type " << type;
        }
    }
    // A gain far beyond the record's range would overflow a single.
    EXPECT_EQ(BiquadValues(kFilterPeq, 6000.0, 1000.0, 1.0), unity);
    EXPECT_EQ(BiquadValues(kFilterPeq, std::nan(""), 1000.0, 1.0), unity);
}

class EncoderSettersTest : public ::testing::Test {
protected:
    void SetUp() override { GetParamImage().InitDefaults(); }
    ParamImage& image = GetParamImage();
    RecordingSink sink;
};

TEST_F(EncoderSettersTest, BassBoostOrderFollowsTheDirection) {
    // From 0 to -6 dB (falling).
    SetMicBassBoostLevel(-6.0f);
    auto sent = sink.Commands();
    ASSERT_EQ(sent.size(), 7u);
    EXPECT_EQ(Hex(sent[0].command), "02 85 05 19 02 C0 C0");
    const int falling[] = {61, 59, 58, 38, 36, 35};
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(sent[static_cast<std::size_t>(i + 1)].Module(), 1);
        EXPECT_EQ(sent[static_cast<std::size_t>(i + 1)].Item(), falling[i]);
    }
    EXPECT_EQ(sent[1].Count(), 6);
    EXPECT_FLOAT_EQ(ValueOf(sent[1], 0), 0.50118721f);
    EXPECT_EQ(ValueOf(sent[2], 0), static_cast<float>(std::pow(10.0, -0.3)));
    EXPECT_FLOAT_EQ(ValueOf(sent[6], 0), 1.99526227f);
    EXPECT_EQ(image.PreviousBassLevel(), -6.0f);
    EXPECT_EQ(image.TailValue(), -6.0f);

    // From -6 to 0 dB (rising).
    sink.Clear();
    SetMicBassBoostLevel(0.0f);
    sent = sink.Commands();
    ASSERT_EQ(sent.size(), 7u);
    const int rising[] = {58, 61, 59, 35, 38, 36};
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(sent[static_cast<std::size_t>(i + 1)].Item(), rising[i]);
    }
    EXPECT_EQ(ValueOf(sent[1], 0), 1.0f);
}

TEST_F(EncoderSettersTest, PositionTrimWritesTheExtensionBlockThenTheRecord) {
    SetPositionTrim(2, -6.0f);
    const auto sent = sink.Commands();
    ASSERT_EQ(sent.size(), 2u);
    // 32 bytes at 1253: channel 2's entry is -6.0 (C0 C0 00 00), the others 0.
    std::string block = "02 85 04 E5 20";
    for (int i = 0; i < 32; ++i) {
        block += (i == 8 || i == 9) ? " C0" : " 00";
    }
    EXPECT_EQ(Hex(sent[0].command), block);
    EXPECT_EQ(sent[1].Module(), 7);
    EXPECT_EQ(sent[1].Item(), 29);
    EXPECT_EQ(sent[1].Count(), 6);
    EXPECT_FLOAT_EQ(ValueOf(sent[1], 0), 0.50118721f);
    EXPECT_EQ(test::WordOf(sent[1], 2), 0x3F7EFF25u);
}

TEST_F(EncoderSettersTest, CompressorAndLimiterStoreThenSend) {
    SetCompressor(3, -10.0f, 4.0f, 10.0f, 100.0f);
    SetMusicInputLimiter(-3.0f, 2.0f, 1.0f, 50.0f);
    const auto sent = sink.Commands();
    ASSERT_EQ(sent.size(), 2u);
    EXPECT_EQ(Hex(sent[0].command).substr(0, 17), "02 09 00 08 1B 07");
    EXPECT_EQ(test::WordOf(sent[0], 0), 0xC1200000u);
    EXPECT_EQ(test::WordOf(sent[0], 2), 0x3F400000u);
    EXPECT_EQ(Hex(sent[1].command).substr(0, 17), "02 09 00 04 0E 07");
    EXPECT_EQ(ValueOf(sent[1], 2), 0.5f);
    EXPECT_EQ(image.Float(fields::outCompRatio, 3), 4.0f);
    EXPECT_EQ(image.Float(fields::outCompRelease, 3), 100.0f);
    EXPECT_EQ(image.Float(fields::musicInputLimiter, 3), 50.0f);
}

TEST_F(EncoderSettersTest, PositioningResetZeroesTrimsAndRewritesTheRoom) {
    for (int c = 0; c < 8; ++c) {
        image.SetExtensionTrim(c, -3.0f);
    }
    std::array<std::uint8_t, 20> moved{};
    moved.fill(0x11);
    image.WriteBlock(Block::Routing, 0, moved);
    ResetPositioning();
    const auto sent = sink.Commands();
    ASSERT_EQ(sent.size(), 17u);
    for (int c = 0; c < 8; ++c) {
        EXPECT_TRUE(sent[static_cast<std::size_t>(2 * c)].IsStoreWrite());
        EXPECT_EQ(sent[static_cast<std::size_t>(2 * c + 1)].Module(), 5 + c);
        EXPECT_EQ(ValueOf(sent[static_cast<std::size_t>(2 * c + 1)], 0), 1.0f);
        EXPECT_EQ(image.ExtensionTrim(c), 0.0f);
    }
    // The default room packed again: zero coordinates become 0x80.
    EXPECT_EQ(Hex(sent[16].command), "02 85 05 05 14 04 04 80 80 8A 0A 80 0A 0A 0A 8A 8A 80 8A "
                                     "0A 8A 85 80 05 80");
}

} // namespace
} // namespace kv
