#include "ZwaveCommands.h"

#include "LiveSession.h"
#include "LiveSupport.h"
#include "ZwaveScene.h"
#include "image/ParamImage.h"
#include "link/ConnectionState.h"
#include "link/Link.h"
#include "link/LinkReceiver.h"
#include "sim/Simulator.h"
#include "smarthome/SceneRunner.h"
#include "smarthome/ZwaveDevices.h"
#include "smarthome/ZwaveEvents.h"
#include "smarthome/ZwaveFrames.h"
#include "smarthome/ZwaveNodes.h"
#ifdef KV_KEY_FILES
#include "smarthome/KeyFile.h"
#endif

#include <nlohmann/json.hpp>

#include <array>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <ostream>
#include <string>
#include <thread>

namespace kv::cli {

namespace {

using namespace std::chrono_literals;

/// As long as the application's wait window waits for an operation.
constexpr auto kOperationTimeout = 30s;
constexpr auto kThreadTimeout = 20s;
/// Memory answers still on their way when the read thread ends.
constexpr auto kLastAnswers = 200ms;

const char* TypeName(int type) {
    switch (type) {
    case zwave::kSwitchType:
        return "switch";
    case zwave::kDimmerType:
        return "dimmer";
    default:
        return "other";
    }
}

std::string Utf8(const std::u16string& text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        char32_t c = text[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size()) {
            c = 0x10000 + ((c - 0xD800) << 10) + (text[++i] - 0xDC00);
        }
        if (c < 0x80) {
            out.push_back(static_cast<char>(c));
        } else if (c < 0x800) {
            out.push_back(static_cast<char>(0xC0 | (c >> 6)));
            out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        } else if (c < 0x10000) {
            out.push_back(static_cast<char>(0xE0 | (c >> 12)));
            out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        } else {
            out.push_back(static_cast<char>(0xF0 | (c >> 18)));
            out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        }
    }
    return out;
}

/// UTF-8 to UTF-16; nullopt for text that is not UTF-8.
std::optional<std::u16string> Utf16(const std::string& text) {
    std::u16string out;
    for (std::size_t i = 0; i < text.size();) {
        const auto b = static_cast<unsigned char>(text[i]);
        const int extra = b < 0x80         ? 0
                          : (b >> 5) == 6  ? 1
                          : (b >> 4) == 14 ? 2
                          : (b >> 3) == 30 ? 3
                                           : -1;
        if (extra < 0 || text.size() - i <= static_cast<std::size_t>(extra)) {
            return std::nullopt;
        }
        char32_t c = extra == 0 ? b : b & (0x3F >> extra);
        for (int k = 1; k <= extra; ++k) {
            const auto next = static_cast<unsigned char>(text[i + static_cast<std::size_t>(k)]);
            if ((next >> 6) != 2) {
                return std::nullopt;
            }
            c = (c << 6) | (next & 0x3F);
        }
        i += static_cast<std::size_t>(extra) + 1;
        if (c >= 0x10000) {
            c -= 0x10000;
            out.push_back(static_cast<char16_t>(0xD800 + (c >> 10)));
            out.push_back(static_cast<char16_t>(0xDC00 + (c & 0x3FF)));
        } else {
            out.push_back(static_cast<char16_t>(c));
        }
    }
    return out;
}

/// Takes the Z-Wave events and hub-table ends off the link for the command, and passes
/// everything else to the session's own receiver. One for the process, never destroyed: the
/// reader thread may still be handing it an event when the command ends.
class ZwaveReceiver final : public ILinkReceiver {
public:
    static ZwaveReceiver& Instance() {
        static auto* receiver = new ZwaveReceiver;
        return *receiver;
    }

    /// Stands in for the session's receiver until Detach.
    void Attach(ILinkReceiver* session) {
        {
            std::lock_guard lock(m_lock);
            m_session = session;
            m_events.clear();
        }
        SetLinkReceiver(this);
    }
    void Detach() {
        ILinkReceiver* session = nullptr;
        {
            std::lock_guard lock(m_lock);
            session = m_session;
            m_session = nullptr;
        }
        SetLinkReceiver(session);
    }

