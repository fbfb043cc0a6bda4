#include "image/FieldLimits.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <sstream>

namespace kv {

namespace {

using namespace fields;

constexpr FieldRange kSwitch[] = {{0, 1, 1, ""}};
constexpr FieldRange kPercent[] = {{0, 100, 1, "%"}};
constexpr FieldRange kShift[] = {{1, 8, 1, "Hz"}}; // 1 = off
constexpr FieldRange kEffectDelay[] = {{2, 200, 1, "ms"}};
constexpr FieldRange kEchoTime[] = {{2, 260, 1, "ms"}};
constexpr FieldRange kEchoStartVol[] = {{40, 100, 1, "%"}};
constexpr FieldRange kEchoDecay[] = {{20, 90, 1, "%"}};
constexpr FieldRange kReverbTime[] = {{0, 100, 1, ""}}; // step, shown as step x 49.6 + 40 ms
constexpr FieldRange kItem21[] = {{-5, 250, 1, ""}};    // a byte as received minus 5
constexpr FieldRange kMusicSource[] = {{0, 5, 1, ""}};
constexpr FieldRange kHdmiPort[] = {{0, 3, 1, ""}};
constexpr FieldRange kAgcLevel[] = {{-18, -6, 0.1, "dB"}};
constexpr FieldRange kBassDelay[] = {{0, 20, 1, "ms"}};
constexpr FieldRange kBassGain[] = {{0, 300, 1, "%"}};
constexpr FieldRange kInputLimiter[] = {
    {-60, 0, 1, "dB"},  // threshold
    {1, 30, 0.1, ":1"}, // ratio
    {1, 100, 1, "ms"},  // attack
    {1, 1000, 1, "ms"}, // release
};
constexpr FieldRange kRole[] = {{0, 7, 1, ""}};
constexpr FieldRange kCompThreshold[] = {{-60, 0, 1, "dB"}};
constexpr FieldRange kCompRatio[] = {{1, 30, 0.1, ":1"}};
constexpr FieldRange kCompAttack[] = {{1, 100, 1, "ms"}};
constexpr FieldRange kCompRelease[] = {{1, 1000, 1, "ms"}};
constexpr FieldRange kOutDelay[] = {{1.5, 100, 0.1, "ms", true}};
// The positioning page lets CH6 go to 500 %, every other channel to 100 %.
constexpr FieldRange kOutGain[] = {{0, 100, 1, "%"}, {0, 100, 1, "%"}, {0, 100, 1, "%"},
                                   {0, 100, 1, "%"}, {0, 100, 1, "%"}, {0, 500, 1, "%"},
                                   {0, 100, 1, "%"}, {0, 100, 1, "%"}};
constexpr FieldRange kExciterLowFreq[] = {{70, 450, 1, "Hz"}};
constexpr FieldRange kExciterMidFreq[] = {{800, 5000, 1, "Hz"}};
constexpr FieldRange kExciterHighFreq[] = {{3200, 18000, 1, "Hz"}};
constexpr FieldRange kExciterGain[] = {{0, 12, 1, "dB"}};

constexpr std::string_view kRoleNames[] = {"CH-L",   "CH-R",   "CH-SBL", "CH-SBR",
                                           "CH-SUB", "CH-CEN", "CH-SL",  "CH-SR"};
constexpr std::string_view kSourceNames[] = {"SPDIF1",    "SPDIF2", "HDMI",
                                             "Bluetooth", "AUX",    "AUX2"};
constexpr std::string_view kHdmiNames[] = {"HDMI1", "HDMI2", "HDMI3", "HDMI4"};

constexpr std::array kAllLimits = {
    FieldLimits{micVolume, kPercent},
    FieldLimits{micToChannelA, kSwitch},
    FieldLimits{micEqSwitchA, kSwitch},
    FieldLimits{micShiftFreqA, kShift},
    FieldLimits{micShiftOffA, kSwitch},
    FieldLimits{micToChannelB, kSwitch},
    FieldLimits{micEqSwitchB, kSwitch},
    FieldLimits{micShiftFreqB, kShift},
    FieldLimits{micShiftOffB, kSwitch},
    FieldLimits{micMute, kSwitch},
    FieldLimits{effectVolume, kPercent},
    FieldLimits{micInputVolume, kPercent},
    FieldLimits{micNoiseGate, kPercent},
    FieldLimits{autoSubOn, kSwitch},
    FieldLimits{autoSubRatio, kPercent},
    FieldLimits{echoEqSwitch, kSwitch},
    FieldLimits{echoLevel, kPercent},
    FieldLimits{echoPredelay, kEffectDelay},
    FieldLimits{echoTime, kEchoTime},
    FieldLimits{echoStartVol, kEchoStartVol},
    FieldLimits{echoDecay, kEchoDecay},
    FieldLimits{echoVolume, kPercent},
    FieldLimits{echoMute, kSwitch},
    FieldLimits{reverbEqSwitch, kSwitch},
    FieldLimits{reverbLevel, kPercent},
    FieldLimits{reverbPredelay, kEffectDelay},
    FieldLimits{reverbTime, kReverbTime},
    FieldLimits{reverbVolume, kPercent},
    FieldLimits{reverbMute, kSwitch},
    FieldLimits{musicVolume, kPercent},
    FieldLimits{sourceLevelSpdif1, kPercent},
    FieldLimits{sourceLevelHdmi1, kPercent},
    FieldLimits{sourceLevelBt, kPercent},
    FieldLimits{sourceLevelSpdif2, kPercent},
    FieldLimits{sourceLevelAux, kPercent},
    FieldLimits{sourceLevelAux2, kPercent},
    FieldLimits{musicMute, kSwitch},
    FieldLimits{musicEqSwitch, kSwitch},
    FieldLimits{musicItem21, kItem21},
    FieldLimits{musicSource, kMusicSource, kSourceNames},
    FieldLimits{musicNoiseGate, kPercent},
    FieldLimits{outDirectLevel, kPercent},
    FieldLimits{outReverbLevel, kPercent},
    FieldLimits{outEchoLevel, kPercent},
    FieldLimits{outMusicLevel, kPercent},
    FieldLimits{outRole, kRole, kRoleNames},
    FieldLimits{outEqSwitch, kSwitch},
    FieldLimits{outCompOff, kSwitch},
    FieldLimits{outCompThreshold, kCompThreshold},
    FieldLimits{outCompRatio, kCompRatio},
    FieldLimits{outCompAttack, kCompAttack},
    FieldLimits{outCompRelease, kCompRelease},
    FieldLimits{outDelay, kOutDelay},
    FieldLimits{outDelayOff, kSwitch},
    FieldLimits{outDelayMode, kSwitch},
    FieldLimits{outMute, kSwitch},
    FieldLimits{outPhaseInvert, kSwitch},
    FieldLimits{musicAgcOn, kSwitch},
    FieldLimits{musicAgcLevel, kAgcLevel},
    FieldLimits{hdmiPort, kHdmiPort, kHdmiNames},
    FieldLimits{sourceLevelHdmi2, kPercent},
    FieldLimits{sourceLevelHdmi3, kPercent},
    FieldLimits{sourceLevelHdmi4, kPercent},
    FieldLimits{outGain, kOutGain},
    FieldLimits{micBassBoostOn, kSwitch},
    FieldLimits{micBassBoostOnCopy, kSwitch},
    FieldLimits{musicBassDelay, kBassDelay},
    FieldLimits{musicBassGain, kBassGain},
    FieldLimits{musicInputLimiter, kInputLimiter},
    FieldLimits{musicInputLimiterOff, kSwitch},
    FieldLimits{exciterLowFreq, kExciterLowFreq},
    FieldLimits{exciterLowGain, kExciterGain},
    FieldLimits{exciterMidFreq, kExciterMidFreq},
    FieldLimits{exciterMidGain, kExciterGain},
    FieldLimits{exciterHighFreq, kExciterHighFreq},
    FieldLimits{exciterHighGain, kExciterGain},
    FieldLimits{harmonicGain, kPercent},
    FieldLimits{harmonicOrderRatio, kPercent},
    FieldLimits{harmonicMixRatio, kPercent},
    FieldLimits{exciterVolume, kPercent},
    FieldLimits{exciterEqOn, kSwitch},
    FieldLimits{exciterOn, kSwitch},
};

/// Floats arrive as singles (1.6 ms is 1.60000002 as a double): allow that much off the grid.
constexpr double kGridTolerance = 1e-4;

std::string Number(double v) {
    std::ostringstream os;
    os << v;
    return os.str();
}

} // namespace

bool FieldRange::Contains(double v) const {
    if (!std::isfinite(v) || v < min - step * kGridTolerance || v > max + step * kGridTolerance) {
        return false;
    }
    const double steps = (v - min) / step;
    return std::fabs(steps - std::round(steps)) <= kGridTolerance;
}

double FieldRange::Limit(double v) const {
    const double clamped = std::isfinite(v) ? std::clamp(v, min, max) : min;
    return step > 0 ? std::clamp(min + std::round((clamped - min) / step) * step, min, max)
                    : clamped;
}

double FieldRange::Typed(double v) const {
    return typedFree ? (std::isfinite(v) ? std::clamp(v, min, max) : min) : Limit(v);
}

std::string FieldRange::Describe() const {
    std::string text = Number(min) + ".." + Number(max);
    if (!unit.empty()) {
        text += unit == ":1" ? std::string(unit) : " " + std::string(unit);
    }
    if (step != 1) {
        text += ", step " + Number(step);
    }
    return text;
}

const FieldRange& FieldLimits::Range(int entry) const {
    if (ranges.size() == 1) {
        return ranges[0];
    }
    return ranges[static_cast<std::size_t>(std::clamp(entry, 0, EntryCount() - 1))];
}

std::span<const FieldLimits> AllFieldLimits() {
    return kAllLimits;
}

const FieldLimits* FindFieldLimits(std::string_view name) {
    const auto it = std::find_if(kAllLimits.begin(), kAllLimits.end(),
                                 [name](const FieldLimits& l) { return l.field.name == name; });
    return it == kAllLimits.end() ? nullptr : &*it;
}

const FieldLimits* FindFieldLimits(const MainField& field) {
    return FindFieldLimits(field.name);
}

} // namespace kv
