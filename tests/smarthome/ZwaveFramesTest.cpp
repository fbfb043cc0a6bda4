#include "smarthome/ZwaveFrames.h"

#include <gtest/gtest.h>

#include <vector>

namespace kv::zwave {
namespace {

/// The leading bytes of a report; the rest of the 61 must be zero.
void ExpectReport(const OutReport& report, const std::vector<int>& head) {
    for (std::size_t i = 0; i < report.size(); ++i) {
        const int expected = i < head.size() ? head[i] : 0;
        EXPECT_EQ(report[i], expected) << "byte " << i;
    }
}

struct FrameRow {
    const char* name;
    std::vector<std::uint8_t> payload;
    std::vector<int> report;
};

TEST(ZwaveFrames, EveryRequestByteForByte) {
    const std::vector<FrameRow> rows = {
        {"get init data", GetInitDataPayload(), {2, 0x12, 5, 1, 3, 0, 0x02, 0xFE}},
        {"set default", SetDefaultPayload(), {2, 0x12, 6, 1, 4, 0, 0x42, 0x02, 0xBB}},
        {"add node", AddNodePayload(), {2, 0x12, 7, 1, 5, 0, 0x4A, 0x01, 0x30, 0x81}},
        {"stop adding", StopAddingPayload(), {2, 0x12, 7, 1, 5, 0, 0x4A, 0x05, 0x00, 0xB5}},
        {"remove node", RemoveNodePayload(), {2, 0x12, 7, 1, 5, 0, 0x4B, 0x01, 0x09, 0xB9}},
        {"stop removing", StopRemovingPayload(), {2, 0x12, 6, 1, 4, 0, 0x4B, 0x05, 0xB5}},
        {"cancel removing", CancelPayload(0x4B), {2, 0x12, 7, 1, 5, 0, 0x4B, 0x05, 0x00, 0xB4}},
        {"cancel a send", CancelPayload(19), {2, 0x12, 7, 1, 5, 0, 0x13, 0x05, 0x00, 0xEC}},
        {"basic set 99 uses callback 67",
         BasicSetPayload(5, 99),
         {2, 0x12, 12, 1, 10, 0, 0x13, 5, 3, 0x20, 1, 99, 0x25, 67, 0xC4}},
        {"basic set 130 (a remote key) uses callback 68",
         BasicSetPayload(5, 130),
         {2, 0x12, 12, 1, 10, 0, 0x13, 5, 3, 0x20, 1, 130, 0x25, 68, 0x22}},
        {"basic set 255 uses callback 67",
         BasicSetPayload(5, 255),
         {2, 0x12, 12, 1, 10, 0, 0x13, 5, 3, 0x20, 1, 255, 0x25, 67, 0x58}},
        {"basic set 0",
         BasicSetPayload(5, 0),
         {2, 0x12, 12, 1, 10, 0, 0x13, 5, 3, 0x20, 1, 0, 0x25, 67, 0xA7}},
    };
    for (const FrameRow& row : rows) {
        SCOPED_TRACE(row.name);
        ExpectReport(RequestFrame(row.payload), row.report);
    }
}

TEST(ZwaveFrames, CallbackIdFollowsTheValueAsASignedByte) {
    const std::vector<std::pair<int, int>> rows = {{0, 67},   {99, 67},  {127, 67}, {128, 68},
                                                   {130, 68}, {254, 68}, {255, 67}};
    for (const auto& [value, id] : rows) {
        EXPECT_EQ(BasicSetCallbackId(static_cast<std::uint8_t>(value)), id) << value;
    }
}

TEST(ZwaveFrames, AcknowledgementAndMemoryCommands) {
    ExpectReport(AckFrame(), {2, 0x12, 0x01, 0x06});
    ExpectReport(MemoryRead(6580, 56), {2, 0x14, 0x19, 0xB4, 56});
    const std::vector<std::uint8_t> record = {2, 0, 0, 0, 'L', 0, 'a', 0};
    ExpectReport(MemoryWrite(7 * 28, record), {2, 0x13, 0x00, 0xC4, 8, 2, 0, 0, 0, 'L', 0, 'a', 0});
    // Longer data than a report holds is cut to 56 bytes, and the length says so.
    const std::vector<std::uint8_t> big(80, 0xAB);
    const OutReport cut = MemoryWrite(6524, big);
    EXPECT_EQ(cut[4], 56);
    EXPECT_EQ(cut[60], 0xAB);
}

TEST(ZwaveFrames, LongestPayloadKeepsItsChecksumInTheReport) {
    const std::vector<std::uint8_t> payload(70, 0x11);
    const OutReport r = RequestFrame(payload);
    EXPECT_EQ(r[2], kMaxPayload + 4);
    EXPECT_EQ(r[4], kMaxPayload + 2);
    std::uint8_t checksum = 0xFF;
    for (std::size_t i = 4; i < 6 + kMaxPayload; ++i) {
        checksum ^= r[i];
    }
    EXPECT_EQ(r[6 + kMaxPayload], checksum);
    EXPECT_EQ(6 + kMaxPayload, r.size() - 1);
}

} // namespace
} // namespace kv::zwave
