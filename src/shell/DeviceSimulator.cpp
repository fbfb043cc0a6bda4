#include "shell/DeviceSimulator.h"

#include "link/platform/HidBackend.h"
#include "shell/DeviceAdapter.h"
#include "sim/InProcessBus.h"

#include <QDebug>

#include <memory>
#include <stdexcept>

namespace kv::device {

namespace {

struct RunningSim {
    std::unique_ptr<sim::Simulator> simulator;
    std::shared_ptr<sim::InProcessBus> bus;
    std::string path;
};

std::unique_ptr<RunningSim>& Running() {
    static std::unique_ptr<RunningSim> running;
    return running;
}

} // namespace

bool StartSimulator() {
    return StartSimulator(sim::SimOptions{});
}

bool StartSimulator(const sim::SimOptions& options) {
    StopSimulator();
    auto running = std::make_unique<RunningSim>();
    try {
        running->simulator = std::make_unique<sim::Simulator>(options);
    } catch (const std::exception& e) {
        qWarning("simulator: %s", e.what());
        return false;
    }
    running->bus = std::make_shared<sim::InProcessBus>();
    // Only the simulated processor is visible: the bus replaces hidapi and the socket bus.
    hid::SetHidBackends({running->bus});
    running->path = running->bus->Attach(*running->simulator, "kvcontrol");
    Running() = std::move(running);
    return true;
}

void StopSimulator() {
    auto& running = Running();
    if (!running) {
        return;
    }
    running->bus->Detach(running->path);
    hid::SetHidBackends(hid::DefaultHidBackends());
    running.reset();
}

sim::Simulator* RunningSimulator() {
    return Running() ? Running()->simulator.get() : nullptr;
}

sim::InProcessBus* RunningSimulatorBus() {
    return Running() ? Running()->bus.get() : nullptr;
}

std::string SimulatedDevicePath() {
    return Running() ? Running()->path : std::string();
}

} // namespace kv::device
