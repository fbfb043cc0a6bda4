// Mode files of every version: a rejected file changes nothing, an accepted one changes only
// the bytes its version holds (and exactly to the file's bytes), and what is written reads
// back byte for byte.

#include "FuzzSupport.h"
#include "image/ModeFile.h"

#include <algorithm>
#include <span>

namespace {

using namespace kv;
using fuzz::ImageState;

/// Block b of after equals file bytes [at, at + held) over before's bytes, where the file
/// holds only what it has.
void CheckBlock(const std::vector<std::uint8_t>& before, const std::vector<std::uint8_t>& after,
                std::span<const std::uint8_t> file, std::size_t at, std::size_t held) {
    std::vector<std::uint8_t> want = before;
    for (std::size_t i = 0; i < held && at + i < file.size(); ++i) {
        want[i] = file[at + i];
    }
    FUZZ_CHECK(after == want);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::span<const std::uint8_t> file(data, size);
    ParamImage image;
    image.InitDefaults();
    const ImageState before(image);
    const ModeFileResult r = LoadModeFileBytes(file, image);
    const ImageState after(image);

    const auto layout = r.ok() ? FindModeFileLayout(r.version) : std::nullopt;
    if (!r.ok()) {
        FUZZ_CHECK(r.status == ModeFileStatus::UnsupportedVersion);
        FUZZ_CHECK(!FindModeFileLayout(r.version) || size < 4);
        FUZZ_CHECK(after.main == before.main);
        FUZZ_CHECK(after.blocks == before.blocks);
        FUZZ_CHECK(fuzz::SameGeometry(after.geometry, before.geometry));
    } else {
        FUZZ_CHECK(layout.has_value());
        // The version's blocks, in file order; every other byte keeps its value.
        std::size_t at = 4;
        const std::vector<std::uint8_t> mainBefore(before.main.begin(), before.main.end());
        const std::vector<std::uint8_t> mainAfter(after.main.begin(), after.main.end());
        CheckBlock(mainBefore, mainAfter, file, at, layout->mainBytes);
        at += layout->mainBytes;
        const std::pair<Block, std::size_t> blocks[] = {{Block::System, layout->systemBytes},
                                                        {Block::Extension, layout->extensionBytes},
                                                        {Block::Routing, layout->routingBytes},
                                                        {Block::Tail, layout->tailBytes}};
        for (const auto& [block, held] : blocks) {
            CheckBlock(before.Bytes(block), after.Bytes(block), file, at, held);
            at += held;
        }
        for (Block b : {Block::ReadBack, Block::Hub, Block::DeviceTable, Block::SceneTable}) {
            FUZZ_CHECK(after.Bytes(b) == before.Bytes(b));
        }
        // The derived geometry follows the routing block whenever the file holds one.
        FUZZ_CHECK(fuzz::SameGeometry(after.geometry,
                                      layout->routingBytes
                                          ? fuzz::GeometryOf(after.Bytes(Block::Routing))
                                          : before.geometry));
        // What was missing is exactly what the version holds beyond the file's end.
        const std::size_t want = layout->FileSize() - std::min(size, layout->FileSize());
        FUZZ_CHECK(r.missingBytes == want);
        std::size_t kept = 0;
        for (const KeptBytes& k : r.kept) {
            FUZZ_CHECK(k.from < k.to);
            kept += k.to - k.from;
        }
        FUZZ_CHECK(kept == want);
        FUZZ_CHECK(r.truncated() == !TruncationNote(r).empty());
    }

    // Writing the image and reading it back gives the same blocks, byte for byte.
    const std::vector<std::uint8_t> written = EncodeModeFile(image);
    FUZZ_CHECK(written.size() == kModeFileSize);
    ParamImage reread;
    const ModeFileResult back = LoadModeFileBytes(written, reread);
    FUZZ_CHECK(back.ok() && back.version == kModeFileVersion && !back.truncated());
    const ImageState again(reread);
    FUZZ_CHECK(again.main == after.main);
    for (Block b : {Block::System, Block::Extension, Block::Routing, Block::Tail}) {
        FUZZ_CHECK(again.Bytes(b) == after.Bytes(b));
    }
    FUZZ_CHECK(EncodeModeFile(reread) == written);
    return 0;
}
