#pragma once

#include <cstddef>
#include <optional>
#include <span>
#include <string>

namespace kv {

class ParamImage;

inline constexpr int kModeFileVersion = 29;
inline constexpr std::size_t kModeFileSize = 2223;

/// How many bytes of each block a mode file version holds (0 = block absent).
struct ModeFileLayout {
    int version;
    std::size_t mainBytes;
    std::size_t systemBytes;
    std::size_t extensionBytes;
    std::size_t routingBytes;
    std::size_t tailBytes;

    std::size_t FileSize() const {
        return 4 + mainBytes + systemBytes + extensionBytes + routingBytes + tailBytes;
    }
};

/// The layouts of every version the reader accepts: 1..8 and 29.
std::span<const ModeFileLayout> ModeFileLayouts();
std::optional<ModeFileLayout> FindModeFileLayout(int version);

enum class ModeFileStatus {
    Ok,
    CannotWrite,        ///< creating, writing or replacing failed; an old file is intact
    CannotRead,         ///< the file could not be opened or read; the image is unchanged
    UnsupportedVersion, ///< not one of 1..8 and 29; the image is unchanged
};

struct ModeFileResult {
    ModeFileStatus status = ModeFileStatus::Ok;
    int errorCode = 0; ///< errno of the failing call
    std::string path;
    int version = 0; ///< version read (ReadModeFile)

    bool ok() const { return status == ModeFileStatus::Ok; }
};

/// Writes the image as a version 29 file. The bytes go to a file beside the target that
/// replaces it only once complete, so a failure never empties or truncates an existing file.
ModeFileResult WriteModeFile(const std::string& path, const ParamImage& image);

/// Reads a file of any accepted version into the image. A file that ends early loads the
/// bytes it has; a rejected or unreadable file changes nothing.
ModeFileResult ReadModeFile(const std::string& path, ParamImage& image);

/// Loads mode-file bytes already in memory (same rules as ReadModeFile).
ModeFileResult LoadModeFileBytes(std::span<const std::uint8_t> bytes, ParamImage& image);

/// The user-facing message of a failed result (the texts the application shows).
std::string ModeFileMessage(const ModeFileResult& result);

} // namespace kv
