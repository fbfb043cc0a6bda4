// A faulty processor against every operation that reads or writes it as a whole: each
// either completes with exactly the content a fault-free run gives, or fails cleanly with
// the right message and exit code and leaves nothing half-written.
#include "Commands.h"
#include "ImageCases.h"

#include "image/ModeFile.h"
#include "image/ParamImage.h"
#include "link/ConnectionState.h"
#include "link/Link.h"
#include "protocol/Dispatcher.h"
#include "protocol/Synchronize.h"
#include "sim/InProcessBus.h"
#include "sim/Simulator.h"
#include "support/TestReceiver.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

namespace kv::test {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

/// The answer wait of these tests: short, so a lost answer costs little.
constexpr auto kAnswerWait = 60ms;
/// Commands of a complete read-all: identification, 7, 149, 126, 59 store reads, 146, 98.
constexpr int kReadAllCommands = 68;

enum class Op { ReadAll, WriteAll, Save, Dump, Set, Load };

const char* Name(Op op) {
    switch (op) {
    case Op::ReadAll:
        return "read-all";
    case Op::WriteAll:
        return "write-all";
    case Op::Save:
        return "kvctl save";
    case Op::Dump:
        return "kvctl dump";
    case Op::Set:
        return "kvctl set";
    case Op::Load:
        return "kvctl load";
    }
    return "?";
}

/// What one operation left behind.
struct Outcome {
    int code = -1; ///< exit code (0 when a procedure completed, 4 when not)
    std::string out;
    std::string err;
    std::string savedFile; ///< the bytes kvctl save wrote ("" when none)
    bool fileWritten = false;
    sim::ParamSet live;     ///< the processor's parameters afterwards
    sim::ParamSet stored;   ///< the stored setting of its current mode afterwards
    std::string imageBytes; ///< the application's image as a mode file, afterwards
};

std::string Slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

/// Procedure results as the messages kvctl prints for them.
std::string Describe(ReadAllResult r) {
    switch (r) {
    case ReadAllResult::Done:
        return "";
    case ReadAllResult::Disconnected:
        return "processor lost";
    case ReadAllResult::NoAnswer:
        return "no answer";
    case ReadAllResult::Incomplete:
        return "incomplete read";
    default:
        return "refused";
    }
}

std::string Describe(WriteAllResult r) {
    switch (r) {
    case WriteAllResult::Done:
        return "";
    case WriteAllResult::Disconnected:
        return "processor lost";
    case WriteAllResult::Incomplete:
        return "no answer";
    }
    return "?";
}

class FaultMatrix : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        s_dir = fs::temp_directory_path() / ("kv-fault-matrix-" + std::to_string(::getpid()));
        fs::create_directories(s_dir);
        auto varied = std::make_unique<ParamImage>();
        FillVaried(*varied);
        ASSERT_TRUE(WriteModeFile(StatePath(), *varied).ok());
        auto defaults = std::make_unique<ParamImage>();
        defaults->InitDefaults();
        ASSERT_TRUE(WriteModeFile(LoadPath(), *defaults).ok());
    }
    static void TearDownTestSuite() { fs::remove_all(s_dir); }

    void SetUp() override { SetAnswerWait(kAnswerWait); }
    void TearDown() override { SetAnswerWait(std::chrono::milliseconds(kAckWaitMs)); }

    static std::string StatePath() { return (s_dir / "state.amod").string(); }
    static std::string LoadPath() { return (s_dir / "load.amod").string(); }

    /// Runs op against a processor with the varied state and the given faults.
    Outcome Run(Op op, sim::SimOptions options) {
        options.statePath = StatePath();
        sim::Simulator simulator(options);
        auto bus = std::make_shared<sim::InProcessBus>();
        hid::SetHidBackends({bus});
        const std::string path = bus->Attach(simulator, "processor");
        GetParamImage().InitDefaults();
        TestReceiver receiver;
        SetLinkReceiver(&receiver);
        InstallReadAllStarter(); // the processor may ask for a read-all

        Outcome o;
        const std::string saved = (s_dir / "saved.amod").string();
        fs::remove(saved);
        if (op == Op::ReadAll || op == Op::WriteAll) {
            RunProcedure(op, receiver, o);
        } else {
            std::vector<std::string> words;
            switch (op) {
            case Op::Save:
                words = {"save", saved};
                break;
            case Op::Dump:
                words = {"dump"};
                break;
            case Op::Set:
                words = {"set", "musicVolume", "33"};
                break;
            default:
                words = {"load", LoadPath()};
                break;
            }
            std::ostringstream out;
            std::ostringstream err;
            cli::Io io{out, err};
            o.code = cli::Dispatch(words, io);
            o.out = out.str();
            o.err = err.str();
        }
        // A read-all the processor asked for ends before the image is looked at.
        EXPECT_TRUE(WaitForSyncThreads(30s));
        o.fileWritten = fs::exists(saved);
        o.savedFile = o.fileWritten ? Slurp(saved) : "";
        const std::string imageFile = (s_dir / "image.amod").string();
        EXPECT_TRUE(WriteModeFile(imageFile, GetParamImage()).ok());
        o.imageBytes = Slurp(imageFile);

        bus->Unplug(path);
        CloseUsbDevice();
        UnregisterUsbNotification();
        hid::SetHidBackends({});
        bus->Detach(path);
        SetLinkReceiver(nullptr);
        SetReadAllStarter(nullptr);
        simulator.Inspect([&o](const sim::SimProcessor& p) {
            o.live = p.Live();
            o.stored = p.Mode(p.CurrentMode());
            return 0;
        });
        return o;
    }

    static void RunProcedure(Op op, TestReceiver& receiver, Outcome& o) {
        InstallReportDispatcher();
        if (!ConnectUsbDevice(&receiver)) {
            o.err = "not connected";
            return;
        }
        if (op == Op::ReadAll) {
            o.err = Describe(SynchronizeReadThreadProc().result);
        } else {
            const ModeFileResult loaded = ReadModeFile(LoadPath(), GetParamImage());
            ASSERT_TRUE(loaded.ok());
            o.err = Describe(SynchronizeWriteThreadProc().result);
        }
        o.code = o.err.empty() ? 0 : 4;
    }

    /// The fault-free outcome of op, computed once.
    const Outcome& Reference(Op op) {
        auto it = s_references.find(op);
        if (it == s_references.end()) {
            it = s_references.emplace(op, Run(op, {})).first;
            EXPECT_EQ(it->second.code, 0) << Name(op) << ": " << it->second.err;
        }
        return it->second;
    }

    static fs::path s_dir;
    static std::map<Op, Outcome> s_references;
};

