#include "LiveSession.h"

#include "image/ModeFile.h"
#include "image/ParamImage.h"
#include "image/Text.h"
#include "link/ConnectionState.h"
#include "link/Link.h"
#include "link/LinkReceiver.h"
#include "protocol/CommandSink.h"
#include "protocol/Commands.h"
#include "protocol/Dispatcher.h"
#include "protocol/Synchronize.h"
#include "sim/InProcessBus.h"
#include "sim/Simulator.h"

#include <condition_variable>
#include <deque>
#include <mutex>
#include <ostream>
#include <stdexcept>

#include <utility>

namespace kv::cli {

namespace {

using namespace std::chrono_literals;

constexpr auto kSyncThreadsEndWait = 2000ms;
constexpr const char* kAcceptedModels = "KV5930Q or RS483";

} // namespace

/// Receives the link's notices for the command line: synchronisation ends are queued for
/// WaitForSync, message boxes are printed.
class SessionReceiver final : public ILinkReceiver {
public:
    explicit SessionReceiver(Io& io) : m_io(io) {}

    void PostNotice(const LinkNotice& notice) override {
        const auto* finished = std::get_if<notice::SyncFinished>(&notice);
        if (!finished) {
            return;
        }
        {
            std::lock_guard lock(m_lock);
            m_syncs.push_back(finished->kind);
        }
        m_changed.notify_all();
    }
    void ShowErrorBox(const std::string& text, const std::string& caption) override {
        std::lock_guard lock(m_lock);
        m_io.err << "kvctl: " << caption << ": " << text << "\n";
    }

