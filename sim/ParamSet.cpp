#include "sim/ParamSet.h"

#include "image/ParamImage.h"
#include "sim/ParamEncoder.h"

#include <algorithm>

namespace kv::sim {

namespace {

constexpr int kModules = 13;
constexpr int kItemsPerModule = 64;

int Key(int module, int item) {
    return module * 256 + item;
}

} // namespace

ParamSet::ParamSet() {
    // Every record carries its header even before a value is set.
    for (const PlacedRecord& r : StoreRecords()) {
        m_store[r.offset] = r.shape.module;
        m_store[r.offset + 1] = r.shape.item;
        m_store[r.offset + 2] = r.shape.count;
    }
}

ParamSet ParamSet::FromImage(const ParamImage& image) {
    ParamSet set;
    image.ReadBlock(Block::System, 0, std::span(set.m_store).subspan(kReadBackSystemOffset));
    image.ReadBlock(Block::Extension, 0, std::span(set.m_store).subspan(kReadBackExtensionOffset));
    image.ReadBlock(Block::Routing, 0, std::span(set.m_store).subspan(kReadBackRoutingOffset));
    image.ReadBlock(Block::Tail, 0, std::span(set.m_store).subspan(kReadBackTailOffset));
    for (int module = 1; module <= kModules; ++module) {
        for (int item = 0; item < kItemsPerModule; ++item) {
            if (const int count = KnownValueCount(module, item); count > 0) {
                set.SetValues(module, item, EncodeFromImage(image, module, item, count));
            }
        }
    }
    return set;
}

bool ParamSet::SetValues(int module, int item, std::span<const std::uint8_t> values) {
    const int count = KnownValueCount(module, item);
    if (count == 0 || values.size() != kValueBytes * static_cast<std::size_t>(count)) {
        return false;
    }
    if (const PlacedRecord* r = FindStoreRecord(module, item)) {
        std::copy(values.begin(), values.end(), m_store.begin() + r->offset + kRecordHeader);
    } else {
        m_loose[Key(module, item)].assign(values.begin(), values.end());
    }
    return true;
}

std::vector<std::uint8_t> ParamSet::Values(int module, int item) const {
    const int count = KnownValueCount(module, item);
    if (count == 0) {
        return {};
    }
    const std::size_t bytes = kValueBytes * static_cast<std::size_t>(count);
    if (const PlacedRecord* r = FindStoreRecord(module, item)) {
        const auto first = m_store.begin() + r->offset + kRecordHeader;
        return {first, first + static_cast<std::ptrdiff_t>(bytes)};
    }
    const auto it = m_loose.find(Key(module, item));
    return it != m_loose.end() ? it->second : std::vector<std::uint8_t>(bytes, 0);
}

} // namespace kv::sim
