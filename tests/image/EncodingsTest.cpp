#include "image/Encodings.h"
#include "image/DisplayFormat.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdint>
#include <limits>
#include <string>

namespace kv {
namespace {

TEST(Encodings, FloatValueFieldsAreBigEndianSingles) {
    struct Case {
        float value;
        std::array<std::uint8_t, 4> bytes;
    };
    const Case cases[] = {
        {1.0f, {0x3F, 0x80, 0x00, 0x00}},   {-1.0f, {0xBF, 0x80, 0x00, 0x00}},
        {0.0f, {0x00, 0x00, 0x00, 0x00}},   {0.8f, {0x3F, 0x4C, 0xCC, 0xCD}},
        {-10.0f, {0xC1, 0x20, 0x00, 0x00}},
    };
    for (const auto& c : cases) {
        std::array<std::uint8_t, 4> out{};
        PutFloatBE(out.data(), c.value);
        EXPECT_EQ(out, c.bytes) << c.value;
        EXPECT_EQ(GetFloatBE(c.bytes.data()), c.value);
    }
    std::array<std::uint8_t, 4> out{};
    PutByteValue(out.data(), 1);
    EXPECT_EQ(out, (std::array<std::uint8_t, 4>{0, 0, 0, 1}));
}

TEST(Encodings, ReceivedSinglesDecodeToX100WithTheReadRounding) {
    struct Case {
        float received;
        std::int32_t x100;
    };
    const Case cases[] = {
        {0.6f, 60},    {-0.129999995f, -13}, {1.2349f, 123}, {0.0f, 0},
        {-0.004f, 0},  {-0.006f, -1},        {0.8005f, 80},  {1.0f, 100},
        {-1.0f, -100}, {0.29f, 29},          {12.5f, 1250},  {-12.5f, -1250},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(DecodeX100(c.received), c.x100) << c.received;
    }
    // The rounded single itself, as the exciter fields keep it.
    EXPECT_FLOAT_EQ(RoundedSingle(119.997f), 120.002f);
    // Nonsense from the device never reaches an undefined conversion.
    EXPECT_EQ(DecodeX100(std::numeric_limits<float>::quiet_NaN()), 0);
    EXPECT_EQ(DecodeX100(std::numeric_limits<float>::infinity()),
              std::numeric_limits<std::int32_t>::max());
}

TEST(Encodings, SlotsToSentValues) {
    EXPECT_EQ(X100ToValue(80), 0.8f);
    EXPECT_EQ(X100ToValue(-1250), -12.5f);
    EXPECT_EQ(X10000ToValue(5), static_cast<float>(5 / 10000.0));
    EXPECT_EQ(VolumeWithOffset(80), static_cast<float>(0.8005));
}

TEST(Encodings, TimesConvertToSampleCountsAt48kHz) {
    struct Case {
        double ms;
        std::uint32_t samples;
    };
    const Case cases[] = {
        {1.5, 72},
        {100.0, 4800},
        {2.0, 96},
        {217.0, 10416},
        {0.0, 0},
        {-1.0, 0},
        {std::numeric_limits<double>::quiet_NaN(), 0},
        {1e30, std::numeric_limits<std::uint32_t>::max()},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(MsToSamples(c.ms), c.samples) << c.ms;
    }
    EXPECT_EQ(SamplesToMs(4800), 100.0f);
    EXPECT_EQ(SamplesToMs(10416), 217.0f);
    EXPECT_EQ(SamplesToMs(72), 1.5f);
}

TEST(Encodings, FrequenciesConvertToAngularSteps) {
    EXPECT_FLOAT_EQ(HzToAngular(10), 0.0013089969f);
    EXPECT_EQ(AngularToHz(0.0013089969f), 10);
    for (int hz : {1, 2, 5, 8, 100, 1000, 23999}) {
        EXPECT_EQ(AngularToHz(HzToAngular(hz)), hz);
    }
}

TEST(Encodings, DynamicsCoefficients) {
    EXPECT_EQ(RatioToCoef(1.0f), 0.0f);
    EXPECT_EQ(RatioToCoef(4.0f), 0.75f);
    EXPECT_EQ(CoefToRatio(0.0f), 1.0f);
    EXPECT_EQ(CoefToRatio(0.75f), 4.0f);
    // A ratio below 1 has no finite coefficient to send; it is sent as ratio 1.
    for (float bad : {0.0f, 0.5f, -2.0f, std::numeric_limits<float>::quiet_NaN()}) {
        EXPECT_EQ(RatioToCoef(bad), 0.0f) << bad;
    }

    struct Case {
        double ms;
        float coef;
    };
    const Case cases[] = {{1, 0.0206178f}, {10, 0.00208116f}, {100, 0.000208312f}};
    for (const auto& c : cases) {
        EXPECT_NEAR(TimeToCoef(c.ms), c.coef, c.coef * 1e-5) << c.ms;
        EXPECT_NEAR(CoefToTime(TimeToCoef(c.ms)), c.ms, c.ms * 1e-4) << c.ms;
    }
    EXPECT_EQ(TimeToCoef(0), 1.0f);
    EXPECT_EQ(TimeToCoef(-5), 1.0f);
    EXPECT_DOUBLE_EQ(DbToLinear(20), 10.0);
    EXPECT_DOUBLE_EQ(DbToLinear(0), 1.0);
}

TEST(Encodings, BandRecordCodes) {
    struct Case {
        double db;
        std::uint16_t code;
    };
    const Case gains[] = {{-15.0, 0}, {15.0, 300}, {2.96, 180},  {0.0, 150},
                          {-6.0, 90}, {3.0, 180},  {-0.04, 150}, {-0.06, 149}};
    for (const auto& c : gains) {
        EXPECT_EQ(GainToCode(c.db), c.code) << c.db;
    }
    EXPECT_EQ(CodeToGain(150), 0.0);
    EXPECT_EQ(CodeToGain(0), -15.0);
    EXPECT_EQ(QToCode(1.414), 1414);
    EXPECT_EQ(QToCode(kQCrossover), 707);
    EXPECT_EQ(QToCode(kQReset), 1409); // the single 1.40999997 truncates
    EXPECT_EQ(CodeToQ(707), 0.707);
    EXPECT_EQ(FreqToCode(1000.9), 1000);
    // Out-of-range input saturates instead of wrapping.
    EXPECT_EQ(GainToCode(-40), 0);
    EXPECT_EQ(FreqToCode(1e9), 65535);
}

TEST(Encodings, RoutingCoordinates) {
    struct Case {
        float metres;
        std::uint8_t byte;
    };
    const Case packs[] = {{0.0f, 0x80},  {0.25f, 0x03}, {-0.25f, 0x83},
                          {1.0f, 0x0A},  {-1.0f, 0x8A}, {-0.5f, 0x85},
                          {0.04f, 0x00}, {50.0f, 0x7F}, {-50.0f, 0xFF}};
    for (const auto& c : packs) {
        EXPECT_EQ(PackCoord(c.metres), c.byte) << c.metres;
    }
    EXPECT_EQ(UnpackCoord(0x85), -0.5f);
    EXPECT_EQ(UnpackCoord(0x0A), 1.0f);
    EXPECT_EQ(UnpackCoord(0x00), 0.0f);
    EXPECT_EQ(UnpackCoord(0x80), 0.0f);
    EXPECT_TRUE(std::signbit(UnpackCoord(0x80)));
}

TEST(Encodings, TailKeepsTheTopSixteenBits) {
    const auto packed = PackTail(-6.0f);
    EXPECT_EQ(packed, (std::array<std::uint8_t, 2>{0xC0, 0xC0}));
    EXPECT_EQ(UnpackTail(packed.data()), -6.0f);
    // Lower mantissa bits are dropped: -6.3 (C0C9999A) comes back as C0C90000.
    const auto lossy = PackTail(-6.3f);
    EXPECT_EQ(UnpackTail(lossy.data()), -6.28125f);
}

TEST(DisplayFormat, Texts) {
    struct Case {
        std::string got;
        std::string want;
    };
    const Case cases[] = {
        {fmt::SignedDb(3.0), "+3.0dB"},
        {fmt::SignedDb(-12.5), "-12.5dB"},
        {fmt::SignedDb(0.0), "+0.0dB"},
        {fmt::Hz(1000.4), "1000Hz"},
        {fmt::HzInt(8), "8Hz"},
        {fmt::Q(1.414), "1.41"},
        {fmt::DelayMs(1.5), "1.5ms"},
        {fmt::MsInt(217), "217ms"},
        {fmt::Ms(10.4), "10ms"},
        {fmt::Ratio(4.0), "4.0:1"},
        {fmt::Db(-30.0), "-30dB"},
        {fmt::DbInt(-6), "-6dB"},
        {fmt::Db1(2.25), "2.2dB"},
        {fmt::Percent(60), "60%"},
        {fmt::SignedMetres(-0.5), "-0.5m"},
        {fmt::SignedMetres(1.0), "+1.0m"},
        {fmt::MetresInt(4), "4m"},
        {fmt::Int(85), "85"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.got, c.want);
    }
    EXPECT_DOUBLE_EQ(fmt::ReverbTimeMs(10), 536.0);
}

} // namespace
} // namespace kv

namespace kv {
namespace {

// Every record code survives being read as a value and written back.
TEST(Encodings, BandCodesRoundTrip) {
    for (int code = 0; code <= 65535; ++code) {
        const auto c = static_cast<std::uint16_t>(code);
        ASSERT_EQ(QToCode(CodeToQ(c)), c) << code;
        if (code <= 300) {
            ASSERT_EQ(GainToCode(CodeToGain(c)), c) << code;
        }
    }
}

} // namespace
} // namespace kv
