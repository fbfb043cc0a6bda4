#pragma once

#include <QString>

namespace kv {

/// The processor's four HDMI inputs.
inline constexpr int kHdmiInputs = 4;

/// The name of HDMI input 0..3 as the music source window labels it: "HDMI1".."HDMI4" from
/// the language table, or "Android", "HDMI1".."HDMI3" with a processor of model "RS483", whose
/// first input is its built-in Android box.
QString HdmiInputName(int input);

} // namespace kv
