#pragma once

#include "CliSupport.h"

#include <iosfwd>
#include <vector>

namespace kv::cli {

/// Every command group, in the order the usage lists them.
std::vector<Command> AllCommands();

/// The usage of every command with its help text: the reference the manual page shows.
void PrintFullReference(std::ostream& os);

/// Runs `kvctl <args...>`: finds the command, runs it and returns its exit code.
int Dispatch(Args args, Io& io);

} // namespace kv::cli
