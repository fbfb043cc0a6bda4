// Read-all and write-all against the in-process simulator, with and without answer latency.
// Reported per run: the commands sent, the wall time, the least possible time (each command
// waits for one answer, plus the pauses the procedures ask for) and the ratio of the two.
// Also the allocations the device's command queue makes per queued command, counted by
// this program's operator new.
#include "image/ParamImage.h"
#include "link/ConnectionState.h"
#include "link/Link.h"
#include "link/LinkReceiver.h"
#include "link/platform/HidBackend.h"
#include "protocol/CommandQueue.h"
#include "protocol/CommandSink.h"
#include "protocol/Dispatcher.h"
#include "protocol/Synchronize.h"
#include "sim/InProcessBus.h"
#include "sim/Simulator.h"
#include "support/NullSink.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <memory>

/// Allocations made by operator new so far (CountingNew.cpp).
long AllocationsSoFar();

namespace {

using Clock = std::chrono::steady_clock;

class NullReceiver final : public kv::ILinkReceiver {
public:
    void PostNotice(const kv::LinkNotice&) override {}
    void ShowErrorBox(const std::string&, const std::string&) override {}
};

/// Passes everything on to the link and adds up the pauses asked for.
class PauseCountingSink final : public kv::ICommandSink {
public:
    explicit PauseCountingSink(kv::ICommandSink& link) : m_link(link) {}
    int Write(const kv::Command& command) override { return m_link.Write(command); }
    int WriteStore(int address, std::span<const std::uint8_t> data) override {
        return m_link.WriteStore(address, data);
    }
    void Pause(std::chrono::milliseconds duration) override {
        m_paused += duration;
        m_link.Pause(duration);
    }
    std::chrono::milliseconds Paused() const { return m_paused; }

private:
    kv::ICommandSink& m_link;
    std::chrono::milliseconds m_paused{0};
};

/// The link connected to a simulator answering after latency.
class Connection {
public:
    explicit Connection(std::chrono::microseconds latency) {
        kv::sim::SimOptions options;
        options.latency = latency;
        m_sim = std::make_unique<kv::sim::Simulator>(options);
        m_bus = std::make_shared<kv::sim::InProcessBus>();
        m_previous = kv::hid::HidBackends();
        kv::hid::SetHidBackends({m_bus});
        m_path = m_bus->Attach(*m_sim, "bench");
        kv::InstallReportDispatcher();
        m_ok = kv::ConnectUsbDevice(&m_receiver);
    }
    ~Connection() {
        kv::CloseUsbDevice();
        m_bus->Detach(m_path);
        kv::hid::SetHidBackends(m_previous);
    }
    bool Ok() const { return m_ok; }
    int Commands() const { return m_sim->CommandsHandled(); }

private:
    NullReceiver m_receiver;
    std::unique_ptr<kv::sim::Simulator> m_sim;
    std::shared_ptr<kv::sim::InProcessBus> m_bus;
    kv::hid::HidBackendList m_previous;
    std::string m_path;
    bool m_ok = false;
};

template <typename Procedure>
void RunSync(benchmark::State& state, Procedure procedure) {
    const std::chrono::microseconds latency(state.range(0));
    Connection connection(latency);
    if (!connection.Ok()) {
        state.SkipWithError("no simulated processor");
        return;
    }
    kv::GetParamImage().InitDefaults();
    if (kv::SynchronizeReadAll() != kv::ReadAllResult::Done) {
        state.SkipWithError("read-all failed");
        return;
    }
    PauseCountingSink sink(kv::CommandSink());
    kv::ScopedCommandSink scope(sink);
    int commands = 0;
    Clock::duration wall{};
    for (auto _ : state) {
        const int before = connection.Commands();
        const auto start = Clock::now();
        procedure();
        wall += Clock::now() - start;
        commands += connection.Commands() - before;
    }
    const double runs = static_cast<double>(state.iterations());
    const double least =
        std::chrono::duration<double>(latency * commands + sink.Paused()).count() / runs;
    const double seconds = std::chrono::duration<double>(wall).count() / runs;
    state.counters["commands"] = commands / runs;
    state.counters["wall_ms"] = seconds * 1e3;
    state.counters["least_ms"] = least * 1e3;
    state.counters["ratio"] = seconds / least;
}

void BM_ReadAll(benchmark::State& state) {
    RunSync(state, [] { kv::SynchronizeReadAll(); });
}

void BM_WriteAll(benchmark::State& state) {
    RunSync(state, [] { kv::SynchronizeWriteAll(); });
}

/// Setter commands through a device queue (a drag over a few targets, as a page queues
/// them), counting the allocations of every thread per command once the queue is warm.
void BM_QueueAllocations(benchmark::State& state) {
    kv::bench::NullSink sink;
    kv::CommandQueue queue(sink);
    kv::Command command{2, kv::kCmdSetParam, 0, 0, 0, 0};
    constexpr int kCommands = 10'000;
    auto drag = [&] {
        for (int i = 0; i < kCommands; ++i) {
            command[3] = static_cast<std::uint8_t>(i % 4); // module: four targets in turn
            command[5] = static_cast<std::uint8_t>(i);     // the value moves
            queue.Write(command);
        }
        queue.Flush();
    };
    drag(); // the queue grows to its working size
    long allocations = 0;
    for (auto _ : state) {
        const long before = AllocationsSoFar();
        drag();
        allocations += AllocationsSoFar() - before;
    }
    state.counters["allocs_per_command"] =
        static_cast<double>(allocations) / (static_cast<double>(state.iterations()) * kCommands);
}

BENCHMARK(BM_QueueAllocations)->Iterations(5)->Unit(benchmark::kMillisecond);

BENCHMARK(BM_ReadAll)
    ->Arg(0)
    ->Arg(1000)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(5);
BENCHMARK(BM_WriteAll)
    ->Arg(0)
    ->Arg(1000)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(3);

} // namespace

BENCHMARK_MAIN();
