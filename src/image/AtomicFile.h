#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace kv {

/// Replaces path with bytes so that readers see either the old file or the whole new one: a
/// temporary file beside it is written, flushed to disk and renamed into place. An existing
/// file keeps its permissions; one that may not be written is refused. Returns 0 or the
/// errno of the step that failed (the old file is then unchanged and no temporary is left).
int WriteFileAtomically(const std::string& path, std::span<const std::uint8_t> bytes);

/// What reading a small file found.
enum class SmallFileStatus {
    Ok,
    CannotOpen, ///< open or read failed; error holds errno
    NotRegular, ///< a directory, device, pipe or socket
    TooLarge,   ///< more than the limit
};

struct SmallFileRead {
    SmallFileStatus status = SmallFileStatus::Ok;
    int error = 0;
    std::vector<std::uint8_t> bytes;
};

/// Reads a regular file of at most maxBytes. Never blocks on a pipe and never reads more
/// than maxBytes + 1 bytes, whatever the file claims to be.
SmallFileRead ReadSmallFile(const std::string& path, std::size_t maxBytes);

} // namespace kv
