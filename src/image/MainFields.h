#pragma once

#include <cstdint>
#include <span>
#include <string_view>

/// The named scalar fields of the main block: which slots each occupies and how the slot
/// holds its value. Per-channel and per-microphone fields are arrays of `count` entries,
/// `stride` slots apart (channel A and B of echo and reverb are not adjacent).
namespace kv {

enum class SlotEncoding : std::uint8_t {
    X100,       ///< value x 100 as an integer
    X10000,     ///< value x 10000 as an integer
    X100Flag,   ///< 100 for on, 0 for off
    Byte,       ///< small integer sent as a byte value
    InvFlag,    ///< 1 when the parameter is off (muted)
    Flag,       ///< plain 0/1 integer
    Int,        ///< plain integer (Hz, ms, mode)
    ByteMinus5, ///< byte as received minus 5
    Float,      ///< IEEE single
    FloatMs,    ///< IEEE single, milliseconds
    FloatStep,  ///< IEEE single holding an integer step
};

/// True when the slot holds an IEEE single rather than an integer.
constexpr bool IsFloatEncoding(SlotEncoding e) {
    return e == SlotEncoding::Float || e == SlotEncoding::FloatMs || e == SlotEncoding::FloatStep;
}

struct MainField {
    std::string_view name;
    std::int16_t slot;
    std::int8_t count;
    std::int8_t stride;
    SlotEncoding encoding;