    void PostNotice(const LinkNotice& notice) override {
        std::lock_guard lock(m_lock);
        if (const auto* event = std::get_if<notice::ZwaveEvent>(&notice)) {
            m_events.push_back(*event);
            m_changed.notify_all();
        } else if (!std::holds_alternative<notice::ZwaveSync>(notice) && m_session) {
            m_session->PostNotice(notice);
        }
    }
    void ShowErrorBox(const std::string& text, const std::string& caption) override {
        std::lock_guard lock(m_lock);
        if (m_session) {
            m_session->ShowErrorBox(text, caption);
        }
    }

    /// The next event, waiting until the deadline; nullopt when none came.
    std::optional<notice::ZwaveEvent> Next(std::chrono::steady_clock::time_point deadline) {
        std::unique_lock lock(m_lock);
        if (!m_changed.wait_until(lock, deadline, [&] { return !m_events.empty(); })) {
            return std::nullopt;
        }
        const notice::ZwaveEvent e = m_events.front();
        m_events.pop_front();
        return e;
    }

private:
    ZwaveReceiver() = default;

    std::mutex m_lock; ///< guards m_session and m_events
    std::condition_variable m_changed;
    ILinkReceiver* m_session = nullptr;
    std::deque<notice::ZwaveEvent> m_events;
};

/// The Z-Wave receiver stands in for the session's while a command body runs.
class ReceiverScope {
public:
    ReceiverScope() { ZwaveReceiver::Instance().Attach(LinkReceiver()); }
    ~ReceiverScope() { ZwaveReceiver::Instance().Detach(); }
    ReceiverScope(const ReceiverScope&) = delete;
    ReceiverScope& operator=(const ReceiverScope&) = delete;
    ZwaveReceiver& Receiver() { return ZwaveReceiver::Instance(); }
};

/// The wait window of the application as a console: texts are printed, closing ends the
/// operation with success, ending it after a failure text with failure.
class ConsoleUi final : public IZwaveEventUi {
public:
    ConsoleUi(Io& io, int mode) : m_io(io), m_mode(mode) {}

    bool Chinese() const override { return false; }
    int AddMode() const override { return m_mode; }
    bool WaitShown() const override { return !m_done; }
    void SetWaitText(const std::string& text, std::optional<WaitColour>) override {
        if (text != m_lastText) {
            m_io.err << "kvctl: " << text << "\n";
            m_lastText = text;
        }
    }
    void StopPendingWait() override {}
    void CloseWait() override {
        m_done = true;
        m_ok = m_ok.value_or(true);
    }
    void EndWait(int) override {
        m_done = true;
        m_ok = false;
    }
    void ShowInfo(const std::string& text, int) override {
        m_io.err << "kvctl: " << text << "\n";
        m_ok = false;
    }
    void RefreshPages() override {}
    void DeleteKeyFile([[maybe_unused]] int node) override {
#ifdef KV_KEY_FILES
        kv::DeleteKeyFile(node);
#endif
    }

