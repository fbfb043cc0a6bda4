#include "sim/ZWaveControls.h"

#include "sim/Simulator.h"

#include <charconv>
#include <functional>
#include <map>
#include <optional>
#include <sstream>
#include <vector>

namespace kv::sim {

const char* const kZWaveControlHelp =
    "Z-Wave: list, press [NODE], new|add KIND, silent|mute|answer NODE, fail, report NODE VALUE, "
    "auto on|off [NODE], delay MS, learn ok|checksum|timeout|none [MS], send ok|fail";

namespace {

std::optional<int> Number(const std::string& text, int min, int max) {
    int value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size() || value < min || value > max) {
        return std::nullopt;
    }
    return value;
}

std::string List(const ZWaveNetwork& network) {
    std::string text = "controller node 1, " + network.Pending();
    for (const auto& [id, node] : network.Nodes()) {
        text += "; node " + std::to_string(id) + " " + ZWaveKindName(node.kind) + " value " +
                std::to_string(node.value) + (node.silent ? " silent" : "") +
                (node.mute ? " mute" : "");
        std::string keys;
        for (int k = 0; k < 64; ++k) {
            if (node.learnedKeys >> k & 1u) {
                keys += (keys.empty() ? " keys " : ",") + std::to_string(k);
            }
        }
        text += keys;
    }
    return text;
}

using Words = std::vector<std::string>;
using Action = std::function<bool(Simulator&, const Words&, std::string&)>;

/// How a node answers from now on: "silent" (no acknowledgement), "mute" (acknowledged but no
/// report), "answer" (both again).
bool NodeAction(Simulator& sim, const Words& w, std::string& reply) {
    const auto node = w.size() == 2 ? Number(w[1], 2, ZWaveNetwork::kMaxNode) : std::nullopt;
    if (!node) {
        reply = "usage: zwave " + w[0] + " NODE";
        return false;
    }
    const bool silent = w[0] == "silent";
    const bool mute = w[0] == "mute";
    const bool ok = sim.WithZWave(
        [&](ZWaveNetwork& n) { return n.SetSilent(*node, silent) && n.SetMute(*node, mute); });
    const char* what = silent ? " does not answer"
                       : mute ? " takes commands but never reports"
                              : " answers";
    reply = ok ? "node " + std::to_string(*node) + what : "no node " + std::to_string(*node);
    return ok;
}

const std::map<std::string, Action>& Actions() {
    static const std::map<std::string, Action> actions = {
        {"list",
         [](Simulator& sim, const Words&, std::string& reply) {
             reply = sim.WithZWave([](ZWaveNetwork& n) { return List(n); });
             return true;
         }},
        {"press",
         [](Simulator& sim, const Words& w, std::string& reply) {
             const auto node =
                 w.size() == 1 ? std::optional(0) : Number(w[1], 0, ZWaveNetwork::kMaxNode);
             if (!node || w.size() > 2) {
                 reply = "usage: zwave press [NODE]";
                 return false;
             }
             reply = sim.WithZWave([&](ZWaveNetwork& n) { return n.Press(*node); });
             return true;
         }},
        {"new",
         [](Simulator& sim, const Words& w, std::string& reply) {
             ZWaveDeviceKind kind{};
             if (w.size() != 2 || !ParseZWaveKind(w[1], kind)) {
                 reply = "usage: zwave new switch|dimmer|plug";
                 return false;
             }
             sim.WithZWave([&](ZWaveNetwork& n) {
                 n.SetNewDevice(kind);
                 return 0;
             });
             reply = "a new " + w[1] + " waits beside the controller";
             return true;
         }},
        {"add",
         [](Simulator& sim, const Words& w, std::string& reply) {
             ZWaveDeviceKind kind{};
             if (w.size() != 2 || !ParseZWaveKind(w[1], kind)) {
                 reply = "usage: zwave add switch|dimmer|plug";
                 return false;
             }
             const int id = sim.WithZWave([&](ZWaveNetwork& n) { return n.Join(kind); });
             reply = id ? w[1] + " joined as node " + std::to_string(id) : "the network is full";
             return id != 0;
         }},
        {"silent", NodeAction},
        {"mute", NodeAction},
        {"answer", NodeAction},
        {"fail",
         [](Simulator& sim, const Words&, std::string& reply) {
             sim.WithZWave([](ZWaveNetwork& n) {
                 n.FailNextPress();
                 return 0;
             });
             reply = "the next inclusion or exclusion fails";
             return true;
         }},
        {"report",
         [](Simulator& sim, const Words& w, std::string& reply) {
             const auto node =
                 w.size() == 3 ? Number(w[1], 2, ZWaveNetwork::kMaxNode) : std::nullopt;
             const auto value = w.size() == 3 ? Number(w[2], 0, 255) : std::nullopt;
             if (!node || !value) {
                 reply = "usage: zwave report NODE VALUE";
                 return false;
             }
             const bool ok = sim.WithZWave([&](ZWaveNetwork& n) {
                 return n.NodeReport(*node, static_cast<std::uint8_t>(*value));
             });
             reply = ok ? "node " + w[1] + " reported " + w[2] : "no node " + w[1];
             return ok;
         }},
        {"auto",
         [](Simulator& sim, const Words& w, std::string& reply) {
             const auto node =
                 w.size() == 3 ? Number(w[2], 0, ZWaveNetwork::kMaxNode) : std::optional(0);
             if (w.size() < 2 || w.size() > 3 || (w[1] != "on" && w[1] != "off") || !node) {
                 reply = "usage: zwave auto on|off [NODE]";
                 return false;
             }
             const bool on = w[1] == "on";
             sim.WithZWave([&](ZWaveNetwork& n) {
                 n.SetAutoPress(on, *node);
                 return 0;
             });
             reply = on ? "buttons are pressed at once" : "buttons wait for press";
             return true;
         }},
        {"delay",
         [](Simulator& sim, const Words& w, std::string& reply) {
             const auto ms = w.size() == 2 ? Number(w[1], 0, 60'000) : std::nullopt;
             if (!ms) {
                 reply = "usage: zwave delay MS";
                 return false;
             }
             sim.WithZWave([&](ZWaveNetwork& n) {
                 n.SetCallbackDelay(std::chrono::milliseconds(*ms));
                 return 0;
             });
             reply = "callbacks come " + w[1] + " ms after their request";
             return true;
         }},
        {"learn",
         [](Simulator& sim, const Words& w, std::string& reply) {
             KeyLearnOutcome outcome{};
             const auto ms = w.size() == 3 ? Number(w[2], 0, 600'000) : std::optional(-1);
             if (w.size() < 2 || w.size() > 3 || !ParseKeyLearnOutcome(w[1], outcome) || !ms) {
                 reply = "usage: zwave learn ok|checksum|timeout|none [MS]";
                 return false;
             }
             const auto delay = sim.WithZWave([&](ZWaveNetwork& n) {
                 n.SetKeyLearnOutcome(outcome);
                 if (*ms >= 0) {
                     n.SetLearnDelay(std::chrono::milliseconds(*ms));
                 }
                 return n.LearnDelay();
             });
             const std::string after = " " + std::to_string(delay.count()) + " ms after ready";
             switch (outcome) {
             case KeyLearnOutcome::Learned:
                 reply = "smart plugs learn keys" + after;
                 break;
             case KeyLearnOutcome::ChecksumError:
                 reply = "smart plugs report a checksum error" + after;
                 break;
             case KeyLearnOutcome::Timeout:
                 reply = "smart plugs time out waiting for the remote" + after;
                 break;
             case KeyLearnOutcome::NoKey:
                 reply = "smart plugs wait for a remote key that never comes";
                 break;
             }
             return true;
         }},
        {"send",
         [](Simulator& sim, const Words& w, std::string& reply) {
             if (w.size() != 2 || (w[1] != "ok" && w[1] != "fail")) {
                 reply = "usage: zwave send ok|fail";
                 return false;
             }
             const bool fails = w[1] == "fail";
             sim.WithZWave([&](ZWaveNetwork& n) {
                 n.SetKeySendFails(fails);
                 return 0;
             });
             reply = fails ? "smart plugs fail to send keys" : "smart plugs send keys";
             return true;
         }},
    };
    return actions;
}

} // namespace

bool ZWaveControl(Simulator& sim, std::string_view words, std::string& reply) {
    std::istringstream in{std::string(words)};
    Words w;
    for (std::string word; in >> word;) {
        w.push_back(word);
    }
    const auto it = w.empty() ? Actions().end() : Actions().find(w[0]);
    if (it == Actions().end()) {
        reply = std::string("usage: ") + kZWaveControlHelp;
        return false;
    }
    return it->second(sim, w, reply);
}

} // namespace kv::sim
