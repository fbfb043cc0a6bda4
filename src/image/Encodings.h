#pragma once

#include <array>
#include <cstdint>

/// Conversions between the image's slot values, the 4-byte values on the wire and
/// the processor's units. Everything runs at the processor's fixed 48 kHz.
namespace kv {

inline constexpr double kSampleRate = 48000.0;
inline constexpr double kPi = 3.141592653589793;
inline constexpr double kTwoPi = 6.283185307179586;

/// Q used when a group is reset or its frequencies are rebuilt (single 1.40999997).
inline constexpr float kQReset = 1.41f;
/// Q of crossover, shelf and filter sections (single 0.70700002).
inline constexpr float kQCrossover = 0.707f;
/// Q of the band defaults and of a new band's text.
inline constexpr double kQDefault = 1.414;

// --- Big-endian value fields -------------------------------------------------------------

void PutU32BE(std::uint8_t* out, std::uint32_t v);
std::uint32_t GetU32BE(const std::uint8_t* in);
void PutU16BE(std::uint8_t* out, std::uint16_t v);
std::uint16_t GetU16BE(const std::uint8_t* in);
/// The single's bit pattern, most significant byte first.
void PutFloatBE(std::uint8_t* out, float v);
float GetFloatBE(const std::uint8_t* in);
/// Byte value: 00 00 00 vv.
void PutByteValue(std::uint8_t* out, std::uint8_t v);

// --- Safe truncation ---------------------------------------------------------------------

/// Truncates toward zero; NaN gives 0 and values outside the range saturate, so untrusted
/// or degenerate inputs never reach an undefined float-to-integer conversion.
std::int32_t TruncToInt32(double v);
std::uint32_t TruncToUInt32(double v);
std::uint16_t TruncToUInt16(double v);

// --- Received values ----------------------------------------------------------------------

/// e + 0.005 (e - 0.005 when negative) in double precision, rounded to single.
float RoundedSingle(float e);
/// The x100 integer of a received single: truncate(RoundedSingle(e) x 100) in single precision.
std::int32_t DecodeX100(float e);

// --- Image slot to wire value ----------------------------------------------------------------

/// x100 slot to the float sent: slot / 100 in double, rounded to single.
float X100ToValue(std::int32_t slot);
/// x10000 slot to the float sent.
float X10000ToValue(std::int32_t slot);
/// Volumes sent during synchronisation and ramps: slot / 100 + 0.0005.
float VolumeWithOffset(std::int32_t slot);

// --- Time and frequency -----------------------------------------------------------------------

/// truncate(ms x 48000 / 1000 + 0.5); negative and NaN times give 0.
std::uint32_t MsToSamples(double ms);
/// samples x 1000 / 48000 as a single.
float SamplesToMs(std::uint32_t samples);
/// w = f x 2 pi / 48000.
float HzToAngular(double hz);
/// truncate(w x 48000 / (2 pi) + 0.5).
std::int32_t AngularToHz(float w);

// --- Dynamics ---------------------------------------------------------------------------------

/// k = 1 - 1 / ratio in single precision. A ratio below 1 (or not a number) has no
/// meaningful coefficient and would give an infinite one at 0; it is encoded as ratio 1.
float RatioToCoef(float ratio);
/// ratio = 1 / (1 - k), double precision, result as single.
float CoefToRatio(float k);
/// a = 1 - exp(-1 / (t x 48)), t in ms; a time of zero or less gives 1.0.
float TimeToCoef(double ms);
/// t = -1 / ln(1 - a) / 48 ms.
float CoefToTime(float a);
/// 10^(dB / 20).
double DbToLinear(double db);

// --- Equaliser band record fields --------------------------------------------------------------

/// truncate((dB + 0.05 + 15) x 10).
std::uint16_t GainToCode(double db);
double CodeToGain(std::uint16_t code);
/// truncate(Q x 1000).
std::uint16_t QToCode(double q);
double CodeToQ(std::uint16_t code);
/// truncate(Hz).
std::uint16_t FreqToCode(double hz);

// --- Room geometry and tail ---------------------------------------------------------------------

/// Sign-magnitude tenths of a metre; rounds half away from zero, 0.0 packs to 0x80.
std::uint8_t PackCoord(float metres);
float UnpackCoord(std::uint8_t b);

/// The two most significant bytes of the big-endian single.
std::array<std::uint8_t, 2> PackTail(float v);
/// Expands the two bytes with two zero bytes.
float UnpackTail(const std::uint8_t* in);

} // namespace kv
