#pragma once

#include "backup/BackupArchive.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

/// Backup and restore of one installation against the connected processor: what the
/// processor keeps (the current setting, the machine settings, the learning table, the
/// smart-home memory) and the smart plugs' key files on this computer. Everything goes
/// through the ordinary write path (the device's queue, each command waiting for its
/// answer) and runs on the calling thread, which must not be the window's.
namespace kv::backup {

/// The part being worked on and how far the whole operation is (done of total steps).
using Progress = std::function<void(const std::string& part, int done, int total)>;

/// The smart-home memory: 233 device records of 28 bytes, then six scene records of 56.
inline constexpr std::size_t kZwaveMemoryBytes = 6860;

struct TakeResult {
    std::vector<std::uint8_t> archive; ///< empty when failure is set
    std::vector<Part> parts;
    std::string failure;
};

/// Takes a backup. The image must be fresh from a complete read-all; the smart-home memory
/// is read here, record by record. Key files are taken from keyDirectory ("<node>.xml").
/// Any record that does not arrive fails the whole backup: a backup never holds guesses.
TakeResult TakeBackup(const std::string& keyDirectory, const std::string& programVersion,
                      const Progress& progress);

enum class PartState {
    Same,    ///< the processor or the computer holds these bytes already
    Differs, ///< restoring changes it
    Damaged, ///< listed in the manifest but not whole in the file: cannot be restored
};

struct PartPlan {
    std::string name;
    std::size_t size = 0;
    PartState state = PartState::Differs;
    std::string why; ///< for a damaged part
};

struct RestorePlan {
    std::string refusal; ///< set when the file must not be restored here, with the reason
    std::vector<PartPlan> parts;
    bool ok() const { return refusal.empty(); }
};

/// Compares the file with the processor and the key directory before anything is written.
/// Refuses a file from another model or communication version, and fails (refusal set)
/// when the processor's smart-home memory could not be read for the comparison.
RestorePlan PlanRestore(const ArchiveContents& contents, const std::string& keyDirectory,
                        const Progress& progress);

struct PartOutcome {
    std::string name;
    bool restored = false; ///< written and read back the same (or the same already)
    bool unchanged = false; ///< nothing to write: it was the same already
    std::string why;        ///< why not
};

/// Writes every part the plan says differs, reads each back and compares it. Damaged parts
/// are reported as not restored. One outcome per planned part, in plan order.
std::vector<PartOutcome> RunRestore(const ArchiveContents& contents, const RestorePlan& plan,
                                    const std::string& keyDirectory, const Progress& progress);

const char* PartStateText(PartState state);

} // namespace kv::backup
