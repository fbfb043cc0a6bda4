#include "LiveCommands.h"

#include "ImageJson.h"
#include "LiveSession.h"
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
#include "protocol/ParamSenders.h"
#include "protocol/ParamTable.h"
#include "protocol/Synchronize.h"

#include <array>
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
constexpr std::size_t kMachineSettingsOffset = 536;

/// Connects (with the read-all and the identity check), runs body, checks that the
/// processor is still there and says goodbye.
int RunLive(Io& io, const std::function<int(LiveSession&)>& body) {
    LiveSession session(CurrentLiveOptions(), io);
    if (const int code = session.Prepare(); code != kExitOk) {
        return code;
    }
    if (const int code = session.Open(); code != kExitOk) {
        return code;
    }
    const int code = body(session);
    if (const int lost = session.CheckLink(); lost != kExitOk) {
        return lost;
    }
    session.Close();
    return code;
}

/// "1".."4" to the mode index 0..3.
std::optional<int> ParseMode(const std::string& text) {
    const auto n = ParseInt(text);
    if (!n || *n < 1 || *n > kModes) {
        return std::nullopt;
    }
    return static_cast<int>(*n - 1);
}

int SendModeCommand(int code, int mode) {
    return CommandSink().Write(BuildCommand({code, mode}));
}

/// Reads a mode file into a scratch image, so a bad file is refused before connecting.
bool CheckModeFile(const std::string& path, Io& io) {
    ParamImage scratch;
    const ModeFileResult r = ReadModeFile(path, scratch);
    if (!r.ok()) {
        const std::string why =
            r.errorCode != 0 ? std::string(std::strerror(r.errorCode)) : ModeFileMessage(r);
        BadInput(io, path + ": " + why);
        return false;
    }
    return true;
}

int List(Args args, Io& io) {
    if (!args.empty()) {
        return BadInput(io, "usage: kvctl list");
    }
    LiveSession session(CurrentLiveOptions(), io);
    if (const int code = session.Prepare(); code != kExitOk) {
        return code;
    }
    const UsbId id = ProcessorUsbId();
    int found = 0;
    for (const auto& backend : hid::HidBackends()) {
        std::vector<hid::HidInterface> interfaces;
        backend->Enumerate(interfaces);
        for (const auto& i : interfaces) {
            if (i.vendorId == id.vendorId && i.productId == id.productId) {
                io.out << i.path << "  (" << backend->Name() << ", "
                       << FormatUsbId({i.vendorId, i.productId}) << ")\n";
                ++found;
            }
        }
    }
    if (found == 0) {
        io.err << "kvctl: no processor found\n";
        return kExitNoProcessor;
    }
    return kExitOk;
}

std::string ModeLabel(int mode) {
    return "M" + std::to_string(mode + 1);
}

int Info(Args args, Io& io) {
    if (!args.empty()) {
        return BadInput(io, "usage: kvctl info");
    }
    return RunLive(io, [&io](LiveSession&) -> int {
        const ParamImage& image = GetParamImage();
        char version[8];
        std::snprintf(version, sizeof version, "%02d", image.CommVersion());
        io.out << "Module:" << ToUtf8(image.Model()) << "\n"
               << "MCU Ver:" << ToUtf8(image.McuVersion()) << " CMD Ver:" << version << "\n"
               << "DSP Ver:" << ToUtf8(image.DspVersion()) << "\n"
               << "Current mode: " << ModeLabel(g_nCurrentMode.load()) << "\n";
        for (int m = 0; m < kModes; ++m) {
            io.out << "Mode " << ModeLabel(m) << ": " << ToUtf8(image.ModeName(m)) << "\n";
        }
        return kExitOk;
    });
}

int Dump(Args args, Io& io) {
    if (!args.empty()) {
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
        auto settings = nlohmann::ordered_json::array();
        for (std::size_t i = 0; i < kMachineSettingsSize; ++i) {
            settings.push_back(image.HubByte(kMachineSettingsOffset + i));
        }
        json["machineSettings"] = settings;
        json.update(ImageToJson(image));
        io.out << json.dump(2) << "\n";
        return kExitOk;
    });
}

