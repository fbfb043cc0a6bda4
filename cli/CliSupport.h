#pragma once

#include <iosfwd>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace kv {
class ParamImage;
}

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
/// The dispatcher answers -h/--help from usage and help, refuses options the command does
/// not list, and passes the command its own options followed by its other arguments.
struct Command {
    std::string_view group;
    std::string_view name;
    std::string_view usage; ///< "SYNOPSIS   one-line summary" (two or more spaces between)
    int (*run)(Args args, Io& io);
    std::string_view help = {}; ///< further lines for --help (arguments, options, examples)
    std::string_view options =
        {}; ///< the options it takes, e.g. "--json --file=" (= takes a value)
};

/// The command-specific options of the current command line ("--json", "--file" ...).
bool HasOption(std::string_view name);
/// The value given to an option that takes one, or nullopt when it was not given.
std::optional<std::string> OptionValue(std::string_view name);
/// The arguments of a command without its options (and their values).
std::vector<std::string> Positional(Args args);

/// Parses a whole decimal number; nullopt when the text is not one.
std::optional<long> ParseInt(const std::string& text);
/// Parses a finite decimal number; nullopt when the text is not one.
std::optional<double> ParseNumber(const std::string& text);

/// Prints "kvctl: <message>" to err and returns kExitBadInput.
int BadInput(Io& io, std::string_view message);

/// What a command does with a mode file of a known version that ends early.
enum class TruncatedFile {
    Warn,   ///< load what it has and print a warning
    Refuse, ///< refuse it like a bad file (the command's --force loads it)
    /// Refuse it for a conversion: the written file would hide what was missing, since it
    /// holds every field (the command's --force converts it).
    RefuseConversion,
};

/// Reads a mode file for a command. A file that is refused prints "kvctl: PATH: why" and
/// gives false (the image then keeps what it had only when the file was never loaded, so
/// with Refuse pass a scratch image). Success gives the version read.
bool ReadModeFileFor(const std::string& path, ParamImage& image, TruncatedFile truncated, Io& io,
                     int* version = nullptr);

} // namespace kv::cli
