// The backup reader over any file: it never takes a part that does not match its manifest
// entry, accounts for every listed part once, and a file it reads whole is written back to
// the same contents.

#include "FuzzSupport.h"
#include "backup/BackupArchive.h"

#include <algorithm>
#include <set>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace kv::backup;
    const ArchiveContents c = DecodeArchive(std::span(data, size));
    if (!c.ok()) {
        FUZZ_CHECK(!c.message.empty());
        FUZZ_CHECK(c.parts.empty() && c.damaged.empty());
        return 0;
    }
    FUZZ_CHECK(c.manifest.formatVersion >= 1 && c.manifest.formatVersion <= kFormatVersion);
    FUZZ_CHECK(c.parts.size() + c.damaged.size() == c.manifest.parts.size());
    std::set<std::string> seen;
    for (const Part& p : c.parts) {
        FUZZ_CHECK(IsKnownPartName(p.name));
        FUZZ_CHECK(seen.insert(p.name).second);
        const auto entry = std::find_if(c.manifest.parts.begin(), c.manifest.parts.end(),
                                        [&](const ManifestEntry& e) { return e.name == p.name; });
        FUZZ_CHECK(entry != c.manifest.parts.end());
        FUZZ_CHECK(entry->size == p.bytes.size() && entry->crc32 == Crc32(p.bytes));
    }
    for (const PartProblem& d : c.damaged) {
        FUZZ_CHECK(!d.why.empty());
        FUZZ_CHECK(seen.insert(d.name).second);
    }
    if (c.damaged.empty()) {
        const auto again = DecodeArchive(EncodeArchive(c.manifest, c.parts));
        FUZZ_CHECK(again.ok() && again.damaged.empty() && again.parts.size() == c.parts.size());
        for (std::size_t i = 0; i < c.parts.size(); ++i) {
            FUZZ_CHECK(again.parts[i].name == c.parts[i].name);
            FUZZ_CHECK(again.parts[i].bytes == c.parts[i].bytes);
        }
        FUZZ_CHECK(again.manifest.model == c.manifest.model);
    }
    return 0;
}
