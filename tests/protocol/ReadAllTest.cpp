#include "RecordingSink.h"

#include "image/Encodings.h"
#include "image/ParamImage.h"
#include "link/ConnectionState.h"
#include "protocol/Synchronize.h"

#include <gtest/gtest.h>

#include <set>
#include <vector>

namespace kv {
namespace {

using test::Hex;
using test::RecordingSink;

/// Read-all sequencing against a sink that answers nothing: the image already holds what
/// the answers would have put there.
class ReadAllTest : public ::testing::Test {
protected:
    void SetUp() override {
        image.InitDefaults();
        g_bDeviceConnected.store(1);
    }
    void TearDown() override { g_bDeviceConnected.store(0); }

    std::vector<int> Codes() const {
        std::vector<int> codes;
        for (const auto& r : sink.Commands()) {
            codes.push_back(r.Code());
        }
        return codes;
    }

    ParamImage& image = GetParamImage();
    RecordingSink sink;
};

TEST_F(ReadAllTest, IdentifiedProcessorIsReadWhole) {
    image.SetModel(u"kv5930Q");
    image.SetCommVersion(18);
    g_bParamChanged.store(1);
    EXPECT_EQ(SynchronizeReadAll(), ReadAllResult::Done);
    std::vector<int> expected = {128, 127, 129, 126, 7, 149, 126};
    expected.insert(expected.end(), 59, 48);
    expected.push_back(146);
    expected.push_back(98);
    EXPECT_EQ(Codes(), expected);
    const auto sent = sink.Commands();
    for (int i = 0; i < 59; ++i) {
        const auto& c = sent[static_cast<std::size_t>(7 + i)].command;
        EXPECT_EQ(c[2] * 256 + c[3], 56 * i);
        EXPECT_EQ(c[4], i == 58 ? 51 : 56);
    }
    EXPECT_EQ(Hex(sent[65].command), "02 30 0C B0 33");
    EXPECT_EQ(g_bParamChanged.load(), 0);
    EXPECT_EQ(sink.Log().back().pauseMs, 50);
}

TEST_F(ReadAllTest, IdentificationOutcomes) {
    struct Case {
        const char16_t* model;
        int version;
        ReadAllResult result;
        std::vector<int> codes;
    };
    const Case cases[] = {
        {u"RS483", 17, ReadAllResult::WrongVersion, {128, 127, 129, 126}},
        {u"MX2240", 18, ReadAllResult::UnknownModel, {128, 127, 129, 126, 128, 127, 129, 126}},
        {u"KV5930", 18, ReadAllResult::UnknownModel, {128, 127, 129, 126, 128, 127, 129, 126}},
    };
    for (const auto& c : cases) {
        sink.Clear();
        image.SetModel(c.model);
        image.SetCommVersion(c.version);
        EXPECT_EQ(SynchronizeReadAll(), c.result);
        EXPECT_EQ(Codes(), c.codes);
    }
}

TEST_F(ReadAllTest, StopsAtTheFirstCheckWhenDisconnected) {
    image.SetModel(u"KV5930Q");
    image.SetCommVersion(18);
    g_bDeviceConnected.store(0);
    EXPECT_EQ(SynchronizeReadAll(), ReadAllResult::Disconnected);
    EXPECT_EQ(Codes(), (std::vector<int>{128, 127}));
}

/// Puts a stored parameter record (module, item, n, values) into the read-back block.
void PutRecord(ParamImage& image, int offset, int module, int item,
               std::initializer_list<float> values) {
    std::vector<std::uint8_t> r = {static_cast<std::uint8_t>(module),
                                   static_cast<std::uint8_t>(item),
                                   static_cast<std::uint8_t>(values.size())};
    for (float v : values) {
        std::uint8_t b[4];
        PutFloatBE(b, v);
        r.insert(r.end(), b, b + 4);
    }
    image.WriteBlock(Block::ReadBack, static_cast<std::size_t>(offset), r);
}

TEST(ReadBackTest, OffsetsAreThe204RecordStarts) {
    const int* offsets = ReadBackRecordOffsets();
    std::set<int> unique(offsets, offsets + kReadBackRecordCount);
    EXPECT_EQ(unique.size(), 204u);
    EXPECT_EQ(offsets[0], 1317);
    EXPECT_EQ(offsets[20], 1457);
    EXPECT_EQ(offsets[21], 1478);
    EXPECT_EQ(offsets[kReadBackRecordCount - 1], 3292);
    EXPECT_EQ(unique.count(2016 + 153 * 7 + 63), 1u); // CH8 dynamics record
    EXPECT_EQ(unique.count(2110 + 153 * 7), 1u);      // CH8's single record after it
    for (int i = 1; i < kReadBackRecordCount; ++i) {
        EXPECT_GE(offsets[i] - offsets[i - 1], 7) << i;
    }
}

TEST(ReadBackTest, DecodesRecordsAtTheirOffsetsAndCopiesTheBlocks) {
    ParamImage& image = GetParamImage();
    image.InitDefaults();
    std::vector<std::uint8_t> readBack(kReadBackSize, 0);
    for (std::size_t i = 0; i < 1307; ++i) {
        readBack[i] = static_cast<std::uint8_t>(i * 7);
    }
    image.WriteBlock(Block::ReadBack, 0, readBack);
    PutRecord(image, 1317, 1, 14, {0.8f});
    PutRecord(image, 1478, 4, 12, {0.7f});
    PutRecord(image, 2079, 5, 27, {-10.0f, 0.0f, 0.75f, 20.0f, 0.05f, 0.1f, 0.1f});
    PutRecord(image, 2158, 5, 17, {1.0f, 0.0f});
    PutRecord(image, 3292, 13, 11, {0.0f});
    image.WriteBlock(Block::ReadBack, 3298, std::vector<std::uint8_t>{1});
    // Not at a decoded offset: ignored.
    PutRecord(image, 1464, 2, 26, {0.5f});
    // A record whose count is too small for the dynamics record is ignored.
    PutRecord(image, 2079 + 153, 6, 27, {-20.0f});

    DecodeReadBack(image);
    EXPECT_EQ(image.Int(fields::micVolume), 80);
    EXPECT_EQ(image.Int(fields::musicVolume), 70);
    EXPECT_EQ(image.Float(fields::outCompThreshold, 0), -10.0f);
    EXPECT_EQ(image.Float(fields::outCompRatio, 0), 4.0f);
    EXPECT_EQ(image.Int(fields::outDelayMode, 0), 1);
    EXPECT_EQ(image.Int(fields::exciterOn), 1);
    EXPECT_EQ(image.Int(fields::echoVolume), 0);
    EXPECT_EQ(image.Float(fields::outCompThreshold, 1), 0.0f);

    EXPECT_EQ(image.BlockBytes(Block::System),
              std::vector<std::uint8_t>(readBack.begin(), readBack.begin() + 1253));
    EXPECT_EQ(image.BlockBytes(Block::Extension),
              std::vector<std::uint8_t>(readBack.begin() + 1253, readBack.begin() + 1285));
    EXPECT_EQ(image.BlockBytes(Block::Routing),
              std::vector<std::uint8_t>(readBack.begin() + 1285, readBack.begin() + 1305));
    EXPECT_EQ(image.BlockBytes(Block::Tail),
              std::vector<std::uint8_t>(readBack.begin() + 1305, readBack.begin() + 1307));
    EXPECT_EQ(image.Geometry().width, readBack[1285]);
}

TEST(ReadBackTest, GarbageRecordsStayInsideTheBlock) {
    ParamImage& image = GetParamImage();
    image.InitDefaults();
    // Every record claims the largest count and a dynamics item; nothing may read past the
    // block's end.
    std::vector<std::uint8_t> readBack(kReadBackSize, 0xFF);
    for (int i = 0; i < kReadBackRecordCount; ++i) {
        const auto at = static_cast<std::size_t>(ReadBackRecordOffsets()[i]);
        readBack[at] = 5;
        readBack[at + 1] = 27;
    }
    // The last record is CH8's compressor with room for one value only.
    readBack[3292] = 12;
    image.WriteBlock(Block::ReadBack, 0, readBack);
    DecodeReadBack(image);
    EXPECT_EQ(image.Int(fields::outCompThreshold, 0), -1); // the all-ones pattern, as received
    EXPECT_EQ(image.Int(fields::outCompThreshold, 7), 0);
}

} // namespace
} // namespace kv
