#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace kv {

/// A save in two steps, so that a caller can find out that a file cannot be written before
/// it does anything else (such as telling the processor to store its mode). The constructor
/// follows a symbolic link to the file it names, refuses a target that exists but is not a
/// regular file or may not be written, and creates the temporary file beside the target.
/// Commit writes the bytes into the temporary, flushes them to disk and renames it over the
/// target, which keeps its permissions. Until Commit succeeds the target is untouched; the
/// temporary is removed on every path that does not end in the rename. Each save ignores
/// SIGXFSZ (unless the program handles it), so a file-size limit makes the write fail
/// instead of killing the process.
class AtomicFileWriter {
public:
    explicit AtomicFileWriter(const std::string& path);
    ~AtomicFileWriter();
    AtomicFileWriter(const AtomicFileWriter&) = delete;
    AtomicFileWriter& operator=(const AtomicFileWriter&) = delete;

    /// 0 when the temporary is ready; otherwise the errno of the step that failed.
    int Error() const { return m_error; }
    /// The file that Commit replaces: the path with its symbolic links followed.
    const std::string& Target() const { return m_target; }
    /// Writes and renames into place. Returns 0 or the errno of the failing step (also
    /// Error() when the writer was never ready). Commit may be called once.
    int Commit(std::span<const std::uint8_t> bytes);

private:
    std::string m_target;
    std::string m_temporary;
    int m_fd = -1;
    int m_error = 0;
    bool m_committed = false;
};

/// Replaces path with bytes in one step (AtomicFileWriter, then Commit). Returns 0 or the
/// errno of the step that failed (the old file is then unchanged and no temporary is left).
int WriteFileAtomically(const std::string& path, std::span<const std::uint8_t> bytes);

/// The file a path names once symbolic links in its last component are followed (the path
/// itself when it is no link; a dangling link gives the path it points to). Empty with
/// errno ELOOP after 40 links.
std::string ResolveSymlinks(const std::string& path);

/// What reading a small file found.
enum class SmallFileStatus {
    Ok,
    CannotOpen, ///< stat, open or read failed; error holds errno
    NotRegular, ///< a directory, device, pipe or socket (never opened)
    TooLarge,   ///< more than the limit; bytes holds the first maxBytes + 1
};

struct SmallFileRead {
    SmallFileStatus status = SmallFileStatus::Ok;
    int error = 0;
    std::vector<std::uint8_t> bytes;
};

/// Reads a regular file of at most maxBytes. Anything that is not a regular file is refused
/// before it is opened (a pipe would block, a device may act on being opened); never reads
/// more than maxBytes + 1 bytes, whatever the file claims to be.
SmallFileRead ReadSmallFile(const std::string& path, std::size_t maxBytes);

} // namespace kv
