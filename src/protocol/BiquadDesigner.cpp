#include "protocol/BiquadDesigner.h"

#include <cmath>

namespace kv {

namespace {

constexpr double kPi = 3.141592653589793;

Biquad Normalise(double b0, double b1, double b2, double a0, double a1, double a2) {
    return Biquad{a1 / a0, a2 / a0, b0 / a0, b1 / a0, b2 / a0};
}

/// Fixed Q of the crossover sections 8/9 and 12..21; 0 for the other types.
double FixedQ(int type) {
    switch (type) {
    case 8:
    case 9:
        return 1.0 / std::sqrt(3.0);
    case 12:
    case 13:
        return 1.0 / std::sqrt(2.0);
    case 14:
    case 15:
        return 1.0 / (2.0 * std::sin(kPi / 6.0));
    case 16:
    case 17:
        return 1.0 / (2.0 * std::sin(kPi / 2.0));
    case 18:
    case 19:
        return 1.0 / (2.0 * std::sin(kPi / 4.0));
    case 20:
    case 21:
        return 1.0 / (2.0 * std::sin(3.0 * kPi / 8.0));
    default:
        return 0.0;
    }
}

Biquad SecondOrderPass(bool lowPass, double K, double c, double alpha) {
    const double a0 = 1 + alpha;
    const double a1 = -2 * c;
    const double a2 = 1 - alpha;
    if (lowPass) {
        return Normalise(K * (1 - c) / 2, K * (1 - c), K * (1 - c) / 2, a0, a1, a2);
    }
    return Normalise(K * (1 + c) / 2, -K * (1 + c), K * (1 + c) / 2, a0, a1, a2);
}

Biquad Chebyshev(bool lowPass, double K, double w0) {
    const double t = lowPass ? std::tan(w0 / 2) : 1.0 / std::tan(w0 / 2);
    const double eps = std::sqrt(std::pow(10.0, 0.01) - 1.0);
    const double h = std::sinh(0.5 * std::sqrt(std::log(1.0 / (eps * eps) + 1.0 + 1.0 / eps)));
    const double sigma = h * t;
    const double omega = std::sin(3.0 * kPi / 4.0) * t;
    const double G = std::sqrt(1.0 / (1.0 + eps * eps));
    const double c1 = 2.0 * sigma * std::cos(3.0 * kPi / 4.0);
    const double s2w2 = sigma * sigma + omega * omega;
    const double D = 1.0 - c1 + s2w2;
    Biquad q;
    q.b0 = K * G * s2w2 / D;
    q.b2 = q.b0;
    q.b1 = lowPass ? 2.0 * q.b0 : -2.0 * q.b0;
    q.a1 = (lowPass ? 2.0 : -2.0) * (s2w2 - 1.0) / D;
    q.a2 = (1.0 + c1 + s2w2) / D;
    return q;
}

} // namespace

Biquad DesignBiquad(int type, double gainDb, double freqHz, double q, double levelDb,
                    double sampleRate) {
    const double w0 = 2.0 * kPi * freqHz / sampleRate;
    const double c = std::cos(w0);
    const double s = std::sin(w0);
    const double A = std::pow(10.0, gainDb / 40.0);
    const double K = std::pow(10.0, gainDb / 20.0);
    const double L = std::pow(10.0, levelDb / 20.0);

    switch (type) {
    case kFilterPeq: {
        const double alpha = s / (2.0 * q);
        return Normalise(L * (1 + alpha * A), -2 * c * L, L * (1 - alpha * A), 1 + alpha / A,
                         -2 * c, 1 - alpha / A);
    }
    case kFilterLowPass:
    case kFilterHighPass:
        return SecondOrderPass(type == kFilterLowPass, K, c, s / (2.0 * q));
    case kFilterLowShelf:
    case kFilterHighShelf: {
        const double twoSqrtAAlpha = std::sqrt(A) * s / q;
        if (type == kFilterLowShelf) {
            return Normalise(
                A * ((A + 1) - (A - 1) * c + twoSqrtAAlpha), 2 * A * ((A - 1) - (A + 1) * c),
                A * ((A + 1) - (A - 1) * c - twoSqrtAAlpha), (A + 1) + (A - 1) * c + twoSqrtAAlpha,
                -2 * ((A - 1) + (A + 1) * c), (A + 1) + (A - 1) * c - twoSqrtAAlpha);
        }
        return Normalise(
            A * ((A + 1) + (A - 1) * c + twoSqrtAAlpha), -2 * A * ((A - 1) + (A + 1) * c),
            A * ((A + 1) + (A - 1) * c - twoSqrtAAlpha), (A + 1) - (A - 1) * c + twoSqrtAAlpha,
            2 * ((A - 1) - (A + 1) * c), (A + 1) - (A - 1) * c - twoSqrtAAlpha);
    }
    case kFilterChebyshevLowPass:
    case kFilterChebyshevHighPass:
        return Chebyshev(type == kFilterChebyshevLowPass, K, w0);
    case kFilterLowPassFirstOrder:
    case kFilterHighPassFirstOrder: {
        const double D = 1 + c + s;
        Biquad f;
        if (type == kFilterLowPassFirstOrder) {
            f.b0 = K * s / D;
            f.b1 = f.b0;
        } else {
            f.b0 = K * (1 + c) / D;
            f.b1 = -f.b0;
        }
        f.a1 = (s - c - 1) / D;
        f.a2 = 0;
        f.b2 = 0;
        return f;
    }
    default:
        break;
    }

    const double fixedQ = FixedQ(type);
    if (fixedQ > 0) {
        return SecondOrderPass(type % 2 == 0, K, c, s / (2.0 * fixedQ));
    }

    // Any other type: all-pass scaled by the level.
    const double alpha = s / (2.0 * q);
    const double M = std::pow(10.0, levelDb / 40.0);
    return Normalise(M * (1 - alpha), -2 * c * M, M * (1 + alpha), 1 + alpha, -2 * c, 1 - alpha);
}

} // namespace kv
