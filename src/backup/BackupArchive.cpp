#include "backup/BackupArchive.h"

#include <archive.h>
#include <archive_entry.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <array>
#include <charconv>
#include <cstdio>
#include <ctime>
#include <memory>

namespace kv::backup {

namespace {

constexpr int kFirstPlugNode = 2;
constexpr int kLastPlugNode = 232;
/// Longest text field of a manifest (model, date, program version).
constexpr std::size_t kMaxTextField = 64;
constexpr std::string_view kPlugKeySuffix = ".xml";

constexpr std::array<std::uint32_t, 256> MakeCrcTable() {
    std::array<std::uint32_t, 256> table{};
    for (std::uint32_t n = 0; n < 256; ++n) {
        std::uint32_t c = n;
        for (int k = 0; k < 8; ++k) {
            c = (c & 1) != 0 ? 0xEDB88320u ^ (c >> 1) : c >> 1;
        }
        table[n] = c;
    }
    return table;
}

constexpr auto kCrcTable = MakeCrcTable();

std::string CrcText(std::uint32_t crc) {
    std::array<char, 9> text{};
    std::snprintf(text.data(), text.size(), "%08x", crc);
    return text.data();
}

std::optional<std::uint32_t> ParseCrc(const std::string& text) {
    std::uint32_t crc = 0;
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, crc, 16);
    if (text.size() != 8 || ec != std::errc() || ptr != end) {
        return std::nullopt;
    }
    return crc;
}

struct ArchiveReadDeleter {
    void operator()(archive* a) const { archive_read_free(a); }
};
struct ArchiveWriteDeleter {
    void operator()(archive* a) const { archive_write_free(a); }
};
struct EntryDeleter {
    void operator()(archive_entry* e) const { archive_entry_free(e); }
};
using ReadArchive = std::unique_ptr<archive, ArchiveReadDeleter>;
using WriteArchive = std::unique_ptr<archive, ArchiveWriteDeleter>;

la_ssize_t AppendToVector(archive*, void* client, const void* buffer, std::size_t length) {
    auto* out = static_cast<std::vector<std::uint8_t>*>(client);
    const auto* bytes = static_cast<const std::uint8_t*>(buffer);
    out->insert(out->end(), bytes, bytes + length);
    return static_cast<la_ssize_t>(length);
}

bool WriteEntry(archive* a, std::string_view name, std::span<const std::uint8_t> bytes,
                std::time_t when) {
    const std::unique_ptr<archive_entry, EntryDeleter> entry(archive_entry_new());
    archive_entry_set_pathname(entry.get(), std::string(name).c_str());
    archive_entry_set_size(entry.get(), static_cast<la_int64_t>(bytes.size()));
    archive_entry_set_filetype(entry.get(), AE_IFREG);
    archive_entry_set_perm(entry.get(), 0644);
    archive_entry_set_mtime(entry.get(), when, 0);
    if (archive_write_header(a, entry.get()) != ARCHIVE_OK) {
        return false;
    }
    return bytes.empty() ||
           archive_write_data(a, bytes.data(), bytes.size()) ==
               static_cast<la_ssize_t>(bytes.size());
}

std::string ArchiveError(archive* a) {
    const char* text = archive_error_string(a);
    return text != nullptr ? text : "unknown archive error";
}

/// The data of the current entry, at most limit bytes (one more tells that it was longer).
/// False with why set when the archive could not give it.
bool ReadEntryData(archive* a, std::size_t limit, std::vector<std::uint8_t>& out,
                   std::string& why) {
    std::array<std::uint8_t, 8192> buffer{};
    for (;;) {
        const la_ssize_t n = archive_read_data(a, buffer.data(), buffer.size());
        if (n < 0) {
            why = ArchiveError(a);
            return false;
        }
        if (n == 0) {
            return true;
        }
        const auto take = std::min(static_cast<std::size_t>(n), limit + 1 - out.size());
        out.insert(out.end(), buffer.begin(), buffer.begin() + static_cast<std::ptrdiff_t>(take));
        if (out.size() > limit) {
            return true;
        }
    }
}

template <typename T>
bool Get(const nlohmann::json& object, const char* key, T& value) {
    const auto it = object.find(key);
    if (it == object.end()) {
        return false;
    }
    if constexpr (std::is_same_v<T, std::string>) {
        if (!it->is_string() || it->template get_ref<const std::string&>().size() > kMaxTextField) {
            return false;
        }
    } else {
        if (!it->is_number_integer()) {
            return false;
        }
    }
    value = it->template get<T>();
    return true;
}

bool ParsePartEntries(const nlohmann::json& list, Manifest& manifest, std::string& why) {
    if (!list.is_array() || list.size() > kMaxParts) {
        why = "its list of parts is missing or too long";
        return false;
    }
    for (const auto& item : list) {
        ManifestEntry entry;
        std::string crc;
        std::int64_t size = -1;
        if (!item.is_object() || !item.contains("name") || !item["name"].is_string() ||
            !Get(item, "size", size) || !Get(item, "crc32", crc)) {
            why = "a part's entry lacks its name, size or crc32";
            return false;
        }
        entry.name = item["name"].get<std::string>();
        const auto parsedCrc = ParseCrc(crc);
        if (!IsKnownPartName(entry.name) || size < 0 ||
            static_cast<std::uint64_t>(size) > kMaxPartBytes || !parsedCrc) {
            why = "a part's entry is not valid";
            return false;
        }
        const bool duplicate =
            std::any_of(manifest.parts.begin(), manifest.parts.end(),
                        [&](const ManifestEntry& e) { return e.name == entry.name; });
        if (duplicate) {
            why = "it lists " + entry.name + " twice";
            return false;
        }
        entry.size = static_cast<std::size_t>(size);
        entry.crc32 = *parsedCrc;
        manifest.parts.push_back(std::move(entry));
    }
    return true;
}

} // namespace

