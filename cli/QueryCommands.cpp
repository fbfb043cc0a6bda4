#include "QueryCommands.h"

#include "ImageJson.h"
#include "LiveSession.h"
#include "LiveSupport.h"
#include "image/FieldLimits.h"
#include "image/ModeFile.h"
#include "image/ParamImage.h"
#include "image/Text.h"
#include "link/ConnectionState.h"
#include "link/platform/HidBackend.h"
#include "link/platform/UsbId.h"
#include "protocol/CommandSink.h"
#include "protocol/Commands.h"
#include "protocol/Equaliser.h"

#include <array>
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <ctime>
#include <ostream>
#include <thread>

namespace kv::cli {

namespace {

using namespace std::chrono_literals;

constexpr std::size_t kMachineSettingsOffset = 536;
constexpr auto kStatusPollPeriod = 300ms;

/// Names of the 14 machine-settings bytes, in order.
constexpr std::array<const char*, kMachineSettingsSize> kMachineSettingNames = {
    "volumeSaveMode",
    "volumeSaveMode1",
    "volumeSaveMode2",
    "micVolumeAtPowerOn",
    "musicVolumeAtPowerOn",
    "maxMicVolume",
    "maxMusicVolume",
    "panelLock",
    "lockBits",
    "byte9",
    "byte10",
    "modeAtPowerOn",
    "hdmiAndSurround",
    "byte13",
};

constexpr std::array<const char*, 9> kStreamFormats = {
    "STEREO", "AC3", "DTS", "DTS-CD", "E-AC3", "DOLBY-HD", "DTS-HR", "DTS-HD", "LPCM MultiCh",
};

struct Found {
    std::string path;
    std::string backend;
    UsbId id;
    std::string busy; ///< who holds it when another program does; empty: free
};

/// The reason an open failed when it says another program holds the processor.
bool SaysBusy(const std::string& why) {
    return why.find("in use by another program") != std::string::npos;
}

int List(Args args, Io& io) {
    if (!Positional(args).empty()) {
        return BadInput(io, "usage: kvctl list [--json] [--verbose]");
    }
    LiveSession session(CurrentLiveOptions(), io);
    if (const int code = session.Prepare(); code != kExitOk) {
        return code;
    }
    const bool verbose = HasOption("--verbose");
    const UsbId id = ProcessorUsbId();
    std::vector<Found> found;
    int skipped = 0;
    for (const auto& backend : hid::HidBackends()) {
        std::vector<hid::HidInterface> interfaces;
        backend->Enumerate(interfaces);
        for (const auto& i : interfaces) {
            if (i.vendorId != id.vendorId || i.productId != id.productId) {
                continue;
            }
            // A socket left by a crashed simulator, or a device without permission, is
            // listed by the system but cannot be used.
            hid::SetLastOpenError({});
            const auto device = backend->Open(i.path);
            if (!device && SaysBusy(hid::LastOpenError())) {
                found.push_back({i.path,
                                 std::string(backend->Name()),
                                 {i.vendorId, i.productId},
                                 hid::LastOpenError()});
                continue;
            }
            if (!device) {
                ++skipped;
                if (verbose) {
                    const std::string why = hid::LastOpenError();
                    io.err << "kvctl: skipped " << i.path << " (" << backend->Name() << "): "
                           << (why.empty() ? "cannot be opened (a stale socket, in use, or "
                                             "no permission)"
                                           : why)
                           << "\n";
                }
                continue;
            }
            device->Close();
            found.push_back({i.path, std::string(backend->Name()), {i.vendorId, i.productId}, ""});
        }
    }
    if (HasOption("--json")) {
        auto json = nlohmann::ordered_json::array();
        for (const auto& f : found) {
            json.push_back({{"path", EscapeInvalidUtf8(f.path)},
                            {"backend", f.backend},
                            {"usbId", FormatUsbId(f.id)},
                            {"busy", !f.busy.empty()}});
        }
        io.out << json.dump(2) << "\n";
    } else {
        for (const auto& f : found) {
            io.out << f.path << "  (" << f.backend << ", " << FormatUsbId(f.id) << ")"
                   << (f.busy.empty() ? "" : "  busy: " + f.busy) << "\n";
        }
    }
    if (found.empty()) {
        io.err << "kvctl: no processor found (looked for USB id " << FormatUsbId(id);
        if (skipped > 0) {
            io.err << "; " << skipped << " skipped" << (verbose ? "" : ", --verbose says why");
        }
        io.err << ")\n";
        return kExitNoProcessor;
    }
    return kExitOk;
}

int Info(Args args, Io& io) {
    if (!Positional(args).empty()) {
        return BadInput(io, "usage: kvctl info [--json]");
    }
    return RunLive(io, [&io](LiveSession&) -> int {
        const ParamImage& image = GetParamImage();
        const int mode = g_nCurrentMode.load();
        if (HasOption("--json")) {
            auto names = nlohmann::ordered_json::array();
            for (int m = 0; m < kModes; ++m) {
                names.push_back(ToUtf8(image.ModeName(m)));
            }
            const nlohmann::ordered_json json = {
                {"model", ToUtf8(image.Model())},
                {"mcuVersion", ToUtf8(image.McuVersion())},
                {"dspVersion", ToUtf8(image.DspVersion())},
                {"commVersion", image.CommVersion()},
                {"currentMode", ModeLabel(mode)},
                {"modeNames", names},
            };
            io.out << json.dump(2) << "\n";
            return kExitOk;
        }
        char version[8];
        std::snprintf(version, sizeof version, "%02d", image.CommVersion());
        io.out << "Module:" << ToUtf8(image.Model()) << "\n"
               << "MCU Ver:" << ToUtf8(image.McuVersion()) << " CMD Ver:" << version << "\n"
               << "DSP Ver:" << ToUtf8(image.DspVersion()) << "\n"
               << "Current mode: " << ModeLabel(mode) << "\n";
        for (int m = 0; m < kModes; ++m) {
            io.out << "Mode " << ModeLabel(m) << ": " << ToUtf8(image.ModeName(m)) << "\n";
        }
        return kExitOk;
    });
}

/// Every main field by name, each value as kvctl get prints it.
nlohmann::ordered_json MainFieldsJson(const ParamImage& image) {
    nlohmann::ordered_json main = nlohmann::ordered_json::object();
    for (const MainField& field : AllMainFields()) {
        if (field.count == 1) {
            main[std::string(field.name)] = ValueJson(image, {&field, 0});
            continue;
        }
        auto entries = nlohmann::ordered_json::array();
        for (int e = 0; e < field.count; ++e) {
            entries.push_back(ValueJson(image, {&field, e}));
        }
        main[std::string(field.name)] = std::move(entries);
    }
    return main;
}

/// The band records by equaliser group and band, as kvctl eq addresses them.
nlohmann::ordered_json GroupedBands(const ParamImage& image) {
    nlohmann::ordered_json groups = nlohmann::ordered_json::object();
    for (int g = 1; g <= 14; ++g) {
        auto bands = nlohmann::ordered_json::array();
        for (int b = 0; EqBandCommand(g, b); ++b) {
            const EqBand band = image.ReadBand(g, b);
            bands.push_back({{"band", b},
                             {"gainDb", band.gainDb},
                             {"freqHz", static_cast<int>(band.freqHz)},
                             {"q", band.q},
                             {"type", band.type}});
        }
        if (!bands.empty()) {
            groups[std::to_string(g)] = std::move(bands);
        }
    }
    return groups;
}

int Dump(Args args, Io& io) {
    if (!Positional(args).empty()) {
        return BadInput(io, "usage: kvctl dump");
    }
    return RunLive(io, [&io](LiveSession&) -> int {
        const ParamImage& image = GetParamImage();
        nlohmann::ordered_json json;
        json["identity"] = {{"model", ToUtf8(image.Model())},
                            {"commVersion", image.CommVersion()},
                            {"mcuVersion", ToUtf8(image.McuVersion())},
                            {"dspVersion", ToUtf8(image.DspVersion())}};
        json["currentMode"] = g_nCurrentMode.load() + 1;
        auto names = nlohmann::ordered_json::array();
        for (int m = 0; m < kModes; ++m) {
            names.push_back(ToUtf8(image.ModeName(m)));
        }
        json["modeNames"] = names;
        auto settings = nlohmann::ordered_json::object();
        for (std::size_t i = 0; i < kMachineSettingsSize; ++i) {
            settings[kMachineSettingNames[i]] = image.HubByte(kMachineSettingsOffset + i);
        }
        json["machineSettings"] = settings;
        nlohmann::ordered_json whole = ImageToJson(image);
        json["main"] = MainFieldsJson(image);
        json["bands"] = GroupedBands(image);
        auto trims = nlohmann::ordered_json::object();
        for (int ch = 0; ch < kOutputChannels; ++ch) {
            trims["CH" + std::to_string(ch + 1)] = whole["extension"][ch];
        }
        json["extensionTrimDb"] = std::move(trims);
        json["routing"] = std::move(whole["routing"]["geometry"]);
        json["tail"] = std::move(whole["tail"]);
        io.out << json.dump(2) << "\n";
        return kExitOk;
    });
}

nlohmann::ordered_json RangeJson(const FieldRange& r) {
    return {{"min", r.min}, {"max", r.max}, {"step", r.step}, {"unit", r.unit}};
}

/// A range as fields lists it: with the names of a selector's values.
std::string RangeText(const FieldRange& r, const MainField& f) {
    std::string names;
    for (const std::string_view n : ChoiceNames(f)) {
        names += (names.empty() ? "" : " ") + std::string(n);
    }
    return names.empty() ? r.Describe() : names + " (or " + r.Describe() + ")";
}

int Fields(Args args, Io& io) {
    if (!Positional(args).empty()) {
        return BadInput(io, "usage: kvctl fields [--json] [--values FIELD]");
    }
    if (const auto name = OptionValue("--values")) {
        const MainField* field = FindFieldAnyCase(name->substr(0, name->find('[')));
        if (field == nullptr) {
            return BadInput(io, "unknown field '" + *name + "' (kvctl fields lists them)");
        }
        for (const std::string& word : ValueWords(*field)) {
            io.out << word << "\n";
        }
        return kExitOk;
    }
    const bool json = HasOption("--json");
    auto list = nlohmann::ordered_json::array();
    for (const FieldLimits& limits : AllFieldLimits()) {
        const MainField& f = limits.field;
        if (!IsSent(f, 0)) {
            continue; // kept in the image and files only; kvctl set cannot change it
        }
        const bool perEntry = limits.ranges.size() > 1;
        const auto range = [&f](int e) { return UserRange({&f, e}); };
        if (json) {
            nlohmann::ordered_json item = {{"name", f.name}, {"entries", f.count}};
            if (perEntry) {
                auto ranges = nlohmann::ordered_json::array();
                for (int e = 0; e < f.count; ++e) {
                    ranges.push_back(RangeJson(range(e)));
                }
                item["ranges"] = std::move(ranges);
            } else {
                item.update(RangeJson(range(0)));
            }
            if (const auto names = ChoiceNames(f); !names.empty()) {
                auto choices = nlohmann::ordered_json::array();
                for (const std::string_view n : names) {
                    choices.push_back(std::string(n));
                }
                item["choices"] = std::move(choices);
            }
            list.push_back(std::move(item));
            continue;
        }
        std::string name(f.name);
        if (f.count > 1) {
            name += "[0.." + std::to_string(f.count - 1) + "]";
        }
        char line[160];
        if (!perEntry) {
            std::snprintf(line, sizeof line, "%-28s %s", name.c_str(),
                          RangeText(range(0), f).c_str());
            io.out << line << "\n";
            continue;
        }
        io.out << name << "\n";
        for (int e = 0; e < f.count; ++e) {
            std::snprintf(line, sizeof line, "  [%d]%-23s %s", e, "",
                          RangeText(range(e), f).c_str());
            io.out << line << "\n";
        }
    }
    if (json) {
        io.out << list.dump(2) << "\n";
    }
    return kExitOk;
}

int Get(Args args, Io& io) {
    const auto words = Positional(args);
    if (words.empty()) {
        return BadInput(io, "usage: kvctl get FIELD[INDEX]... [--file FILE.amod]");
    }
    std::vector<FieldRef> refs;
    for (const auto& w : words) {
        const auto ref = ParseFieldRef(w, io);
        if (!ref) {
            return kExitBadInput;
        }
        refs.push_back(*ref);
    }
    const auto print = [&](const ParamImage& image) {
        for (const auto& ref : refs) {
            io.out << (refs.size() > 1
                           ? std::string(ref.field->name) + "[" + std::to_string(ref.entry) + "] = "
                           : "")
                   << ValueText(image, ref) << "\n";
        }
    };
    if (const auto file = OptionValue("--file")) {
        ParamImage image;
        image.InitDefaults();
        if (!ReadModeFileFor(*file, image, TruncatedFile::Warn, io)) {
            return kExitBadInput;
        }
        print(image);
        return kExitOk;
    }
    return RunLive(io, [&](LiveSession&) -> int {
        print(GetParamImage());
        return kExitOk;
    });
}

std::atomic<bool> g_stopWatching{false};

extern "C" void StopWatching(int) {
    g_stopWatching.store(true);
}

std::string UtcNow() {
    const auto now = std::chrono::system_clock::now();
    const std::time_t t = std::chrono::system_clock::to_time_t(now);
    const auto ms =
        std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()) % 1000;
    std::tm tm{};
    gmtime_r(&t, &tm);
    char buffer[96];
    std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02dT%02d:%02d:%02d.%03dZ", tm.tm_year + 1900,
                  tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec,
                  static_cast<int>(ms.count()));
    return buffer;
}

