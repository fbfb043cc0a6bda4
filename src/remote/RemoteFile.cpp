#include "remote/RemoteFile.h"

#include "image/AtomicFile.h"

#include <algorithm>

namespace kv {

RemoteFileResult ReadRemoteFile(const std::string& path, RemoteKeyTable& table) {
    const SmallFileRead read = ReadSmallFile(path, kRemoteKeyTableSize);
    RemoteFileResult result;
    result.error = read.error;
    result.size = read.bytes.size();
    switch (read.status) {
    case SmallFileStatus::CannotOpen:
        result.status = RemoteFileStatus::CannotOpen;
        return result;
    case SmallFileStatus::NotRegular:
        result.status = RemoteFileStatus::NotRegular;
        return result;
    case SmallFileStatus::TooLarge:
        result.status = RemoteFileStatus::WrongSize;
        return result;
    case SmallFileStatus::Ok:
        break;
    }
    if (read.bytes.size() != kRemoteKeyTableSize) {
        result.status = RemoteFileStatus::WrongSize;
        return result;
    }
    std::copy(read.bytes.begin(), read.bytes.end(), table.begin());
    return result;
}

RemoteFileResult WriteRemoteFile(const std::string& path, const RemoteKeyTable& table) {
    RemoteFileResult result;
    result.error = WriteFileAtomically(path, table);
    if (result.error != 0) {
        result.status = RemoteFileStatus::CannotWrite;
    } else {
        result.size = table.size();
    }
    return result;
}

std::string RemoteFileName(const std::string& chosen) {
    const auto slash = chosen.find_last_of('/');
    const auto dot = chosen.find_last_of('.');
    const bool hasExtension =
        dot != std::string::npos && (slash == std::string::npos || dot > slash + 1);
    return (hasExtension ? chosen.substr(0, dot) : chosen) + ".remo";
}

} // namespace kv
