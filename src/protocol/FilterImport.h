#pragma once

#include "image/EqBand.h"
#include "protocol/FilterText.h"

#include <optional>
#include <span>
#include <string>
#include <vector>

/// Room correction: the filters of a text file placed on the bands of one equaliser, with a
/// report of every filter that had to be converted, clamped, rounded or dropped, and the
/// bands of an equaliser written back out as text.
namespace kv {

enum class ImportAction {
    Converted, ///< a value the processor takes in another form (bandwidth or slope as Q)
    Clamped,   ///< a value outside the band's range, limited to it
    Rounded,   ///< a value finer than the band record holds
    Dropped,   ///< a filter that was not imported
    Ignored,   ///< a line or setting that has no place on this equaliser
    Kept,      ///< bands the file does not fill, left as they were
    Flattened, ///< bands the file does not fill, set flat
};

std::string_view ActionName(ImportAction action);

struct ImportNote {
    std::string subject; ///< "Filter 3", "line 12", "Preamp", "bands 9-10"
    ImportAction action;
    std::string text;
};

/// The equaliser kinds by name: "micA" 0, "micB" 1, "reverbA" 2, "reverbB" 3, "echoA" 4,
/// "echoB" 5, "music" 6, "CH1".."CH8" 7..14 (any case; "mic-a" and the like also do).
std::optional<int> EqKindByName(std::string_view name);
std::string EqKindName(int kind);
inline constexpr int kFirstOutputEqKind = 7;

/// The equaliser as the importer sees it.
struct ImportTarget {
    int kind = -1;
    std::vector<EqBand> bands;                ///< every band of the kind, as stored now
    int role = -1;                            ///< the output channel's role, -1 for others
    std::optional<int> gainPercent;           ///< the output channel's gain now
    int gainMaxPercent = 100;                 ///< its upper limit
};

struct ImportPlan {
    int kind = -1;
    std::vector<EqBand> before;
    std::vector<EqBand> after; ///< record-exact values: what the band records will read back
    std::optional<int> gainBefore;
    std::optional<int> gainAfter; ///< the output channel's new gain, from the file's preamp
    std::vector<ImportNote> notes;
    int imported = 0; ///< filters placed on a band

    std::vector<int> ChangedBands() const;
};

/// Places the file's filters for this equaliser on its bands in file order. An output
/// channel takes the filters of the sections whose "Channel:" selection holds its role; the
/// other equalisers take those of front left (a file without selections applies everywhere).
ImportPlan PlanImport(const FilterFile& file, const ImportTarget& target, bool keepUnused);

/// Bands of an output channel a file may fill: 0..8, and 9 unless it holds the channel's
/// crossover. The other equalisers: all of their bands.
std::vector<int> ImportableBands(const ImportTarget& target);

enum class ExportFormat { Apo, Rew };

/// The equaliser's bands as filter text. Bands the formats cannot express (crossover
/// sections, type 0) are left out and named in skipped.
std::string ExportFilterText(const ImportTarget& target, ExportFormat format,
                             std::vector<std::string>& skipped);

/// The report as text lines: "Filter 3   dropped    notch: ...".
std::string FormatImportNotes(const std::vector<ImportNote>& notes);

} // namespace kv
