#include "sim/ZWaveControls.h"
#include "sim/Simulator.h"

#include <gtest/gtest.h>

#include <vector>

namespace kv::sim {
namespace {

TEST(ZWaveControls, ConsoleLinesDriveTheNetwork) {
    Simulator sim;
    std::vector<Report> sent;
    sim.SetUnsolicitedSink([&sent](const Report& r) { sent.push_back(r); });
    struct Row {
        const char* line;
        bool ok;
        const char* reply;
    };
    const std::vector<Row> rows = {
        {"add dimmer", true, "dimmer joined as node 2"},
        {"add plug", true, "plug joined as node 3"},
        {"add lamp", false, "usage: zwave add switch|dimmer|plug"},
        {"silent 3", true, "node 3 does not answer"},
        {"silent 9", false, "no node 9"},
        {"list", true,
         "controller node 1, idle; node 2 dimmer value 0; node 3 plug value 0 silent"},
        {"answer 3", true, "node 3 answers"},
        {"press", true, "nothing waits for a button"},
        {"report 2 40", true, "node 2 reported 40"},
        {"report 2 400", false, "usage: zwave report NODE VALUE"},
        {"report 7 1", false, "no node 7"},
        {"new dimmer", true, "a new dimmer waits beside the controller"},
        {"fail", true, "the next inclusion or exclusion fails"},
        {"delay 10", true, "callbacks come 10 ms after their request"},
        {"delay x", false, "usage: zwave delay MS"},
        {"auto on 2", true, "buttons are pressed at once"},
        {"auto maybe", false, "usage: zwave auto on|off [NODE]"},
        {"press 999", false, "usage: zwave press [NODE]"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.line);
        std::string reply;
        EXPECT_EQ(ZWaveControl(sim, row.line, reply), row.ok);
        EXPECT_EQ(reply, row.reply);
    }
    std::string reply;
    EXPECT_FALSE(ZWaveControl(sim, "", reply));
    EXPECT_NE(reply.find("press [NODE]"), std::string::npos);
    // The report went out as the node's own frame: function 4, node 2, value 40.
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0][1], 18);
    EXPECT_EQ(sent[0][6], 0x04);
    EXPECT_EQ(sent[0][8], 2);
    EXPECT_EQ(sent[0][12], 40);
}

} // namespace
} // namespace kv::sim
