// kvsim: a simulated processor on the virtual HID bus.
#include "link/platform/UsbId.h"
#include "link/platform/VirtualBus.h"
#include "sim/BusServer.h"
#include "sim/Simulator.h"

#include <cerrno>
#include <charconv>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <poll.h>
#include <string>
#include <string_view>
#include <sys/signalfd.h>
#include <unistd.h>

namespace {

constexpr const char* kUsage =
    "usage: kvsim [options]\n"
    "  --bus DIR               bus directory (default: $KV_HID_BUS, $XDG_RUNTIME_DIR/kv-hid-bus\n"
    "                          or /tmp/kv-hid-bus-<uid>)\n"
    "  --name NAME             device name in the socket file name (default kvsim)\n"
    "  --id VVVV:PPPP          vendor and product id (default: $KV_USB_ID or 1209:0001)\n"
    "  --model TEXT            model text (default KV5930Q)\n"
    "  --comm-version N        communication version (default 18)\n"
    "  --mcu-version TEXT      MCU version text\n"
    "  --dsp-version TEXT      DSP version text\n"
    "  --state FILE.amod       load the mode file as the live and stored state\n"
    "  --latency-us N          delay before each answer\n"
    "  --drop-every N          do not send every N-th answer\n"
    "  --disconnect-after N    unplug after N commands\n"
    "  --learn-delay-ms N      delay of the simulated key press when learning (default 1500)\n"
    "  --trace FILE            write every report to FILE\n"
    "Commands on standard input: unplug, plug, report N (5, 6 or 9), quit.\n";

struct Options {
    kv::sim::SimOptions sim;
    std::string bus = kv::vbus::BusDirectory();
    std::string name = "kvsim";
    kv::UsbId id = kv::ProcessorUsbId();
};

std::optional<long> ParseNumber(std::string_view text, long min, long max) {
    long value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size() || value < min || value > max) {
        return std::nullopt;
    }
    return value;
}

/// Applies one option's value; false when the value is not valid.
using OptionSetter = std::function<bool(Options&, const std::string&)>;

OptionSetter Text(std::function<void(Options&, const std::string&)> set) {
    return [set = std::move(set)](Options& o, const std::string& value) {
        set(o, value);
        return true;
    };
}

OptionSetter Number(long min, long max, std::function<void(Options&, long)> set) {
    return [=, set = std::move(set)](Options& o, const std::string& value) {
        const auto n = ParseNumber(value, min, max);
        if (n) {
            set(o, *n);
        }
        return n.has_value();
    };
}