    bool Wait(notice::SyncKind kind, std::chrono::milliseconds timeout) {
        std::unique_lock lock(m_lock);
        const bool seen = m_changed.wait_for(lock, timeout, [&] {
            for (notice::SyncKind k : m_syncs) {
                if (k == kind) {
                    return true;
                }
            }
            return false;
        });
        if (seen) {
            std::erase(m_syncs, kind);
        }
        return seen;
    }
    void Clear() {
        std::lock_guard lock(m_lock);
        m_syncs.clear();
    }

private:
    Io& m_io;
    std::mutex m_lock; ///< guards m_syncs and the error stream
    std::condition_variable m_changed;
    std::deque<notice::SyncKind> m_syncs;
};

LiveSession::LiveSession(const LiveOptions& options, Io& io)
    : m_options(options), m_io(io), m_receiver(std::make_unique<SessionReceiver>(io)) {}

LiveSession::~LiveSession() {
    Close();
    // No notice may reach the receiver once it is gone.
    UnregisterUsbNotification();
    SetLinkReceiver(nullptr);
    if (m_bus) {
        m_bus->Detach(m_simPath);
    }
    if (m_backendsReplaced) {
        hid::SetHidBackends(m_previousBackends);
    }
}

int LiveSession::Prepare() {
    if (!m_options.sim) {
        return kExitOk;
    }
    sim::SimOptions simOptions;
    if (!m_options.simModel.empty()) {
        simOptions.identity.model = m_options.simModel;
    }
    if (m_options.simCommVersion) {
        simOptions.identity.commVersion = *m_options.simCommVersion;
    }
    simOptions.statePath = m_options.simState;
    for (const auto& [kind, n] : m_options.simFaults) {
        const int count = static_cast<int>(n);
        if (kind == "drop-every") {
            simOptions.dropEvery = count;
        } else if (kind == "latency-us") {
            simOptions.latency = std::chrono::microseconds(n);
        } else if (kind == "disconnect-after") {
            simOptions.disconnectAfter = count;
        } else if (kind == "stop-reading-after") {
            simOptions.stopReadingAfter = count;
        } else if (kind == "report-after") {
            simOptions.reportAfter = count;
        }
    }
    simOptions.tracePath = m_options.tracePath;
    try {
        m_sim = std::make_unique<sim::Simulator>(simOptions);
    } catch (const std::exception& e) {
        return BadInput(m_io, e.what());
    }
    m_bus = std::make_shared<sim::InProcessBus>();
    m_previousBackends = hid::HidBackends();
    hid::SetHidBackends({m_bus});
    m_backendsReplaced = true;
    m_simPath = m_bus->Attach(*m_sim, "kvctl");
    return kExitOk;
}

int LiveSession::Open() {
    ParamImage& image = GetParamImage();
    image.InitDefaults();
    InstallReportDispatcher();
    if (!ConnectUsbDevice(m_receiver.get())) {
        if (const std::string why = LastOpenFailure(); !why.empty()) {
            m_io.err << "kvctl: busy: " << why << "\n";
            return kExitNoProcessor;
        }
        m_io.err << "kvctl: no processor found (check the cable and the udev rule; "
                    "kvctl list --verbose; kvsim or --sim simulate one)\n";
        return kExitNoProcessor;
    }
    InstallReadAllStarter();
    const ReadAllOutcome read = SynchronizeReadThreadProc();
    m_receiver->Clear();
    if (const int lost = CheckLink(); lost != kExitOk) {
        return lost;
    }
    if (const int code = CheckReadAll(read); code != kExitOk) {
        return code;
    }
    if (!IsAcceptedModel(image)) {
        m_io.err << "kvctl: model mismatch: the processor is a '" << ToUtf8(image.Model())
                 << "', this program works with " << kAcceptedModels << "\n";
        return kExitRefused;
    }
    if (image.CommVersion() != kCommVersion) {
        m_io.err << "kvctl: communication version mismatch: the processor speaks version "
                 << int(image.CommVersion()) << ", this program needs version " << kCommVersion
                 << " (use the software that came with the processor)\n";
        return kExitRefused;
    }
    return kExitOk;
}

bool LiveSession::WaitForSync(notice::SyncKind kind, std::chrono::milliseconds timeout) {
    return m_receiver->Wait(kind, timeout);
}

void LiveSession::ClearSyncs() {
    m_receiver->Clear();
}

int LiveSession::CheckReadAll(const ReadAllOutcome& read) {
    switch (read.result) {
    case ReadAllResult::NoAnswer:
        m_io.err << "kvctl: no answer: the processor does not answer in time (" << read.failed
                 << " request" << (read.failed == 1 ? "" : "s") << " went unanswered)\n";
        return kExitNoProcessor;
    case ReadAllResult::Incomplete:
        m_io.err << "kvctl: incomplete read: " << read.failed << " of the processor's answers "
                 << (read.failed == 1 ? "was" : "were") << " missing after " << kSendAttempts
                 << " attempts; nothing was written\n";
        return kExitNoProcessor;
    case ReadAllResult::Disconnected:
        return ReportLost();
    default: // the identity is checked by the caller
        return kExitOk;
    }
}

int LiveSession::CheckAnswered(int failures, const char* what) {
    if (const int lost = CheckLink(); lost != kExitOk) {
        return lost;
    }
    if (failures > 0) {
        m_io.err << "kvctl: no answer: " << failures << " command" << (failures == 1 ? "" : "s")
                 << " of " << what << " got no answer from the processor\n";
        return kExitNoProcessor;
    }
    return kExitOk;
}

int LiveSession::ReportLost() {
    if (!std::exchange(m_lostReported, true)) {
        m_io.err << "kvctl: processor lost\n";
    }
    return kExitNoProcessor;
}

int LiveSession::CheckLink() {
    if (g_bDeviceConnected.load() == 0 || g_bReadThreadEnd.load() != 0) {
        return ReportLost();
    }
    return kExitOk;
}

void LiveSession::Close() {
    // A synchronisation the processor started must end before the link goes away.
    WaitForSyncThreads(kSyncThreadsEndWait);
    if (g_bDeviceConnected.load() != 0) {
        g_statusRecord.Clear();
        CommandSink().Write(BuildCommand({kCmdGoodbye}));
        CloseUsbDevice();
    }
}

} // namespace kv::cli
