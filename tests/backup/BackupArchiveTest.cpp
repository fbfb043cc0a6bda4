#include "backup/BackupArchive.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace kv::backup {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes Text(std::string_view text) {
    return {text.begin(), text.end()};
}

Manifest Identity() {
    Manifest m;
    m.model = "KV5930Q";
    m.commVersion = 18;
    m.date = "2026-12-11T12:00:00Z";
    m.programVersion = "kvctl 2.0.9";
    return m;
}

std::vector<Part> SomeParts() {
    Bytes memory(6860);
    for (std::size_t i = 0; i < memory.size(); ++i) {
        memory[i] = static_cast<std::uint8_t>(i * 7);
    }
    return {{"mode.amod", Bytes(1500, 0x11)},
            {"machine-settings.bin", Bytes(14, 3)},
            {"zwave-memory.bin", memory},
            {"plug-keys/3.xml", Text("<?xml version=\"1.0\"?><Keys/>")},
            {"remote-keys.remo", Bytes(18, 0)}};
}

/// A tar archive of the given entries, in order, each written as it is (no manifest made).
Bytes RawTar(const std::vector<Part>& entries) {
    // The archive library writes any entries; EncodeArchive puts its manifest first, so this
    // builds archives a backup writer never would by handing it a manifest as a part name.
    Bytes out;
    for (const Part& e : entries) {
        Bytes header(512, 0);
        std::copy(e.name.begin(), e.name.end(), header.begin());
        const auto octal = [&](std::size_t at, std::size_t width, unsigned long value) {
            std::string digits(width - 1, '0');
            for (std::size_t i = width - 1; i-- > 0; value >>= 3) {
                digits[i] = static_cast<char>('0' + (value & 7));
            }
            std::copy(digits.begin(), digits.end(), header.begin() + static_cast<long>(at));
        };
        octal(100, 8, 0644);
        octal(108, 8, 0);
        octal(116, 8, 0);
        octal(124, 12, e.bytes.size());
        octal(136, 12, 0);
        header[156] = '0';
        std::copy_n("ustar", 6, header.begin() + 257);
        header[263] = '0';
        header[264] = '0';
        std::fill_n(header.begin() + 148, 8, ' ');
        unsigned long sum = 0;
        for (const std::uint8_t b : header) {
            sum += b;
        }
        octal(148, 7, sum);
        out.insert(out.end(), header.begin(), header.end());
        out.insert(out.end(), e.bytes.begin(), e.bytes.end());
        out.resize((out.size() + 511) / 512 * 512, 0);
    }
    out.resize(out.size() + 1024, 0);
    return out;
}

