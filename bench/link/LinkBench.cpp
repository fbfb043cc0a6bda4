// Waiting-writer exchanges through the link against the simulator, each beside its floor: a
// bare two-thread ping-pong of 61-byte messages in the same layout (a condition variable for
// the in-process bus, a SOCK_SEQPACKET socket pair for the socket bus), with the same answer
// latency. Blocks of link and floor exchanges alternate, so both see the same load.
// Arguments: latency in us, and where the threads run: as the scheduler likes (0), all on
// one CPU (1), or split (2): the writer on one CPU, the device and reader side (the link's
// reader, the simulator's threads, the floor's responder) on another. Counters: the time
// per exchange of each, the median of the ratios of neighbouring blocks and, with a
// latency, the overhead beyond it in percent.
#include "link/Link.h"
#include "link/platform/HidBackend.h"
#include "link/platform/UsbId.h"
#include "link/platform/VirtualBusBackend.h"
#include "sim/BusServer.h"
#include "sim/ExactSleep.h"
#include "sim/SimLink.h"
#include "sim/Simulator.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <sched.h>
#include <string>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::microseconds;
using Message = std::array<std::uint8_t, 61>;

constexpr int kRounds = 7;

/// Exchanges per block: about a tenth of a second each.
int BlockSize(microseconds latency) {
    return latency.count() > 0 ? static_cast<int>(100'000 / (latency.count() + 30)) + 10 : 3000;
}

enum class Placement { Free = 0, OneCpu = 1, Split = 2 };

/// Places the threads started from now on, and the caller, as asked; restores the caller's
/// CPU set when it goes. For a split, the threads started before Settle run on the second
/// CPU and the caller on the first.
class Pinning {
public:
    explicit Pinning(Placement placement) : m_placement(placement) {
        if (placement == Placement::Free ||
            sched_getaffinity(0, sizeof m_previous, &m_previous) != 0) {
            return;
        }
        const int here = sched_getcpu();
        m_first = here;
        m_second = here;
        for (int cpu = 0; cpu < CPU_SETSIZE; ++cpu) {
            if (cpu != here && CPU_ISSET(cpu, &m_previous)) {
                m_second = cpu;
                break;
            }
        }
        m_pinned = PinTo(placement == Placement::Split ? m_second : m_first);
    }
    /// The threads are started: the caller moves to its own CPU.
    void Settle() {
        if (m_pinned && m_placement == Placement::Split) {
            PinTo(m_first);
        }
    }
    ~Pinning() {
        if (m_pinned) {
            sched_setaffinity(0, sizeof m_previous, &m_previous);
        }
    }
    Pinning(const Pinning&) = delete;
    Pinning& operator=(const Pinning&) = delete;

private:
    static bool PinTo(int cpu) {
        cpu_set_t one;
        CPU_ZERO(&one);
        CPU_SET(cpu, &one);
        return sched_setaffinity(0, sizeof one, &one) == 0;
    }

    const Placement m_placement;
    cpu_set_t m_previous{};
    int m_first = 0;
    int m_second = 0;
    bool m_pinned = false;
};

/// A responder thread answering each message after the latency, over a condition variable.
class CvFloor {
public:
    explicit CvFloor(microseconds latency) : m_latency(latency), m_thread([this] { Serve(); }) {}
    ~CvFloor() {
        {
            std::lock_guard lock(m_lock);
            m_stop = true;
        }
        m_requested.notify_all();
        m_thread.join();
    }
    void Exchange() {
        {
            std::lock_guard lock(m_lock);
            m_request = m_message;
            m_hasRequest = true;
        }
        m_requested.notify_one(); // after the unlock, so the responder does not block on it
        std::unique_lock lock(m_lock);
        m_answered.wait(lock, [this] { return m_hasAnswer; });
        m_hasAnswer = false;
        m_message = m_answer;
    }

private:
    void Serve() {
        std::unique_lock lock(m_lock);
        for (;;) {
            m_requested.wait(lock, [this] { return m_stop || m_hasRequest; });
            if (m_stop) {
                return;
            }
            const auto arrived = Clock::now();
            m_hasRequest = false;
            Message answer = m_request;
            lock.unlock();
            if (m_latency.count() > 0) {
                kv::sim::SleepUntilExactly(arrived + m_latency);
            }
            answer[1] ^= 1;
            lock.lock();
            m_answer = answer;
            m_hasAnswer = true;
            lock.unlock();
            m_answered.notify_one();
            lock.lock();
        }
    }

    const microseconds m_latency;
    std::mutex m_lock; ///< guards the members below
    std::condition_variable m_requested;
    std::condition_variable m_answered;
    Message m_message{2, 14};
    Message m_request{};
    Message m_answer{};
    bool m_hasRequest = false;
    bool m_hasAnswer = false;
    bool m_stop = false;
    std::thread m_thread;
};

/// A responder thread answering each packet after the latency, over a socket pair.
class SocketFloor {
public:
    explicit SocketFloor(microseconds latency) : m_latency(latency) {
        m_ok = socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, m_fds) == 0;
        if (m_ok) {
            m_thread = std::thread([this] { Serve(); });
        }
    }
    ~SocketFloor() {
        if (m_ok) {
            shutdown(m_fds[0], SHUT_RDWR);
            m_thread.join();
            close(m_fds[0]);
            close(m_fds[1]);
        }
    }
    bool Ok() const { return m_ok; }
    void Exchange() {
        send(m_fds[0], m_message.data(), m_message.size(), MSG_NOSIGNAL);
        recv(m_fds[0], m_message.data(), m_message.size(), 0);
    }

private:
    void Serve() {
        Message packet{};
        while (recv(m_fds[1], packet.data(), packet.size(), 0) > 0) {
            const auto arrived = Clock::now();
            if (m_latency.count() > 0) {
                kv::sim::SleepUntilExactly(arrived + m_latency);
            }
            packet[1] ^= 1;
            send(m_fds[1], packet.data(), packet.size(), MSG_NOSIGNAL);
        }
    }

    const microseconds m_latency;
    int m_fds[2] = {-1, -1};
    bool m_ok = false;
    Message m_message{2, 14};
    std::thread m_thread;
};

