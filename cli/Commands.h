#pragma once

#include "CliSupport.h"

#include <vector>

namespace kv::cli {

/// Every command group, in the order the usage lists them.
std::vector<Command> AllCommands();

/// Runs `kvctl <args...>`: finds the command, runs it and returns its exit code.
int Dispatch(Args args, Io& io);

} // namespace kv::cli