std::uint32_t Crc32(std::span<const std::uint8_t> bytes) {
    std::uint32_t c = 0xFFFFFFFFu;
    for (const std::uint8_t b : bytes) {
        c = kCrcTable[(c ^ b) & 0xFF] ^ (c >> 8);
    }
    return c ^ 0xFFFFFFFFu;
}

std::optional<int> PlugKeyNode(std::string_view name) {
    if (!name.starts_with(kPlugKeysDir) || !name.ends_with(kPlugKeySuffix)) {
        return std::nullopt;
    }
    const std::string_view digits =
        name.substr(kPlugKeysDir.size(), name.size() - kPlugKeysDir.size() - kPlugKeySuffix.size());
    int node = 0;
    const auto [ptr, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), node);
    if (digits.empty() || digits.front() == '0' || ec != std::errc() ||
        ptr != digits.data() + digits.size() || node < kFirstPlugNode || node > kLastPlugNode) {
        return std::nullopt;
    }
    return node;
}

std::string PlugKeyPartName(int node) {
    return std::string(kPlugKeysDir) + std::to_string(node) + std::string(kPlugKeySuffix);
}

bool IsKnownPartName(std::string_view name) {
    return name == kModePart || name == kSettingsPart || name == kRemotePart ||
           name == kZwavePart || PlugKeyNode(name).has_value();
}

std::string EncodeManifest(const Manifest& manifest) {
    nlohmann::ordered_json parts = nlohmann::ordered_json::array();
    for (const ManifestEntry& e : manifest.parts) {
        parts.push_back({{"name", e.name}, {"size", e.size}, {"crc32", CrcText(e.crc32)}});
    }
    const nlohmann::ordered_json json = {
        {"format", kFormatName},
        {"formatVersion", manifest.formatVersion},
        {"model", manifest.model},
        {"commVersion", manifest.commVersion},
        {"date", manifest.date},
        {"programVersion", manifest.programVersion},
        {"parts", parts},
    };
    return json.dump(2, ' ', false, nlohmann::json::error_handler_t::replace) + "\n";
}

std::optional<Manifest> ParseManifest(std::string_view text, std::string& why, bool& newer) {
    newer = false;
    const auto json = nlohmann::json::parse(text, nullptr, false);
    if (json.is_discarded() || !json.is_object()) {
        why = "its manifest is not JSON";
        return std::nullopt;
    }
    std::string format;
    if (!Get(json, "format", format) || format != kFormatName) {
        why = "its manifest is not a backup manifest";
        return std::nullopt;
    }
    Manifest manifest;
    std::int64_t version = 0;
    if (!Get(json, "formatVersion", version) || version < 1) {
        why = "its manifest has no valid format version";
        return std::nullopt;
    }
    if (version > kFormatVersion) {
        newer = true;
        why = "it was written by a newer program (backup format " + std::to_string(version) +
              "; this program reads format " + std::to_string(kFormatVersion) + ")";
        return std::nullopt;
    }
    manifest.formatVersion = static_cast<int>(version);
    std::int64_t comm = -1;
    if (!Get(json, "model", manifest.model) || !Get(json, "commVersion", comm) || comm < 0 ||
        comm > 255 || !Get(json, "date", manifest.date) ||
        !Get(json, "programVersion", manifest.programVersion)) {
        why = "its manifest lacks the model, communication version, date or program version";
        return std::nullopt;
    }
    manifest.commVersion = static_cast<int>(comm);
    if (!ParsePartEntries(json.contains("parts") ? json["parts"] : nlohmann::json(), manifest,
                          why)) {
        why = "its manifest is damaged: " + why;
        return std::nullopt;
    }
    return manifest;
}

