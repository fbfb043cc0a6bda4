#include "protocol/ParamSenders.h"

#include "image/Encodings.h"
#include "image/ParamImage.h"
#include "protocol/CoefficientEncoders.h"
#include "protocol/CommandSink.h"
#include "protocol/DelayOperations.h"

#include <algorithm>
#include <bit>
#include <chrono>

namespace kv {

namespace {

using namespace std::chrono_literals;

constexpr int kFadeInSteps = 9;
constexpr auto kFadeInPause = 30ms;
constexpr int kMusicMuteItem = 13;
constexpr int kMusicModule = 4;
constexpr int kMicModule = 1;
constexpr int kChannelBItemOffset = 23;

std::uint32_t FlagWord(bool on) {
    return FloatWord(on ? 1.0f : 0.0f);
}

/// The shifter's delay: (1000 / (4 f) - 25) ms rounded to single, as samples. At 0 Hz the
/// formula has no finite value; the shifter gets no delay then.
std::uint32_t ShiftDelaySamples(std::int32_t hz) {
    if (hz == 0) {
        return 0;
    }
    const float ms = static_cast<float>(1000.0 / (4.0 * hz) - 25.0);
    return MsToSamples(ms);
}

bool RowCarriesSlot(const ParamRow& row, int slot) {
    if (row.wire == Wire::Dynamics) {
        const DynamicsSlots s = DynamicsSlotsOf(row);
        return slot == s.threshold || slot == s.ratio || slot == s.attack || slot == s.release;
    }
    return row.field->SlotOf(row.entry) == slot;
}

/// Sends every row carrying the slot, in table order (for example both effect volume items).
void SendRowsCarrying(int slot) {
    for (const ParamRow& row : ParamRows()) {
        if (RowCarriesSlot(row, slot)) {
            SendStoredParam(row);
        }
    }
}

/// Fields whose setter is more than storing and sending the rows carrying the slot. Fields
/// are told apart by their slot: callers may hold copies of the descriptors.
bool SetSpecial(const MainField& field, int entry, std::int32_t value) {
    using namespace fields;
    const auto is = [&field](const MainField& f) { return field.slot == f.slot; };
    if (is(micToChannelA) || is(micToChannelB)) {
        SetMicRouting(entry, is(micToChannelA) == (value != 0));
    } else if (is(micShiftFreqA) || is(micShiftFreqB)) {
        SetShiftFrequency(is(micShiftFreqA) ? 0 : 1, value);
    } else if (is(musicMute)) {
        SetMusicMute(value != 0);
    } else if (is(outDelayMode)) {
        SetChannelDelayMode(entry, value);
    } else {
        return false;
    }
    return true;
}

} // namespace

// --- Senders ------------------------------------------------------------------------------------

int SendParamWords(int module, int item, std::span<const std::uint32_t> words) {
    return CommandSink().Write(BuildParamCommand(module, item, words));
}

int SendParam(int module, int item, float value, int n) {
    const std::size_t count = static_cast<std::size_t>(std::clamp(n, 1, kMaxParamValues));
    std::vector<std::uint32_t> words(count, FloatWord(value));
    return SendParamWords(module, item, words);
}

int SendParamByte(int module, int item, std::uint8_t value) {
    const std::uint32_t word = value;
    return SendParamWords(module, item, std::span(&word, 1));
}

int SendParamSamples(int module, int item, double ms) {
    const std::uint32_t word = MsToSamples(ms);
    return SendParamWords(module, item, std::span(&word, 1));
}

int SendParamValues(int module, int item, std::span<const float> values) {
    std::vector<std::uint32_t> words;
    words.reserve(values.size());
    for (float v : values) {
        words.push_back(FloatWord(v));
    }
    return SendParamWords(module, item, words);
}

int SendParamQuery(int module, int item) {
    return CommandSink().Write(BuildParamQuery(module, item));
}

// --- Table rows
// -----------------------------------------------------------------------------------

std::vector<std::uint32_t> EncodeRow(const ParamRow& row, const ParamImage& image) {
    const int slot = row.field->SlotOf(row.entry);
    const std::int32_t v = image.Slot(slot);
    const float f = image.SlotFloat(slot);
    std::uint32_t word = 0;
    switch (row.wire) {
    case Wire::X100:
        word = FloatWord(X100ToValue(v));
        break;
    case Wire::X10000:
        word = FloatWord(X10000ToValue(v));
        break;
    case Wire::Flag100:
        word = FlagWord(v != 0);
        break;
    case Wire::Byte:
    case Wire::ShiftOff:
        word = static_cast<std::uint8_t>(v);
        break;
    case Wire::BytePlus5:
        word = static_cast<std::uint8_t>(static_cast<std::uint32_t>(v) + 5u);
        break;
    case Wire::Inverted:
        word = FlagWord(v == 0);
        break;
    case Wire::BassBoostSwitch:
        word = v == 0 ? 1 : 0;
        break;
    case Wire::Raw:
    case Wire::Rounded:
        word = FloatWord(f);
        break;
    case Wire::Step:
        word = FloatWord(static_cast<float>(double{f} / 100.0));
        break;
    case Wire::Samples:
    case Wire::WholeMsSamples:
        word = MsToSamples(f);
        break;
    case Wire::IntMsSamples:
        word = MsToSamples(v);
        break;
    case Wire::ShiftFreq:
        word = FloatWord(HzToAngular(v));
        break;
    case Wire::ShiftDelay:
        word = ShiftDelaySamples(v);
        break;
    case Wire::Phase:
        word = FloatWord(v == 1 ? -1.0f : 1.0f);
        break;
    case Wire::DelayMode:
        return {FloatWord(1.0f), FlagWord(v == 0)};
    case Wire::Dynamics: {
        const DynamicsSlots s = DynamicsSlotsOf(row);
        const DynamicsRecord record =
            BuildDynamicsRecord(image.SlotFloat(s.threshold), image.SlotFloat(s.ratio),
                                image.SlotFloat(s.attack), image.SlotFloat(s.release));
        std::vector<std::uint32_t> words;
        for (float r : record) {
            words.push_back(FloatWord(r));
        }
        return words;
    }
    }
    return std::vector<std::uint32_t>(row.count, word);
}

void ClampStored(const ParamRow& row, ParamImage& image) {
    if (row.wire != Wire::Samples && row.wire != Wire::WholeMsSamples) {
        return;
    }
    float ms = image.Float(*row.field, row.entry);
    if (row.wire == Wire::WholeMsSamples) {
        ms = static_cast<float>(TruncToInt32(ms));
    }
    if (!(ms >= row.minMs)) {
        ms = row.minMs;
    }
    image.SetFloat(*row.field, row.entry, ms);
}

int SendStoredParam(const ParamRow& row) {
    ParamImage& image = GetParamImage();
    ClampStored(row, image);
    if (row.wire == Wire::BassBoostSwitch) {
        image.SetInt(fields::micBassBoostOnCopy, image.Int(*row.field, row.entry));
    }
    return SendParamWords(row.module, row.item, EncodeRow(row, image));
}

int SendStoredParam(int module, int item) {
    const ParamRow* row = FindParamRow(module, item);
    return row == nullptr ? 0 : SendStoredParam(*row);
}

// --- Setters
// -----------------------------------------------------------------------------------------

bool SetParam(const MainField& field, int entry, std::int32_t value) {
    if (entry < 0 || entry >= field.count) {
        return false;
    }
    if (SetSpecial(field, entry, value)) {
        return true;
    }
    GetParamImage().SetInt(field, entry, value);
    SendRowsCarrying(field.SlotOf(entry));
    return true;
}

bool SetParamFloat(const MainField& field, int entry, float value) {
    return SetParam(field, entry, std::bit_cast<std::int32_t>(value));
}

void SetMicRouting(int mic, bool toChannelA) {
    if (mic < 0 || mic >= fields::micToChannelA.count) {
        return;
    }
    ParamImage& image = GetParamImage();
    image.SetInt(fields::micToChannelA, mic, toChannelA ? 100 : 0);
    SendStoredParam(kMicModule, 27 + mic);
    image.SetInt(fields::micToChannelB, mic, toChannelA ? 0 : 100);
    SendStoredParam(kMicModule, 27 + kChannelBItemOffset + mic);
}

void SetShiftFrequency(int channel, int hz) {
    if (channel < 0 || channel > 1) {
        return;
    }
    ParamImage& image = GetParamImage();
    const int b = kChannelBItemOffset * channel;
    image.SetInt(channel == 0 ? fields::micShiftFreqA : fields::micShiftFreqB, hz);
    image.SetInt(channel == 0 ? fields::micShiftOffA : fields::micShiftOffB, hz == 1 ? 1 : 0);
    SendStoredParam(kMicModule, 33 + b);
    SendStoredParam(kMicModule, 31 + b);
    SendStoredParam(kMicModule, 32 + b);
}

void SetMusicMute(bool muted) {
    GetParamImage().SetInt(fields::musicMute, muted ? 1 : 0);
    if (muted) {
        SendParam(kMusicModule, kMusicMuteItem, 0.0f);
        return;
    }
    for (int i = 0; i < kFadeInSteps; ++i) {
        SendParam(kMusicModule, kMusicMuteItem, static_cast<float>(i / 10.0));
        CommandSink().Pause(kFadeInPause);
    }
    SendParam(kMusicModule, kMusicMuteItem, 1.0f);
}

void SetMusicSource(int source, int hdmiPort) {
    if (hdmiPort >= 0) {
        SetParam(fields::hdmiPort, 0, hdmiPort);
    }
    SetParam(fields::musicSource, 0, source);
}

} // namespace kv
