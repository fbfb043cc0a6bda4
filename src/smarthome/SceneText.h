#pragma once

#include <QString>

namespace kv {

/// The text of a scene step's value as the scene list shows it: a delay in seconds, off and
/// on, the name of a key the plug sends (from its key file), a dimmer level in percent, else
/// the number.
QString StepText(int target, int value, bool chinese);

} // namespace kv
