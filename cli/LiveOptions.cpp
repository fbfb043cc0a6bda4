#include "LiveOptions.h"

#include <algorithm>
#include <array>
#include <string_view>

namespace kv::cli {

namespace {

struct GlobalOption {
    std::string_view name;
    bool takesValue;
};

constexpr std::array kGlobalOptions = {
    GlobalOption{"--sim", false},      GlobalOption{"--sim-state", true},
    GlobalOption{"--sim-model", true}, GlobalOption{"--sim-comm-version", true},
    GlobalOption{"--trace", true},     GlobalOption{"--device", true},
    GlobalOption{"--sim-fault", true},
};

constexpr std::array<std::string_view, 5> kSimFaults = {
    "drop-every", "latency-us", "disconnect-after", "stop-reading-after", "report-after"};

/// KIND=N of --sim-fault.
std::optional<std::pair<std::string, long>> ParseSimFault(const std::string& text) {
    const auto equals = text.find('=');
    if (equals == std::string::npos || !IsSimFault(text.substr(0, equals))) {
        return std::nullopt;
    }
    const auto n = ParseInt(text.substr(equals + 1));
    if (!n || *n < 0 || *n > 1'000'000'000) {
        return std::nullopt;
    }
    return std::pair(text.substr(0, equals), *n);
}

LiveOptions g_options;

} // namespace

bool IsSimFault(std::string_view kind) {
    return std::find(kSimFaults.begin(), kSimFaults.end(), kind) != kSimFaults.end();
}

bool IsGlobalOption(std::string_view name, bool& takesValue) {
    for (const GlobalOption& o : kGlobalOptions) {
        if (o.name == name) {
            takesValue = o.takesValue;
            return true;
        }
    }
    return false;
}

std::optional<int> SetGlobalOptions(const std::vector<OptionArg>& options, Io& io) {
    g_options = LiveOptions{};
    for (const auto& [option, value] : options) {
        if (option == "--sim") {
            g_options.sim = true;
        } else if (option == "--sim-state") {
            g_options.simState = value;
        } else if (option == "--sim-model") {
            g_options.simModel = value;
        } else if (option == "--trace") {
            g_options.tracePath = value;
        } else if (option == "--device") {
            g_options.device = value;
        } else if (option == "--sim-fault") {
            const auto fault = ParseSimFault(value);
            if (!fault) {
                return BadInput(io, "--sim-fault needs KIND=N, KIND one of drop-every, "
                                    "latency-us, disconnect-after, stop-reading-after, "
                                    "report-after");
            }
            g_options.simFaults.push_back(*fault);
        } else if (option == "--sim-comm-version") {
            const auto n = ParseInt(value);
            if (!n || *n < 0 || *n > 255) {
                return BadInput(io, "--sim-comm-version needs a number 0..255");
            }
            g_options.simCommVersion = static_cast<int>(*n);
        }
    }
    const bool simOnly = !g_options.simState.empty() || !g_options.simModel.empty() ||
                         g_options.simCommVersion || !g_options.tracePath.empty() ||
                         !g_options.simFaults.empty();
    if (simOnly && !g_options.sim) {
        return BadInput(io, "--sim-state, --sim-model, --sim-comm-version, --sim-fault and "
                            "--trace need --sim");
    }
    if (g_options.sim && !g_options.device.empty()) {
        return BadInput(io, "--device and --sim exclude each other");
    }
    return std::nullopt;
}

std::string_view GlobalOptionsUsage() {
    return "global options (before or after the command; the live commands use them):\n"
           "  --device PATH             the processor to use when several are connected\n"
           "                            (kvctl list shows their paths)\n"
           "  --sim                     an in-process simulated processor\n"
           "  --sim-state FILE.amod     its state, from a mode file\n"
           "  --sim-model TEXT          the model it reports\n"
           "  --sim-comm-version N      the communication version it reports\n"
           "  --trace FILE              its trace of every report\n"
           "  --sim-fault KIND=N        a faulty simulator (repeatable): drop-every N (no\n"
           "                            answer to every N-th command), latency-us N,\n"
           "                            disconnect-after N, stop-reading-after N (commands),\n"
           "                            report-after N (asks for a read-all after N commands)\n"
           "  -h, --help                this text, or the command's own with a command\n"
           "  --version                 the version of kvctl\n"
           "Without --sim: the processor on USB, or a kvsim on the virtual bus.\n"
           "\n"
           "exit codes:\n"
           "  0  success\n"
           "  2  bad arguments or files (nothing was sent)\n"
           "  3  the processor was refused (model or communication version)\n"
           "  4  no processor found, or the processor was lost or did not answer\n";
}

const LiveOptions& CurrentLiveOptions() {
    return g_options;
}

} // namespace kv::cli
