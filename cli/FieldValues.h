#pragma once

#include "CliSupport.h"

#include "image/FieldLimits.h"
#include "image/MainFields.h"

#include <nlohmann/json.hpp>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kv {
class ParamImage;
}

/// How kvctl names main-block fields and reads and prints their values: in the units and
/// names the application shows, so that set, get, dump and fields agree with each other.
namespace kv::cli {

/// "name" or "name[index]" of a main-block field.
struct FieldRef {
    const MainField* field = nullptr;
    int entry = 0;
};

/// The field of that name in any letter case, or nullptr.
const MainField* FindFieldAnyCase(std::string_view name);
/// The words VALUE takes for a field besides numbers: a selector's names, on/off, yes/no,
/// true/false for a switch; none for other fields.
std::vector<std::string> ValueWords(const MainField& field);

/// Parses "name" or "name[index]" (any letter case); prints why, with the nearest field name
/// for a slip of the keyboard, and returns nullopt when it names no entry.
std::optional<FieldRef> ParseFieldRef(const std::string& text, Io& io);
/// True when some command carries the field to the processor (kvctl set can change it).
bool IsSent(const MainField& field, int entry);

/// The range of a field entry in the unit kvctl shows and takes: the pages' range, except
/// the reverb time in milliseconds rather than its step 0..100.
FieldRange UserRange(const FieldRef& ref);
/// The names of a selector's values (roles, sources), or none.
std::span<const std::string_view> ChoiceNames(const MainField& field);

/// The slot value for a value as kvctl set takes it: a number in the unit the application
/// shows (with or without that unit: "12.5ms", "2k" for Hz, "-20dB"), a name for selectors,
/// on/off, yes/no, true/false for switches. A number between steps is taken as the
/// application takes a typed one. The old forms stay: plain numbers, 0/1, the reverb time's
/// step 0..100. Prints why and returns nullopt for text that is none of these or a value
/// outside the range.
std::optional<std::int32_t> SlotValue(const FieldRef& ref, const std::string& text, Io& io);

/// A field entry's value as get prints it and set takes it back.
std::string ValueText(const ParamImage& image, const FieldRef& ref);
/// The same value for dump's JSON: a number, or a name for selectors.
nlohmann::ordered_json ValueJson(const ParamImage& image, const FieldRef& ref);

/// A number as the shortest text that reads back as the same single (for floats) or as a
/// whole number.
std::string NumberText(double value);

} // namespace kv::cli
