#include "protocol/FilterImport.h"

#include "image/Encodings.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cmath>
#include <cstdio>

namespace kv {

namespace {

constexpr double kMinFreq = 20.0;
constexpr double kMaxFreq = 20000.0;
constexpr double kMaxGain = 15.0;
constexpr double kMinQ = 0.1;
constexpr double kMaxQPeq = 30.0;
constexpr double kMaxQOther = 2.0;
constexpr double kButterworthQ = 0.7071067811865476;
constexpr double kFlatQ = 1.41;
constexpr double kFlatFreq = 1000.0;
constexpr int kOutputCrossoverBand = 9;

constexpr std::array<const char*, 7> kFrontKindNames = {"micA",   "micB",  "reverbA", "reverbB",
                                                        "echoA",  "echoB", "music"};

/// A number as the report shows it: at most `decimals` decimals, no trailing zeros.
std::string Num(double v, int decimals = 3) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.*f", decimals, v);
    std::string s(buf);
    if (s.find('.') != std::string::npos) {
        while (s.back() == '0') {
            s.pop_back();
        }
        if (s.back() == '.') {
            s.pop_back();
        }
    }
    return s == "-0" ? "0" : s;
}

bool IsOutputKind(int kind) {
    return kind >= kFirstOutputEqKind && kind < kFirstOutputEqKind + 8;
}

bool IsCrossover(int type) {
    return type == kFilterLowPass || type == kFilterHighPass || IsCrossoverType(type);
}

/// The record-exact value of a band: what its 7 bytes read back as.
EqBand Quantise(const EqBand& b) {
    EqBand q = b;
    q.gainDb = CodeToGain(GainToCode(b.gainDb));
    q.freqHz = FreqToCode(b.freqHz);
    q.q = CodeToQ(QToCode(b.q));
    return q;
}

bool SameRecord(const EqBand& a, const EqBand& b) {
    return a.type == b.type && GainToCode(a.gainDb) == GainToCode(b.gainDb) &&
           FreqToCode(a.freqHz) == FreqToCode(b.freqHz) && QToCode(a.q) == QToCode(b.q);
}

class FilterConverter {
public:
    FilterConverter(const TextFilter& f, std::vector<ImportNote>& notes) : m_f(f), m_notes(notes) {}

    std::optional<EqBand> Convert() {
        const FilterShape s = m_f.shape;
        switch (s) {
        case FilterShape::Peaking:
        case FilterShape::LowPass:
        case FilterShape::HighPass:
        case FilterShape::LowShelf:
        case FilterShape::HighShelf:
            break;
        case FilterShape::Other:
            return Drop("type \"" + m_f.typeText + "\" is not known");
        default:
            return Drop(std::string(ShapeName(s)) + " (" + m_f.typeText +
                        "): the processor's bands cannot run it");
        }
        if (!m_f.freqHz) {
            return Drop("no frequency given");
        }
        EqBand b;
        b.freqHz = *m_f.freqHz;
        if (s == FilterShape::Peaking) {
            b.type = kFilterPeq;
            if (!m_f.gainDb) {
                return Drop("no gain given");
            }
            b.gainDb = *m_f.gainDb;
            if (m_f.q) {
                b.q = *m_f.q;
            } else if (m_f.bandwidthOct && *m_f.bandwidthOct > 0) {
                b.q = QFromOctaves(*m_f.bandwidthOct);
                if (!ValidQ(b.q)) {
                    return Drop("bandwidth " + Num(*m_f.bandwidthOct) + " octaves gives no Q");
                }
                Note(ImportAction::Converted,
                     "bandwidth " + Num(*m_f.bandwidthOct) +
                         (*m_f.bandwidthOct == 1.0 ? " octave" : " octaves") + " as Q " +
                         QText(b.q, kMaxQPeq));
            } else if (m_f.bandwidthHz && *m_f.bandwidthHz > 0) {
                b.q = b.freqHz / *m_f.bandwidthHz;
                if (!ValidQ(b.q)) {
                    return Drop("bandwidth " + Num(*m_f.bandwidthHz) + " Hz gives no Q");
                }
                Note(ImportAction::Converted, "bandwidth " + Num(*m_f.bandwidthHz) + " Hz as Q " +
                                                  QText(b.q, kMaxQPeq));
            } else {
                return Drop("no Q or bandwidth given");
            }
        } else if (s == FilterShape::LowPass || s == FilterShape::HighPass) {
            b.type = s == FilterShape::LowPass ? kFilterLowPass : kFilterHighPass;
            if (m_f.slopeDb && *m_f.slopeDb != 12.0) {
                return Drop("slope " + Num(*m_f.slopeDb) +
                            " dB/octave: the processor's band has 12 dB/octave");
            }
            if (m_f.q) {
                b.q = *m_f.q;
            } else {
                b.q = kButterworthQ;
                Note(ImportAction::Converted, "no Q given: Butterworth, Q 0.707");
            }
            if (m_f.gainDb && *m_f.gainDb != 0.0) {
                Note(ImportAction::Ignored,
                     "gain " + Num(*m_f.gainDb) + " dB: a pass filter has no gain");
            }
        } else {
            b.type = s == FilterShape::LowShelf ? kFilterLowShelf : kFilterHighShelf;
            if (!m_f.gainDb) {
                return Drop("no gain given");
            }
            b.gainDb = std::clamp(*m_f.gainDb, -kMaxGain, kMaxGain);
            if (m_f.q) {
                b.q = *m_f.q;
            } else {
                const double slope = m_f.slopeDb.value_or(12.0);
                const auto q = QFromShelfSlope(b.gainDb, slope);
                if (!q) {
                    return Drop("slope " + Num(slope) + " dB/octave is too steep for a gain of " +
                                Num(b.gainDb) + " dB");
                }
                b.q = *q;
                Note(ImportAction::Converted,
                     (m_f.slopeDb ? "slope " + Num(slope) + " dB/octave"
                                  : std::string("no Q or slope given: 12 dB/octave")) +
                         " as Q " + QText(b.q, kMaxQOther));
            }
            b.gainDb = *m_f.gainDb;
        }
        if (!ValidQ(b.q)) {
            return Drop("Q " + Num(b.q) + " is not a valid Q");
        }
        return Limit(b);
    }

private:
    static bool ValidQ(double q) { return q > 0 && std::isfinite(q); }
    std::nullopt_t Drop(const std::string& why) {
        Note(ImportAction::Dropped, why);
        return std::nullopt;
    }
    void Note(ImportAction a, std::string text) { m_notes.push_back({m_f.label, a, std::move(text)}); }

