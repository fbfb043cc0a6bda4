// kvctl eq import / eq export on mode files and on the in-process simulator, with the filter
// files of tests/protocol/filters.

#include "Commands.h"
#include "image/MainFields.h"
#include "image/ModeFile.h"
#include "image/ParamImage.h"
#include "protocol/Equaliser.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <unistd.h>

namespace kv::cli {
namespace {

namespace fs = std::filesystem;

const fs::path kFilters = fs::path(KV_TEST_SOURCE_DIR) / ".." / "protocol" / "filters";

struct Result {
    int code;
    std::string out;
    std::string err;
};

Result Kvctl(const std::vector<std::string>& words) {
    std::ostringstream out;
    std::ostringstream err;
    Io io{out, err};
    const int code = Dispatch(words, io);
    return {code, out.str(), err.str()};
}

std::string Slurp(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

std::string Filter(const char* name) {
    return (kFilters / name).string();
}

class KvctlEqFile : public ::testing::Test {
protected:
    void SetUp() override {
        dir = fs::temp_directory_path() / ("kvctl-eqfile-" + std::to_string(::getpid()));
        fs::create_directories(dir);
        ASSERT_EQ(Kvctl({"amod", "new", Path("m.amod")}).code, kExitOk);
    }
    void TearDown() override { fs::remove_all(dir); }
    std::string Path(const char* name) const { return (dir / name).string(); }
    EqBand Band(const char* file, int kind, int band) const {
        ParamImage image;
        EXPECT_TRUE(ReadModeFile(Path(file), image).ok());
        const auto k = EqKind(kind);
        return image.ReadBand(k->group, k->firstBand + band);
    }

    fs::path dir;
};

TEST_F(KvctlEqFile, ImportOntoAModeFileWritesTheBandsOfEveryChannelNamed) {
    const Result r = Kvctl({"eq", "import", Filter("rew-generic.txt"), "--channel", "CH1,ch2",
                            "--file", Path("m.amod")});
    ASSERT_EQ(r.code, kExitOk) << r.err;
    EXPECT_NE(r.out.find("CH1: 9 filters"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("CH2: 9 filters"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("Filter 6    dropped    is switched off in the file"), std::string::npos)
        << r.out;
    for (int kind : {7, 8}) {
        const EqBand first = Band("m.amod", kind, 0);
        EXPECT_EQ(first.type, kFilterPeq);
        EXPECT_DOUBLE_EQ(first.gainDb, -5.0);
        EXPECT_EQ(first.freqHz, 63);
        EXPECT_DOUBLE_EQ(first.q, 4.0);
        EXPECT_EQ(Band("m.amod", kind, 8).type, kFilterHighPass);
    }
    EXPECT_EQ(Band("m.amod", 9, 0).gainDb, 0.0); // CH3 was not named
}

TEST_F(KvctlEqFile, DryRunAndFailedImportsLeaveTheModeFileAlone) {
    const std::string before = Slurp(Path("m.amod"));
    const Result dry = Kvctl({"eq", "import", Filter("rew-generic.txt"), "--channel", "CH1",
                              "--file", Path("m.amod"), "--dry-run", "--json"});
    ASSERT_EQ(dry.code, kExitOk) << dry.err;
    const auto json = nlohmann::json::parse(dry.out);
    EXPECT_EQ(json["format"], "rew");
    EXPECT_EQ(json["equalisers"][0]["equaliser"], "CH1");
    EXPECT_EQ(json["equalisers"][0]["imported"], 9);
    EXPECT_EQ(json["equalisers"][0]["changedBands"][0]["after"]["freqHz"], 63.0);
    EXPECT_EQ(json["equalisers"][0]["report"][0]["action"], "dropped");
    EXPECT_EQ(Slurp(Path("m.amod")), before);

    std::ofstream(Path("notch.txt")) << "Filter 1: ON NO Fc 60 Hz\nFilter 2: ON AP Fc 90 Hz Q 1\n";
    std::ofstream(Path("junk.txt")) << std::string("\x7f" "ELF\x02\x01\x01\0\0\0", 10);
    struct Case {
        std::vector<std::string> args;
        const char* message;
    };
    const Case cases[] = {
        {{"eq", "import", Path("notch.txt"), "--channel", "CH1", "--file", Path("m.amod")},
         "no filter could be imported"},
        {{"eq", "import", Path("junk.txt"), "--channel", "CH1", "--file", Path("m.amod")},
         "not a text file"},
        {{"eq", "import", Path("absent.txt"), "--channel", "CH1", "--file", Path("m.amod")},
         "cannot open"},
        {{"eq", "import", Filter("rew-generic.txt"), "--channel", "CH9", "--file",
          Path("m.amod")},
         "'CH9' is not an equaliser"},
        {{"eq", "import", Filter("rew-generic.txt"), "--file", Path("m.amod")},
         "choose the equalisers with --channel"},
        {{"eq", "export", "--channel", "CH1", "--format", "csv", "--file", Path("m.amod")},
         "is not apo or rew"},
        {{"eq", "export", "--channel", "CH1,CH2", "--file", Path("m.amod")}, "one --channel"},
    };
    for (const auto& c : cases) {
        const Result r = Kvctl(c.args);
        EXPECT_EQ(r.code, kExitBadInput) << c.args[2];
        EXPECT_NE(r.err.find(c.message), std::string::npos) << c.args[2] << ": " << r.err;
        EXPECT_EQ(Slurp(Path("m.amod")), before) << c.args[2];
    }
}

TEST_F(KvctlEqFile, ChannelLinesChooseTheOutputsByRole) {
    // Roles CH1 L, CH2 R, CH3 C, CH4 SUB, CH5 SL, CH6 SR, CH7 RL, CH8 RR.
    ParamImage image;
    ASSERT_TRUE(ReadModeFile(Path("m.amod"), image).ok());
    const int roles[kOutputChannels] = {0, 1, 5, 4, 6, 7, 2, 3};
    for (int c = 0; c < kOutputChannels; ++c) {
        image.SetInt(fields::outRole, c, roles[c]);
    }
    ASSERT_TRUE(WriteModeFile(Path("m.amod"), image).ok());
    const Result r = Kvctl({"eq", "import", Filter("apo-channels.txt"), "--file", Path("m.amod"),
                            "--json", "--dry-run"});
    ASSERT_EQ(r.code, kExitOk) << r.err;
    const auto json = nlohmann::json::parse(r.out);
    std::vector<std::string> names;
    for (const auto& e : json["equalisers"]) {
        names.push_back(e["equaliser"]);
    }
    // "Channel: L R", "Channel: 2 C" (R and C), "Channel: LFE"; "Channel: all" picks none.
    EXPECT_EQ(names, (std::vector<std::string>{"CH1", "CH2", "CH3", "CH4"}));
    EXPECT_EQ(json["equalisers"][2]["gainPercent"]["after"], 40); // C: -6.5 and -1.5 dB
}

TEST_F(KvctlEqFile, ExportedBandsImportOntoAnotherChannelUnchanged) {
    ASSERT_EQ(Kvctl({"eq", "import", Filter("apo-channels.txt"), "--channel", "CH1", "--file",
                     Path("m.amod")})
                  .code,
              kExitOk);
    for (const char* format : {"apo", "rew"}) {
        const Result out = Kvctl({"eq", "export", "--channel", "CH1", "--format", format, "--file",
                                  Path("m.amod"), Path("ch1.txt")});
        ASSERT_EQ(out.code, kExitOk) << out.err;
        const Result in = Kvctl({"eq", "import", Path("ch1.txt"), "--channel", "CH7", "--file",
                                 Path("m.amod")});
        ASSERT_EQ(in.code, kExitOk) << in.err;
        for (int b = 0; b < 10; ++b) {
            const EqBand x = Band("m.amod", 7, b);
            const EqBand y = Band("m.amod", 13, b);
            EXPECT_EQ(x.type, y.type) << format << " band " << b + 1;
            EXPECT_EQ(x.gainDb, y.gainDb) << format << " band " << b + 1;
            EXPECT_EQ(x.freqHz, y.freqHz) << format << " band " << b + 1;
            EXPECT_EQ(x.q, y.q) << format << " band " << b + 1;
        }
    }
    const Result printed = Kvctl({"eq", "export", "--channel", "CH1", "--file", Path("m.amod")});
    EXPECT_NE(printed.out.find("Filter 3: ON LSC Fc 300 Hz Gain 5 dB Q 0.669"), std::string::npos)
        << printed.out;
}

TEST_F(KvctlEqFile, ImportOnTheProcessorWritesEachChangedBandOnce) {
    // Each band the report lists as changed goes out as a store write and a biquad command;
    // a dry run sends nothing after the read-all.
    for (const bool dryRun : {false, true}) {
        std::vector<std::string> args = {"--sim",     "--trace", Path("t.txt"),
                                         "eq",        "import",  Filter("rew-generic.txt"),
                                         "--channel", "CH1",     "--json"};
        if (dryRun) {
            args.push_back("--dry-run");
        }
        const Result r = Kvctl(args);
        ASSERT_EQ(r.code, kExitOk) << r.err;
        const std::size_t changed =
            nlohmann::json::parse(r.out)["equalisers"][0]["changedBands"].size();
        EXPECT_GE(changed, 9u);
        const std::size_t commands = dryRun ? 0 : 2 * changed;
        std::vector<std::string> sent;
        std::istringstream trace(Slurp(Path("t.txt")));
        for (std::string line; std::getline(trace, line);) {
            if (line.rfind("> ", 0) == 0) {
                sent.push_back(line.substr(2, 11));
            }
        }
        ASSERT_EQ(sent.size(), 68u + commands + 1u) << r.out;
        if (commands > 0) {
            EXPECT_EQ(sent[68], "85 01 96 07"); // store write of CH1 band 1, record 58
        }
    }
}

} // namespace
} // namespace kv::cli
