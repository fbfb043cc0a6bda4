#pragma once

#include "CliSupport.h"

#include <optional>
#include <string>
#include <string_view>

namespace kv::cli {

/// The global options in front of a command: which processor the live commands talk to.
struct LiveOptions {
    bool sim = false;     ///< an in-process simulator instead of the device or a kvsim
    std::string simState; ///< mode file the simulator starts with
    std::string simModel; ///< model text the simulator reports
    std::optional<int> simCommVersion;
    std::string tracePath; ///< the simulator's trace file
};

/// Consumes the leading global options (--sim, --sim-state FILE, --sim-model TEXT,
/// --sim-comm-version N, --trace FILE) from args. Returns an exit code when they are wrong,
/// nullopt otherwise; the options stay in effect until the next call.
std::optional<int> TakeGlobalOptions(Args& args, Io& io);
/// The usage lines of the global options.
std::string_view GlobalOptionsUsage();
/// The options of the current command line.
const LiveOptions& CurrentLiveOptions();

} // namespace kv::cli