fs::path FaultMatrix::s_dir;
std::map<Op, Outcome> FaultMatrix::s_references;

/// "" where the operation must complete, else a text its failure message must contain.
struct Expect {
    std::map<Op, std::string> failures;
    std::string Of(Op op) const {
        const auto it = failures.find(op);
        return it == failures.end() ? "" : it->second;
    }
};

Expect AllFail(const std::string& text) {
    Expect e;
    for (Op op : {Op::ReadAll, Op::WriteAll, Op::Save, Op::Dump, Op::Set, Op::Load}) {
        e.failures[op] = text;
    }
    return e;
}

/// Only the operations that write the whole image reach the fault.
Expect WritesFail(const std::string& text) {
    return Expect{{{Op::WriteAll, text}, {Op::Load, text}}};
}

TEST_F(FaultMatrix, EachOperationCompletesExactlyOrFailsCleanly) {
    struct Fault {
        const char* name;
        std::function<void(sim::SimOptions&)> apply;
        Expect expect;
    };
    const Fault faults[] = {
        {"every 7th answer dropped", [](sim::SimOptions& o) { o.dropEvery = 7; }, {}},
        {"every 2nd answer dropped", [](sim::SimOptions& o) { o.dropEvery = 2; },
         AllFail("no answer")},
        {"answers later than the wait", [](sim::SimOptions& o) { o.latency = 3 * kAnswerWait; },
         AllFail("no answer")},
        {"unplugged during the read-all", [](sim::SimOptions& o) { o.disconnectAfter = 20; },
         AllFail("processor lost")},
        {"unplugged after the read-all",
         [](sim::SimOptions& o) { o.disconnectAfter = kReadAllCommands + 8; },
         WritesFail("processor lost")},
        {"read-all asked for during the read-all",
         [](sim::SimOptions& o) { o.reportAfter = 20; },
         {}},
        {"read-all asked for after the read-all",
         [](sim::SimOptions& o) { o.reportAfter = kReadAllCommands + 8; },
         {}},
        {"stops reading during the read-all", [](sim::SimOptions& o) { o.stopReadingAfter = 20; },
         AllFail("no answer")},
        {"stops reading after the read-all",
         [](sim::SimOptions& o) { o.stopReadingAfter = kReadAllCommands + 8; },
         WritesFail("no answer")},
    };
    const Op ops[] = {Op::ReadAll, Op::WriteAll, Op::Save, Op::Dump, Op::Set, Op::Load};

    for (const Fault& fault : faults) {
        for (Op op : ops) {
            SCOPED_TRACE(std::string(fault.name) + " x " + Name(op));
            const Outcome& ref = Reference(op);
            sim::SimOptions options;
            fault.apply(options);
            const Outcome got = Run(op, options);
            const std::string failure = fault.expect.Of(op);
            if (failure.empty()) {
                EXPECT_EQ(got.code, 0) << got.err;
                EXPECT_TRUE(got.live == ref.live) << "the processor holds what a fault-free run "
                                                     "leaves";
                EXPECT_TRUE(got.stored == ref.stored);
                EXPECT_EQ(got.out, ref.out);
                EXPECT_EQ(got.savedFile, ref.savedFile);
                if (op == Op::ReadAll) {
                    EXPECT_EQ(got.imageBytes, ref.imageBytes) << "the image read is the same";
                }
                continue;
            }
            EXPECT_EQ(got.code, 4);
            EXPECT_NE(got.err.find(failure), std::string::npos) << got.err;
            EXPECT_EQ(got.err.find("mismatch"), std::string::npos) << got.err;
            EXPECT_FALSE(got.fileWritten) << "no file from an incomplete read";
            EXPECT_EQ(got.out, "") << "no success reported";
            if (op == Op::ReadAll) {
                auto defaults = std::make_unique<ParamImage>();
                defaults->InitDefaults();
                const std::string file = (s_dir / "defaults.amod").string();
                ASSERT_TRUE(WriteModeFile(file, *defaults).ok());
                EXPECT_EQ(got.imageBytes, Slurp(file)) << "the image keeps what it had";
            }
        }
    }
}

} // namespace
} // namespace kv::test
