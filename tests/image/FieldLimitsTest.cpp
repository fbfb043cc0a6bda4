#include "image/FieldLimits.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace kv {
namespace {

TEST(FieldLimits, CoversEveryFieldOnceInFieldOrder) {
    const auto fieldsList = AllMainFields();
    const auto limits = AllFieldLimits();
    ASSERT_EQ(limits.size(), fieldsList.size());
    for (std::size_t i = 0; i < limits.size(); ++i) {
        const FieldLimits& l = limits[i];
        EXPECT_EQ(l.field.name, fieldsList[i].name);
        EXPECT_EQ(l.field.slot, fieldsList[i].slot) << l.field.name;
        EXPECT_EQ(l.EntryCount(), fieldsList[i].count) << l.field.name;
        EXPECT_TRUE(l.ranges.size() == 1 || static_cast<int>(l.ranges.size()) == l.EntryCount())
            << l.field.name;
        for (const FieldRange& r : l.ranges) {
            EXPECT_LT(r.min, r.max) << l.field.name;
            EXPECT_GT(r.step, 0.0) << l.field.name;
            EXPECT_TRUE(r.Contains(r.min) && r.Contains(r.max)) << l.field.name;
        }
        EXPECT_EQ(FindFieldLimits(l.field.name), &l);
        EXPECT_EQ(FindFieldLimits(fieldsList[i]), &l);
    }
    EXPECT_EQ(FindFieldLimits("noSuchField"), nullptr);
}

TEST(FieldLimits, RangesOfThePages) {
    struct Case {
        const char* field;
        int entry;
        double min, max, step;
        const char* unit;
    };
    const Case cases[] = {
        {"micVolume", 0, 0, 100, 1, "%"},
        {"micShiftFreqB", 0, 1, 8, 1, "Hz"},
        {"echoTime", 1, 2, 260, 1, "ms"},
        {"echoStartVol", 0, 40, 100, 1, "%"},
        {"echoDecay", 1, 20, 90, 1, "%"},
        {"reverbPredelay", 1, 2, 200, 1, "ms"},
        {"outDelay", 0, 1.5, 100, 0.1, "ms"},
        {"outCompRatio", 7, 1, 30, 0.1, ":1"},
        {"outCompRelease", 3, 1, 1000, 1, "ms"},
        {"outGain", 4, 0, 100, 1, "%"},
        {"outGain", 5, 0, 500, 1, "%"},
        {"musicInputLimiter", 0, -60, 0, 1, "dB"},
        {"musicInputLimiter", 1, 1, 30, 0.1, ":1"},
        {"musicInputLimiter", 3, 1, 1000, 1, "ms"},
        {"musicAgcLevel", 0, -18, -6, 0.1, "dB"},
        {"exciterHighFreq", 0, 3200, 18000, 1, "Hz"},
        {"outRole", 2, 0, 7, 1, ""},
        {"micToChannelA", 3, 0, 1, 1, ""},
    };
    for (const Case& c : cases) {
        const FieldLimits* l = FindFieldLimits(c.field);
        ASSERT_NE(l, nullptr) << c.field;
        const FieldRange& r = l->Range(c.entry);
        EXPECT_EQ(r.min, c.min) << c.field << "[" << c.entry << "]";
        EXPECT_EQ(r.max, c.max) << c.field << "[" << c.entry << "]";
        EXPECT_EQ(r.step, c.step) << c.field << "[" << c.entry << "]";
        EXPECT_EQ(r.unit, c.unit) << c.field << "[" << c.entry << "]";
    }
}

TEST(FieldLimits, ContainsChecksRangeAndStep) {
    const FieldRange& volume = FindFieldLimits(fields::micVolume)->Range(0);
    const FieldRange& delay = FindFieldLimits(fields::outDelay)->Range(0);
    const FieldRange& threshold = FindFieldLimits(fields::outCompThreshold)->Range(0);
    struct Case {
        const FieldRange* range;
        double value;
        bool in;
    };
    const Case cases[] = {
        {&volume, 0, true},
        {&volume, 100, true},
        {&volume, 101, false},
        {&volume, -5, false},
        {&volume, 999, false},
        {&volume, 100000, false},
        {&volume, 50.5, false},
        {&delay, 1.5, true},
        {&delay, 1.4, false},
        {&delay, static_cast<float>(1.6), true}, // as the single the image holds
        {&delay, 1.65, false},
        {&delay, 100, true},
        {&delay, 999.9, false},
        {&threshold, -60, true},
        {&threshold, -61, false},
        {&threshold, 0.5, false},
        {&volume, std::nan(""), false},
        {&volume, std::numeric_limits<double>::infinity(), false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.range->Contains(c.value), c.in) << c.value << " in " << c.range->Describe();
    }
}

TEST(FieldLimits, DescribesRangeUnitAndStep) {
    EXPECT_EQ(FindFieldLimits("micVolume")->Range(0).Describe(), "0..100 %");
    EXPECT_EQ(FindFieldLimits("outDelay")->Range(0).Describe(), "1.5..100 ms, step 0.1");
    EXPECT_EQ(FindFieldLimits("outCompRatio")->Range(0).Describe(), "1..30:1, step 0.1");
    EXPECT_EQ(FindFieldLimits("micMute")->Range(0).Describe(), "0..1");
    EXPECT_EQ(FindFieldLimits("musicAgcLevel")->Range(0).Describe(), "-18..-6 dB, step 0.1");
}

} // namespace
} // namespace kv
