#include "image/ModeFile.h"
#include "support/FileBytes.h"
#include "image/ParamImage.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace kv {
namespace {

namespace fs = std::filesystem;
using test::Bytes;
using test::ReadFile;
using test::WriteFile;

Bytes Pattern(std::size_t n, std::uint8_t first) {
    Bytes b(n);
    for (std::size_t i = 0; i < n; ++i) {
        b[i] = static_cast<std::uint8_t>(first + i * 13);
    }
    return b;
}

/// Fills every block a mode file holds with bytes derived from the first.
void FillImage(ParamImage& image, std::uint8_t first) {
    image.SetMainBlock(Pattern(kMainBlockSize, first));
    image.WriteBlock(Block::System, 0, Pattern(kSystemBlockSize, first + 1));
    image.WriteBlock(Block::Extension, 0, Pattern(kExtensionBlockSize, first + 2));
    image.WriteBlock(Block::Routing, 0, Pattern(kRoutingBlockSize, first + 3));
    image.WriteBlock(Block::Tail, 0, Pattern(kTailBlockSize, first + 4));
}

struct Snapshot {
    Bytes main, system, extension, routing, tail;
    RoomGeometry geometry;

    explicit Snapshot(const ParamImage& image)
        : system(image.BlockBytes(Block::System)), extension(image.BlockBytes(Block::Extension)),
          routing(image.BlockBytes(Block::Routing)), tail(image.BlockBytes(Block::Tail)),
          geometry(image.Geometry()) {
        const auto m = image.MainBlock();
        main.assign(m.begin(), m.end());
    }
};

Bytes Concat(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const auto& p : parts) {
        out.insert(out.end(), p.begin(), p.end());
    }
    return out;
}

Bytes VersionBytes(std::int32_t v) {
    const auto u = static_cast<std::uint32_t>(v);
    return {static_cast<std::uint8_t>(u), static_cast<std::uint8_t>(u >> 8),
            static_cast<std::uint8_t>(u >> 16), static_cast<std::uint8_t>(u >> 24)};
}

class ModeFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir = fs::temp_directory_path() /
              ("kv-modefile-" + std::to_string(::getpid()) + "-" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir);
        fs::create_directories(dir);
    }
    void TearDown() override { fs::remove_all(dir); }

    fs::path dir;
};

TEST_F(ModeFileTest, SaveWritesTheVersion29LayoutAndLoadsBack) {
    ParamImage image;
    image.InitDefaults();
    FillImage(image, 5);
    const fs::path path = dir / "x.amod";
    ASSERT_TRUE(WriteModeFile(path, image).ok());

    const Snapshot s(image);
    const Bytes file = ReadFile(path);
    ASSERT_EQ(file.size(), kModeFileSize);
    EXPECT_EQ(file, Concat({VersionBytes(29), s.main, s.system, s.extension, s.routing, s.tail}));

    ParamImage loaded;
    const auto r = ReadModeFile(path, loaded);
    ASSERT_TRUE(r.ok());
    EXPECT_EQ(r.version, 29);
    const Snapshot t(loaded);
    EXPECT_EQ(t.main, s.main);
    EXPECT_EQ(t.system, s.system);
    EXPECT_EQ(t.extension, s.extension);
    EXPECT_EQ(t.routing, s.routing);
    EXPECT_EQ(t.tail, s.tail);
    EXPECT_EQ(t.geometry.width, s.geometry.width);
}

// Each accepted version fills exactly the bytes it holds; everything else keeps its value.
TEST_F(ModeFileTest, EveryVersionLoadsExactlyTheBytesItHolds) {
    for (const ModeFileLayout& layout : ModeFileLayouts()) {
        SCOPED_TRACE("version " + std::to_string(layout.version));
        ParamImage source;
        FillImage(source, 40);
        const Snapshot src(source);
        const auto prefix = [](const Bytes& b, std::size_t n) {
            return Bytes(b.begin(), b.begin() + static_cast<long>(n));
        };
        const Bytes file = Concat(
            {VersionBytes(layout.version), prefix(src.main, layout.mainBytes),
             prefix(src.system, layout.systemBytes), prefix(src.extension, layout.extensionBytes),
             prefix(src.routing, layout.routingBytes), prefix(src.tail, layout.tailBytes)});
        ASSERT_EQ(file.size(), layout.FileSize());
        const fs::path path = dir / "v.amod";
        WriteFile(path, file);

        ParamImage image;
        FillImage(image, 200);
        const Snapshot before(image);
        ASSERT_TRUE(ReadModeFile(path, image).ok());
        const Snapshot after(image);

        const auto expectPrefix = [&](const Bytes& got, const Bytes& from, const Bytes& old,
                                      std::size_t n, const char* what) {
            Bytes want = old;
            std::copy_n(from.begin(), n, want.begin());
            EXPECT_EQ(got, want) << what;
        };
        expectPrefix(after.main, src.main, before.main, layout.mainBytes, "main");
        expectPrefix(after.system, src.system, before.system, layout.systemBytes, "system");
        expectPrefix(after.extension, src.extension, before.extension, layout.extensionBytes,
                     "extension");
        expectPrefix(after.routing, src.routing, before.routing, layout.routingBytes, "routing");
        expectPrefix(after.tail, src.tail, before.tail, layout.tailBytes, "tail");
        // The derived geometry follows the routing block only when the file holds one.
        EXPECT_EQ(after.geometry.width,
                  layout.routingBytes ? src.geometry.width : before.geometry.width);
    }
}