int Load(Args args, Io& io) {
    std::string path;
    std::optional<int> storeMode;
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--store-mode" && i + 1 < args.size()) {
            storeMode = ParseMode(args[++i]);
            if (!storeMode) {
                return BadInput(io, "--store-mode needs a mode 1..4");
            }
        } else if (path.empty() && !args[i].starts_with("--")) {
            path = args[i];
        } else {
            return BadInput(io, "usage: kvctl load FILE.amod [--store-mode N]");
        }
    }
    if (path.empty()) {
        return BadInput(io, "usage: kvctl load FILE.amod [--store-mode N]");
    }
    if (!CheckModeFile(path, io)) {
        return kExitBadInput;
    }
    return RunLive(io, [&](LiveSession&) -> int {
        if (!ReadModeFile(path, GetParamImage()).ok()) {
            return BadInput(io, path + ": cannot be read");
        }
        SynchronizeWriteThreadProc();
        io.out << "sent " << path << " to the processor\n";
        if (storeMode) {
            g_nCurrentMode.store(*storeMode);
            SendModeCommand(kCmdSelectMode, *storeMode);
            std::this_thread::sleep_for(kSelectStorePause);
            SendModeCommand(kCmdStoreMode, *storeMode);
            io.out << "stored into mode " << ModeLabel(*storeMode) << "\n";
        }
        return kExitOk;
    });
}

int Save(Args args, Io& io) {
    if (args.size() != 1) {
        return BadInput(io, "usage: kvctl save FILE.amod");
    }
    const std::string& path = args[0];
    return RunLive(io, [&](LiveSession&) -> int {
        const int mode = g_nCurrentMode.load();
        g_bParamChanged.store(0);
        SendModeCommand(kCmdStoreMode, mode);
        const ModeFileResult r = WriteModeFile(path, GetParamImage());
        if (!r.ok()) {
            return BadInput(io, path + ": " + std::strerror(r.errorCode));
        }
        io.out << "stored the current parameters into mode " << ModeLabel(mode) << " and wrote "
               << path << "\n";
        return kExitOk;
    });
}

/// "name" or "name[index]" of a main-block field.
struct FieldRef {
    const MainField* field = nullptr;
    int entry = 0;
};

std::optional<FieldRef> ParseFieldRef(const std::string& text, Io& io) {
    std::string name = text;
    std::optional<long> index;
    if (const auto open = text.find('['); open != std::string::npos) {
        if (text.back() != ']') {
            BadInput(io, "field index must be written FIELD[INDEX]");
            return std::nullopt;
        }
        name = text.substr(0, open);
        index = ParseInt(text.substr(open + 1, text.size() - open - 2));
        if (!index) {
            BadInput(io, "field index must be a whole number");
            return std::nullopt;
        }
    }
    const MainField* field = FindMainField(name);
    if (field == nullptr) {
        BadInput(io, "unknown field '" + name + "'");
        return std::nullopt;
    }
    if (!index && field->count > 1) {
        BadInput(io, name + " has " + std::to_string(field->count) + " entries: use " + name +
                         "[0.." + std::to_string(field->count - 1) + "]");
        return std::nullopt;
    }
    const long entry = index.value_or(0);
    if (entry < 0 || entry >= field->count) {
        BadInput(io, name + " has no entry " + std::to_string(entry));
        return std::nullopt;
    }
    return FieldRef{field, static_cast<int>(entry)};
}

bool IsSent(const FieldRef& ref) {
    const int slot = ref.field->SlotOf(ref.entry);
    for (const ParamRow& row : ParamRows()) {
        if (row.wire == Wire::Dynamics) {
            const DynamicsSlots s = DynamicsSlotsOf(row);
            if (slot == s.threshold || slot == s.ratio || slot == s.attack || slot == s.release) {
                return true;
            }
        } else if (row.field->SlotOf(row.entry) == slot) {
            return true;
        }
    }
    return false;
}

/// The slot value for a value in the unit the pages show (the field's range table): the
/// number itself for integer fields, the single for float fields, 0/1 as 0/100 for x100 flags.
/// Refuses text that is not a number and values outside the field's range or off its step.
std::optional<std::int32_t> SlotValue(const FieldRef& ref, const std::string& text, Io& io) {
    const std::string name(ref.field->name);
    const auto v = ParseNumber(text);
    if (!v) {
        BadInput(io, "'" + text + "' is not a number (" + name + ")");
        return std::nullopt;
    }
    const FieldLimits* limits = FindFieldLimits(*ref.field);
    if (limits == nullptr) {
        BadInput(io, name + " has no value range");
        return std::nullopt;
    }
    const FieldRange& range = limits->Range(ref.entry);
    if (!range.Contains(*v)) {
        BadInput(io, text + " is out of range for " + name + ": " + range.Describe());
        return std::nullopt;
    }
    if (ref.field->IsFloat()) {
        return std::bit_cast<std::int32_t>(static_cast<float>(*v));
    }
    const auto whole = static_cast<std::int32_t>(std::lround(*v));
    return ref.field->encoding == SlotEncoding::X100Flag ? whole * 100 : whole;
}

