#include "RecordingSink.h"

#include "image/Encodings.h"
#include "image/EqBand.h"
#include "image/ParamImage.h"
#include "protocol/CoefficientEncoders.h"
#include "protocol/Equaliser.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <optional>

namespace kv {
namespace {

using test::Hex;
using test::RecordingSink;
using test::ValueOf;

TEST(EqBandCommandTest, GroupsAndBandsMapToModuleAndItem) {
    struct Case {
        int group;
        int band;
        std::optional<std::pair<int, int>> command;
    };
    const Case cases[] = {
        {1, 0, {{1, 16}}},  {1, 9, {{1, 25}}},    {1, 10, {{1, 39}}}, {1, 19, {{1, 48}}},
        {1, 20, {}},        {1, -1, {}},          {0, 3, {{1, 19}}},  {13, 12, {{1, 41}}},
        {2, 0, {{2, 0}}},   {2, 6, {{2, 6}}},     {2, 7, {{2, 13}}},  {2, 13, {{2, 19}}},
        {2, 14, {}},        {3, 6, {{3, 6}}},     {3, 7, {{3, 12}}},  {3, 13, {{3, 18}}},
        {4, 0, {{4, 0}}},   {4, 9, {{4, 9}}},     {4, 10, {}},        {5, 0, {{5, 0}}},
        {5, 14, {{5, 14}}}, {12, 13, {{12, 13}}}, {12, 15, {}},       {14, 0, {{4, 10}}},
        {14, 1, {}},        {15, 0, {}},          {-1, 0, {}},
    };
    for (const auto& c : cases) {
        const auto cmd = EqBandCommand(c.group, c.band);
        ASSERT_EQ(cmd.has_value(), c.command.has_value()) << c.group << "/" << c.band;
        if (cmd) {
            EXPECT_EQ(cmd->module, c.command->first) << c.group << "/" << c.band;
            EXPECT_EQ(cmd->item, c.command->second) << c.group << "/" << c.band;
        }
    }
}

class EqualiserTest : public ::testing::Test {
protected:
    void SetUp() override { GetParamImage().InitDefaults(); }
    ParamImage& image = GetParamImage();
    RecordingSink sink;
};

TEST_F(EqualiserTest, BandWriteStoresWritesAndSendsCoefficients) {
    ASSERT_TRUE(WriteEqBand(4, 0, 2.96, 1000.0, 1.414, kFilterPeq));
    const auto sent = sink.Commands();
    ASSERT_EQ(sent.size(), 2u);
    // Record 48 at offset 336: gain code 180 (the 0.05 added), 1000 Hz, Q 1414, PEQ.
    EXPECT_EQ(Hex(sent[0].command), "02 85 01 50 07 00 B4 03 E8 05 86 01");
    EXPECT_EQ(sent[1].Module(), 4);
    EXPECT_EQ(sent[1].Item(), 0);
    EXPECT_EQ(sent[1].Count(), 5);
    const BiquadRecord expected = BiquadValues(kFilterPeq, 2.96, 1000.0, 1.414);
    for (int k = 0; k < 5; ++k) {
        EXPECT_EQ(ValueOf(sent[1], k), expected[static_cast<std::size_t>(k)]) << k;
    }
    EXPECT_EQ(image.ReadBand(4, 0).gainDb, 3.0);

    sink.Clear();
    EXPECT_FALSE(WriteEqBand(4, 10, 0, 1000, 1, kFilterPeq)); // record 58 belongs to CH1
    EXPECT_TRUE(sink.Log().empty());
    EXPECT_EQ(image.ReadRecord(58).freqHz, 31);
}

TEST_F(EqualiserTest, SendAllBandsCoversEveryGroupOnceWithFiniteValues) {
    SendAllEqBands();
    const auto sent = sink.Commands();
    ASSERT_EQ(sent.size(), 20u + 14u + 14u + 10u + 8u * 13u + 1u);
    std::vector<std::pair<int, int>> expected;
    for (int i = 16; i <= 25; ++i)
        expected.push_back({1, i});
    for (int i = 39; i <= 48; ++i)
        expected.push_back({1, i});
    for (int i = 0; i <= 6; ++i)
        expected.push_back({2, i});
    for (int i = 13; i <= 19; ++i)
        expected.push_back({2, i});
    for (int i = 0; i <= 6; ++i)
        expected.push_back({3, i});
    for (int i = 12; i <= 18; ++i)
        expected.push_back({3, i});
    for (int i = 0; i <= 9; ++i)
        expected.push_back({4, i});
    for (int m = 5; m <= 12; ++m) {
        for (int i = 0; i <= 12; ++i)
            expected.push_back({m, i});
    }
    expected.push_back({4, 10});
    for (std::size_t i = 0; i < sent.size(); ++i) {
        EXPECT_EQ(std::make_pair(sent[i].Module(), sent[i].Item()), expected[i]) << i;
        for (int k = 0; k < 5; ++k) {
            EXPECT_TRUE(std::isfinite(ValueOf(sent[i], k))) << i;
        }
    }
    // Record 178 (type 0, Q 0) goes out as a unity pass-through section.
    EXPECT_EQ(Hex(sent.back().command),
              "02 09 00 04 0A 05 00 00 00 00 00 00 00 00 3F 80 00 00 00 00 00 00 00 00 00 00");
}

TEST_F(EqualiserTest, ResetUsesTheKindsFrequencies) {
    struct Case {
        int kind;
        int group;
        int firstBand;
        std::vector<int> freqs;
        int firstItem;
    };
    const std::vector<int> ten = {31, 62, 125, 250, 500, 1000, 2000, 4000, 8000, 16000};
    const std::vector<int> seven = {63, 125, 250, 500, 1000, 2300, 5000};
    const Case cases[] = {
        {0, 1, 0, ten, 16},  {1, 1, 10, ten, 39},  {2, 3, 0, seven, 0}, {3, 3, 7, seven, 12},
        {4, 2, 0, seven, 0}, {5, 2, 7, seven, 13}, {6, 4, 0, ten, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.kind);
        image.InitDefaults();
        image.WriteBand(c.group, c.firstBand + 2, 6.0, 777, 3.0, kFilterHighShelf);
        sink.Clear();
        ResetEq(c.kind);
        const auto sent = sink.Commands();
        ASSERT_EQ(sent.size(), 2 * c.freqs.size());
        for (std::size_t b = 0; b < c.freqs.size(); ++b) {
            const EqBand band = image.ReadBand(c.group, c.firstBand + static_cast<int>(b));
            EXPECT_EQ(band.freqHz, c.freqs[b]);
            EXPECT_EQ(band.gainDb, 0.0);
            EXPECT_EQ(band.type, kFilterPeq);
            EXPECT_EQ(band.q, 1.409); // the single 1.41 truncated to a Q code
            EXPECT_EQ(sent[2 * b + 1].Item(), c.firstItem + static_cast<int>(b));
        }
    }
}

TEST_F(EqualiserTest, OutputResetFollowsTheRole) {
    image.SetInt(fields::outRole, 1, 4); // CH2 is the subwoofer
    image.WriteBand(6, 13, 0, 1200, 0.707, kFilterHighPass);
    ResetEq(8);
    ResetEq(7);
    const auto sent = sink.Commands();
    ASSERT_EQ(sent.size(), 2u * 13u * 2u);
    const int subTypes[13] = {1, 1, 1, 1, 1, 1, 1, 1, 1, 18, 20, 1, 1};
    const int subFreqs[13] = {31, 62, 125, 250, 500, 1000, 2000, 4000, 8000, 100, 100, 100, 100};
    const int freqs[13] = {31,   62,   125,   250,   500,   1000, 2000,
                           4000, 8000, 16000, 16000, 16000, 16000};
    for (int b = 0; b < 13; ++b) {
        EXPECT_EQ(image.ReadBand(6, b).type, subTypes[b]) << b;
        EXPECT_EQ(image.ReadBand(6, b).freqHz, subFreqs[b]) << b;
        EXPECT_EQ(image.ReadBand(5, b).type, kFilterPeq) << b;
        EXPECT_EQ(image.ReadBand(5, b).freqHz, freqs[b]) << b;
    }
    // The delay crossover bands are not touched.
    EXPECT_EQ(image.ReadBand(6, 13).freqHz, 1200);
    EXPECT_EQ(image.ReadBand(6, 13).type, kFilterHighPass);
}

TEST_F(EqualiserTest, CopyMusicToOutputFlattensTheTopBands) {
    for (int b = 0; b < 10; ++b) {
        image.WriteBand(4, b, b - 5.0, 100.0 * (b + 1), 0.5 + b * 0.25,
                        b == 9 ? kFilterHighShelf : kFilterPeq);
    }
    const auto band14Before = image.RecordBytes(ParamImage::BandRecordIndex(5, 14));
    CopyEq(6, 7);
    for (int b = 0; b < 10; ++b) {
        EXPECT_EQ(image.RecordBytes(ParamImage::BandRecordIndex(5, b)),
                  image.RecordBytes(ParamImage::BandRecordIndex(4, b)))
            << b;
    }
    const auto band9 = image.RecordBytes(ParamImage::BandRecordIndex(5, 9));
    for (int b = 10; b <= 12; ++b) {
        const auto r = image.RecordBytes(ParamImage::BandRecordIndex(5, b));
        EXPECT_EQ(r[0], 0);
        EXPECT_EQ(r[1], 150);
        EXPECT_EQ(r[2], band9[2]);
        EXPECT_EQ(r[3], band9[3]);
        EXPECT_EQ(r[4], band9[4]);
        EXPECT_EQ(r[5], band9[5]);
        EXPECT_EQ(r[6], kFilterPeq);
    }
    EXPECT_EQ(image.RecordBytes(ParamImage::BandRecordIndex(5, 14)), band14Before);
    // Thirteen bands re-sent, each as its store write and its biquad.
    const auto sent = sink.Commands();
    ASSERT_EQ(sent.size(), 26u);
    for (int b = 0; b < 13; ++b) {
        const auto& store = sent[static_cast<std::size_t>(2 * b)];
        const auto record = image.RecordBytes(ParamImage::BandRecordIndex(5, b));
        EXPECT_TRUE(store.IsStoreWrite());
        EXPECT_TRUE(std::equal(record.begin(), record.end(), store.command.begin() + 5));
        EXPECT_EQ(sent[static_cast<std::size_t>(2 * b + 1)].Module(), 5);
        EXPECT_EQ(sent[static_cast<std::size_t>(2 * b + 1)].Item(), b);
    }
}

TEST_F(EqualiserTest, CopyOutputToMusicTurnsCrossoversIntoFilters) {
    struct Case {
        int type;
        int expected;
    };
    const Case cases[] = {{19, kFilterHighPass},
                          {18, kFilterLowPass},
                          {6, kFilterLowPass},
                          {21, kFilterHighPass},
                          {5, kFilterHighShelf}};
    for (const auto& c : cases) {
        image.WriteBand(5, 9, 0, 120, 0.707, c.type);
        CopyEq(7, 6);
        EXPECT_EQ(image.ReadBand(4, 9).type, c.expected) << c.type;
        EXPECT_EQ(image.ReadBand(5, 9).type, c.type);
    }
    image.WriteBand(5, 9, 0, 120, 0.707, 19);
    CopyEq(7, 1); // onto microphone B: its tenth band is group 1 band 19
    EXPECT_EQ(image.ReadBand(1, 19).type, kFilterHighPass);
}

TEST_F(EqualiserTest, CopyKeepsQCodesThatWouldNotSurviveReEncoding) {
    // Q code 1001 reads as 1.001, which truncate(1.001 * 1000) turns into 1000.
    const std::uint8_t record[7] = {0x00, 0x96, 0x03, 0xE8, 0x03, 0xE9, 0x01};
    image.WriteBlock(Block::System, 7 * ParamImage::BandRecordIndex(1, 3), record);
    CopyEq(0, 6);
    EXPECT_EQ(image.RecordBytes(ParamImage::BandRecordIndex(4, 3))[5], 0xE9);
}

TEST_F(EqualiserTest, CopyWithUnknownKindsDoesNothing) {
    const auto before = image.BlockBytes(Block::System);
    CopyEq(15, 0);
    CopyEq(0, -1);
    CopyEq(-3, 99);
    EXPECT_TRUE(sink.Log().empty());
    EXPECT_EQ(image.BlockBytes(Block::System), before);
}

TEST_F(EqualiserTest, CopyBetweenKindsOfDifferentSizeCopiesTheSmaller) {
    image.WriteBand(3, 0, 4.0, 333, 2.0, kFilterPeq);
    CopyEq(2, 0); // reverb A (7 bands) onto microphone A (10 bands)
    EXPECT_EQ(image.ReadBand(1, 0).freqHz, 333);
    EXPECT_EQ(image.ReadBand(1, 7).freqHz, 4000); // untouched default
    EXPECT_EQ(sink.Commands().size(), 20u);
}

} // namespace
} // namespace kv
