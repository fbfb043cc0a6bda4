// Response maths, coordinates and the band operations of the equaliser panel.
#include "ControlTestUtil.h"

#include "controls/CEqPanel.h"
#include "protocol/BiquadDesigner.h"

#include <gtest/gtest.h>

#include <cmath>
#include <complex>

namespace kv {
namespace {

constexpr double kFs = 48000.0;

/// |H(e^jw)| in dB evaluated directly from the section's transfer function.
double ReferenceDb(const Biquad& c, double freq) {
    const std::complex<double> z1 = std::polar(1.0, -2.0 * 3.141592653589793 * freq / kFs);
    const std::complex<double> z2 = z1 * z1;
    const std::complex<double> num = c.b0 + c.b1 * z1 + c.b2 * z2;
    const std::complex<double> den = 1.0 + c.a1 * z1 + c.a2 * z2;
    return 20.0 * std::log10(std::abs(num) / std::abs(den));
}

class EqResponse : public ::testing::Test {
protected:
    void SetUp() override {
        test::ShowAt(panel, 1280, 400);
        panel.SetBandCount(10);
    }
    CEqPanel panel;
};

struct ResponseCase {
    int type;
    float freq;
    float gain;
    float q;
};

class EqResponseTypes : public EqResponse, public ::testing::WithParamInterface<ResponseCase> {};

TEST_P(EqResponseTypes, MatchesDirectEvaluationOfTheSection) {
    const ResponseCase c = GetParam();
    EqPanelBand& b = panel.Band(2);
    b.type = c.type;
    b.freqHz = c.freq;
    b.gainDb = c.gain;
    b.q = c.q;
    panel.RecalcBand(2);
    const Biquad coeffs = DesignBiquad(c.type, c.gain, c.freq, c.q, 0.0, kFs);
    int compared = 0;
    for (int i = 0; i < kEqResponsePoints; ++i) {
        const double expected = ReferenceDb(coeffs, panel.PlotFrequency(i));
        const float got = b.response[std::size_t(i)];
        ASSERT_TRUE(std::isfinite(got)) << "point " << i;
        if (c.type == 1 && std::fabs(got - c.gain) < 1e-6f) {
            continue; // the snapped peak point
        }
        if (expected > -100.0) {
            EXPECT_NEAR(got, expected, 2e-3) << "type " << c.type << " point " << i;
            ++compared;
        } else {
            EXPECT_LT(got, -90.0f) << "deep stop band, point " << i;
        }
    }
    EXPECT_GT(compared, 100);
}

INSTANTIATE_TEST_SUITE_P(
    Types, EqResponseTypes,
    ::testing::Values(ResponseCase{1, 1000, 6.0f, 2.0f}, ResponseCase{1, 47, -12.0f, 0.5f},
                      ResponseCase{1, 15000, 15.0f, 30.0f}, ResponseCase{2, 800, 0, 0.7f},
                      ResponseCase{3, 120, 0, 1.5f}, ResponseCase{4, 200, 6.0f, 0.7f},
                      ResponseCase{5, 6000, -9.0f, 1.2f}, ResponseCase{6, 2000, 0, 1},
                      ResponseCase{7, 2000, 0, 1}, ResponseCase{8, 500, 0, 1},
                      ResponseCase{11, 300, 0, 1}, ResponseCase{13, 90, 0, 1},
                      ResponseCase{18, 3000, 0, 1}, ResponseCase{20, 3000, 0, 1},
                      ResponseCase{21, 80, 0, 1}));

TEST_F(EqResponse, PlotFrequenciesSpanTheAxisLogarithmically) {
    EXPECT_FLOAT_EQ(panel.PlotFrequency(0), 18.0f);
    const double span = std::log10(23000.0 / 18.0);
    for (int i : {1, 100, 256, 400, 511}) {
        EXPECT_FLOAT_EQ(panel.PlotFrequency(i), float(18.0 * std::pow(10.0, i / 512.0 * span)));
    }
}

TEST_F(EqResponse, PeakPointCarriesTheExactGainWhereverTheGridFalls) {
    for (float freq : {20.0f, 100.0f, 999.0f, 1000.0f, 1234.5f, 7777.0f, 20000.0f}) {
        panel.Band(0).freqHz = freq;
        panel.SetBandGain(15.0f, 0);
        const auto& r = panel.Band(0).response;
        const float peak = *std::max_element(r.begin(), r.end());
        EXPECT_EQ(peak, 15.0f) << freq;
        const int w = panel.PlotRect().width();
        const double span = std::log10(23000.0 / 18.0);
        const int px = int(w * std::log10(freq / 18.0) / span);
        EXPECT_EQ(r[std::size_t(int(px / (w / 512.0)))], 15.0f) << freq;
    }
}

TEST_F(EqResponse, FrequenciesOutsideTheAxisLeaveTheResponseFinite) {
    for (float freq : {5.0f, 23999.0f}) {
        EqPanelBand& b = panel.Band(1);
        b.freqHz = freq;
        b.gainDb = 6.0f;
        panel.RecalcBand(1);
        for (float v : b.response) {
            ASSERT_TRUE(std::isfinite(v)) << freq;
        }
    }
}

TEST_F(EqResponse, CoordinatesMapTheAxesOntoThePlot) {
    const QRect plot = panel.PlotRect();
    EXPECT_EQ(plot.topLeft(), QPoint(36, 18));
    EXPECT_EQ(plot.width(), 1280 - 42);
    EXPECT_EQ(plot.height(), 400 - 38);
    EXPECT_EQ(panel.FreqToPlotX(18.0), 0);
    EXPECT_EQ(panel.FreqToPlotX(23000.0), plot.width());
    EXPECT_DOUBLE_EQ(panel.GainToPlotY(15.0), 0.0);
    EXPECT_DOUBLE_EQ(panel.GainToPlotY(-15.0), plot.height());
    EXPECT_DOUBLE_EQ(panel.GainToPlotY(0.0), plot.height() / 2.0);
    for (double f : {20.0, 440.0, 1000.0, 19000.0}) {
        const double back = panel.PlotXToFreq(panel.FreqToPlotX(f));
        EXPECT_LE(back, f);
        EXPECT_GT(back, f * 0.99);
    }
    panel.Band(4).freqHz = 1000.0f;
    panel.SetBandGain(-7.5f, 4);
    EXPECT_EQ(panel.HandlePos(4),
              QPoint(panel.FreqToPlotX(1000.0), int(22.5 * plot.height() / 30.0)));
}

TEST_F(EqResponse, TotalCurveSumsEveryBandInUse) {
    panel.Band(0).freqHz = 100.0f;
    panel.SetBandGain(6.0f, 0);
    panel.Band(1).freqHz = 5000.0f;
    panel.SetBandGain(-4.0f, 1);
    panel.SetBandType(2, 0); // off: kept out of the sum
    panel.Band(2).response.fill(50.0f);
    for (int i : {0, 128, 300, 511}) {
        float sum = 0;
        for (int b = 0; b < 10; ++b) {
            if (b != 2) {
                sum += panel.Band(b).response[std::size_t(i)];
            }
        }
        EXPECT_FLOAT_EQ(panel.TotalResponse(i), sum);
    }
}

TEST_F(EqResponse, BandCountLaysOutTheStandardFrequencies) {
    panel.SetBandGain(5.0f, 3);
    panel.SetBandCount(7);
    const float seven[] = {31, 62, 125, 250, 500, 1000, 2000};
    for (int i = 0; i < 7; ++i) {
        EXPECT_EQ(panel.Band(i).freqHz, seven[i]);
        EXPECT_EQ(panel.Band(i).type, 1);
        EXPECT_FLOAT_EQ(panel.Band(i).q, 1.41f);
        EXPECT_EQ(panel.Band(i).gainDb, 0.0f);
        EXPECT_EQ(panel.Band(i).index, i);
    }
    panel.SetBandCount(10);
    EXPECT_EQ(panel.Band(7).freqHz, 4000.0f);
    EXPECT_EQ(panel.Band(9).freqHz, 16000.0f);
    panel.SetBandCount(99);
    EXPECT_EQ(panel.BandCount(), CEqPanel::kMaxBands);
}

struct SetterCase {
    int type;
    float gainIn, gainOut;
    float qIn, qOut;
};

TEST_F(EqResponse, GainAndQSettersFollowTheTypeRules) {
    const SetterCase cases[] = {
        {1, 9.0f, 9.0f, 25.0f, 25.0f},    {1, 20.0f, 15.0f, 40.0f, 30.0f},
        {1, -20.0f, -15.0f, 0.01f, 0.1f}, {2, 6.0f, 0.0f, 5.0f, 2.0f},
        {3, -6.0f, 0.0f, 1.5f, 1.5f},     {4, 6.0f, 6.0f, 3.0f, 2.0f},
        {5, -3.0f, -3.0f, 0.05f, 0.1f},   {18, 6.0f, 0.0f, 8.0f, 2.0f},
    };
    for (const SetterCase& c : cases) {
        panel.SetBandType(5, c.type);
        panel.SetBandGain(c.gainIn, 5);
        panel.SetBandQ(c.qIn, 5);
        EXPECT_EQ(panel.Band(5).gainDb, c.gainOut) << "type " << c.type;
        EXPECT_FLOAT_EQ(panel.Band(5).q, c.qOut) << "type " << c.type;
        panel.SetBandQ(0.0f, 5);
        EXPECT_FLOAT_EQ(panel.Band(5).q, c.qOut) << "a zero Q is ignored";
    }
    panel.SetGainLimits(-6.0f, 6.0f);
    panel.SetBandType(5, 1);
    panel.SetBandGain(9.0f, 5);
    EXPECT_EQ(panel.Band(5).gainDb, 6.0f);
}

TEST_F(EqResponse, TypeChangesResetQAndGain) {
    panel.SetBandGain(8.0f, 4);
    panel.SetBandQ(5.0f, 4);
    panel.SetBandType(4, 4);
    EXPECT_EQ(panel.Band(4).gainDb, 0.0f);
    EXPECT_FLOAT_EQ(panel.Band(4).q, 0.7f);
    panel.SetBandType(4, 1);
    EXPECT_FLOAT_EQ(panel.Band(4).q, 1.41f);
    panel.SetBandQ(1.9f, 4);
    panel.SetBandType(4, 12);
    EXPECT_FLOAT_EQ(panel.Band(4).q, 1.9f) << "crossover types keep Q";
}

class EqCrossover : public ::testing::Test {
protected:
    void SetUp() override {
        test::ShowAt(panel, 1280, 400);
        panel.SetKind(7);
        panel.SetBandCount(13);
        panel.Band(9).freqHz = 120.0f;
        panel.SetBandQ(0.9f, 9);
    }
    std::array<int, 4> Sections() const {
        return {panel.Band(9).type, panel.Band(10).type, panel.Band(11).type, panel.Band(12).type};
    }
    CEqPanel panel;
};

TEST_F(EqCrossover, MenuTypesProgramTheFourSections) {
    const std::pair<int, std::array<int, 4>> cases[] = {{2, {18, 20, 1, 1}},
                                                        {3, {19, 21, 1, 1}},
                                                        {4, {4, 1, 1, 1}},
                                                        {5, {5, 1, 1, 1}},
                                                        {1, {1, 1, 1, 1}}};
    for (const auto& [type, sections] : cases) {
        panel.SetSelected(9);
        panel.HandleCommand(CEqPanel::kCmdTypeFirst + type - 1);
        EXPECT_EQ(Sections(), sections) << "menu type " << type;
        for (int k = 9; k <= 12; ++k) {
            EXPECT_EQ(panel.Band(k).gainDb, 0.0f);
            EXPECT_EQ(panel.Band(k).freqHz, 120.0f) << "sections follow band 9";
        }
    }
}

TEST_F(EqCrossover, LowPassSumsAllFourSectionsIntoTheTotal) {
    panel.SetSelected(9);
    panel.HandleCommand(CEqPanel::kCmdTypeFirst + 1);
    ASSERT_EQ(Sections(), (std::array<int, 4>{18, 20, 1, 1}));
    // Far above the corner the two cascaded sections add their slopes: the total there
    // is the sum of band 9 and band 10 (the flat sections and peaking bands add ~0 dB).
    const int i = 450;
    float others = 0;
    for (int b = 0; b < 9; ++b) {
        others += panel.Band(b).response[std::size_t(i)];
    }
    const float sections =
        panel.Band(9).response[std::size_t(i)] + panel.Band(10).response[std::size_t(i)];
    EXPECT_LT(panel.Band(10).response[std::size_t(i)], -40.0f);
    EXPECT_NEAR(panel.TotalResponse(i), others + sections, 1e-3);
}

TEST_F(EqCrossover, SlopesKeepTheFamily) {
    struct Case {
        int slope;
        std::array<int, 4> low, high;
    };
    const Case cases[] = {
        {0, {10, 10, 1, 1}, {11, 11, 1, 1}},     {1, {12, 12, 1, 1}, {13, 13, 1, 1}},
        {2, {14, 10, 14, 10}, {15, 11, 15, 11}}, {3, {18, 20, 18, 20}, {19, 21, 19, 21}},
        {5, {8, 10, 1, 1}, {9, 11, 1, 1}},       {9, {18, 20, 1, 1}, {19, 21, 1, 1}},
        {10, {6, 1, 1, 1}, {7, 1, 1, 1}},        {11, {1, 1, 1, 1}, {1, 1, 1, 1}},
        {42, {10, 10, 1, 1}, {11, 11, 1, 1}}};
    for (const Case& c : cases) {
        panel.SetBandType(9, 2);
        panel.SetCrossoverSlope(9, c.slope);
        EXPECT_EQ(Sections(), c.low) << "slope " << c.slope;
        panel.SetBandType(9, 3);
        panel.SetCrossoverSlope(9, c.slope);
        EXPECT_EQ(Sections(), c.high) << "slope " << c.slope;
    }
    panel.SetBandType(9, 19);
    panel.SetCrossoverSlope(8, 3);
    EXPECT_EQ(panel.Band(9).type, 19) << "only band 9 is a crossover";
}

TEST_F(EqCrossover, OtherBandsOfAChannelOnlyResetGain) {
    panel.SetBandGain(6.0f, 3);
    panel.ApplyBandType(3, 5);
    EXPECT_EQ(panel.Band(3).type, 5);
    EXPECT_EQ(panel.Band(3).gainDb, 0.0f);
    EXPECT_EQ(panel.Band(10).type, 1) << "sections untouched";
}

} // namespace
} // namespace kv
