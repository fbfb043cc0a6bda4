#pragma once

#include <string>
#include <string_view>

namespace kv::sim {

class Simulator;

/// Usage of the zwave console command, one line per form.
extern const char* const kZWaveControlHelp;

/// One "zwave ..." console line of kvsim (the words after "zwave"): presses a button, puts
/// a new device beside the controller, lets devices join, fall silent, report, and so on.
/// reply says what happened; false when the line was not understood or could not be done.
bool ZWaveControl(Simulator& sim, std::string_view words, std::string& reply);

} // namespace kv::sim