TEST_F(ModeFileTest, TruncatedFileLoadsWhatItHas) {
    ParamImage source;
    FillImage(source, 9);
    const fs::path path = dir / "full.amod";
    ASSERT_TRUE(WriteModeFile(path, source).ok());
    Bytes file = ReadFile(path);
    file.resize(4 + 912 + 84); // the main block and twelve band records
    WriteFile(path, file);

    ParamImage image;
    FillImage(image, 100);
    const Snapshot before(image);
    ASSERT_TRUE(ReadModeFile(path, image).ok());
    const Snapshot after(image);
    EXPECT_EQ(after.main, Snapshot(source).main);
    EXPECT_TRUE(std::equal(after.system.begin(), after.system.begin() + 84,
                           Snapshot(source).system.begin()));
    EXPECT_TRUE(
        std::equal(after.system.begin() + 84, after.system.end(), before.system.begin() + 84));
    EXPECT_EQ(after.extension, before.extension);
    EXPECT_EQ(after.tail, before.tail);
}

// A file that ends early tells how much it lacked and which bytes kept their old values.
TEST_F(ModeFileTest, TruncatedLoadReportsWhatWasMissing) {
    struct Kept {
        std::string block;
        std::size_t from, to;
        bool operator==(const Kept&) const = default;
    };
    struct Case {
        int version;
        std::size_t length;
        std::size_t missing;
        std::vector<Kept> kept;
        std::string note;
    };
    const Case cases[] = {
        {29, kModeFileSize, 0, {}, ""},
        {29, kModeFileSize - 1, 1, {{"tail", 1, 2}}, "ends 1 bytes early; kept their old "
                                                      "values: tail block bytes 1..1"},
        {29, 4 + 912 + 84, 1223, {{"system", 84, 1253}, {"extension", 0, 32}, {"routing", 0, 20},
         {"tail", 0, 2}}, "ends 1223 bytes early; kept their old values: system block bytes "
                          "84..1252, extension block, routing block, tail block"},
        {1, 4 + 500, 284 + 1246, {{"main", 500, 784}, {"system", 0, 1246}},
         "ends 1530 bytes early; kept their old values: main block bytes 500..783, system block"},
        {4, 4, 796 + 1246 + 32 + 20, {{"main", 0, 796}, {"system", 0, 1246},
         {"extension", 0, 32}, {"routing", 0, 20}}, ""},
        {8, 2000, 4 + 864 + 1253 + 32 + 20 + 2 - 2000, {{"system", 1132, 1253},
         {"extension", 0, 32}, {"routing", 0, 20}, {"tail", 0, 2}}, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("version " + std::to_string(c.version) + ", " + std::to_string(c.length) +
                     " bytes");
        Bytes file = Concat({VersionBytes(c.version), Pattern(3000, 7)});
        file.resize(c.length);
        ParamImage image;
        const auto r = LoadModeFileBytes(file, image);
        ASSERT_TRUE(r.ok());
        EXPECT_EQ(r.truncated(), c.missing > 0);
        EXPECT_EQ(r.missingBytes, c.missing);
        std::vector<Kept> kept;
        for (const KeptBytes& k : r.kept) {
            kept.push_back({k.block, k.from, k.to});
        }
        EXPECT_EQ(kept, c.kept);
        if (!c.note.empty() || c.missing == 0) {
            EXPECT_EQ(TruncationNote(r), c.note);
        }
    }
}

// Pipes, directories and devices are refused without being opened (a pipe would block);
// the image is unchanged.
TEST_F(ModeFileTest, NonRegularFilesAreRefusedAndChangeNothing) {
    ASSERT_EQ(::mkfifo((dir / "x.amod").c_str(), 0600), 0);
    fs::create_directories(dir / "folder.amod");
    ::alarm(20); // a blocked open ends the run instead of hanging it
    for (const fs::path& path : {dir / "x.amod", dir / "folder.amod", fs::path("/dev/zero")}) {
        SCOPED_TRACE(path.string());
        ParamImage image;
        FillImage(image, 21);
        const Snapshot before(image);
        const auto r = ReadModeFile(path, image);
        EXPECT_EQ(r.status, ModeFileStatus::NotRegular);
        EXPECT_FALSE(ModeFileMessage(r).empty());
        const Snapshot after(image);
        EXPECT_EQ(after.main, before.main);
        EXPECT_EQ(after.system, before.system);
    }
    ::alarm(0);
}

// The target is checked (the temporary created) before the image is asked for, so a
// caller can refuse a save before it sends anything.
TEST_F(ModeFileTest, SaveIsRefusedWhenPreparedAndNothingIsWritten) {
    fs::create_directories(dir / "folder.amod");
    for (const fs::path& path : {dir / "no-such-dir" / "x.amod", dir / "folder.amod"}) {
        SCOPED_TRACE(path.string());
        ModeFileSave save(path);
        EXPECT_EQ(save.Prepared().status, ModeFileStatus::CannotWrite);
        EXPECT_NE(save.Prepared().errorCode, 0);
        ParamImage image;
        EXPECT_EQ(save.Write(image).status, ModeFileStatus::CannotWrite);
    }
    EXPECT_TRUE(fs::is_empty(dir / "folder.amod"));
    EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator{}), 1);
}

