#include "image/MainFields.h"

#include <algorithm>
#include <array>

namespace kv {

namespace {

using namespace fields;

constexpr std::array kAllFields = {
    micVolume,         micToChannelA,
    micEqSwitchA,      micShiftFreqA,
    micShiftOffA,      micToChannelB,
    micEqSwitchB,      micShiftFreqB,
    micShiftOffB,      micMute,
    effectVolume,      micInputVolume,
    micNoiseGate,      autoSubOn,
    autoSubRatio,      echoEqSwitch,
    echoLevel,         echoPredelay,
    echoTime,          echoStartVol,
    echoDecay,         echoVolume,
    echoMute,          reverbEqSwitch,
    reverbLevel,       reverbPredelay,
    reverbTime,        reverbVolume,
    reverbMute,        musicVolume,
    sourceLevelSpdif1, sourceLevelHdmi1,
    sourceLevelBt,     sourceLevelSpdif2,
    sourceLevelAux,    sourceLevelAux2,
    musicMute,         musicEqSwitch,
    musicItem21,       musicSource,
    musicNoiseGate,    outDirectLevel,
    outReverbLevel,    outEchoLevel,
    outMusicLevel,     outRole,
    outEqSwitch,       outCompOff,
    outCompThreshold,  outCompRatio,
    outCompAttack,     outCompRelease,
    outDelay,          outDelayOff,
    outDelayMode,      outMute,
    outPhaseInvert,    musicAgcOn,
    musicAgcLevel,     hdmiPort,
    sourceLevelHdmi2,  sourceLevelHdmi3,
    sourceLevelHdmi4,  outGain,
    micBassBoostOn,    micBassBoostOnCopy,
    musicBassDelay,    musicBassGain,
    musicInputLimiter, musicInputLimiterOff,
    exciterLowFreq,    exciterLowGain,
    exciterMidFreq,    exciterMidGain,
    exciterHighFreq,   exciterHighGain,
    harmonicGain,      harmonicOrderRatio,
    harmonicMixRatio,  exciterVolume,
    exciterEqOn,       exciterOn,
};

} // namespace

std::span<const MainField> AllMainFields() {
    return kAllFields;
}

const MainField* FindMainField(std::string_view name) {
    const auto it = std::find_if(kAllFields.begin(), kAllFields.end(),
                                 [name](const MainField& f) { return f.name == name; });
    return it == kAllFields.end() ? nullptr : &*it;
}

} // namespace kv
