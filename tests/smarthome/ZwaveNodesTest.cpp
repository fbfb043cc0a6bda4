#include "smarthome/ZwaveNodes.h"
#include "image/ParamImage.h"

#include <gtest/gtest.h>

#include <vector>

namespace kv::zwave {
namespace {

/// A record whose name bytes are the given UTF-16 units, written little-endian, without any
/// terminator beyond what the units hold.
std::array<std::uint8_t, 28> RawRecord(std::uint8_t type, const std::vector<char16_t>& units) {
    std::array<std::uint8_t, 28> bytes{};
    bytes[0] = type;
    for (std::size_t k = 0; k < units.size() && 5 + 2 * k < bytes.size(); ++k) {
        bytes[4 + 2 * k] = static_cast<std::uint8_t>(units[k] & 0xFF);
        bytes[5 + 2 * k] = static_cast<std::uint8_t>(units[k] >> 8);
    }
    return bytes;
}

TEST(ZwaveNodes, NamesAreReadAsFarAsTheyAreValid) {
    struct Row {
        const char* name;
        std::vector<char16_t> units;
        std::u16string expected;
    };
    const std::vector<Row> rows = {
        {"terminated", {u'L', u'a', u'm', u'p', 0, u'x'}, u"Lamp"},
        {"twelve units without a terminator",
         {u'a', u'b', u'c', u'd', u'e', u'f', u'g', u'h', u'i', u'j', u'k', u'l'},
         u"abcdefghijkl"},
        {"a surrogate pair", {u'a', 0xD83D, 0xDCA1, u'b'}, u"a\U0001F4A1b"},
        {"a lone low surrogate", {u'a', 0xDC00, u'b'}, u"a"},
        {"a high surrogate without its pair", {u'a', 0xD800, u'b'}, u"a"},
        {"a high surrogate in the last unit",
         {u'a', u'b', u'c', u'd', u'e', u'f', u'g', u'h', u'i', u'j', u'k', 0xD800},
         u"abcdefghijk"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const auto bytes = RawRecord(2, row.units);
        const DeviceRecord record = DecodeDeviceRecord(bytes.data());
        EXPECT_EQ(record.type, 2);
        EXPECT_EQ(record.name, row.expected);
    }
}

TEST(ZwaveNodes, EncodingCutsTheNameToElevenCharactersAndKeepsATerminator) {
    const auto bytes = EncodeDeviceRecord({kSwitchType, u"abcdefghijkl"});
    EXPECT_EQ(bytes,
              RawRecord(1, {u'a', u'b', u'c', u'd', u'e', u'f', u'g', u'h', u'i', u'j', u'k'}));
    EXPECT_EQ(DecodeDeviceRecord(bytes.data()).name, u"abcdefghijk");
    // A pair that would be split at the cut is left out whole.
    const auto pair = EncodeDeviceRecord({kDimmerType, u"abcdefghij\U0001F4A1"});
    EXPECT_EQ(DecodeDeviceRecord(pair.data()).name, u"abcdefghij");
}

class ZwaveTables : public ::testing::Test {
protected:
    void SetUp() override {
        m_image.FillBlock(Block::Hub, 0);
        m_image.FillBlock(Block::DeviceTable, 0);
    }
    void AddNode(int node, std::uint8_t type, const std::u16string& name) {
        m_image.SetHubByte(kHubNodeTableOffset + 2 * static_cast<std::size_t>(node),
                           static_cast<std::uint8_t>(node));
        StoreDeviceRecord(m_image, node, {type, name});
    }
    ParamImage m_image;
};

TEST_F(ZwaveTables, PresenceValuesAndTheDeviceList) {
    AddNode(1, 0, u"");
    AddNode(2, kSwitchType, u"a");
    AddNode(232, kDimmerType, u"b");
    // A stale record of an absent node and a presence byte naming another node.
    StoreDeviceRecord(m_image, 9, {kSwitchType, u"gone"});
    m_image.SetHubByte(kHubNodeTableOffset + 2 * 10, 11);
    EXPECT_EQ(PresentDevices(m_image), (std::vector<int>{2, 232}));
    EXPECT_TRUE(NodePresent(m_image, 1));
    EXPECT_FALSE(NodePresent(m_image, 0));
    EXPECT_FALSE(NodePresent(m_image, 233));
    SetNodeValueInImage(m_image, 232, 77);
    EXPECT_EQ(NodeValue(m_image, 232), 77);
    SetNodeValueInImage(m_image, 300, 5); // ignored
    EXPECT_EQ(NodeValue(m_image, 300), 0);
    EXPECT_EQ(ReadDeviceRecord(m_image, 500).name, u"");
}

TEST_F(ZwaveTables, DefaultNamesTakeTheSmallestFreeNumber) {
    AddNode(2, kSwitchType, u"开关1");
    AddNode(3, kSwitchType, u"开关2");
    StoreDeviceRecord(m_image, 4, {kSwitchType, u"开关3"}); // not present: free
    AddNode(5, kDimmerType, u"DIM1");
    EXPECT_EQ(DefaultDeviceName(m_image, kSwitchType), u"开关3");
    EXPECT_EQ(DefaultDeviceName(m_image, kDimmerType), u"调压1");
    EXPECT_EQ(DefaultDeviceName(m_image, 9), u"无名1");
}

} // namespace
} // namespace kv::zwave