TEST_F(ModeFileTest, RejectedVersionsChangeNothing) {
    // 6619222 is what a factory preset beginning with the UTF-16 text "Ver1.0.0" reads as.
    for (std::int32_t version : {0, 9, 28, 30, -1, 6619222}) {
        SCOPED_TRACE(version);
        const fs::path path = dir / "bad.amod";
        WriteFile(path, Concat({VersionBytes(version), Pattern(2219, 1)}));
        ParamImage image;
        FillImage(image, 77);
        const Snapshot before(image);
        const auto r = ReadModeFile(path, image);
        EXPECT_EQ(r.status, ModeFileStatus::UnsupportedVersion);
        EXPECT_EQ(ModeFileMessage(r), "Mode file version not support!");
        const Snapshot after(image);
        EXPECT_EQ(after.main, before.main);
        EXPECT_EQ(after.system, before.system);
        EXPECT_EQ(after.routing, before.routing);
    }
    // A file shorter than the version field reads as version 0.
    const fs::path empty = dir / "empty.amod";
    WriteFile(empty, Bytes{29, 0});
    ParamImage image;
    EXPECT_EQ(ReadModeFile(empty, image).status, ModeFileStatus::UnsupportedVersion);
}

TEST_F(ModeFileTest, MissingFileIsReportedWithItsPath) {
    ParamImage image;
    const std::string path = (dir / "nowhere.amod").string();
    const auto r = ReadModeFile(path, image);
    EXPECT_EQ(r.status, ModeFileStatus::CannotRead);
    EXPECT_EQ(ModeFileMessage(r),
              "Can't write to file:\n" + path + "\nProbaby it is write protected.");

    const std::string target = (dir / "no-such-dir" / "x.amod").string();
    const auto w = WriteModeFile(target, image);
    EXPECT_EQ(w.status, ModeFileStatus::CannotWrite);
    EXPECT_EQ(ModeFileMessage(w), "Errcode=" + std::to_string(w.errorCode) +
                                      ",Can't write to file:\n" + target +
                                      "\nProbaby it is write protected.");
}

// A save that fails part-way (here: the file size limit is hit) leaves the old file as it
// was and no temporary file behind.
TEST_F(ModeFileTest, FailedSaveLeavesTheExistingFileIntact) {
    const fs::path path = dir / "keep.amod";
    const Bytes old = Pattern(kModeFileSize, 3);
    WriteFile(path, old);
    ::chmod(path.c_str(), 0640);

    ParamImage image;
    image.InitDefaults();
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit saved{};
    ::getrlimit(RLIMIT_FSIZE, &saved);
    rlimit limited = saved;
    limited.rlim_cur = 1000;
    ::setrlimit(RLIMIT_FSIZE, &limited);
    const auto r = WriteModeFile(path, image);
    ::setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, oldHandler);

    EXPECT_EQ(r.status, ModeFileStatus::CannotWrite);
    EXPECT_NE(r.errorCode, 0);
    EXPECT_EQ(ReadFile(path), old);
    EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator{}), 1);

    // The same save without the limit replaces the file and keeps its permissions.
    ASSERT_TRUE(WriteModeFile(path, image).ok());
    EXPECT_EQ(ReadFile(path).size(), kModeFileSize);
    EXPECT_EQ(fs::status(path).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
}

TEST_F(ModeFileTest, WriteProtectedFileIsNotReplaced) {
    if (::geteuid() == 0) {
        GTEST_SKIP() << "root may write any file";
    }
    const fs::path path = dir / "ro.amod";
    const Bytes old = Pattern(100, 1);
    WriteFile(path, old);
    ::chmod(path.c_str(), 0444);
    ParamImage image;
    EXPECT_EQ(WriteModeFile(path, image).status, ModeFileStatus::CannotWrite);
    EXPECT_EQ(ReadFile(path), old);
}

} // namespace
} // namespace kv
