#include "sim/RecordLayout.h"

#include <map>
#include <stdexcept>
#include <vector>

namespace kv::sim {

namespace {

/// A run of consecutive items of one module, each stored with `count` values.
struct Run {
    std::uint8_t module;
    std::uint8_t first;
    std::uint8_t last;
    std::uint8_t count;
};

/// Module 0 in a run stands for the output channel's own module (5..12).
constexpr std::uint8_t kChannelModule = 0;
constexpr int kOutputChannels = 8;
constexpr int kFirstOutputModule = 5;

// The store order. Microphone channel A keeps the shared microphone items and its bass
// enhancement coefficients, channel B its own items and coefficients; then echo, reverb,
// music, the eight output channels and the exciter.
constexpr Run kBeforeChannels[] = {
    {1, 4, 15, 1},  {1, 26, 34, 1}, {1, 35, 36, 1}, {1, 37, 37, 1}, {1, 38, 38, 6}, {1, 49, 57, 1},
    {1, 58, 59, 1}, {1, 60, 60, 1}, {1, 61, 61, 6}, {2, 7, 12, 1},  {2, 20, 27, 1}, {3, 7, 11, 1},
    {3, 19, 23, 1}, {3, 24, 25, 2}, {4, 11, 13, 1}, {4, 14, 14, 7}, {4, 15, 17, 1}, {4, 21, 33, 1},
    {4, 36, 37, 1}, {4, 18, 19, 1}, {4, 20, 20, 2},
};

// One output channel: 153 bytes. The last channel's store ends before its final three runs
// (phase, delay switch, delay mode): the exciter's records take that place.
constexpr Run kChannel[] = {
    {kChannelModule, 15, 16, 1}, {kChannelModule, 18, 18, 1}, {kChannelModule, 20, 24, 1},
    {kChannelModule, 26, 26, 1}, {kChannelModule, 27, 27, 7}, {kChannelModule, 28, 28, 1},
    {kChannelModule, 29, 29, 6}, {kChannelModule, 25, 25, 1}, {kChannelModule, 19, 19, 1},
    {kChannelModule, 17, 17, 2},
};
constexpr std::size_t kRunsMissingFromLastChannel = 3;

constexpr Run kAfterChannels[] = {{13, 0, 11, 1}};

struct Layout {
    std::vector<PlacedRecord> records;
    std::map<int, std::size_t> index; // module * 256 + item -> records index
};

void Append(Layout& layout, std::size_t& offset, const Run& run, std::uint8_t module) {
    for (int item = run.first; item <= run.last; ++item) {
        const RecordShape shape{module, static_cast<std::uint8_t>(item), run.count};
        layout.index[module * 256 + item] = layout.records.size();
        layout.records.push_back({shape, offset});
        offset += shape.Size();
    }
}

Layout Build() {
    Layout layout;
    std::size_t offset = kRecordsOffset;
    for (const Run& run : kBeforeChannels) {
        Append(layout, offset, run, run.module);
    }
    for (int c = 0; c < kOutputChannels; ++c) {
        const auto module = static_cast<std::uint8_t>(kFirstOutputModule + c);
        const std::size_t runs =
            std::size(kChannel) - (c == kOutputChannels - 1 ? kRunsMissingFromLastChannel : 0);
        for (std::size_t r = 0; r < runs; ++r) {
            Append(layout, offset, kChannel[r], module);
        }
    }
    for (const Run& run : kAfterChannels) {
        Append(layout, offset, run, run.module);
    }
    if (offset != kStoreSize) {
        throw std::logic_error("stored records do not fill the store");
    }
    return layout;
}

const Layout& GetLayout() {
    static const Layout layout = Build();
    return layout;
}

} // namespace

std::span<const PlacedRecord> StoreRecords() {
    return GetLayout().records;
}

const PlacedRecord* FindStoreRecord(int module, int item) {
    const Layout& layout = GetLayout();
    const auto it = layout.index.find(module * 256 + item);
    return it == layout.index.end() ? nullptr : &layout.records[it->second];
}

} // namespace kv::sim
