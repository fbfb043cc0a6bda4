// Waiting-writer exchanges through the link against the simulator: in process and over the
// virtual bus's sockets, with no answer latency and with 1000 us. Counters per run:
// exchanges per second, the time per exchange and the overhead beyond the latency.
#include "link/Link.h"
#include "link/platform/HidBackend.h"
#include "link/platform/UsbId.h"
#include "link/platform/VirtualBusBackend.h"
#include "sim/BusServer.h"
#include "sim/SimLink.h"
#include "sim/Simulator.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

namespace {

using Clock = std::chrono::steady_clock;

/// Status requests, each waiting for the answer to the one before.
void Exchanges(benchmark::State& state, std::chrono::microseconds latency) {
    const auto start = Clock::now();
    for (auto _ : state) {
        if (kv::SendUsbCommand({14, -1}) != 61) {
            state.SkipWithError("write refused");
            return;
        }
    }
    kv::SendUsbCommand({14, -1}); // waits for the last answer
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    const double perExchangeUs = 1e6 * seconds / static_cast<double>(state.iterations() + 1);
    state.counters["exchanges_per_s"] =
        benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
    state.counters["us_per_exchange"] = perExchangeUs;
    state.counters["overhead_us"] = perExchangeUs - static_cast<double>(latency.count());
}

void BM_InProcessExchange(benchmark::State& state) {
    kv::sim::SimOptions options;
    options.latency = std::chrono::microseconds(state.range(0));
    kv::sim::SimLink link(options);
    if (!link.Connected()) {
        state.SkipWithError("simulator not found");
        return;
    }
    Exchanges(state, options.latency);
}

void BM_SocketBusExchange(benchmark::State& state) {
    const auto latency = std::chrono::microseconds(state.range(0));
    std::string dir = (std::filesystem::temp_directory_path() / "kv-bench-XXXXXX").string();
    if (mkdtemp(dir.data()) == nullptr) {
        state.SkipWithError("no temporary folder");
        return;
    }
    setenv("KV_HID_BUS", dir.c_str(), 1);
    kv::sim::SimOptions options;
    options.latency = latency;
    auto sim = std::make_unique<kv::sim::Simulator>(options);
    kv::sim::BusServer server(*sim, dir, "bench", kv::ProcessorUsbId());
    std::string error;
    const auto previous = kv::hid::HidBackends();
    kv::hid::SetHidBackends({std::make_shared<kv::hid::VirtualBusBackend>()});
    if (server.Start(error) && kv::ConnectUsbDevice(nullptr)) {
        Exchanges(state, latency);
    } else {
        state.SkipWithError(error.empty() ? "processor not found" : error.c_str());
    }
    server.Stop(); // the peer goes: the reader ends at once
    kv::CloseUsbDevice();
    kv::UnregisterUsbNotification();
    kv::hid::SetHidBackends(previous);
    std::filesystem::remove_all(dir);
}

BENCHMARK(BM_InProcessExchange)->Arg(0)->Arg(1000)->UseRealTime()->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_SocketBusExchange)->Arg(0)->Arg(1000)->UseRealTime()->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
