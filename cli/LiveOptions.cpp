#include "LiveOptions.h"

#include <string_view>

namespace kv::cli {

namespace {

LiveOptions g_options;

} // namespace

std::optional<int> TakeGlobalOptions(Args& args, Io& io) {
    g_options = LiveOptions{};
    while (!args.empty() && args[0].starts_with("--")) {
        const std::string_view option = args[0];
        if (option == "--sim") {
            g_options.sim = true;
            args = args.subspan(1);
            continue;
        }
        if (option != "--sim-state" && option != "--sim-model" && option != "--sim-comm-version" &&
            option != "--trace") {
            break; // not a global option: the command decides (for example --help)
        }
        if (args.size() < 2) {
            return BadInput(io, std::string(option) + " needs a value");
        }
        const std::string& value = args[1];
        if (option == "--sim-state") {
            g_options.simState = value;
        } else if (option == "--sim-model") {
            g_options.simModel = value;
        } else if (option == "--trace") {
            g_options.tracePath = value;
        } else {
            const auto n = ParseInt(value);
            if (!n || *n < 0 || *n > 255) {
                return BadInput(io, "--sim-comm-version needs a number 0..255");
            }
            g_options.simCommVersion = static_cast<int>(*n);
        }
        args = args.subspan(2);
    }
    const bool simOnly = !g_options.simState.empty() || !g_options.simModel.empty() ||
                         g_options.simCommVersion || !g_options.tracePath.empty();
    if (simOnly && !g_options.sim) {
        return BadInput(io, "--sim-state, --sim-model, --sim-comm-version and --trace need --sim");
    }
    return std::nullopt;
}

std::string_view GlobalOptionsUsage() {
    return "\nglobal options (before the command; the live commands use them):\n"
           "  --sim                     an in-process simulated processor\n"
           "  --sim-state FILE.amod     its state, from a mode file\n"
           "  --sim-model TEXT          the model it reports\n"
           "  --sim-comm-version N      the communication version it reports\n"
           "  --trace FILE              its trace of every report\n"
           "Without --sim: the processor on USB or a kvsim on the virtual bus.\n"
           "Exit codes: 0 success, 2 bad arguments or files, 3 processor refused, "
           "4 no processor found or lost.\n";
}

const LiveOptions& CurrentLiveOptions() {
    return g_options;
}

} // namespace kv::cli