const std::map<std::string_view, OptionSetter>& OptionTable() {
    using std::chrono::microseconds;
    using std::chrono::milliseconds;
    static const std::map<std::string_view, OptionSetter> table = {
        {"--bus", Text([](Options& o, const std::string& v) { o.bus = v; })},
        {"--name", Text([](Options& o, const std::string& v) { o.name = v; })},
        {"--id",
         [](Options& o, const std::string& v) {
             const auto id = kv::ParseUsbId(v);
             o.id = id.value_or(o.id);
             return id.has_value();
         }},
        {"--model", Text([](Options& o, const std::string& v) { o.sim.identity.model = v; })},
        {"--comm-version",
         Number(0, 255, [](Options& o, long n) { o.sim.identity.commVersion = int(n); })},
        {"--mcu-version",
         Text([](Options& o, const std::string& v) { o.sim.identity.mcuVersion = v; })},
        {"--dsp-version",
         Text([](Options& o, const std::string& v) { o.sim.identity.dspVersion = v; })},
        {"--state", Text([](Options& o, const std::string& v) { o.sim.statePath = v; })},
        {"--latency-us",
         Number(0, 10'000'000, [](Options& o, long n) { o.sim.latency = microseconds(n); })},
        {"--drop-every",
         Number(0, 1'000'000, [](Options& o, long n) { o.sim.dropEvery = int(n); })},
        {"--disconnect-after",
         Number(0, 1'000'000'000, [](Options& o, long n) { o.sim.disconnectAfter = int(n); })},
        {"--learn-delay-ms",
         Number(0, 600'000, [](Options& o, long n) { o.sim.learnDelay = milliseconds(n); })},
        {"--trace", Text([](Options& o, const std::string& v) { o.sim.tracePath = v; })},
    };
    return table;
}

bool ParseOptions(int argc, char** argv, Options& o, std::string& error) {
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            std::fputs(kUsage, stdout);
            std::exit(0);
        }
        const auto option = OptionTable().find(arg);
        if (option == OptionTable().end()) {
            error = "unknown option: " + std::string(arg);
            return false;
        }
        if (i + 1 >= argc) {
            error = "missing value for " + std::string(arg);
            return false;
        }
        const std::string value = argv[++i];
        if (!option->second(o, value)) {
            error = "invalid value for " + std::string(arg) + ": " + value;
            return false;
        }
    }
    return true;
}

/// One control line; false to quit.
bool Control(const std::string& line, kv::sim::BusServer& server, kv::sim::Simulator& sim) {
    if (line == "unplug") {
        server.Unplug();
    } else if (line == "plug") {
        server.Plug();
    } else if (line.rfind("report ", 0) == 0) {
        const auto type = ParseNumber(std::string_view(line).substr(7), 0, 255);
        if (!type) {
            std::fprintf(stderr, "kvsim: bad report type: %s\n", line.c_str());
        } else {
            sim.SendUnsolicited(static_cast<std::uint8_t>(*type));
        }
    } else if (line == "quit") {
        return false;
    } else if (!line.empty()) {
        std::fprintf(stderr, "kvsim: unknown command: %s\n", line.c_str());
    }
    return true;
}

} // namespace

int main(int argc, char** argv) {
    Options options;
    std::string error;
    if (!ParseOptions(argc, argv, options, error)) {
        std::fprintf(stderr, "kvsim: %s\n%s", error.c_str(), kUsage);
        return 2;
    }

    // Signals are taken from a descriptor, so the socket is removed on the way out.
    sigset_t signals;
    sigemptyset(&signals);
    for (int s : {SIGINT, SIGTERM, SIGHUP}) {
        sigaddset(&signals, s);
    }
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);
    const int signalFd = signalfd(-1, &signals, SFD_CLOEXEC);

    std::unique_ptr<kv::sim::Simulator> sim;
    try {
        sim = std::make_unique<kv::sim::Simulator>(options.sim);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "kvsim: %s\n", e.what());
        return 1;
    }
    kv::sim::BusServer server(*sim, options.bus, options.name, options.id);
    if (!server.Start(error)) {
        std::fprintf(stderr, "kvsim: %s\n", error.c_str());
        return 1;
    }
    std::printf("kvsim: %s\n", server.SocketPath().c_str());
    std::fflush(stdout);

    std::string pending;
    bool stdinOpen = true;
    for (;;) {
        pollfd fds[2] = {{signalFd, POLLIN, 0}, {stdinOpen ? STDIN_FILENO : -1, POLLIN, 0}};
        if (poll(fds, 2, -1) < 0) {
            if (errno == EINTR) {
                continue;
            }
            break;
        }
        if (fds[0].revents != 0) {
            break;
        }
        if (fds[1].revents != 0) {
            char buffer[512];
            const ssize_t n = read(STDIN_FILENO, buffer, sizeof buffer);
            if (n <= 0) {
                stdinOpen = false; // keep serving without a console
                continue;
            }
            pending.append(buffer, static_cast<std::size_t>(n));
            bool quit = false;
            for (auto nl = pending.find('\n'); nl != std::string::npos && !quit;
                 nl = pending.find('\n')) {
                std::string line = pending.substr(0, nl);
                pending.erase(0, nl + 1);
                if (!line.empty() && line.back() == '\r') {
                    line.pop_back();
                }
                quit = !Control(line, server, *sim);
            }
            if (quit) {
                break;
            }
        }
    }
    server.Stop();
    return 0;
}