nlohmann::ordered_json StatusJson(const std::array<std::uint8_t, kStatusRecordSize>& s) {
    const auto receiver = [&](std::size_t at) {
        return nlohmann::ordered_json{
            {"rf", s[at]}, {"af", s[at + 1]}, {"channel", s[at + 2]}, {"battery", s[at + 3]}};
    };
    const unsigned format = s[7] & 0x0Fu;
    return {
        {"time", UtcNow()},
        {"connected", true},
        {"mode", ModeLabel(g_nCurrentMode.load())},
        {"format", format < kStreamFormats.size() ? nlohmann::ordered_json(kStreamFormats[format])
                                                  : nlohmann::ordered_json(nullptr)},
        {"meters",
         {{"mic1", s[0]},
          {"mic2", s[1]},
          {"mic3", s[2]},
          {"mic4", s[3]},
          {"music1", s[4]},
          {"music2", s[5]}}},
        {"receiverA", receiver(8)},
        {"receiverB", receiver(12)},
    };
}

int Watch(Args args, Io& io) {
    if (!Positional(args).empty()) {
        return BadInput(io, "usage: kvctl watch [--count N]");
    }
    long count = -1;
    if (const auto n = OptionValue("--count")) {
        const auto v = ParseInt(*n);
        if (!v || *v < 1) {
            return BadInput(io, "--count needs a number from 1");
        }
        count = *v;
    }
    g_stopWatching.store(false);
    const auto oldInt = std::signal(SIGINT, StopWatching);
    const auto oldTerm = std::signal(SIGTERM, StopWatching);
    const int code = RunLive(io, [&](LiveSession& session) -> int {
        for (long line = 0; (count < 0 || line < count) && !g_stopWatching.load(); ++line) {
            CommandSink().Write(BuildCommand({kCmdStatus}));
            std::this_thread::sleep_for(kStatusPollPeriod);
            if (session.CheckLink() != kExitOk) {
                io.out << nlohmann::ordered_json{{"time", UtcNow()}, {"connected", false}}.dump()
                       << std::endl;
                return kExitNoProcessor;
            }
            io.out << StatusJson(g_statusRecord.Get()).dump() << std::endl;
        }
        return kExitOk;
    });
    std::signal(SIGINT, oldInt);
    std::signal(SIGTERM, oldTerm);
    return code;
}

