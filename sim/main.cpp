// kvsim: a simulated processor on the virtual HID bus.
#include "link/platform/UsbId.h"
#include "link/platform/VirtualBus.h"
#include "sim/BusServer.h"
#include "sim/Simulator.h"
#include "sim/ZWaveControls.h"

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
#include <vector>

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
    "  --learn MODE            how learning requests end: press (default), manual (wait for\n"
    "                          'press CODE'), refuse (nothing learned), silent (never answer)\n"
    "  --meters MODE           input levels of the status report: moving (default) or still\n"
    "  --trace FILE            write every report to FILE\n"
    "  --version               print the version and end\n"
    "Commands on standard input (type help for the list): unplug, plug, report N,\n"
    "press CODE, learn MODE, zwave ..., quit.\n"
    "Each is acknowledged on standard output. The trace has one line per report: the\n"
    "direction and hex bytes, then after '#' the seconds since start and what it is.\n";

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

std::optional<kv::sim::LearnAnswer> ParseLearnAnswer(std::string_view text) {
    using kv::sim::LearnAnswer;
    static const std::map<std::string_view, LearnAnswer> answers = {
        {"press", LearnAnswer::Press},
        {"manual", LearnAnswer::Manual},
        {"refuse", LearnAnswer::Refuse},
        {"silent", LearnAnswer::Silent},
    };
    const auto it = answers.find(text);
    return it == answers.end() ? std::nullopt : std::optional(it->second);
}

/// A key code as decimal or as 0x-prefixed hexadecimal, 0..255.
std::optional<std::uint8_t> ParseKeyCode(std::string_view text) {
    int base = 10;
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        text.remove_prefix(2);
        base = 16;
    }
    unsigned value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value, base);
    if (text.empty() || ec != std::errc() || end != text.data() + text.size() || value > 255) {
        return std::nullopt;
    }
    return static_cast<std::uint8_t>(value);
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
        {"--learn",
         [](Options& o, const std::string& v) {
             const auto answer = ParseLearnAnswer(v);
             o.sim.learnAnswer = answer.value_or(o.sim.learnAnswer);
             return answer.has_value();
         }},
        {"--meters",
         [](Options& o, const std::string& v) {
             if (v != "still" && v != "moving") {
                 return false;
             }
             o.sim.metersStill = v == "still";
             return true;
         }},
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
        if (arg == "--version") {
            std::printf("kvsim %s\n", KV_VERSION);
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

/// What a control line acts on.
struct Target {
    kv::sim::BusServer& server;
    kv::sim::Simulator& sim;
};

/// One command on standard input: its name, its argument, what it does, and the action,
/// which returns the acknowledgement for stdout (or an error for stderr, with ok false).
struct StdinControl {
    std::string_view name;
    std::string_view argument;
    std::string_view help;
    std::function<bool(Target&, std::string_view argument, std::string& reply)> run;
};

const std::vector<StdinControl>& StdinControls();

bool Help(Target&, std::string_view, std::string& reply) {
    reply = "commands:";
    for (const StdinControl& c : StdinControls()) {
        std::string usage(c.name);
        if (!c.argument.empty()) {
            usage += " " + std::string(c.argument);
        }
        char line[160];
        std::snprintf(line, sizeof line, "\n  %-18s %.*s", usage.c_str(),
                      static_cast<int>(c.help.size()), c.help.data());
        reply += line;
    }
    return true;
}

const std::vector<StdinControl>& StdinControls() {
    static const std::vector<StdinControl> table = {
        {"help", "", "list these commands", Help},
        {"unplug", "", "pull the simulated cable (the socket disappears)",
         [](Target& t, std::string_view, std::string& reply) {
             t.server.Unplug();
             reply = "unplugged";
             return true;
         }},
        {"plug", "", "plug it back in",
         [](Target& t, std::string_view, std::string& reply) {
             t.server.Plug();
             reply = "plugged: " + t.server.SocketPath();
             return true;
         }},
        {"report", "N", "send report N unasked: 5 recall, 6 factory recall, 9 changed",
         [](Target& t, std::string_view argument, std::string& reply) {
             const auto type = ParseNumber(argument, 0, 255);
             if (!type) {
                 reply = "bad report type: " + std::string(argument);
                 return false;
             }
             t.sim.SendUnsolicited(static_cast<std::uint8_t>(*type));
             reply = "sent report " + std::to_string(*type);
             return true;
         }},
        {"press", "CODE",
         "the user presses a key with that code (0..255 or 0x00..0xFF) for the pending "
         "learning",
         [](Target& t, std::string_view argument, std::string& reply) {
             const auto code = ParseKeyCode(argument);
             if (!code) {
                 reply = "bad key code: " + std::string(argument);
                 return false;
             }
             if (!t.sim.PressKeyCode(*code)) {
                 reply = "no learning is pending";
                 return false;
             }
             reply = "pressed key code " + std::to_string(*code);
             return true;
         }},
        {"learn", "MODE",
         "how learning requests end: press, manual (wait for press CODE), refuse, silent",
         [](Target& t, std::string_view argument, std::string& reply) {
             const auto answer = ParseLearnAnswer(argument);
             if (!answer) {
                 reply = "bad learning mode: " + std::string(argument);
                 return false;
             }
             t.sim.SetLearnAnswer(*answer);
             reply = "learning requests: " + std::string(argument);
             return true;
         }},
        {"zwave", "WHAT", kv::sim::kZWaveControlHelp,
         [](Target& t, std::string_view argument, std::string& reply) {
             return kv::sim::ZWaveControl(t.sim, argument, reply);
         }},
        {"quit", "", "remove the socket and end", nullptr},
    };
    return table;
}

/// One control line; false to quit.
bool Control(const std::string& line, Target& target) {
    const auto space = line.find(' ');
    const std::string_view name = std::string_view(line).substr(0, space);
    const std::string_view argument =
        space == std::string::npos ? std::string_view{} : std::string_view(line).substr(space + 1);
    if (name.empty()) {
        return true;
    }
    for (const StdinControl& c : StdinControls()) {
        if (c.name != name) {
            continue;
        }
        if (!c.run) {
            return false;
        }
        std::string reply;
        const bool ok = c.run(target, argument, reply);
        std::fprintf(ok ? stdout : stderr, "kvsim: %s\n", reply.c_str());
        std::fflush(stdout);
        return true;
    }
    std::fprintf(stderr, "kvsim: unknown command: %s (help lists them)\n", line.c_str());
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

    // A closed standard output must not end the simulator; writes just fail.
    std::signal(SIGPIPE, SIG_IGN);
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

    Target target{server, *sim};
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
                quit = !Control(line, target);
            }
            if (quit) {
                break;
            }
        }
    }
    server.Stop();
    return 0;
}
