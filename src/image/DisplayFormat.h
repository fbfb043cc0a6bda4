#pragma once

#include <string>

/// The texts the pages show for values. Each helper is one display format.
namespace kv::fmt {

/// "%+-.1fdB": equaliser band gain, channel gains.
std::string SignedDb(double db);
/// "%.0fHz": band, exciter and music bass frequencies.
std::string Hz(double hz);
/// "%dHz": frequency shift, crossover frequencies.
std::string HzInt(int hz);
/// "%.2f": Q.
std::string Q(double q);
/// "%.1fms": output channel delay.
std::string DelayMs(double ms);
/// "%dms": predelays, echo time, music bass delay.
std::string MsInt(int ms);
/// "%.0fms": reverb time, compressor attack and release.
std::string Ms(double ms);
/// "%.1f:1": compressor ratio.
std::string Ratio(double ratio);
/// "%.0fdB": compressor threshold, exciter band gain.
std::string Db(double db);
/// "%ddB": microphone bass enhancement level.
std::string DbInt(int db);
/// "%.1fdB": music AGC level.
std::string Db1(double db);
/// "%d%%": percentages.
std::string Percent(int percent);
/// "%+-.1fm": listener and speaker positions.
std::string SignedMetres(double metres);
/// "%dm": room width and length.
std::string MetresInt(int metres);
/// "%d": plain integers.
std::string Int(int value);

/// Reverb time step as milliseconds: step x 49.6 + 40.
double ReverbTimeMs(double step);

} // namespace kv::fmt
