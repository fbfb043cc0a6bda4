#include "image/AtomicFile.h"
#include "support/FileBytes.h"

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace kv {
namespace {

namespace fs = std::filesystem;
using test::Bytes;
using test::ReadFile;
using test::WriteFile;

/// Names in a directory (temporaries begin with a dot, so they show up here).
std::vector<std::string> Names(const fs::path& dir) {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(dir)) {
        names.push_back(e.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

class AtomicFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir = fs::temp_directory_path() /
              ("kv-atomic-" + std::to_string(::getpid()) + "-" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir);
        fs::create_directories(dir / "real");
        fs::create_directories(dir / "links");
    }
    void TearDown() override {
        fs::permissions(dir / "real", fs::perms::owner_all, fs::perm_options::add);
        fs::remove_all(dir);
    }

    fs::path dir;
};

// A save through a symbolic link goes into the file the link names, keeps that file's
// permissions, and leaves the link a link.
TEST_F(AtomicFileTest, SaveThroughALinkReplacesItsTarget) {
    struct Case {
        const char* what;
        std::function<void(const fs::path&)> makeLink; ///< links/x -> ... -> real/x
        bool targetExists;
    };
    const Case cases[] = {
        {"absolute link", [this](const fs::path& l) { fs::create_symlink(dir / "real/x", l); },
         true},
        {"relative link", [](const fs::path& l) { fs::create_symlink("../real/x", l); }, true},
        {"chain of links",
         [this](const fs::path& l) {
             fs::create_symlink("../real/x", dir / "links/hop");
             fs::create_symlink("hop", l);
         },
         true},
        {"dangling link", [](const fs::path& l) { fs::create_symlink("../real/x", l); }, false},
    };
    const Bytes old(100, 0x11);
    const Bytes fresh(300, 0x22);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        fs::remove_all(dir / "real");
        fs::remove_all(dir / "links");
        fs::create_directories(dir / "real");
        fs::create_directories(dir / "links");
        if (c.targetExists) {
            WriteFile(dir / "real/x", old);
            fs::permissions(dir / "real/x",
                            fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
        }
        const fs::path link = dir / "links/x";
        c.makeLink(link);

        ASSERT_EQ(WriteFileAtomically(link.string(), fresh), 0);
        EXPECT_TRUE(fs::is_symlink(link));
        EXPECT_EQ(ReadFile(dir / "real/x"), fresh);
        EXPECT_EQ(Names(dir / "real"), std::vector<std::string>{"x"}); // no temporary left
        if (c.targetExists) {
            EXPECT_EQ(fs::status(dir / "real/x").permissions() & fs::perms::all,
                      fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
        }
    }
}

// Every way a save can fail leaves the old file as it was and no temporary behind.
TEST_F(AtomicFileTest, FailedSavesLeaveTheOldFileAndNoTemporary) {
    const fs::path real = dir / "real";
    const Bytes old(50, 0x33);
    const Bytes fresh(5000, 0x44);
    struct Case {
        const char* what;
        std::function<int()> save; ///< returns the errno of the failed save
        bool needsNonRoot;
    };
    const Case cases[] = {
        {"directory not writable",
         [&] {
             fs::permissions(real, fs::perms::owner_read | fs::perms::owner_exec);
             const int e = WriteFileAtomically((real / "x").string(), fresh);
             fs::permissions(real, fs::perms::owner_all);
             return e;
         },
         true},
        {"target write protected",
         [&] {
             fs::permissions(real / "x", fs::perms::owner_read);
             const int e = WriteFileAtomically((real / "x").string(), fresh);
             fs::permissions(real / "x", fs::perms::owner_read | fs::perms::owner_write);
             return e;
         },
         true},
        {"link loop",
         [&] {
             fs::create_symlink("loop", real / "loop");
             const int e = WriteFileAtomically((real / "loop").string(), fresh);
             fs::remove(real / "loop");
             return e;
         },
         false},
        {"target replaced by a directory before the commit",
         [&] {
             AtomicFileWriter writer((real / "y").string());
             EXPECT_EQ(writer.Error(), 0);
             fs::create_directories(real / "y/inside");
             const int e = writer.Commit(fresh);
             fs::remove_all(real / "y");
             return e;
         },
         false},
        {"writer abandoned without a commit",
         [&] {
             AtomicFileWriter writer((real / "x").string());
             EXPECT_EQ(writer.Error(), 0);
             EXPECT_EQ(Names(real).size(), 2u); // the temporary exists meanwhile
             return EINTR;
         },
         false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        if (c.needsNonRoot && ::geteuid() == 0) {
            continue; // root may write anywhere
        }
        WriteFile(real / "x", old);
        EXPECT_NE(c.save(), 0);
        EXPECT_EQ(ReadFile(real / "x"), old);
        EXPECT_EQ(Names(real), std::vector<std::string>{"x"});
    }
}

// A file-size limit under the default SIGXFSZ action would end the process and leave the
// temporary behind; the save must fail with an error instead. Run in a child process so
// the signal disposition and the limit are its own.
TEST_F(AtomicFileTest, FileSizeLimitFailsTheSaveInsteadOfKillingTheProcess) {
    const fs::path target = dir / "real/x";
    const Bytes old(10, 0x55);
    WriteFile(target, old);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        std::signal(SIGXFSZ, SIG_DFL);
        rlimit limit{};
        ::getrlimit(RLIMIT_FSIZE, &limit);
        limit.rlim_cur = 1000;
        ::setrlimit(RLIMIT_FSIZE, &limit);
        const int e = WriteFileAtomically(target.string(), Bytes(4000, 0x66));
        ::_exit(e == EFBIG ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status)) << "ended by signal " << WTERMSIG(status);
    EXPECT_EQ(WEXITSTATUS(status), 0) << "the save did not fail with EFBIG";
    EXPECT_EQ(ReadFile(target), old);
    EXPECT_EQ(Names(dir / "real"), std::vector<std::string>{"x"});
}

// Reading refuses anything that is not a regular file without opening it: a pipe with no
// writer would block forever.
TEST_F(AtomicFileTest, ReadingRefusesWhatIsNotARegularFile) {
    const fs::path real = dir / "real";
    ASSERT_EQ(::mkfifo((real / "fifo").c_str(), 0600), 0);
    fs::create_directories(real / "folder");
    fs::create_symlink("fifo", real / "link-to-fifo");
    WriteFile(real / "plain", Bytes{1, 2, 3});
    struct Case {
        std::string path;
        SmallFileStatus status;
        std::size_t bytes;
    };
    const Case cases[] = {
        {(real / "fifo").string(), SmallFileStatus::NotRegular, 0},
        {(real / "link-to-fifo").string(), SmallFileStatus::NotRegular, 0},
        {(real / "folder").string(), SmallFileStatus::NotRegular, 0},
        {"/dev/null", SmallFileStatus::NotRegular, 0},
        {(real / "missing").string(), SmallFileStatus::CannotOpen, 0},
        {(real / "plain").string(), SmallFileStatus::Ok, 3},
    };
    ::alarm(20); // a read that blocks ends the test run instead of hanging it
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        const SmallFileRead r = ReadSmallFile(c.path, 10);
        EXPECT_EQ(r.status, c.status);
        EXPECT_EQ(r.bytes.size(), c.bytes);
    }
    ::alarm(0);
}

} // namespace
} // namespace kv
