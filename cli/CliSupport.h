#pragma once

#include <iosfwd>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace kv::cli {

/// Exit codes of kvctl.
enum ExitCode : int {
    kExitOk = 0,
    kExitFailure = 1,     ///< unexpected failure
    kExitBadInput = 2,    ///< bad arguments or files
    kExitRefused = 3,     ///< the processor was refused (identity)
    kExitNoProcessor = 4, ///< no processor found, or lost
};

/// Where a command writes: results to out, diagnostics to err.
struct Io {
    std::ostream& out;
    std::ostream& err;
};

using Args = std::span<const std::string>;

/// One subcommand: `kvctl <group> <name> ...` or `kvctl <name> ...` when group is empty.
struct Command {
    std::string_view group;
    std::string_view name;
    std::string_view usage;
    int (*run)(Args args, Io& io);
};

/// Parses a whole decimal number; nullopt when the text is not one.
std::optional<long> ParseInt(const std::string& text);
/// Parses a finite decimal number; nullopt when the text is not one.
std::optional<double> ParseNumber(const std::string& text);

/// Prints "kvctl: <message>" to err and returns kExitBadInput.
int BadInput(Io& io, std::string_view message);

} // namespace kv::cli
