#pragma once

#include "image/ParamImage.h"

#include <array>
#include <cstdint>

/// The processor's own operating settings: one 14-byte record the hub block holds twice, an
/// edit copy the settings window changes and the current copy the processor has.
namespace kv {

using MachineSettingsRecord = std::array<std::uint8_t, kMachineSettingsSize>;

/// Byte positions in the record.
namespace settings {
inline constexpr std::size_t kVolumeSaveMode = 0; ///< 0 by power, 1 by mode (bytes 1, 2 follow)
inline constexpr std::size_t kMicStartVolume = 3; ///< 0..99, 255 = not set
inline constexpr std::size_t kMusicStartVolume = 4;
inline constexpr std::size_t kMicMaxVolume = 5; ///< 1..99
inline constexpr std::size_t kMusicMaxVolume = 6;
inline constexpr std::size_t kPowerOnMode = 11; ///< 0 automatic, 1..4 M1..M4
inline constexpr std::size_t kHdmiRouting = 12; ///< bits 0..3 HDMI mute, 4..7 surround route
inline constexpr std::uint8_t kNotSet = 255;
inline constexpr int kRoutes = 3; ///< to SL/SR, to SBL/SBR, to both
} // namespace settings

MachineSettingsRecord EditSettings(const ParamImage& image);
MachineSettingsRecord CurrentSettings(const ParamImage& image);
void SetEditSettings(ParamImage& image, const MachineSettingsRecord& record);

/// Volume save mode 0 or 1 into bytes 0, 1 and 2.
void SetVolumeSaveMode(MachineSettingsRecord& record, int mode);
/// Ticked sets bit 0 of byte 12; unticked clears bits 0..3. The route is kept.
void SetHdmiMute(MachineSettingsRecord& record, bool muted);
/// Bits 4..7 of byte 12 = route (0..2), bits 0..3 kept.
void SetSurroundRoute(MachineSettingsRecord& record, int route);
/// The route of byte 12 (0..2), or -1 when byte 12 is 48 or more.
int SurroundRoute(const MachineSettingsRecord& record);
bool HdmiMuted(const MachineSettingsRecord& record);

/// Apply: command 145 carries the edit copy to the processor; only when it was written does
/// the edit copy become the current copy. Returns the bytes written (0 when the command was
/// dropped, for example with no processor connected).
int ApplyMachineSettings();
/// The current copy back into the edit copy (unapplied edits are discarded).
void DiscardMachineSettingsEdits();

} // namespace kv
