// The filter text reader over any bytes: it either refuses with a reason or gives filters
// whose sections exist; the import onto every equaliser fills no more bands than it has and
// only with values the bands take; the bands written back out read again.

#include "FuzzSupport.h"
#include "image/Encodings.h"
#include "protocol/FilterImport.h"
#include "protocol/FilterText.h"

#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace kv;
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const FilterFileResult r = ParseFilterText(text);
    FUZZ_CHECK(r.ok() != !r.error.empty());
    if (!r.ok()) {
        return 0;
    }
    FUZZ_CHECK(!r.file->filters.empty());
    FUZZ_CHECK(!r.file->sections.empty());
    for (const auto& f : r.file->filters) {
        FUZZ_CHECK(f.section < r.file->sections.size());
        FUZZ_CHECK(!f.label.empty());
    }
    for (int kind = 0; kind < 15; ++kind) {
        ImportTarget target;
        target.kind = kind;
        target.bands.assign(kind >= kFirstOutputEqKind ? 13 : (kind >= 2 && kind <= 5 ? 7 : 10),
                            EqBand{0.0, 1000.0, 1.41, kFilterPeq});
        target.role = kind >= kFirstOutputEqKind ? kind - kFirstOutputEqKind : -1;
        target.gainPercent = kind >= kFirstOutputEqKind ? std::optional<int>(100) : std::nullopt;
        const ImportPlan plan = PlanImport(*r.file, target, kind % 2 == 0);
        FUZZ_CHECK(plan.after.size() == target.bands.size());
        FUZZ_CHECK(plan.imported <= static_cast<int>(ImportableBands(target).size()));
        for (int b : plan.ChangedBands()) {
            const EqBand& band = plan.after[static_cast<std::size_t>(b)];
            FUZZ_CHECK(band.type >= kFilterPeq && band.type <= kFilterHighShelf);
            FUZZ_CHECK(band.freqHz >= 20 && band.freqHz <= 20000);
            FUZZ_CHECK(band.gainDb >= -15 && band.gainDb <= 15);
            FUZZ_CHECK(band.q >= 0.1 && band.q <= 30);
        }
        if (plan.gainAfter) {
            FUZZ_CHECK(*plan.gainAfter >= 0 && *plan.gainAfter <= 100);
        }
        ImportTarget exported = target;
        exported.bands = plan.after;
        std::vector<std::string> skipped;
        const std::string back = ExportFilterText(exported, ExportFormat::Apo, skipped);
        FUZZ_CHECK(ParseFilterText(back).ok());
    }
    return 0;
}
