#pragma once

#include "protocol/BiquadDesigner.h"

/// Magnitude response of one biquad section, shared by the curve panels.
namespace kv {

/// The six terms of |H|^2 written as polynomials in phi^2, phi = sin(pi f / fs).
struct MagnitudeTerms {
    double nb = 1;
    double tb = 0;
    double ub = 0;
    double na = 1;
    double ta = 0;
    double ua = 0;
};

/// Builds the magnitude terms of a section.
MagnitudeTerms MakeMagnitudeTerms(const Biquad& c);

/// Gain in dB of the section at phi = sin(pi f / fs). A numerator or denominator that
/// rounding drives to zero or below is floored at -300 dB instead of giving NaN.
double MagnitudeDb(const MagnitudeTerms& t, double phi);

} // namespace kv
