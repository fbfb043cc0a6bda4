#pragma once

#include "CliSupport.h"
#include "LiveOptions.h"

#include "link/LinkReceiver.h"
#include "link/platform/HidBackend.h"
#include "protocol/Synchronize.h"

#include <chrono>
#include <memory>

namespace kv::sim {
class InProcessBus;
class Simulator;
} // namespace kv::sim

namespace kv::cli {

class SessionReceiver;

/// One connection to a processor for one live command: the backends the options ask for,
/// the connection with its read-all and identity check, and the orderly goodbye (command
/// 138) when it ends.
class LiveSession {
public:
    LiveSession(const LiveOptions& options, Io& io);
    ~LiveSession();
    LiveSession(const LiveSession&) = delete;
    LiveSession& operator=(const LiveSession&) = delete;

    /// Makes the backends (an in-process simulator with --sim); kExitOk or an exit code.
    int Prepare();
    /// Connects, runs the read-all and checks model and communication version. Returns
    /// kExitOk, kExitNoProcessor or kExitRefused (after printing why).
    int Open();
    /// Waits for the end of a synchronisation of that kind started by the processor or by a
    /// command; false on a time-out.
    bool WaitForSync(notice::SyncKind kind, std::chrono::milliseconds timeout);
    /// Forgets synchronisation ends seen so far.
    void ClearSyncs();
    /// kExitOk while the processor is still there, kExitNoProcessor (printed) once lost.
    int CheckLink();
    /// kExitOk after a complete read-all; kExitNoProcessor (printed) when the processor did
    /// not answer, part of it was missing or it went away.
    int CheckReadAll(const ReadAllOutcome& read);
    /// kExitOk when the processor is there and failures (unanswered commands of what) is 0;
    /// kExitNoProcessor (printed) otherwise.
    int CheckAnswered(int failures, const char* what);
    /// Sends command 138 and closes the device (also done by the destructor).
    void Close();
    /// The in-process simulator of --sim (nullptr otherwise).
    sim::Simulator* InProcessSimulator() const { return m_sim.get(); }

private:
    /// Prints "processor lost" the first time; kExitNoProcessor.
    int ReportLost();
    const LiveOptions& m_options;
    Io& m_io;
    hid::HidBackendList m_previousBackends;
    std::unique_ptr<SessionReceiver> m_receiver;
    std::unique_ptr<sim::Simulator> m_sim;
    std::shared_ptr<sim::InProcessBus> m_bus;
    std::string m_simPath;
    bool m_backendsReplaced = false;
    bool m_lostReported = false; ///< "processor lost" is printed once per session
};

} // namespace kv::cli
