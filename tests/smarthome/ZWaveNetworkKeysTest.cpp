#include "sim/Simulator.h"
#include "sim/ZWaveControls.h"
#include "sim/ZWaveNetwork.h"
#include "smarthome/ZwaveFrames.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace kv::sim {
namespace {

using std::chrono::milliseconds;

/// A node's own report (function 04): when it is due and its value.
struct NodeReport {
    int node;
    int value;
    milliseconds after;
    bool operator==(const NodeReport&) const = default;
};

std::vector<NodeReport> NodeReports(ZWaveNetwork& network) {
    std::vector<NodeReport> reports;
    for (const TimedReport& r : network.TakeOutbox()) {
        if (r.report[3] == 0x01 && r.report[6] == 0x04) {
            reports.push_back({r.report[8], r.report[12], r.after});
        }
    }
    return reports;
}

std::vector<NodeReport> BasicSet(ZWaveNetwork& network, int node, int value) {
    network.Handle(
        zwave::RequestFrame(zwave::BasicSetPayload(node, static_cast<std::uint8_t>(value))));
    return NodeReports(network);
}

TEST(ZWaveNetworkKeys, APlugLearnsAndSendsKeysAsTold) {
    struct Row {
        const char* name;
        KeyLearnOutcome outcome;
        std::vector<NodeReport> reports; ///< for learning key 3 (Basic Set 195)
        bool learned;
    };
    const milliseconds ready(200);
    const milliseconds end(200 + 50);
    const std::vector<Row> rows = {
        {"learned", KeyLearnOutcome::Learned, {{2, 2, ready}, {2, 3, end}}, true},
        {"checksum error", KeyLearnOutcome::ChecksumError, {{2, 2, ready}, {2, 4, end}}, false},
        {"no remote key in time", KeyLearnOutcome::Timeout, {{2, 2, ready}, {2, 5, end}}, false},
        {"waits for a key that never comes", KeyLearnOutcome::NoKey, {{2, 2, ready}}, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        ZWaveNetwork network;
        ASSERT_EQ(network.Join(ZWaveDeviceKind::Plug), 2);
        network.SetLearnDelay(milliseconds(50));
        network.SetKeyLearnOutcome(row.outcome);
        EXPECT_EQ(BasicSet(network, 2, 195), row.reports);
        EXPECT_EQ(network.Nodes().at(2).learnedKeys, row.learned ? 1u << 3 : 0u);
        EXPECT_EQ(network.Nodes().at(2).value, 0) << "a key command is no level";
    }

    ZWaveNetwork network;
    ASSERT_EQ(network.Join(ZWaveDeviceKind::Plug), 2);
    ASSERT_EQ(network.Join(ZWaveDeviceKind::Switch), 3);
    EXPECT_EQ(BasicSet(network, 2, 128), (std::vector<NodeReport>{{2, 6, milliseconds(0)}}));
    network.SetKeySendFails(true);
    EXPECT_EQ(BasicSet(network, 2, 159), (std::vector<NodeReport>{{2, 7, milliseconds(0)}}));
    // 255 is "on" for a plug as for a switch; a switch knows no keys.
    EXPECT_EQ(BasicSet(network, 2, 255), (std::vector<NodeReport>{{2, 255, milliseconds(0)}}));
    EXPECT_EQ(BasicSet(network, 3, 195), (std::vector<NodeReport>{{3, 255, milliseconds(0)}}));
}

TEST(ZWaveNetworkKeys, ConsoleLinesChooseTheOutcomes) {
    Simulator sim;
    struct Row {
        const char* line;
        bool ok;
        const char* reply;
    };
    const std::vector<Row> rows = {
        {"add plug", true, "plug joined as node 2"},
        {"learn checksum 40", true, "smart plugs report a checksum error 40 ms after ready"},
        {"learn timeout", true, "smart plugs time out waiting for the remote 40 ms after ready"},
        {"learn none", true, "smart plugs wait for a remote key that never comes"},
        {"learn ok 0", true, "smart plugs learn keys 0 ms after ready"},
        {"learn maybe", false, "usage: zwave learn ok|checksum|timeout|none [MS]"},
        {"learn ok -5", false, "usage: zwave learn ok|checksum|timeout|none [MS]"},
        {"send fail", true, "smart plugs fail to send keys"},
        {"send ok", true, "smart plugs send keys"},
        {"send", false, "usage: zwave send ok|fail"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.line);
        std::string reply;
        EXPECT_EQ(ZWaveControl(sim, row.line, reply), row.ok);
        EXPECT_EQ(reply, row.reply);
    }
    sim.WithZWave([](ZWaveNetwork& n) {
        n.Handle(zwave::RequestFrame(zwave::BasicSetPayload(2, 192)));
        n.Handle(zwave::RequestFrame(zwave::BasicSetPayload(2, 205)));
        return 0;
    });
    std::string reply;
    ASSERT_TRUE(ZWaveControl(sim, "list", reply));
    EXPECT_EQ(reply, "controller node 1, idle; node 2 plug value 0 keys 0,13");
}

} // namespace
} // namespace kv::sim
