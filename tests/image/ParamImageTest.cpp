#include "image/ParamImage.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <thread>
#include <vector>

namespace kv {
namespace {

class ParamImageTest : public ::testing::Test {
protected:
    void SetUp() override { image.InitDefaults(); }
    ParamImage image;
};

TEST_F(ParamImageTest, BandDefaults) {
    struct Case {
        int record;
        int type;
        double freq;
        double q;
        double gain;
    };
    const Case cases[] = {
        {0, kFilterPeq, 31, 1.414, 0},
        {9, kFilterPeq, 16000, 1.414, 0},
        {10, kFilterPeq, 31, 1.414, 0},
        {19, kFilterPeq, 16000, 1.414, 0},
        {20, kFilterPeq, 61, 1.414, 0},
        {25, kFilterPeq, 2300, 1.414, 0},
        {26, kFilterLowPass, 5000, 0.707, 0},
        {27, kFilterHighPass, 200, 0.707, 0},
        {28, kFilterPeq, 160, 1.414, 0},
        {32, kFilterPeq, 2300, 1.414, 0},
        {33, kFilterHighShelf, 5000, 0.707, 3},
        {34, kFilterHighPass, 120, 0.707, 0},
        {35, kFilterPeq, 160, 1.414, 0},
        {39, kFilterPeq, 2300, 1.414, 0},
        {40, kFilterHighShelf, 5000, 0.707, -6},
        {41, kFilterHighPass, 100, 0.707, 0},
        {42, kFilterPeq, 160, 1.414, 0},
        {46, kFilterPeq, 2300, 1.414, 0},
        {47, kFilterHighShelf, 3000, 0.707, -3},
        {48, kFilterPeq, 31, 1.414, 0},
        {57, kFilterPeq, 16000, 1.414, 0},
        {58, kFilterPeq, 31, 1.414, 0},
        {67, kFilterPeq, 16000, 1.414, 0},
        {70, kFilterPeq, 16000, 1.414, 0},
        {71, kFilterPeq, 500, 0.707, 0},
        {72, kFilterPeq, 1000, 0.707, 0},
        {163, kFilterPeq, 31, 1.414, 0},
        {176, kFilterPeq, 500, 0.707, 0},
        {177, kFilterPeq, 1000, 0.707, 0},
        // The last record stays zero until the processor or a mode file fills it.
        {178, 0, 0, 0, -15},
    };
    for (const auto& c : cases) {
        const EqBand b = image.ReadRecord(c.record);
        EXPECT_EQ(b.type, c.type) << "record " << c.record;
        EXPECT_EQ(b.freqHz, c.freq) << "record " << c.record;
        EXPECT_DOUBLE_EQ(b.q, c.q) << "record " << c.record;
        EXPECT_DOUBLE_EQ(b.gainDb, c.gain) << "record " << c.record;
    }
    const auto system = image.BlockBytes(Block::System);
    EXPECT_TRUE(std::all_of(system.begin() + kSystemDefaultsSize, system.end(),
                            [](std::uint8_t b) { return b == 0; }));
}

TEST_F(ParamImageTest, MainBlockAndHubDefaults) {
    for (int ch = 0; ch < 2; ++ch) {
        EXPECT_EQ(image.Float(fields::echoTime, ch), 217.0f);
        EXPECT_EQ(image.Int(fields::echoStartVol, ch), 60);
    }
    int nonZero = 0;
    for (int s = 0; s < kMainSlots; ++s) {
        nonZero += image.Slot(s) != 0;
    }
    EXPECT_EQ(nonZero, 4);
    for (std::size_t off = kHubSettingsEditOffset; off < kHubSettingsOffset + kMachineSettingsSize;
         ++off) {
        EXPECT_EQ(image.HubByte(off), (off == 539 || off == 540) ? 99 : 0) << off;
    }
    EXPECT_EQ(image.Model(), u"MX2240");
    EXPECT_EQ(image.McuVersion(), u"2012-10-03");
    EXPECT_EQ(image.DspVersion(), u"2012-11-30");
    EXPECT_EQ(image.ModeName(0), u"M1");
    EXPECT_EQ(image.ModeName(3), u"M4");
    EXPECT_EQ(image.CommVersion(), 1);
}

TEST_F(ParamImageTest, InitDefaultsClearsEarlierEdits) {
    image.SetSlot(100, 7);
    image.WriteBand(5, 3, 6, 400, 2, kFilterPeq);
    image.SetExtensionTrim(2, -3);
    image.InitDefaults();
    EXPECT_EQ(image.Slot(100), 0);
    EXPECT_EQ(image.ReadBand(5, 3).freqHz, 250);
    EXPECT_EQ(image.ExtensionTrim(2), 0.0f);
}

TEST(ParamImageLayout, BandRecordIndex) {
    struct Case {
        int group;
        int band;
        int record;
    };
    const Case cases[] = {
        {1, 0, 0},   {1, 19, 19}, {0, 5, 5},    {13, 5, 5},     {15, 7, 7},
        {2, 0, 20},  {2, 13, 33}, {3, 0, 34},   {3, 13, 47},    {4, 9, 57},
        {5, 0, 58},  {6, 0, 73},  {12, 0, 163}, {12, 14, 177},  {14, 0, 178},
        {14, 1, -1}, {1, -1, -1}, {1, 179, -1}, {12, 2000, -1},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ParamImage::BandRecordIndex(c.group, c.band), c.record)
            << "group " << c.group << " band " << c.band;
    }
}

TEST_F(ParamImageTest, WriteBandStoresCodesAndReturnsItsOffset) {
    EXPECT_EQ(image.WriteBand(6, 2, 2.96, 1234.7, 0.7071, kFilterLowShelf), 7 * 75);
    const auto r = image.RecordBytes(75);
    EXPECT_EQ(r, (std::array<std::uint8_t, 7>{0x00, 180, 0x04, 0xD2, 0x02, 0xC3, kFilterLowShelf}));
    const EqBand b = image.ReadBand(6, 2);
    EXPECT_DOUBLE_EQ(b.gainDb, 3.0);
    EXPECT_EQ(b.freqHz, 1234);
    EXPECT_DOUBLE_EQ(b.q, 0.707);
    EXPECT_EQ(image.WriteBand(14, 1, 0, 100, 1, kFilterPeq), -1);
    // Groups 0 and 13 address the microphone records.
    image.WriteBand(13, 4, -15, 99, 1, kFilterHighPass);
    EXPECT_EQ(image.ReadBand(1, 4).type, kFilterHighPass);
    EXPECT_EQ(image.ReadBand(0, 4).gainDb, -15.0);
}

TEST_F(ParamImageTest, RoutingDefaultsAndGeometry) {
    const RoomGeometry g = image.Geometry();
    EXPECT_EQ(g.width, 4);
    EXPECT_EQ(g.length, 4);
    EXPECT_EQ(g.listenerX, 0.0f);
    const float wantX[8] = {-1.0f, 0.0f, 1.0f, -1.0f, 0.0f, 1.0f, -0.5f, 0.5f};
    const float wantY[8] = {1.0f, 1.0f, 1.0f, -1.0f, -1.0f, -1.0f, 0.0f, 0.0f};
    for (int k = 0; k < 8; ++k) {
        EXPECT_EQ(g.speakerX[k], wantX[k]) << k;
        EXPECT_EQ(g.speakerY[k], wantY[k]) << k;
    }

    // Packing what was unpacked reproduces the block, except that zeros pack as 0x80.
    image.PackRouting();
    auto expected = std::vector<std::uint8_t>(kDefaultRouting.begin(), kDefaultRouting.end());
    for (std::size_t i = 2; i < expected.size(); ++i) {
        if (expected[i] == 0x00) {
            expected[i] = 0x80;
        }
    }
    EXPECT_EQ(image.BlockBytes(Block::Routing), expected);

    RoomGeometry edited = image.Geometry();
    edited.width = 7;
    edited.listenerX = 0.25f;
    edited.speakerY[7] = -2.36f;
    image.SetGeometry(edited);
    image.PackRouting();
    EXPECT_EQ(image.BlockByte(Block::Routing, 0), 7);
    EXPECT_EQ(image.BlockByte(Block::Routing, 2), 0x03);
    EXPECT_EQ(image.BlockByte(Block::Routing, 19), 0x98);
}

TEST_F(ParamImageTest, WritingTheRoutingBlockUpdatesTheGeometry) {
    const std::uint8_t room[] = {9, 3, 0x85};
    image.WriteBlock(Block::Routing, 0, room);
    const RoomGeometry g = image.Geometry();
    EXPECT_EQ(g.width, 9);
    EXPECT_EQ(g.length, 3);
    EXPECT_EQ(g.listenerX, -0.5f);
}

TEST_F(ParamImageTest, MainBlockBytesAreLittleEndianSlots) {
    image.SetSlot(0, 0x01020304);
    image.SetSlotFloat(227, -1.0f);
    const auto bytes = image.MainBlock();
    EXPECT_EQ(bytes[0], 0x04);
    EXPECT_EQ(bytes[3], 0x01);
    EXPECT_EQ(bytes[908], 0x00);
    EXPECT_EQ(bytes[910], 0x80);
    EXPECT_EQ(bytes[911], 0xBF);

    // A partial main block overwrites only the slots it holds.
    std::vector<std::uint8_t> part(8, 0xFF);
    image.SetMainBlock(part);
    EXPECT_EQ(image.Slot(0), -1);
    EXPECT_EQ(image.Slot(1), -1);
    EXPECT_EQ(image.Slot(2), 0);
    EXPECT_EQ(image.SlotFloat(227), -1.0f);
}

TEST_F(ParamImageTest, BlockAccessIsCutAtTheBlockEnd) {
    const std::vector<std::uint8_t> data(10, 0xAB);
    EXPECT_EQ(image.WriteBlock(Block::Tail, 0, data), 2u);
    EXPECT_EQ(image.WriteBlock(Block::System, 1250, data), 3u);
    EXPECT_EQ(image.WriteBlock(Block::ReadBack, kReadBackSize, data), 0u);
    EXPECT_EQ(image.BlockByte(Block::System, 1252), 0xAB);
    std::vector<std::uint8_t> out(10, 0);
    EXPECT_EQ(image.ReadBlock(Block::Extension, 30, out), 2u);
    EXPECT_EQ(image.BlockByte(Block::Hub, 10000), 0);
    // Out-of-range slots and entries are ignored, not written elsewhere.
    image.SetSlot(kMainSlots, 5);
    image.SetInt(fields::outGain, 8, 5);
    EXPECT_EQ(image.Int(fields::outGain, 8), 0);
    EXPECT_EQ(image.Slot(207), 0);
}

TEST_F(ParamImageTest, NamedFieldsAddressTheirSlots) {
    image.SetInt(fields::echoLevel, 1, 45);
    EXPECT_EQ(image.Slot(36), 45);
    image.SetFloat(fields::reverbTime, 1, 12.0f);
    EXPECT_EQ(image.SlotFloat(50), 12.0f);
    image.SetInt(fields::outGain, 7, -600);
    EXPECT_EQ(image.Slot(206), -600);
    image.SetFloat(fields::musicInputLimiter, 3, 250.0f);
    EXPECT_EQ(image.SlotFloat(214), 250.0f);

    // Every slot except the two spares belongs to exactly one field.
    std::vector<int> owners(kMainSlots, 0);
    for (const MainField& f : AllMainFields()) {
        for (int e = 0; e < f.count; ++e) {
            ++owners[static_cast<std::size_t>(f.SlotOf(e))];
        }
        EXPECT_EQ(FindMainField(f.name), &f);
    }
    for (int s = 0; s < kMainSlots; ++s) {
        EXPECT_EQ(owners[static_cast<std::size_t>(s)], (s == 6 || s == 14) ? 0 : 1) << s;
    }
    EXPECT_EQ(FindMainField("noSuchField"), nullptr);
}

TEST_F(ParamImageTest, ReadBackSplitsIntoTheStoreBlocks) {
    std::vector<std::uint8_t> store(kReadBackSize);
    for (std::size_t i = 0; i < store.size(); ++i) {
        store[i] = static_cast<std::uint8_t>(i * 7 + 1);
    }
    store[kReadBackRoutingOffset] = 6; // room width
    image.WriteBlock(Block::ReadBack, 0, store);
    image.CopyReadBackToBlocks();
    const auto span = [&](std::size_t off, std::size_t n) {
        return std::vector<std::uint8_t>(store.begin() + static_cast<long>(off),
                                         store.begin() + static_cast<long>(off + n));
    };
    EXPECT_EQ(image.BlockBytes(Block::System), span(0, kSystemBlockSize));
    EXPECT_EQ(image.BlockBytes(Block::Extension), span(1253, kExtensionBlockSize));
    EXPECT_EQ(image.BlockBytes(Block::Routing), span(1285, kRoutingBlockSize));
    EXPECT_EQ(image.BlockBytes(Block::Tail), span(1305, kTailBlockSize));
    EXPECT_EQ(image.Geometry().width, 6);
}

TEST_F(ParamImageTest, StringsAreCutAtTheirFieldSizes) {
    image.SetModel(std::u16string(40, u'K'));
    EXPECT_EQ(image.Model().size(), kModelUnits - 1);
    image.SetMcuVersion(u"2024-01-01-extra-long");
    EXPECT_EQ(image.McuVersion(), u"2024-01-01-");
    image.SetModeName(1, std::u16string(u"KT\0junk", 7));
    EXPECT_EQ(image.ModeName(1), u"KT");
    image.SetModeName(4, u"ignored");
    EXPECT_EQ(image.ModeName(4), u"");
}

TEST_F(ParamImageTest, TrimsAndTail) {
    image.SetExtensionTrim(3, -2.5f);
    EXPECT_EQ(image.ExtensionTrim(3), -2.5f);
    EXPECT_EQ(image.BlockByte(Block::Extension, 12), 0xC0);
    EXPECT_EQ(image.BlockByte(Block::Extension, 13), 0x20);
    image.SetTailValue(-6.0f);
    EXPECT_EQ(image.TailValue(), -6.0f);
}

// A reader never sees a block half-way through another thread's copy.
TEST(ParamImageThreads, BlockCopiesAreNeverTorn) {
    ParamImage image;
    std::atomic<bool> stop{false};
    std::thread writer([&] {
        std::vector<std::uint8_t> a(kSystemBlockSize, 0x11);
        std::vector<std::uint8_t> b(kSystemBlockSize, 0x22);
        for (int i = 0; i < 2000; ++i) {
            image.WriteBlock(Block::System, 0, (i % 2) ? a : b);
            image.SetSlot(i % kMainSlots, i);
        }
        stop = true;
    });
    int torn = 0;
    while (!stop) {
        const auto bytes = image.BlockBytes(Block::System);
        torn += !std::all_of(bytes.begin(), bytes.end(),
                             [&](std::uint8_t v) { return v == bytes.front(); });
        (void)image.MainBlock();
    }
    writer.join();
    EXPECT_EQ(torn, 0);
}

} // namespace
} // namespace kv
