#pragma once

#include "CliSupport.h"

#include <span>

namespace kv::cli {

/// The commands that read: list, info, dump, fields, get, watch.
std::span<const Command> QueryCommands();

} // namespace kv::cli
