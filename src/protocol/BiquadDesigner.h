#pragma once

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

/// Filter type codes of equaliser and crossover bands. Even codes from 2 are the low-pass
/// family, odd codes from 3 the high-pass family.
enum FilterType : int {
    kFilterNone = 0,
    kFilterPeq = 1,
    kFilterLowPass = 2,
    kFilterHighPass = 3,
    kFilterLowShelf = 4,
    kFilterHighShelf = 5,
    kFilterChebyshevLowPass = 6,
    kFilterChebyshevHighPass = 7,
    kFilterLowPassQ0577 = 8,
    kFilterHighPassQ0577 = 9,
    kFilterLowPassFirstOrder = 10,
    kFilterHighPassFirstOrder = 11,
    kFilterLowPassQ0707 = 12,
    kFilterHighPassQ0707 = 13,
    kFilterLowPassQ1 = 14,
    kFilterHighPassQ1 = 15,
    kFilterLowPassQ05 = 16,
    kFilterHighPassQ05 = 17,
    kFilterLowPassQ0707b = 18,
    kFilterHighPassQ0707b = 19,
    kFilterLowPassQ0541 = 20,
    kFilterHighPassQ0541 = 21,
    kFilterLastType = 21,
};

inline constexpr double kDesignSampleRate = 48000.0;

/// Designs the section for a band: type, gain (dB), frequency (Hz), Q, overall level (dB)
/// and sample rate, in double precision. Types outside 1..21 give an all-pass scaled by
/// the level.
Biquad DesignBiquad(int type, double gainDb, double freqHz, double q, double levelDb = 0.0,
                    double sampleRate = kDesignSampleRate);

/// True for the crossover section codes 6..21.
constexpr bool IsCrossoverType(int type) {
    return type >= 6 && type <= 21;
}
/// True for the low-pass family (even codes from 2 to 20).
constexpr bool IsLowPassFamily(int type) {
    return type >= 2 && type <= 20 && type % 2 == 0 && type != 4;
}

} // namespace kv
