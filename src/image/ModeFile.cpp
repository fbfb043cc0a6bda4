#include "image/ModeFile.h"

#include "image/ParamImage.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace kv {

namespace {

constexpr std::array<ModeFileLayout, 9> kLayouts = {{
    {1, 784, 1246, 0, 0, 0},
    {2, 784, 1246, 32, 0, 0},
    {3, 796, 1246, 32, 0, 0},
    {4, 796, 1246, 32, 20, 0},
    {5, 828, 1246, 32, 20, 0},
    {6, 844, 1253, 32, 20, 0},
    {7, 864, 1253, 32, 20, 0},
    {8, 864, 1253, 32, 20, 2},
    {29, 912, 1253, 32, 20, 2},
}};

bool WriteAll(int fd, const std::uint8_t* data, std::size_t size) {
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

std::string DirectoryOf(const std::string& path) {
    const auto slash = path.find_last_of('/');
    if (slash == std::string::npos) {
        return ".";
    }
    return slash == 0 ? "/" : path.substr(0, slash);
}

ModeFileResult Failure(ModeFileStatus status, int code, const std::string& path) {
    ModeFileResult r;
    r.status = status;
    r.errorCode = code;
    r.path = path;
    return r;
}

std::vector<std::uint8_t> EncodeVersion29(const ParamImage& image) {
    std::vector<std::uint8_t> bytes;
    bytes.reserve(kModeFileSize);
    const std::uint32_t version = kModeFileVersion;
    for (int k = 0; k < 4; ++k) {
        bytes.push_back(static_cast<std::uint8_t>(version >> (8 * k)));
    }
    const auto main = image.MainBlock();
    bytes.insert(bytes.end(), main.begin(), main.end());
    for (Block block : {Block::System, Block::Extension, Block::Routing, Block::Tail}) {
        const auto b = image.BlockBytes(block);
        bytes.insert(bytes.end(), b.begin(), b.end());
    }
    return bytes;
}

} // namespace

std::span<const ModeFileLayout> ModeFileLayouts() {
    return kLayouts;
}

std::optional<ModeFileLayout> FindModeFileLayout(int version) {
    const auto it =
        std::find_if(kLayouts.begin(), kLayouts.end(),
                     [version](const ModeFileLayout& l) { return l.version == version; });
    if (it == kLayouts.end()) {
        return std::nullopt;
    }
    return *it;
}

ModeFileResult WriteModeFile(const std::string& path, const ParamImage& image) {
    // An existing file that may not be written stays protected, as it would be when
    // opened for writing in place.
    if (::access(path.c_str(), F_OK) == 0 && ::access(path.c_str(), W_OK) != 0) {
        return Failure(ModeFileStatus::CannotWrite, errno, path);
    }
    std::string tmp = DirectoryOf(path) + "/.kvmode-XXXXXX";
    const int fd = ::mkstemp(tmp.data());
    if (fd < 0) {
        return Failure(ModeFileStatus::CannotWrite, errno, path);
    }

    const auto bytes = EncodeVersion29(image);
    struct stat st {};
    // Keep the permissions of the file being replaced; a new file gets the usual 0666 & umask.
    if (::stat(path.c_str(), &st) == 0) {
        ::fchmod(fd, st.st_mode & 07777);
    } else {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        ::fchmod(fd, 0666 & ~mask);
    }
    bool ok = WriteAll(fd, bytes.data(), bytes.size());
    int error = ok ? 0 : errno;
    if (ok && ::fsync(fd) != 0) {
        ok = false;
        error = errno;
    }
    if (::close(fd) != 0 && ok) {
        ok = false;
        error = errno;
    }
    if (ok && ::rename(tmp.c_str(), path.c_str()) != 0) {
        ok = false;
        error = errno;
    }
    if (!ok) {
        ::unlink(tmp.c_str());
        return Failure(ModeFileStatus::CannotWrite, error, path);
    }
    ModeFileResult r;
    r.path = path;
    r.version = kModeFileVersion;
    return r;
}

ModeFileResult LoadModeFileBytes(std::span<const std::uint8_t> bytes, ParamImage& image) {
    // A file too short to hold the version reads as version 0.
    std::int32_t version = 0;
    if (bytes.size() >= 4) {
        version = static_cast<std::int32_t>(
            std::uint32_t{bytes[0]} | (std::uint32_t{bytes[1]} << 8) |
            (std::uint32_t{bytes[2]} << 16) | (std::uint32_t{bytes[3]} << 24));
    }
    const auto layout = FindModeFileLayout(version);
    if (!layout) {
        ModeFileResult r = Failure(ModeFileStatus::UnsupportedVersion, 0, {});
        r.version = version;
        return r;
    }

    std::size_t pos = std::min<std::size_t>(4, bytes.size());
    auto take = [&](std::size_t n) {
        const std::size_t have = std::min(n, bytes.size() - pos);
        auto part = bytes.subspan(pos, have);
        pos += have;
        return part;
    };
    image.SetMainBlock(take(layout->mainBytes));
    image.WriteBlock(Block::System, 0, take(layout->systemBytes));
    if (layout->extensionBytes) {
        image.WriteBlock(Block::Extension, 0, take(layout->extensionBytes));
    }
    if (layout->routingBytes) {
        // Writing the routing block recomputes the derived geometry.
        image.WriteBlock(Block::Routing, 0, take(layout->routingBytes));
    }
    if (layout->tailBytes) {
        image.WriteBlock(Block::Tail, 0, take(layout->tailBytes));
    }
    ModeFileResult r;
    r.version = version;
    return r;
}

ModeFileResult ReadModeFile(const std::string& path, ParamImage& image) {
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) {
        return Failure(ModeFileStatus::CannotRead, errno, path);
    }
    // No accepted version holds more than the version 29 layout; anything after it is ignored.
    std::vector<std::uint8_t> bytes(kModeFileSize);
    const std::size_t n = std::fread(bytes.data(), 1, bytes.size(), file);
    const bool readError = std::ferror(file) != 0;
    const int error = errno;
    std::fclose(file);
    if (readError) {
        return Failure(ModeFileStatus::CannotRead, error, path);
    }
    bytes.resize(n);
    ModeFileResult r = LoadModeFileBytes(bytes, image);
    r.path = path;
    return r;
}

std::string ModeFileMessage(const ModeFileResult& result) {
    char buffer[4352];
    switch (result.status) {
    case ModeFileStatus::Ok:
        return {};
    case ModeFileStatus::CannotWrite:
        std::snprintf(buffer, sizeof buffer,
                      "Errcode=%d,Can't write to file:\n%s\nProbaby it is write protected.",
                      result.errorCode, result.path.c_str());
        return buffer;
    case ModeFileStatus::CannotRead:
        std::snprintf(buffer, sizeof buffer,
                      "Can't write to file:\n%s\nProbaby it is write protected.",
                      result.path.c_str());
        return buffer;
    case ModeFileStatus::UnsupportedVersion:
        return "Mode file version not support!";
    }
    return {};
}

} // namespace kv