    /// The Q a band will hold, as text: clamped and at the record's resolution.
    static std::string QText(double q, double maxQ) {
        return Num(CodeToQ(QToCode(std::clamp(q, kMinQ, maxQ) + 0.0005)));
    }

    void Clamp(double& v, double lo, double hi, const char* what, const char* unit) {
        const double c = std::clamp(v, lo, hi);
        if (c != v) {
            Note(ImportAction::Clamped, std::string(what) + " " + Num(v) + unit + " limited to " +
                                            Num(c) + unit);
            v = c;
        }
    }

    EqBand Limit(EqBand b) {
        const double maxQ = b.type == kFilterPeq ? kMaxQPeq : kMaxQOther;
        Clamp(b.freqHz, kMinFreq, kMaxFreq, "frequency", " Hz");
        Clamp(b.gainDb, -kMaxGain, kMaxGain, "gain", " dB");
        Clamp(b.q, kMinQ, maxQ, "Q", "");
        // Round to the record's resolution (1 Hz, 0.1 dB, Q 0.001) to the nearest step; the
        // record itself truncates.
        const double f = std::round(b.freqHz);
        if (f != b.freqHz) {
            Note(ImportAction::Rounded, "frequency " + Num(b.freqHz) + " Hz as " + Num(f) + " Hz");
        }
        b.freqHz = f;
        const double g = CodeToGain(GainToCode(b.gainDb));
        if (std::fabs(g - b.gainDb) > 1e-9) {
            Note(ImportAction::Rounded, "gain " + Num(b.gainDb) + " dB as " + Num(g, 1) + " dB");
        }
        b.gainDb = g;
        const double q = CodeToQ(QToCode(b.q + 0.0005));
        if (m_f.q && std::fabs(q - b.q) > 1e-9) {
            Note(ImportAction::Rounded, "Q " + Num(b.q, 6) + " as " + Num(q));
        }
        b.q = q;
        return b;
    }

    const TextFilter& m_f;
    std::vector<ImportNote>& m_notes;
};

/// Whether the filters of a section reach this equaliser.
bool SectionApplies(const ChannelSection& s, int role) {
    if (s.all) {
        return true;
    }
    return std::find(s.roles.begin(), s.roles.end(), role) != s.roles.end();
}

/// "band 4" or "bands 4-9, 11" (numbered from 1).
std::string BandRange(const std::vector<int>& bands) {
    std::string out;
    std::size_t i = 0;
    while (i < bands.size()) {
        std::size_t j = i;
        while (j + 1 < bands.size() && bands[j + 1] == bands[j] + 1) {
            ++j;
        }
        out += (out.empty() ? "" : ", ") + std::to_string(bands[i] + 1);
        if (j > i) {
            out += "-" + std::to_string(bands[j] + 1);
        }
        i = j + 1;
    }
    return (bands.size() == 1 ? "band " : "bands ") + out;
}

} // namespace

