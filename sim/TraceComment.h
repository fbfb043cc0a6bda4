#pragma once

#include "sim/SimProcessor.h"

#include <string>

namespace kv::sim {

/// A short reading of a report for the trace: the command or report name and, for
/// parameter commands, the module/item and the field it carries; for example
/// "set (1,14) micVolume" or "store read 0x0500 +56".
std::string TraceComment(char direction, const Report& report);

} // namespace kv::sim
