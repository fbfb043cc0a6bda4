// kvctl's live commands end to end: the kvctl and kvsim programs on a temporary bus.
#include "RoundTrip.h"

#include "image/MainFields.h"
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
#include <map>
#include <random>
#include <set>
#include <spawn.h>
#include <sstream>
#include <string>
#include <sys/socket.h>
#include <sys/un.h>
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
    const bool volumesSent = before["machineSettings"]["volumeSaveMode"] == 1;
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
    EXPECT_EQ(m2["main"]["micToChannelB"][0], 1); // a switch, as get prints it
    EXPECT_NEAR(m2["main"]["exciterLowFreq"].get<double>(), 120.005, 1e-4);
    EXPECT_EQ(m2["bands"]["4"][0]["gainDb"], 3.0); // music band 0
    EXPECT_EQ(m2["bands"]["4"][0]["freqHz"], 1000);
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
        {"set micVolume 50.5", 4}, // between steps: taken as 51, then no processor
        {"set micVolme 50", 2},
        {"set micMute maybe", 2},
        {"set outRole[0] CH-XX", 2},
        {"eq music 0 0 1000 1 PEQ", 2}, // named equalisers count bands from 1
        {"eq music 11 0 1000 1 PEQ", 2},
        {"eq music 1 0 1000 1 BOGUS", 2},
        {"eq music 1 3Hz 1000 1 PEQ", 2},
        {"eq music 1 +3dB 2k 1.4 peq", 4},
        {"mode recall M5", 2},
        {"mode recall M2", 4},
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
        EXPECT_NE(r.err.find("the processor speaks version 17, this program needs version 18"),
                  std::string::npos)
            << r.err;
    }
    {
        Kvsim sim(dir, {"--model", "XYZ"});
        ASSERT_TRUE(sim.Ready());
        const Result r = Kvctl(dir, "info");
        EXPECT_EQ(r.code, 3);
        EXPECT_NE(r.err.find("the processor is a 'XYZ', this program works with KV5930Q or RS483"),
                  std::string::npos)
            << r.err;
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

/// The files in the directory, apart from kvctl's captured output.
std::vector<std::string> FilesIn(const TempDir& dir) {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(dir.Path())) {
        const std::string name = e.path().filename().string();
        if (name != "stdout.txt" && name != "stderr.txt") {
            names.push_back(name);
        }
    }
    return names;
}

TEST(KvctlReference, HelpOfEveryCommandExitsZeroAndTouchesNothing) {
    TempDir dir;
    const char* commands[] = {"list",  "info",   "dump",      "fields",   "get",
                              "watch", "load",   "save",      "set",      "eq",
                              "mode",  "biquad", "amod show", "amod new", "amod convert"};
    for (const std::string command : commands) {
        // The help option anywhere, with arguments that would otherwise write files and
        // store modes: nothing may run.
        for (const std::string& args :
             {"--sim --trace t.txt " + command + " --help", command + " x.amod -h --sim",
              "--help " + command + " x.amod y.amod"}) {
            const Result r = Kvctl(dir, args);
            EXPECT_EQ(r.code, 0) << args << ": " << r.err;
            EXPECT_EQ(r.out.rfind("usage: kvctl " + command, 0), 0u) << args << ": " << r.out;
            EXPECT_TRUE(FilesIn(dir).empty()) << args;
        }
        const Result bad = Kvctl(dir, "--sim --trace t.txt " + command + " --frobnicate");
        EXPECT_EQ(bad.code, 2) << command;
        EXPECT_NE(bad.err.find("unknown option '--frobnicate'"), std::string::npos) << bad.err;
        EXPECT_TRUE(FilesIn(dir).empty()) << command;
    }
    EXPECT_EQ(Kvctl(dir, "--version").out.rfind("kvctl ", 0), 0u);
}

TEST(KvctlReference, OutOfRangeSetExitsTwoAndSendsNothing) {
    TempDir dir;
    for (const char* args : {"micVolume 999", "micVolume -5", "micVolume 100000",
                             "outDelay[0] 9999", "outDelay[0] 1.4", "echoStartVol[1] 39",
                             "outGain[4] 101", "musicInputLimiter[1] 0.5", "micShiftFreqA 0"}) {
        const Result r = Kvctl(dir, std::string("--sim --trace t.txt set ") + args);
        EXPECT_EQ(r.code, 2) << args;
        EXPECT_NE(r.err.find("out of range"), std::string::npos) << args << ": " << r.err;
        EXPECT_TRUE(FilesIn(dir).empty()) << args << ": the simulator was started";
    }
    // In range, the same command line does reach the simulator.
    ASSERT_EQ(Kvctl(dir, "--sim --trace t.txt set micVolume 100").code, 0);
    EXPECT_FALSE(Slurp(dir / "t.txt").empty());
}

