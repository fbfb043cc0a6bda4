#pragma once

#include "sim/Simulator.h"

#include <string>

namespace kv::sim {
class InProcessBus;
}

/// The simulated processor behind "kvcontrol --simulate": a Simulator attached to an
/// in-process bus that replaces the platform's HID backends.
namespace kv::device {

/// Starts the simulator with these options (the plain StartSimulator uses the defaults).
/// False when the options are unusable (a trace file that cannot be written, for example).
bool StartSimulator(const sim::SimOptions& options);
/// The running simulator, its bus and its device path (nullptr / "" when none runs).
sim::Simulator* RunningSimulator();
sim::InProcessBus* RunningSimulatorBus();
std::string SimulatedDevicePath();

} // namespace kv::device
