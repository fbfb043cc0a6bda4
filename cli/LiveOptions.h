#pragma once

#include "CliSupport.h"

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace kv::cli {

/// The global options, before or after the command: which processor the live commands
/// talk to.
struct LiveOptions {
    bool sim = false;     ///< an in-process simulator instead of the device or a kvsim
    std::string simState; ///< mode file the simulator starts with
    std::string simModel; ///< model text the simulator reports
    std::optional<int> simCommVersion;
    std::string tracePath; ///< the simulator's trace file
    std::string device;    ///< the path of the processor to use (kvctl list shows them)
    /// Faults of the simulator (--sim-fault KIND=N), by kind: "drop-every",
    /// "latency-us", "disconnect-after", "stop-reading-after", "report-after".
    std::vector<std::pair<std::string, long>> simFaults;
};

/// The fault kinds --sim-fault takes.
bool IsSimFault(std::string_view kind);

/// One option of the command line with its value ("" for a flag).
using OptionArg = std::pair<std::string, std::string>;

/// True when name is a global option; takesValue says whether a value follows it.
bool IsGlobalOption(std::string_view name, bool& takesValue);
/// Takes the global options found on the command line. Returns an exit code when they are
/// wrong, nullopt otherwise; the options stay in effect until the next call.
std::optional<int> SetGlobalOptions(const std::vector<OptionArg>& options, Io& io);
/// The usage lines of the global options and the exit codes.
std::string_view GlobalOptionsUsage();
/// The options of the current command line.
const LiveOptions& CurrentLiveOptions();

} // namespace kv::cli