TEST(KvctlReference, FieldsJsonListsEverySettableFieldOnce) {
    TempDir dir;
    const Result r = Kvctl(dir, "fields --json");
    ASSERT_EQ(r.code, 0) << r.err;
    const auto json = nlohmann::json::parse(r.out, nullptr, false);
    ASSERT_TRUE(json.is_array());
    std::set<std::string> names;
    for (const auto& item : json) {
        const std::string name = item["name"];
        EXPECT_TRUE(names.insert(name).second) << name << " listed twice";
        const MainField* field = FindMainField(name);
        ASSERT_NE(field, nullptr) << name;
        EXPECT_EQ(item["entries"], field->count) << name;
        const auto& ranges =
            item.contains("ranges") ? item["ranges"] : nlohmann::json::array({item});
        for (const auto& range : ranges) {
            EXPECT_LT(range["min"].get<double>(), range["max"].get<double>()) << name;
        }
    }
    // Every field but the copy of the bass-boost switch, which no command carries.
    EXPECT_EQ(names.size(), AllMainFields().size() - 1);
    EXPECT_FALSE(names.contains("micBassBoostOnCopy"));
}

TEST(KvctlReference, GetAfterSetRoundTrips) {
    TempDir dir;
    Kvsim sim(dir, {});
    ASSERT_TRUE(sim.Ready());
    const std::pair<const char*, const char*> cases[] = {
        {"micVolume", "42"},
        {"outDelay[3]", "12.5"},
        {"echoTime[0]", "130"},
        {"outGain[5]", "450"},
        {"reverbTime[1]", "1875"},
        {"micToChannelA[2]", "0"},
        {"outCompThreshold[6]", "-20"},
    };
    for (const auto& [field, value] : cases) {
        ASSERT_EQ(Kvctl(dir, std::string("set ") + field + " " + value).code, 0) << field;
        const Result got = Kvctl(dir, std::string("get ") + field);
        EXPECT_EQ(got.code, 0) << field << ": " << got.err;
        EXPECT_EQ(got.out, std::string(value) + "\n") << field;
    }
    // From a file, without a processor.
    ASSERT_EQ(Kvctl(dir, "amod new d.amod").code, 0);
    const Result file = Kvctl(dir, "get --file d.amod echoTime[1] echoStartVol[0]");
    EXPECT_EQ(file.code, 0) << file.err;
    EXPECT_EQ(file.out, "echoTime[1] = 217\nechoStartVol[0] = 60\n");
}

TEST(KvctlReference, DeviceChoosesOneOfTwoProcessors) {
    TempDir dir;
    ParamImage a;
    a.InitDefaults();
    a.SetInt(fields::micVolume, 0, 11);
    ASSERT_TRUE(WriteModeFile(dir / "a.amod", a).ok());
    a.SetInt(fields::micVolume, 0, 22);
    ASSERT_TRUE(WriteModeFile(dir / "b.amod", a).ok());
    Kvsim simA(dir, {"--name", "a", "--state", dir / "a.amod"});
    Kvsim simB(dir, {"--name", "b", "--state", dir / "b.amod"});
    ASSERT_TRUE(simA.Ready() && simB.Ready());
    for (int round = 0; round < 2; ++round) { // either order of the options
        const Result ra = Kvctl(dir, round == 0 ? "--device " + simA.Socket() + " get micVolume"
                                                : "get micVolume --device=" + simA.Socket());
        EXPECT_EQ(ra.out, "11\n") << ra.err;
        const Result rb = Kvctl(dir, "get micVolume --device " + simB.Socket());
        EXPECT_EQ(rb.out, "22\n") << rb.err;
    }
    EXPECT_EQ(Kvctl(dir, "--device " + (dir / "bus/none.sock") + " info").code, 4);
}

