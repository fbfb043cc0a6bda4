#pragma once

/// Command and control numbers of the main window.
namespace kv::cmd {

inline constexpr int kFileOpen = 57601;
inline constexpr int kFileSave = 57603;
inline constexpr int kBackup = 57700;  ///< "Backup…" in the application menu
inline constexpr int kRestore = 57701; ///< "Restore…" in the application menu
inline constexpr int kRecentFirst = 57616; ///< recent file 1; up to ten follow
inline constexpr int kAppAbout = 57664;
inline constexpr int kAppExit = 57665;

inline constexpr int kFeatures = 32887;
inline constexpr int kSmartPlug = 32771;
inline constexpr int kInputSource = 32922;
inline constexpr int kMachineReset = 32811;
inline constexpr int kRemoteControl = 32812;
inline constexpr int kLanguage = 32805;
inline constexpr int kAutoSub = 32883;
inline constexpr int kAutoMusicVol = 32908;

inline constexpr int kLoadModeInput = 32815;
inline constexpr int kLoadModeOutput = 32900;
inline constexpr int kSaveModeInput = 32819;
inline constexpr int kSaveModeOutput = 32904;
inline constexpr int kLoadFileInput = 32827;
inline constexpr int kLoadFileOutput = 32881;
inline constexpr int kSaveFileInput = 32828;
inline constexpr int kSaveFileOutput = 32882;

inline constexpr int kRecallFirst = 32910; ///< recall M1; M2..M4 follow
inline constexpr int kStoreFirst = 32914;  ///< store into M1; M2..M4 follow

inline constexpr int kMenuLoadZh = 456;
inline constexpr int kMenuSaveZh = 457;
inline constexpr int kMenuLoadEn = 479;
inline constexpr int kMenuSaveEn = 480;

inline constexpr int kStatusConnection = 120;
inline constexpr int kStatusMode = 121;
inline constexpr int kStatusBypass = 1121;
inline constexpr int kStatusResetEq = 1122;

} // namespace kv::cmd