/// The time per exchange of n exchanges, in us. One exchange goes first, untimed: a link
/// write waits for the answer to the write before it, so the block starts with no answer
/// outstanding from before and ends with one, like every exchange in it.
double TimeOf(int n, const std::function<void()>& exchange) {
    exchange();
    const auto start = Clock::now();
    for (int i = 0; i < n; ++i) {
        exchange();
    }
    return std::chrono::duration<double, std::micro>(Clock::now() - start).count() / n;
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

/// Status requests, each waiting for the answer to the one before, against the floor;
/// alternating blocks, medians over the rounds.
void Compare(benchmark::State& state, microseconds latency, const std::function<void()>& floor) {
    const int n = BlockSize(latency);
    bool refused = false;
    auto link = [&refused] { refused = refused || kv::SendUsbCommand({14, -1}) != 61; };
    std::vector<double> linkUs;
    std::vector<double> floorUs;
    std::vector<double> ratios;
    for (auto _ : state) {
        TimeOf(n / 10, link); // settles the pacing and the caches
        TimeOf(n / 10, floor);
        for (int round = 0; round < kRounds; ++round) {
            linkUs.push_back(TimeOf(n, link));
            floorUs.push_back(TimeOf(n, floor));
            ratios.push_back(linkUs.back() / floorUs.back());
        }
    }
    if (refused) {
        state.SkipWithError("write refused");
        return;
    }
    const double l = Median(linkUs);
    const double f = Median(floorUs);
    state.counters["link_us"] = l;
    state.counters["floor_us"] = f;
    state.counters["ratio"] = Median(ratios);
    if (latency.count() > 0) {
        const double us = static_cast<double>(latency.count());
        state.counters["link_over_%"] = 100.0 * (l - us) / us;
        state.counters["floor_over_%"] = 100.0 * (f - us) / us;
    }
}

void BM_InProcessExchange(benchmark::State& state) {
    const microseconds latency(state.range(0));
    Pinning pinning(static_cast<Placement>(state.range(1)));
    kv::sim::SimOptions options;
    options.latency = latency;
    kv::sim::SimLink link(options);
    CvFloor floor(latency);
    pinning.Settle();
    if (!link.Connected()) {
        state.SkipWithError("simulator not found");
        return;
    }
    Compare(state, latency, [&floor] { floor.Exchange(); });
}

void BM_SocketBusExchange(benchmark::State& state) {
    const microseconds latency(state.range(0));
    Pinning pinning(static_cast<Placement>(state.range(1)));
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
    SocketFloor floor(latency);
    std::string error;
    const auto previous = kv::hid::HidBackends();
    kv::hid::SetHidBackends({std::make_shared<kv::hid::VirtualBusBackend>()});
    if (floor.Ok() && server.Start(error) && kv::ConnectUsbDevice(nullptr)) {
        pinning.Settle();
        Compare(state, latency, [&floor] { floor.Exchange(); });
    } else {
        state.SkipWithError(error.empty() ? "processor not found" : error.c_str());
    }
    server.Stop(); // the peer goes: the reader ends at once
    kv::CloseUsbDevice();
    kv::UnregisterUsbNotification();
    kv::hid::SetHidBackends(previous);
    std::filesystem::remove_all(dir);
}

void Layouts(benchmark::internal::Benchmark* b) {
    b->ArgNames({"latency_us", "cpus"});
    for (int latency : {0, 1000}) {
        for (const Placement p : {Placement::Free, Placement::OneCpu, Placement::Split}) {
            b->Args({latency, static_cast<int>(p)});
        }
    }
    b->Iterations(1)->UseRealTime()->Unit(benchmark::kMillisecond);
}

BENCHMARK(BM_InProcessExchange)->Apply(Layouts);
BENCHMARK(BM_SocketBusExchange)->Apply(Layouts);

} // namespace

BENCHMARK_MAIN();
