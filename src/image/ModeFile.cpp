#include "image/ModeFile.h"

#include "image/ParamImage.h"

#include <algorithm>
#include <array>
#include <cstdio>
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

ModeFileResult Failure(ModeFileStatus status, int code, const std::string& path) {
    ModeFileResult r;
    r.status = status;
    r.errorCode = code;
    r.path = path;
    return r;
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

std::vector<std::uint8_t> EncodeModeFile(const ParamImage& image) {
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

ModeFileSave::ModeFileSave(const std::string& path) : m_writer(path) {
    m_prepared.path = path;
    if (m_writer.Error() != 0) {
        m_prepared = Failure(ModeFileStatus::CannotWrite, m_writer.Error(), path);
    }
}

ModeFileResult ModeFileSave::Write(const ParamImage& image) {
    if (const int error = m_writer.Commit(EncodeModeFile(image)); error != 0) {
        return Failure(ModeFileStatus::CannotWrite, error, m_prepared.path);
    }
    ModeFileResult r;
    r.path = m_prepared.path;
    r.version = kModeFileVersion;
    return r;
}

ModeFileResult WriteModeFile(const std::string& path, const ParamImage& image) {
    ModeFileSave save(path);
    return save.Write(image);
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

    ModeFileResult r;
    r.version = version;
    std::size_t pos = 4;
    // Takes the next n bytes of the file, or as many as are left; notes what is missing.
    auto take = [&](const char* block, std::size_t n) {
        const std::size_t have = std::min(n, bytes.size() - std::min(pos, bytes.size()));
        auto part = bytes.subspan(std::min(pos, bytes.size()), have);
        pos += n;
        if (have < n) {
            r.missingBytes += n - have;
            r.kept.push_back({block, have, n});
        }
        return part;
    };
    image.SetMainBlock(take("main", layout->mainBytes));
    image.WriteBlock(Block::System, 0, take("system", layout->systemBytes));
    if (layout->extensionBytes) {
        image.WriteBlock(Block::Extension, 0, take("extension", layout->extensionBytes));
    }
    if (layout->routingBytes) {
        // Writing the routing block recomputes the derived geometry.
        image.WriteBlock(Block::Routing, 0, take("routing", layout->routingBytes));
    }
    if (layout->tailBytes) {
        image.WriteBlock(Block::Tail, 0, take("tail", layout->tailBytes));
    }
    return r;
}

ModeFileResult ReadModeFileBytes(const std::string& path, std::vector<std::uint8_t>& bytes) {
    // No accepted version holds more than the version 29 layout; anything after it is ignored.
    SmallFileRead read = ReadSmallFile(path, kModeFileSize);
    switch (read.status) {
    case SmallFileStatus::CannotOpen:
        return Failure(ModeFileStatus::CannotRead, read.error, path);
    case SmallFileStatus::NotRegular:
        return Failure(ModeFileStatus::NotRegular, 0, path);
    case SmallFileStatus::TooLarge:
        read.bytes.resize(kModeFileSize);
        break;
    case SmallFileStatus::Ok:
        break;
    }
    bytes = std::move(read.bytes);
    ModeFileResult r;
    r.path = path;
    return r;
}

ModeFileResult ReadModeFile(const std::string& path, ParamImage& image) {
    std::vector<std::uint8_t> bytes;
    ModeFileResult r = ReadModeFileBytes(path, bytes);
    if (!r.ok()) {
        return r;
    }
    r = LoadModeFileBytes(bytes, image);
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
    case ModeFileStatus::NotRegular:
        std::snprintf(buffer, sizeof buffer,
                      "Can't write to file:\n%s\nProbaby it is write protected.",
                      result.path.c_str());
        return buffer;
    case ModeFileStatus::UnsupportedVersion:
        return "Mode file version not support!";
    }
    return {};
}

std::string TruncationNote(const ModeFileResult& result) {
    if (!result.truncated()) {
        return {};
    }
    std::string note =
        "ends " + std::to_string(result.missingBytes) + " bytes early; kept their old values: ";
    for (std::size_t i = 0; i < result.kept.size(); ++i) {
        const KeptBytes& k = result.kept[i];
        note += i ? ", " : "";
        note += std::string(k.block) + " block";
        if (k.from > 0) {
            note += " bytes " + std::to_string(k.from) + ".." + std::to_string(k.to - 1);
        }
    }
    return note;
}

} // namespace kv
