#include "Commands.h"
#include "ImageJson.h"
#include "image/ModeFile.h"
#include "image/ParamImage.h"
#include "protocol/BiquadDesigner.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace kv::cli {
namespace {

namespace fs = std::filesystem;

struct Result {
    int code;
    std::string out;
    std::string err;
};

/// Runs one kvctl command in-process, as `kvctl <words...>` would.
Result RunKvctl(const std::vector<std::string>& words) {
    std::ostringstream out;
    std::ostringstream err;
    Io io{out, err};
    const int code = Dispatch(words, io);
    return {code, out.str(), err.str()};
}

class KvctlOffline : public ::testing::Test {
protected:
    void SetUp() override {
        dir = fs::temp_directory_path() / ("kvctl-" + std::to_string(::getpid()));
        fs::create_directories(dir);
    }
    void TearDown() override { fs::remove_all(dir); }
    std::string Path(const char* name) const { return (dir / name).string(); }

    fs::path dir;
};

TEST_F(KvctlOffline, NewThenShowReproducesTheDefaults) {
    const auto made = RunKvctl({"amod", "new", Path("d.amod")});
    ASSERT_EQ(made.code, kExitOk) << made.err;
    EXPECT_EQ(fs::file_size(Path("d.amod")), kModeFileSize);

    const auto shown = RunKvctl({"amod", "show", Path("d.amod")});
    ASSERT_EQ(shown.code, kExitOk) << shown.err;
    const auto json = nlohmann::json::parse(shown.out);
    EXPECT_EQ(json["version"], 29);

    // Every field and band as the defaults hold them, built independently of the file.
    ParamImage defaults;
    defaults.InitDefaults();
    const auto want = ImageToJson(defaults);
    EXPECT_EQ(json["main"], nlohmann::json::parse(want["main"].dump()));
    EXPECT_EQ(json["bands"].size(), 179u);
    EXPECT_EQ(json["main"]["echoTime"], nlohmann::json::parse("[217.0, 217.0]"));
    EXPECT_EQ(json["main"]["echoStartVol"], nlohmann::json::parse("[60, 60]"));
    EXPECT_EQ(json["main"]["outGain"].size(), 8u);
    EXPECT_EQ(
        json["bands"][26],
        nlohmann::json::parse(R"({"record":26,"gainDb":0.0,"freqHz":5000,"q":0.707,"type":2})"));
    EXPECT_EQ(json["bands"][178]["gainDb"], -15.0);
    EXPECT_EQ(json["routing"]["bytes"],
              nlohmann::json::parse("[4,4,0,0,138,10,0,10,10,10,138,138,0,138,10,138,133,0,5,0]"));
    EXPECT_EQ(json["routing"]["geometry"]["speakers"]["SL"]["x"], -0.5);
    EXPECT_EQ(json["tail"], nlohmann::json::parse("[0,0]"));
}

TEST_F(KvctlOffline, ConvertRewritesAnOldVersionAsVersion29) {
    // A version 2 file: main slots 0..195, records 0..177 and the extension block.
    std::vector<std::uint8_t> file = {2, 0, 0, 0};
    file.resize(4 + 784 + 1246 + 32, 0);
    file[4] = 85;                                  // micVolume
    file[4 + 784 + 7 * 48 + 6] = kFilterHighShelf; // music band 0 type
    file[4 + 784 + 1246] = 0xC0;                   // CH1 trim -2.0
    std::ofstream(Path("old.amod"), std::ios::binary)
        .write(reinterpret_cast<const char*>(file.data()), static_cast<long>(file.size()));

    const auto r = RunKvctl({"amod", "convert", Path("old.amod"), Path("new.amod")});
    ASSERT_EQ(r.code, kExitOk) << r.err;
    ParamImage image;
    ASSERT_TRUE(ReadModeFile(Path("new.amod"), image).ok());
    EXPECT_EQ(image.Int(fields::micVolume), 85);
    EXPECT_EQ(image.ReadBand(4, 0).type, kFilterHighShelf);
    EXPECT_EQ(image.ExtensionTrim(0), -2.0f);
    // Blocks version 2 does not hold keep their defaults.
    EXPECT_EQ(image.Geometry().width, 4);
    EXPECT_EQ(image.ReadRecord(178).type, 0);
    EXPECT_EQ(image.Float(fields::echoTime, 0), 0.0f); // slot 32 came from the file
}

TEST_F(KvctlOffline, BadInputExitsWithCode2AndAMessage) {
    std::ofstream(Path("v9.amod"), std::ios::binary).write("\x09\0\0\0", 4);
    ASSERT_EQ(::mkfifo(Path("fifo.amod").c_str(), 0600), 0);
    fs::create_directories(Path("folder.amod"));
    ::alarm(60); // a command blocked on the pipe ends the run instead of hanging it
    struct Case {
        std::vector<std::string> words;
        std::string message;
    };
    const Case cases[] = {
        {{"amod", "show", Path("missing.amod")}, "missing.amod"},
        {{"amod", "show", Path("v9.amod")}, "Mode file version not support!"},
        {{"amod", "show"}, "usage"},
        {{"amod", "convert", Path("missing.amod"), Path("x.amod")}, "missing.amod"},
        {{"amod", "show", Path("fifo.amod")}, "fifo.amod: not a regular file"},
        {{"amod", "show", Path("folder.amod")}, "folder.amod: not a regular file"},
        {{"amod", "convert", Path("fifo.amod"), Path("x.amod")}, "not a regular file"},
        {{"get", "micVolume", "--file", Path("fifo.amod")}, "not a regular file"},
        {{"load", Path("fifo.amod")}, "not a regular file"},
        {{"amod", "new", Path("folder.amod"), "--force"}, "folder.amod: Is a directory"},
        {{"amod", "new", Path("no/such/dir/x.amod")}, "x.amod"},
        {{"biquad", "1", "0", "1000"}, "usage"},
        {{"biquad", "peq", "0", "1000", "1"}, "TYPE"},
        {{"biquad", "1", "0", "1k", "1"}, "numbers"},
        {{"frobnicate"}, "unknown command"},
        {{}, "usage"},
    };
    for (const auto& c : cases) {
        const auto r = RunKvctl(c.words);
        EXPECT_EQ(r.code, kExitBadInput) << r.err;
        EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
        EXPECT_TRUE(r.out.empty());
    }
    ::alarm(0);
    EXPECT_FALSE(fs::exists(Path("x.amod")));
}

// JSON holds only UTF-8: a file name that is not UTF-8 appears with its odd bytes escaped.
TEST_F(KvctlOffline, ShowEscapesAFileNameThatIsNotUtf8) {
    const std::string name = Path("mode\xff\xfe.amod");
    ASSERT_EQ(RunKvctl({"amod", "new", name}).code, kExitOk);
    const auto shown = RunKvctl({"amod", "show", name});
    ASSERT_EQ(shown.code, kExitOk) << shown.err;
    const auto json = nlohmann::json::parse(shown.out);
    EXPECT_EQ(json["file"], Path("mode") + "\\xff\\xfe.amod");
}

/// Writes the first n bytes of a default version 29 file.
void WriteTruncated(const std::string& path, std::size_t n) {
    ParamImage image;
    image.InitDefaults();
    ASSERT_TRUE(WriteModeFile(path, image).ok());
    fs::resize_file(path, n);
}

// A file that ends early is shown with a warning naming what it lacked, and refused by load
// and convert unless --force (a converted file would hold defaults for it silently).
TEST_F(KvctlOffline, TruncatedFileIsReportedAndRefusedByLoadWithoutForce) {
    WriteTruncated(Path("cut.amod"), 4 + 912 + 84);
    const std::string note = "cut.amod ends 1223 bytes early; kept their old values: system "
                             "block bytes 84..1252, extension block, routing block, tail block";
    const auto shown = RunKvctl({"amod", "show", Path("cut.amod")});
    EXPECT_EQ(shown.code, kExitOk);
    EXPECT_NE(shown.err.find("warning: " + Path(note.c_str())), std::string::npos) << shown.err;
    const auto notConverted = RunKvctl({"amod", "convert", Path("cut.amod"), Path("whole.amod")});
    EXPECT_EQ(notConverted.code, kExitBadInput);
    EXPECT_NE(notConverted.err.find(note + " (--force converts it anyway)"), std::string::npos)
        << notConverted.err;
    EXPECT_FALSE(fs::exists(Path("whole.amod")));
    const auto converted =
        RunKvctl({"amod", "convert", "--force", Path("cut.amod"), Path("whole.amod")});
    EXPECT_EQ(converted.code, kExitOk) << converted.err;
    EXPECT_NE(converted.err.find("warning: " + Path(note.c_str())), std::string::npos)
        << converted.err;
    EXPECT_TRUE(fs::exists(Path("whole.amod")));

    const auto refused = RunKvctl({"--sim", "--trace", Path("t.txt"), "load", Path("cut.amod")});
    EXPECT_EQ(refused.code, kExitBadInput);
    EXPECT_NE(refused.err.find(note + " (--force loads it anyway)"), std::string::npos)
        << refused.err;
    EXPECT_FALSE(fs::exists(Path("t.txt"))); // refused before the processor was opened

    const auto forced =
        RunKvctl({"--sim", "--trace", Path("t.txt"), "load", "--force", Path("cut.amod")});
    EXPECT_EQ(forced.code, kExitOk) << forced.err;
    EXPECT_NE(forced.err.find(note), std::string::npos) << forced.err;
    EXPECT_EQ(forced.err.find(note), forced.err.rfind(note)) << "warned twice: " << forced.err;
    EXPECT_NE(forced.out.find("sent"), std::string::npos);
}

/// The commands sent in a simulator trace ("> " lines), as their code and first byte.
std::vector<std::string> SentCommands(const std::string& trace) {
    std::vector<std::string> sent;
    std::ifstream in(trace);
    for (std::string line; std::getline(in, line);) {
        if (line.rfind("> ", 0) == 0) {
            sent.push_back(line.substr(2, 5));
        }
    }
    return sent;
}

// save stores the current mode in the processor only when the file can be written.
TEST_F(KvctlOffline, SaveStoresTheModeOnlyWhenTheFileCanBeWritten) {
    fs::create_directories(Path("folder.amod"));
    struct Case {
        std::string target;
        int code;
        bool stored;
    };
    const Case cases[] = {
        {Path("no/such/dir/y.amod"), kExitBadInput, false},
        {Path("folder.amod"), kExitBadInput, false},
        {Path("y.amod"), kExitOk, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.target);
        fs::remove(Path("t.txt"));
        const auto r = RunKvctl({"--sim", "--trace", Path("t.txt"), "save", c.target});
        EXPECT_EQ(r.code, c.code) << r.err;
        const auto sent = SentCommands(Path("t.txt"));
        EXPECT_EQ(std::count(sent.begin(), sent.end(), "04 00"), c.stored ? 1 : 0);
        EXPECT_EQ(fs::is_regular_file(c.target), c.stored);
    }
}

TEST_F(KvctlOffline, BiquadPrintsTheFiveCoefficients) {
    const auto r = RunKvctl({"biquad", "1", "6", "1000", "1.414"});
    ASSERT_EQ(r.code, kExitOk);
    const Biquad want = DesignBiquad(1, 6, 1000, 1.414, 0);
    std::istringstream lines(r.out);
    std::vector<double> got;
    for (std::string line; std::getline(lines, line);) {
        got.push_back(std::stod(line));
    }
    EXPECT_EQ(got, (std::vector<double>{want.a1, want.a2, want.b0, want.b1, want.b2}));
    // %.17g round-trips doubles exactly.
    EXPECT_EQ(RunKvctl({"biquad", "4", "3", "100", "0.707", "-2"}).out.find("e+"),
              std::string::npos);
}

} // namespace
} // namespace kv::cli