std::string_view ActionName(ImportAction action) {
    switch (action) {
    case ImportAction::Converted:
        return "converted";
    case ImportAction::Clamped:
        return "clamped";
    case ImportAction::Rounded:
        return "rounded";
    case ImportAction::Dropped:
        return "dropped";
    case ImportAction::Ignored:
        return "ignored";
    case ImportAction::Kept:
        return "kept";
    case ImportAction::Flattened:
        return "set flat";
    }
    return "";
}

std::optional<int> EqKindByName(std::string_view name) {
    // Any case, with or without a hyphen: "micA", "mic-a", "MICA".
    std::string lower;
    for (char c : name) {
        if (c != '-') {
            lower.push_back(static_cast<char>(std::tolower(static_cast<unsigned char>(c))));
        }
    }
    for (std::size_t i = 0; i < kFrontKindNames.size(); ++i) {
        std::string known(kFrontKindNames[i]);
        for (char& c : known) {
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        }
        if (lower == known) {
            return static_cast<int>(i);
        }
    }
    if (lower.size() == 3 && lower.starts_with("ch") && lower[2] >= '1' && lower[2] <= '8') {
        return kFirstOutputEqKind + (lower[2] - '1');
    }
    return std::nullopt;
}

std::string EqKindName(int kind) {
    if (kind >= 0 && kind < kFirstOutputEqKind) {
        return kFrontKindNames[static_cast<std::size_t>(kind)];
    }
    if (IsOutputKind(kind)) {
        return "CH" + std::to_string(kind - kFirstOutputEqKind + 1);
    }
    return "?";
}

std::vector<int> ImportableBands(const ImportTarget& target) {
    std::vector<int> bands;
    const int count = static_cast<int>(target.bands.size());
    if (!IsOutputKind(target.kind)) {
        for (int b = 0; b < count; ++b) {
            bands.push_back(b);
        }
        return bands;
    }
    for (int b = 0; b < std::min(count, kOutputCrossoverBand); ++b) {
        bands.push_back(b);
    }
    if (count > kOutputCrossoverBand &&
        !IsCrossover(target.bands[static_cast<std::size_t>(kOutputCrossoverBand)].type)) {
        bands.push_back(kOutputCrossoverBand);
    }
    return bands;
}

std::vector<int> ImportPlan::ChangedBands() const {
    std::vector<int> changed;
    for (std::size_t b = 0; b < after.size() && b < before.size(); ++b) {
        if (!SameRecord(before[b], after[b])) {
            changed.push_back(static_cast<int>(b));
        }
    }
    return changed;
}

