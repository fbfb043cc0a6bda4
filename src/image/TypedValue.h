#pragma once

#include <string_view>

/// Values as people type them in the pages' boxes and on kvctl's command line: a number with
/// the unit the box shows, or a common way of writing it ("2k", "2 kHz", "2000Hz", "+3dB",
/// "5ms", "0.5 s", "85%", "4:1").
namespace kv {

enum class TypedStatus {
    Empty,     ///< nothing but spaces
    Number,    ///< a number, in the unit asked for
    NotNumber, ///< text that is no number in that unit
};

struct TypedValue {
    TypedStatus status = TypedStatus::NotNumber;
    double value = 0; ///< with Number: the value in the unit asked for

    bool ok() const { return status == TypedStatus::Number; }
};

/// Reads text typed for a value shown in `unit` ("Hz", "dB", "ms", "%", ":1", "m", or empty
/// for plain numbers). Spaces and letter case are free; the unit may be left out; "k" and
/// "kHz" multiply by 1000 where the unit is Hz, "s" by 1000 where it is ms. Any other unit makes it
/// NotNumber (a "dB" in a frequency box is a slip, not a frequency).
TypedValue ReadTypedValue(std::string_view text, std::string_view unit);

} // namespace kv
