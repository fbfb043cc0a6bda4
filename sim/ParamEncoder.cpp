#include "sim/ParamEncoder.h"

#include "image/Encodings.h"
#include "image/ParamImage.h"
#include "protocol/ParamTable.h"
#include "sim/RecordLayout.h"

#include <algorithm>
#include <bit>
#include <cmath>

namespace kv::sim {

namespace {

constexpr int kFirstOutputModule = 5;
constexpr int kLastOutputModule = 12;
constexpr int kBiquadValues = 5;

/// Items of each module that carry an equaliser biquad.
struct BiquadRange {
    int module;
    int first;
    int last;
};
constexpr BiquadRange kBiquads[] = {{1, 16, 25}, {1, 39, 48}, {2, 0, 6}, {2, 13, 19},
                                    {3, 0, 6},   {3, 12, 18}, {4, 0, 10}};
constexpr int kOutputBiquads = 15;

// Bass enhancement coefficient items, channel A and channel B.
constexpr int kBassInverseA = 35;
constexpr int kBassGainA = 36;
constexpr int kBassRecordA = 38;
constexpr int kChannelBOffset = 23;
constexpr int kTrimItem = 29;

// Constant values of the level pair records.
constexpr std::uint32_t kTrimC2 = 0x3F7EFF25;
constexpr std::uint32_t kTrimC3 = 0xBFFF7EF1;
constexpr std::uint32_t kBassC2 = 0x3F7D554A;
constexpr std::uint32_t kBassC3 = 0xBFFEA8DC;

// Constant values of the dynamics record.
constexpr float kDynamicsKnee = 20.0f;
constexpr float kDynamicsSlope = 0.05f;

class ValueWriter {
public:
    explicit ValueWriter(int count) : m_bytes(4 * static_cast<std::size_t>(count), 0) {}
    void Float(float v) { Put(std::bit_cast<std::uint32_t>(v)); }
    void Word(std::uint32_t v) { Put(v); }
    /// Repeats the first value into every remaining one.
    std::vector<std::uint8_t> Repeated() {
        for (std::size_t at = 4; at + 4 <= m_bytes.size(); at += 4) {
            std::copy_n(m_bytes.begin(), 4, m_bytes.begin() + static_cast<std::ptrdiff_t>(at));
        }
        return std::move(m_bytes);
    }
    std::vector<std::uint8_t> Take() { return std::move(m_bytes); }

private:
    void Put(std::uint32_t v) {
        if (m_at + 4 <= m_bytes.size()) {
            PutU32BE(m_bytes.data() + m_at, v);
            m_at += 4;
        }
    }
    std::vector<std::uint8_t> m_bytes;
    std::size_t m_at = 0;
};

/// The shifter's delay that goes with a shift frequency: (1000 / (4 f) - 25) ms.
std::uint32_t ShiftDelaySamples(std::int32_t hz) {
    if (hz < 2) {
        return 0;
    }
    const auto ms = static_cast<float>(1000.0 / (4.0 * hz) - 25.0);
    return MsToSamples(ms);
}

std::vector<std::uint8_t> EncodeRow(const ParamImage& image, const ParamRow& row, int count) {
    const MainField& f = *row.field;
    const int e = row.entry;
    const std::int32_t slot = image.Int(f, e);
    const float value = image.Float(f, e);
    ValueWriter w(count);
    switch (row.wire) {
    case Wire::X100:
        w.Float(X100ToValue(slot));
        break;
    case Wire::X10000:
        w.Float(X10000ToValue(slot));
        break;
    case Wire::Flag100:
        w.Float(slot != 0 ? 1.0f : 0.0f);
        break;
    case Wire::Byte:
    case Wire::ShiftOff:
        w.Word(static_cast<std::uint8_t>(slot));
        break;
    case Wire::BytePlus5:
        w.Word(static_cast<std::uint8_t>(slot + 5));
        break;
    case Wire::Inverted:
        w.Float(slot == 0 ? 1.0f : 0.0f);
        break;
    case Wire::BassBoostSwitch:
        w.Word(slot == 0 ? 1 : 0);
        break;
    case Wire::Raw:
    case Wire::Rounded:
        w.Float(value);
        break;
    case Wire::Step:
        w.Float(static_cast<float>(value / 100.0));
        break;
    case Wire::Samples:
        w.Word(MsToSamples(std::max(value, row.minMs)));
        break;
    case Wire::WholeMsSamples:
        w.Word(MsToSamples(std::max(std::trunc(value), row.minMs)));
        break;
    case Wire::IntMsSamples:
        w.Word(MsToSamples(slot));
        break;
    case Wire::ShiftFreq:
        w.Float(HzToAngular(slot));
        break;
    case Wire::ShiftDelay:
        w.Word(ShiftDelaySamples(slot));
        break;
    case Wire::Phase:
        w.Float(slot == 1 ? -1.0f : 1.0f);
        break;
    case Wire::DelayMode:
        w.Float(1.0f);
        w.Float(slot == 0 ? 1.0f : 0.0f);
        return w.Take();
    case Wire::Dynamics: {
        const DynamicsSlots s = DynamicsSlotsOf(row);
        w.Float(image.SlotFloat(s.threshold));
        w.Float(0.0f);
        w.Float(RatioToCoef(image.SlotFloat(s.ratio)));
        w.Float(kDynamicsKnee);
        w.Float(kDynamicsSlope);
        w.Float(TimeToCoef(image.SlotFloat(s.attack)));
        w.Float(TimeToCoef(image.SlotFloat(s.release)));
        return w.Take();
    }
    }
    return w.Repeated();
}

std::vector<std::uint8_t> EncodeCoefficients(const ParamImage& image, int module, int item,
                                             int count) {
    ValueWriter w(count);
    if (module == 1) {
        const int a = item > kBassRecordA ? item - kChannelBOffset : item;
        const float db = image.TailValue();
        const double gain = DbToLinear(db);
        if (a == kBassInverseA) {
            w.Float(static_cast<float>(1.0 / gain));
        } else if (a == kBassGainA) {
            w.Float(static_cast<float>(gain));
        } else if (a == kBassRecordA) {
            return LevelPairValues(db, true);
        }
    } else if (module >= kFirstOutputModule && module <= kLastOutputModule && item == kTrimItem) {
        return LevelPairValues(image.ExtensionTrim(module - kFirstOutputModule), false);
    }
    return w.Take();
}

} // namespace

int KnownValueCount(int module, int item) {
    if (const PlacedRecord* r = FindStoreRecord(module, item)) {
        return r->spec.count;
    }
    if (module >= kFirstOutputModule && module <= kLastOutputModule) {
        if (item >= 0 && item < kOutputBiquads) {
            return kBiquadValues;
        }
        const PlacedRecord* r = FindStoreRecord(kFirstOutputModule, item);
        return r != nullptr ? r->spec.count : 0;
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
        return EncodeRow(image, *row, count);
    }
    return EncodeCoefficients(image, module, item, count);
}

std::vector<std::uint8_t> LevelPairValues(float db, bool bassEnhancement) {
    const float g1 = static_cast<float>(DbToLinear(db));
    const float square = db * db;
    const float y = square * 0.0022594517f + db * 0.799902f;
    const float g2 = static_cast<float>(DbToLinear(y));
    ValueWriter w(6);
    w.Float(g1);
    w.Float(g2);
    w.Word(bassEnhancement ? kBassC2 : kTrimC2);
    w.Word(bassEnhancement ? kBassC3 : kTrimC3);
    w.Float(g1);
    w.Float(g2);
    return w.Take();
}

} // namespace kv::sim
