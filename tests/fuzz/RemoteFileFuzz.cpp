// The .remo reader over any file: only an 18-byte file is taken, byte for byte; anything
// else leaves the table as it was; a table written and read again is the same.

#include "FuzzSupport.h"
#include "remote/RemoteFile.h"

#include <unistd.h>

namespace {

/// One scratch file per process, removed at exit.
class ScratchFile {
public:
    ScratchFile() {
        const char* dir = ::access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
        m_path = std::string(dir) + "/kv-remo-fuzz-" + std::to_string(::getpid()) + ".remo";
    }
    ~ScratchFile() { ::unlink(m_path.c_str()); }
    const std::string& Path() const { return m_path; }

private:
    std::string m_path;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace kv;
    static ScratchFile scratch;
    std::FILE* f = std::fopen(scratch.Path().c_str(), "wb");
    FUZZ_CHECK(f != nullptr);
    FUZZ_CHECK(size == 0 || std::fwrite(data, 1, size, f) == size); // data may be null when empty
    std::fclose(f);

    RemoteKeyTable table;
    table.fill(0x5A);
    const RemoteKeyTable before = table;
    const RemoteFileResult r = ReadRemoteFile(scratch.Path(), table);
    FUZZ_CHECK(r.ok() == (size == kRemoteKeyTableSize));
    if (r.ok()) {
        FUZZ_CHECK(std::equal(table.begin(), table.end(), data));
    } else {
        FUZZ_CHECK(r.status == RemoteFileStatus::WrongSize);
        FUZZ_CHECK(r.size == std::min<std::size_t>(size, kRemoteKeyTableSize + 1));
        FUZZ_CHECK(table == before);
    }

    FUZZ_CHECK(WriteRemoteFile(scratch.Path(), table).ok());
    RemoteKeyTable reread;
    reread.fill(0);
    FUZZ_CHECK(ReadRemoteFile(scratch.Path(), reread).ok() && reread == table);
    return 0;
}
