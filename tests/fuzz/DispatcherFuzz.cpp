// The inbound report dispatcher fed one or more 61-byte reports: whatever they hold, each
// report changes only the part of the image its type and address name, strings stay within
// their fields, and relayed Z-Wave frames never name a node the tables do not hold.

#include "FuzzSupport.h"
#include "link/Link.h"
#include "link/LinkReceiver.h"
#include "protocol/Dispatcher.h"

#include <algorithm>
#include <ctime>
#include <sys/syscall.h>
#include <unistd.h>

// The relay pauses 20 ms after acknowledging a frame; here that would hold every input for
// 20 ms. Short sleeps return at once, longer ones (libFuzzer's own threads) still sleep.
extern "C" int nanosleep(const struct timespec* request, struct timespec* remaining) {
    if (request->tv_sec == 0 && request->tv_nsec < 100'000'000) {
        return 0;
    }
    return static_cast<int>(::syscall(SYS_nanosleep, request, remaining));
}

namespace {

using namespace kv;
using fuzz::ImageState;

constexpr std::size_t kMaxReports = 64;
constexpr std::size_t kDataOffset = 5;
constexpr std::size_t kMaxData = kReportSize - kDataOffset;

/// Records what the dispatcher tells the user interface.
class Receiver : public ILinkReceiver {
public:
    void PostNotice(const LinkNotice& notice) override {
        if (const auto* event = std::get_if<notice::ZwaveEvent>(&notice)) {
            const int f = event->function;
            FUZZ_CHECK(f == 4 || f == 19 || f == 66 || f == 74 || f == 75);
            // A node a report names is one the hub's tables hold.
            if (f == 4 || (f == 74 && event->status == 5)) {
                FUZZ_CHECK(event->node <= kMaxNodeId);
            }
        }
    }
    void ShowErrorBox(const std::string& text, const std::string&) override {
        FUZZ_CHECK(!text.empty());
    }
};

/// The bytes of one block a report may change: [from, to).
struct Range {
    Block block;
    std::size_t from;
    std::size_t to;
};

int Address(const std::uint8_t* b) {
    return b[2] * 256 + b[3];
}

std::size_t DataLength(const std::uint8_t* b) {
    return std::min<std::size_t>(b[4], kMaxData);
}

/// Where a report may write, by its type and address; the main block only for type 10.
std::vector<Range> Allowed(const std::uint8_t* b) {
    const int a = Address(b);
    const std::size_t n = DataLength(b);
    const auto at = static_cast<std::size_t>(a);
    switch (b[1]) {
    case report::kZWaveRelay: {
        std::vector<Range> r = {
            {Block::Hub, kHubNodeTableOffset, kHubNodeTableOffset + kHubNodeTableSize}};
        if (b[6] == 0x4A && b[8] == 5) {
            const std::size_t node = b[9];
            r.push_back(
                {Block::DeviceTable, node * kDeviceRecordSize, (node + 1) * kDeviceRecordSize});
        }
        return r;
    }
    case report::kHubMemory:
        if (a <= kLastDeviceAddress) {
            const std::size_t start = at / kDeviceRecordSize * kDeviceRecordSize;
            return {{Block::DeviceTable, start, start + n}};
        }
        if (a <= kLastSceneAddress) {
            const std::size_t start = static_cast<std::size_t>(a - kFirstSceneAddress) /
                                      kSceneRecordSize * kSceneRecordSize;
            return {{Block::SceneTable, start, start + n}};
        }
        return {};
    case report::kStoreRead:
        return {{Block::ReadBack, at, at + n}};
    case report::kLearnStatus:
        return {{Block::Hub, 0, 1}, {Block::Hub, b[3], b[3] + 1u}};
    case report::kLearnTable:
        return {{Block::Hub, 0, 16}};
    case report::kStoreBlock:
        if (a < static_cast<int>(kSystemBlockSize)) {
            if (b[5] == 0xFF && b[6] == 0xFF) {
                return {{Block::System, 0, kSystemBlockSize}};
            }
            return {{Block::System, at, at + n}};
        }
        if (at == kReadBackExtensionOffset) {
            return {{Block::Extension, 0, n}};
        }
        if (at == kReadBackRoutingOffset) {
            return {{Block::Routing, 0, n}};
        }
        if (at == kReadBackTailOffset) {
            return {{Block::Tail, 0, n}};
        }
        return {};
    case report::kMachineSettings:
        return {{Block::Hub, kHubSettingsEditOffset, kHubSettingsEditOffset + kMachineSettingsSize},
                {Block::Hub, kHubSettingsOffset, kHubSettingsOffset + kMachineSettingsSize}};
    default:
        return {};
    }
}

void CheckOneReport(const std::uint8_t* b, const ImageState& before, const ImageState& after) {
    if (b[1] != report::kParamValue) {
        FUZZ_CHECK(after.main == before.main);
    }
    const std::vector<Range> allowed = Allowed(b);
    for (Block block : fuzz::kAllBlocks) {
        const auto& was = before.Bytes(block);
        const auto& now = after.Bytes(block);
        FUZZ_CHECK(was.size() == now.size() && now.size() == BlockSize(block));
        if (was == now) {
            continue;
        }
        // Outside the allowed ranges the block is as it was (compared span by span, so the
        // check costs a few memcmp calls rather than a comparison per byte).
        std::vector<std::pair<std::size_t, std::size_t>> ranges;
        for (const Range& r : allowed) {
            if (r.block == block) {
                ranges.emplace_back(std::min(r.from, now.size()), std::min(r.to, now.size()));
            }
        }
        std::sort(ranges.begin(), ranges.end());
        std::size_t from = 0;
        ranges.emplace_back(now.size(), now.size());
        for (const auto& [start, end] : ranges) {
            if (start > from && !std::equal(was.begin() + static_cast<long>(from),
                                            was.begin() + static_cast<long>(start),
                                            now.begin() + static_cast<long>(from))) {
                std::fprintf(stderr, "report type %d changed block %d within [%zu, %zu)\n", b[1],
                             static_cast<int>(block), from, start);
                FUZZ_CHECK(!"a byte outside the report's range changed");
            }
            from = std::max(from, end);
        }
    }
    // The derived geometry always follows the routing block.
    FUZZ_CHECK(fuzz::SameGeometry(after.geometry, fuzz::GeometryOf(after.Bytes(Block::Routing))));
    if (b[1] != report::kModeName) {
        FUZZ_CHECK(after.modeNames == before.modeNames);
    }
    // Strings are zero-terminated within their fields.
    for (const auto& name : after.modeNames) {
        FUZZ_CHECK(name.size() < kModeNameUnits && name.find(u'\0') == std::u16string::npos);
    }
    FUZZ_CHECK(after.model.size() < kModelUnits && after.model.find(u'\0') == std::u16string::npos);
    FUZZ_CHECK(after.dsp.size() < kDspVersionUnits);
    FUZZ_CHECK(after.mcu.size() < kMcuVersionUnits);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static Receiver receiver;
    static const bool ready = [] {
        SetLinkReceiver(&receiver);
        return true;
    }();
    (void)ready;
    ParamImage& image = GetParamImage();
    image.InitDefaults();
    for (std::size_t start = 0, count = 0; start < size && count < kMaxReports;
         start += kReportSize, ++count) {
        std::array<std::uint8_t, kReportSize> report{};
        std::copy_n(data + start, std::min(kReportSize, size - start), report.begin());
        const ImageState before(image);
        DispatchReport(report.data());
        CheckOneReport(report.data(), before, ImageState(image));
    }
    return 0;
}