int Set(Args args, Io& io) {
    if (args.size() != 2) {
        return BadInput(io, "usage: kvctl set FIELD[INDEX] VALUE");
    }
    const auto ref = ParseFieldRef(args[0], io);
    if (!ref) {
        return kExitBadInput;
    }
    if (!IsSent(*ref)) {
        return BadInput(io, std::string(ref->field->name) + " is not sent to the processor");
    }
    const auto value = SlotValue(*ref, args[1], io);
    if (!value) {
        return kExitBadInput;
    }
    return RunLive(io, [&](LiveSession&) -> int {
        SetParam(*ref->field, ref->entry, *value);
        io.out << args[0] << " = " << args[1] << "\n";
        return kExitOk;
    });
}

int Eq(Args args, Io& io) {
    constexpr const char* kUsage = "usage: kvctl eq GROUP BAND GAIN_DB FREQ_HZ Q TYPE";
    if (args.size() != 6) {
        return BadInput(io, kUsage);
    }
    const auto group = ParseInt(args[0]);
    const auto band = ParseInt(args[1]);
    const auto gain = ParseNumber(args[2]);
    const auto freq = ParseNumber(args[3]);
    const auto q = ParseNumber(args[4]);
    const auto type = ParseInt(args[5]);
    if (!group || !band || !gain || !freq || !q || !type) {
        return BadInput(io, kUsage);
    }
    if (*group < 0 || *group > 14 || *band < 0 || *band > 19 ||
        !EqBandCommand(static_cast<int>(*group), static_cast<int>(*band))) {
        return BadInput(io, "group " + args[0] + " has no band " + args[1]);
    }
    if (*gain < -15.0 || *gain > 15.0 || *freq < 0.0 || *freq > 65535.0 || *q <= 0.0 ||
        *q > 65.535 || *type < 0 || *type > 21) {
        return BadInput(io, "gain -15..15 dB, frequency 0..65535 Hz, Q above 0 up to 65.535, "
                            "type 0..21");
    }
    return RunLive(io, [&](LiveSession&) -> int {
        WriteEqBand(static_cast<int>(*group), static_cast<int>(*band), *gain, *freq, *q,
                    static_cast<int>(*type));
        io.out << "band " << *band << " of group " << *group << " written\n";
        return kExitOk;
    });
}

int Mode(Args args, Io& io) {
    constexpr const char* kUsage = "usage: kvctl mode recall|store|factory N (N = 1..4)";
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
        if (action == "store") {
            g_bParamChanged.store(0);
            SendModeCommand(kCmdStoreMode, *mode);
            io.out << "stored the current parameters into mode " << ModeLabel(*mode) << "\n";
            return kExitOk;
        }
        session.ClearSyncs();
        SendModeCommand(action == "recall" ? kCmdRecallMode : kCmdFactoryMode, *mode);
        // The processor asks for a read-all (report 5 or 6), which the dispatcher starts.
        if (!session.WaitForSync(0, kSyncTimeout)) {
            io.err << "kvctl: the processor did not ask for a read-all after the "
                   << (action == "recall" ? "recall" : "factory recall") << "\n";
            return kExitNoProcessor;
        }
        io.out << (action == "recall" ? "recalled mode " : "recalled the factory setting of mode ")
               << ModeLabel(*mode) << "\n";
        return kExitOk;
    });
}

constexpr std::array kCommands = {
    Command{"", "list", "list                      the processors found, with their paths", List},
    Command{"", "info", "info                      model, versions, current mode, mode names",
            Info},
    Command{"", "dump", "dump                      the processor's image as JSON", Dump},
    Command{"", "load",
            "load FILE [--store-mode N] send a mode file to the processor (and store it)", Load},
    Command{"", "save", "save FILE                 store the current mode and write it to FILE",
            Save},
    Command{"", "set", "set FIELD[INDEX] VALUE    set one main-block field", Set},
    Command{"", "eq", "eq GROUP BAND GAIN FREQ Q TYPE  write one equaliser band", Eq},
    Command{"", "mode", "mode recall|store|factory N  processor mode N (1..4)", Mode},
};

} // namespace

std::span<const Command> LiveCommands() {
    return kCommands;
}

} // namespace kv::cli
