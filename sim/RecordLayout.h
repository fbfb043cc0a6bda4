#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

/// The simulated processor's store: the blocks the application copies whole, then from
/// offset 1317 the stored parameter records end to end in one fixed order (RECORDS.md).
namespace kv::sim {

inline constexpr std::size_t kStoreSize = 3299;
inline constexpr std::size_t kRecordsOffset = 1317;
inline constexpr std::size_t kRecordHeader = 3;
inline constexpr std::size_t kValueBytes = 4;

using StoreBytes = std::array<std::uint8_t, kStoreSize>;

/// One stored parameter record: module, item and the number of 4-byte values.
struct RecordShape {
    std::uint8_t module;
    std::uint8_t item;
    std::uint8_t count;

    constexpr std::size_t Size() const { return kRecordHeader + kValueBytes * count; }
};

/// A record at its offset in the store.
struct PlacedRecord {
    RecordShape shape;
    std::size_t offset;
};

/// Every record in store order, each at its offset; the last one ends at the store's end.
std::span<const PlacedRecord> StoreRecords();
/// The record of (module, item), or nullptr when the store keeps none.
const PlacedRecord* FindStoreRecord(int module, int item);

} // namespace kv::sim
