#include "BackupCommands.h"

#include "LiveSession.h"
#include "LiveSupport.h"
#include "backup/ProcessorBackup.h"
#include "image/AtomicFile.h"
#ifdef KV_KEY_FILES
#include "smarthome/KeyFile.h"
#endif

#include <nlohmann/json.hpp>

#include <array>
#include <cstring>
#include <ostream>

#ifndef KV_VERSION
#define KV_VERSION "unknown"
#endif

namespace kv::cli {

namespace {

using backup::PartState;

/// The backup file a command names and the plugs' key directory (--keys-dir, else the
/// application's own).
struct Target {
    std::string path;
    std::string keys;
};

/// The command's target; nullopt after printing why (usage for the wrong arguments).
std::optional<Target> TargetOf(Args args, Io& io, const char* usage) {
    const auto files = Positional(args);
    if (files.size() != 1) {
        BadInput(io, usage);
        return std::nullopt;
    }
    if (const auto dir = OptionValue("--keys-dir")) {
        return Target{files[0], *dir};
    }
#ifdef KV_KEY_FILES
    return Target{files[0], KeyDirectory().toStdString()};
#else
    io.err << "kvctl: this kvctl has no default key directory: give --keys-dir=DIR\n";
    return std::nullopt;
#endif
}

/// Prints the part being worked on, once per part.
backup::Progress PartPrinter(Io& io, const char* doing) {
    return [&io, doing, last = std::string()](const std::string& part, int, int) mutable {
        if (part != last) {
            io.err << "kvctl: " << doing << " " << part << "\n";
            last = part;
        }
    };
}

int Backup(Args args, Io& io) {
    const auto target = TargetOf(args, io, "usage: kvctl backup FILE [--keys-dir=DIR]");
    if (!target) {
        return kExitBadInput;
    }
    const std::string& path = target->path;
    const std::string& keys = target->keys;
    // Nothing is read from the processor unless the file can be written.
    AtomicFileWriter file(path);
    if (file.Error() != 0) {
        return BadInput(io, path + ": " + std::strerror(file.Error()));
    }
    return RunLive(io, [&](LiveSession& session) -> int {
        const backup::TakeResult taken =
            backup::TakeBackup(keys, "kvctl " KV_VERSION, PartPrinter(io, "reading"));
        if (!taken.failure.empty()) {
            io.err << "kvctl: backup failed: " << taken.failure << "; " << path
                   << " was not written\n";
            const int lost = session.CheckLink();
            return lost != kExitOk ? lost : kExitNoProcessor;
        }
        if (const int e = file.Commit(taken.archive); e != 0) {
            return BadInput(io, path + ": " + std::strerror(e));
        }
        io.out << "wrote " << path << ":\n";
        for (const backup::Part& part : taken.parts) {
            io.out << "  " << part.name << " (" << part.bytes.size() << " bytes)\n";
        }
        return kExitOk;
    });
}

struct RestoreReport {
    const backup::ArchiveContents& contents;
    const std::string& path;
    bool dryRun = false;
    const backup::RestorePlan* plan = nullptr;
    const std::vector<backup::PartOutcome>* outcomes = nullptr;
};

const backup::PartOutcome* OutcomeOf(const RestoreReport& r, const std::string& name) {
    if (r.outcomes == nullptr) {
        return nullptr;
    }
    for (const auto& o : *r.outcomes) {
        if (o.name == name) {
            return &o;
        }
    }
    return nullptr;
}

void PrintJson(const RestoreReport& r, Io& io) {
    const backup::Manifest& m = r.contents.manifest;
    nlohmann::ordered_json parts = nlohmann::ordered_json::array();
    for (const backup::PartPlan& p : r.plan->parts) {
        nlohmann::ordered_json part = {
            {"name", p.name}, {"size", p.size}, {"state", backup::PartStateText(p.state)}};
        if (const auto* o = OutcomeOf(r, p.name)) {
            part["restored"] = o->restored;
        }
        const auto* o = OutcomeOf(r, p.name);
        const std::string why = o != nullptr ? o->why : p.why;
        if (!why.empty()) {
            part["why"] = why;
        }
        parts.push_back(part);
    }
    io.out << nlohmann::ordered_json{{"file", r.path},
                                     {"formatVersion", m.formatVersion},
                                     {"model", m.model},
                                     {"commVersion", m.commVersion},
                                     {"date", m.date},
                                     {"programVersion", m.programVersion},
                                     {"dryRun", r.dryRun},
                                     {"parts", parts}}
                  .dump(2, ' ', false, nlohmann::json::error_handler_t::replace)
           << "\n";
}

void PrintText(const RestoreReport& r, Io& io) {
    const backup::Manifest& m = r.contents.manifest;
    io.out << r.path << ": backup of a " << m.model << " (communication version "
           << m.commVersion << ") taken " << m.date << " by " << m.programVersion << "\n";
    for (const backup::PartPlan& p : r.plan->parts) {
        io.out << "  " << p.name << " (" << p.size << " bytes): " << backup::PartStateText(p.state);
        if (const auto* o = OutcomeOf(r, p.name)) {
            io.out << (o->unchanged  ? ", left as it is"
                       : o->restored ? ", restored and read back"
                                     : ", NOT restored: " + o->why);
        } else if (!p.why.empty()) {
            io.out << ": " << p.why;
        }
        io.out << "\n";
    }
}

int Restore(Args args, Io& io) {
    const auto target =
        TargetOf(args, io, "usage: kvctl restore FILE [--dry-run] [--json] [--keys-dir=DIR]");
    if (!target) {
        return kExitBadInput;
    }
    const std::string& path = target->path;
    const std::string& keys = target->keys;
    const SmallFileRead file = ReadSmallFile(path, backup::kMaxArchiveBytes);
    if (file.status != SmallFileStatus::Ok) {
        return BadInput(io, path + ": " +
                                (file.status == SmallFileStatus::NotRegular ? "not a plain file"
                                 : file.status == SmallFileStatus::TooLarge
                                     ? "not a backup file: far too large for one"
                                     : std::strerror(file.error)));
    }
    const backup::ArchiveContents contents = backup::DecodeArchive(file.bytes);
    if (!contents.ok()) {
        return BadInput(io, path + ": " + contents.message);
    }
    const bool json = HasOption("--json");
    const bool dryRun = HasOption("--dry-run");
    return RunLive(io, [&](LiveSession&) -> int {
        const backup::RestorePlan plan =
            backup::PlanRestore(contents, keys, PartPrinter(io, "comparing"));
        if (!plan.ok()) {
            io.err << "kvctl: " << path << " not restored: " << plan.refusal << "\n";
            return plan.refusal.starts_with("the file") ? kExitBadInput : kExitNoProcessor;
        }
        RestoreReport report{contents, path, dryRun, &plan};
        std::vector<backup::PartOutcome> outcomes;
        if (!dryRun) {
            outcomes = backup::RunRestore(contents, plan, keys, PartPrinter(io, "restoring"));
            report.outcomes = &outcomes;
        }
        json ? PrintJson(report, io) : PrintText(report, io);
        int failed = 0;
        for (const backup::PartPlan& p : plan.parts) {
            const auto* o = OutcomeOf(report, p.name);
            failed += p.state == PartState::Damaged || (o != nullptr && !o->restored) ? 1 : 0;
        }
        if (failed > 0) {
            io.err << "kvctl: " << failed << " of " << plan.parts.size() << " parts of " << path
                   << (dryRun ? " cannot be restored" : " were not restored") << "\n";
            return kExitFailure;
        }
        return kExitOk;
    });
}

constexpr std::array kCommands = {
    Command{"", "backup", "backup FILE               save the whole installation into one file",
            Backup,
            "Reads the processor's current setting, machine settings, learning table and\n"
            "smart-home memory (Z-Wave devices, names, scenes) and the smart plugs' key\n"
            "files, and writes them to FILE: a tar archive with one file per part, in its\n"
            "own format (mode.amod, machine-settings.bin, remote-keys.remo,\n"
            "zwave-memory.bin, plug-keys/NODE.xml), and manifest.json (model,\n"
            "communication version, date, program version, size and CRC-32 of each part).\n"
            "Nothing is written when any part did not arrive (exit 4). The processor reports\n"
            "its learning table without keys 16 and 17: a backup holds them as not learned.\n"
            "options:\n"
            "  --keys-dir=DIR            the key files' directory (default Documents/593/Plug)\n",
            "--keys-dir="},
    Command{"", "restore",
            "restore FILE [--dry-run]  restore a backup, part by part, and check each",
            Restore,
            "First prints what FILE holds and, for each part, whether the processor or this\n"
            "computer holds the same already. Then writes every part that differs through\n"
            "the ordinary write path, reads it back and compares it. A file from another\n"
            "model or communication version, or of a newer backup format, is refused (exit\n"
            "2). A damaged part is named and not restored, the others are; exit 1 when any\n"
            "part was not restored.\n"
            "options:\n"
            "  --dry-run                 only show what FILE holds and what differs\n"
            "  --json                    the report as JSON\n"
            "  --keys-dir=DIR            the key files' directory (default Documents/593/Plug)\n",
            "--dry-run --json --keys-dir="},
};

} // namespace

std::span<const Command> BackupCommands() {
    return kCommands;
}

} // namespace kv::cli
