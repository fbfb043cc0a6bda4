#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace kv::sim {

using ZWaveReport = std::array<std::uint8_t, 61>;

/// A report of the network, due that long after the event that caused it.
struct TimedReport {
    std::chrono::milliseconds after{0};
    ZWaveReport report{};
};

enum class ZWaveDeviceKind { Switch, Dimmer, Plug };

/// How a smart plug's learning ends after it reported "ready": the key is learned (report
/// 3), the code it received was damaged (4), no remote key came in time (5), or it goes on
/// waiting for one (no report: the application's wait window ends it).
enum class KeyLearnOutcome { Learned, ChecksumError, Timeout, NoKey };

/// One node of the simulated network.
struct ZWaveNode {
    ZWaveDeviceKind kind = ZWaveDeviceKind::Switch;
    std::uint8_t value = 0;
    bool silent = false;           ///< transmissions to it go unacknowledged (transmit status 1)
    bool mute = false;             ///< transmissions are acknowledged, but it never reports
    std::uint64_t learnedKeys = 0; ///< a smart plug's learned keys, bit k for key k
};

/// The Z-Wave controller inside the simulated processor (node 1) and the devices of its
/// network. It answers relayed Serial API requests as a controller does: an ACK for every
/// valid frame, a response frame where the request has one, then the callbacks. Inclusion
/// and exclusion wait for the user to press a device's button (Press). Output is collected
/// in an outbox that the caller sends as report 18. Not thread-safe.
class ZWaveNetwork {
public:
    static constexpr int kController = 1;
    static constexpr int kMaxNode = 232;
    /// Press: the new device beside the controller, not in the network.
    static constexpr int kNewDevice = 0;

    ZWaveNetwork();

    /// One report 18 from the host (a request frame or the host's ACK).
    void Handle(const ZWaveReport& command);
    /// The user presses the button of a node of the network or of the new device while an
    /// inclusion or exclusion waits. Returns what happened, for a person reading it.
    std::string Press(int node);
    /// The kind of the new device the next inclusion finds.
    void SetNewDevice(ZWaveDeviceKind kind) { m_newDevice = kind; }
    /// A device joins at once (as if included earlier); returns its node id, 0 when full.
    int Join(ZWaveDeviceKind kind);
    /// Node stops answering (silent) or answers again. False when there is no such node.
    bool SetSilent(int node, bool silent);
    /// Node takes transmissions (transmit status 0) but never reports back, or reports
    /// again. False when there is no such node.
    bool SetMute(int node, bool mute);
    /// Node reports a value by itself. False when there is no such node.
    bool NodeReport(int node, std::uint8_t value);
    /// The next inclusion or exclusion fails (status 7) when the button is pressed.
    void FailNextPress() { m_failNext = true; }
    /// Presses happen by themselves after each add or remove request: pressNode names the
    /// node pressed for a removal (kNewDevice: the new device).
    void SetAutoPress(bool on, int pressNode = kNewDevice);
    /// Callbacks come that long after their request (the ACK and response at once).
    void SetCallbackDelay(std::chrono::milliseconds delay) { m_callbackDelay = delay; }
    /// Delay of a learning smart plug between "ready" and the end of learning.
    void SetLearnDelay(std::chrono::milliseconds delay) { m_learnDelay = delay; }
    std::chrono::milliseconds LearnDelay() const { return m_learnDelay; }
    /// How the smart plugs' learning ends from now on (learned at first).
    void SetKeyLearnOutcome(KeyLearnOutcome outcome) { m_learnOutcome = outcome; }
    /// The smart plugs report sending a key as failed (7) instead of sent (6).
    void SetKeySendFails(bool fails) { m_keySendFails = fails; }

    const std::map<int, ZWaveNode>& Nodes() const { return m_nodes; }
    /// "adding", "removing" or "idle".
    std::string Pending() const;
    /// Takes the reports produced so far.
    std::vector<TimedReport> TakeOutbox();

private:
    enum class Waiting { None, Add, Remove };

    void Put(std::chrono::milliseconds after, std::uint8_t type, std::uint8_t function,
             const std::vector<std::uint8_t>& params);
    void Callback(std::uint8_t function, const std::vector<std::uint8_t>& params,
                  std::chrono::milliseconds extra = std::chrono::milliseconds(0));
    void InitData();
    void SendData(const std::vector<std::uint8_t>& payload);
    void NodeAnswers(int node, std::uint8_t value);
    /// A smart plug answers a key command: learn (192 + k) or send (128 + k).
    void PlugAnswers(int id, ZWaveNode& node, std::uint8_t value);
    void Report(int node, std::uint8_t value, std::chrono::milliseconds extra);
    void StartWaiting(Waiting waiting, std::uint8_t callbackId);
    std::string Include();
    std::string Exclude(int node);
    int FreeNodeId() const;

    std::map<int, ZWaveNode> m_nodes; ///< the devices; the controller is not among them
    std::vector<TimedReport> m_outbox;
    Waiting m_waiting = Waiting::None;
    std::uint8_t m_waitingCallback = 0;
    ZWaveDeviceKind m_newDevice = ZWaveDeviceKind::Switch;
    bool m_failNext = false;
    bool m_autoPress = false;
    int m_autoPressNode = kNewDevice;
    std::chrono::milliseconds m_callbackDelay{0};
    std::chrono::milliseconds m_learnDelay{1500};
    KeyLearnOutcome m_learnOutcome = KeyLearnOutcome::Learned;
    bool m_keySendFails = false;
};

/// "ok", "checksum", "timeout" or "none".
const char* KeyLearnOutcomeName(KeyLearnOutcome outcome);
bool ParseKeyLearnOutcome(const std::string& text, KeyLearnOutcome& outcome);
/// "switch", "dimmer" or "plug".
const char* ZWaveKindName(ZWaveDeviceKind kind);
bool ParseZWaveKind(const std::string& text, ZWaveDeviceKind& kind);

} // namespace kv::sim
