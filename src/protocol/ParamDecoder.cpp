#include "protocol/ParamDecoder.h"

#include "image/Encodings.h"
#include "image/ParamImage.h"
#include "protocol/ParamTable.h"

namespace kv {

namespace {

constexpr std::size_t kValueSize = 4;
constexpr std::size_t kDynamicsValues = 7;

/// Bytes a row needs before it can be decoded: the dynamics record reads values 0..6 and the
/// delay mode its second value; every other row reads the first value only.
std::size_t BytesNeeded(const ParamRow& row) {
    switch (row.wire) {
    case Wire::Dynamics:
        return kDynamicsValues * kValueSize;
    case Wire::DelayMode:
        return 2 * kValueSize;
    default:
        return kValueSize;
    }
}

/// The x10000 integer of a received single, rounded to the nearest unit. Truncation would
/// turn almost every second value sent as slot / 10000 into slot - 1 (1 arrives as
/// 0.0000999999975), so a threshold would creep down on every read-back.
std::int32_t DecodeX10000(float e) {
    const double scaled = double{e} * 10000.0;
    return TruncToInt32(scaled >= 0 ? scaled + 0.5 : scaled - 0.5);
}

void DecodeDynamics(ParamImage& image, const ParamRow& row, const std::uint8_t* v) {
    const DynamicsSlots slots = DynamicsSlotsOf(row);
    image.SetSlotFloat(slots.threshold, GetFloatBE(v));
    image.SetSlotFloat(slots.ratio, CoefToRatio(GetFloatBE(v + 2 * kValueSize)));
    image.SetSlotFloat(slots.attack, CoefToTime(GetFloatBE(v + 5 * kValueSize)));
    image.SetSlotFloat(slots.release, CoefToTime(GetFloatBE(v + 6 * kValueSize)));
}

} // namespace

void DecodeParam(ParamImage& image, std::uint8_t module, std::uint8_t item,
                 std::span<const std::uint8_t> values) {
    const ParamRow* row = FindParamRow(module, item);
    if (row == nullptr || !row->readBack || values.size() < BytesNeeded(*row)) {
        return;
    }
    const std::uint8_t* v = values.data();
    const float e = GetFloatBE(v);
    const float d = RoundedSingle(e);
    const std::int32_t c = DecodeX100(e);
    const std::uint8_t a = v[3];
    const MainField& f = *row->field;
    const int entry = row->entry;

    switch (row->wire) {
    case Wire::X100:
    case Wire::Flag100:
        image.SetInt(f, entry, c);
        break;
    case Wire::X10000:
        image.SetInt(f, entry, DecodeX10000(e));
        break;
    case Wire::Byte:
        image.SetInt(f, entry, a);
        break;
    case Wire::BytePlus5:
        image.SetInt(f, entry, std::int32_t{a} - 5);
        break;
    case Wire::Inverted:
        image.SetInt(f, entry, c == 0 ? 1 : 0);
        break;
    case Wire::BassBoostSwitch:
        image.SetInt(f, entry, a == 0 ? 1 : 0);
        break;
    case Wire::Raw:
        image.SetFloat(f, entry, e);
        break;
    case Wire::Rounded:
        image.SetFloat(f, entry, d);
        break;
    case Wire::Step:
        image.SetFloat(f, entry, static_cast<float>(c));
        break;
    case Wire::Samples:
    case Wire::WholeMsSamples:
        image.SetFloat(f, entry, SamplesToMs(GetU32BE(v)));
        break;
    case Wire::IntMsSamples:
        image.SetInt(f, entry, TruncToInt32(SamplesToMs(GetU32BE(v))));
        break;
    case Wire::ShiftFreq:
        image.SetInt(f, entry, AngularToHz(e));
        break;
    case Wire::ShiftOff:
        image.SetInt(f, entry, a);
        if (a == 1) {
            const MainField& freq = row->field->slot == fields::micShiftOffA.slot
                                        ? fields::micShiftFreqA
                                        : fields::micShiftFreqB;
            image.SetInt(freq, 1);
        }
        break;
    case Wire::Phase:
        image.SetInt(f, entry, c <= 0 ? 1 : 0);
        break;
    case Wire::DelayMode:
        image.SetInt(f, entry, TruncToInt32(GetFloatBE(v + kValueSize)) == 0 ? 1 : 0);
        break;
    case Wire::Dynamics:
        DecodeDynamics(image, *row, v);
        break;
    case Wire::ShiftDelay:
        break;
    }
}

} // namespace kv
