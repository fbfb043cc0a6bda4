#include "LiveCommands.h"

#include "LiveSession.h"
#include "LiveSupport.h"
#include "image/EqBand.h"
#include "image/FieldLimits.h"
#include "image/ModeFile.h"
#include "image/ParamImage.h"
#include "image/Text.h"
#include "image/TypedValue.h"
#include "link/ConnectionState.h"
#include "link/platform/HidBackend.h"
#include "link/platform/UsbId.h"
#include "protocol/CommandSink.h"
#include "protocol/Commands.h"
#include "protocol/Equaliser.h"
#include "protocol/ParamSenders.h"
#include "protocol/ParamTable.h"
#include "protocol/Synchronize.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cstring>
#include <functional>
#include <limits>
#include <ostream>
#include <string>
#include <thread>

namespace kv::cli {

namespace {

using namespace std::chrono_literals;

/// The processor asks for a read-all after a recall; it must end within the time the
/// application's synchronisation dialog allows.
constexpr auto kSyncTimeout = 30000ms;
constexpr auto kSelectStorePause = 20ms;

int SendModeCommand(int code, int mode) {
    return CommandSink().Write(BuildCommand({code, mode}));
}

int Load(Args args, Io& io) {
    const auto files = Positional(args);
    if (files.size() != 1) {
        return BadInput(io, "usage: kvctl load FILE.amod [--store-mode N] [--force]");
    }
    const std::string& path = files[0];
    std::optional<int> storeMode;
    if (const auto n = OptionValue("--store-mode")) {
        storeMode = ParseMode(*n);
        if (!storeMode) {
            return BadInput(io, "--store-mode needs a mode 1..4");
        }
    }
    // A bad file is refused before connecting, into a scratch image.
    const TruncatedFile truncated =
        HasOption("--force") ? TruncatedFile::Warn : TruncatedFile::Refuse;
    ParamImage scratch;
    if (!ReadModeFileFor(path, scratch, truncated, io)) {
        return kExitBadInput;
    }
    return RunLive(io, [&](LiveSession& session) -> int {
        // A read-all the processor asked for during the first one must end before the file
        // goes into the image, or it would overwrite the file's values before they are sent.
        if (!WaitForSyncThreads(kSyncTimeout)) {
            io.err << "kvctl: no answer: the processor's own read-all did not end\n";
            return kExitNoProcessor;
        }
        // The file may have changed since the check (its warnings were printed there).
        const ModeFileResult r = ReadModeFile(path, GetParamImage());
        if (!r.ok() || (r.truncated() && truncated == TruncatedFile::Refuse)) {
            return BadInput(io, path + ": changed since it was checked");
        }
        const WriteAllOutcome sent = SynchronizeWriteThreadProc();
        if (const int code = session.CheckAnswered(sent.failed, "the load"); code != kExitOk) {
            io.err << "kvctl: the processor may hold only part of " << path << "\n";
            return code;
        }
        if (storeMode) {
            AnsweredScope answered;
            g_nCurrentMode.store(*storeMode);
            SendModeCommand(kCmdSelectMode, *storeMode);
            std::this_thread::sleep_for(kSelectStorePause);
            SendModeCommand(kCmdStoreMode, *storeMode);
            if (const int code = session.CheckAnswered(answered.Failures(), "the store");
                code != kExitOk) {
                io.out << "sent " << path << " to the processor\n";
                return code;
            }
            io.out << "sent " << path << " to the processor\n"
                   << "stored into mode " << ModeLabel(*storeMode) << "\n";
            return kExitOk;
        }
        io.out << "sent " << path << " to the processor\n";
        return kExitOk;
    });
}

int Save(Args args, Io& io) {
    if (args.size() != 1) {
        return BadInput(io, "usage: kvctl save FILE.amod");
    }
    const std::string& path = args[0];
    // Nothing is stored in the processor unless the file can be written.
    ModeFileSave file(path);
    if (!file.Prepared().ok()) {
        return BadInput(io, path + ": " + std::strerror(file.Prepared().errorCode));
    }
    return RunLive(io, [&](LiveSession& session) -> int {
        const int mode = g_nCurrentMode.load();
        g_bParamChanged.store(0);
        {
            AnsweredScope answered;
            SendModeCommand(kCmdStoreMode, mode);
            if (const int code = session.CheckAnswered(answered.Failures(), "the store");
                code != kExitOk) {
                return code;
            }
        }
        const ModeFileResult r = file.Write(GetParamImage());
        if (!r.ok()) {
            return BadInput(io, path + ": " + std::strerror(r.errorCode));
        }
        io.out << "stored the current parameters into mode " << ModeLabel(mode) << " and wrote "
               << path << "\n";
        return kExitOk;
    });
}

int Set(Args args, Io& io) {
    if (args.size() != 2) {
        return BadInput(io, "usage: kvctl set FIELD[INDEX] VALUE");
    }
    const auto ref = ParseFieldRef(args[0], io);
    if (!ref) {
        return kExitBadInput;
    }
    if (!IsSent(*ref->field, ref->entry)) {
        return BadInput(io, std::string(ref->field->name) + " is not sent to the processor");
    }
    const auto value = SlotValue(*ref, args[1], io);
    if (!value) {
        return kExitBadInput;
    }
    return RunLive(io, [&](LiveSession& session) -> int {
        AnsweredScope answered;
        SetParam(*ref->field, ref->entry, *value);
        if (const int code = session.CheckAnswered(answered.Failures(), "the setting");
            code != kExitOk) {
            return code;
        }
        io.out << ref->field->name
               << (ref->field->count > 1 ? "[" + std::to_string(ref->entry) + "]" : "") << " = "
               << ValueText(GetParamImage(), *ref) << "\n";
        return kExitOk;
    });
}

constexpr const char* kFilterTypes =
    "types: OFF (0), PEQ (1, peaking), LP (2, low-pass), HP (3, high-pass), LS (4, low shelf), "
    "HS (5, high shelf), 6..21 crossover sections";
/// Type names 0..5 as the band list shows them in English.
constexpr std::array<std::string_view, 6> kTypeNames = {"OFF", "PEQ", "LP", "HP", "LS", "HS"};

/// An equaliser as the application shows it: a group of kvctl eq, its first band record
/// and how many bands the page lists (numbered from 1 there).
struct NamedEq {
    std::string_view name;
    int group;
    int first;
    int bands;
};
constexpr NamedEq kNamedEqs[] = {
    {"micA", 1, 0, 10},   {"micB", 1, 10, 10},  {"echoA", 2, 0, 7},  {"echoB", 2, 7, 7},
    {"reverbA", 3, 0, 7}, {"reverbB", 3, 7, 7}, {"music", 4, 0, 10}, {"CH1", 5, 0, 15},
    {"CH2", 6, 0, 15},    {"CH3", 7, 0, 15},    {"CH4", 8, 0, 15},   {"CH5", 9, 0, 15},
    {"CH6", 10, 0, 15},   {"CH7", 11, 0, 15},   {"CH8", 12, 0, 15},  {"bass", 14, 0, 1},
};

/// The number of bands of an equaliser group (0 when it has none).
int BandsOfGroup(int group) {
    int bands = 0;
    while (EqBandCommand(group, bands)) {
        ++bands;
    }
    return bands;
}

bool SameWord(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

/// GROUP BAND of kvctl eq: a named equaliser with its band as the page numbers it (1..), or
/// the group number 1..14 with its band from 0. Prints why and gives nullopt otherwise.
std::optional<std::pair<int, int>> ParseEqBand(const std::string& groupText,
                                               const std::string& bandText, Io& io) {
    for (const NamedEq& eq : kNamedEqs) {
        if (SameWord(groupText, eq.name)) {
            const auto band = ParseInt(bandText);
            if (!band || *band < 1 || *band > eq.bands) {
                BadInput(io, "BAND '" + bandText + "' is out of range: " + std::string(eq.name) +
                                 " has bands 1.." + std::to_string(eq.bands));
                return std::nullopt;
            }
            return std::pair{eq.group, eq.first + static_cast<int>(*band) - 1};
        }
    }
    const auto group = ParseInt(groupText);
    if (!group || *group < 1 || *group > 14 || BandsOfGroup(static_cast<int>(*group)) == 0) {
        BadInput(io, "GROUP '" + groupText +
                         "' is not an equaliser: micA, micB, echoA, echoB, reverbA, reverbB, "
                         "music, CH1..CH8, bass, or a group 1..12 or 14 (kvctl eq --help)");
        return std::nullopt;
    }
    const int bands = BandsOfGroup(static_cast<int>(*group));
    const auto band = ParseInt(bandText);
    if (!band || *band < 0 || *band >= bands) {
        BadInput(io, "BAND '" + bandText + "' is out of range: group " + groupText +
                         " has bands 0.." + std::to_string(bands - 1));
        return std::nullopt;
    }
    return std::pair{static_cast<int>(*group), static_cast<int>(*band)};
}

/// A filter type by its name in the band list (PEQ ...) or its code 0..21.
std::optional<int> ParseFilterType(const std::string& text) {
    for (std::size_t t = 0; t < kTypeNames.size(); ++t) {
        if (SameWord(text, kTypeNames[t])) {
            return static_cast<int>(t);
        }
    }
    const auto code = ParseInt(text);
    if (!code || *code < 0 || *code > kFilterLastType) {
        return std::nullopt;
    }
    return static_cast<int>(*code);
}

int Eq(Args args, Io& io) {
    constexpr const char* kUsage = "usage: kvctl eq GROUP BAND GAIN_DB FREQ_HZ Q TYPE";
    if (args.size() != 6) {
        return BadInput(io, kUsage);
    }
    const auto target = ParseEqBand(args[0], args[1], io);
    if (!target) {
        return kExitBadInput;
    }
    const auto [group, band] = *target;
    struct Number {
        const char* name;
        const std::string& text;
        double min, max;
        const char* unit;
    };
    const Number numbers[] = {
        {"GAIN_DB", args[2], -15, 15, "dB"},
        {"FREQ_HZ", args[3], 20, 20000, "Hz"},
        {"Q", args[4], 0.1, 30, ""},
    };
    double values[3] = {};
    for (std::size_t i = 0; i < std::size(numbers); ++i) {
        const Number& n = numbers[i];
        const TypedValue v = ReadTypedValue(n.text, n.unit);
        const std::string unit = *n.unit ? std::string(" ") + n.unit : "";
        if (!v.ok() || v.value < n.min || v.value > n.max) {
            return BadInput(io, std::string(n.name) + " '" + n.text + "' is out of range: " +
                                    NumberText(n.min) + ".." + NumberText(n.max) + unit);
        }
        values[i] = v.value;
    }
    const auto type = ParseFilterType(args[5]);
    if (!type) {
        return BadInput(io, "TYPE '" + args[5] + "' is not a filter type; " + kFilterTypes);
    }
    return RunLive(io, [&](LiveSession& session) -> int {
        AnsweredScope answered;
        WriteEqBand(group, band, values[0], values[1], values[2], *type);
        if (const int code = session.CheckAnswered(answered.Failures(), "the band");
            code != kExitOk) {
            return code;
        }
        const bool named = !ParseInt(args[0]);
        io.out << "band " << args[1] << " of " << (named ? args[0] : "group " + args[0])
               << " written\n";
        return kExitOk;
    });
}

int Mode(Args args, Io& io) {
    constexpr const char* kUsage = "usage: kvctl mode recall|store|factory N (N = 1..4 or M1..M4)";
    if (args.size() != 2) {
        return BadInput(io, kUsage);
    }
    const std::string& action = args[0];
    const auto mode = ParseMode(args[1]);
    if (!mode || (action != "recall" && action != "store" && action != "factory")) {
        return BadInput(io, kUsage);
    }
    return RunLive(io, [&](LiveSession& session) -> int {
        g_nCurrentMode.store(*mode);
        AnsweredScope answered;
        if (action == "store") {
            g_bParamChanged.store(0);
            SendModeCommand(kCmdStoreMode, *mode);
            if (const int code = session.CheckAnswered(answered.Failures(), "the store");
                code != kExitOk) {
                return code;
            }
            io.out << "stored the current parameters into mode " << ModeLabel(*mode) << "\n";
            return kExitOk;
        }
        session.ClearSyncs();
        SendModeCommand(action == "recall" ? kCmdRecallMode : kCmdFactoryMode, *mode);
        // The processor asks for a read-all (report 5 or 6), which the dispatcher starts.
        if (!session.WaitForSync(notice::SyncKind::ReadAll, kSyncTimeout)) {
            io.err << "kvctl: the processor did not ask for a read-all after the "
                   << (action == "recall" ? "recall" : "factory recall") << "\n";
            return kExitNoProcessor;
        }
        if (const int code = session.CheckReadAll(LastReadAll()); code != kExitOk) {
            return code;
        }
        io.out << (action == "recall" ? "recalled mode " : "recalled the factory setting of mode ")
               << ModeLabel(*mode) << "\n";
        return kExitOk;
    });
}

constexpr std::array kCommands = {
    Command{"", "load",
            "load FILE [--store-mode N] send a mode file to the processor (and store it)", Load,
            "Sends every parameter of FILE.amod to the processor (the same write-all the\n"
            "application runs). The processor keeps its own microphone and music volumes\n"
            "unless its machine settings keep volumes with each mode.\n"
            "options:\n"
            "  --store-mode N            then store the parameters into mode N (1..4 or\n"
            "                            M1..M4),\n"
            "                            overwriting what that mode held\n"
            "  --force                   send a file that ends early: the parts it lacks\n"
            "                            keep the values the processor reported\n",
            "--store-mode= --force"},
    Command{"", "save", "save FILE                 store the current mode and write it to FILE",
            Save,
            "Reads every parameter from the processor, stores them into the processor's\n"
            "current mode (overwriting what that mode held, as the application's save does)\n"
            "and writes them to FILE.amod.\n"},
    Command{"", "set", "set FIELD[INDEX] VALUE    set one main-block field", Set,
            "Sets one field on the processor. FIELD and its VALUE range come from\n"
            "`kvctl fields`; the name in any letter case (a slip gets a \"did you mean\");\n"
            "per-channel fields take an INDEX from 0 (outDelay[0] is CH1).\n"
            "VALUE is in the unit the application shows, the unit may be written: percent\n"
            "(85%), Hz (2000, 2000Hz, 2k, 2 kHz), ms (12.5ms, 0.5s), dB (-20dB); the reverb\n"
            "time in ms (2520ms; a plain number up to 100 is its old step 0..100).\n"
            "Switches take on/off, yes/no, true/false or 1/0 (mutes: on = muted);\n"
            "selectors take their names (outRole CH-L..CH-SR, musicSource SPDIF1..AUX2,\n"
            "hdmiPort HDMI1..HDMI4) or their numbers. A value between steps is taken as the\n"
            "application takes a typed one (a delay as typed, a percent to the nearest\n"
            "whole); the line printed shows the value set. A value outside the range\n"
            "exits with 2, nothing sent.\n"
            "examples: kvctl set 'outDelay[0]' 12.34ms    kvctl set outRole[2] CH-SBL\n"
            "          kvctl set micMute off              kvctl set reverbTime[0] 2520ms\n"},
    Command{"", "eq", "eq GROUP BAND GAIN FREQ Q TYPE  write one equaliser band", Eq,
            "Writes one band record and sends its filter.\n"
            "GROUP by name, with BAND numbered from 1 as the application's band list shows:\n"
            "  micA micB                 microphone channel A and B (bands 1..10)\n"
            "  echoA echoB               echo, channel A and B (1..7)\n"
            "  reverbA reverbB           reverb, channel A and B (1..7)\n"
            "  music                     music (1..10)\n"
            "  CH1..CH8                  output channels (1..10 as listed, 10 the crossover;\n"
            "                            11..13 its further sections, 14..15 the delay filters)\n"
            "  bass                      music bass low-pass (1)\n"
            "or GROUP by number, with BAND numbered from 0 (the older form):\n"
            "  1      microphone channel A (bands 0..9) and B (bands 10..19)\n"
            "  2      echo, channel A (0..6) and B (7..13)\n"
            "  3      reverb, channel A (0..6) and B (7..13)\n"
            "  4      music (0..9)\n"
            "  5..12  output CH1..CH8 (0..14; 9..12 the crossover, 13..14 the delay filters)\n"
            "  14     music bass low-pass (0)\n"
            "GAIN -15..15 dB, FREQ 20..20000 Hz, Q 0.1..30 (units may be written: +3dB, 2k),\n"
            "TYPE OFF, PEQ, LP, HP, LS, HS (any case) or 0..5, or 6..21 crossover sections.\n"
            "examples: kvctl eq music 1 +3dB 1kHz 1.414 PEQ   (music band 1: +3 dB at 1 kHz)\n"
            "          kvctl eq 4 0 3.0 1000 1.414 1          (the same band, older form)\n"},
    Command{"", "mode", "mode recall|store|factory N  processor mode N (1..4 or M1..M4)", Mode,
            "recall N   switch the processor to mode N and read its parameters\n"
            "store N    store the current parameters into mode N (overwrites it)\n"
            "factory N  recall the factory setting of mode N\n"},
};

} // namespace

std::span<const Command> LiveCommands() {
    return kCommands;
}

} // namespace kv::cli
