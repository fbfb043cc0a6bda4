#pragma once

#include "CliSupport.h"

#include <span>

namespace kv::cli {

/// The commands that talk to a processor: list, info, dump, load, save, set, eq, mode. They
/// use the global options taken by TakeGlobalOptions.
std::span<const Command> LiveCommands();

} // namespace kv::cli
