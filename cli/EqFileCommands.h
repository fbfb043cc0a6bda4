#pragma once

#include "CliSupport.h"

#include <span>

namespace kv::cli {

/// `eq import|export`: room-correction filter files onto and out of the equalisers, on the
/// processor or on a mode file.
std::span<const Command> EqFileCommands();

} // namespace kv::cli
