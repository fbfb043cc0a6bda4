#include "remote/RemoteFile.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kv {
namespace {

namespace fs = std::filesystem;

class RemoteFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_dir = fs::temp_directory_path() /
                ("kv-remote-" + std::to_string(::getpid()) + "-" +
                 ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(m_dir);
        fs::create_directories(m_dir);
    }
    void TearDown() override {
        fs::permissions(m_dir, fs::perms::owner_all, fs::perm_options::add);
        fs::remove_all(m_dir);
    }

    std::string Path(const std::string& name) const { return (m_dir / name).string(); }

    void WriteRaw(const std::string& name, const std::string& bytes) const {
        std::ofstream(Path(name), std::ios::binary) << bytes;
    }

    static RemoteKeyTable Sample() {
        RemoteKeyTable t{};
        for (std::size_t i = 0; i < t.size(); ++i) {
            t[i] = static_cast<std::uint8_t>(0xA0 + i);
        }
        return t;
    }

    std::size_t EntriesInDir() const {
        return static_cast<std::size_t>(std::distance(fs::directory_iterator(m_dir), {}));
    }

    fs::path m_dir;
};

TEST_F(RemoteFileTest, SavedTableReadsBackTheSameAndIsEighteenBytes) {
    const RemoteKeyTable saved = Sample();
    ASSERT_TRUE(WriteRemoteFile(Path("keys.remo"), saved).ok());
    EXPECT_EQ(fs::file_size(Path("keys.remo")), 18u);
    RemoteKeyTable loaded{};
    const RemoteFileResult r = ReadRemoteFile(Path("keys.remo"), loaded);
    ASSERT_TRUE(r.ok());
    EXPECT_EQ(loaded, saved);
    EXPECT_EQ(EntriesInDir(), 1u); // no temporary left beside it
}

TEST_F(RemoteFileTest, DamagedFilesAreRefusedAndChangeNothing) {
    struct Case {
        const char* name;
        std::string bytes;
        std::size_t sizeSeen;
    };
    const Case cases[] = {
        {"empty", "", 0},
        {"short", std::string(17, '\x11'), 17},
        {"long", std::string(19, '\x11'), 19},
        {"much longer", std::string(4096, '\x11'), 19},
    };
    for (const Case& c : cases) {
        WriteRaw("bad.remo", c.bytes);
        RemoteKeyTable table = Sample();
        const RemoteFileResult r = ReadRemoteFile(Path("bad.remo"), table);
        EXPECT_EQ(r.status, RemoteFileStatus::WrongSize) << c.name;
        EXPECT_EQ(r.size, c.sizeSeen) << c.name;
        EXPECT_EQ(table, Sample()) << c.name;
    }
}

TEST_F(RemoteFileTest, MissingFilesDirectoriesAndPipesAreRefused) {
    RemoteKeyTable table = Sample();
    RemoteFileResult r = ReadRemoteFile(Path("missing.remo"), table);
    EXPECT_EQ(r.status, RemoteFileStatus::CannotOpen);
    EXPECT_EQ(r.error, ENOENT);

    fs::create_directory(Path("dir.remo"));
    EXPECT_EQ(ReadRemoteFile(Path("dir.remo"), table).status, RemoteFileStatus::NotRegular);

    // A pipe without a writer must not hang the reader.
    ASSERT_EQ(::mkfifo(Path("fifo.remo").c_str(), 0600), 0);
    EXPECT_EQ(ReadRemoteFile(Path("fifo.remo"), table).status, RemoteFileStatus::NotRegular);
    EXPECT_EQ(table, Sample());
}

TEST_F(RemoteFileTest, FailedSaveKeepsTheOldFileWhole) {
    const RemoteKeyTable old{};
    ASSERT_TRUE(WriteRemoteFile(Path("keys.remo"), old).ok());
    // Writing more than zero bytes fails with EFBIG once the file size limit is 0.
    rlimit saved{};
    ::getrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit none = saved;
    none.rlim_cur = 0;
    ::setrlimit(RLIMIT_FSIZE, &none);
    const RemoteFileResult r = WriteRemoteFile(Path("keys.remo"), Sample());
    ::setrlimit(RLIMIT_FSIZE, &saved);
    EXPECT_EQ(r.status, RemoteFileStatus::CannotWrite);
    EXPECT_EQ(r.error, EFBIG);
    RemoteKeyTable loaded = Sample();
    ASSERT_TRUE(ReadRemoteFile(Path("keys.remo"), loaded).ok());
    EXPECT_EQ(loaded, old);
    EXPECT_EQ(EntriesInDir(), 1u);
}

TEST_F(RemoteFileTest, UnwritableFolderOrFileIsReportedWithItsError) {
    if (::geteuid() == 0) {
        GTEST_SKIP() << "root may write anything";
    }
    ASSERT_TRUE(WriteRemoteFile(Path("keys.remo"), {}).ok());
    fs::permissions(Path("keys.remo"), fs::perms::owner_read);
    RemoteFileResult r = WriteRemoteFile(Path("keys.remo"), Sample());
    EXPECT_EQ(r.status, RemoteFileStatus::CannotWrite);
    EXPECT_EQ(r.error, EACCES);
    fs::permissions(m_dir, fs::perms::owner_read | fs::perms::owner_exec);
    r = WriteRemoteFile(Path("new.remo"), Sample());
    EXPECT_EQ(r.status, RemoteFileStatus::CannotWrite);
    EXPECT_NE(r.error, 0);
}

TEST(RemoteFileName, ExtensionIsAlwaysRemo) {
    struct Case {
        const char* chosen;
        const char* saved;
    };
    const Case cases[] = {
        {"/tmp/keys.txt", "/tmp/keys.remo"},
        {"/tmp/keys.remo", "/tmp/keys.remo"},
        {"/tmp/keys", "/tmp/keys.remo"},
        {"/tmp/my.keys.bak", "/tmp/my.keys.remo"},
        {"/tmp/dir.d/keys", "/tmp/dir.d/keys.remo"},
        {"keys.", "keys.remo"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(RemoteFileName(c.chosen), c.saved) << c.chosen;
    }
}

} // namespace
} // namespace kv
