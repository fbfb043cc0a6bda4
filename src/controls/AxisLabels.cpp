#include "controls/AxisLabels.h"

#include <algorithm>

namespace kv {

std::vector<std::optional<int>> PlaceAxisLabels(std::span<const AxisLabel> labels, int low,
                                                int high, int gap) {
    std::vector<std::optional<int>> starts(labels.size());
    struct Span {
        int start;
        int end;
    };
    std::vector<Span> placed;
    auto place = [&](std::size_t i) {
        const AxisLabel& l = labels[i];
        const int start = std::clamp(l.mark - l.length / 2, low, std::max(low, high - l.length));
        const Span s{start, start + l.length};
        for (const Span& other : placed) {
            if (s.start < other.end + gap && other.start < s.end + gap) {
                return;
            }
        }
        placed.push_back(s);
        starts[i] = start;
    };
    if (labels.empty()) {
        return starts;
    }
    place(0);
    if (labels.size() > 1) {
        place(labels.size() - 1);
    }
    for (std::size_t i = 1; i + 1 < labels.size(); ++i) {
        place(i);
    }
    return starts;
}

} // namespace kv
