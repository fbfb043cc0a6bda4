#pragma once

#include "CliSupport.h"

#include <span>

namespace kv::cli {

/// `biquad TYPE GAIN_DB FREQ_HZ Q [LEVEL_DB]`: the section's a1 a2 b0 b1 b2 at 48 kHz.
std::span<const Command> BiquadCommands();

} // namespace kv::cli