TEST(BackupArchive, KnownChecksumAndPartNames) {
    EXPECT_EQ(Crc32(Text("123456789")), 0xCBF43926u);
    EXPECT_EQ(Crc32({}), 0u);

    struct Case {
        const char* name;
        std::optional<int> node;
        bool known;
    };
    const Case cases[] = {
        {"plug-keys/2.xml", 2, true},       {"plug-keys/232.xml", 232, true},
        {"plug-keys/1.xml", {}, false},     {"plug-keys/233.xml", {}, false},
        {"plug-keys/02.xml", {}, false},    {"plug-keys/../7.xml", {}, false},
        {"plug-keys/7.xml.bak", {}, false}, {"plug-keys/.xml", {}, false},
        {"plug-keys/-3.xml", {}, false},    {"mode.amod", {}, true},
        {"zwave-memory.bin", {}, true},     {"/etc/passwd", {}, false},
        {"manifest.json", {}, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(PlugKeyNode(c.name), c.node);
        EXPECT_EQ(IsKnownPartName(c.name), c.known);
    }
    EXPECT_EQ(PlugKeyPartName(17), "plug-keys/17.xml");
}

TEST(BackupArchive, WhatIsWrittenReadsBackWithItsManifest) {
    const auto parts = SomeParts();
    const Bytes archive = EncodeArchive(Identity(), parts);
    ASSERT_FALSE(archive.empty());

    const ArchiveContents c = DecodeArchive(archive);
    ASSERT_TRUE(c.ok()) << c.message;
    EXPECT_EQ(c.manifest.model, "KV5930Q");
    EXPECT_EQ(c.manifest.commVersion, 18);
    EXPECT_EQ(c.manifest.date, "2026-12-11T12:00:00Z");
    EXPECT_EQ(c.manifest.programVersion, "kvctl 2.0.9");
    EXPECT_EQ(c.manifest.formatVersion, kFormatVersion);
    EXPECT_TRUE(c.damaged.empty());
    ASSERT_EQ(c.parts.size(), parts.size());
    ASSERT_EQ(c.manifest.parts.size(), parts.size());
    for (std::size_t i = 0; i < parts.size(); ++i) {
        EXPECT_EQ(c.parts[i].name, parts[i].name);
        EXPECT_EQ(c.parts[i].bytes, parts[i].bytes) << parts[i].name;
        EXPECT_EQ(c.manifest.parts[i].size, parts[i].bytes.size());
        EXPECT_EQ(c.manifest.parts[i].crc32, Crc32(parts[i].bytes));
    }
    EXPECT_NE(c.Find("plug-keys/3.xml"), nullptr);
    EXPECT_EQ(c.Find("plug-keys/4.xml"), nullptr);
}

TEST(BackupArchive, FilesThatAreNoBackupAreRefusedWithTheirReason) {
    const std::string good = EncodeManifest(Identity());
    const auto manifestWith = [&](const std::string& from, const std::string& to) {
        std::string text = good;
        text.replace(text.find(from), from.size(), to);
        return RawTar({{"manifest.json", Text(text)}});
    };
    struct Case {
        const char* what;
        Bytes file;
        ArchiveStatus status;
        const char* message;
    };
    const std::vector<Case> cases = {
        {"empty", {}, ArchiveStatus::NotBackup, "empty"},
        {"random bytes", Bytes(3000, 0x5A), ArchiveStatus::NotBackup, "not a backup file"},
        {"a mode file", Bytes(1566, 29), ArchiveStatus::NotBackup, "not a backup file"},
        {"tar without manifest first",
         RawTar({{"mode.amod", Bytes(4, 1)}, {"manifest.json", Text(good)}}),
         ArchiveStatus::NotBackup, "does not begin with a manifest"},
        {"manifest not JSON", RawTar({{"manifest.json", Text("{\"format\": ")}}),
         ArchiveStatus::BadManifest, "not JSON"},
        {"another format", manifestWith("kv-controller-backup", "something-else"),
         ArchiveStatus::BadManifest, "not a backup manifest"},
        {"newer format", manifestWith("\"formatVersion\": 1", "\"formatVersion\": 7"),
         ArchiveStatus::NewerFormat, "newer program (backup format 7"},
        {"format version 0", manifestWith("\"formatVersion\": 1", "\"formatVersion\": 0"),
         ArchiveStatus::BadManifest, "no valid format version"},
        {"model missing", manifestWith("\"model\"", "\"modell\""), ArchiveStatus::BadManifest,
         "lacks the model"},
        {"communication version out of range", manifestWith("\"commVersion\": 18", "\"commVersion\": 300"),
         ArchiveStatus::BadManifest, "lacks the model"},
        {"part outside the backup",
         manifestWith("\"parts\": []",
                      R"("parts": [{"name": "../../etc/passwd", "size": 3, "crc32": "00000000"}])"),
         ArchiveStatus::BadManifest, "not valid"},
        {"part listed twice",
         manifestWith("\"parts\": []",
                      R"("parts": [{"name": "mode.amod", "size": 3, "crc32": "00000000"},
                                   {"name": "mode.amod", "size": 3, "crc32": "00000000"}])"),
         ArchiveStatus::BadManifest, "twice"},
        {"part far too large",
         manifestWith("\"parts\": []",
                      R"("parts": [{"name": "mode.amod", "size": 99999999, "crc32": "00000000"}])"),
         ArchiveStatus::BadManifest, "not valid"},
        {"checksum not hex",
         manifestWith("\"parts\": []",
                      R"("parts": [{"name": "mode.amod", "size": 3, "crc32": "0000000g"}])"),
         ArchiveStatus::BadManifest, "not valid"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const ArchiveContents r = DecodeArchive(c.file);
        EXPECT_EQ(r.status, c.status);
        EXPECT_NE(r.message.find(c.message), std::string::npos) << r.message;
        EXPECT_TRUE(r.parts.empty());
    }
}

TEST(BackupArchive, ADamagedPartIsNamedAndTheOthersStillArrive) {
    const auto parts = SomeParts();
    const Bytes archive = EncodeArchive(Identity(), parts);
    // The settings record's bytes: the only run of fourteen 3s in the archive.
    const Bytes needle(14, 3);
    const auto at = std::search(archive.begin(), archive.end(), needle.begin(), needle.end());
    ASSERT_NE(at, archive.end());
    Bytes damaged = archive;
    damaged[static_cast<std::size_t>(at - archive.begin()) + 5] ^= 0x40;

    const ArchiveContents c = DecodeArchive(damaged);
    ASSERT_TRUE(c.ok()) << c.message;
    ASSERT_EQ(c.damaged.size(), 1u);
    EXPECT_EQ(c.damaged[0].name, "machine-settings.bin");
    EXPECT_NE(c.damaged[0].why.find("checksum"), std::string::npos) << c.damaged[0].why;
    EXPECT_EQ(c.parts.size(), parts.size() - 1);
    EXPECT_EQ(c.Find("machine-settings.bin"), nullptr);
    EXPECT_EQ(c.Find("zwave-memory.bin")->bytes, parts[2].bytes);
}

TEST(BackupArchive, ATruncatedFileKeepsThePartsBeforeTheCut) {
    const auto parts = SomeParts();
    const Bytes archive = EncodeArchive(Identity(), parts);
    bool sawPartial = false;
    for (std::size_t cut = 0; cut < archive.size(); cut += 97) {
        SCOPED_TRACE(cut);
        const ArchiveContents c =
            DecodeArchive(std::span(archive.data(), cut));
        if (!c.ok()) {
            EXPECT_TRUE(c.parts.empty());
            continue;
        }
        // Every listed part either arrived whole or is named as damaged; nothing is guessed.
        EXPECT_EQ(c.parts.size() + c.damaged.size(), parts.size());
        for (const Part& p : c.parts) {
            const auto original = std::find_if(parts.begin(), parts.end(),
                                               [&](const Part& o) { return o.name == p.name; });
            ASSERT_NE(original, parts.end());
            EXPECT_EQ(p.bytes, original->bytes) << p.name;
        }
        for (const PartProblem& d : c.damaged) {
            EXPECT_FALSE(d.why.empty()) << d.name;
        }
        sawPartial = sawPartial || (!c.parts.empty() && !c.damaged.empty());
    }
    EXPECT_TRUE(sawPartial);
}

} // namespace
} // namespace kv::backup
