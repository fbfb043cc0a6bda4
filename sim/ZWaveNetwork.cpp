#include "sim/ZWaveNetwork.h"

#include <algorithm>

namespace kv::sim {

namespace {

using std::chrono::milliseconds;

constexpr std::uint8_t kInputReportId = 1;
constexpr std::uint8_t kRelay = 18;
constexpr std::uint8_t kFrameStart = 0x01;
constexpr std::uint8_t kAck = 0x06;
constexpr std::uint8_t kRequest = 0x00;
constexpr std::uint8_t kResponse = 0x01;

constexpr std::uint8_t kGetInitData = 0x02;
constexpr std::uint8_t kApplicationCommand = 0x04;
constexpr std::uint8_t kSendData = 0x13;
constexpr std::uint8_t kSetDefault = 0x42;
constexpr std::uint8_t kAddNode = 0x4A;
constexpr std::uint8_t kRemoveNode = 0x4B;

constexpr std::uint8_t kApiVersion = 0x05;
constexpr std::uint8_t kControllerCaps = 0x08;
constexpr std::uint8_t kChipType = 0x05;
constexpr std::uint8_t kBitmapBytes = 29;

constexpr std::uint8_t kModeAny = 0x01;
constexpr std::uint8_t kModeStop = 0x05;
// Status of the add and remove callbacks.
constexpr std::uint8_t kLearnReady = 1;
constexpr std::uint8_t kNodeFound = 2;
constexpr std::uint8_t kAddingSlave = 3;
constexpr std::uint8_t kProtocolDone = 5;
constexpr std::uint8_t kRemoveDone = 6;
constexpr std::uint8_t kFailed = 7;

constexpr std::uint8_t kTransmitOk = 0;
constexpr std::uint8_t kTransmitNoAck = 1;
constexpr std::uint8_t kCommandClassBasic = 0x20;
constexpr std::uint8_t kBasicSet = 0x01;
constexpr std::uint8_t kBasicReport = 0x03;
constexpr std::uint8_t kBasicRoutingSlave = 0x04;

// Smart plug key commands and their reports.
constexpr std::uint8_t kFirstSendKey = 128;
constexpr std::uint8_t kFirstLearnKey = 192;
constexpr std::uint8_t kKeyReady = 2;
constexpr std::uint8_t kKeyLearned = 3;
constexpr std::uint8_t kKeyChecksumError = 4;
constexpr std::uint8_t kKeyTimeout = 5;
constexpr std::uint8_t kKeySent = 6;
constexpr std::uint8_t kKeySendFailed = 7;
/// A plug reports "ready" a moment after the learn command reached it.
constexpr milliseconds kKeyReadyAfter{200};
constexpr std::uint8_t kDimmerMax = 99;
constexpr std::uint8_t kOn = 0xFF;

std::uint8_t GenericClass(ZWaveDeviceKind kind) {
    return kind == ZWaveDeviceKind::Dimmer ? 0x11 : 0x10; // multilevel or binary switch
}

/// The parameters of the request: payload bytes after the function, before the checksum.
std::vector<std::uint8_t> Parameters(const ZWaveReport& c) {
    const std::size_t len = c[4];
    return {c.begin() + 7, c.begin() + static_cast<std::ptrdiff_t>(4 + len)};
}

} // namespace

const char* ZWaveKindName(ZWaveDeviceKind kind) {
    switch (kind) {
    case ZWaveDeviceKind::Dimmer:
        return "dimmer";
    case ZWaveDeviceKind::Plug:
        return "plug";
    default:
        return "switch";
    }
}

const char* KeyLearnOutcomeName(KeyLearnOutcome outcome) {
    switch (outcome) {
    case KeyLearnOutcome::ChecksumError:
        return "checksum";
    case KeyLearnOutcome::Timeout:
        return "timeout";
    case KeyLearnOutcome::NoKey:
        return "none";
    default:
        return "ok";
    }
}

bool ParseKeyLearnOutcome(const std::string& text, KeyLearnOutcome& outcome) {
    for (KeyLearnOutcome o : {KeyLearnOutcome::Learned, KeyLearnOutcome::ChecksumError,
                              KeyLearnOutcome::Timeout, KeyLearnOutcome::NoKey}) {
        if (text == KeyLearnOutcomeName(o)) {
            outcome = o;
            return true;
        }
    }
    return false;
}

bool ParseZWaveKind(const std::string& text, ZWaveDeviceKind& kind) {
    for (ZWaveDeviceKind k :
         {ZWaveDeviceKind::Switch, ZWaveDeviceKind::Dimmer, ZWaveDeviceKind::Plug}) {
        if (text == ZWaveKindName(k)) {
            kind = k;
            return true;
        }
    }
    return false;
}

ZWaveNetwork::ZWaveNetwork() = default;

void ZWaveNetwork::Put(milliseconds after, std::uint8_t type, std::uint8_t function,
                       const std::vector<std::uint8_t>& params) {
    TimedReport out{after, {}};
    ZWaveReport& r = out.report;
    const std::size_t n = std::min<std::size_t>(params.size(), r.size() - 8);
    const auto len = static_cast<std::uint8_t>(n + 3);
    r[0] = kInputReportId;
    r[1] = kRelay;
    r[2] = static_cast<std::uint8_t>(len + 2);
    r[3] = kFrameStart;
    r[4] = len;
    r[5] = type;
    r[6] = function;
    std::copy_n(params.begin(), n, r.begin() + 7);
    std::uint8_t checksum = 0xFF;
    for (std::size_t i = 4; i < 7 + n; ++i) {
        checksum ^= r[i];
    }
    r[7 + n] = checksum;
    m_outbox.push_back(out);
}

void ZWaveNetwork::Callback(std::uint8_t function, const std::vector<std::uint8_t>& params,
                            milliseconds extra) {
    Put(m_callbackDelay + extra, kRequest, function, params);
}

void ZWaveNetwork::Handle(const ZWaveReport& c) {
    // c[2] = relayed bytes, c[3..] = the frame: 01 len type function params... checksum.
    const std::size_t count = std::min<std::size_t>(c[2], c.size() - 3);
    const std::size_t len = c[4];
    if (count < 5 || c[3] != kFrameStart || len < 3 || len + 2 > count) {
        return; // the host's ACK, or nothing a controller understands
    }
    std::uint8_t checksum = 0xFF;
    for (std::size_t i = 4; i < 4 + len; ++i) {
        checksum ^= c[i];
    }
    if (checksum != c[4 + len]) {
        return;
    }
    TimedReport ack;
    ack.report[0] = kInputReportId;
    ack.report[1] = kRelay;
    ack.report[2] = 1;
    ack.report[3] = kAck;
    m_outbox.push_back(ack);

    const std::vector<std::uint8_t> p = Parameters(c);
    auto param = [&p](std::size_t i) -> std::uint8_t { return i < p.size() ? p[i] : 0; };
    switch (c[6]) {
    case kGetInitData:
        InitData();
        break;
    case kSetDefault:
        m_nodes.clear();
        m_waiting = Waiting::None;
        Callback(kSetDefault, {param(0)});
        break;
    case kSendData:
        SendData(p);
        break;
    case kAddNode:
        if (param(0) == kModeStop) {
            m_waiting = Waiting::None;
        } else if (param(0) == kModeAny) {
            StartWaiting(Waiting::Add, param(1));
        }
        break;
    case kRemoveNode:
        if (param(0) == kModeStop) {
            m_waiting = Waiting::None;
        } else if (param(0) == kModeAny) {
            StartWaiting(Waiting::Remove, param(1));
        }
        break;
    default:
        break;
    }
}

void ZWaveNetwork::InitData() {
    std::vector<std::uint8_t> params = {kApiVersion, kControllerCaps, kBitmapBytes};
    std::array<std::uint8_t, kBitmapBytes> bitmap{};
    bitmap[0] = 0x01; // node 1: the controller itself
    for (const auto& [id, node] : m_nodes) {
        bitmap[static_cast<std::size_t>(id - 1) / 8] |=
            static_cast<std::uint8_t>(1u << ((id - 1) % 8));
    }
    params.insert(params.end(), bitmap.begin(), bitmap.end());
    params.push_back(kChipType);
    params.push_back(0);
    Put(milliseconds(0), kResponse, kGetInitData, params);
}

void ZWaveNetwork::SendData(const std::vector<std::uint8_t>& p) {
    // node, data length, data..., transmit options, callback id
    if (p.size() < 2 || p[1] == 0 || p.size() < 4u + p[1]) {
        return; // no data to send (the application's cancel of a send)
    }
    const int id = p[0];
    const std::size_t dataLength = p[1];
    const std::uint8_t callbackId = p[3 + dataLength];
    Put(milliseconds(0), kResponse, kSendData, {1});
    const auto node = m_nodes.find(id);
    if (node == m_nodes.end() || node->second.silent) {
        Callback(kSendData, {callbackId, kTransmitNoAck});
        return;
    }
    Callback(kSendData, {callbackId, kTransmitOk});
    if (node->second.mute) {
        return;
    }
    if (dataLength >= 3 && p[2] == kCommandClassBasic && p[3] == kBasicSet) {
        NodeAnswers(id, p[4]);
    }
}

void ZWaveNetwork::NodeAnswers(int id, std::uint8_t value) {
    ZWaveNode& node = m_nodes[id];
    if (node.kind == ZWaveDeviceKind::Plug && value >= kFirstSendKey && value != kOn) {
        PlugAnswers(id, node, value);
        return;
    }
    if (node.kind == ZWaveDeviceKind::Dimmer) {
        node.value = value == kOn ? kDimmerMax : std::min(value, kDimmerMax);
    } else {
        node.value = value == 0 ? 0 : kOn;
    }
    NodeReport(id, node.value);
}

void ZWaveNetwork::PlugAnswers(int id, ZWaveNode& node, std::uint8_t value) {
    if (value < kFirstLearnKey) {
        Report(id, m_keySendFails ? kKeySendFailed : kKeySent, milliseconds(0));
        return;
    }
    const std::uint64_t bit = std::uint64_t{1} << (value - kFirstLearnKey);
    Report(id, kKeyReady, kKeyReadyAfter);
    const milliseconds end = kKeyReadyAfter + m_learnDelay;
    switch (m_learnOutcome) {
    case KeyLearnOutcome::Learned:
        node.learnedKeys |= bit;
        Report(id, kKeyLearned, end);
        break;
    case KeyLearnOutcome::ChecksumError:
        node.learnedKeys &= ~bit;
        Report(id, kKeyChecksumError, end);
        break;
    case KeyLearnOutcome::Timeout:
        node.learnedKeys &= ~bit;
        Report(id, kKeyTimeout, end);
        break;
    case KeyLearnOutcome::NoKey:
        break;
    }
}

void ZWaveNetwork::Report(int id, std::uint8_t value, milliseconds extra) {
    Callback(kApplicationCommand,
             {0, static_cast<std::uint8_t>(id), 3, kCommandClassBasic, kBasicReport, value}, extra);
}

bool ZWaveNetwork::NodeReport(int id, std::uint8_t value) {
    if (m_nodes.find(id) == m_nodes.end()) {
        return false;
    }
    Report(id, value, milliseconds(0));
    return true;
}

void ZWaveNetwork::StartWaiting(Waiting waiting, std::uint8_t callbackId) {
    m_waiting = waiting;
    m_waitingCallback = callbackId;
    Callback(waiting == Waiting::Add ? kAddNode : kRemoveNode, {callbackId, kLearnReady, 0, 0});
    if (m_autoPress) {
        Press(waiting == Waiting::Add ? kNewDevice : m_autoPressNode);
    }
}

std::string ZWaveNetwork::Press(int node) {
    if (m_waiting == Waiting::None) {
        return "nothing waits for a button";
    }
    const Waiting waiting = m_waiting;
    const std::uint8_t function = waiting == Waiting::Add ? kAddNode : kRemoveNode;
    m_waiting = Waiting::None;
    if (m_failNext) {
        m_failNext = false;
        Callback(function, {m_waitingCallback, kFailed, 0, 0});
        return waiting == Waiting::Add ? "inclusion failed" : "exclusion failed";
    }
    if (waiting == Waiting::Add) {
        if (node != kNewDevice) {
            m_waiting = waiting;
            return "node " + std::to_string(node) + " is in the network already";
        }
        return Include();
    }
    if (node != kNewDevice && m_nodes.find(node) == m_nodes.end()) {
        m_waiting = waiting;
        return "no node " + std::to_string(node);
    }
    return Exclude(node);
}

std::string ZWaveNetwork::Include() {
    const int id = FreeNodeId();
    if (id == 0) {
        Callback(kAddNode, {m_waitingCallback, kFailed, 0, 0});
        return "the network is full";
    }
    const auto nodeId = static_cast<std::uint8_t>(id);
    Callback(kAddNode, {m_waitingCallback, kNodeFound, 0, 0});
    Callback(kAddNode, {m_waitingCallback, kAddingSlave, nodeId, 3, kBasicRoutingSlave,
                        GenericClass(m_newDevice), 0x01});
    Callback(kAddNode, {m_waitingCallback, kProtocolDone, nodeId, 0});
    m_nodes[id] = ZWaveNode{m_newDevice, 0, false};
    return std::string("included ") + ZWaveKindName(m_newDevice) + " as node " + std::to_string(id);
}

std::string ZWaveNetwork::Exclude(int node) {
    const auto nodeId = static_cast<std::uint8_t>(node);
    Callback(kRemoveNode, {m_waitingCallback, kNodeFound, 0, 0});
    Callback(kRemoveNode, {m_waitingCallback, kAddingSlave, nodeId, 0});
    Callback(kRemoveNode, {m_waitingCallback, kRemoveDone, nodeId, 0});
    if (node == kNewDevice) {
        return "excluded the new device (it was in no network)";
    }
    m_nodes.erase(node);
    return "excluded node " + std::to_string(node);
}

int ZWaveNetwork::Join(ZWaveDeviceKind kind) {
    const int id = FreeNodeId();
    if (id != 0) {
        m_nodes[id] = ZWaveNode{kind, 0, false};
    }
    return id;
}

bool ZWaveNetwork::SetSilent(int node, bool silent) {
    const auto it = m_nodes.find(node);
    if (it == m_nodes.end()) {
        return false;
    }
    it->second.silent = silent;
    return true;
}

bool ZWaveNetwork::SetMute(int node, bool mute) {
    const auto it = m_nodes.find(node);
    if (it == m_nodes.end()) {
        return false;
    }
    it->second.mute = mute;
    return true;
}

void ZWaveNetwork::SetAutoPress(bool on, int pressNode) {
    m_autoPress = on;
    m_autoPressNode = pressNode;
}

std::string ZWaveNetwork::Pending() const {
    switch (m_waiting) {
    case Waiting::Add:
        return "adding";
    case Waiting::Remove:
        return "removing";
    default:
        return "idle";
    }
}

std::vector<TimedReport> ZWaveNetwork::TakeOutbox() {
    std::vector<TimedReport> out;
    out.swap(m_outbox);
    return out;
}

int ZWaveNetwork::FreeNodeId() const {
    for (int id = kController + 1; id <= kMaxNode; ++id) {
        if (m_nodes.find(id) == m_nodes.end()) {
            return id;
        }
    }
    return 0;
}

} // namespace kv::sim
