#pragma once

#include "CliSupport.h"

#include <span>

namespace kv::cli {

/// kvctl backup and kvctl restore: the whole installation in one file.
std::span<const Command> BackupCommands();

} // namespace kv::cli
