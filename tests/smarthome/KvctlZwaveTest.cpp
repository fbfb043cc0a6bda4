#include "Commands.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

namespace kv::cli {
namespace {

struct Row {
    std::vector<std::string> words;
    int code;
    const char* out; ///< expected on stdout (a part of it)
    const char* err; ///< expected on stderr (a part of it)
};

TEST(KvctlZwave, CommandsAgainstTheInProcessSimulator) {
    const std::vector<Row> rows = {
        {{"zwave", "set", "2", "300"}, 2, "", "usage: kvctl zwave set NODE VALUE"},
        {{"zwave", "set", "2", "130"}, 2, "", "VALUE 0..99 or 255"},
        {{"zwave", "add", "lamp", "x"}, 2, "", "usage: kvctl zwave add switch|dimmer NAME"},
        {{"zwave", "add", "switch", "\xff"}, 2, "", "UTF-8"},
        {{"--sim", "zwave", "list"}, 0, "\"nodes\": []", ""},
        {{"--sim", "zwave", "add", "dimmer", "Lamp"},
         0,
         "added dimmer \"Lamp\" as node 2",
         "Confirmed! Please wait..."},
        {{"--sim", "zwave", "set", "2", "50"}, 2, "", "no node 2 in the network"},
        {{"--sim", "zwave", "remove"}, 0, "the device was in no network", "Press and hold"},
        {{"--sim", "zwave", "reset"}, 0, "erased", ""},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.words.back());
        std::ostringstream out;
        std::ostringstream err;
        Io io{out, err};
        EXPECT_EQ(Dispatch(row.words, io), row.code) << err.str();
        EXPECT_NE(out.str().find(row.out), std::string::npos) << out.str();
        EXPECT_NE(err.str().find(row.err), std::string::npos) << err.str();
    }
}

} // namespace
} // namespace kv::cli
