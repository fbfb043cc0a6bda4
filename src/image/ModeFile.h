#pragma once

#include "image/AtomicFile.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

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
    NotRegular,         ///< a directory, pipe, device or socket, refused unopened
};

/// Bytes of one block that a file ending early should have held: they kept their old values.
struct KeptBytes {
    const char* block; ///< "main", "system", "extension", "routing" or "tail"
    std::size_t from;  ///< the first byte of the block the file did not fill
    std::size_t to;    ///< one past the last byte of the block the version holds
};

struct ModeFileResult {
    ModeFileStatus status = ModeFileStatus::Ok;
    int errorCode = 0; ///< errno of the failing call
    std::string path;
    int version = 0; ///< version read (ReadModeFile)
    /// A file of a known version that ends early loads what it has: how many bytes it
    /// lacked, and the parts of the blocks that kept their old values, in file order.
    std::size_t missingBytes = 0;
    std::vector<KeptBytes> kept;

    bool ok() const { return status == ModeFileStatus::Ok; }
    bool truncated() const { return missingBytes > 0; }
};

/// The version 29 file of the image: the version, then the main, system, extension, routing
/// and tail blocks.
std::vector<std::uint8_t> EncodeModeFile(const ParamImage& image);

/// A save that can be refused before anything else happens: the constructor creates the
/// temporary file beside the target (following a symbolic link to its file), Write fills it
/// with the image and renames it into place.
class ModeFileSave {
public:
    explicit ModeFileSave(const std::string& path);
    /// Ok when the target can be written; CannotWrite with the errno otherwise.
    const ModeFileResult& Prepared() const { return m_prepared; }
    /// Writes the image as a version 29 file (CannotWrite when not prepared).
    ModeFileResult Write(const ParamImage& image);

private:
    AtomicFileWriter m_writer;
    ModeFileResult m_prepared;
};

/// Writes the image as a version 29 file. The bytes go to a file beside the target that
/// replaces it only once complete, so a failure never empties or truncates an existing file.
ModeFileResult WriteModeFile(const std::string& path, const ParamImage& image);

/// Reads a file of any accepted version into the image. A file that ends early loads the
/// bytes it has (the result tells what was missing); a rejected or unreadable file, and
/// anything that is not a regular file, changes nothing.
ModeFileResult ReadModeFile(const std::string& path, ParamImage& image);

/// Reads the bytes of a mode file (at most a version 29 file's worth) without loading them:
/// Ok, CannotRead or NotRegular, with the same refusals as ReadModeFile.
ModeFileResult ReadModeFileBytes(const std::string& path, std::vector<std::uint8_t>& bytes);
/// Loads mode-file bytes already in memory (same rules as ReadModeFile).
ModeFileResult LoadModeFileBytes(std::span<const std::uint8_t> bytes, ParamImage& image);

/// The user-facing message of a failed result (the texts the application shows).
std::string ModeFileMessage(const ModeFileResult& result);

/// For a truncated load: "ends 1219 bytes early; kept their old values: system block bytes
/// 84..1252, extension block, routing block, tail block". Empty when nothing was missing.
std::string TruncationNote(const ModeFileResult& result);

} // namespace kv
