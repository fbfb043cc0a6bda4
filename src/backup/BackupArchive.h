#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

/// The backup file: a tar archive that holds each part of one installation in its own
/// format (so that a user can take one out with tar) and a manifest that says what the
/// archive holds and where it came from, with the size and CRC-32 of every part.
namespace kv::backup {

/// The newest manifest format this program writes and reads.
inline constexpr int kFormatVersion = 1;
/// The format name in the manifest, to tell a backup from any other archive.
inline constexpr std::string_view kFormatName = "kv-controller-backup";

/// The parts' names inside the archive.
inline constexpr std::string_view kManifestName = "manifest.json";
inline constexpr std::string_view kModePart = "mode.amod";            ///< the current setting
inline constexpr std::string_view kSettingsPart = "machine-settings.bin"; ///< 14-byte record
inline constexpr std::string_view kRemotePart = "remote-keys.remo";   ///< learning table
inline constexpr std::string_view kZwavePart = "zwave-memory.bin";    ///< devices and scenes
inline constexpr std::string_view kPlugKeysDir = "plug-keys/";        ///< plug-keys/<node>.xml

/// Limits on what is read: a backup is tens of kilobytes.
inline constexpr std::size_t kMaxArchiveBytes = 64u << 20;
inline constexpr std::size_t kMaxPartBytes = 1u << 20;
inline constexpr std::size_t kMaxParts = 256;

struct Part {
    std::string name;
    std::vector<std::uint8_t> bytes;
};

struct ManifestEntry {
    std::string name;
    std::size_t size = 0;
    std::uint32_t crc32 = 0;
};

struct Manifest {
    int formatVersion = kFormatVersion;
    std::string model;
    int commVersion = 0;
    std::string date;           ///< UTC, ISO 8601
    std::string programVersion; ///< of the program that wrote it
    std::vector<ManifestEntry> parts;
};

std::uint32_t Crc32(std::span<const std::uint8_t> bytes);

/// True for a name a part may have: one of the fixed parts or plug-keys/<node>.xml with a
/// node 2..232.
bool IsKnownPartName(std::string_view name);
/// The node of a plug key part ("plug-keys/7.xml" gives 7); nullopt for any other name.
std::optional<int> PlugKeyNode(std::string_view name);
std::string PlugKeyPartName(int node);

/// The manifest as JSON text.
std::string EncodeManifest(const Manifest& manifest);
/// Parses a manifest; nullopt with why set when it is not one this program can read (a
/// newer format version included: why then says so and newer is set).
std::optional<Manifest> ParseManifest(std::string_view text, std::string& why, bool& newer);

/// The archive of the parts, manifest first (its entries are made from the parts).
/// Empty when the archive library failed.
std::vector<std::uint8_t> EncodeArchive(Manifest manifest, const std::vector<Part>& parts);

enum class ArchiveStatus {
    Ok,          ///< the manifest was read; parts holds what arrived whole
    NotBackup,   ///< not a tar archive, or one without a backup manifest first
    BadManifest, ///< a manifest this program cannot read
    NewerFormat, ///< written by a newer program
};

struct PartProblem {
    std::string name;
    std::string why;
};

struct ArchiveContents {
    ArchiveStatus status = ArchiveStatus::NotBackup;
    std::string message; ///< why, for any status but Ok
    Manifest manifest;
    std::vector<Part> parts;          ///< listed parts that arrived whole, in manifest order
    std::vector<PartProblem> damaged; ///< listed parts that did not (missing, cut, changed)

    bool ok() const { return status == ArchiveStatus::Ok; }
    const Part* Find(std::string_view name) const;
};

/// Reads an archive from memory. Never trusts it: every size and name is checked, a part is
/// taken only when its size and checksum match the manifest, and a damaged part does not
/// stop the others from being read.
ArchiveContents DecodeArchive(std::span<const std::uint8_t> bytes);

} // namespace kv::backup
