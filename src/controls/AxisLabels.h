#pragma once

#include <optional>
#include <span>
#include <vector>

/// Placing the labels of a plot axis so that none is cut off and none overlaps another.
namespace kv {

/// A label along an axis: the coordinate of its mark and its length along the axis.
struct AxisLabel {
    int mark;
    int length;
};

/// The start coordinate of each label, centred on its mark but kept inside [low, high]; a
/// label that would come closer than gap to one already placed is left out (nullopt). The
/// two end labels are placed first, so the ends of the axis always keep theirs.
std::vector<std::optional<int>> PlaceAxisLabels(std::span<const AxisLabel> labels, int low,
                                                int high, int gap);

} // namespace kv
