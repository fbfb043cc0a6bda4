#include "image/AtomicFile.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kv {

namespace {

std::string DirectoryOfPath(const std::string& path) {
    const auto slash = path.find_last_of('/');
    if (slash == std::string::npos) {
        return ".";
    }
    return slash == 0 ? "/" : path.substr(0, slash);
}

/// Closes the descriptor and removes the temporary unless it was renamed into place.
class Temporary {
public:
    explicit Temporary(std::string name) : m_name(std::move(name)) {
        m_fd = ::mkstemp(m_name.data());
        m_created = m_fd >= 0;
    }
    ~Temporary() {
        const int saved = errno; // the failed step's errno survives the clean-up
        if (m_fd >= 0) {
            ::close(m_fd);
        }
        if (m_created && !m_renamed) {
            ::unlink(m_name.c_str());
        }
        errno = saved;
    }
    Temporary(const Temporary&) = delete;
    Temporary& operator=(const Temporary&) = delete;

    bool Opened() const { return m_fd >= 0; }
    int Fd() const { return m_fd; }
    /// Closes the descriptor; false (errno set) when the close reported an error.
    bool Close() {
        const int fd = m_fd;
        m_fd = -1;
        return ::close(fd) == 0;
    }
    bool RenameTo(const std::string& path) {
        m_renamed = ::rename(m_name.c_str(), path.c_str()) == 0;
        return m_renamed;
    }

private:
    std::string m_name;
    int m_fd = -1;
    bool m_created = false;
    bool m_renamed = false;
};

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

mode_t NewFileMode(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0) {
        return st.st_mode & 07777;
    }
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return 0666 & ~mask;
}

} // namespace

int WriteFileAtomically(const std::string& path, std::span<const std::uint8_t> bytes) {
    if (::access(path.c_str(), F_OK) == 0 && ::access(path.c_str(), W_OK) != 0) {
        return errno;
    }
    Temporary tmp(DirectoryOfPath(path) + "/.kvsave-XXXXXX");
    if (!tmp.Opened()) {
        return errno;
    }
    if (::fchmod(tmp.Fd(), NewFileMode(path)) != 0 ||
        !WriteWhole(tmp.Fd(), bytes.data(), bytes.size()) || ::fsync(tmp.Fd()) != 0 ||
        !tmp.Close() || !tmp.RenameTo(path)) {
        return errno != 0 ? errno : EIO;
    }
    return 0;
}

SmallFileRead ReadSmallFile(const std::string& path, std::size_t maxBytes) {
    SmallFileRead result;
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        result.status = SmallFileStatus::CannotOpen;
        result.error = errno;
        return result;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        result.status =
            S_ISREG(st.st_mode) ? SmallFileStatus::CannotOpen : SmallFileStatus::NotRegular;
        result.error = errno;
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
