#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

/// Equaliser filters as room-measurement tools write them: the filter settings text of REW
/// (the line layout with Q or bandwidth, and the tabular layout) and Equalizer APO
/// configuration text. Reading is tolerant of what those tools really write (spacing, decimal
/// commas, unknown commands); anything that is not a filter is listed, never dropped silently.
namespace kv {

/// The filter shapes the formats name. Only the first five run on the processor.
enum class FilterShape {
    Peaking,
    LowPass,
    HighPass,
    LowShelf,
    HighShelf,
    LowPassFirstOrder,
    HighPassFirstOrder,
    BandPass,
    Notch,
    AllPass,
    Modal,
    None,  ///< "None": an empty filter slot
    Other, ///< a type this reader does not know
};

/// One filter line as the file gives it. Values the line does not state stay empty.
struct TextFilter {
    int line = 0;         ///< 1-based line of the file
    std::string label;    ///< "Filter 3" (its own number) or "line 12" when it has none
    std::string typeText; ///< the type as written, e.g. "LS 12dB" or "PK"
    FilterShape shape = FilterShape::Other;
    bool enabled = true;
    std::optional<double> freqHz;
    std::optional<double> gainDb;
    std::optional<double> q;
    std::optional<double> bandwidthOct; ///< "BW Oct N"
    std::optional<double> bandwidthHz;  ///< the tabular layout's Bandwidth(Hz)
    std::optional<double> slopeDb;      ///< shelf slope in dB per octave ("LS 12dB", "LSC 10.8 dB")
    std::size_t section = 0;            ///< index into FilterFile::sections
};

/// The output-channel roles a "Channel:" line can name, in the order of the processor's
/// role selector: L, R, back left, back right, subwoofer, centre, side left, side right.
inline constexpr int kRoleCount = 8;
inline constexpr const char* kRoleNames[kRoleCount] = {"L", "R", "RL", "RR", "SUB", "C", "SL", "SR"};

/// The channels the filters of a section apply to. Section 0 stands before any "Channel:"
/// line and applies to every channel.
struct ChannelSection {
    int line = 0;
    bool all = true;
    std::vector<int> roles;            ///< role indices (kRoleNames) when not all
    std::vector<std::string> unknown;  ///< channel names or numbers that match no role
    std::optional<double> preampDb;    ///< the sum of the section's "Preamp:" lines
};

enum class FilterTextFormat { Rew, RewTable, Apo };

struct FilterFile {
    FilterTextFormat format = FilterTextFormat::Apo;
    std::vector<TextFilter> filters;
    std::vector<ChannelSection> sections{ChannelSection{}};
    std::vector<std::string> ignored; ///< "line 4: Include: not a filter" and the like
};

/// A parse that either gives the filters or says why the text was refused.
struct FilterFileResult {
    std::optional<FilterFile> file;
    std::string error;
    bool ok() const { return file.has_value(); }
};

/// Files above this size are refused before they are read: a filter file has some kB.
inline constexpr std::size_t kMaxFilterFileBytes = 1 << 20;
/// Lines above this length are refused: no tool writes one this long.
inline constexpr std::size_t kMaxFilterLineBytes = 4096;

/// Parses filter text of any of the layouts. Refuses binary data, over-long lines and text
/// that holds no filter line at all.
FilterFileResult ParseFilterText(std::string_view text);

/// Reads and parses a file; a file over kMaxFilterFileBytes is refused without reading it.
FilterFileResult ReadFilterFile(const std::string& path);

/// The name of a shape as the report shows it ("peaking", "notch", ...).
std::string_view ShapeName(FilterShape shape);

/// Q of a peaking filter of the given bandwidth in octaves between its half-gain points:
/// Q = 2^(N/2) / (2^N - 1).
double QFromOctaves(double octaves);
/// Q of a shelf of the given gain whose slope is slopeDb per octave (shelf slope S = slopeDb
/// / 12): Q = 1 / sqrt((A + 1/A)(1/S - 1) + 2), A = 10^(gain/40). Nothing when the slope is
/// too steep for that gain (the root would be of a negative number).
std::optional<double> QFromShelfSlope(double gainDb, double slopeDb);

} // namespace kv
