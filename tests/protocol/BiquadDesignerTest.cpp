#include "protocol/BiquadDesigner.h"

#include <gtest/gtest.h>

#include <cmath>
#include <complex>

namespace kv {
namespace {

constexpr double kFs = 48000.0;
constexpr double kNyquist = kFs / 2;

/// |H(e^jw)| of the section at f Hz, evaluated directly from its coefficients.
double Magnitude(const Biquad& q, double hz) {
    const double w = 2.0 * M_PI * hz / kFs;
    const std::complex<double> z1 = std::polar(1.0, -w);
    const std::complex<double> z2 = z1 * z1;
    return std::abs((q.b0 + q.b1 * z1 + q.b2 * z2) / (1.0 + q.a1 * z1 + q.a2 * z2));
}

double MagnitudeDb(const Biquad& q, double hz) {
    return 20.0 * std::log10(Magnitude(q, hz));
}

TEST(BiquadDesigner, PeakingBand) {
    // 0 dB is a flat section whatever the Q.
    for (double q : {0.3, 1.414, 8.0}) {
        const Biquad flat = DesignBiquad(kFilterPeq, 0, 1000, q);
        EXPECT_DOUBLE_EQ(flat.b0, 1.0);
        EXPECT_DOUBLE_EQ(flat.b1, flat.a1);
        EXPECT_DOUBLE_EQ(flat.b2, flat.a2);
        for (double f : {20.0, 1000.0, 15000.0}) {
            EXPECT_NEAR(MagnitudeDb(flat, f), 0.0, 1e-9);
        }
    }
    for (double gain : {6.0, -9.0, 15.0}) {
        const Biquad peq = DesignBiquad(kFilterPeq, gain, 1000, 1.414);
        EXPECT_NEAR(MagnitudeDb(peq, 1000), gain, 1e-9);
        EXPECT_NEAR(MagnitudeDb(peq, 20), 0.0, 0.05);
    }
    // The level scales the whole section.
    const Biquad withLevel = DesignBiquad(kFilterPeq, 0, 1000, 1.0, -6.0);
    EXPECT_NEAR(MagnitudeDb(withLevel, 300), -6.0, 1e-9);
}

TEST(BiquadDesigner, SecondOrderPassesWithTheBandQ) {
    const Biquad lp = DesignBiquad(kFilterLowPass, 0, 2000, 0.707);
    EXPECT_NEAR(Magnitude(lp, 0), 1.0, 1e-12);
    EXPECT_NEAR(Magnitude(lp, 2000), 0.707, 1e-9); // |H(f0)| equals Q
    EXPECT_LT(Magnitude(lp, kNyquist), 1e-6);

    const Biquad hp = DesignBiquad(kFilterHighPass, 0, 200, 2.0);
    EXPECT_NEAR(Magnitude(hp, kNyquist), 1.0, 1e-12);
    EXPECT_NEAR(Magnitude(hp, 200), 2.0, 1e-9);
    EXPECT_LT(Magnitude(hp, 0), 1e-9);

    // The gain argument acts as an overall level.
    EXPECT_NEAR(MagnitudeDb(DesignBiquad(kFilterLowPass, -6, 2000, 0.707), 0), -6.0, 1e-9);
}

TEST(BiquadDesigner, Shelves) {
    const Biquad ls = DesignBiquad(kFilterLowShelf, 6, 300, 0.707);
    EXPECT_NEAR(MagnitudeDb(ls, 0), 6.0, 1e-9);
    EXPECT_NEAR(MagnitudeDb(ls, kNyquist), 0.0, 1e-9);
    EXPECT_NEAR(MagnitudeDb(ls, 300), 3.0, 1e-9); // half the gain at f0

    const Biquad hs = DesignBiquad(kFilterHighShelf, -6, 5000, 0.707);
    EXPECT_NEAR(MagnitudeDb(hs, kNyquist), -6.0, 1e-9);
    EXPECT_NEAR(MagnitudeDb(hs, 0), 0.0, 1e-9);
    EXPECT_NEAR(MagnitudeDb(hs, 5000), -3.0, 1e-9);
}

TEST(BiquadDesigner, FixedQCrossoverSections) {
    struct Case {
        int type;
        double q;
    };
    const Case cases[] = {
        {8, 1 / std::sqrt(3.0)},
        {12, 1 / std::sqrt(2.0)},
        {14, 1.0},
        {16, 0.5},
        {18, 1 / (2 * std::sin(M_PI / 4))},
        {20, 1 / (2 * std::sin(3 * M_PI / 8))},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.type);
        // The band Q passed in is ignored.
        const Biquad lp = DesignBiquad(c.type, 0, 1000, 9.0);
        EXPECT_NEAR(Magnitude(lp, 0), 1.0, 1e-12);
        EXPECT_NEAR(Magnitude(lp, 1000), c.q, 1e-9);
        const Biquad hp = DesignBiquad(c.type + 1, 0, 1000, 9.0);
        EXPECT_NEAR(Magnitude(hp, kNyquist), 1.0, 1e-12);
        EXPECT_NEAR(Magnitude(hp, 1000), c.q, 1e-9);
    }
}

TEST(BiquadDesigner, FirstOrderSections) {
    const Biquad lp = DesignBiquad(kFilterLowPassFirstOrder, 0, 1000, 1);
    EXPECT_EQ(lp.a2, 0.0);
    EXPECT_EQ(lp.b2, 0.0);
    EXPECT_NEAR(Magnitude(lp, 0), 1.0, 1e-12);
    EXPECT_NEAR(Magnitude(lp, 1000), std::sqrt(0.5), 1e-9);
    const Biquad hp = DesignBiquad(kFilterHighPassFirstOrder, 0, 1000, 1);
    EXPECT_NEAR(Magnitude(hp, kNyquist), 1.0, 1e-12);
    EXPECT_NEAR(Magnitude(hp, 1000), std::sqrt(0.5), 1e-9);
}

TEST(BiquadDesigner, ChebyshevSectionsHaveTheirRippleGain) {
    const double eps = std::sqrt(std::pow(10.0, 0.01) - 1.0);
    const double ripple = std::sqrt(1.0 / (1.0 + eps * eps));
    const Biquad lp = DesignBiquad(kFilterChebyshevLowPass, 0, 1000, 1);
    EXPECT_NEAR(Magnitude(lp, 0), ripple, 1e-12);
    EXPECT_LT(Magnitude(lp, 10000), 0.1);
    const Biquad hp = DesignBiquad(kFilterChebyshevHighPass, 0, 1000, 1);
    EXPECT_NEAR(Magnitude(hp, kNyquist), ripple, 1e-12);
    EXPECT_LT(Magnitude(hp, 100), 0.1);
}

TEST(BiquadDesigner, OtherTypesAreScaledAllPasses) {
    for (int type : {0, 22, 99, -3}) {
        SCOPED_TRACE(type);
        const Biquad ap = DesignBiquad(type, 12, 1000, 0.707, -6.0);
        const double scale = std::pow(10.0, -6.0 / 40.0);
        for (double f : {0.0, 500.0, 1000.0, 20000.0}) {
            EXPECT_NEAR(Magnitude(ap, f), scale, 1e-9);
        }
    }
}

} // namespace
} // namespace kv
