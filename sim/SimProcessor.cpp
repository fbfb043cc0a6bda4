#include "sim/SimProcessor.h"

#include "image/ParamImage.h"
#include "protocol/Dispatcher.h"
#include "sim/ParamEncoder.h"

#include <algorithm>
#include <cmath>
#include <memory>

namespace kv::sim {

namespace {

// Commands of the application.
constexpr std::uint8_t kSelectMode = 3;
constexpr std::uint8_t kStoreMode = 4;
constexpr std::uint8_t kRecallMode = 5;
constexpr std::uint8_t kFactoryMode = 6;
constexpr std::uint8_t kCurrentMode = 7;
constexpr std::uint8_t kSetParam = 9;
constexpr std::uint8_t kQueryParam = 10;
constexpr std::uint8_t kStatus = 14;
constexpr std::uint8_t kZWave = 18;
constexpr std::uint8_t kMemoryWrite = 19;
constexpr std::uint8_t kMemoryRead = 20;
constexpr std::uint8_t kStoreRead = 48;
constexpr std::uint8_t kLearnStart = 96;
constexpr std::uint8_t kLearnStop = 97;
constexpr std::uint8_t kLearnTable = 98;
constexpr std::uint8_t kLearnStore = 99;
constexpr std::uint8_t kReset = 104;
constexpr std::uint8_t kResetConfirm = 170;
constexpr std::uint8_t kDspVersion = 126;
constexpr std::uint8_t kCommVersion = 127;
constexpr std::uint8_t kModel = 128;
constexpr std::uint8_t kMcuVersion = 129;
constexpr std::uint8_t kStoreWrite = 133;
constexpr std::uint8_t kSettingsWrite = 145;
constexpr std::uint8_t kSettingsRead = 146;

/// The plain answer to a command that has no report of its own (the application ignores it).
constexpr std::uint8_t kAckReport = report::kIgnored49;
constexpr std::uint8_t kInputReportId = 1;

// Status of report 10.
constexpr std::uint8_t kUnknownModule = 1;
constexpr std::uint8_t kUnknownItem = 2;
constexpr std::uint8_t kWrongCount = 3;

constexpr std::size_t kMaxChunk = 56;
constexpr std::size_t kDataOffset = 5;
constexpr std::size_t kMemorySize = 6860;
constexpr std::size_t kBlocksEnd = 1307;
constexpr std::size_t kModeNameBytes = 48;
constexpr int kModes = 4;
constexpr int kLearnKeys = 17;
constexpr std::uint8_t kLearned = 1;
constexpr std::uint8_t kNotLearned = 0;
constexpr std::array<std::uint8_t, 14> kDefaultSettings = {0, 0, 0, 255, 255, 99, 99,
                                                           0, 0, 0, 0,   0,   0,  0};

int Address(const Report& c) {
    return c[2] * 256 + c[3];
}

std::size_t Length(const Report& c) {
    return std::min<std::size_t>(c[4], kMaxChunk);
}

void PutAddress(Report& r, int address, std::size_t length) {
    r[2] = static_cast<std::uint8_t>(address >> 8);
    r[3] = static_cast<std::uint8_t>(address & 0xFF);
    r[4] = static_cast<std::uint8_t>(length);
}

int ModeNameSlot(int address) {
    for (int m = 0; m < kModes; ++m) {
        if (address == kModeNameAddresses[m]) {
            return m;
        }
    }
    return -1;
}

std::u16string DefaultModeName(int m) {
    return {u'M', static_cast<char16_t>(u'1' + m)};
}

} // namespace

void FillFactoryImage(ParamImage& image, int mode) {
    using namespace fields;
    image.InitDefaults();
    image.SetInt(micVolume, 70 + 5 * mode);
    image.SetInt(musicVolume, 60 + 5 * mode);
    image.SetInt(effectVolume, 50);
    image.SetInt(echoVolume, 50);
    image.SetInt(reverbVolume, 50);
    for (int k = 0; k < 4; ++k) {
        image.SetInt(micInputVolume, k, 80);
        image.SetInt(micNoiseGate, k, 10);
        image.SetInt(micToChannelA, k, k < 2 ? 100 : 0);
        image.SetInt(micToChannelB, k, k < 2 ? 0 : 100);
    }
    for (const MainField* f : {&micShiftFreqA, &micShiftOffA, &micShiftFreqB, &micShiftOffB}) {
        image.SetInt(*f, 1);
    }
    for (int ch = 0; ch < 2; ++ch) {
        image.SetInt(echoLevel, ch, 50);
        image.SetFloat(echoPredelay, ch, 20.0f);
        image.SetInt(echoDecay, ch, 40);
        image.SetInt(reverbLevel, ch, 50);
        image.SetFloat(reverbPredelay, ch, 20.0f);
        image.SetFloat(reverbTime, ch, 40.0f);
    }
    for (const MainField* f : {&sourceLevelSpdif1, &sourceLevelSpdif2, &sourceLevelHdmi1,
                               &sourceLevelHdmi2, &sourceLevelHdmi3, &sourceLevelHdmi4,
                               &sourceLevelBt, &sourceLevelAux, &sourceLevelAux2}) {
        image.SetInt(*f, 100);
    }
    const float limiter[4] = {0.0f, 1.0f, 10.0f, 100.0f};
    for (int k = 0; k < 4; ++k) {
        image.SetFloat(musicInputLimiter, k, limiter[k]);
    }
    image.SetInt(musicInputLimiterOff, 1);
    image.SetFloat(musicAgcLevel, -20.0f);
    constexpr int kRoles[8] = {0, 1, 5, 4, 6, 7, 2, 3};
    for (int c = 0; c < 8; ++c) {
        for (const MainField* f :
             {&outDirectLevel, &outReverbLevel, &outEchoLevel, &outMusicLevel}) {
            image.SetInt(*f, c, 100);
        }
        image.SetInt(outRole, c, kRoles[c]);
        image.SetInt(outEqSwitch, c, 1);
        image.SetInt(outCompOff, c, 1);
        image.SetFloat(outCompRatio, c, 1.0f);
        image.SetFloat(outCompAttack, c, 10.0f);
        image.SetFloat(outCompRelease, c, 100.0f);
        image.SetFloat(outDelay, c, 1.5f);
        image.SetInt(outDelayOff, c, 1);
    }
    image.SetFloat(exciterLowFreq, 100.0f);
    image.SetFloat(exciterMidFreq, 1000.0f);
    image.SetFloat(exciterHighFreq, 5000.0f);
    for (const MainField* f : {&harmonicGain, &harmonicOrderRatio, &harmonicMixRatio}) {
        image.SetFloat(*f, 50.0f);
    }
    image.SetFloat(exciterVolume, 80.0f);
}

SimProcessor::SimProcessor(Identity identity)
    : m_identity(std::move(identity)), m_memory(kMemorySize, 0), m_start(SimClock::now()) {
    auto image = std::make_unique<ParamImage>();
    for (int m = 0; m < kModes; ++m) {
        FillFactoryImage(*image, m);
        m_factory[static_cast<std::size_t>(m)] = ParamSet::FromImage(*image);
    }
    FactoryReset();
}

void SimProcessor::FactoryReset() {
    m_modes = m_factory;
    m_live = m_factory[0];
    m_currentMode = 0;
    for (int m = 0; m < kModes; ++m) {
        m_modeNames[static_cast<std::size_t>(m)] = DefaultModeName(m);
    }
    m_settings = kDefaultSettings;
    m_learnTable.fill(0);
    std::fill(m_memory.begin(), m_memory.end(), 0);
    m_pendingKey = 0;
}

void SimProcessor::LoadState(const ParamImage& image) {
    m_live = ParamSet::FromImage(image);
    m_modes[static_cast<std::size_t>(m_currentMode)] = m_live;
}

bool SimProcessor::LiveDiffers() const {
    return !(m_live == m_modes[static_cast<std::size_t>(m_currentMode)]);
}

std::uint8_t SimProcessor::LearnedCode(int key) {
    return static_cast<std::uint8_t>(0x40 + key);
}

Report SimProcessor::Answer(std::uint8_t type) const {
    Report r{};
    r[0] = kInputReportId;
    r[1] = type;
    return r;
}

Report SimProcessor::Ack() const {
    return Answer(kAckReport);
}

Report SimProcessor::Unsolicited(std::uint8_t type) const {
    return Answer(type);
}

Report SimProcessor::Text(std::uint8_t type, const std::string& text) const {
    Report r = Answer(type);
    // Zero-terminated within the report.
    const std::size_t n = std::min(text.size(), kReportBytes - 3);
    std::copy_n(text.begin(), n, r.begin() + 2);
    return r;
}

CommandResult SimProcessor::Handle(const Report& c, SimClock::time_point now) {
    CommandResult result;
    auto answer = [&result](const Report& r) { result.reports.push_back(r); };
    switch (c[1]) {
    case kSelectMode:
    case kStoreMode:
    case kRecallMode:
    case kFactoryMode:
        answer(ModeCommand(c[1], c[2]));
        break;
    case kCurrentMode: {
        Report r = Answer(report::kCurrentMode);
        r[2] = static_cast<std::uint8_t>(m_currentMode);
        answer(r);
        break;
    }
    case kSetParam:
        answer(SetParam(c));
        break;
    case kQueryParam:
        answer(QueryParam(c));
        break;
    case kStatus:
        answer(Status(now));
        break;
    case kZWave:
        result.lockStep = false;
        ZWave(c, result);
        break;
    case kMemoryWrite:
        answer(MemoryWrite(c));
        break;
    case kMemoryRead:
        answer(MemoryRead(c));
        break;
    case kStoreRead:
        answer(StoreRead(c));
        break;
    case kStoreWrite:
        answer(StoreWrite(c));
        break;
    case kLearnStart:
        if (c[2] >= 1 && c[2] <= kLearnKeys) {
            m_pendingKey = c[2];
            if (m_learnAnswer == LearnAnswer::Press || m_learnAnswer == LearnAnswer::Refuse) {
                result.keyPressAfter = m_learnDelay;
            }
        }
        answer(Ack());
        break;
    case kLearnStop:
        m_pendingKey = 0;
        answer(Ack());
        break;
    case kLearnTable: {
        Report r = Answer(report::kLearnTable);
        std::copy_n(m_learnTable.begin(), 16, r.begin() + 2);
        answer(r);
        break;
    }
    case kLearnStore:
        std::copy_n(c.begin() + 2, m_learnTable.size(), m_learnTable.begin());
        answer(Ack());
        break;
    case kReset:
        if (c[2] == kResetConfirm) {
            FactoryReset();
        }
        answer(Ack());
        break;
    case kDspVersion:
        answer(Text(report::kDspVersion, m_identity.dspVersion));
        break;
    case kCommVersion: {
        Report r = Answer(report::kCommVersion);
        r[2] = static_cast<std::uint8_t>(m_identity.commVersion);
        answer(r);
        break;
    }
    case kModel:
        answer(Text(report::kModel, m_identity.model));
        break;
    case kMcuVersion:
        answer(Text(report::kMcuVersion, m_identity.mcuVersion));
        break;
    case kSettingsWrite:
        std::copy_n(c.begin() + 2, m_settings.size(), m_settings.begin());
        answer(Ack());
        break;
    case kSettingsRead: {
        Report r = Answer(report::kMachineSettings);
        std::copy(m_settings.begin(), m_settings.end(), r.begin() + 2);
        answer(r);
        break;
    }
    default: // goodbye (138), 149 and commands without an answer of their own
        answer(Ack());
        break;
    }
    return result;
}

Report SimProcessor::ModeCommand(std::uint8_t code, int mode) {
    if (mode < 0 || mode >= kModes) {
        return Ack();
    }
    const auto m = static_cast<std::size_t>(mode);
    m_currentMode = mode;
    switch (code) {
    case kStoreMode:
        m_modes[m] = m_live;
        break;
    case kRecallMode:
        m_live = m_modes[m];
        return Answer(report::kReRead); // the application reads everything again
    case kFactoryMode:
        m_modes[m] = m_factory[m];
        m_live = m_factory[m];
        return Answer(report::kReReadAlt);
    default:
        break;
    }
    Report r = Answer(report::kCurrentMode);
    r[2] = static_cast<std::uint8_t>(mode);
    return r;
}

Report SimProcessor::ParamError(std::uint8_t status, const Report& c) const {
    Report r = Answer(report::kParamValue);
    r[2] = status;
    r[3] = c[3];
    r[4] = c[4];
    // The current values, so that an application decoding the answer keeps its state.
    const auto values = m_live.Values(c[3], c[4]);
    r[5] = static_cast<std::uint8_t>(values.size() / kValueBytes);
    std::copy(values.begin(), values.end(), r.begin() + 6);
    return r;
}

Report SimProcessor::SetParam(const Report& c) {
    const int count = KnownValueCount(c[3], c[4]);
    if (count == 0) {
        return ParamError(c[3] >= 1 && c[3] <= 13 ? kUnknownItem : kUnknownModule, c);
    }
    if (c[5] != count) {
        return ParamError(kWrongCount, c);
    }
    m_live.SetValues(c[3], c[4], std::span(c).subspan(6, kValueBytes * c[5]));
    return LiveDiffers() ? Answer(report::kParamsChanged) : Ack();
}

Report SimProcessor::QueryParam(const Report& c) const {
    if (KnownValueCount(c[3], c[4]) == 0) {
        return ParamError(c[3] >= 1 && c[3] <= 13 ? kUnknownItem : kUnknownModule, c);
    }
    return ParamError(0, c);
}

Report SimProcessor::StoreRead(const Report& c) const {
    const int a = Address(c);
    const std::size_t length = Length(c);
    if (a < static_cast<int>(kStoreSize)) {
        const std::size_t n = std::min(length, kStoreSize - static_cast<std::size_t>(a));
        Report r = Answer(report::kStoreRead);
        PutAddress(r, a, n);
        std::copy_n(m_live.Store().begin() + a, n, r.begin() + kDataOffset);
        return r;
    }
    if (const int m = ModeNameSlot(a); m >= 0) {
        Report r = Answer(report::kModeName);
        const std::u16string& name = m_modeNames[static_cast<std::size_t>(m)];
        const std::size_t n = std::min(2 * (name.size() + 1), length);
        PutAddress(r, a, n);
        for (std::size_t k = 0; 2 * k + 1 < n && k < name.size(); ++k) {
            r[kDataOffset + 2 * k] = static_cast<std::uint8_t>(name[k] >> 8);
            r[kDataOffset + 2 * k + 1] = static_cast<std::uint8_t>(name[k] & 0xFF);
        }
        return r;
    }
    Report r = Answer(report::kStoreRead);
    PutAddress(r, a, 0);
    return r;
}

Report SimProcessor::StoreWrite(const Report& c) {
    const int a = Address(c);
    const std::size_t length = Length(c);
    if (a < static_cast<int>(kStoreSize)) {
        const std::size_t n = std::min(length, kStoreSize - static_cast<std::size_t>(a));
        std::copy_n(c.begin() + kDataOffset, n, m_live.Store().begin() + a);
        // Tell the application what the blocks hold now. FF FF at the start of the system
        // block would read as "clear the whole block", so that write gets a plain answer.
        const bool clearsSystem = a < static_cast<int>(kSystemBlockSize) &&
                                  c[kDataOffset] == 0xFF && c[kDataOffset + 1] == 0xFF;
        if (static_cast<std::size_t>(a) < kBlocksEnd && !clearsSystem) {
            Report r = Answer(report::kStoreBlock);
            PutAddress(r, a, n);
            std::copy_n(m_live.Store().begin() + a, n, r.begin() + kDataOffset);
            return r;
        }
        return Ack();
    }
    if (const int m = ModeNameSlot(a); m >= 0) {
        std::u16string name;
        for (std::size_t k = 0; 2 * k + 1 < std::min(length, kModeNameBytes); ++k) {
            const auto u =
                static_cast<char16_t>(c[kDataOffset + 2 * k] << 8 | c[kDataOffset + 2 * k + 1]);
            if (u == 0) {
                break;
            }
            name.push_back(u);
        }
        name.resize(std::min<std::size_t>(name.size(), kModeNameUnits - 1));
        m_modeNames[static_cast<std::size_t>(m)] = name;
    }
    return Ack();
}

Report SimProcessor::MemoryWrite(const Report& c) {
    const auto a = static_cast<std::size_t>(Address(c));
    if (a < kMemorySize) {
        const std::size_t n = std::min(Length(c), kMemorySize - a);
        std::copy_n(c.begin() + kDataOffset, n, m_memory.begin() + static_cast<std::ptrdiff_t>(a));
    }
    return Ack();
}

Report SimProcessor::MemoryRead(const Report& c) const {
    const int a = Address(c);
    Report r = Answer(report::kHubMemory);
    const auto at = static_cast<std::size_t>(a);
    const std::size_t n = at < kMemorySize ? std::min(Length(c), kMemorySize - at) : 0;
    PutAddress(r, a, n);
    std::copy_n(m_memory.begin() + static_cast<std::ptrdiff_t>(std::min(at, kMemorySize)), n,
                r.begin() + kDataOffset);
    return r;
}

Report SimProcessor::Status(SimClock::time_point now) const {
    // The meters move at a display's pace: the record is computed once per millisecond and
    // answered as it is to the polls within it.
    const auto tick = std::chrono::duration_cast<std::chrono::milliseconds>(now - m_start).count();
    if (m_statusCache && m_statusCache->tick == tick && m_statusCache->still == m_metersStill) {
        return m_statusCache->report;
    }
    const double t = std::chrono::duration<double>(now - m_start).count();
    Report r = Answer(report::kStatus);
    // Input levels on the meters' scale (0..60): Mic 1..4, then music left and right. Each
    // swells slowly with a little flutter on top, the way a voice or a song moves the meter;
    // held still they keep fixed values.
    constexpr std::array<double, 6> kStill = {24, 18, 0, 0, 36, 34};
    constexpr std::array<double, 6> kBase = {26, 20, 8, 6, 38, 36};
    constexpr std::array<double, 6> kSwell = {16, 14, 6, 5, 10, 10};
    for (std::size_t i = 0; i < kStill.size(); ++i) {
        const double k = static_cast<double>(i);
        const double level = m_metersStill ? kStill[i]
                                           : kBase[i] + kSwell[i] * std::sin(0.8 * t + 1.7 * k) +
                                                 5 * std::sin(4.7 * t + 2.3 * k);
        r[2 + i] = static_cast<std::uint8_t>(std::clamp(std::lround(level), 0L, 60L));
    }
    r[8] = 0;
    r[9] = 1; // input format: AC3
    const auto af = static_cast<std::uint8_t>(9 + 4 * std::sin(2.3 * t));
    const std::uint8_t receivers[8] = {235, af, 42, 205, 180, 5, 120, 170};
    std::copy(std::begin(receivers), std::end(receivers), r.begin() + 10);
    m_statusCache = StatusCache{tick, m_metersStill, r};
    return r;
}

std::optional<Report> SimProcessor::PressLearnKey() {
    if (m_pendingKey == 0) {
        return std::nullopt;
    }
    if (m_learnAnswer == LearnAnswer::Refuse) {
        // Nothing learned: the key keeps its code and the status says so.
        const int key = m_pendingKey;
        m_pendingKey = 0;
        m_learnTable[0] = kNotLearned;
        Report r = Answer(report::kLearnStatus);
        r[2] = kNotLearned;
        r[3] = static_cast<std::uint8_t>(key);
        r[4] = m_learnTable[static_cast<std::size_t>(key)];
        return r;
    }
    return PressKeyCode(LearnedCode(m_pendingKey));
}

std::optional<Report> SimProcessor::PressKeyCode(std::uint8_t code) {
    if (m_pendingKey == 0) {
        return std::nullopt;
    }
    const int key = m_pendingKey;
    m_pendingKey = 0;
    m_learnTable[0] = kLearned;
    m_learnTable[static_cast<std::size_t>(key)] = code;
    Report r = Answer(report::kLearnStatus);
    r[2] = kLearned;
    r[3] = static_cast<std::uint8_t>(key);
    r[4] = code;
    return r;
}

void SimProcessor::ZWave(const Report& c, CommandResult& result) {
    m_network.Handle(c);
    for (const TimedReport& out : m_network.TakeOutbox()) {
        if (out.after.count() == 0) {
            result.reports.push_back(out.report);
        } else {
            result.later.push_back(out);
        }
    }
}

} // namespace kv::sim
