#pragma once

#include "image/MainFields.h"

#include <span>
#include <string>
#include <string_view>

/// The value range, step and unit of every main-block field: what the pages' sliders and
/// edits allow and what `kvctl set` accepts. Values are in the unit the pages show, which is
/// the slot's own number for integer fields (percent, Hz, ms, switch, selector) and the
/// single for float fields; the x100 flags (microphone routing) count as 0 or 1.
namespace kv {

struct FieldRange {
    double min;
    double max;
    double step;           ///< smallest change; values lie on min + k * step
    std::string_view unit; ///< "%", "dB", "Hz", "ms", ":1", or empty for switches and selectors

    /// True when v lies within min..max and on the step grid.
    bool Contains(double v) const;
    /// "min..max unit" (with ", step S" when the step is not 1), e.g. "1.5..100 ms, step 0.1".
    std::string Describe() const;
};

struct FieldLimits {
    MainField field;
    /// One range for every entry, or one range per entry (`field.count` of them).
    std::span<const FieldRange> ranges;

    int EntryCount() const { return field.count; }
    /// The range of one entry (0..EntryCount()-1).
    const FieldRange& Range(int entry) const;
};

/// Every field of AllMainFields(), in the same order.
std::span<const FieldLimits> AllFieldLimits();
/// The limits of that field, or nullptr.
const FieldLimits* FindFieldLimits(std::string_view name);
const FieldLimits* FindFieldLimits(const MainField& field);

} // namespace kv
