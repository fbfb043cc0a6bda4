#include "ImageCases.h"

#include "image/ParamImage.h"
#include "protocol/ParamTable.h"
#include "protocol/Synchronize.h"
#include "sim/ParamSet.h"
#include "sim/RecordLayout.h"

#include <gtest/gtest.h>

#include <memory>
#include <set>

namespace kv::test {
namespace {

using sim::PlacedRecord;

std::set<std::size_t> DecodedOffsets() {
    const int* offsets = ReadBackRecordOffsets();
    return {offsets, offsets + kReadBackRecordCount};
}

TEST(RecordLayout, RecordsLieEndToEndFromOffset1317ToTheStoresEnd) {
    std::size_t next = sim::kRecordsOffset;
    for (const PlacedRecord& r : sim::StoreRecords()) {
        EXPECT_EQ(r.offset, next) << int(r.shape.module) << "/" << int(r.shape.item);
        EXPECT_GE(r.shape.count, 1);
        next = r.offset + r.shape.Size();
    }
    EXPECT_EQ(next, sim::kStoreSize);
}

TEST(RecordLayout, EveryDecodedOffsetStartsARecord) {
    std::set<std::size_t> starts;
    for (const PlacedRecord& r : sim::StoreRecords()) {
        starts.insert(r.offset);
    }
    const auto decoded = DecodedOffsets();
    ASSERT_EQ(decoded.size(), 204u);
    for (std::size_t offset : decoded) {
        EXPECT_TRUE(starts.contains(offset)) << offset;
    }
}

TEST(RecordLayout, EveryParameterTheDecoderReadsSitsAtADecodedOffset) {
    const auto decoded = DecodedOffsets();
    int placed = 0;
    for (const ParamRow& row : ParamRows()) {
        if (!row.readBack) {
            continue;
        }
        const PlacedRecord* r = sim::FindStoreRecord(row.module, row.item);
        if (NotInStore(row.module, row.item)) {
            EXPECT_EQ(r, nullptr);
            continue;
        }
        ASSERT_NE(r, nullptr) << int(row.module) << "/" << int(row.item);
        EXPECT_TRUE(decoded.contains(r->offset)) << int(row.module) << "/" << int(row.item);
        EXPECT_GE(r->shape.count, row.count) << "the record holds every value the decoder reads";
        ++placed;
    }
    EXPECT_EQ(placed, 195);
}

TEST(RecordLayout, AStoreBuiltFromAnImageReadsBackAsThatImage) {
    auto original = std::make_unique<ParamImage>();
    FillVaried(*original);
    const sim::ParamSet set = sim::ParamSet::FromImage(*original);

    auto readBack = std::make_unique<ParamImage>();
    readBack->InitDefaults();
    readBack->WriteBlock(Block::ReadBack, 0, set.Store());
    DecodeReadBack(*readBack);
    ExpectCarried(*original, *readBack);

    // Every record carries its own module, item and count.
    for (const PlacedRecord& r : sim::StoreRecords()) {
        EXPECT_EQ(set.Store()[r.offset], r.shape.module);
        EXPECT_EQ(set.Store()[r.offset + 1], r.shape.item);
        EXPECT_EQ(set.Store()[r.offset + 2], r.shape.count);
    }
}

} // namespace
} // namespace kv::test
