#pragma once

#include "remote/RemoteKeyTable.h"

#include <string>

/// Remote key files (".remo"): exactly the 18 bytes of the remote key table, no header.
namespace kv {

enum class RemoteFileStatus {
    Ok,
    CannotOpen,  ///< open or read failed (error holds errno)
    NotRegular,  ///< a directory, device, pipe or socket
    WrongSize,   ///< not 18 bytes long (size holds what was found, up to 19)
    CannotWrite, ///< the save failed (error holds errno); the old file is unchanged
};

struct RemoteFileResult {
    RemoteFileStatus status = RemoteFileStatus::Ok;
    int error = 0;
    std::size_t size = 0;
    bool ok() const { return status == RemoteFileStatus::Ok; }
};

/// Reads a key file into table. Anything but an 18-byte regular file is refused and table
/// is left as it was.
RemoteFileResult ReadRemoteFile(const std::string& path, RemoteKeyTable& table);
/// Saves the table atomically (the old file stays whole when the save fails).
RemoteFileResult WriteRemoteFile(const std::string& path, const RemoteKeyTable& table);
/// The chosen name with its extension replaced by "remo" (added when it has none).
std::string RemoteFileName(const std::string& chosen);

} // namespace kv
