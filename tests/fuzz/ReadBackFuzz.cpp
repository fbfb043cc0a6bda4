// The read-back decoder over a whole 3299-byte store (the input, cut or padded with zeros):
// the store blocks become exact copies of their parts of the read-back block, the parameter
// records change only the main block, and decoding the same store again changes nothing.

#include "FuzzSupport.h"
#include "protocol/Synchronize.h"

#include <algorithm>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace kv;
    std::vector<std::uint8_t> store(kReadBackSize, 0);
    std::copy_n(data, std::min(size, kReadBackSize), store.begin());

    ParamImage image;
    image.InitDefaults();
    image.WriteBlock(Block::ReadBack, 0, store);
    const fuzz::ImageState before(image);
    DecodeReadBack(image);
    const fuzz::ImageState after(image);

    const auto part = [&](std::size_t offset, std::size_t n) {
        return std::vector<std::uint8_t>(store.begin() + static_cast<long>(offset),
                                         store.begin() + static_cast<long>(offset + n));
    };
    FUZZ_CHECK(after.Bytes(Block::ReadBack) == store);
    FUZZ_CHECK(after.Bytes(Block::System) == part(kReadBackSystemOffset, kSystemBlockSize));
    FUZZ_CHECK(after.Bytes(Block::Extension) ==
               part(kReadBackExtensionOffset, kExtensionBlockSize));
    FUZZ_CHECK(after.Bytes(Block::Routing) == part(kReadBackRoutingOffset, kRoutingBlockSize));
    FUZZ_CHECK(after.Bytes(Block::Tail) == part(kReadBackTailOffset, kTailBlockSize));
    FUZZ_CHECK(fuzz::SameGeometry(after.geometry, fuzz::GeometryOf(after.Bytes(Block::Routing))));
    for (Block b : {Block::Hub, Block::DeviceTable, Block::SceneTable}) {
        FUZZ_CHECK(after.Bytes(b) == before.Bytes(b));
    }
    FUZZ_CHECK(after.modeNames == before.modeNames && after.model == before.model);

    // The records are read in increasing order, each inside the block.
    const int* offsets = ReadBackRecordOffsets();
    for (int i = 0; i < kReadBackRecordCount; ++i) {
        FUZZ_CHECK(offsets[i] >= static_cast<int>(kReadBackRecordsOffset));
        FUZZ_CHECK(offsets[i] + 3 < static_cast<int>(kReadBackSize));
        FUZZ_CHECK(i == 0 || offsets[i] > offsets[i - 1]);
    }

    // Decoding depends on the store alone.
    DecodeReadBack(image);
    FUZZ_CHECK(fuzz::ImageState(image).main == after.main);
    return 0;
}
