// The smart plugs' key files over any input: reading never fails beyond reporting the file
// damaged, keeps what came before the damage, and what it read is written and read back the
// same; changes are saved only into a file that was read whole, and nothing but the key file
// itself is ever touched: no temporary is left, nothing outside the key directory changes.

#include "FuzzSupport.h"
#include "smarthome/KeyFile.h"

#include <QDir>
#include <QFile>
#include <QStringList>

#include <unistd.h>

namespace {

using namespace kv;

constexpr int kNode = 7;

/// A key directory and, beside it, a file no key-file operation may change. One per process,
/// removed at exit.
class ScratchKeyDirectory {
public:
    ScratchKeyDirectory() {
        const char* base = ::access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
        m_root = QStringLiteral("%1/kv-keyfile-fuzz-%2").arg(base).arg(::getpid());
        QDir(m_root).removeRecursively();
        QDir().mkpath(Directory());
        QFile outside(Outside());
        FUZZ_CHECK(outside.open(QIODevice::WriteOnly) && outside.write(kOutsideBytes) > 0);
        SetKeyDirectory(Directory());
    }
    ~ScratchKeyDirectory() { QDir(m_root).removeRecursively(); }

    QString Directory() const { return m_root + QStringLiteral("/Plug"); }
    QString Outside() const { return m_root + QStringLiteral("/outside.txt"); }
    static constexpr const char* kOutsideBytes = "not a key file";

private:
    QString m_root;
};

QByteArray ReadAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

/// The key directory holds the node's file and nothing else; the file beside it is as made.
void CheckNothingElseTouched(const ScratchKeyDirectory& scratch) {
    const QStringList names =
        QDir(scratch.Directory()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
    FUZZ_CHECK(names == QStringList{QStringLiteral("7.xml")});
    FUZZ_CHECK(ReadAll(scratch.Outside()) == ScratchKeyDirectory::kOutsideBytes);
    const QStringList root = QDir(scratch.Directory() + QStringLiteral("/.."))
                                 .entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
    FUZZ_CHECK(root.size() == 2);
}

const KeyEntry* FirstWithIndex(const std::vector<KeyEntry>& keys, int index) {
    for (const KeyEntry& key : keys) {
        if (key.Index() == index) {
            return &key;
        }
    }
    return nullptr;
}

/// A change through Set...: saved when the file was whole and has the key (and then only
/// that attribute of the first such key changed), otherwise the file stays byte for byte.
template <typename Set, typename Apply>
void CheckChange(const ScratchKeyDirectory& scratch, int key, Set set, Apply apply) {
    const QString path = KeyFilePath(kNode);
    const QByteArray before = ReadAll(path);
    const KeyFile read = LoadKeyFile(kNode);
    const KeyFileStatus status = set();
    const bool applies = read.ok() && FirstWithIndex(read.keys, key) != nullptr;
    FUZZ_CHECK((status == KeyFileStatus::Ok) == applies);
    if (!applies) {
        FUZZ_CHECK(ReadAll(path) == before);
    } else {
        std::vector<KeyEntry> want = read.keys;
        for (KeyEntry& entry : want) {
            if (entry.Index() == key) {
                apply(entry);
                break;
            }
        }
        const KeyFile after = LoadKeyFile(kNode);
        FUZZ_CHECK(after.ok());
        FUZZ_CHECK(after.keys == want);
    }
    CheckNothingElseTouched(scratch);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static ScratchKeyDirectory scratch;
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const QString path = KeyFilePath(kNode);
    {
        QFile file(path);
        FUZZ_CHECK(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        FUZZ_CHECK(size == 0 || file.write(bytes) == bytes.size());
    }

    // Reading: the file's own verdict, never more keys than allowed.
    const KeyFile read = LoadKeyFile(kNode);
    FUZZ_CHECK(read.status == KeyFileStatus::Ok || read.status == KeyFileStatus::Damaged ||
               read.status == KeyFileStatus::TooLarge);
    FUZZ_CHECK(read.keys.size() <= keys::kMaxKeys);
    if (size <= keys::kMaxFileBytes) {
        const KeyFile parsed = ParseKeyFile(bytes);
        FUZZ_CHECK(parsed.status == read.status && parsed.keys == read.keys);
    }
    for (int k : {0, 1, 31}) {
        const KeyEntry* entry = FirstWithIndex(read.keys, k);
        FUZZ_CHECK(GetKeyName(kNode, k) == (entry ? entry->Name() : QString()));
    }
    CheckNothingElseTouched(scratch);

    // What was read, written, reads back the same, and writes the same bytes again.
    const QByteArray written = EncodeKeyFile(read.keys);
    FUZZ_CHECK(written.startsWith("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n"));
    FUZZ_CHECK(!QByteArray(written).replace("\r\n", "").contains('\n'));
    const KeyFile again = ParseKeyFile(EncodeKeyFile(read.keys));
    FUZZ_CHECK(again.ok());
    FUZZ_CHECK(again.keys == read.keys);
    FUZZ_CHECK(EncodeKeyFile(again.keys) == EncodeKeyFile(read.keys));

    // Changes: a name XML must escape, then a status.
    const QString name = QStringLiteral("键 <&\"'>\n\t\r") + QChar(0x0001);
    CheckChange(
        scratch, 0, [&] { return SetKeyName(kNode, 0, name); },
        [](KeyEntry& entry) { entry.name = QStringLiteral("键 <&\"'>\n\t\r"); });
    CheckChange(
        scratch, 1, [] { return SetKeyStatus(kNode, 1, 1); },
        [](KeyEntry& entry) { entry.status = QStringLiteral("1"); });

    FUZZ_CHECK(DeleteKeyFile(kNode));
    FUZZ_CHECK(!QFile::exists(path));
    FUZZ_CHECK(ReadAll(scratch.Outside()) == ScratchKeyDirectory::kOutsideBytes);
    return 0;
}
