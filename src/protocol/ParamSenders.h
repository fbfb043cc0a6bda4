#pragma once

#include "protocol/Commands.h"
#include "protocol/ParamTable.h"

#include <cstdint>
#include <span>
#include <vector>

/// The parameter senders and the field setters. Every setter stores the new value in the
/// process-wide image first and then sends the command(s) of the command table through
/// CommandSink(); a command that cannot be sent is dropped, the image keeps the value.
namespace kv {

class ParamImage;

// --- Senders --------------------------------------------------------------------------------

/// n copies of the single value on (module, item); n is limited to 1..13.
int SendParam(int module, int item, float value, int n = 1);
/// The byte value 00 00 00 vv on (module, item).
int SendParamByte(int module, int item, std::uint8_t value);
/// The sample count of ms at 48 kHz on (module, item).
int SendParamSamples(int module, int item, double ms);
/// One command carrying the singles in order (at most 13).
int SendParamValues(int module, int item, std::span<const float> values);
/// One command carrying raw 4-byte words in order (at most 13).
int SendParamWords(int module, int item, std::span<const std::uint32_t> words);
/// The parameter query 02 0A 00 module item 01.
int SendParamQuery(int module, int item);

// --- Table rows -------------------------------------------------------------------------------

/// The 4-byte words a row sends for the image's current value (no side effects).
std::vector<std::uint32_t> EncodeRow(const ParamRow& row, const ParamImage& image);
/// Raises a stored time below the row's minimum (and truncates the echo time to whole ms),
/// storing the result back. Rows without a limit are left alone.
void ClampStored(const ParamRow& row, ParamImage& image);
/// Sends the row's command for the value in the image, after ClampStored. Sending the bass
/// enhancement switch also copies it into micBassBoostOnCopy.
int SendStoredParam(const ParamRow& row);
/// SendStoredParam of the row of (module, item); 0 when the table has none.
int SendStoredParam(int module, int item);

// --- Setters -----------------------------------------------------------------------------------

/// Any main-block field by entry, value in the slot's own encoding (an integer slot value,
/// or the bits of a single for float fields; use SetParamFloat for those). Stores it, then
/// sends every command carrying the slot, with the multi-command rules of the fields that
/// have them. Returns false when the field has no such entry.
bool SetParam(const MainField& field, int entry, std::int32_t value);
/// The same for float fields (times, thresholds, exciter values).
bool SetParamFloat(const MainField& field, int entry, float value);

/// Routes Mic k (0..3) to channel A or B: both routing flags are stored and sent, A first.
void SetMicRouting(int mic, bool toChannelA);
/// Frequency shift of microphone channel 0 (A) or 1 (B) in Hz; 1 switches it off. Sends the
/// off byte, the angular step and the shifter delay (sample count 0 for 0 Hz).
void SetShiftFrequency(int channel, int hz);
/// Music mute; unmuting fades in over nine 30 ms steps.
void SetMusicMute(bool muted);
/// Music source, with the HDMI port sent first when given.
void SetMusicSource(int source, int hdmiPort = -1);

} // namespace kv
