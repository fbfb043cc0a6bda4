#include "image/TypedValue.h"
#include "image/FieldLimits.h"

#include <gtest/gtest.h>

#include <cmath>

namespace kv {
namespace {

TEST(TypedValue, ReadsTheUnitsPeopleWrite) {
    struct Case {
        const char* text;
        const char* unit;
        TypedStatus status;
        double value;
    };
    const Case cases[] = {
        {"2k", "Hz", TypedStatus::Number, 2000},
        {"2 kHz", "Hz", TypedStatus::Number, 2000},
        {"2.5KHZ", "Hz", TypedStatus::Number, 2500},
        {"2000Hz", "Hz", TypedStatus::Number, 2000},
        {" 30000 ", "Hz", TypedStatus::Number, 30000},
        {"1e3", "Hz", TypedStatus::Number, 1000},
        {"+3dB", "dB", TypedStatus::Number, 3},
        {"-4.5 db", "dB", TypedStatus::Number, -4.5},
        {"- 2", "dB", TypedStatus::Number, -2},
        {".5", "dB", TypedStatus::Number, 0.5},
        {"5ms", "ms", TypedStatus::Number, 5},
        {"0.5 s", "ms", TypedStatus::Number, 500},
        {"12.34", "ms", TypedStatus::Number, 12.34},
        {"85%", "%", TypedStatus::Number, 85},
        {"4:1", ":1", TypedStatus::Number, 4},
        {"-1.5m", "m", TypedStatus::Number, -1.5},
        {"1.41", "", TypedStatus::Number, 1.41},
        {"", "Hz", TypedStatus::Empty, 0},
        {"   ", "dB", TypedStatus::Empty, 0},
        // A unit of another kind, a prefix where it means nothing, and no digits at all.
        {"3dB", "Hz", TypedStatus::NotNumber, 0},
        {"2k", "dB", TypedStatus::NotNumber, 0},
        {"2k", "", TypedStatus::NotNumber, 0},
        {"5s", "Hz", TypedStatus::NotNumber, 0},
        {"kHz", "Hz", TypedStatus::NotNumber, 0},
        {"-", "dB", TypedStatus::NotNumber, 0},
        {"1.2.3", "", TypedStatus::NotNumber, 0},
        {"1,000", "Hz", TypedStatus::NotNumber, 0},
        {"12abc", "ms", TypedStatus::NotNumber, 0},
        {"1e999", "", TypedStatus::NotNumber, 0},
        {"1e400k", "Hz", TypedStatus::NotNumber, 0},
    };
    for (const Case& c : cases) {
        const TypedValue got = ReadTypedValue(c.text, c.unit);
        EXPECT_EQ(got.status, c.status) << "'" << c.text << "' in " << c.unit;
        if (c.status == TypedStatus::Number) {
            EXPECT_DOUBLE_EQ(got.value, c.value) << "'" << c.text << "' in " << c.unit;
        }
    }
}

TEST(TypedValue, RangesLimitSlidersToTheirStepsAndTypedValuesAsThePagesDo) {
    struct Case {
        const char* field;
        double value;
        double limited; // as a slider or arrow takes it
        double typed;   // as a box takes it
    };
    const Case cases[] = {
        {"micVolume", 150, 100, 100},
        {"micVolume", -3, 0, 0},
        {"micVolume", 50.4, 50, 50},
        {"outCompRatio", 2.34, 2.3, 2.3},
        // The delay's 0.1 ms step holds for the arrows and the slider, not for typed values.
        {"outDelay", 12.34, 12.3, 12.34},
        {"outDelay", 1.0, 1.5, 1.5},
        {"outDelay", 250, 100, 100},
    };
    for (const Case& c : cases) {
        const FieldLimits* limits = FindFieldLimits(c.field);
        ASSERT_NE(limits, nullptr) << c.field;
        const FieldRange& r = limits->Range(0);
        EXPECT_NEAR(r.Limit(c.value), c.limited, 1e-9) << c.field << " " << c.value;
        EXPECT_NEAR(r.Typed(c.value), c.typed, 1e-9) << c.field << " " << c.value;
    }
}

} // namespace
} // namespace kv
