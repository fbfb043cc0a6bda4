#pragma once

#include "CliSupport.h"

#include <span>

namespace kv::cli {

/// `amod show|new|convert`: offline mode-file commands.
std::span<const Command> AmodCommands();

} // namespace kv::cli
