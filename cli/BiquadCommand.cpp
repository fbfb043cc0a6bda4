#include "BiquadCommand.h"

#include "protocol/BiquadDesigner.h"

#include <array>
#include <cstdio>
#include <ostream>

namespace kv::cli {

namespace {

int Biquad(Args args, Io& io) {
    if (args.size() < 4 || args.size() > 5) {
        return BadInput(io, "usage: kvctl biquad TYPE GAIN_DB FREQ_HZ Q [LEVEL_DB]");
    }
    const auto type = ParseInt(args[0]);
    const auto gain = ParseNumber(args[1]);
    const auto freq = ParseNumber(args[2]);
    const auto q = ParseNumber(args[3]);
    const auto level = args.size() == 5 ? ParseNumber(args[4]) : std::optional<double>(0.0);
    if (!type || !gain || !freq || !q || !level) {
        return BadInput(io, "biquad: TYPE must be an integer and the other arguments numbers");
    }
    if (*type < -1000000 || *type > 1000000) {
        return BadInput(io, "biquad: TYPE out of range");
    }
    const kv::Biquad c = DesignBiquad(static_cast<int>(*type), *gain, *freq, *q, *level);
    for (double v : {c.a1, c.a2, c.b0, c.b1, c.b2}) {
        char buffer[40];
        std::snprintf(buffer, sizeof buffer, "%.17g", v);
        io.out << buffer << "\n";
    }
    return kExitOk;
}

constexpr std::array kCommands = {
    Command{"", "biquad",
            "biquad TYPE GAIN_DB FREQ_HZ Q [LEVEL_DB]  print a1 a2 b0 b1 b2 at 48000 Hz", Biquad,
            "Designs one filter section as the equaliser sends it, without a processor.\n"
            "TYPE: 1 peaking (PEQ), 2 low-pass (LP), 3 high-pass (HP), 4 low shelf (LS),\n"
            "5 high shelf (HS), 6..21 crossover sections; LEVEL_DB scales the section.\n"
            "Prints one coefficient per line.\n"},
};

} // namespace

std::span<const Command> BiquadCommands() {
    return kCommands;
}

} // namespace kv::cli