constexpr std::array kCommands = {
    Command{"", "list", "list [--json] [--verbose]  the processors found, with their paths", List,
            "Lists the processors that can be opened: on USB (hidraw) and kvsim simulators on\n"
            "the virtual bus; one another program holds is listed with \"busy\" and who has it.\n"
            "Give a path to --device to choose one of several.\n"
            "options:\n"
            "  --json                    as a JSON array of {path, backend, usbId, busy}\n"
            "  --verbose                 also say which entries were skipped and why\n"
            "Nothing found: check the cable, the udev rule (see the README), KV_USB_ID,\n"
            "or run kvsim for a simulated processor.\n",
            "--json --verbose"},
    Command{"", "info", "info [--json]             model, versions, current mode, mode names", Info,
            "options:\n"
            "  --json                    as one JSON object\n",
            "--json"},
    Command{"", "dump", "dump                      the processor's image as JSON", Dump,
            "Reads every parameter and prints them: identity, current mode, mode names,\n"
            "machineSettings by name, main fields by name (each value as kvctl get prints\n"
            "it: in the unit the application shows, selectors by name),\n"
            "bands by equaliser group and band (as kvctl eq takes them), extensionTrimDb by\n"
            "channel, routing as the room geometry, tail.\n"},
    Command{"", "fields", "fields [--json] [--values FIELD]  every settable field with its range",
            Fields,
            "Lists the fields kvctl set and get take: name, index range, value range, step\n"
            "and unit (the ranges the application's sliders allow, in the units it shows),\n"
            "and the names a selector's values take (roles, sources).\n"
            "options:\n"
            "  --json                    as a JSON array\n"
            "  --values FIELD            only the words FIELD's VALUE takes besides numbers,\n"
            "                            one a line: names, or on/off, yes/no, true/false\n",
            "--json --values="},
    Command{"", "get", "get FIELD[INDEX]... [--file FILE.amod]  print field values", Get,
            "Prints the value of each field from the processor (after reading everything\n"
            "from it) or, with --file, from a mode file; in the unit kvctl set takes, and\n"
            "selectors by name (as kvctl dump prints them).\n"
            "options:\n"
            "  --file FILE.amod          read the mode file instead of the processor\n",
            "--file="},
    Command{"", "watch", "watch [--count N]         print the status poll as JSON lines", Watch,
            "Asks the processor for its status every 300 ms and prints one JSON line each:\n"
            "time, connected, mode, stream format, the six meters and the two wireless\n"
            "microphone receivers. Runs until interrupted (Ctrl+C) or the processor is lost\n"
            "(then a line with \"connected\": false and exit code 4).\n"
            "options:\n"
            "  --count N                 stop after N lines\n",
            "--count="},
};

} // namespace

std::span<const Command> QueryCommands() {
    return kCommands;
}

} // namespace kv::cli