std::vector<std::uint8_t> EncodeArchive(Manifest manifest, const std::vector<Part>& parts) {
    manifest.parts.clear();
    for (const Part& p : parts) {
        manifest.parts.push_back({p.name, p.bytes.size(), Crc32(p.bytes)});
    }
    const std::string text = EncodeManifest(manifest);
    std::vector<std::uint8_t> out;
    const WriteArchive a(archive_write_new());
    const std::time_t now = std::time(nullptr);
    if (!a || archive_write_set_format_pax_restricted(a.get()) != ARCHIVE_OK ||
        archive_write_set_bytes_in_last_block(a.get(), 1) != ARCHIVE_OK ||
        archive_write_open2(a.get(), &out, nullptr, AppendToVector, nullptr, nullptr) !=
            ARCHIVE_OK ||
        !WriteEntry(a.get(), kManifestName,
                    std::span(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()),
                    now)) {
        return {};
    }
    for (const Part& p : parts) {
        if (!WriteEntry(a.get(), p.name, p.bytes, now)) {
            return {};
        }
    }
    if (archive_write_close(a.get()) != ARCHIVE_OK) {
        return {};
    }
    return out;
}

const Part* ArchiveContents::Find(std::string_view name) const {
    const auto it =
        std::find_if(parts.begin(), parts.end(), [&](const Part& p) { return p.name == name; });
    return it == parts.end() ? nullptr : &*it;
}

ArchiveContents DecodeArchive(std::span<const std::uint8_t> bytes) {
    ArchiveContents contents;
    if (bytes.empty()) {
        contents.message = "not a backup file: it is empty";
        return contents;
    }
    if (bytes.size() > kMaxArchiveBytes) {
        contents.message = "not a backup file: far too large for one";
        return contents;
    }
    const ReadArchive a(archive_read_new());
    archive_entry* entry = nullptr;
    if (!a || archive_read_support_format_tar(a.get()) != ARCHIVE_OK ||
        archive_read_open_memory(a.get(), bytes.data(), bytes.size()) != ARCHIVE_OK ||
        archive_read_next_header(a.get(), &entry) < ARCHIVE_WARN) {
        contents.message = "not a backup file: " + ArchiveError(a.get());
        return contents;
    }
    std::vector<std::uint8_t> manifestBytes;
    std::string why;
    if (std::string_view(archive_entry_pathname(entry) ? archive_entry_pathname(entry) : "") !=
        kManifestName) {
        contents.message = "not a backup file: it does not begin with a manifest";
        return contents;
    }
    if (!ReadEntryData(a.get(), kMaxPartBytes, manifestBytes, why) ||
        manifestBytes.size() > kMaxPartBytes) {
        contents.status = ArchiveStatus::BadManifest;
        contents.message = "its manifest cannot be read: " + (why.empty() ? "too large" : why);
        return contents;
    }
    bool newer = false;
    auto manifest = ParseManifest(
        std::string_view(reinterpret_cast<const char*>(manifestBytes.data()), manifestBytes.size()),
        why, newer);
    if (!manifest) {
        contents.status = newer ? ArchiveStatus::NewerFormat : ArchiveStatus::BadManifest;
        contents.message = why;
        return contents;
    }
    contents.manifest = std::move(*manifest);
    contents.status = ArchiveStatus::Ok;

    std::vector<std::optional<Part>> arrived(contents.manifest.parts.size());
    std::vector<std::string> problems(contents.manifest.parts.size());
    std::string endOfArchive;
    for (;;) {
        const int r = archive_read_next_header(a.get(), &entry);
        if (r == ARCHIVE_EOF) {
            break;
        }
        if (r < ARCHIVE_WARN) {
            endOfArchive = ArchiveError(a.get());
            break;
        }
        const char* path = archive_entry_pathname(entry);
        const std::string_view name = path != nullptr ? path : "";
        const auto listed = std::find_if(contents.manifest.parts.begin(),
                                         contents.manifest.parts.end(),
                                         [&](const ManifestEntry& e) { return e.name == name; });
        if (listed == contents.manifest.parts.end()) {
            continue; // not a part of this backup; a later copy of a part is ignored too
        }
        const auto index = static_cast<std::size_t>(listed - contents.manifest.parts.begin());
        if (arrived[index] || !problems[index].empty()) {
            continue;
        }
        Part part{listed->name, {}};
        if (archive_entry_filetype(entry) != AE_IFREG) {
            problems[index] = "not a plain file in the archive";
            continue;
        }
        if (!ReadEntryData(a.get(), listed->size, part.bytes, why)) {
            problems[index] = "cannot be read: " + why;
            endOfArchive = why;
            break; // the archive reader cannot go on after a data error
        }
        if (part.bytes.size() != listed->size) {
            problems[index] = "holds " + std::to_string(part.bytes.size()) +
                              (part.bytes.size() > listed->size ? " or more" : "") +
                              " bytes instead of " + std::to_string(listed->size);
        } else if (Crc32(part.bytes) != listed->crc32) {
            problems[index] = "its checksum does not match";
        } else {
            arrived[index] = std::move(part);
        }
    }
    for (std::size_t i = 0; i < arrived.size(); ++i) {
        if (arrived[i]) {
            contents.parts.push_back(std::move(*arrived[i]));
        } else {
            const std::string missing =
                endOfArchive.empty() ? "missing from the archive"
                                     : "missing: the archive ends early (" + endOfArchive + ")";
            contents.damaged.push_back({contents.manifest.parts[i].name,
                                        problems[i].empty() ? missing : problems[i]});
        }
    }
    return contents;
}

} // namespace kv::backup
