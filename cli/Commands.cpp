#include "Commands.h"

#include "AmodCommands.h"
#include "BiquadCommand.h"
#include "LiveCommands.h"
#include "LiveOptions.h"

#include <ostream>

namespace kv::cli {

namespace {

void PrintUsage(std::ostream& os, const std::vector<Command>& commands) {
    os << "usage: kvctl COMMAND [ARGS]\n\ncommands:\n";
    for (const auto& c : commands) {
        os << "  " << c.usage << "\n";
    }
    os << GlobalOptionsUsage();
}

} // namespace

std::vector<Command> AllCommands() {
    std::vector<Command> all;
    for (auto group : {AmodCommands(), BiquadCommands(), LiveCommands()}) {
        all.insert(all.end(), group.begin(), group.end());
    }
    return all;
}

int Dispatch(Args args, Io& io) {
    if (const auto bad = TakeGlobalOptions(args, io)) {
        return *bad;
    }
    const auto commands = AllCommands();
    if (args.empty() || args[0] == "-h" || args[0] == "--help" || args[0] == "help") {
        PrintUsage(args.empty() ? io.err : io.out, commands);
        return args.empty() ? kExitBadInput : kExitOk;
    }
    for (const auto& c : commands) {
        const bool grouped = !c.group.empty();
        const std::size_t skip = grouped ? 2 : 1;
        if (args.size() >= skip &&
            (grouped ? args[0] == c.group && args[1] == c.name : args[0] == c.name)) {
            return c.run(args.subspan(skip), io);
        }
    }
    io.err << "kvctl: unknown command '" << args[0] << "'\n";
    PrintUsage(io.err, commands);
    return kExitBadInput;
}

} // namespace kv::cli
