#include "image/AtomicFile.h"

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kv {

namespace {

constexpr int kMaxLinks = 40;

std::string DirectoryOfPath(const std::string& path) {
    const auto slash = path.find_last_of('/');
    if (slash == std::string::npos) {
        return ".";
    }
    return slash == 0 ? "/" : path.substr(0, slash);
}

/// A write beyond RLIMIT_FSIZE raises SIGXFSZ, whose default action ends the process and
/// leaves the temporary behind. Ignored, the write fails with EFBIG instead. Checked before
/// every save (the disposition may have been reset); a handler the program installed
/// itself is left in place.
void IgnoreFileSizeSignal() {
    struct sigaction current {};
    if (::sigaction(SIGXFSZ, nullptr, &current) == 0 && current.sa_handler == SIG_DFL) {
        struct sigaction ignore {};
        ignore.sa_handler = SIG_IGN;
        sigemptyset(&ignore.sa_mask);
        ::sigaction(SIGXFSZ, &ignore, nullptr);
    }
}

bool WriteWhole(int fd, const std::uint8_t* data, std::size_t size) {
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

mode_t NewFileMode() {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return 0666 & ~mask;
}

/// Flushes the directory entry of a rename; a failure here does not undo the save.
void SyncDirectory(const std::string& dir) {
    const int fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

} // namespace

std::string ResolveSymlinks(const std::string& path) {
    std::string current = path;
    for (int links = 0; links <= kMaxLinks; ++links) {
        struct stat st {};
        if (::lstat(current.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) {
            return current;
        }
        char buffer[PATH_MAX];
        const ssize_t n = ::readlink(current.c_str(), buffer, sizeof buffer - 1);
        if (n < 0) {
            return current;
        }
        const std::string link(buffer, static_cast<std::size_t>(n));
        current = link.starts_with('/') ? link : DirectoryOfPath(current) + "/" + link;
    }
    errno = ELOOP;
    return {};
}

AtomicFileWriter::AtomicFileWriter(const std::string& path) {
    IgnoreFileSizeSignal();
    m_target = ResolveSymlinks(path);
    if (m_target.empty()) {
        m_error = ELOOP;
        return;
    }
    mode_t mode = NewFileMode();
    struct stat st {};
    if (::stat(m_target.c_str(), &st) == 0) {
        if (!S_ISREG(st.st_mode)) {
            m_error = S_ISDIR(st.st_mode) ? EISDIR : EINVAL;
            return;
        }
        // An existing file that may not be written stays protected, as it would be when
        // opened for writing in place.
        if (::access(m_target.c_str(), W_OK) != 0) {
            m_error = errno;
            return;
        }
        mode = st.st_mode & 07777;
    }
    m_temporary = DirectoryOfPath(m_target) + "/.kvsave-XXXXXX";
    m_fd = ::mkstemp(m_temporary.data());
    if (m_fd < 0) {
        m_error = errno;
        m_temporary.clear();
        return;
    }
    if (::fchmod(m_fd, mode) != 0) {
        m_error = errno;
    }
}

AtomicFileWriter::~AtomicFileWriter() {
    const int saved = errno;
    if (m_fd >= 0) {
        ::close(m_fd);
    }
    if (!m_temporary.empty() && !m_committed) {
        ::unlink(m_temporary.c_str());
    }
    errno = saved;
}

int AtomicFileWriter::Commit(std::span<const std::uint8_t> bytes) {
    if (m_error != 0) {
        return m_error;
    }
    if (m_fd < 0 || m_committed) {
        return m_error = EBADF;
    }
    int error = 0;
    if (!WriteWhole(m_fd, bytes.data(), bytes.size()) || ::fsync(m_fd) != 0) {
        error = errno;
    }
    const int fd = m_fd;
    m_fd = -1;
    if (::close(fd) != 0 && error == 0) {
        error = errno;
    }
    if (error == 0 && ::rename(m_temporary.c_str(), m_target.c_str()) != 0) {
        error = errno;
    }
    if (error != 0) {
        return m_error = error;
    }
    m_committed = true;
    SyncDirectory(DirectoryOfPath(m_target));
    return 0;
}

int WriteFileAtomically(const std::string& path, std::span<const std::uint8_t> bytes) {
    AtomicFileWriter writer(path);
    return writer.Commit(bytes);
}

SmallFileRead ReadSmallFile(const std::string& path, std::size_t maxBytes) {
    SmallFileRead result;
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) {
        result.status = SmallFileStatus::CannotOpen;
        result.error = errno;
        return result;
    }
    if (!S_ISREG(st.st_mode)) {
        result.status = SmallFileStatus::NotRegular;
        return result;
    }
    // O_NONBLOCK: should the name have been replaced by a pipe since the stat, the open
    // still returns at once and the check below refuses it.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        result.status = SmallFileStatus::CannotOpen;
        result.error = errno;
        return result;
    }
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        result.error = S_ISREG(st.st_mode) ? errno : 0;
        result.status =
            S_ISREG(st.st_mode) ? SmallFileStatus::CannotOpen : SmallFileStatus::NotRegular;
        ::close(fd);
        return result;
    }
    result.bytes.resize(maxBytes + 1);
    std::size_t have = 0;
    while (have < result.bytes.size()) {
        const ssize_t n = ::read(fd, result.bytes.data() + have, result.bytes.size() - have);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            result.status = SmallFileStatus::CannotOpen;
            result.error = errno;
            break;
        }
        if (n == 0) {
            break;
        }
        have += static_cast<std::size_t>(n);
    }
    ::close(fd);
    result.bytes.resize(have);
    if (result.status == SmallFileStatus::Ok && have > maxBytes) {
        result.status = SmallFileStatus::TooLarge;
    }
    return result;
}

} // namespace kv