ImportPlan PlanImport(const FilterFile& file, const ImportTarget& target, bool keepUnused) {
    ImportPlan plan;
    plan.kind = target.kind;
    plan.before = target.bands;
    plan.after = target.bands;
    const bool output = IsOutputKind(target.kind);
    const int role = output ? target.role : 0;
    const bool selects = std::any_of(file.sections.begin(), file.sections.end(),
                                     [](const ChannelSection& s) { return !s.all; });
    if (selects && !output) {
        plan.notes.push_back({"Channel", ImportAction::Ignored,
                              EqKindName(target.kind) +
                                  " is not an output channel: the filters for L are used"});
    }
    for (const auto& s : file.sections) {
        for (const auto& name : s.unknown) {
            plan.notes.push_back({"line " + std::to_string(s.line), ImportAction::Ignored,
                                  "channel \"" + name + "\" matches no output role"});
        }
    }

    const std::vector<int> slots = ImportableBands(target);
    if (output && target.bands.size() > static_cast<std::size_t>(kOutputCrossoverBand) &&
        std::find(slots.begin(), slots.end(), kOutputCrossoverBand) == slots.end()) {
        plan.notes.push_back({"band 10", ImportAction::Kept, "holds the channel's crossover"});
    }
    std::size_t next = 0;
    std::optional<double> preamp;
    for (const auto& s : file.sections) {
        if (SectionApplies(s, role) && s.preampDb) {
            preamp = preamp.value_or(0.0) + *s.preampDb;
        }
    }
    for (const auto& f : file.filters) {
        if (!SectionApplies(file.sections[f.section], role) || f.shape == FilterShape::None) {
            continue;
        }
        if (!f.enabled) {
            plan.notes.push_back({f.label, ImportAction::Dropped, "is switched off in the file"});
            continue;
        }
        FilterConverter converter(f, plan.notes);
        const auto band = converter.Convert();
        if (!band) {
            continue;
        }
        if (next >= slots.size()) {
            plan.notes.push_back({f.label, ImportAction::Dropped,
                                  "no band left: " + EqKindName(target.kind) + " takes " +
                                      std::to_string(slots.size()) + " filters"});
            continue;
        }
        plan.after[static_cast<std::size_t>(slots[next++])] = *band;
        ++plan.imported;
    }

    std::vector<int> unused(slots.begin() + static_cast<long>(next), slots.end());
    if (!unused.empty()) {
        if (keepUnused) {
            plan.notes.push_back({BandRange(unused), ImportAction::Kept,
                                  "not filled by the file: left as they were"});
        } else {
            for (int b : unused) {
                EqBand& band = plan.after[static_cast<std::size_t>(b)];
                const double freq = band.freqHz >= kMinFreq && band.freqHz <= kMaxFreq
                                        ? band.freqHz
                                        : kFlatFreq;
                const double q = band.q >= kMinQ && band.q <= kMaxQPeq ? band.q : kFlatQ;
                band = Quantise(EqBand{0.0, freq, q, kFilterPeq});
            }
            plan.notes.push_back({BandRange(unused), ImportAction::Flattened,
                                  "not filled by the file: PEQ at 0 dB"});
        }
    }

    if (preamp) {
        if (!output || !target.gainPercent) {
            plan.notes.push_back({"Preamp", ImportAction::Ignored,
                                  Num(*preamp, 2) + " dB: " + EqKindName(target.kind) +
                                      " has no channel gain"});
        } else {
            const double percent = 100.0 * std::pow(10.0, *preamp / 20.0);
            const double rounded = std::round(percent);
            const double limited = std::clamp(rounded, 0.0, double(target.gainMaxPercent));
            plan.gainBefore = target.gainPercent;
            plan.gainAfter = static_cast<int>(limited);
            std::string text = Num(*preamp, 2) + " dB as channel gain " + Num(limited, 0) + " %";
            if (limited != rounded) {
                text += " (" + Num(percent, 1) + " % limited to " +
                        std::to_string(target.gainMaxPercent) + " %)";
            }
            plan.notes.push_back({"Preamp", limited != rounded ? ImportAction::Clamped
                                                                : ImportAction::Converted,
                                  text});
        }
    }
    for (const auto& line : file.ignored) {
        plan.notes.push_back({line.substr(0, line.find(':')), ImportAction::Ignored,
                              line.substr(std::min(line.size(), line.find(':') + 2))});
    }
    return plan;
}

std::string ExportFilterText(const ImportTarget& target, ExportFormat format,
                             std::vector<std::string>& skipped) {
    std::string out;
    const std::string name = EqKindName(target.kind);
    if (format == ExportFormat::Rew) {
        out += "Filter Settings file\n\nKV Controller\nNotes: " + name +
               "\n\nEqualiser: Generic\n";
    } else {
        out += "# KV Controller: " + name + "\n";
    }
    int number = 0;
    for (int b : ImportableBands(target)) {
        const EqBand& band = target.bands[static_cast<std::size_t>(b)];
        const std::string gain = Num(CodeToGain(GainToCode(band.gainDb)), 1);
        const std::string freq = std::to_string(FreqToCode(band.freqHz));
        const std::string q = Num(CodeToQ(QToCode(band.q)), 3);
        std::string type;
        bool hasGain = true;
        switch (band.type) {
        case kFilterPeq:
            type = "PK";
            break;
        case kFilterLowPass:
            type = "LPQ";
            hasGain = false;
            break;
        case kFilterHighPass:
            type = "HPQ";
            hasGain = false;
            break;
        case kFilterLowShelf:
            type = format == ExportFormat::Rew ? "LS Q" : "LSC";
            break;
        case kFilterHighShelf:
            type = format == ExportFormat::Rew ? "HS Q" : "HSC";
            break;
        default:
            skipped.push_back("band " + std::to_string(b + 1) + ": type " +
                              std::to_string(band.type) + " has no text form");
            continue;
        }
        ++number;
        out += "Filter " + std::to_string(number) + ": ON " + type + " Fc " + freq + " Hz";
        if (hasGain) {
            out += " Gain " + gain + " dB";
        } else if (GainToCode(band.gainDb) != GainToCode(0.0)) {
            skipped.push_back("band " + std::to_string(b + 1) + ": gain of a pass filter");
        }
        out += " Q " + q + "\n";
    }
    return out;
}

std::string FormatImportNotes(const std::vector<ImportNote>& notes) {
    std::string out;
    for (const auto& n : notes) {
        std::string subject = n.subject;
        std::string action(ActionName(n.action));
        subject.resize(std::max<std::size_t>(subject.size(), 11), ' ');
        action.resize(std::max<std::size_t>(action.size(), 10), ' ');
        out += subject + " " + action + " " + n.text + "\n";
    }
    return out;
}

} // namespace kv