    constexpr int SlotOf(int entry) const { return slot + entry * stride; }
    constexpr bool IsFloat() const { return IsFloatEncoding(encoding); }
};

namespace fields {

using E = SlotEncoding;

// Module 1, microphones
inline constexpr MainField micVolume{"micVolume", 0, 1, 1, E::X100};
inline constexpr MainField micToChannelA{"micToChannelA", 1, 4, 1, E::X100Flag};
inline constexpr MainField micEqSwitchA{"micEqSwitchA", 5, 1, 1, E::Byte};
inline constexpr MainField micShiftFreqA{"micShiftFreqA", 7, 1, 1, E::Int};
inline constexpr MainField micShiftOffA{"micShiftOffA", 8, 1, 1, E::Byte};
inline constexpr MainField micToChannelB{"micToChannelB", 9, 4, 1, E::X100Flag};
inline constexpr MainField micEqSwitchB{"micEqSwitchB", 13, 1, 1, E::Byte};
inline constexpr MainField micShiftFreqB{"micShiftFreqB", 15, 1, 1, E::Int};
inline constexpr MainField micShiftOffB{"micShiftOffB", 16, 1, 1, E::Byte};
inline constexpr MainField micMute{"micMute", 17, 1, 1, E::InvFlag};
inline constexpr MainField effectVolume{"effectVolume", 18, 1, 1, E::X100};
inline constexpr MainField micInputVolume{"micInputVolume", 19, 4, 1, E::X100};
inline constexpr MainField micNoiseGate{"micNoiseGate", 23, 4, 1, E::X10000};
inline constexpr MainField autoSubOn{"autoSubOn", 27, 1, 1, E::Byte};
inline constexpr MainField autoSubRatio{"autoSubRatio", 28, 1, 1, E::X100};
inline constexpr MainField micBassBoostOn{"micBassBoostOn", 207, 1, 1, E::InvFlag};
inline constexpr MainField micBassBoostOnCopy{"micBassBoostOnCopy", 208, 1, 1, E::Int};

// Module 2, echo (entry 0 = channel A, 1 = channel B)
inline constexpr MainField echoEqSwitch{"echoEqSwitch", 29, 2, 6, E::Byte};
inline constexpr MainField echoLevel{"echoLevel", 30, 2, 6, E::X100};
inline constexpr MainField echoPredelay{"echoPredelay", 31, 2, 6, E::FloatMs};
inline constexpr MainField echoTime{"echoTime", 32, 2, 6, E::FloatMs};
inline constexpr MainField echoStartVol{"echoStartVol", 33, 2, 6, E::X100};
inline constexpr MainField echoDecay{"echoDecay", 34, 2, 6, E::X100};
inline constexpr MainField echoVolume{"echoVolume", 41, 1, 1, E::X100};
inline constexpr MainField echoMute{"echoMute", 42, 1, 1, E::InvFlag};

// Module 3, reverb (entry 0 = channel A, 1 = channel B)
inline constexpr MainField reverbEqSwitch{"reverbEqSwitch", 43, 2, 4, E::Byte};
inline constexpr MainField reverbLevel{"reverbLevel", 44, 2, 4, E::X100};
inline constexpr MainField reverbPredelay{"reverbPredelay", 45, 2, 4, E::FloatMs};
inline constexpr MainField reverbTime{"reverbTime", 46, 2, 4, E::FloatStep};
inline constexpr MainField reverbVolume{"reverbVolume", 51, 1, 1, E::X100};
inline constexpr MainField reverbMute{"reverbMute", 52, 1, 1, E::InvFlag};

// Module 4, music
inline constexpr MainField musicVolume{"musicVolume", 53, 1, 1, E::X100};
inline constexpr MainField sourceLevelSpdif1{"sourceLevelSpdif1", 54, 1, 1, E::X100};
inline constexpr MainField sourceLevelHdmi1{"sourceLevelHdmi1", 55, 1, 1, E::X100};
inline constexpr MainField sourceLevelBt{"sourceLevelBt", 56, 1, 1, E::X100};
inline constexpr MainField sourceLevelSpdif2{"sourceLevelSpdif2", 57, 1, 1, E::X100};
inline constexpr MainField sourceLevelAux{"sourceLevelAux", 58, 1, 1, E::X100};
inline constexpr MainField sourceLevelAux2{"sourceLevelAux2", 59, 1, 1, E::X100};
inline constexpr MainField musicMute{"musicMute", 60, 1, 1, E::InvFlag};
inline constexpr MainField musicEqSwitch{"musicEqSwitch", 61, 1, 1, E::Byte};
inline constexpr MainField musicItem21{"musicItem21", 62, 1, 1, E::ByteMinus5};
inline constexpr MainField musicSource{"musicSource", 63, 1, 1, E::Byte};
inline constexpr MainField musicNoiseGate{"musicNoiseGate", 64, 1, 1, E::X10000};
inline constexpr MainField musicAgcOn{"musicAgcOn", 193, 1, 1, E::Byte};
inline constexpr MainField musicAgcLevel{"musicAgcLevel", 194, 1, 1, E::Float};
inline constexpr MainField hdmiPort{"hdmiPort", 195, 1, 1, E::Byte};
inline constexpr MainField sourceLevelHdmi2{"sourceLevelHdmi2", 196, 1, 1, E::X100};
inline constexpr MainField sourceLevelHdmi3{"sourceLevelHdmi3", 197, 1, 1, E::X100};
inline constexpr MainField sourceLevelHdmi4{"sourceLevelHdmi4", 198, 1, 1, E::X100};
inline constexpr MainField musicBassDelay{"musicBassDelay", 209, 1, 1, E::Int};
inline constexpr MainField musicBassGain{"musicBassGain", 210, 1, 1, E::X100};
/// Entries: threshold (dB), ratio, attack (ms), release (ms).
inline constexpr MainField musicInputLimiter{"musicInputLimiter", 211, 4, 1, E::Float};
inline constexpr MainField musicInputLimiterOff{"musicInputLimiterOff", 215, 1, 1, E::Byte};

// Output channels CH1..CH8 (entry = channel 0..7)
inline constexpr MainField outDirectLevel{"outDirectLevel", 65, 8, 1, E::X100};
inline constexpr MainField outReverbLevel{"outReverbLevel", 73, 8, 1, E::X100};
inline constexpr MainField outEchoLevel{"outEchoLevel", 81, 8, 1, E::X100};
inline constexpr MainField outMusicLevel{"outMusicLevel", 89, 8, 1, E::X100};
inline constexpr MainField outRole{"outRole", 97, 8, 1, E::Byte};
inline constexpr MainField outEqSwitch{"outEqSwitch", 105, 8, 1, E::Byte};
inline constexpr MainField outCompOff{"outCompOff", 113, 8, 1, E::Byte};
inline constexpr MainField outCompThreshold{"outCompThreshold", 121, 8, 1, E::Float};
inline constexpr MainField outCompRatio{"outCompRatio", 129, 8, 1, E::Float};
inline constexpr MainField outCompAttack{"outCompAttack", 137, 8, 1, E::FloatMs};
inline constexpr MainField outCompRelease{"outCompRelease", 145, 8, 1, E::FloatMs};
inline constexpr MainField outDelay{"outDelay", 153, 8, 1, E::FloatMs};
inline constexpr MainField outDelayOff{"outDelayOff", 161, 8, 1, E::Byte};
inline constexpr MainField outDelayMode{"outDelayMode", 169, 8, 1, E::Int};
inline constexpr MainField outMute{"outMute", 177, 8, 1, E::InvFlag};
inline constexpr MainField outPhaseInvert{"outPhaseInvert", 185, 8, 1, E::Flag};
inline constexpr MainField outGain{"outGain", 199, 8, 1, E::X100};

// Module 13, exciter
inline constexpr MainField exciterLowFreq{"exciterLowFreq", 216, 1, 1, E::Float};
inline constexpr MainField exciterLowGain{"exciterLowGain", 217, 1, 1, E::Float};
inline constexpr MainField exciterMidFreq{"exciterMidFreq", 218, 1, 1, E::Float};
inline constexpr MainField exciterMidGain{"exciterMidGain", 219, 1, 1, E::Float};
inline constexpr MainField exciterHighFreq{"exciterHighFreq", 220, 1, 1, E::Float};
inline constexpr MainField exciterHighGain{"exciterHighGain", 221, 1, 1, E::Float};
/// Floats holding an x100 integer step.
inline constexpr MainField harmonicGain{"harmonicGain", 222, 1, 1, E::FloatStep};
inline constexpr MainField harmonicOrderRatio{"harmonicOrderRatio", 223, 1, 1, E::FloatStep};
inline constexpr MainField harmonicMixRatio{"harmonicMixRatio", 224, 1, 1, E::FloatStep};
inline constexpr MainField exciterVolume{"exciterVolume", 225, 1, 1, E::FloatStep};
inline constexpr MainField exciterEqOn{"exciterEqOn", 226, 1, 1, E::Byte};
inline constexpr MainField exciterOn{"exciterOn", 227, 1, 1, E::Byte};

} // namespace fields

/// Every named field, in slot order of its first entry.
std::span<const MainField> AllMainFields();
/// The field of that name, or nullptr.
const MainField* FindMainField(std::string_view name);

} // namespace kv
