#pragma once

#include "CliSupport.h"

#include <span>

namespace kv::cli {

/// kvctl zwave list|set|add|remove|reset: the Z-Wave devices of the processor's hub.
std::span<const Command> ZwaveCommands();

} // namespace kv::cli
