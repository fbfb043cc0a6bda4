// kvctl's live commands end to end: the kvctl and kvsim programs on a temporary bus.
#include "RoundTrip.h"

#include "image/ModeFile.h"
#include "image/ParamImage.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <random>
#include <spawn.h>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace kv {
namespace {

namespace fs = std::filesystem;

/// A scratch directory, removed with everything in it.
class TempDir {
public:
    TempDir() {
        std::string pattern = (fs::temp_directory_path() / "kvctl-live-XXXXXX").string();
        m_path = ::mkdtemp(pattern.data());
    }
    ~TempDir() {
        std::error_code ec;
        fs::remove_all(m_path, ec);
    }
    std::string operator/(const std::string& name) const { return (m_path / name).string(); }
    const fs::path& Path() const { return m_path; }

private:
    fs::path m_path;
};

struct Result {
    int code = -1;
    std::string out;
    std::string err;
};

std::string Slurp(const std::string& path) {
    std::ifstream in(path);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

/// Runs kvctl with the bus directory in its environment.
Result Kvctl(const TempDir& dir, const std::string& args) {
    const std::string out = dir / "stdout.txt";
    const std::string err = dir / "stderr.txt";
    const std::string command = "cd '" + dir.Path().string() + "' && KV_HID_BUS='" + (dir / "bus") +
                                "' '" KVCTL_PATH "' " + args + " > '" + out + "' 2> '" + err + "'";
    const int status = std::system(command.c_str());
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, Slurp(out), Slurp(err)};
}

/// A kvsim serving on the directory's bus until the object goes.
class Kvsim {
public:
    Kvsim(const TempDir& dir, std::vector<std::string> options) {
        std::vector<std::string> args = {KVSIM_PATH, "--bus", dir / "bus"};
        args.insert(args.end(), options.begin(), options.end());
        std::vector<char*> argv;
        for (auto& a : args) {
            argv.push_back(a.data());
        }
        argv.push_back(nullptr);
        int out[2];
        if (::pipe(out) != 0) {
            return;
        }
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
        posix_spawn_file_actions_addclose(&actions, out[0]);
        posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
        if (posix_spawn(&m_pid, argv[0], &actions, nullptr, argv.data(), environ) != 0) {
            m_pid = -1;
        }
        posix_spawn_file_actions_destroy(&actions);
        ::close(out[1]);
        // kvsim prints its socket path once it serves.
        std::string line;
        char c = 0;
        while (::read(out[0], &c, 1) == 1 && c != '\n') {
            line += c;
        }
        ::close(out[0]);
        m_ready = line.rfind("kvsim: ", 0) == 0;
        m_socket = m_ready ? line.substr(7) : "";
    }
    ~Kvsim() {
        if (m_pid > 0) {
            ::kill(m_pid, SIGTERM);
            int status = 0;
            ::waitpid(m_pid, &status, 0);
        }
    }
    bool Ready() const { return m_ready; }
    const std::string& Socket() const { return m_socket; }

private:
    pid_t m_pid = -1;
    bool m_ready = false;
    std::string m_socket;
};

nlohmann::json Dump(const TempDir& dir) {
    const Result r = Kvctl(dir, "dump");
    EXPECT_EQ(r.code, 0) << r.err;
    return nlohmann::json::parse(r.out, nullptr, false);
}

TEST(KvctlLiveTest, ListAndInfo) {
    TempDir dir;
    Kvsim sim(dir, {"--name", "unit"});
    ASSERT_TRUE(sim.Ready());
    const Result list = Kvctl(dir, "list");
    EXPECT_EQ(list.code, 0) << list.err;
    EXPECT_NE(list.out.find(sim.Socket()), std::string::npos) << list.out;
    const Result info = Kvctl(dir, "info");
    EXPECT_EQ(info.code, 0) << info.err;
    EXPECT_NE(info.out.find("Module:KV5930Q\n"), std::string::npos) << info.out;
    EXPECT_NE(info.out.find(" CMD Ver:18\n"), std::string::npos) << info.out;
}

TEST(KvctlLiveTest, LoadThenSaveReproducesTheFile) {
    TempDir dir;
    Kvsim sim(dir, {});
    ASSERT_TRUE(sim.Ready());
    ParamImage x;
    std::mt19937 rng(77);
    test::FillRandomImage(x, rng);
    ASSERT_TRUE(WriteModeFile(dir / "x.amod", x).ok());

    // The processor keeps its own master volumes unless its settings keep them with modes.
    const auto before = Dump(dir);
    ASSERT_FALSE(before.is_discarded());
    const bool volumesSent = before["machineSettings"][0] == 1;
    const Result load = Kvctl(dir, "load x.amod");
    ASSERT_EQ(load.code, 0) << load.err;
    const Result save = Kvctl(dir, "save y.amod");
    ASSERT_EQ(save.code, 0) << save.err;

    ParamImage y;
    ASSERT_TRUE(ReadModeFile(dir / "y.amod", y).ok());
    ParamImage expected;
    test::ExpectedAfterWriteAll(x, volumesSent, before["main"]["micVolume"],
                                before["main"]["musicVolume"], expected);
    test::ExpectReadBackMatches(expected, y);
}

TEST(KvctlLiveTest, SetEqAndModeChangeTheProcessor) {
    TempDir dir;
    Kvsim sim(dir, {});
    ASSERT_TRUE(sim.Ready());
    for (const char* args :
         {"set outGain[5] 450", "set echoTime[1] 130", "set micToChannelA[0] 0",
          "set exciterLowFreq 120", "eq 4 0 2.96 1000 1.414 1", "mode store 2", "mode recall 3"}) {
        const Result r = Kvctl(dir, args);
        EXPECT_EQ(r.code, 0) << args << ": " << r.err;
    }
    const auto dump = Dump(dir);
    ASSERT_FALSE(dump.is_discarded());
    // The recall of M3 brought M3's stored parameters; store M2 held the changes.
    EXPECT_EQ(dump["currentMode"], 3);
    const Result recall = Kvctl(dir, "mode recall 2");
    ASSERT_EQ(recall.code, 0) << recall.err;
    const auto m2 = Dump(dir);
    EXPECT_EQ(m2["currentMode"], 2);
    EXPECT_EQ(m2["main"]["outGain"][5], 450);
    EXPECT_EQ(m2["main"]["echoTime"][1], 130.0);
    EXPECT_EQ(m2["main"]["micToChannelA"][0], 0);
    EXPECT_EQ(m2["main"]["micToChannelB"][0], 100);
    EXPECT_NEAR(m2["main"]["exciterLowFreq"].get<double>(), 120.005, 1e-4);
    EXPECT_EQ(m2["bands"][48]["gainDb"], 3.0);
    EXPECT_EQ(m2["bands"][48]["freqHz"], 1000);
}

TEST(KvctlLiveTest, ExitCodes) {
    TempDir dir;
    struct Case {
        std::string args;
        int code;
    };
    const Case noProcessor[] = {
        {"list", 4},
        {"info", 4},
        {"set micVolume 50", 4},
        {"set nosuchfield 1", 2},
        {"set outGain 1", 2}, // needs an index
        {"set outGain[8] 1", 2},
        {"set autoSubOn 256", 2},
        {"set micVolume 999", 2}, // out of range: refused before connecting
        {"set micVolume -5", 2},
        {"set micVolume 100000", 2},
        {"set micVolume 50.5", 2},
        {"set outDelay[0] 9999", 2},
        {"set outGain[4] 450", 2},       // only CH6 goes to 500 %
        {"set micBassBoostOnCopy 1", 2}, // not sent to the processor
        {"load missing.amod", 2},
        {"load", 2},
        {"eq 4 10 0 1000 1 1", 2},
        {"eq 1 0 20 1000 1 1", 2},
        {"mode recall 5", 2},
        {"mode jump 1", 2},
        {"--trace t.txt info", 2},
        {"--sim-comm-version x --sim info", 2},
        {"--sim --sim-comm-version 17 info", 3},
        {"--sim --sim-model MX2240 info", 3},
        {"--sim info", 0},
    };
    for (const auto& c : noProcessor) {
        const Result r = Kvctl(dir, c.args);
        EXPECT_EQ(r.code, c.code) << c.args << ": " << r.err;
    }
    {
        Kvsim sim(dir, {"--comm-version", "17"});
        ASSERT_TRUE(sim.Ready());
        const Result r = Kvctl(dir, "info");
        EXPECT_EQ(r.code, 3);
        EXPECT_NE(r.err.find("机器与软件通信版本不匹配，请使用机器配套软件!"), std::string::npos);
    }
    {
        Kvsim sim(dir, {"--model", "XYZ"});
        ASSERT_TRUE(sim.Ready());
        const Result r = Kvctl(dir, "info");
        EXPECT_EQ(r.code, 3);
        EXPECT_NE(r.err.find("机器型号与软件不匹配!"), std::string::npos);
    }
    {
        Kvsim sim(dir, {"--disconnect-after", "30"});
        ASSERT_TRUE(sim.Ready());
        EXPECT_EQ(Kvctl(dir, "info").code, 4);
    }
}

TEST(KvctlLiveTest, InProcessSimulatorWithTraceAndState) {
    TempDir dir;
    ParamImage x;
    std::mt19937 rng(5);
    test::FillRandomImage(x, rng);
    ASSERT_TRUE(WriteModeFile(dir / "x.amod", x).ok());

    const Result load = Kvctl(dir, "--sim --trace t.txt load x.amod");
    ASSERT_EQ(load.code, 0) << load.err;
    std::ifstream trace(dir / "t.txt");
    std::vector<std::string> sent;
    for (std::string line; std::getline(trace, line);) {
        if (line.rfind("> ", 0) == 0) {
            sent.push_back(line.substr(2, 11));
        }
    }
    // Read-all (68 commands), the write-all (456 without the volume ramp), goodbye.
    ASSERT_EQ(sent.size(), 68u + 456u + 1u);
    EXPECT_EQ(sent[67], "62 00 00 00");
    EXPECT_EQ(sent[68], "09 00 01 1A"); // the write-all starts with the switches
    EXPECT_EQ(sent[68 + 455], "0A 00 04 0C");
    EXPECT_EQ(sent.back(), "8A 00 00 00");

    const Result save = Kvctl(dir, "--sim --sim-state x.amod save y.amod");
    ASSERT_EQ(save.code, 0) << save.err;
    ParamImage y;
    ASSERT_TRUE(ReadModeFile(dir / "y.amod", y).ok());
    test::ExpectReadBackMatches(x, y);
}

} // namespace
} // namespace kv
