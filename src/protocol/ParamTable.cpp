#include "protocol/ParamTable.h"

#include <algorithm>
#include <array>
#include <vector>

namespace kv {

namespace {

using namespace fields;

constexpr int kItemsPerModule = 64;
constexpr float kEffectMinMs = 2.0f;
constexpr float kOutputDelayMinMs = 1.5f;

class TableBuilder {
public:
    /// A row carried by one item.
    TableBuilder& Add(int module, int item, Wire wire, const MainField& field, int entry = 0,
                      int count = 1, float minMs = 0.0f) {
        m_rows.push_back(ParamRow{static_cast<std::uint8_t>(module),
                                  static_cast<std::uint8_t>(item), static_cast<std::uint8_t>(count),
                                  wire, &field, static_cast<std::uint8_t>(entry), true, minMs});
        return *this;
    }
    /// A second item carrying the same field; the processor's copy is never decoded.
    TableBuilder& AddDuplicate(int module, int item, Wire wire, const MainField& field,
                               int entry = 0) {
        Add(module, item, wire, field, entry);
        m_rows.back().readBack = false;
        return *this;
    }
    /// Consecutive items carrying consecutive entries of one field.
    TableBuilder& AddEntries(int module, int firstItem, Wire wire, const MainField& field) {
        for (int k = 0; k < field.count; ++k) {
            Add(module, firstItem + k, wire, field, k);
        }
        return *this;
    }
    std::vector<ParamRow> Take() {
        std::sort(m_rows.begin(), m_rows.end(), [](const ParamRow& a, const ParamRow& b) {
            return a.module != b.module ? a.module < b.module : a.item < b.item;
        });
        return std::move(m_rows);
    }

private:
    std::vector<ParamRow> m_rows;
};

void AddMicrophones(TableBuilder& t) {
    t.AddEntries(1, 4, Wire::X100, micInputVolume)
        .AddEntries(1, 8, Wire::X10000, micNoiseGate)
        .Add(1, 12, Wire::Byte, autoSubOn)
        .Add(1, 13, Wire::X100, autoSubRatio)
        .Add(1, 14, Wire::X100, micVolume)
        .Add(1, 15, Wire::Inverted, micMute)
        .Add(1, 34, Wire::X100, effectVolume)
        .AddDuplicate(1, 57, Wire::X100, effectVolume)
        .Add(1, 37, Wire::BassBoostSwitch, micBassBoostOn)
        .AddDuplicate(1, 60, Wire::BassBoostSwitch, micBassBoostOn);
    // Channel B items are the channel A items plus 23.
    struct Channel {
        const MainField& eqSwitch;
        const MainField& routing;
        const MainField& shiftFreq;
        const MainField& shiftOff;
    };
    const Channel channels[] = {{micEqSwitchA, micToChannelA, micShiftFreqA, micShiftOffA},
                                {micEqSwitchB, micToChannelB, micShiftFreqB, micShiftOffB}};
    for (int ch = 0; ch < 2; ++ch) {
        const int b = 23 * ch;
        const Channel& c = channels[ch];
        t.Add(1, 26 + b, Wire::Byte, c.eqSwitch)
            .AddEntries(1, 27 + b, Wire::Flag100, c.routing)
            .Add(1, 31 + b, Wire::ShiftFreq, c.shiftFreq)
            .AddDuplicate(1, 32 + b, Wire::ShiftDelay, c.shiftFreq)
            .Add(1, 33 + b, Wire::ShiftOff, c.shiftOff);
    }
}

void AddEffects(TableBuilder& t) {
    for (int ch = 0; ch < 2; ++ch) {
        const int e = 13 * ch; // echo channel B items are channel A's plus 13
        t.Add(2, 7 + e, Wire::Byte, echoEqSwitch, ch)
            .Add(2, 8 + e, Wire::X100, echoLevel, ch)
            .Add(2, 9 + e, Wire::Samples, echoPredelay, ch, 1, kEffectMinMs)
            .Add(2, 10 + e, Wire::WholeMsSamples, echoTime, ch, 1, kEffectMinMs)
            .Add(2, 11 + e, Wire::X100, echoStartVol, ch)
            .Add(2, 12 + e, Wire::X100, echoDecay, ch);
        const int r = 12 * ch; // reverb channel B items are channel A's plus 12
        t.Add(3, 7 + r, Wire::Byte, reverbEqSwitch, ch)
            .Add(3, 8 + r, Wire::X100, reverbLevel, ch)
            .Add(3, 9 + r, Wire::Samples, reverbPredelay, ch, 1, kEffectMinMs)
            .Add(3, 10 + r, Wire::Step, reverbTime, ch)
            .AddDuplicate(3, 11 + r, Wire::Step, reverbTime, ch);
    }
    t.Add(2, 26, Wire::X100, echoVolume)
        .Add(2, 27, Wire::Inverted, echoMute)
        .Add(3, 24, Wire::X100, reverbVolume, 0, 2)
        .Add(3, 25, Wire::Inverted, reverbMute, 0, 2);
}

void AddMusic(TableBuilder& t) {
    t.Add(4, 11, Wire::Byte, musicEqSwitch)
        .Add(4, 12, Wire::X100, musicVolume)
        .Add(4, 13, Wire::Inverted, musicMute)
        .Add(4, 14, Wire::Dynamics, musicInputLimiter, 0, 7)
        .Add(4, 15, Wire::Byte, musicInputLimiterOff)
        .Add(4, 16, Wire::Byte, musicAgcOn)
        .Add(4, 17, Wire::Raw, musicAgcLevel)
        .Add(4, 21, Wire::BytePlus5, musicItem21)
        .Add(4, 22, Wire::X10000, musicNoiseGate)
        .Add(4, 23, Wire::Byte, musicSource)
        .Add(4, 24, Wire::X100, sourceLevelSpdif1)
        .Add(4, 25, Wire::X100, sourceLevelSpdif2)
        .Add(4, 26, Wire::X100, sourceLevelHdmi1)
        .Add(4, 27, Wire::X100, sourceLevelHdmi2)
        .Add(4, 28, Wire::X100, sourceLevelHdmi3)
        .Add(4, 29, Wire::X100, sourceLevelHdmi4)
        .Add(4, 30, Wire::X100, sourceLevelBt)
        .Add(4, 31, Wire::X100, sourceLevelAux)
        .Add(4, 32, Wire::X100, sourceLevelAux2)
        .Add(4, 33, Wire::Byte, hdmiPort)
        .Add(4, 36, Wire::IntMsSamples, musicBassDelay)
        .Add(4, 37, Wire::X100, musicBassGain);
}

void AddOutputs(TableBuilder& t) {
    for (int c = 0; c < 8; ++c) {
        const int m = kFirstOutputModule + c;
        t.Add(m, 15, Wire::Byte, outEqSwitch, c)
            .Add(m, 16, Wire::Byte, outRole, c)
            .Add(m, 17, Wire::DelayMode, outDelayMode, c, 2)
            .Add(m, 18, Wire::Samples, outDelay, c, 1, kOutputDelayMinMs)
            .Add(m, 19, Wire::Byte, outDelayOff, c)
            .Add(m, 20, Wire::X100, outDirectLevel, c)
            .Add(m, 21, Wire::X100, outReverbLevel, c)
            .Add(m, 22, Wire::X100, outEchoLevel, c)
            .Add(m, 23, Wire::X100, outMusicLevel, c)
            .Add(m, 24, Wire::X100, outGain, c)
            .Add(m, 25, Wire::Phase, outPhaseInvert, c)
            .Add(m, 26, Wire::Inverted, outMute, c)
            .Add(m, 27, Wire::Dynamics, outCompThreshold, c, 7)
            .Add(m, 28, Wire::Byte, outCompOff, c);
    }
}

void AddExciter(TableBuilder& t) {
    t.Add(13, 0, Wire::Rounded, exciterLowFreq)
        .Add(13, 1, Wire::Rounded, exciterLowGain)
        .Add(13, 2, Wire::Rounded, exciterMidFreq)
        .Add(13, 3, Wire::Rounded, exciterMidGain)
        .Add(13, 4, Wire::Rounded, exciterHighFreq)
        .Add(13, 5, Wire::Rounded, exciterHighGain)
        .Add(13, 6, Wire::Step, harmonicGain)
        .Add(13, 7, Wire::Step, harmonicOrderRatio)
        .Add(13, 8, Wire::Step, harmonicMixRatio)
        .Add(13, 9, Wire::Step, exciterVolume)
        .Add(13, 10, Wire::Byte, exciterEqOn)
        .Add(13, 11, Wire::Byte, exciterOn);
}

struct Table {
    std::vector<ParamRow> rows;
    /// Row index + 1 of (module, item); 0 = no row.
    std::array<std::array<std::uint16_t, kItemsPerModule>, kLastModule + 1> index{};
};

const Table& GetTable() {
    static const Table table = [] {
        TableBuilder t;
        AddMicrophones(t);
        AddEffects(t);
        AddMusic(t);
        AddOutputs(t);
        AddExciter(t);
        Table result;
        result.rows = t.Take();
        for (std::size_t i = 0; i < result.rows.size(); ++i) {
            const ParamRow& r = result.rows[i];
            result.index[r.module][r.item] = static_cast<std::uint16_t>(i + 1);
        }
        return result;
    }();
    return table;
}

} // namespace

std::span<const ParamRow> ParamRows() {
    return GetTable().rows;
}

const ParamRow* FindParamRow(int module, int item) {
    if (module < kFirstModule || module > kLastModule || item < 0 || item >= kItemsPerModule) {
        return nullptr;
    }
    const Table& table = GetTable();
    const std::uint16_t i =
        table.index[static_cast<std::size_t>(module)][static_cast<std::size_t>(item)];
    return i == 0 ? nullptr : &table.rows[i - 1u];
}

DynamicsSlots DynamicsSlotsOf(const ParamRow& row) {
    if (row.field->slot == musicInputLimiter.slot) {
        return {musicInputLimiter.SlotOf(0), musicInputLimiter.SlotOf(1),
                musicInputLimiter.SlotOf(2), musicInputLimiter.SlotOf(3)};
    }
    const int c = row.entry;
    return {outCompThreshold.SlotOf(c), outCompRatio.SlotOf(c), outCompAttack.SlotOf(c),
            outCompRelease.SlotOf(c)};
}

} // namespace kv
