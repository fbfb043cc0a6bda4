#pragma once

#include "CliSupport.h"

#include "image/MainFields.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace kv::cli {

class LiveSession;

/// Connects (with the read-all and the identity check) to the processor the global options
/// name, runs body, checks that the processor is still there and says goodbye.
int RunLive(Io& io, const std::function<int(LiveSession&)>& body);

/// "1".."4" to the mode index 0..3.
std::optional<int> ParseMode(const std::string& text);
/// "M1".."M4" for the mode index 0..3, "--" for anything else.
std::string ModeLabel(int mode);

/// "name" or "name[index]" of a main-block field.
struct FieldRef {
    const MainField* field = nullptr;
    int entry = 0;
};

/// Parses "name" or "name[index]"; prints why and returns nullopt when it names no entry.
std::optional<FieldRef> ParseFieldRef(const std::string& text, Io& io);
/// True when some command carries the field to the processor (kvctl set can change it).
bool IsSent(const MainField& field, int entry);
/// The slot value for a value in the unit the pages show (the field's range table): the
/// number itself for integer fields, the single for float fields, 0/1 as 0/100 for x100
/// flags. Prints why and returns nullopt for text that is not a number or a value outside
/// the field's range or off its step.
std::optional<std::int32_t> SlotValue(const FieldRef& ref, const std::string& text, Io& io);
/// A slot value as kvctl set takes it: the inverse of SlotValue.
double UserValue(const MainField& field, std::int32_t slot);
/// A number as the shortest text that reads back as the same single (for floats) or as a
/// whole number.
std::string NumberText(double value);

} // namespace kv::cli
