#pragma once

#include "image/MainFields.h"
#include "pages/EditHistory.h"
#include "shell/DeviceAdapter.h"

#include <array>
#include <optional>

namespace kv {

/// The five levels and the music noise gate of the ribbon's quick controls.
enum class QuickLevel { Mic, Effect, Reverb, Echo, Music, NoiseGate };
inline constexpr int kQuickLevelCount = 6;

/// One quick level: its image field and how it is sent, its limit, its mute field and the
/// control numbers of its Input and Output copies. Module, item and encoding come from the
/// command table through the field's setter.
struct QuickLevelInfo {
    QuickLevel level;
    const MainField* field;
    FieldSetter setter;
    int limitHubByte; ///< hub byte holding the maximum, or -1
    const char* limitZh;
    const char* limitEn;
    std::optional<MuteKind> mute;
    const MainField* muteField;
    const char* prefixZh;      ///< value label prefix of RefreshQuickControls
    const char* labelPrefixZh; ///< the same in LabelQuickControls
    const char* prefixEn;
    int englishWidth; ///< field width of the number in English
    const char* panelZh;
    const char* panelEn;
    std::array<int, 2> labelIds;
    std::array<int, 2> sliderIds;
    std::array<int, 2> muteIds; ///< 0 when the level has no mute box
};

inline constexpr int kMaxMicHubByte = 541;
inline constexpr int kMaxMusicHubByte = 542;

// The microphone, effect and music levels travel with the small volume offset; reverb, echo
// and the noise gate as the command table encodes them.
inline constexpr std::array<QuickLevelInfo, kQuickLevelCount> kQuickLevels = {{
    {QuickLevel::Mic,
     &fields::micVolume,
     &StoreAndSendLevel,
     kMaxMicHubByte,
     "不能超过最大话筒音量!",
     "Mic vol can't over max value!",
     MuteKind::Mic,
     &fields::micMute,
     "话筒音量:",
     "话筒音量:",
     "Mic    Vol: ",
     3,
     "话筒音量",
     "Mic  Vol",
     {32832, 32857},
     {32829, 32858},
     {32847, 32859}},
    {QuickLevel::Effect,
     &fields::effectVolume,
     &StoreAndSendLevel,
     -1,
     nullptr,
     nullptr,
     std::nullopt,
     nullptr,
     "效果总音量:",
     "效果总音量:",
     "Effect    Vol:",
     3,
     "效果总音量",
     "Effect Vol",
     {32833, 32860},
     {32830, 32861},
     {0, 0}},
    {QuickLevel::Reverb,
     &fields::reverbVolume,
     &StoreAndSend,
     -1,
     nullptr,
     nullptr,
     MuteKind::Reverb,
     &fields::reverbMute,
     "混响音量:  ",
     "混响音量:",
     "Reverb Vol:",
     3,
     "混响音量",
     "Reverb Vol",
     {32920, 32921},
     {32918, 32919},
     {32848, 32862}},
    {QuickLevel::Echo,
     &fields::echoVolume,
     &StoreAndSend,
     -1,
     nullptr,
     nullptr,
     MuteKind::Echo,
     &fields::echoMute,
     "回声音量:",
     "回声音量:",
     "Echo Vol:",
     3,
     "回声音量",
     "Echo Vol",
     {32837, 32863},
     {32806, 32864},
     {32849, 32865}},
    {QuickLevel::Music,
     &fields::musicVolume,
     &StoreAndSendLevel,
     kMaxMusicHubByte,
     "不能超过最大音乐音量!",
     "Music vol can't over max value!",
     MuteKind::Music,
     &fields::musicMute,
     "音乐音量:",
     "音乐音量:",
     "Music Vol:",
     3,
     "音乐音量",
     "Music Vol",
     {32834, 32866},
     {32831, 32867},
     {32850, 32868}},
    {QuickLevel::NoiseGate,
     &fields::musicNoiseGate,
     &StoreAndSend,
     -1,
     nullptr,
     nullptr,
     std::nullopt,
     nullptr,
     "音乐噪声门:",
     "音乐噪声门:",
     "Noisegate:",
     7,
     "音乐噪声门",
     "Noisegate",
     {32842, 32878},
     {32846, 32879},
     {0, 0}},
}};

inline const QuickLevelInfo& QuickLevelOf(QuickLevel level) {
    return kQuickLevels[static_cast<std::size_t>(level)];
}

/// Mute kinds in the order of their panels.
inline constexpr std::array<MuteKind, 4> kMuteKinds = {MuteKind::Mic, MuteKind::Reverb,
                                                       MuteKind::Echo, MuteKind::Music};

inline const QuickLevelInfo& QuickLevelOfMute(MuteKind kind) {
    switch (kind) {
    case MuteKind::Mic:
        return QuickLevelOf(QuickLevel::Mic);
    case MuteKind::Reverb:
        return QuickLevelOf(QuickLevel::Reverb);
    case MuteKind::Echo:
        return QuickLevelOf(QuickLevel::Echo);
    case MuteKind::Music:
        break;
    }
    return QuickLevelOf(QuickLevel::Music);
}

} // namespace kv
