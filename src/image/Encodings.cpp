#include "image/Encodings.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <limits>

namespace kv {

namespace {

template <typename T>
T TruncSaturating(double v) {
    if (std::isnan(v)) {
        return 0;
    }
    const double t = std::trunc(v);
    if (t <= static_cast<double>(std::numeric_limits<T>::min())) {
        return std::numeric_limits<T>::min();
    }
    if (t >= static_cast<double>(std::numeric_limits<T>::max())) {
        return std::numeric_limits<T>::max();
    }
    return static_cast<T>(t);
}

} // namespace

void PutU32BE(std::uint8_t* out, std::uint32_t v) {
    out[0] = static_cast<std::uint8_t>(v >> 24);
    out[1] = static_cast<std::uint8_t>(v >> 16);
    out[2] = static_cast<std::uint8_t>(v >> 8);
    out[3] = static_cast<std::uint8_t>(v);
}

std::uint32_t GetU32BE(const std::uint8_t* in) {
    return (std::uint32_t{in[0]} << 24) | (std::uint32_t{in[1]} << 16) |
           (std::uint32_t{in[2]} << 8) | std::uint32_t{in[3]};
}

void PutU16BE(std::uint8_t* out, std::uint16_t v) {
    out[0] = static_cast<std::uint8_t>(v >> 8);
    out[1] = static_cast<std::uint8_t>(v);
}

std::uint16_t GetU16BE(const std::uint8_t* in) {
    return static_cast<std::uint16_t>((in[0] << 8) | in[1]);
}

void PutFloatBE(std::uint8_t* out, float v) {
    PutU32BE(out, std::bit_cast<std::uint32_t>(v));
}

float GetFloatBE(const std::uint8_t* in) {
    return std::bit_cast<float>(GetU32BE(in));
}

void PutByteValue(std::uint8_t* out, std::uint8_t v) {
    PutU32BE(out, v);
}

std::int32_t TruncToInt32(double v) {
    return TruncSaturating<std::int32_t>(v);
}
std::uint32_t TruncToUInt32(double v) {
    return TruncSaturating<std::uint32_t>(v);
}
std::uint16_t TruncToUInt16(double v) {
    return TruncSaturating<std::uint16_t>(v);
}

float RoundedSingle(float e) {
    const double offset = 5.0 / 1000.0;
    const double g = e >= 0 ? double{e} + offset : double{e} - offset;
    return static_cast<float>(g);
}

std::int32_t DecodeX100(float e) {
    const float d = RoundedSingle(e);
    const float c = d * 100.0f;
    return TruncToInt32(c);
}

float X100ToValue(std::int32_t slot) {
    return static_cast<float>(slot / 100.0);
}

float X10000ToValue(std::int32_t slot) {
    return static_cast<float>(slot / 10000.0);
}

float VolumeWithOffset(std::int32_t slot) {
    return static_cast<float>(slot / 100.0 + 0.0005);
}

std::uint32_t MsToSamples(double ms) {
    if (!(ms > 0)) {
        return 0;
    }
    return TruncToUInt32(ms * kSampleRate / 1000.0 + 0.5);
}

float SamplesToMs(std::uint32_t samples) {
    return static_cast<float>(static_cast<double>(samples) * 1000.0 / kSampleRate);
}

float HzToAngular(double hz) {
    return static_cast<float>(hz * kTwoPi / kSampleRate);
}

std::int32_t AngularToHz(float w) {
    return TruncToInt32(double{w} * kSampleRate / kTwoPi + 0.5);
}

float RatioToCoef(float ratio) {
    if (!(ratio >= 1.0f)) {
        return 0.0f;
    }
    return 1.0f - 1.0f / ratio;
}

float CoefToRatio(float k) {
    return static_cast<float>(1.0 / (1.0 - double{k}));
}

float TimeToCoef(double ms) {
    if (!(ms > 0)) {
        return 1.0f;
    }
    return static_cast<float>(1.0 - std::exp(-1.0 / (ms * 48.0)));
}

float CoefToTime(float a) {
    return static_cast<float>(-1.0 / std::log(1.0 - double{a}) / 48.0);
}

double DbToLinear(double db) {
    return std::pow(10.0, db / 20.0);
}

std::uint16_t GainToCode(double db) {
    return TruncToUInt16((db + 0.05 + 15.0) * 10.0);
}

double CodeToGain(std::uint16_t code) {
    return code / 10.0 - 15.0;
}

std::uint16_t QToCode(double q) {
    // A Q read from a record (code / 1000) must give back its code; without the tiny
    // allowance 741 of the codes lose one unit (1.001 x 1000 = 1000.9999999999999).
    return TruncToUInt16(q * 1000.0 + 1e-7);
}

double CodeToQ(std::uint16_t code) {
    return code / 1000.0;
}

std::uint16_t FreqToCode(double hz) {
    return TruncToUInt16(hz);
}

std::uint8_t PackCoord(float metres) {
    const double x = metres > 0 ? double{metres} + 0.05 : double{metres} - 0.05;
    // Coordinates beyond 12.7 m saturate instead of wrapping into a small value.
    const std::uint32_t magnitude =
        std::min<std::uint32_t>(TruncToUInt32(std::fabs(x) * 10.0), 0x7F);
    return static_cast<std::uint8_t>((x < 0 ? 0x80 : 0x00) | magnitude);
}

float UnpackCoord(std::uint8_t b) {
    const float magnitude = static_cast<float>(b & 0x7F) / 10.0f;
    return (b & 0x80) ? -magnitude : magnitude;
}

std::array<std::uint8_t, 2> PackTail(float v) {
    std::uint8_t bytes[4];
    PutFloatBE(bytes, v);
    return {bytes[0], bytes[1]};
}

float UnpackTail(const std::uint8_t* in) {
    const std::uint8_t bytes[4] = {in[0], in[1], 0, 0};
    return GetFloatBE(bytes);
}

} // namespace kv
