#include "EqFileCommands.h"

#include "LiveSession.h"
#include "LiveSupport.h"
#include "image/AtomicFile.h"
#include "image/MainFields.h"
#include "image/ModeFile.h"
#include "image/ParamImage.h"
#include "image/Text.h"
#include "protocol/CommandSink.h"
#include "protocol/FilterApply.h"
#include "protocol/FilterImport.h"
#include "protocol/FilterText.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>
#include <functional>
#include <ostream>

namespace kv::cli {

namespace {

constexpr const char* kTypeNames[] = {"off", "PEQ", "LP", "HP", "LS", "HS"};

std::string TypeName(int type) {
    return type >= 0 && type <= kFilterHighShelf ? kTypeNames[type]
                                                 : "section " + std::to_string(type);
}

std::string BandText(const EqBand& b) {
    char text[96];
    std::snprintf(text, sizeof text, "%-4s %+5.1f dB %5.0f Hz  Q %.3f", TypeName(b.type).c_str(),
                  b.gainDb, b.freqHz, b.q);
    return text;
}

nlohmann::ordered_json BandJson(const EqBand& b) {
    return {{"type", TypeName(b.type)}, {"gainDb", b.gainDb}, {"freqHz", b.freqHz}, {"q", b.q}};
}

const char* FormatName(FilterTextFormat f) {
    switch (f) {
    case FilterTextFormat::Rew:
        return "rew";
    case FilterTextFormat::RewTable:
        return "rew-table";
    case FilterTextFormat::Apo:
        return "apo";
    }
    return "";
}

/// The equalisers named by --channel ("CH1,CH2", "music"), or nothing after a message.
std::optional<std::vector<int>> KindsOf(const std::string& list, Io& io) {
    std::vector<int> kinds;
    std::size_t start = 0;
    while (start <= list.size()) {
        const auto comma = list.find(',', start);
        const std::string name =
            list.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
        const auto kind = EqKindByName(name);
        if (!kind) {
            BadInput(io, "--channel '" + name +
                             "' is not an equaliser: CH1..CH8, music, micA, micB, echoA, "
                             "echoB, reverbA, reverbB");
            return std::nullopt;
        }
        if (std::find(kinds.begin(), kinds.end(), *kind) == kinds.end()) {
            kinds.push_back(*kind);
        }
        if (comma == std::string::npos) {
            break;
        }
        start = comma + 1;
    }
    return kinds;
}

/// Without --channel, the output channels whose roles the file's "Channel:" lines select.
std::vector<int> KindsByRole(const FilterFile& file, const ParamImage& image) {
    std::vector<int> kinds;
    for (int c = 0; c < kOutputChannels; ++c) {
        const int role = image.Int(fields::outRole, c);
        for (const auto& s : file.sections) {
            if (!s.all && std::find(s.roles.begin(), s.roles.end(), role) != s.roles.end()) {
                kinds.push_back(kFirstOutputEqKind + c);
                break;
            }
        }
    }
    return kinds;
}

struct ImportRequest {
    std::string path;
    FilterFile file;
    std::optional<std::vector<int>> kinds; ///< from --channel
    bool keepUnused = false;
    bool dryRun = false;
    bool json = false;
};

/// Plans the import onto every target of the image and prints the report. Gives the plans,
/// or nothing (after a message) when no target could be chosen.
std::optional<std::vector<ImportPlan>> PlanAll(const ImportRequest& r, const ParamImage& image,
                                               Io& io) {
    const std::vector<int> kinds = r.kinds ? *r.kinds : KindsByRole(r.file, image);
    if (kinds.empty()) {
        BadInput(io, r.path + ": the file selects no output channel by role; choose the "
                              "equalisers with --channel CH1[,CH2...]");
        return std::nullopt;
    }
    std::vector<ImportPlan> plans;
    for (int kind : kinds) {
        plans.push_back(PlanImport(r.file, ImportTargetFromImage(image, kind), r.keepUnused));
    }
    return plans;
}

void PrintPlans(const ImportRequest& r, const std::vector<ImportPlan>& plans, Io& io) {
    if (r.json) {
        nlohmann::ordered_json json;
        json["file"] = EscapeInvalidUtf8(r.path);
        json["format"] = FormatName(r.file.format);
        json["dryRun"] = r.dryRun;
        auto targets = nlohmann::ordered_json::array();
        for (const auto& p : plans) {
            nlohmann::ordered_json t;
            t["equaliser"] = EqKindName(p.kind);
            t["imported"] = p.imported;
            auto bands = nlohmann::ordered_json::array();
            for (int b : p.ChangedBands()) {
                bands.push_back({{"band", b + 1},
                                 {"before", BandJson(p.before[std::size_t(b)])},
                                 {"after", BandJson(p.after[std::size_t(b)])}});
            }
            t["changedBands"] = bands;
            if (p.gainAfter) {
                t["gainPercent"] = {{"before", *p.gainBefore}, {"after", *p.gainAfter}};
            }
            auto report = nlohmann::ordered_json::array();
            for (const auto& n : p.notes) {
                report.push_back({{"subject", n.subject},
                                  {"action", std::string(ActionName(n.action))},
                                  {"text", EscapeInvalidUtf8(n.text)}});
            }
            t["report"] = report;
            targets.push_back(t);
        }
        json["equalisers"] = targets;
        io.out << json.dump(2) << "\n";
        return;
    }
    for (const auto& p : plans) {
        io.out << EqKindName(p.kind) << ": " << p.imported << " filter"
               << (p.imported == 1 ? "" : "s") << " from " << r.path
               << (r.dryRun ? " (dry run, nothing written)" : "") << "\n";
        for (int b : p.ChangedBands()) {
            char number[32];
            std::snprintf(number, sizeof number, "  band %2d  ", b + 1);
            io.out << number << BandText(p.after[std::size_t(b)]) << "   was "
                   << BandText(p.before[std::size_t(b)]) << "\n";
        }
        if (p.gainAfter && p.gainAfter != p.gainBefore) {
            io.out << "  gain     " << *p.gainAfter << " %   was " << *p.gainBefore << " %\n";
        }
        if (!p.notes.empty()) {
            std::string notes = FormatImportNotes(p.notes);
            std::string indented;
            for (std::size_t i = 0; i < notes.size();) {
                const auto nl = notes.find('\n', i);
                indented += "  " + notes.substr(i, nl - i + 1);
                i = nl + 1;
            }
            io.out << indented;
        }
    }
}

/// Plans the import onto the image, prints the report and, unless nothing could be imported
/// (exit 2) or this is a dry run, hands the plans to write.
int PlanReportWrite(const ImportRequest& r, const ParamImage& image, Io& io,
                    const std::function<int(const std::vector<ImportPlan>&)>& write) {
    const auto plans = PlanAll(r, image, io);
    if (!plans) {
        return kExitBadInput;
    }
    PrintPlans(r, *plans, io);
    if (std::none_of(plans->begin(), plans->end(),
                     [](const ImportPlan& p) { return p.imported > 0; })) {
        return BadInput(io, r.path + ": no filter could be imported");
    }
    return r.dryRun ? kExitOk : write(*plans);
}

int Import(Args args, Io& io) {
    const auto words = Positional(args);
    if (words.size() != 1) {
        return BadInput(io, "usage: kvctl eq import FILE [--channel CH1[,CH2...]] "
                            "[--file MODE.amod] [--dry-run] [--keep-unused] [--json]");
    }
    ImportRequest r;
    r.path = words[0];
    const FilterFileResult parsed = ReadFilterFile(r.path);
    if (!parsed.ok()) {
        return BadInput(io, r.path + ": " + parsed.error);
    }
    r.file = *parsed.file;
    if (const auto list = OptionValue("--channel")) {
        r.kinds = KindsOf(*list, io);
        if (!r.kinds) {
            return kExitBadInput;
        }
    }
    r.keepUnused = HasOption("--keep-unused");
    r.dryRun = HasOption("--dry-run");
    r.json = HasOption("--json");
    if (const auto mode = OptionValue("--file")) {
        ParamImage image;
        image.InitDefaults();
        if (!ReadModeFileFor(*mode, image, TruncatedFile::Refuse, io)) {
            return kExitBadInput;
        }
        return PlanReportWrite(r, image, io, [&](const std::vector<ImportPlan>& plans) {
            for (const auto& p : plans) {
                StorePlan(image, p);
            }
            const ModeFileResult w = WriteModeFile(*mode, image);
            if (!w.ok()) {
                return BadInput(io, *mode + ": " + std::strerror(w.errorCode));
            }
            if (!r.json) {
                io.out << "wrote " << *mode << "\n";
            }
            return int{kExitOk};
        });
    }

    return RunLive(io, [&](LiveSession& session) -> int {
        return PlanReportWrite(r, GetParamImage(), io, [&](const std::vector<ImportPlan>& plans) {
            AnsweredScope answered;
            for (const auto& p : plans) {
                SendPlan(p);
            }
            if (const int code = session.CheckAnswered(answered.Failures(), "the import");
                code != kExitOk) {
                io.err << "kvctl: the processor may hold only part of the imported filters\n";
                return code;
            }
            if (!r.json) {
                io.out << "sent to the processor\n";
            }
            return int{kExitOk};
        });
    });
}

int WriteExport(const std::string& text, const std::vector<std::string>& skipped,
                const std::optional<std::string>& path, Io& io) {
    for (const auto& s : skipped) {
        io.err << "kvctl: not exported: " << s << "\n";
    }
    if (!path) {
        io.out << text;
        return kExitOk;
    }
    AtomicFileWriter writer(*path);
    const int error = writer.Commit(
        std::span(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()));
    if (error != 0) {
        return BadInput(io, *path + ": " + std::strerror(error));
    }
    io.out << "wrote " << *path << "\n";
    return kExitOk;
}

int Export(Args args, Io& io) {
    const auto words = Positional(args);
    const auto list = OptionValue("--channel");
    if (words.size() > 1 || !list) {
        return BadInput(io, "usage: kvctl eq export --channel CH [--format apo|rew] "
                            "[--file MODE.amod] [FILE]");
    }
    const auto kinds = KindsOf(*list, io);
    if (!kinds) {
        return kExitBadInput;
    }
    if (kinds->size() != 1) {
        return BadInput(io, "eq export writes one equaliser: give one --channel");
    }
    const std::string format = OptionValue("--format").value_or("apo");
    if (format != "apo" && format != "rew") {
        return BadInput(io, "--format '" + format + "' is not apo or rew");
    }
    const ExportFormat f = format == "rew" ? ExportFormat::Rew : ExportFormat::Apo;
    const std::optional<std::string> path =
        words.empty() ? std::nullopt : std::optional<std::string>(words[0]);
    std::vector<std::string> skipped;
    if (const auto mode = OptionValue("--file")) {
        ParamImage image;
        image.InitDefaults();
        if (!ReadModeFileFor(*mode, image, TruncatedFile::Refuse, io)) {
            return kExitBadInput;
        }
        const std::string text =
            ExportFilterText(ImportTargetFromImage(image, kinds->front()), f, skipped);
        return WriteExport(text, skipped, path, io);
    }
    return RunLive(io, [&](LiveSession&) -> int {
        const std::string text =
            ExportFilterText(ImportTargetFromImage(GetParamImage(), kinds->front()), f, skipped);
        return WriteExport(text, skipped, path, io);
    });
}

constexpr std::array kCommands = {
    Command{"eq", "import",
            "eq import FILE [--channel CH1[,CH2...]]  place a REW or Equalizer APO filter file "
            "on equalisers",
            Import,
            "Reads FILE (REW filter settings text, its tabular layout, or an Equalizer APO\n"
            "configuration) and places its filters, in file order, on the bands of each\n"
            "equaliser named by --channel: CH1..CH8 (bands 1..10; band 10 stays the crossover\n"
            "when it holds one), music, micA, micB (10 bands), echoA, echoB, reverbA,\n"
            "reverbB (7 bands). Without --channel the file's \"Channel:\" lines choose the\n"
            "output channels by their roles. Bandwidth and slope become Q; values outside a\n"
            "band's range are limited; types the processor cannot run are dropped; each is\n"
            "listed in the report. The preamp sets an output channel's gain.\n"
            "Exit 2 when nothing could be imported.\n"
            "options:\n"
            "  --channel LIST            the equalisers, separated by commas\n"
            "  --file MODE.amod          change a mode file instead of the processor\n"
            "  --dry-run                 report only; nothing is written\n"
            "  --keep-unused             leave bands the file does not fill as they are\n"
            "                            (by default they are set flat: PEQ at 0 dB)\n"
            "  --json                    the report as JSON\n"
            "example: kvctl eq import room.txt --channel CH1,CH2 --dry-run\n",
            "--channel= --file= --dry-run --keep-unused --json"},
    Command{"eq", "export",
            "eq export --channel CH [--format apo|rew] [FILE]  write an equaliser's bands as "
            "filter text",
            Export,
            "Writes the bands of one equaliser as Equalizer APO configuration (the default)\n"
            "or REW filter settings text, to FILE (replaced atomically) or to the output.\n"
            "options:\n"
            "  --channel CH              CH1..CH8, music, micA, micB, echoA, echoB,\n"
            "                            reverbA, reverbB\n"
            "  --format apo|rew          the text layout\n"
            "  --file MODE.amod          read the bands from a mode file instead\n",
            "--channel= --format= --file="},
};

} // namespace

std::span<const Command> EqFileCommands() {
    return kCommands;
}

} // namespace kv::cli
