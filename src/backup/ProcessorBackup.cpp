#include "backup/ProcessorBackup.h"

#include "image/AtomicFile.h"
#include "image/MainFields.h"
#include "image/ModeFile.h"
#include "image/ParamImage.h"
#include "image/Text.h"
#include "protocol/CommandSink.h"
#include "protocol/Dispatcher.h"
#include "protocol/MachineSettings.h"
#include "protocol/Synchronize.h"
#include "remote/RemoteKeyTable.h"
#include "smarthome/ZwaveDevices.h"
#include "smarthome/ZwaveFrames.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <limits>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <system_error>


namespace kv::backup {

namespace {

constexpr int kDeviceRecords = 233;
constexpr int kSceneRecords = 6;
constexpr int kMemoryRecords = kDeviceRecords + kSceneRecords;
constexpr std::size_t kDeviceBytes = 28;
constexpr std::size_t kSceneBytes = 56;
constexpr int kFirstPlugNode = 2;
constexpr int kLastPlugNode = 232;
/// The bytes of the learning table the processor reports back (the first 16 of 18).
constexpr std::size_t kLearnTableReported = 16;
/// The rounding a received single gets.
constexpr float kReadRounding = 0.005f;

/// Address and length of smart-home memory record i (device records first).
std::pair<int, std::size_t> MemoryRecord(int i) {
    if (i < kDeviceRecords) {
        return {i * static_cast<int>(kDeviceBytes), kDeviceBytes};
    }
    return {zwave::kSceneMemoryAddress + (i - kDeviceRecords) * static_cast<int>(kSceneBytes),
            kSceneBytes};
}

/// Counts the steps of one operation for the progress callback.
class Steps {
public:
    Steps(const Progress& progress, int total) : m_progress(progress), m_total(total) {}
    void Done(const std::string& part, int steps = 1) {
        m_done = std::min(m_total, m_done + steps);
        if (m_progress) {
            m_progress(part, m_done, m_total);
        }
    }

private:
    const Progress& m_progress;
    int m_total;
    int m_done = 0;
};

/// The image's copy of the smart-home memory.
std::vector<std::uint8_t> ImageZwaveMemory() {
    const ParamImage& image = GetParamImage();
    std::vector<std::uint8_t> bytes(kZwaveMemoryBytes);
    const std::size_t devices = kDeviceRecords * kDeviceBytes;
    image.ReadBlock(Block::DeviceTable, 0, std::span(bytes.data(), devices));
    image.ReadBlock(Block::SceneTable, 0, std::span(bytes.data() + devices, bytes.size() - devices));
    return bytes;
}

/// Reads every record of the smart-home memory into the image, each waiting for its answer.
/// Returns the records that did not arrive.
int ReadZwaveMemory(Steps& steps) {
    AnsweredSink sink;
    for (int i = 0; i < kMemoryRecords; ++i) {
        const auto [address, length] = MemoryRecord(i);
        const auto isRecord = [address](const std::uint8_t* r) {
            return r[1] == report::kHubMemory && r[2] * 256 + r[3] == address;
        };
        sink.Exchange(zwave::MemoryRead(address, length), isRecord);
        steps.Done(std::string(kZwavePart));
        if (sink.GaveUp()) {
            break;
        }
    }
    return sink.GaveUp() ? kMemoryRecords : sink.Failures();
}

/// Writes every record of the memory part; returns the records that were not answered.
int WriteZwaveMemory(std::span<const std::uint8_t> bytes, Steps& steps) {
    AnsweredScope answered;
    for (int i = 0; i < kMemoryRecords && !answered.GaveUp(); ++i) {
        const auto [address, length] = MemoryRecord(i);
        CommandSink().Write(zwave::MemoryWrite(
            address, bytes.subspan(static_cast<std::size_t>(address), length)));
        steps.Done(std::string(kZwavePart));
    }
    return answered.GaveUp() ? kMemoryRecords : answered.Failures();
}

std::string KeyFilePath(const std::string& directory, int node) {
    return directory + "/" + std::to_string(node) + ".xml";
}

std::string UtcNow() {
    const std::time_t now = std::time(nullptr);
    std::tm utc{};
    gmtime_r(&now, &utc);
    std::array<char, 32> text{};
    std::strftime(text.data(), text.size(), "%Y-%m-%dT%H:%M:%SZ", &utc);
    return text.data();
}

template <std::size_t N>
std::vector<std::uint8_t> Bytes(const std::array<std::uint8_t, N>& a) {
    return {a.begin(), a.end()};
}

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

/// Why a part's bytes cannot be restored as they are (wrong size for its kind); empty when
/// they can.
std::string PartShapeProblem(const Part& part) {
    if (part.name == kSettingsPart && part.bytes.size() != kMachineSettingsSize) {
        return "not a machine settings record (" + std::to_string(part.bytes.size()) + " bytes)";
    }
    if (part.name == kRemotePart && part.bytes.size() != kRemoteKeyTableSize) {
        return "not a learning table (" + std::to_string(part.bytes.size()) + " bytes)";
    }
    if (part.name == kZwavePart && part.bytes.size() != kZwaveMemoryBytes) {
        return "not the smart-home memory (" + std::to_string(part.bytes.size()) + " bytes)";
    }
    if (part.name == kModePart) {
        ParamImage scratch;
        if (!LoadModeFileBytes(part.bytes, scratch).ok()) {
            return "not a mode file this program can load";
        }
    }
    return {};
}

/// The first main-block field where the mode the image holds differs from the file's, or
/// a block that differs; empty when they agree. Singles may differ by the rounding every
/// received value gets (0.005 added to its magnitude), so a value read back from the
/// processor matches the one that was written.
std::string ModeDifference(std::span<const std::uint8_t> file, const ParamImage& now) {
    ParamImage expected;
    if (!LoadModeFileBytes(file, expected).ok()) {
        return "the file's mode cannot be loaded";
    }
    for (const Block block : {Block::System, Block::Extension, Block::Routing, Block::Tail}) {
        if (expected.BlockBytes(block) != now.BlockBytes(block)) {
            return "the equaliser, positioning, room or bass block";
        }
    }
    for (const MainField& f : AllMainFields()) {
        for (int entry = 0; entry < f.count; ++entry) {
            bool same = false;
            if (f.IsFloat()) {
                const float a = expected.Float(f, entry);
                const float b = now.Float(f, entry);
                const float tolerance =
                    kReadRounding + 4 * std::numeric_limits<float>::epsilon() * std::fabs(a);
                same = (std::isnan(a) && std::isnan(b)) || std::fabs(a - b) <= tolerance;
            } else {
                same = expected.Int(f, entry) == now.Int(f, entry);
            }
            if (!same) {
                return std::string(f.name) + (f.count > 1 ? "[" + std::to_string(entry) + "]" : "");
            }
        }
    }
    return {};
}

/// What the processor or this computer holds now for a part; nullopt when there is nothing
/// (a plug without a key file).
std::optional<std::vector<std::uint8_t>> CurrentBytes(const std::string& name,
                                                      const std::string& keyDirectory) {
    const ParamImage& image = GetParamImage();
    if (name == kModePart) {
        return EncodeModeFile(image);
    }
    if (name == kSettingsPart) {
        return Bytes(CurrentSettings(image));
    }
    if (name == kRemotePart) {
        return Bytes(ImageRemoteKeyTable(image));
    }
    if (name == kZwavePart) {
        return ImageZwaveMemory();
    }
    const auto node = PlugKeyNode(name);
    const SmallFileRead file = ReadSmallFile(KeyFilePath(keyDirectory, node.value_or(0)),
                                             kMaxPartBytes);
    if (!node || file.status != SmallFileStatus::Ok) {
        return std::nullopt;
    }
    return file.bytes;
}

/// The read-back of a processor part against the file's bytes after a read-all.
bool ReadBackMatches(const Part& part) {
    const ParamImage& image = GetParamImage();
    if (part.name == kRemotePart) {
        const RemoteKeyTable table = ImageRemoteKeyTable(image);
        return std::equal(table.begin(), table.begin() + kLearnTableReported, part.bytes.begin());
    }
    return CurrentBytes(part.name, {}) == part.bytes;
}

/// Writes a plug's key file and reads it back.
PartOutcome RestoreKeyFile(const Part& part, const std::string& keyDirectory) {
    PartOutcome outcome{part.name, false, false, {}};
    std::error_code error;
    std::filesystem::create_directories(keyDirectory, error);
    const std::string path = KeyFilePath(keyDirectory, PlugKeyNode(part.name).value_or(0));
    if (const int e = WriteFileAtomically(path, part.bytes); e != 0) {
        outcome.why = path + ": " + std::strerror(e);
        return outcome;
    }
    const SmallFileRead back = ReadSmallFile(path, kMaxPartBytes);
    outcome.restored = back.status == SmallFileStatus::Ok && back.bytes == part.bytes;
    if (!outcome.restored) {
        outcome.why = path + ": reads back differently";
    }
    return outcome;
}

} // namespace

const char* PartStateText(PartState state) {
    switch (state) {
    case PartState::Same:
        return "same";
    case PartState::Differs:
        return "differs";
    default:
        return "damaged";
    }
}

TakeResult TakeBackup(const std::string& keyDirectory, const std::string& programVersion,
                      const Progress& progress) {
    TakeResult result;
    std::vector<int> plugs;
    for (int node = kFirstPlugNode; node <= kLastPlugNode; ++node) {
        std::error_code error;
        if (std::filesystem::exists(KeyFilePath(keyDirectory, node), error)) {
            plugs.push_back(node);
        }
    }
    Steps steps(progress, kMemoryRecords + 1 + static_cast<int>(plugs.size()));
    const ParamImage& image = GetParamImage();
    Manifest manifest;
    manifest.model = ToUtf8(image.Model());
    manifest.commVersion = image.CommVersion();
    manifest.date = UtcNow();
    manifest.programVersion = programVersion;

    result.parts.push_back({std::string(kModePart), EncodeModeFile(image)});
    result.parts.push_back({std::string(kSettingsPart), Bytes(CurrentSettings(image))});
    result.parts.push_back({std::string(kRemotePart), Bytes(ImageRemoteKeyTable(image))});
    steps.Done(std::string(kModePart));
    if (const int missing = ReadZwaveMemory(steps); missing > 0) {
        result.failure = std::string(kZwavePart) + ": " + std::to_string(missing) + " of " +
                         std::to_string(kMemoryRecords) +
                         " records of the smart-home memory did not arrive";
        return result;
    }
    result.parts.push_back({std::string(kZwavePart), ImageZwaveMemory()});
    for (const int node : plugs) {
        const std::string path = KeyFilePath(keyDirectory, node);
        SmallFileRead file = ReadSmallFile(path, kMaxPartBytes);
        if (file.status != SmallFileStatus::Ok) {
            result.failure = path + ": " +
                             (file.status == SmallFileStatus::TooLarge   ? "too large for a key file"
                              : file.status == SmallFileStatus::NotRegular ? "not a plain file"
                                                                            : std::strerror(file.error));
            return result;
        }
        result.parts.push_back({PlugKeyPartName(node), std::move(file.bytes)});
        steps.Done(PlugKeyPartName(node));
    }
    result.archive = EncodeArchive(manifest, result.parts);
    if (result.archive.empty()) {
        result.failure = "the archive could not be made";
    }
    return result;
}

RestorePlan PlanRestore(const ArchiveContents& contents, const std::string& keyDirectory,
                        const Progress& progress) {
    RestorePlan plan;
    const ParamImage& image = GetParamImage();
    const Manifest& m = contents.manifest;
    if (Lower(m.model) != Lower(ToUtf8(image.Model()))) {
        plan.refusal = "the file is from another model (" + m.model + "; the processor is " +
                       ToUtf8(image.Model()) + ")";
        return plan;
    }
    if (m.commVersion != image.CommVersion()) {
        plan.refusal = "the file is from communication version " + std::to_string(m.commVersion) +
                       " (the processor has " + std::to_string(image.CommVersion()) + ")";
        return plan;
    }
    Steps steps(progress, kMemoryRecords);
    if (contents.Find(kZwavePart) != nullptr) {
        if (const int missing = ReadZwaveMemory(steps); missing > 0) {
            plan.refusal = "the processor's smart-home memory could not be read for the "
                           "comparison (" + std::to_string(missing) + " records did not arrive)";
            return plan;
        }
    }
    for (const ManifestEntry& entry : m.parts) {
        PartPlan p{entry.name, entry.size, PartState::Differs, {}};
        const Part* part = contents.Find(entry.name);
        if (part == nullptr) {
            const auto damaged =
                std::find_if(contents.damaged.begin(), contents.damaged.end(),
                             [&](const PartProblem& d) { return d.name == entry.name; });
            p.state = PartState::Damaged;
            p.why = damaged != contents.damaged.end() ? damaged->why : "missing";
        } else if (const std::string problem = PartShapeProblem(*part); !problem.empty()) {
            p.state = PartState::Damaged;
            p.why = problem;
        } else {
            const bool same = entry.name == kModePart
                                  ? ModeDifference(part->bytes, image).empty()
                                  : CurrentBytes(entry.name, keyDirectory) == part->bytes;
            p.state = same ? PartState::Same : PartState::Differs;
        }
        plan.parts.push_back(std::move(p));
    }
    return plan;
}

std::vector<PartOutcome> RunRestore(const ArchiveContents& contents, const RestorePlan& plan,
                                    const std::string& keyDirectory, const Progress& progress) {
    std::vector<PartOutcome> outcomes;
    int total = 0;
    for (const PartPlan& p : plan.parts) {
        total += p.state != PartState::Differs ? 0 : p.name == kZwavePart ? 2 * kMemoryRecords : 1;
    }
    const bool readAll = std::any_of(plan.parts.begin(), plan.parts.end(), [](const PartPlan& p) {
        return p.state == PartState::Differs &&
               (p.name == kModePart || p.name == kSettingsPart || p.name == kRemotePart);
    });
    Steps steps(progress, total + (readAll ? 1 : 0));
    const auto planned = [&](std::string_view name) -> const PartPlan* {
        const auto it = std::find_if(plan.parts.begin(), plan.parts.end(),
                                     [&](const PartPlan& p) { return p.name == name; });
        return it != plan.parts.end() && it->state == PartState::Differs ? &*it : nullptr;
    };
    std::vector<PartOutcome> written; // processor parts that still need their read-back
    ParamImage& image = GetParamImage();

    // The machine settings first: they decide how the write-all treats the volumes.
    if (const PartPlan* p = planned(kSettingsPart)) {
        const Part& part = *contents.Find(p->name);
        MachineSettingsRecord record{};
        std::copy(part.bytes.begin(), part.bytes.end(), record.begin());
        SetEditSettings(image, record);
        AnsweredScope answered;
        const bool sent = ApplyMachineSettings() > 0 && answered.Failures() == 0;
        written.push_back({p->name, sent, false, sent ? "" : "the processor did not answer"});
        steps.Done(p->name);
    }
    if (const PartPlan* p = planned(kModePart)) {
        const Part& part = *contents.Find(p->name);
        const WriteAllOutcome sent = SynchronizeWriteThreadProc(
            [&] { LoadModeFileBytes(part.bytes, GetParamImage()); });
        const bool ok = sent.result == WriteAllResult::Done && sent.failed == 0;
        written.push_back({p->name, ok, false,
                           ok ? "" : std::to_string(sent.failed) + " commands were not answered"});
        steps.Done(p->name);
    }
    if (const PartPlan* p = planned(kRemotePart)) {
        const Part& part = *contents.Find(p->name);
        RemoteKeyTable table{};
        std::copy(part.bytes.begin(), part.bytes.end(), table.begin());
        AnsweredScope answered;
        const bool sent = SendRemoteKeyTable(table) > 0 && answered.Failures() == 0;
        written.push_back({p->name, sent, false, sent ? "" : "the processor did not answer"});
        steps.Done(p->name);
    }
    if (readAll) {
        const ReadAllOutcome read = SynchronizeReadThreadProc();
        const bool complete = read.result == ReadAllResult::Done && read.failed == 0;
        for (PartOutcome& o : written) {
            if (!o.restored) {
                continue;
            }
            if (!complete) {
                o.restored = false;
                o.why = "could not be read back: the processor did not answer the read-all";
            } else if (o.name == kModePart) {
                if (const std::string field = ModeDifference(contents.Find(o.name)->bytes, image);
                    !field.empty()) {
                    o.restored = false;
                    o.why = "the processor reports other values than the file holds (" + field + ")";
                }
            } else if (!ReadBackMatches(*contents.Find(o.name))) {
                o.restored = false;
                o.why = "the processor reports other values than the file holds";
            }
        }
        steps.Done("read-back");
    }
    if (const PartPlan* p = planned(kZwavePart)) {
        const Part& part = *contents.Find(p->name);
        PartOutcome o{p->name, false, false, {}};
        if (const int lost = WriteZwaveMemory(part.bytes, steps); lost > 0) {
            o.why = std::to_string(lost) + " records were not answered";
        } else if (const int missing = ReadZwaveMemory(steps); missing > 0) {
            o.why = "could not be read back: " + std::to_string(missing) + " records did not arrive";
        } else if (ImageZwaveMemory() != part.bytes) {
            o.why = "the processor reports other bytes than the file holds";
        } else {
            o.restored = true;
        }
        written.push_back(std::move(o));
    }
    for (const PartPlan& p : plan.parts) {
        if (p.state == PartState::Same) {
            outcomes.push_back({p.name, true, true, ""});
        } else if (p.state == PartState::Damaged) {
            outcomes.push_back({p.name, false, false, p.why});
        } else if (PlugKeyNode(p.name)) {
            outcomes.push_back(RestoreKeyFile(*contents.Find(p.name), keyDirectory));
            steps.Done(p.name);
        } else {
            const auto it = std::find_if(written.begin(), written.end(),
                                         [&](const PartOutcome& o) { return o.name == p.name; });
            outcomes.push_back(*it);
        }
    }
    return outcomes;
}

} // namespace kv::backup
