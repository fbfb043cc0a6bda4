#pragma once

#include "image/EqBand.h"

namespace kv {

/// Coefficients of one second-order section normalised to a0 = 1:
/// y[n] = b0 x[n] + b1 x[n-1] + b2 x[n-2] - a1 y[n-1] - a2 y[n-2].
struct Biquad {
    double a1 = 0;
    double a2 = 0;
    double b0 = 1;
    double b1 = 0;
    double b2 = 0;
};

inline constexpr double kDesignSampleRate = 48000.0;

/// Designs the section for a band: type, gain (dB), frequency (Hz), Q, overall level (dB)
/// and sample rate, in double precision. Types outside 1..21 give an all-pass scaled by
/// the level.
Biquad DesignBiquad(int type, double gainDb, double freqHz, double q, double levelDb = 0.0,
                    double sampleRate = kDesignSampleRate);

} // namespace kv