TEST(KvctlReference, ListSkipsStaleSockets) {
    TempDir dir;
    fs::create_directories(dir / "bus");
    // A socket file without a listener, as a crashed simulator leaves it.
    const std::string stale = dir / "bus/1209-0001-crashed.sock";
    const int fd = ::socket(AF_UNIX, SOCK_SEQPACKET, 0);
    ASSERT_GE(fd, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::snprintf(address.sun_path, sizeof address.sun_path, "%s", stale.c_str());
    ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ::close(fd);
    ASSERT_TRUE(fs::exists(stale));

    const Result none = Kvctl(dir, "list");
    EXPECT_EQ(none.code, 4);
    EXPECT_EQ(none.out, "");
    const Result verbose = Kvctl(dir, "list --verbose");
    EXPECT_NE(verbose.err.find("skipped " + stale), std::string::npos) << verbose.err;

    Kvsim sim(dir, {});
    ASSERT_TRUE(sim.Ready());
    const Result one = Kvctl(dir, "list --json");
    EXPECT_EQ(one.code, 0) << one.err;
    const auto json = nlohmann::json::parse(one.out, nullptr, false);
    ASSERT_TRUE(json.is_array());
    ASSERT_EQ(json.size(), 1u) << one.out;
    EXPECT_EQ(json[0]["path"], sim.Socket());
}

TEST(KvctlReference, ASecondProgramOnTheProcessorIsToldWhoHasIt) {
    TempDir dir;
    Kvsim sim(dir, {});
    ASSERT_TRUE(sim.Ready());
    // This test process takes the processor first, as another kvctl or window would.
    const int owner = ::socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0);
    ASSERT_GE(owner, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::snprintf(address.sun_path, sizeof address.sun_path, "%s", sim.Socket().c_str());
    ASSERT_EQ(::connect(owner, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    char greeting[64] = {};
    ASSERT_GT(::recv(owner, greeting, sizeof greeting - 1, 0), 0);
    EXPECT_STREQ(greeting, "KVBUS/1 OK");

    const std::string ownerText = "(process " + std::to_string(::getpid()) + ")";
    for (const char* args : {"info", "set micVolume 50", "save busy.amod"}) {
        const Result busy = Kvctl(dir, args);
        EXPECT_EQ(busy.code, 4) << args;
        EXPECT_NE(
            busy.err.find("kvctl: busy: the processor is in use by another program " + ownerText),
            std::string::npos)
            << args << ": " << busy.err;
    }
    EXPECT_FALSE(fs::exists(dir / "busy.amod"));
    const Result listed = Kvctl(dir, "list");
    EXPECT_EQ(listed.code, 0) << listed.err;
    EXPECT_NE(listed.out.find(sim.Socket()), std::string::npos) << listed.out;
    EXPECT_NE(listed.out.find("busy: the processor is in use by another program " + ownerText),
              std::string::npos)
        << listed.out;
    const auto listedJson = nlohmann::json::parse(Kvctl(dir, "list --json").out, nullptr, false);
    ASSERT_TRUE(listedJson.is_array() && listedJson.size() == 1u) << listedJson;
    EXPECT_EQ(listedJson[0]["busy"], true);

    ::close(owner); // the first program goes: the next one is served at once
    const Result info = Kvctl(dir, "info");
    EXPECT_EQ(info.code, 0) << info.err;
}

TEST(KvctlReference, SetTakesTheFormsTheApplicationShowsAndGetAndDumpAgree) {
    TempDir dir;
    Kvsim sim(dir, {});
    ASSERT_TRUE(sim.Ready());
    struct Case {
        const char* set;   // FIELD VALUE as typed
        const char* field; // the field as get names it
        const char* shown; // what set prints
        const char* read;  // what get and dump then show (null: the same)
    };
    const Case cases[] = {
        // Between steps: sent as typed, 592 samples, which the processor holds as 12.333 ms.
        {"OUTDELAY[1] 12.34ms", "outDelay[1]", "12.34", "12.333333"},
        {"micVolume 50.4", "micVolume", "50", nullptr}, // the nearest whole percent
        {"exciterMidFreq 2k", "exciterMidFreq", "2000", "2000.005"},
        {"outCompThreshold[0] -20dB", "outCompThreshold[0]", "-20", nullptr},
        {"outCompRatio[0] 4:1", "outCompRatio[0]", "4", nullptr},
        {"musicVolume 85%", "musicVolume", "85", nullptr},
        {"micMute on", "micMute", "1", nullptr},
        {"micToChannelA[1] off", "micToChannelA[1]", "0", nullptr},
        {"echoMute YES", "echoMute", "1", nullptr},
        {"outRole[2] ch-sbl", "outRole[2]", "CH-SBL", nullptr},
        {"outRole[3] 5", "outRole[3]", "CH-CEN", nullptr},
        {"musicSource Bluetooth", "musicSource", "Bluetooth", nullptr},
        {"reverbTime[0] 2520ms", "reverbTime[0]", "2520", nullptr},
        {"reverbTime[0] '1.2 s'", "reverbTime[0]", "1181", nullptr}, // the nearest step: 23
        {"reverbTime[1] 37", "reverbTime[1]", "1875", nullptr},      // the old step form
    };
    for (const Case& c : cases) {
        const Result set = Kvctl(dir, std::string("set ") + c.set);
        ASSERT_EQ(set.code, 0) << c.set << ": " << set.err;
        EXPECT_EQ(set.out, std::string(c.field) + " = " + c.shown + "\n") << c.set;
        const Result got = Kvctl(dir, std::string("get ") + c.field);
        EXPECT_EQ(got.out, std::string(c.read ? c.read : c.shown) + "\n")
            << c.set << ": " << got.err;
    }
    // dump shows the last value set of each field as get does.
    std::map<std::string, std::string> last;
    for (const Case& c : cases) {
        last[c.field] = c.read ? c.read : c.shown;
    }
    const auto dump = Dump(dir);
    ASSERT_FALSE(dump.is_discarded());
    for (const auto& [field, shown] : last) {
        const auto open = field.find('[');
        auto value = dump["main"][field.substr(0, open)];
        if (open != std::string::npos) {
            value = value[std::stoul(field.substr(open + 1))];
        }
        EXPECT_EQ(value.is_string() ? value.get<std::string>() : value.dump(), shown) << field;
    }
    // A delay typed between steps is sent as the application sends it: 12.34 ms, 592 samples.
    const Result traced = Kvctl(dir, "--sim --trace t.txt set outDelay[0] 12.34");
    ASSERT_EQ(traced.code, 0) << traced.err;
    EXPECT_NE(Slurp(dir / "t.txt").find("> 09 00 05 12 01 00 00 02 50 00"), std::string::npos)
        << Slurp(dir / "t.txt");
}

TEST(KvctlReference, EqTakesNamedEqualisersWithTheBandsTheApplicationShows) {
    TempDir dir;
    Kvsim sim(dir, {});
    ASSERT_TRUE(sim.Ready());
    for (const char* args : {"eq music 1 +3dB 1kHz 1.414 PEQ", "eq CH2 10 0 2.5k 0.7 lp",
                             "eq echoB 7 -4 500Hz 2 HS", "eq 4 9 1.5 8000 1 4"}) {
        const Result r = Kvctl(dir, args);
        EXPECT_EQ(r.code, 0) << args << ": " << r.err;
    }
    const auto dump = Dump(dir);
    ASSERT_FALSE(dump.is_discarded());
    const auto expect = [&](const char* group, int band, double gain, int freq, int type) {
        const auto& b = dump["bands"][group][band];
        EXPECT_NEAR(b["gainDb"].get<double>(), gain, 0.05) << group << " " << band;
        EXPECT_EQ(b["freqHz"], freq) << group << " " << band;
        EXPECT_EQ(b["type"], type) << group << " " << band;
    };
    expect("4", 0, 3.0, 1000, 1);  // music band 1
    expect("6", 9, 0.0, 2500, 2);  // CH2's crossover, the list's row 10
    expect("2", 13, -4.0, 500, 5); // echo B's band 7
    expect("4", 9, 1.5, 8000, 4);  // the older form: group 4, band 9 from 0
}

TEST(KvctlReference, MistypedFieldsGetTheNearestNameAndAProcessorLostIsSaidOnce) {
    TempDir dir;
    const Result typo = Kvctl(dir, "set micVolme 50");
    EXPECT_EQ(typo.code, 2);
    EXPECT_NE(typo.err.find("unknown field 'micVolme'; did you mean micVolume?"), std::string::npos)
        << typo.err;
    const Result far = Kvctl(dir, "get qqqqqqqq");
    EXPECT_EQ(far.err.find("did you mean"), std::string::npos) << far.err;
    const Result choice = Kvctl(dir, "set musicSource CD");
    EXPECT_NE(choice.err.find("SPDIF1, SPDIF2, HDMI, Bluetooth, AUX, AUX2"), std::string::npos)
        << choice.err;

    // The processor goes away after the read-all, while the setting is sent.
    const Result lost = Kvctl(dir, "--sim --sim-fault disconnect-after=69 set micVolume 50");
    EXPECT_EQ(lost.code, 4) << lost.err;
    std::size_t said = 0;
    for (auto at = lost.err.find("processor lost"); at != std::string::npos;
         at = lost.err.find("processor lost", at + 1)) {
        ++said;
    }
    EXPECT_EQ(said, 1u) << lost.err;
}

} // namespace
} // namespace kv
