#include "LinkFixture.h"

#include "image/Encodings.h"
#include "protocol/Dispatcher.h"

#include <functional>
#include <string>
#include <vector>

namespace kv::test {
namespace {

using Check = std::function<::testing::AssertionResult(ParamImage&)>;

::testing::AssertionResult BytesAre(ParamImage& image, Block block, std::size_t offset,
                                    std::vector<std::uint8_t> expected) {
    std::vector<std::uint8_t> actual(expected.size());
    image.ReadBlock(block, offset, actual);
    if (actual == expected) {
        return ::testing::AssertionSuccess();
    }
    auto failure = ::testing::AssertionFailure() << "at " << offset << ":";
    for (auto b : actual) {
        failure << ' ' << int{b};
    }
    return failure;
}

std::vector<std::uint8_t> Filled(std::size_t n, std::uint8_t first) {
    std::vector<std::uint8_t> v(n);
    for (std::size_t i = 0; i < n; ++i) {
        v[i] = static_cast<std::uint8_t>(first + i);
    }
    return v;
}

/// A report with address, length and data: b[1] type, b[2..3] address, b[4] length.
Bytes61 BlockReport(int type, int address, int length, const std::vector<std::uint8_t>& data) {
    Bytes61 r = MakeReport({1, type, address >> 8, address & 0xFF, length});
    std::copy_n(data.begin(), std::min<std::size_t>(data.size(), 56), r.begin() + 5);
    return r;
}

Bytes61 TextReport(int type, const std::string& text) {
    Bytes61 r = MakeReport({1, type});
    std::copy_n(text.begin(), std::min<std::size_t>(text.size(), 59), r.begin() + 2);
    return r;
}

struct Row {
    const char* name;
    Bytes61 report;
    Check check;
};

class DispatcherTest : public LinkFixture {
protected:
    void SetUp() override {
        LinkFixture::SetUp();
        ParamImage& image = GetParamImage();
        for (Block b : {Block::ReadBack, Block::DeviceTable, Block::SceneTable, Block::Hub}) {
            image.FillBlock(b, 0);
        }
        image.FillBlock(Block::System, 0x11);
        g_nCurrentMode.store(0);
        g_bParamChanged.store(0);
        g_statusRecord.Clear();
        SetReadAllStarter(nullptr);
    }
};

TEST_F(DispatcherTest, EveryReportLandsWithinItsDestination) {
    const auto data56 = Filled(56, 1);
    const std::vector<std::uint8_t> band = {0x00, 0x96, 0x00, 0x7D, 0x05, 0x86, 0x01};
    std::vector<Row> rows = {
        {"7: current mode", MakeReport({1, 7, 2}),
         [](ParamImage&) {
             return g_nCurrentMode.load() == 2 ? ::testing::AssertionSuccess()
                                               : ::testing::AssertionFailure();
         }},
        {"7: a mode index beyond M4 is ignored", MakeReport({1, 7, 9}),
         [](ParamImage&) {
             return g_nCurrentMode.load() == 2 ? ::testing::AssertionSuccess()
                                               : ::testing::AssertionFailure();
         }},
        {"9: parameters changed", MakeReport({1, 9}),
         [](ParamImage&) {
             return g_bParamChanged.load() == 1 ? ::testing::AssertionSuccess()
                                                : ::testing::AssertionFailure();
         }},
        {"14: status record", BlockReport(14, 0x0102, 3, Filled(13, 4)),
         [](ParamImage&) {
             const std::array<std::uint8_t, 16> expected = {1, 2,  3,  4,  5,  6,  7,  8,
                                                            9, 10, 11, 12, 13, 14, 15, 16};
             return g_statusRecord.Get() == expected ? ::testing::AssertionSuccess()
                                                     : ::testing::AssertionFailure();
         }},
        {"20: a device address fills the record it falls in",
         BlockReport(20, 28 * 3 + 5, 28, data56),
         [&](ParamImage& i) { return BytesAre(i, Block::DeviceTable, 84, Filled(28, 1)); }},
        {"20: the length is cut at the report's 56 data bytes", BlockReport(20, 0, 200, data56),
         [&](ParamImage& i) {
             auto expected = Filled(56, 1);
             expected.push_back(0);
             return BytesAre(i, Block::DeviceTable, 0, expected);
         }},
        {"20: address 6580 fills the second scene record", BlockReport(20, 6580, 56, data56),
         [&](ParamImage& i) { return BytesAre(i, Block::SceneTable, 56, data56); }},
        {"20: address 6860 is over range", BlockReport(20, 6860, 56, data56),
         [&](ParamImage& i) {
             if (m_log.Count("ZWaveReadMemFunc over range") != 1) {
                 return ::testing::AssertionFailure() << "no over-range line";
             }
             return BytesAre(i, Block::SceneTable, 280, std::vector<std::uint8_t>(56, 0));
         }},
        {"48: store read answer", BlockReport(48, 100, 56, data56),
         [&](ParamImage& i) { return BytesAre(i, Block::ReadBack, 100, data56); }},
        {"48: cut at the block's end", BlockReport(48, 3290, 56, Filled(56, 0x80)),
         [&](ParamImage& i) { return BytesAre(i, Block::ReadBack, 3290, Filled(9, 0x80)); }},
        {"48: address 3299 is ignored", BlockReport(48, 3299, 56, data56),
         [&](ParamImage& i) { return BytesAre(i, Block::ReadBack, 3290, Filled(9, 0x80)); }},
        {"134: exactly system bytes 100..106", BlockReport(134, 100, 7, band),
         [&](ParamImage& i) {
             auto expected = std::vector<std::uint8_t>{0x11};
             expected.insert(expected.end(), band.begin(), band.end());
             expected.push_back(0x11);
             return BytesAre(i, Block::System, 99, expected);
         }},
        {"134: FF FF at address 0 clears the whole system block",
         BlockReport(134, 0, 2, {0xFF, 0xFF}),
         [](ParamImage& i) {
             return BytesAre(i, Block::System, 0, std::vector<std::uint8_t>(kSystemBlockSize, 0));
         }},
        {"134: cut at the system block's end", BlockReport(134, 1250, 7, band),
         [&](ParamImage& i) {
             return BytesAre(i, Block::System, 1249, {0x00, 0x00, 0x96, 0x00});
         }},
        {"134: extension block", BlockReport(134, 1253, 32, Filled(32, 0x20)),
         [](ParamImage& i) { return BytesAre(i, Block::Extension, 0, Filled(32, 0x20)); }},
        {"134: routing block and its geometry",
         BlockReport(134, 1285, 20, {7,    5,    0x85, 0x0A, 0x8A, 0x0A, 0x00, 0x0A, 0x0A, 0x0A,
                                     0x8A, 0x8A, 0x00, 0x8A, 0x0A, 0x8A, 0x85, 0x00, 0x05, 0x00}),
         [](ParamImage& i) {
             const RoomGeometry g = i.Geometry();
             if (g.width != 7 || g.length != 5 || g.listenerX != -0.5f || g.listenerY != 1.0f) {
                 return ::testing::AssertionFailure() << "geometry not recomputed";
             }
             return BytesAre(i, Block::Routing, 0, {7, 5, 0x85});
         }},
        {"134: tail block", BlockReport(134, 1305, 2, {0xC0, 0xC0}),
         [](ParamImage& i) {
             return BytesAre(i, Block::Tail, 0, {0xC0, 0xC0});
         }},
        {"134: an address inside a block is ignored", BlockReport(134, 1260, 2, {9, 9}),
         [](ParamImage& i) {
             return BytesAre(i, Block::Extension, 7, {0x27, 0x28});
         }},
        {"219: address 3904 names M2", BlockReport(219, 3904, 6, {0, 'K', 0, 'T', 0, 0}),
         [](ParamImage& i) {
             return i.ModeName(1) == u"KT" ? ::testing::AssertionSuccess()
                                           : ::testing::AssertionFailure();
         }},
        {"219: FF FF FF FF leaves the name", BlockReport(219, 3840, 4, {0xFF, 0xFF, 0xFF, 0xFF}),
         [](ParamImage& i) {
             return i.ModeName(0) == u"M1" ? ::testing::AssertionSuccess()
                                           : ::testing::AssertionFailure();
         }},
        {"219: a name is cut at 23 units",
         BlockReport(219, 4032, 56,
                     [] {
                         std::vector<std::uint8_t> d;
                         for (int k = 0; k < 28; ++k) {
                             d.push_back(0);
                             d.push_back(static_cast<std::uint8_t>('a' + k % 26));
                         }
                         return d;
                     }()),
         [](ParamImage& i) {
             return i.ModeName(3) == u"abcdefghijklmnopqrstuvw" ? ::testing::AssertionSuccess()
                                                                : ::testing::AssertionFailure();
         }},
        {"219: another address names nothing", BlockReport(219, 3841, 2, {0, 'X'}),
         [](ParamImage& i) {
             for (int m = 0; m < 4; ++m) {
                 if (i.ModeName(m).find(u'X') != std::u16string::npos) {
                     return ::testing::AssertionFailure();
                 }
             }
             return ::testing::AssertionSuccess();
         }},
        {"128: model text up to the zero", TextReport(128, std::string("kv5930q\0xy", 10)),
         [](ParamImage& i) {
             return i.Model() == u"kv5930q" ? ::testing::AssertionSuccess()
                                            : ::testing::AssertionFailure();
         }},
        {"128: model cut at its field", TextReport(128, std::string(59, 'M')),
         [](ParamImage& i) {
             return i.Model() == std::u16string(kModelUnits - 1, u'M')
                        ? ::testing::AssertionSuccess()
                        : ::testing::AssertionFailure();
         }},
        {"126: DSP version cut at its field", TextReport(126, "2024-03-20 build 77"),
         [](ParamImage& i) {
             return i.DspVersion() == u"2024-03-20 buil" ? ::testing::AssertionSuccess()
                                                         : ::testing::AssertionFailure();
         }},
        {"129: MCU version cut at its field", TextReport(129, "2024-03-18-rc1"),
         [](ParamImage& i) {
             return i.McuVersion() == u"2024-03-18-" ? ::testing::AssertionSuccess()
                                                     : ::testing::AssertionFailure();
         }},
        {"127: communication version", MakeReport({1, 127, 18}),
         [](ParamImage& i) {
             return i.CommVersion() == 18 ? ::testing::AssertionSuccess()
                                          : ::testing::AssertionFailure();
         }},
        {"96: learning status and key code", MakeReport({1, 96, 1, 10, 0x3A}),
         [&](ParamImage& i) {
             const auto posted = m_receiver.Posted();
             if (posted.empty() || posted.back() != LinkNotice{notice::LearnStatus{0x3A}}) {
                 return ::testing::AssertionFailure() << "no learning status posted";
             }
             return BytesAre(i, Block::Hub, 0, {1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x3A, 0});
         }},
        {"96: a key index beyond the key table stays out of the hub",
         MakeReport({1, 96, 2, 30, 0x55}),
         [](ParamImage& i) {
             return BytesAre(i, Block::Hub, 28, {0, 0, 0, 0});
         }},
        {"98: learning table", BlockReport(98, 0x0102, 3, Filled(13, 4)),
         [](ParamImage& i) {
             auto expected = Filled(16, 1);
             expected.push_back(0);
             return BytesAre(i, Block::Hub, 0, expected);
         }},
        {"146: machine settings, current and edit copies",
         BlockReport(146, 0x0102, 3, Filled(13, 4)),
         [](ParamImage& i) {
             const auto r1 = BytesAre(i, Block::Hub, 536, Filled(14, 1));
             return r1 ? BytesAre(i, Block::Hub, 520, Filled(14, 1)) : r1;
         }},
    };
    for (Row& row : rows) {
        SCOPED_TRACE(row.name);
        m_log.Clear();
        DispatchReport(row.report.data());
        EXPECT_TRUE(row.check(GetParamImage()));
    }
}

TEST_F(DispatcherTest, ParameterErrorIsShownOnceAndTheValueDecodedEveryTime) {
    // (1, 14) micVolume = 0.8 with status 3: the box, then the value.
    Bytes61 r = MakeReport({1, 10, 3, 1, 14, 1, 0x3F, 0x4C, 0xCC, 0xCD});
    DispatchReport(r.data());
    EXPECT_EQ(GetParamImage().Int(fields::micVolume), 80);
    r = MakeReport({1, 10, 5, 4, 12, 1, 0x3F, 0x00, 0x00, 0x00});
    DispatchReport(r.data());
    EXPECT_EQ(GetParamImage().Int(fields::musicVolume), 50);
    EXPECT_EQ(m_receiver.ErrorBoxes(),
              std::vector<std::string>{"Error|参数错误,代码0x:03,指令1:0x01,指令2:0x0E "});
}

int g_starts = 0;

TEST_F(DispatcherTest, ReReadRequestsStartTheReadAll) {
    DispatchReport(MakeReport({1, 5}).data());
    EXPECT_EQ(m_log.Count("Start thread:SynchronizeData\n"), 1);
    EXPECT_EQ(m_log.Count("no read-all starter registered\n"), 1);
    SetReadAllStarter([] { ++g_starts; });
    DispatchReport(MakeReport({1, 5}).data());
    DispatchReport(MakeReport({1, 6}).data());
    EXPECT_EQ(g_starts, 2);
    EXPECT_EQ(m_log.Count("Start thread:SynchronizeData\n"), 3);
}

// --- Z-Wave relay, through the reader thread of a connected link -------------------------

/// Report 18 carrying a controller frame: 01 len type function params..., the parameters
/// padded with zeros up to the length, then the checksum.
Bytes61 Frame(std::initializer_list<int> frame) {
    Bytes61 r = MakeReport({1, 18, static_cast<int>(frame.size())});
    std::size_t i = 3;
    for (int b : frame) {
        r[i++] = static_cast<std::uint8_t>(b);
    }
    const std::size_t len = r[4];
    if (r[3] == 1 && 4 + len < r.size()) {
        std::uint8_t checksum = 0xFF;
        for (std::size_t k = 4; k < 4 + len; ++k) {
            checksum ^= r[k];
        }
        r[4 + len] = checksum;
    }
    return r;
}

Bytes61 WithByte(Bytes61 r, std::size_t at, std::uint8_t value) {
    r[at] = value;
    return r;
}

struct RelayRow {
    const char* name;
    Bytes61 report;
    std::vector<std::pair<std::size_t, std::uint8_t>> hub; ///< hub bytes expected after
    std::vector<notice::ZwaveEvent> posts;
};

TEST_F(LinkFixture, RelayedZWaveFramesUpdateTheHubAndAreAcknowledged) {
    auto device = Connect(false);
    ParamImage& image = GetParamImage();
    image.FillBlock(Block::Hub, 0);
    image.FillBlock(Block::DeviceTable, 0);
    for (std::size_t i = 0; i < kDeviceRecordSize; ++i) {
        image.SetHubByte(kHubPendingAddOffset + i, static_cast<std::uint8_t>(0xA0 + i));
    }
    Bytes61 initData = Frame({1, 36, 1, 2, 5, 8, 29, 0x03, 0, 0, 0x80});
    const std::vector<RelayRow> rows = {
        {"init data marks nodes 1, 2 and 32",
         initData,
         {{24 + 2, 1}, {24 + 4, 2}, {24 + 64, 32}, {24 + 6, 0}},
         {}},
        {"a node reports its value",
         Frame({1, 9, 0, 4, 0, 5, 3, 0x20, 0x03, 0x63}),
         {{25 + 10, 0x63}},
         {{4, 5, 0x63}}},
        {"a node above 232 is ignored",
         Frame({1, 9, 0, 4, 0, 240, 3, 0x20, 0x03, 0x63}),
         {{25 + 2 * 232, 0}},
         {}},
        {"a command running past the report is ignored",
         Frame({1, 9, 0, 4, 0, 5, 60}),
         {{25 + 10, 0x63}},
         {}},
        {"send data done", Frame({1, 5, 0, 0x13, 67, 0}), {}, {{19, 67, 0}}},
        {"send data without acknowledgement", Frame({1, 5, 0, 0x13, 68, 1}), {}, {{19, 68, 1}}},
        {"set default", Frame({1, 4, 0, 0x42, 2}), {}, {{66, 0, 0}}},
        {"add node ready", Frame({1, 7, 0, 0x4A, 0x30, 1, 0}), {}, {{74, 0, 1}}},
        {"add node done", Frame({1, 7, 0, 0x4A, 0x30, 5, 7}), {{24 + 14, 7}}, {{74, 7, 5}}},
        {"add node done above 232", Frame({1, 7, 0, 0x4A, 0x30, 5, 250}), {}, {}},
        {"remove node done", Frame({1, 7, 0, 0x4B, 9, 6, 2}), {{24 + 4, 0}}, {{75, 2, 6}}},
        {"remove node failed", Frame({1, 7, 0, 0x4B, 9, 7, 0}), {}, {{75, 0, 7}}},
        {"an unknown function is acknowledged and ignored", Frame({1, 5, 0, 0x77, 1, 2}), {}, {}},
        {"a command ending in the checksum is ignored",
         Frame({1, 8, 0, 4, 0, 5, 3, 0x20, 0x03}),
         {{25 + 10, 0x63}},
         {}},
    };
    std::size_t writes = 0;
    for (const RelayRow& row : rows) {
        SCOPED_TRACE(row.name);
        const std::size_t postsBefore = m_receiver.Posted().size();
        device->Inject(row.report);
        ASSERT_TRUE(device->WaitIdle(++writes));
        EXPECT_EQ(device->Writes().back(), MakeReport({2, 0x12, 0x01, 0x06}));
        for (const auto& [offset, value] : row.hub) {
            EXPECT_EQ(image.HubByte(offset), value) << "hub byte " << offset;
        }
        const auto posted = m_receiver.Posted();
        ASSERT_EQ(posted.size() - postsBefore, row.posts.size());
        for (std::size_t i = 0; i < row.posts.size(); ++i) {
            const auto* event = std::get_if<notice::ZwaveEvent>(&posted[postsBefore + i]);
            ASSERT_NE(event, nullptr);
            EXPECT_EQ(event->function, row.posts[i].function);
            EXPECT_EQ(event->node, row.posts[i].node);
            EXPECT_EQ(event->status, row.posts[i].status);
        }
    }
    EXPECT_EQ(g_bZWaveInitData.load(), 1);
    EXPECT_EQ(m_log.Count("REMOVE ID= 2\n"), 1);
    // The added node's device record came from the pending record.
    std::array<std::uint8_t, kDeviceRecordSize> record{};
    image.ReadBlock(Block::DeviceTable, 7 * kDeviceRecordSize, record);
    EXPECT_EQ(record[0], 0xA0);
    EXPECT_EQ(record[27], 0xA0 + 27);

    // Neither an acknowledgement from the controller nor a damaged frame is acknowledged,
    // and a damaged frame changes nothing.
    const Bytes61 report5 = Frame({1, 9, 0, 4, 0, 5, 3, 0x20, 0x03, 0x44});
    const std::vector<std::pair<const char*, Bytes61>> ignored = {
        {"acknowledgement", Frame({6})},
        {"wrong checksum", WithByte(report5, 13, report5[13] ^ 1)},
        {"length past the report", WithByte(report5, 4, 57)},
        {"length too short", Frame({1, 2, 0, 4})},
        {"no frame start", WithByte(report5, 3, 0x15)},
    };
    for (const auto& [name, report] : ignored) {
        SCOPED_TRACE(name);
        device->Inject(report);
        ASSERT_TRUE(device->WaitIdle());
        EXPECT_EQ(device->Writes().size(), writes);
        EXPECT_EQ(image.HubByte(25 + 10), 0x63);
    }
}

} // namespace
} // namespace kv::test
