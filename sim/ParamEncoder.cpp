#include "sim/ParamEncoder.h"

#include "image/Encodings.h"
#include "image/ParamImage.h"
#include "protocol/CoefficientEncoders.h"
#include "protocol/ParamSenders.h"
#include "protocol/ParamTable.h"
#include "sim/RecordLayout.h"

#include <bit>
#include <span>

namespace kv::sim {

namespace {

constexpr int kFirstOutputModule = 5;
constexpr int kLastOutputModule = 12;

/// Items of each module that carry an equaliser biquad.
struct BiquadRange {
    int module;
    int first;
    int last;
};
constexpr BiquadRange kBiquads[] = {{1, 16, 25}, {1, 39, 48}, {2, 0, 6}, {2, 13, 19},
                                    {3, 0, 6},   {3, 12, 18}, {4, 0, 10}};
constexpr int kOutputBiquads = 15;

// Bass enhancement coefficient items of channel A; channel B's are 23 higher.
constexpr int kBassInverseA = 35;
constexpr int kBassGainA = 36;
constexpr int kBassRecordA = 38;
constexpr int kChannelBOffset = 23;
constexpr int kTrimItem = 29;

std::vector<std::uint8_t> WordBytes(std::span<const std::uint32_t> words, int count) {
    std::vector<std::uint8_t> bytes(kValueBytes * static_cast<std::size_t>(count), 0);
    for (std::size_t i = 0; i < words.size() && i < static_cast<std::size_t>(count); ++i) {
        PutU32BE(bytes.data() + kValueBytes * i, words[i]);
    }
    return bytes;
}

std::vector<std::uint8_t> FloatBytes(std::span<const float> values, int count) {
    std::vector<std::uint32_t> words;
    for (float v : values) {
        words.push_back(std::bit_cast<std::uint32_t>(v));
    }
    return WordBytes(words, count);
}

/// The coefficient records the application derives from the tail and extension blocks.
std::vector<std::uint8_t> EncodeCoefficients(const ParamImage& image, int module, int item,
                                             int count) {
    if (module == 1) {
        const int a = item > kBassRecordA ? item - kChannelBOffset : item;
        const float db = image.TailValue();
        const double gain = DbToLinear(db);
        const float value =
            a == kBassInverseA ? static_cast<float>(1.0 / gain) : static_cast<float>(gain);
        if (a == kBassInverseA || a == kBassGainA) {
            return FloatBytes(std::span(&value, 1), count);
        }
        if (a == kBassRecordA) {
            return FloatBytes(BuildLevelPair(db, LevelPairKind::BassBoost), count);
        }
    } else if (module >= kFirstOutputModule && module <= kLastOutputModule && item == kTrimItem) {
        const float trim = image.ExtensionTrim(module - kFirstOutputModule);
        return FloatBytes(BuildLevelPair(trim, LevelPairKind::PositionTrim), count);
    }
    return WordBytes({}, count);
}

} // namespace

int KnownValueCount(int module, int item) {
    if (const PlacedRecord* r = FindStoreRecord(module, item)) {
        return r->shape.count;
    }
    if (module >= kFirstOutputModule && module <= kLastOutputModule) {
        if (item >= 0 && item < kOutputBiquads) {
            return kBiquadValues;
        }
        const PlacedRecord* r = FindStoreRecord(kFirstOutputModule, item);
        return r != nullptr ? r->shape.count : 0;
    }
    for (const BiquadRange& b : kBiquads) {
        if (module == b.module && item >= b.first && item <= b.last) {
            return kBiquadValues;
        }
    }
    return 0;
}

std::vector<std::uint8_t> EncodeFromImage(const ParamImage& image, int module, int item,
                                          int count) {
    if (const ParamRow* row = FindParamRow(module, item)) {
        return WordBytes(EncodeRow(*row, image), count);
    }
    return EncodeCoefficients(image, module, item, count);
}

} // namespace kv::sim
