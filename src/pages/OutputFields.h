#pragma once

#include "image/MainFields.h"
#include "pages/ChannelLink.h"

#include <QString>

/// What the output, delay and compressor pages share: the value texts of their controls, the
/// link flags as the option record holds them, and the setters their bindings name.
namespace kv {

// --- Value texts (value, language) --------------------------------------------------------------

QString ThresholdText(double db, int language);  ///< "%.0fdB"
QString RatioText(double ratio, int language);   ///< "%.1f:1"
QString TimeText(double ms, int language);       ///< "%.0fms"
QString DelayText(double ms, int language);      ///< "%.1fms"
QString PercentText(double value, int language); ///< "%d%%"

// --- Link flags -------------------------------------------------------------------------------

/// Bytes 0..2 of the application's option record.
LinkFlags CurrentLinkFlags();
/// Stores one pair's flag in the option record and saves the record (a failed save is only
/// written to the debug output).
void StoreLinkFlag(int pair, bool linked);

// --- Setters ----------------------------------------------------------------------------------

/// A compressor value of one channel: the dynamics record is sent with the channel's other
/// three values as stored (each limited to its range), attack and release as whole numbers.
void SetCompressorField(const MainField& field, int channel, double value);
/// The same, with the channel's four values sent to every channel linked to it.
void SetLinkedCompressorField(const MainField& field, int channel, double value);
/// A level or switch stored and sent on the channel and every channel linked to it.
void SetLinkedField(const MainField& field, int channel, double value);
/// The delay of the channel and every channel linked to it; a value equal to the channel's
/// stored delay sends nothing.
void SetLinkedDelay(const MainField& field, int channel, double ms);
/// The delay of one channel; a value equal to the stored delay sends nothing.
void SetDelayField(const MainField& field, int channel, double ms);
/// The delay mode of one channel (the crossover bands follow it).
void SetDelayModeField(const MainField& field, int channel, double mode);
/// The delay mode of the channel and every channel linked to it.
void SetLinkedDelayMode(const MainField& field, int channel, double mode);

/// Programs the delay crossover of a channel at index k, recording bands 13 and 14 as one
/// undo step.
void EditDelayCrossover(int channel, int k);

} // namespace kv