    bool Done() const {
        return m_done;
    }
    bool Ok() const {
        return m_ok.value_or(false);
    }

private:
    Io& m_io;
    int m_mode;
    bool m_done = false;
    std::optional<bool> m_ok;
    std::string m_lastText;
};

/// Hands the events to the device handling until it closes the wait or the time runs out;
/// on the time-out the pending operation is cancelled as the wait window does. Returns the
/// node of the last add or remove event.
int RunOperation(ZwaveReceiver& receiver, ConsoleUi& ui, int operation, Io& io) {
    const auto deadline = std::chrono::steady_clock::now() + kOperationTimeout;
    int node = 0;
    while (!ui.Done()) {
        const auto event = receiver.Next(deadline);
        if (!event) {
            ZwaveHubCancel(operation);
            io.err << "kvctl: no answer from the Z-Wave controller within 30 s\n";
            return -1;
        }
        if (event->function == zwave::kEventAddNode || event->function == zwave::kEventRemoveNode) {
            node = event->node;
        }
        OnZwaveEvent(ui, *event);
    }
    return node;
}

/// Reads the node list and the device records as the smart-plug window does.
int ReadHub(Io& io) {
    g_bZWaveSynchronised.store(0);
    StartZwaveRead();
    if (!WaitZwaveThreads(kThreadTimeout) || !g_bZWaveSynchronised.load()) {
        io.err << "kvctl: the Z-Wave controller did not answer\n";
        return kExitFailure;
    }
    std::this_thread::sleep_for(kLastAnswers);
    return kExitOk;
}

void PressAtOnce(LiveSession& session, int node) {
    if (sim::Simulator* simulator = session.InProcessSimulator()) {
        simulator->WithZWave([node](sim::ZWaveNetwork& n) {
            n.SetAutoPress(true, node);
            return 0;
        });
    }
}

int List(Args args, Io& io) {
    if (!Positional(args).empty()) {
        return BadInput(io, "usage: kvctl zwave list");
    }
    return RunLive(io, [&](LiveSession&) -> int {
        ReceiverScope scope;
        if (const int code = ReadHub(io); code != kExitOk) {
            return code;
        }
        const ParamImage& image = GetParamImage();
        nlohmann::json nodes = nlohmann::json::array();
        for (int node : zwave::PresentDevices(image)) {
            const zwave::DeviceRecord record = zwave::ReadDeviceRecord(image, node);
            nodes.push_back({{"node", node},
                             {"type", TypeName(record.type)},
                             {"name", Utf8(record.name)},
                             {"value", zwave::NodeValue(image, node)}});
        }
        io.out << nlohmann::json{{"nodes", nodes}}.dump(2) << "\n";
        return kExitOk;
    });
}

int Set(Args args, Io& io) {
    const auto positional = Positional(args);
    const auto node = positional.size() == 2 ? ParseInt(positional[0]) : std::nullopt;
    const auto value = positional.size() == 2 ? ParseInt(positional[1]) : std::nullopt;
    // Values 128..254 are the smart plugs' key commands, not levels.
    if (!node || !value || *node < zwave::kFirstDeviceNode || *node > zwave::kLastNode ||
        *value < 0 || (*value > 99 && *value != 255)) {
        return BadInput(io,
                        "usage: kvctl zwave set NODE VALUE   (NODE 2..232, VALUE 0..99 or 255)");
    }
    return RunLive(io, [&](LiveSession&) -> int {
        ReceiverScope scope;
        ZwaveReceiver& receiver = scope.Receiver();
        g_bZWaveInitData.store(0);
        if (!ZwaveReadNodeList()) {
            io.err << "kvctl: the Z-Wave controller did not answer\n";
            return kExitFailure;
        }
        if (!zwave::NodePresent(GetParamImage(), static_cast<int>(*node))) {
            return BadInput(io, "no node " + std::to_string(*node) + " in the network");
        }
        ConsoleUi ui(io, 0);
        SetNodeValue(static_cast<int>(*node), static_cast<std::uint8_t>(*value));
        if (RunOperation(receiver, ui, zwave::kOperationSet, io) < 0 || !ui.Ok()) {
            return kExitFailure;
        }
        io.out << "node " << *node << " = " << *value << "\n";
        return kExitOk;
    });
}

int Add(Args args, Io& io) {
    const auto positional = Positional(args);
    constexpr const char* kUsage = "usage: kvctl zwave add switch|dimmer NAME";
    if (positional.size() != 2 || (positional[0] != "switch" && positional[0] != "dimmer")) {
        return BadInput(io, kUsage);
    }
    const auto name = Utf16(positional[1]);
    if (!name || name->empty()) {
        return BadInput(io, "the name must be UTF-8 text and not empty");
    }
    const auto type = static_cast<std::uint8_t>(positional[0] == "switch" ? zwave::kSwitchType
                                                                          : zwave::kDimmerType);
    return RunLive(io, [&](LiveSession& session) -> int {
        ReceiverScope scope;
        ZwaveReceiver& receiver = scope.Receiver();
        zwave::StorePendingAdd(GetParamImage(), {type, *name});
        PressAtOnce(session, sim::ZWaveNetwork::kNewDevice);
        ConsoleUi ui(io, 1);
        io.err << "kvctl: press and hold the device's button for 3 seconds, twice\n";
        ZwaveHubSend(zwave::kOperationRemove, 0, 0);
        const int node = RunOperation(receiver, ui, zwave::kOperationAdd, io);
        if (node <= 0 || !ui.Ok()) {
            io.err << "kvctl: the device was not added\n";
            return kExitFailure;
        }
        const zwave::DeviceRecord record = zwave::ReadDeviceRecord(GetParamImage(), node);
        io.out << "added " << TypeName(record.type) << " \"" << Utf8(record.name) << "\" as node "
               << node << "\n";
        return kExitOk;
    });
}

int Remove(Args args, Io& io) {
    const auto positional = Positional(args);
    const auto press = positional.size() == 1 ? ParseInt(positional[0]) : std::optional<long>(0);
    if (positional.size() > 1 || !press || *press < 0 || *press > zwave::kLastNode) {
        return BadInput(io, "usage: kvctl zwave remove [NODE]");
    }
    return RunLive(io, [&](LiveSession& session) -> int {
        ReceiverScope scope;
        ZwaveReceiver& receiver = scope.Receiver();
        PressAtOnce(session, static_cast<int>(*press));
        ConsoleUi ui(io, 0);
        io.err << "kvctl: press and hold the button of the device to remove for 3 seconds\n";
        ZwaveHubSend(zwave::kOperationRemove, 0, 0);
        const int node = RunOperation(receiver, ui, zwave::kOperationRemove, io);
        if (node < 0 || !ui.Ok()) {
            io.err << "kvctl: no device was removed\n";
            return kExitFailure;
        }
        if (node == 0) {
            io.out << "the device was in no network\n";
        } else {
            io.out << "removed node " << node << "\n";
        }
        return kExitOk;
    });
}

int Reset(Args args, Io& io) {
    if (!Positional(args).empty()) {
        return BadInput(io, "usage: kvctl zwave reset");
    }
    return RunLive(io, [&](LiveSession&) -> int {
        ReceiverScope scope;
        StartZwaveReset();
        if (!WaitZwaveThreads(kThreadTimeout)) {
            io.err << "kvctl: the reset did not end\n";
            return kExitFailure;
        }
        io.out << "the Z-Wave network and the scenes are erased\n";
        return kExitOk;
    });
}

/// Whether the events a step brought say its command did not reach the device: the
/// controller's transmission failed, or a smart plug reports that it could not send its key.
bool SendFailed(ZwaveReceiver& receiver, const StepResult& result) {
    bool failed = false;
    while (const auto event = receiver.Next(std::chrono::steady_clock::now())) {
        if (event->function == zwave::kEventSendData && event->status == 1) {
            failed = true;
        } else if (event->function == zwave::kEventAppCommand &&
                   event->node == result.step.target && event->status == zwave::kKeySendFailed) {
            failed = true;
        }
    }
    return failed && zwave::KindOf(result.step) == zwave::StepKind::Device;
}

int Scene(Args args, Io& io) {
    const auto positional = Positional(args);
    constexpr const char* kUsage =
        "usage: kvctl zwave scene show|run SCENE   (SCENE 0..5 or tv, movie, karaoke, music, "
        "poweron, poweroff)";
    const auto scene = positional.size() == 2 ? ParseScene(positional[1]) : std::nullopt;
    if (!scene || (positional[0] != "show" && positional[0] != "run")) {
        return BadInput(io, kUsage);
    }
    const bool run = positional[0] == "run";
    return RunLive(io, [&](LiveSession&) -> int {
        ReceiverScope scope;
        ZwaveReceiver& receiver = scope.Receiver();
        if (const int code = ReadHub(io); code != kExitOk) {
            return code;
        }
        if (!run) {
            io.out << SceneJson(*scene).dump(2, ' ', false,
                                             nlohmann::json::error_handler_t::replace)
                   << "\n";
            return kExitOk;
        }
        while (receiver.Next(std::chrono::steady_clock::now())) {
            // the events of the read are no step's
        }
        int steps = 0;
        int failed = 0;
        ZWAVE_LoadMode(*scene, RealSceneClock(), [&](const StepResult& step) {
            const bool sendFailed = SendFailed(receiver, step);
            ++steps;
            failed += StepSucceeded(step, sendFailed) ? 0 : 1;
            io.out << StepLine(step, sendFailed) << "\n";
        });
        const std::string name = zwave::SceneName(*scene, false);
        if (steps == 0) {
            io.out << "scene " << *scene << " (" << name << ") has no steps\n";
            return kExitOk;
        }
        if (failed > 0) {
            io.err << "kvctl: " << failed << " of " << steps << " steps of scene " << *scene << " ("
                   << name << ") failed\n";
            return kExitFailure;
        }
        io.out << "scene " << *scene << " (" << name << "): " << steps << " steps done\n";
        return kExitOk;
    });
}

#ifdef KV_KEY_FILES
const char* KeyFileProblem(KeyFileStatus status) {
    switch (status) {
    case KeyFileStatus::Missing:
        return "there is no key file";
    case KeyFileStatus::NotRegular:
        return "not a plain file";
    case KeyFileStatus::CannotRead:
        return "cannot be read";
    case KeyFileStatus::TooLarge:
        return "too large for a key file; the keys at its beginning are listed";
    default:
        return "damaged; the keys before the damage are listed";
    }
}

int Keys(Args args, Io& io) {
    const auto positional = Positional(args);
    const auto node = positional.size() == 1 ? ParseInt(positional[0]) : std::nullopt;
    if (!node || *node < zwave::kFirstDeviceNode || *node > zwave::kLastNode) {
        return BadInput(io, "usage: kvctl zwave keys NODE [--dir=DIR]   (NODE 2..232)");
    }
    const int n = static_cast<int>(*node);
    const auto dir = OptionValue("--dir");
    const QString qpath =
        dir ? QString::fromStdString(*dir) + QStringLiteral("/%1.xml").arg(n) : KeyFilePath(n);
    const std::string path = qpath.toStdString();
    const KeyFile file = LoadKeyFileAt(qpath);
    if (file.status == KeyFileStatus::Missing || file.status == KeyFileStatus::NotRegular ||
        file.status == KeyFileStatus::CannotRead) {
        io.err << "kvctl: " << path << ": " << KeyFileProblem(file.status) << "\n";
        return kExitFailure;
    }
    nlohmann::json keys = nlohmann::json::array();
    for (const KeyEntry& key : file.keys) {
        nlohmann::json index = nullptr;
        if (key.Index() >= 0) {
            index = key.Index();
        }
        keys.push_back(
            {{"index", index}, {"name", key.Name().toStdString()}, {"learned", key.Learned()}});
    }
    io.out << nlohmann::json{{"node", n}, {"file", path}, {"keys", keys}}.dump(
                  2, ' ', false, nlohmann::json::error_handler_t::replace)
           << "\n";
    if (!file.ok()) {
        io.err << "kvctl: " << path << ": " << KeyFileProblem(file.status) << "\n";
        return kExitFailure;
    }
    return kExitOk;
}
#endif

constexpr std::array kCommands = {
    Command{"zwave", "list", "zwave list                the Z-Wave devices as JSON", List,
            "Reads the controller's node list and the device records, and prints every\n"
            "device (node 2..232) with its type, name and last known value.\n"},
    Command{"zwave", "set", "zwave set NODE VALUE      switch or dim a device", Set,
            "Sends a Basic Set of VALUE (0 off, 1..99 a level, 255 on) to NODE.\n"
            "Exits with 1 when the device does not answer.\n"},
    Command{"zwave", "add", "zwave add switch|dimmer NAME  add a device", Add,
            "Excludes and then includes a device; the user presses its button twice (with\n"
            "--sim the simulated user presses at once). The device record gets the type and\n"
            "NAME (at most 11 characters are kept).\n"},
    Command{"zwave", "remove",
            "zwave remove [NODE]       remove the device whose button is pressed", Remove,
            "Waits for the user to press the button of the device to remove. With --sim the\n"
            "simulated user presses NODE's button (without NODE: a device in no network).\n"},
    Command{"zwave", "reset", "zwave reset               erase the Z-Wave network and the scenes",
            Reset},
    Command{"zwave", "scene", "zwave scene show|run SCENE  a scene's steps as JSON, or run it",
            Scene,
            "SCENE is 0..5 or tv, movie, karaoke, music, poweron, poweroff. show prints the\n"
            "steps the processor holds for the scene: devices with their names and values,\n"
            "delays and HDMI inputs, and whether the scene page lists them. run carries the\n"
            "steps out in order as the application does (a device has 6 s to answer) and\n"
            "prints one line per step; it exits with 1 when a step failed: a device that did\n"
            "not answer or is not in the network, a command that did not reach its device,\n"
            "or a step no scene can hold.\n"},
#ifdef KV_KEY_FILES
    Command{"zwave", "keys", "zwave keys NODE           a smart plug's remote keys as JSON", Keys,
            "Prints the key file of NODE (2..232) from this computer: every key with its\n"
            "index, name and whether the plug has learned it. No processor is needed.\n"
            "--dir=DIR reads the key files from DIR instead of Documents/593/Plug. Exits\n"
            "with 1 when there is no key file or it is damaged (the keys read before the\n"
            "damage are still printed).\n",
            "--dir="},
#endif
};

} // namespace

std::span<const Command> ZwaveCommands() {
    return kCommands;
}

} // namespace kv::cli
