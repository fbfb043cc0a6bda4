#pragma once

#include "CliSupport.h"
#include "FieldValues.h"

#include "image/MainFields.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace kv::cli {

class LiveSession;

/// Connects (with the read-all and the identity check) to the processor the global options
/// name, runs body, checks that the processor is still there and says goodbye.
int RunLive(Io& io, const std::function<int(LiveSession&)>& body);

/// "1".."4" or "M1".."M4" to the mode index 0..3.
std::optional<int> ParseMode(const std::string& text);
/// "M1".."M4" for the mode index 0..3, "--" for anything else.
std::string ModeLabel(int mode);

} // namespace kv::cli
