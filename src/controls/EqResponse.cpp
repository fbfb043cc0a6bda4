#include "controls/EqResponse.h"

#include <algorithm>
#include <cmath>

namespace kv {

namespace {

/// Smallest power ratio taken into the logarithm (-300 dB).
constexpr double kPowerFloor = 1e-30;

} // namespace

MagnitudeTerms MakeMagnitudeTerms(const Biquad& c) {
    MagnitudeTerms t;
    const double sb = c.b0 + c.b1 + c.b2;
    t.nb = sb * sb;
    t.tb = 4.0 * (4.0 * c.b0 * c.b2 + c.b0 * c.b1 + c.b1 * c.b2);
    t.ub = 16.0 * c.b0 * c.b2;
    const double sa = 1.0 + c.a1 + c.a2;
    t.na = sa * sa;
    t.ta = 4.0 * (4.0 * c.a2 + c.a1 + c.a1 * c.a2);
    t.ua = 16.0 * c.a2;
    return t;
}

double MagnitudeDb(const MagnitudeTerms& t, double phi) {
    const double p2 = phi * phi;
    const double p4 = p2 * p2;
    const double num = std::max(t.nb - t.tb * p2 + t.ub * p4, kPowerFloor);
    const double den = std::max(t.na - t.ta * p2 + t.ua * p4, kPowerFloor);
    return 10.0 * std::log10(num) - 10.0 * std::log10(den);
}

} // namespace kv
