#include "protocol/Synchronize.h"

#include "image/Encodings.h"
#include "image/ParamImage.h"
#include "link/ConnectionState.h"
#include "link/DebugLog.h"
#include "link/Link.h"
#include "link/LinkReceiver.h"
#include "protocol/CoefficientEncoders.h"
#include "protocol/CommandSink.h"
#include "protocol/DelayOperations.h"
#include "protocol/DeviceQueue.h"
#include "protocol/Dispatcher.h"
#include "protocol/Equaliser.h"
#include "protocol/ParamDecoder.h"
#include "protocol/ParamSenders.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cctype>
#include <chrono>
#include <condition_variable>
#include <initializer_list>
#include <mutex>
#include <string>
#include <thread>
#include <utility>

namespace kv {

namespace {

using namespace std::chrono_literals;

constexpr auto kThreadStartPause = 100ms;
constexpr auto kFinalPause = 50ms;
constexpr auto kMusicRampPause = 100ms;
constexpr int kIdentifyAttempts = 2;
constexpr int kStoreChunk = 56;
constexpr int kSystemAddress = 0;
constexpr int kExtensionAddress = 1253;
constexpr int kRoutingAddress = 1285;
constexpr int kMicRampStart = 80;
constexpr int kMusicRampStart = 70;
/// Above this a volume is beyond any maximum the processor can set (a byte); such a value
/// is sent once instead of ramped, so a damaged file cannot queue millions of commands.
constexpr int kRampLimit = 255;
constexpr std::size_t kVolumeRestoreHubByte = 536;
constexpr std::size_t kValueOffset = 3;

struct Key {
    int module;
    int item;
};

constexpr const char* kStartLine = "Start thread:SynchronizeData\n";

/// The detached synchronisation threads still running, and the turn of the one
/// synchronisation that may run. Never destroyed: a thread may end while the process exits.
struct SyncThreads {
    std::mutex lock; ///< guards the members below
    std::condition_variable ended;
    int running = 0;          ///< detached threads not yet ended
    bool busy = false;        ///< a procedure runs
    bool readWaiting = false; ///< a read-all thread waits for its turn
    std::condition_variable turnFree;
};

SyncThreads& Threads() {
    static auto* threads = new SyncThreads;
    return *threads;
}

/// Records of the read-back block: runs of (first offset, count, step) repeated per channel.
std::array<int, kReadBackRecordCount> BuildRecordOffsets() {
    std::array<int, kReadBackRecordCount> offsets{};
    std::size_t n = 0;
    const auto run = [&](int first, int count) {
        for (int k = 0; k < count; ++k) {
            offsets[n++] = first + 7 * k;
        }
    };
    run(1317, 21);
    run(1478, 1);
    run(1512, 9);
    run(1589, 1);
    run(1623, 25);
    run(1802, 1);
    run(1813, 4);
    run(1865, 21);
    for (int c = 0; c < 8; ++c) {
        run(2016 + 153 * c, 10);
        run(2110 + 153 * c, 1);
        if (c < 7) {
            run(2144 + 153 * c, 3);
        }
    }
    run(3215, 12);
    std::sort(offsets.begin(), offsets.end());
    return offsets;
}

const std::array<int, kReadBackRecordCount> kRecordOffsets = BuildRecordOffsets();

/// One request of the read-all: answered by a report of the given type (any report when
/// answerType is negative), asked again when the answer does not come.
bool Request(int code, int answerType) {
    AnswerCheck isAnswer;
    if (answerType >= 0) {
        isAnswer = [answerType](const std::uint8_t* r) { return r[1] == answerType; };
    }
    return CommandSink().Exchange(BuildCommand({code}), isAnswer) == Delivery::Answered;
}

/// The outcome of the last run of each procedure.
struct LastOutcomes {
    std::mutex lock; ///< guards both
    ReadAllOutcome read;
    WriteAllOutcome write;
};

LastOutcomes& Outcomes() {
    static auto* outcomes = new LastOutcomes;
    return *outcomes;
}

ReadAllResult RecordReadAll(ReadAllResult result, int failed) {
    LastOutcomes& o = Outcomes();
    std::lock_guard lock(o.lock);
    o.read = {result, failed};
    return result;
}

/// Connected, with a reader that has not failed (a failed link refuses every write).
bool Connected() {
    return g_bDeviceConnected.load() != 0 && g_bReadThreadEnd.load() == 0;
}

void SendKeys(std::initializer_list<Key> keys) {
    for (const Key& k : keys) {
        SendStoredParam(k.module, k.item);
    }
}

std::string Lower(std::u16string_view text) {
    std::string out;
    for (char16_t c : text) {
        out.push_back(c < 128 ? static_cast<char>(std::tolower(static_cast<int>(c))) : '?');
    }
    return out;
}

/// Ends a step whose request went unanswered: lost processor or no answer.
ReadAllResult Unanswered() {
    return Connected() ? ReadAllResult::NoAnswer : ReadAllResult::Disconnected;
}

/// Steps 1 and 2 of the read-all: model, versions, at most two attempts. A processor that
/// does not answer is not taken for one of another model.
ReadAllResult Identify(ParamImage& image) {
    for (int attempt = 0; attempt < kIdentifyAttempts; ++attempt) {
        for (int code : {kCmdModel, kCmdCommVersion, kCmdMcuVersion, kCmdDspVersion}) {
            if (!Request(code, code)) {
                return Unanswered();
            }
            // Checked after each pair of requests.
            if ((code == kCmdCommVersion || code == kCmdDspVersion) && !Connected()) {
                return ReadAllResult::Disconnected;
            }
        }
        if (IsAcceptedModel(image)) {
            return image.CommVersion() == kCommVersion ? ReadAllResult::Done
                                                       : ReadAllResult::WrongVersion;
        }
    }
    return ReadAllResult::UnknownModel;
}

void SendOutputChannel(ParamImage& image, int c) {
    const int m = kFirstOutputModule + c;
    SendKeys({{m, 15}, {m, 19}});
    SetChannelDelayMode(c, image.Int(fields::outDelayMode, c));
    SendKeys(
        {{m, 18}, {m, 20}, {m, 21}, {m, 22}, {m, 23}, {m, 26}, {m, 25}, {m, 16}, {m, 28}, {m, 27}});
    SetPositionTrim(c, image.ExtensionTrim(c));
    SendKeys({{m, 24}});
}

void SendExciter(ParamImage& image) {
    SendKeys({{13, 1}, {13, 0}, {13, 3}, {13, 2}, {13, 5}, {13, 4}});
    for (const MainField* f : {&fields::harmonicGain, &fields::harmonicOrderRatio,
                               &fields::harmonicMixRatio, &fields::exciterVolume}) {
        image.SetFloat(*f, static_cast<float>(TruncToInt32(image.Float(*f))));
    }
    SendKeys({{13, 6}, {13, 7}, {13, 8}, {13, 9}, {13, 10}, {13, 11}});
}

/// One volume ramp: a single command below the start step, else every step up to the value.
void RampVolume(int module, int item, std::int32_t value, int start,
                std::chrono::milliseconds pause) {
    if (value < start || value > kRampLimit) {
        SendParam(module, item, VolumeWithOffset(value));
        return;
    }
    for (std::int32_t i = start; i <= value; ++i) {
        SendParam(module, item, VolumeWithOffset(i));
        if (pause.count() > 0) {
            CommandSink().Pause(pause);
        }
    }
}

void WriteStoreBlock(int address, const std::vector<std::uint8_t>& bytes) {
    for (std::size_t at = 0; at < bytes.size(); at += kStoreChunk) {
        const std::size_t n = std::min<std::size_t>(kStoreChunk, bytes.size() - at);
        CommandSink().WriteStore(address + static_cast<int>(at), std::span(bytes).subspan(at, n));
    }
}

/// Holds the one turn to synchronise for its lifetime (waits for it first). A read-all
/// that got its turn is no longer the one waiting.
class SyncTurn {
public:
    explicit SyncTurn(bool readAll) : m_threads(Threads()) {
        std::unique_lock lock(m_threads.lock);
        m_threads.turnFree.wait(lock, [this] { return !m_threads.busy; });
        m_threads.busy = true;
        if (readAll) {
            m_threads.readWaiting = false;
        }
    }
    ~SyncTurn() {
        {
            std::lock_guard lock(m_threads.lock);
            m_threads.busy = false;
        }
        m_threads.turnFree.notify_all();
    }
    SyncTurn(const SyncTurn&) = delete;
    SyncTurn& operator=(const SyncTurn&) = delete;

private:
    SyncThreads& m_threads;
};

notice::SyncFinished FinishedNotice(const ReadAllOutcome& outcome) {
    notice::SyncFinished finished{notice::SyncKind::ReadAll, notice::SyncEnd::Answered,
                                  outcome.failed};
    switch (outcome.result) {
    case ReadAllResult::NoAnswer:
        finished.end = notice::SyncEnd::NoAnswer;
        break;
    case ReadAllResult::Incomplete:
        finished.end = notice::SyncEnd::Incomplete;
        break;
    case ReadAllResult::Disconnected:
        finished.end = notice::SyncEnd::Lost;
        break;
    case ReadAllResult::Done:
    case ReadAllResult::UnknownModel: // the window names the model itself
    case ReadAllResult::WrongVersion:
        break;
    }
    return finished;
}

notice::SyncFinished FinishedNotice(const WriteAllOutcome& outcome) {
    notice::SyncFinished finished{notice::SyncKind::WriteAll, notice::SyncEnd::Answered,
                                  outcome.failed};
    switch (outcome.result) {
    case WriteAllResult::Incomplete:
        finished.end = notice::SyncEnd::Incomplete;
        break;
    case WriteAllResult::Disconnected:
        finished.end = notice::SyncEnd::Lost;
        break;
    case WriteAllResult::Done:
        break;
    }
    return finished;
}

/// Steps around both procedures.
template <typename Procedure>
auto RunSyncThreadBody(bool readAll, Procedure procedure, const char* endLine) {
    SyncTurn turn(readAll);
    // What the window queued before goes out first, in its order.
    FlushDeviceQueue();
    g_statusRecord.Clear();
    g_bStatusPoll.store(0);
    CommandSink().Pause(kThreadStartPause);
    const auto outcome = procedure();
    if (ILinkReceiver* receiver = LinkReceiver()) {
        // The outcome travels with the notice: a later synchronisation cannot change it.
        receiver->PostNotice(FinishedNotice(outcome));
    }
    g_statusRecord.Clear();
    g_bStatusPoll.store(1);
    DebugWrite(endLine);
    return outcome;
}

template <typename Body>
void LaunchDetached(Body body) {
    SyncThreads& threads = Threads();
    {
        std::lock_guard lock(threads.lock);
        ++threads.running;
    }
    std::thread([body, &threads] {
        body();
        std::lock_guard lock(threads.lock);
        --threads.running;
        threads.ended.notify_all();
    }).detach();
}

/// Starts a read-all thread unless one already waits for its turn.
void LaunchReadAll() {
    {
        SyncThreads& threads = Threads();
        std::lock_guard lock(threads.lock);
        if (threads.readWaiting) {
            return;
        }
        threads.readWaiting = true;
    }
    LaunchDetached([] { SynchronizeReadThreadProc(); });
}

} // namespace

bool IsAcceptedModel(const ParamImage& image) {
    const std::string model = Lower(image.Model());
    return model == "kv5930q" || model == "rs483";
}

ReadAllResult SynchronizeReadAll() {
    ParamImage& image = GetParamImage();
    AnsweredScope answered;
    const ReadAllResult identity = Identify(image);
    if (identity != ReadAllResult::Done) {
        return RecordReadAll(identity, answered.Failures());
    }
    // 149 is answered by any report.
    const std::pair<int, int> requests[] = {
        {kCmdCurrentMode, kCmdCurrentMode}, {kCmdPing, -1}, {kCmdDspVersion, kCmdDspVersion}};
    for (const auto& [code, answer] : requests) {
        Request(code, answer);
        if (!Connected()) {
            return RecordReadAll(ReadAllResult::Disconnected, answered.Failures());
        }
    }
    if (answered.GaveUp()) {
        return RecordReadAll(ReadAllResult::NoAnswer, answered.Failures());
    }
    ReadBackImage();
    Request(kCmdMachineSettings, kCmdMachineSettings);
    if (!Connected()) {
        return RecordReadAll(ReadAllResult::Disconnected, answered.Failures());
    }
    if (answered.GaveUp()) {
        return RecordReadAll(ReadAllResult::NoAnswer, answered.Failures());
    }
    // A read-back with gaps is not decoded: the image keeps what it had.
    if (answered.Failures() == 0) {
        DecodeReadBack(image);
    }
    if (!Connected()) {
        return RecordReadAll(ReadAllResult::Disconnected, answered.Failures());
    }
    Request(kCmdLearningTable, kCmdLearningTable);
    const int failed = answered.Failures();
    if (failed == 0) {
        g_bParamChanged.store(0);
    }
    CommandSink().Pause(kFinalPause);
    if (!Connected()) {
        return RecordReadAll(ReadAllResult::Disconnected, failed);
    }
    return RecordReadAll(failed == 0 ? ReadAllResult::Done : ReadAllResult::Incomplete, failed);
}

int ReadBackImage() {
    int failed = 0;
    for (int i = 0; i < kReadBackChunks; ++i) {
        const int address = kStoreChunk * i;
        const int length = std::min<int>(kStoreChunk, static_cast<int>(kReadBackSize) - address);
        const auto isAnswer = [address](const std::uint8_t* r) {
            return r[1] == report::kStoreRead && r[2] * 256 + r[3] == address;
        };
        if (CommandSink().Exchange(BuildStoreRead(address, length), isAnswer) !=
            Delivery::Answered) {
            ++failed;
        }
    }
    return failed;
}

void DecodeReadBack(ParamImage& image) {
    image.CopyReadBackToBlocks();
    const std::vector<std::uint8_t> block = image.BlockBytes(Block::ReadBack);
    for (int offset : kRecordOffsets) {
        const auto at = static_cast<std::size_t>(offset);
        // The record's own count bounds what the decoder may read.
        const std::size_t available = block.size() - at - kValueOffset;
        const std::size_t length = std::min<std::size_t>(4u * block[at + 2], available);
        DecodeParam(image, block[at], block[at + 1],
                    std::span(block).subspan(at + kValueOffset, length));
    }
}

const int* ReadBackRecordOffsets() {
    return kRecordOffsets.data();
}

void SendAllParams(bool restoreVolumes) {
    ParamImage& image = GetParamImage();
    if (restoreVolumes) {
        SendParam(1, 14, 0.0f);
        SendParam(4, 12, 0.0f);
    }
    SendKeys({{1, 26}, {3, 7}, {2, 7}, {1, 49}, {3, 19}, {2, 20}, {4, 11}});
    for (int c = 0; c < kOutputChannels; ++c) {
        SendOutputChannel(image, c);
    }
    SendKeys({{4, 14}, {4, 15}});
    const float effect = VolumeWithOffset(image.Int(fields::effectVolume));
    SendParam(1, 34, effect);
    SendParam(1, 57, effect);
    SendKeys({{1, 15}});
    SetMusicMute(image.Int(fields::musicMute) != 0);
    SendKeys({{3, 25}, {2, 27}});
    for (int k = 0; k < fields::micToChannelA.count; ++k) {
        SetMicRouting(k, image.Int(fields::micToChannelA, k) != 0);
    }
    SendKeys({{1, 4}, {1, 5}, {1, 6}, {1, 7}, {1, 8}, {1, 9}, {1, 10}, {1, 11}});
    SendKeys({{3, 24}, {2, 26}, {4, 33}, {4, 23}});
    SendKeys({{4, 24}, {4, 25}, {4, 30}, {4, 26}, {4, 27}, {4, 28}, {4, 29}, {4, 31}, {4, 32}});
    SetShiftFrequency(0, image.Int(fields::micShiftFreqA));
    SendKeys({{2, 8}, {3, 8}, {3, 9}, {3, 10}, {3, 11}, {2, 9}, {2, 10}, {2, 11}, {2, 12}});
    SetShiftFrequency(1, image.Int(fields::micShiftFreqB));
    SendKeys({{2, 21}, {3, 20}, {3, 21}, {3, 22}, {3, 23}, {2, 22}, {2, 23}, {2, 24}, {2, 25}});
    SendKeys({{4, 21}, {4, 16}, {4, 17}, {4, 22}, {1, 12}, {1, 13}, {1, 37}, {1, 60}});
    SetMicBassBoostLevel(image.TailValue());
    SendKeys({{4, 36}, {4, 37}});
    SendExciter(image);
}

void WriteSystemBlocks() {
    ParamImage& image = GetParamImage();
    WriteStoreBlock(kSystemAddress, image.BlockBytes(Block::System));
    image.PackRouting();
    WriteStoreBlock(kRoutingAddress, image.BlockBytes(Block::Routing));
    WriteStoreBlock(kExtensionAddress, image.BlockBytes(Block::Extension));
}

void RampVolumes() {
    const ParamImage& image = GetParamImage();
    RampVolume(1, 14, image.Int(fields::micVolume), kMicRampStart, 0ms);
    RampVolume(4, 12, image.Int(fields::musicVolume), kMusicRampStart, kMusicRampPause);
}

WriteAllResult SynchronizeWriteAll() {
    AnsweredScope answered;
    const bool restore = GetParamImage().HubByte(kVolumeRestoreHubByte) == 1;
    SendAllParams(restore);
    WriteSystemBlocks();
    SendAllEqBands();
    if (restore) {
        RampVolumes();
    }
    SendParamQuery(1, 14);
    SendParamQuery(4, 12);
    CommandSink().Pause(kFinalPause);
    g_bParamChanged.store(0);
    const int failed = answered.Failures();
    WriteAllResult result = WriteAllResult::Done;
    if (!Connected()) {
        result = WriteAllResult::Disconnected;
    } else if (failed > 0) {
        result = WriteAllResult::Incomplete;
    }
    LastOutcomes& o = Outcomes();
    std::lock_guard lock(o.lock);
    o.write = {result, failed};
    return result;
}

ReadAllOutcome LastReadAll() {
    LastOutcomes& o = Outcomes();
    std::lock_guard lock(o.lock);
    return o.read;
}

WriteAllOutcome LastWriteAll() {
    LastOutcomes& o = Outcomes();
    std::lock_guard lock(o.lock);
    return o.write;
}

ReadAllOutcome SynchronizeReadThreadProc() {
    return RunSyncThreadBody(
        true,
        [] {
            const ReadAllResult result = SynchronizeReadAll();
            return ReadAllOutcome{result, LastReadAll().failed};
        },
        "End thread: Delay Read SynchronizeData\n");
}

WriteAllOutcome SynchronizeWriteThreadProc(const std::function<void()>& load) {
    return RunSyncThreadBody(
        false,
        [&load] {
            if (load) {
                load();
            }
            const WriteAllResult result = SynchronizeWriteAll();
            return WriteAllOutcome{result, LastWriteAll().failed};
        },
        "End thread: SynchronizeWriteThreadProc\n");
}

void StartReadAllThread() {
    DebugWrite(kStartLine);
    LaunchReadAll();
}

void StartWriteAllThread(std::function<void()> load) {
    DebugWrite(kStartLine);
    LaunchDetached([load = std::move(load)] { SynchronizeWriteThreadProc(load); });
}

int RunningSyncThreads() {
    SyncThreads& threads = Threads();
    std::lock_guard lock(threads.lock);
    return threads.running;
}

bool WaitForSyncThreads(std::chrono::milliseconds timeout) {
    SyncThreads& threads = Threads();
    std::unique_lock lock(threads.lock);
    return threads.ended.wait_for(lock, timeout, [&] { return threads.running == 0; });
}

void InstallReadAllStarter() {
    // The dispatcher logs the start line itself.
    SetReadAllStarter([] { LaunchReadAll(); });
}

} // namespace kv
