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
    /// A typed value is kept as typed (within the range) instead of going onto the step grid:
    /// the step is that of the arrows and the slider only.
    bool typedFree = false;

    /// True when v lies within min..max and on the step grid.
    bool Contains(double v) const;
    /// A value as a page takes it from a slider or arrow: limited to min..max and put on the
    /// nearest step.
    double Limit(double v) const;
    /// A value as a page takes it typed into a box (and kvctl from its command line): limited
    /// to min..max, and put on the nearest step unless typedFree.
    double Typed(double v) const;
    /// "min..max unit" (with ", step S" when the step is not 1), e.g. "1.5..100 ms, step 0.1".
    std::string Describe() const;
};

struct FieldLimits {
    MainField field;
    /// One range for every entry, or one range per entry (`field.count` of them).
    std::span<const FieldRange> ranges;
    /// For a selector: the name of each value from the range's min on, as the pages' English
    /// texts call them (roles, sources); empty for other fields.
    std::span<const std::string_view> choices = {};

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
