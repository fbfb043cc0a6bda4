// Room correction files: the golden files under filters/ imitate the filter text that REW and
// Equalizer APO write (each expected file names the layout it imitates); the tests check the
// bands and the report against them, the refusals of files that are not filter text, the
// round trip through export, and the response of the imported bands against the file's
// filters computed here from the RBJ cookbook formulas.

#include "image/Encodings.h"
#include "image/MainFields.h"
#include "image/ParamImage.h"
#include "protocol/BiquadDesigner.h"
#include "protocol/Equaliser.h"
#include "protocol/FilterApply.h"
#include "protocol/FilterImport.h"
#include "protocol/FilterText.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <complex>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <unistd.h>

namespace kv {
namespace {

const std::filesystem::path kFilters = std::filesystem::path(KV_TEST_SOURCE_DIR) / "filters";

std::string ReadText(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

constexpr const char* kTypeNames[] = {"off", "PEQ", "LP", "HP", "LS", "HS"};

/// The plan as the golden files hold it: every band after the import (changed ones marked),
/// the gain and the report.
std::string Dump(const ImportPlan& plan) {
    std::string out = EqKindName(plan.kind);
    if (plan.gainAfter) {
        out += ", gain " + std::to_string(*plan.gainBefore) + " % -> " +
               std::to_string(*plan.gainAfter) + " %";
    }
    out += ", " + std::to_string(plan.imported) + " filters imported\n";
    const auto changed = plan.ChangedBands();
    for (std::size_t b = 0; b < plan.after.size(); ++b) {
        const EqBand& band = plan.after[b];
        char line[128];
        const char* type = band.type >= 0 && band.type <= 5 ? kTypeNames[band.type] : "xover";
        std::snprintf(line, sizeof line, "%c band %2zu  %-5s %+5.1f dB %5.0f Hz  Q %.3f\n",
                      std::find(changed.begin(), changed.end(), int(b)) != changed.end() ? '*'
                                                                                        : ' ',
                      b + 1, type, band.gainDb, band.freqHz, band.q);
        out += line;
    }
    out += "report:\n" + FormatImportNotes(plan.notes);
    return out;
}

/// An image whose output channels have the roles L, R, C, SUB, SL, SR, RL, RR and whose CH4
/// (the subwoofer) has its crossover on band 10, as a reset gives it.
class FilterImportTest : public ::testing::Test {
protected:
    void SetUp() override {
        image.InitDefaults();
        const int roles[kOutputChannels] = {0, 1, 5, 4, 6, 7, 2, 3};
        for (int c = 0; c < kOutputChannels; ++c) {
            image.SetInt(fields::outRole, c, roles[c]);
            image.SetInt(fields::outGain, c, 100);
        }
        image.WriteBand(5 + 3, 9, 0, 100, 0.707, kFilterLowPassQ0707b);
        image.WriteBand(5 + 3, 10, 0, 100, 0.707, kFilterLowPassQ0541);
    }
    ImportPlan Plan(const std::string& file, const std::string& kind, bool keepUnused = false) {
        const auto parsed = ReadFilterFile((kFilters / file).string());
        EXPECT_TRUE(parsed.ok()) << file << ": " << parsed.error;
        const auto k = EqKindByName(kind);
        EXPECT_TRUE(k.has_value()) << kind;
        if (!parsed.ok() || !k) {
            return {};
        }
        return PlanImport(*parsed.file, ImportTargetFromImage(image, *k), keepUnused);
    }
    ParamImage image;
};

TEST_F(FilterImportTest, GoldenFilesGiveTheExpectedBandsAndReport) {
    struct Case {
        const char* file;
        const char* kind;
        bool keepUnused;
        const char* expected;
    };
    const Case cases[] = {
        {"rew-generic.txt", "CH1", false, "rew-generic-ch1.expected"},
        {"rew-bandwidth.txt", "CH4", true, "rew-bandwidth-ch4.expected"},
        {"rew-comma.txt", "music", false, "rew-comma-music.expected"},
        {"rew-table.txt", "echo-a", false, "rew-table-echo-a.expected"},
        {"apo-channels.txt", "CH1", false, "apo-channels-ch1.expected"},
        {"apo-channels.txt", "CH3", false, "apo-channels-ch3.expected"},
        {"apo-channels.txt", "CH4", false, "apo-channels-ch4.expected"},
        {"apo-channels.txt", "mic-b", true, "apo-channels-mic-b.expected"},
        {"unsupported.txt", "mic-a", false, "unsupported-mic-a.expected"},
    };
    for (const auto& c : cases) {
        const std::string actual = Dump(Plan(c.file, c.kind, c.keepUnused));
        const auto path = kFilters / c.expected;
        std::string expected = ReadText(path);
        // The expected files open with comment lines naming the layout they imitate.
        std::string header;
        while (expected.starts_with("#")) {
            const auto nl = expected.find('\n');
            header += expected.substr(0, nl + 1);
            expected.erase(0, nl + 1);
        }
        if (std::getenv("KV_UPDATE_GOLDEN") != nullptr) {
            std::ofstream(path, std::ios::binary) << header << actual;
            continue;
        }
        EXPECT_FALSE(header.empty()) << c.expected << " names no source layout";
        EXPECT_EQ(actual, expected) << c.file << " onto " << c.kind;
    }
}

TEST(FilterTextTest, TextThatIsNoFilterFileIsRefusedWithAReason) {
    struct Case {
        const char* name;
        std::string text;
        const char* error;
    };
    const Case cases[] = {
        {"binary", std::string("Filter 1: ON PK\0\x01\x02", 18), "not a text file"},
        {"endless line", "Filter 1: ON PK Fc 100 Hz Gain 1 dB Q 1 " + std::string(5000, 'x'),
         "line 1 is longer than 4096"},
        {"no filters", "Preamp: -3 dB\nHello\n", "no filter lines found"},
        {"empty", "", "no filter lines found"},
        {"utf-16 beyond ascii", std::string("\xFF\xFE" "F\0\x01\x04", 6), "UTF-16"},
        {"filter settings header only", "Filter Settings file\n\nRoom EQ V5.31\n",
         "no filter lines found"},
    };
    for (const auto& c : cases) {
        const auto r = ParseFilterText(c.text);
        EXPECT_FALSE(r.ok()) << c.name;
        EXPECT_NE(r.error.find(c.error), std::string::npos) << c.name << ": " << r.error;
    }
}

TEST(FilterTextTest, HugeFilesAreRefusedBeforeTheyAreRead) {
    const auto path = std::filesystem::temp_directory_path() /
                      ("kv-filter-huge-" + std::to_string(::getpid()) + ".txt");
    {
        std::ofstream out(path, std::ios::binary);
        out << "Filter 1: ON PK Fc 100 Hz Gain 1 dB Q 1\n";
    }
    // A sparse 100 MB file: refused by its size, so the test reads nothing of it.
    std::filesystem::resize_file(path, 100u * 1024 * 1024);
    const auto r = ReadFilterFile(path.string());
    std::filesystem::remove(path);
    EXPECT_FALSE(r.ok());
    EXPECT_NE(r.error.find("104857600 bytes"), std::string::npos) << r.error;
    EXPECT_FALSE(ReadFilterFile("/nonexistent/filters.txt").ok());
    EXPECT_FALSE(ReadFilterFile(kFilters.string()).ok()); // a folder
}

TEST(FilterTextTest, FilterLinesInTheirSpellings) {
    struct Case {
        const char* line;
        FilterShape shape;
        std::optional<double> freq, gain, q, bwOct, slope;
        bool enabled = true;
    };
    const Case cases[] = {
        {"Filter  1: ON  PK       Fc   63.0 Hz  Gain  -5.0 dB  Q  4.00", FilterShape::Peaking,
         63, -5, 4, {}, {}},
        {"Filter: ON PK Fc 100 Hz Gain -3 dB Q 1.41", FilterShape::Peaking, 100, -3, 1.41, {}, {}},
        {"Filter  1: ON  PEQ      Fc    64,0 Hz  Gain  -5,0 dB  BW Oct 0,167",
         FilterShape::Peaking, 64, -5, {}, 0.167, {}},
        {"Filter 13: ON  LS 12dB  Fc   315.0 Hz  Gain   0.00 dB", FilterShape::LowShelf, 315, 0,
         {}, {}, 12},
        {"Filter 15: ON  LS Q     Fc   500.0 Hz  Gain   0.00 dB Q  0.707", FilterShape::LowShelf,
         500, 0, 0.707, {}, {}},
        {"Filter: ON LSC 10.8 dB Fc 300 Hz Gain 5.0 dB", FilterShape::LowShelf, 300, 5, {}, {},
         10.8},
        {"Filter 2: ON HP Fc 1.2 kHz", FilterShape::HighPass, 1200, {}, {}, {}, {}},
        {"filter 4:on hs fc 8000hz gain +2db q 0.5", FilterShape::HighShelf, 8000, 2, 0.5, {}, {}},
        {"Filter  3: OFF None", FilterShape::None, {}, {}, {}, {}, {}, false},
        {"Filter 5: ON LP 6dB Fc 200 Hz", FilterShape::LowPassFirstOrder, 200, {}, {}, {}, 6},
        {"Filter 6: ON NO Fc 60 Hz", FilterShape::Notch, 60, {}, {}, {}, {}},
    };
    for (const auto& c : cases) {
        const auto r = ParseFilterText(c.line);
        ASSERT_TRUE(r.ok()) << c.line << ": " << r.error;
        ASSERT_EQ(r.file->filters.size(), 1u) << c.line;
        const TextFilter& f = r.file->filters[0];
        EXPECT_EQ(f.shape, c.shape) << c.line;
        EXPECT_EQ(f.freqHz, c.freq) << c.line;
        EXPECT_EQ(f.gainDb, c.gain) << c.line;
        EXPECT_EQ(f.q, c.q) << c.line;
        EXPECT_EQ(f.bandwidthOct, c.bwOct) << c.line;
        EXPECT_EQ(f.slopeDb, c.slope) << c.line;
        EXPECT_EQ(f.enabled, c.enabled) << c.line;
    }
}

TEST(FilterTextTest, ChannelLinesSelectRolesAndCollectPreamps) {
    const auto r = ParseFilterText("Preamp: -3 dB\nPreamp: -1.5 dB\nChannel: L 2 C LFE 7 X9\n"
                                   "Filter: ON PK Fc 100 Hz Gain -3 dB Q 1\nChannel: all\n");
    ASSERT_TRUE(r.ok()) << r.error;
    ASSERT_EQ(r.file->sections.size(), 3u);
    EXPECT_EQ(r.file->sections[0].preampDb, -4.5);
    const ChannelSection& s = r.file->sections[1];
    EXPECT_FALSE(s.all);
    // L, 2 = R, C, LFE = subwoofer, 7 = SL (a 7.1 stream's order).
    EXPECT_EQ(s.roles, (std::vector<int>{0, 1, 5, 4, 6}));
    EXPECT_EQ(s.unknown, std::vector<std::string>{"X9"});
    EXPECT_EQ(r.file->filters[0].section, 1u);
    EXPECT_TRUE(r.file->sections[2].all);
}

TEST(FilterConversionTest, BandwidthAndSlopeBecomeTheirExactQ) {
    // Bandwidth in octaves between the half-gain points: 1/Q = 2 sinh(ln 2 / 2 * N).
    for (double n : {0.05, 0.167, 0.333, 1.0, 2.0, 3.0}) {
        EXPECT_NEAR(QFromOctaves(n), 1.0 / (2.0 * std::sinh(std::log(2.0) / 2.0 * n)), 1e-12) << n;
    }
    EXPECT_NEAR(QFromOctaves(1.0), std::sqrt(2.0), 1e-12);
    // Shelf slope S = 1 (12 dB/octave) is Q 1/sqrt(2) at any gain.
    for (double g : {-12.0, -3.0, 0.0, 6.0, 15.0}) {
        EXPECT_NEAR(*QFromShelfSlope(g, 12.0), 1.0 / std::sqrt(2.0), 1e-12) << g;
    }
    EXPECT_FALSE(QFromShelfSlope(15.0, 48.0).has_value()); // too steep for the gain
    EXPECT_FALSE(QFromShelfSlope(3.0, 0.0).has_value());
}

// --- Round trip and response ------------------------------------------------------------------

TEST_F(FilterImportTest, ExportThenImportGivesTheSameBandRecords) {
    const EqBand bands[] = {{-5.0, 63, 4.0, kFilterPeq},    {2.9, 125, 0.707, kFilterLowShelf},
                            {-14.9, 31, 29.999, kFilterPeq}, {0, 18000, 0.5, kFilterLowPass},
                            {0, 25, 1.2, kFilterHighPass},   {3.3, 9000, 1.999, kFilterHighShelf},
                            {15.0, 20000, 0.1, kFilterPeq},  {-15.0, 20, 0.1, kFilterPeq},
                            {0.1, 1001, 1.414, kFilterPeq},  {-0.1, 16000, 2.0, kFilterPeq}};
    for (const auto format : {ExportFormat::Apo, ExportFormat::Rew}) {
        for (const auto* kind : {"CH2", "music", "mic-b"}) {
            const auto k = EqKindByName(kind);
            ASSERT_TRUE(k.has_value());
            const auto eq = EqKind(*k);
            for (int b = 0; b < eq->bands && b < 10; ++b) {
                const EqBand& band = bands[b];
                image.WriteBand(eq->group, eq->firstBand + b, band.gainDb, band.freqHz, band.q,
                                band.type);
            }
            std::vector<std::string> skipped;
            const std::string text =
                ExportFilterText(ImportTargetFromImage(image, *k), format, skipped);
            EXPECT_TRUE(skipped.empty()) << kind;
            const auto parsed = ParseFilterText(text);
            ASSERT_TRUE(parsed.ok()) << parsed.error << "\n" << text;

            ParamImage fresh;
            fresh.InitDefaults();
            const ImportPlan plan =
                PlanImport(*parsed.file, ImportTargetFromImage(fresh, *k), false);
            StorePlan(fresh, plan);
            for (int b = 0; b < 10; ++b) {
                const int record = ParamImage::BandRecordIndex(eq->group, eq->firstBand + b);
                EXPECT_EQ(fresh.RecordBytes(record), image.RecordBytes(record))
                    << kind << " band " << b + 1 << "\n"
                    << text;
            }
            for (const auto& n : plan.notes) {
                EXPECT_NE(n.action, ImportAction::Dropped) << n.subject << " " << n.text;
                EXPECT_NE(n.action, ImportAction::Clamped) << n.subject << " " << n.text;
                EXPECT_NE(n.action, ImportAction::Rounded) << n.subject << " " << n.text;
            }
        }
    }
}

/// The file's filter computed independently from the RBJ cookbook at 48 kHz, with the
/// file's own values: bandwidth and slope enter the cookbook's alpha directly, not as Q.
std::complex<double> CookbookResponse(const TextFilter& f, double hz) {
    const double fs = 48000.0;
    const double pi = std::acos(-1.0);
    const double w0 = 2 * pi * *f.freqHz / fs;
    const double cw = std::cos(w0);
    const double sw = std::sin(w0);
    const double A = std::pow(10.0, f.gainDb.value_or(0.0) / 40.0);
    double alpha = 0;
    if (f.q) {
        alpha = sw / (2 * *f.q);
    } else if (f.bandwidthOct) {
        alpha = sw * std::sinh(std::log(2.0) / 2 * *f.bandwidthOct); // analog bandwidth
    } else if (f.slopeDb || f.shape == FilterShape::LowShelf ||
               f.shape == FilterShape::HighShelf) {
        const double S = f.slopeDb.value_or(12.0) / 12.0;
        alpha = sw / 2 * std::sqrt((A + 1 / A) * (1 / S - 1) + 2);
    } else {
        alpha = sw / (2 * std::sqrt(0.5)); // pass filters without Q: Butterworth
    }
    double b0 = 1, b1 = 0, b2 = 0, a0 = 1, a1 = 0, a2 = 0;
    const double sa = 2 * std::sqrt(A) * alpha;
    switch (f.shape) {
    case FilterShape::Peaking:
        b0 = 1 + alpha * A, b1 = -2 * cw, b2 = 1 - alpha * A;
        a0 = 1 + alpha / A, a1 = -2 * cw, a2 = 1 - alpha / A;
        break;
    case FilterShape::LowPass:
        b0 = (1 - cw) / 2, b1 = 1 - cw, b2 = (1 - cw) / 2;
        a0 = 1 + alpha, a1 = -2 * cw, a2 = 1 - alpha;
        break;
    case FilterShape::HighPass:
        b0 = (1 + cw) / 2, b1 = -(1 + cw), b2 = (1 + cw) / 2;
        a0 = 1 + alpha, a1 = -2 * cw, a2 = 1 - alpha;
        break;
    case FilterShape::LowShelf:
        b0 = A * ((A + 1) - (A - 1) * cw + sa), b1 = 2 * A * ((A - 1) - (A + 1) * cw);
        b2 = A * ((A + 1) - (A - 1) * cw - sa);
        a0 = (A + 1) + (A - 1) * cw + sa, a1 = -2 * ((A - 1) + (A + 1) * cw);
        a2 = (A + 1) + (A - 1) * cw - sa;
        break;
    case FilterShape::HighShelf:
        b0 = A * ((A + 1) + (A - 1) * cw + sa), b1 = -2 * A * ((A - 1) + (A + 1) * cw);
        b2 = A * ((A + 1) + (A - 1) * cw - sa);
        a0 = (A + 1) - (A - 1) * cw + sa, a1 = 2 * ((A - 1) - (A + 1) * cw);
        a2 = (A + 1) - (A - 1) * cw - sa;
        break;
    default:
        break;
    }
    const std::complex<double> z = std::polar(1.0, -2 * pi * hz / fs);
    return (b0 + b1 * z + b2 * z * z) / (a0 + a1 * z + a2 * z * z);
}

std::complex<double> DesignedResponse(const EqBand& b, double hz) {
    const Biquad q = DesignBiquad(b.type, b.gainDb, b.freqHz, b.q);
    const std::complex<double> z = std::polar(1.0, -2 * std::acos(-1.0) * hz / kDesignSampleRate);
    return (q.b0 + q.b1 * z + q.b2 * z * z) / (1.0 + q.a1 * z + q.a2 * z * z);
}

TEST_F(FilterImportTest, ImportedBandsSoundLikeTheFilesFilters) {
    // The bands differ from the file only by the record's resolution (1 Hz, 0.1 dB, Q 0.001):
    // over 20 Hz..20 kHz the summed responses stay within this many dB. Where the file's
    // frequencies lie on whole hertz that is a few thousandths of a dB; rew-comma's 125.5 Hz
    // (Q 3.25, -2.5 dB) stored as 126 Hz costs about 0.04 dB.
    struct Case {
        const char* file;
        const char* kind;
        double maxDb;
    };
    const Case cases[] = {
        {"rew-generic.txt", "CH1", 0.01},
        {"rew-bandwidth.txt", "music", 0.01},
        {"rew-comma.txt", "music", 0.05},
        {"apo-channels.txt", "CH1", 0.01},
        {"apo-channels.txt", "CH3", 0.01},
    };
    for (const auto& c : cases) {
        const auto parsed = ReadFilterFile((kFilters / c.file).string());
        ASSERT_TRUE(parsed.ok()) << parsed.error;
        const int kind = *EqKindByName(c.kind);
        const ImportTarget target = ImportTargetFromImage(image, kind);
        const ImportPlan plan = PlanImport(*parsed.file, target, false);
        const int role = target.role < 0 ? 0 : target.role;
        double worst = 0;
        for (int i = 0; i <= 600; ++i) {
            const double hz = 20.0 * std::pow(1000.0, i / 600.0);
            std::complex<double> file = 1.0;
            for (const auto& f : parsed.file->filters) {
                const auto& s = parsed.file->sections[f.section];
                const bool applies =
                    s.all || std::find(s.roles.begin(), s.roles.end(), role) != s.roles.end();
                if (applies && f.enabled && f.shape != FilterShape::None) {
                    file *= CookbookResponse(f, hz);
                }
            }
            std::complex<double> bands = 1.0;
            for (const auto& b : plan.after) {
                bands *= DesignedResponse(b, hz);
            }
            worst = std::max(worst, std::fabs(20 * std::log10(std::abs(bands) / std::abs(file))));
        }
        EXPECT_LT(worst, c.maxDb) << c.file << " onto " << c.kind;
        std::printf("%s onto %s: max deviation %.4f dB over 20 Hz..20 kHz\n", c.file, c.kind,
                    worst);
    }
}

// --- Mapping rules ----------------------------------------------------------------------------

TEST_F(FilterImportTest, OutputChannelsKeepTheirCrossoverAndTenBandsAtMost) {
    const auto many = ParseFilterText(
        "Filter 1: ON PK Fc 100 Hz Gain -1 dB Q 1\nFilter 2: ON PK Fc 200 Hz Gain -1 dB Q 1\n"
        "Filter 3: ON PK Fc 300 Hz Gain -1 dB Q 1\nFilter 4: ON PK Fc 400 Hz Gain -1 dB Q 1\n"
        "Filter 5: ON PK Fc 500 Hz Gain -1 dB Q 1\nFilter 6: ON PK Fc 600 Hz Gain -1 dB Q 1\n"
        "Filter 7: ON PK Fc 700 Hz Gain -1 dB Q 1\nFilter 8: ON PK Fc 800 Hz Gain -1 dB Q 1\n"
        "Filter 9: ON PK Fc 900 Hz Gain -1 dB Q 1\nFilter 10: ON PK Fc 1000 Hz Gain -1 dB Q 1\n"
        "Filter 11: ON PK Fc 1100 Hz Gain -1 dB Q 1\n");
    ASSERT_TRUE(many.ok());
    // CH1 (no crossover) takes ten filters; CH4 (the subwoofer's crossover on band 10) nine.
    const ImportPlan front = PlanImport(*many.file, ImportTargetFromImage(image, 7), false);
    EXPECT_EQ(front.imported, 10);
    const ImportPlan sub = PlanImport(*many.file, ImportTargetFromImage(image, 10), false);
    EXPECT_EQ(sub.imported, 9);
    EXPECT_EQ(sub.after[9].type, kFilterLowPassQ0707b);
    EXPECT_EQ(sub.after[10].type, kFilterLowPassQ0541);
    for (const auto* plan : {&front, &sub}) {
        const std::vector<int> changed = plan->ChangedBands();
        for (int b = 10; b < 13; ++b) {
            EXPECT_TRUE(std::find(changed.begin(), changed.end(), b) == changed.end())
                << "band " << b + 1 << " is a crossover section";
        }
    }
    EXPECT_EQ(std::count_if(sub.notes.begin(), sub.notes.end(),
                            [](const ImportNote& n) { return n.action == ImportAction::Dropped; }),
              2);
}

TEST_F(FilterImportTest, DegenerateValuesAreDroppedOrLimitedNeverWritten) {
    struct Case {
        const char* line;
        ImportAction action;
        const char* text;
    };
    const Case cases[] = {
        {"Filter: ON PK Fc 100 Hz Gain 1 dB BW Oct 5000", ImportAction::Dropped, "gives no Q"},
        {"Filter: ON PK Fc 100 Hz Gain 1 dB BW Oct 0", ImportAction::Dropped, "no Q or bandwidth"},
        {"Filter: ON PK Fc 100 Hz Gain 1 dB BW Oct 0.0000001", ImportAction::Clamped, "Q "},
        {"Filter: ON PK Fc 100 Hz Gain 1 dB Q 0", ImportAction::Dropped, "not a valid Q"},
        {"Filter: ON PK Fc 100 Hz Gain 1 dB Q -2", ImportAction::Dropped, "not a valid Q"},
        {"Filter: ON PK Fc 99999999 Hz Gain 99999 dB Q 1", ImportAction::Clamped, "gain"},
        {"Filter: ON PK Gain 1 dB Q 1", ImportAction::Dropped, "no frequency"},
        {"Filter: ON LS Fc 100 Hz Q 1", ImportAction::Dropped, "no gain"},
        {"Filter: ON HP 24dB Fc 100 Hz", ImportAction::Dropped, "12 dB/octave"},
    };
    for (const auto& c : cases) {
        const auto parsed = ParseFilterText(c.line);
        ASSERT_TRUE(parsed.ok()) << c.line;
        const ImportPlan plan = PlanImport(*parsed.file, ImportTargetFromImage(image, 6), true);
        const bool found = std::any_of(plan.notes.begin(), plan.notes.end(), [&](const auto& n) {
            return n.action == c.action && n.text.find(c.text) != std::string::npos;
        });
        EXPECT_TRUE(found) << c.line << "\n" << FormatImportNotes(plan.notes);
        EXPECT_EQ(plan.imported, c.action == ImportAction::Dropped ? 0 : 1) << c.line;
        for (int b : plan.ChangedBands()) {
            const EqBand& band = plan.after[static_cast<std::size_t>(b)];
            EXPECT_TRUE(band.q >= 0.1 && band.q <= 30 && band.freqHz <= 20000 &&
                        band.gainDb <= 15)
                << c.line;
        }
    }
}

TEST_F(FilterImportTest, UnusedBandsAreFlatUnlessKept) {
    const EqKindBands music = *EqKind(6);
    image.WriteBand(music.group, 5, 6.0, 2000, 3.0, kFilterHighShelf);
    const auto one = ParseFilterText("Filter 1: ON PK Fc 100 Hz Gain -1 dB Q 1\n");
    ASSERT_TRUE(one.ok());
    const ImportPlan flat = PlanImport(*one.file, ImportTargetFromImage(image, 6), false);
    EXPECT_EQ(flat.after[5].type, kFilterPeq);
    EXPECT_EQ(flat.after[5].gainDb, 0.0);
    EXPECT_EQ(flat.after[5].freqHz, 2000.0); // frequency and Q stay where they were
    const ImportPlan kept = PlanImport(*one.file, ImportTargetFromImage(image, 6), true);
    EXPECT_EQ(kept.after[5].type, kFilterHighShelf);
    EXPECT_EQ(kept.after[5].gainDb, 6.0);
    EXPECT_EQ(kept.ChangedBands(), std::vector<int>{0});
}

TEST_F(FilterImportTest, StoringAPlanChangesOnlyItsBandsAndGain) {
    const auto parsed = ReadFilterFile((kFilters / "apo-channels.txt").string());
    ASSERT_TRUE(parsed.ok());
    std::vector<std::array<std::uint8_t, kBandRecordSize>> before;
    for (int r = 0; r < kBandRecords; ++r) {
        before.push_back(image.RecordBytes(r));
    }
    const ImportPlan plan = PlanImport(*parsed.file, ImportTargetFromImage(image, 9), true);
    StorePlan(image, plan);
    EXPECT_EQ(image.Int(fields::outGain, 2), 40); // -8 dB
    for (int r = 0; r < kBandRecords; ++r) {
        const bool inPlan = r >= ParamImage::BandRecordIndex(7, 0) &&
                            r < ParamImage::BandRecordIndex(7, 0) + 2;
        EXPECT_EQ(image.RecordBytes(r) != before[std::size_t(r)], inPlan) << "record " << r;
    }
}

} // namespace
} // namespace kv
