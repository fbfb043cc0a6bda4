#include "LiveOptions.h"

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
};

LiveOptions g_options;

} // namespace

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
        } else if (option == "--sim-comm-version") {
            const auto n = ParseInt(value);
            if (!n || *n < 0 || *n > 255) {
                return BadInput(io, "--sim-comm-version needs a number 0..255");
            }
            g_options.simCommVersion = static_cast<int>(*n);
        }
    }
    const bool simOnly = !g_options.simState.empty() || !g_options.simModel.empty() ||
                         g_options.simCommVersion || !g_options.tracePath.empty();
    if (simOnly && !g_options.sim) {
        return BadInput(io, "--sim-state, --sim-model, --sim-comm-version and --trace need --sim");
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
