#include "controls/AxisLabels.h"

#include <gtest/gtest.h>

namespace kv {
namespace {

using Starts = std::vector<std::optional<int>>;

TEST(AxisLabelsTest, LabelsStayInsideAndNeverOverlap) {
    struct Case {
        const char* what;
        std::vector<AxisLabel> labels;
        int low;
        int high;
        Starts expected;
    };
    const Case cases[] = {
        {"room for all", {{10, 10}, {50, 10}, {90, 10}}, 0, 100, {5, 45, 85}},
        {"ends pulled inside", {{0, 20}, {100, 30}}, 0, 100, {0, 70}},
        {"crowded middle dropped, ends kept",
         {{10, 20}, {22, 20}, {38, 20}, {60, 20}},
         0,
         70,
         {0, std::nullopt, 28, 50}},
        {"last label wins over a neighbour",
         {{0, 10}, {88, 10}, {95, 12}},
         0,
         100,
         {0, std::nullopt, 88}},
        {"a single label", {{50, 10}}, 0, 100, {45}},
        {"longer than the axis", {{5, 40}}, 0, 20, {0}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(PlaceAxisLabels(c.labels, c.low, c.high, 2), c.expected) << c.what;
    }
}

} // namespace
} // namespace kv
