#include "smarthome/KeyFile.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <unistd.h>

namespace kv {
namespace {

/// A key directory a few folders down in a temporary folder, and a file beside it that no
/// key-file operation may change.
class KeyFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_tmp.isValid());
        SetKeyDirectory(Dir());
        Write(m_tmp.filePath(QStringLiteral("outside.xml")), "outside");
    }
    void TearDown() override { SetKeyDirectory(QString()); }

    QString Dir() const { return m_tmp.filePath(QStringLiteral("Documents/593/Plug")); }

    static void Write(const QString& path, const QByteArray& bytes) {
        QDir().mkpath(QFileInfo(path).path());
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        ASSERT_EQ(file.write(bytes), bytes.size());
    }
    static QByteArray Read(const QString& path) {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
    }
    /// Every name in the key directory (temporaries included).
    QStringList Listing() const {
        return QDir(Dir()).entryList(QDir::AllEntries | QDir::Hidden | QDir::System |
                                     QDir::NoDotAndDotDot);
    }

    QTemporaryDir m_tmp;
};

TEST_F(KeyFileTest, ANewDeviceGets32DefaultKeysInUtf8WithCrlf) {
    EXPECT_EQ(CreateKeyFile(9), KeyFileStatus::Ok) << "the directory is made with its parents";
    const QByteArray bytes = Read(Dir() + QStringLiteral("/9.xml"));
    EXPECT_TRUE(bytes.startsWith("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<Keys>\r\n"));
    EXPECT_EQ(bytes.count("\n"), bytes.count("\r\n")) << "every line ends in CRLF";
    EXPECT_TRUE(bytes.contains("<Key Index=\"0\" Name=\"Key1\" Status=\"0\"/>\r\n"));
    EXPECT_TRUE(bytes.endsWith("<Key Index=\"31\" Name=\"Key32\" Status=\"0\"/>\r\n</Keys>\r\n"));

    const KeyFile file = LoadKeyFile(9);
    ASSERT_TRUE(file.ok());
    ASSERT_EQ(file.keys.size(), 32u);
    for (int k = 0; k < 32; ++k) {
        EXPECT_EQ(file.keys[k].Index(), k);
        EXPECT_EQ(file.keys[k].Name(), QStringLiteral("Key%1").arg(k + 1));
        EXPECT_FALSE(file.keys[k].Learned());
    }
    EXPECT_EQ(Listing(), QStringList{QStringLiteral("9.xml")}) << "no temporary is left";

    // Create replaces whatever the file held.
    ASSERT_EQ(SetKeyName(9, 4, QStringLiteral("Vol+")), KeyFileStatus::Ok);
    EXPECT_EQ(CreateKeyFile(9), KeyFileStatus::Ok);
    EXPECT_EQ(GetKeyName(9, 4), QStringLiteral("Key5"));
}

TEST_F(KeyFileTest, NamesAndStatusesChangeOneKeyAndSurviveEscaping) {
    ASSERT_EQ(CreateKeyFile(3), KeyFileStatus::Ok);
    const QString name = QStringLiteral("电视 <on> & \"off\"\nline\ttwo");
    EXPECT_EQ(SetKeyName(3, 3, name), KeyFileStatus::Ok);
    EXPECT_EQ(SetKeyStatus(3, 3, 1), KeyFileStatus::Ok);
    EXPECT_EQ(SetKeyName(3, 40, QStringLiteral("x")), KeyFileStatus::NoSuchKey);
    EXPECT_EQ(SetKeyStatus(3, -1, 1), KeyFileStatus::NoSuchKey);
    // A control character cannot be carried by XML: it is left out, the rest is kept.
    EXPECT_EQ(SetKeyName(3, 5, QStringLiteral("a") + QChar(0x0001) + QStringLiteral("b")),
              KeyFileStatus::Ok);

    const KeyFile file = LoadKeyFile(3);
    ASSERT_TRUE(file.ok());
    std::vector<KeyEntry> want = DefaultKeys();
    want[3].name = name;
    want[3].status = QStringLiteral("1");
    want[5].name = QStringLiteral("ab");
    EXPECT_EQ(file.keys, want);
    EXPECT_EQ(GetKeyName(3, 3), name);
    EXPECT_TRUE(file.keys[3].Learned());
    EXPECT_EQ(GetKeyName(3, 32), QString()) << "no such key";
    EXPECT_EQ(GetKeyName(4, 0), QString()) << "no such file";
}

TEST_F(KeyFileTest, DamagedFilesAreReadAsFarAsValidAndNeverWritten) {
    const QByteArray head = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<Keys>\r\n"
                            "<Key Index=\"0\" Name=\"Power\" Status=\"1\"/>\r\n";
    QByteArray huge = head;
    while (huge.size() <= static_cast<qsizetype>(keys::kMaxFileBytes)) {
        huge += "<Key Index=\"9\" Name=\"filler\" Status=\"0\"/>\r\n";
    }
    QByteArray many = "<Keys>";
    for (std::size_t k = 0; k <= keys::kMaxKeys; ++k) {
        many += "<Key Index=\"0\"/>";
    }
    many += "</Keys>";
    struct Row {
        const char* name;
        QByteArray bytes;
        KeyFileStatus status;
        std::size_t keys;   ///< keys read
        QString nameOfKey0; ///< GetKeyName(node, 0)
    };
    const std::vector<Row> rows = {
        {"ends halfway", head + "<Key Index=\"1\" Na", KeyFileStatus::Damaged, 1, "Power"},
        {"not XML", QByteArray("\x00\x01PK\x03\x04 binary", 14), KeyFileStatus::Damaged, 0, ""},
        {"empty", QByteArray(), KeyFileStatus::Damaged, 0, ""},
        {"another document", "<Scenes><Key Index=\"0\" Name=\"x\"/></Scenes>",
         KeyFileStatus::Damaged, 0, ""},
        {"a duplicated attribute", head + "<Key Index=\"1\" Index=\"2\" Name=\"Vol\"/></Keys>",
         KeyFileStatus::Damaged, 1, "Power"},
        {"huge", huge, KeyFileStatus::TooLarge, 0, "Power"},
        {"too many keys", many, KeyFileStatus::Damaged, keys::kMaxKeys, ""},
    };
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const Row& row = rows[i];
        SCOPED_TRACE(row.name);
        const int node = 10 + static_cast<int>(i);
        const QString path = KeyFilePath(node);
        Write(path, row.bytes);
        const KeyFile file = LoadKeyFile(node);
        EXPECT_EQ(file.status, row.status);
        if (row.status != KeyFileStatus::TooLarge) {
            EXPECT_EQ(file.keys.size(), row.keys);
        }
        EXPECT_EQ(GetKeyName(node, 0), row.nameOfKey0);
        EXPECT_EQ(SetKeyName(node, 0, QStringLiteral("new")), row.status);
        EXPECT_EQ(SetKeyStatus(node, 0, 0), row.status);
        EXPECT_EQ(Read(path), row.bytes) << "a damaged file is never written";
    }
    EXPECT_EQ(Read(m_tmp.filePath(QStringLiteral("outside.xml"))), "outside");
    EXPECT_EQ(Listing().size(), static_cast<int>(rows.size())) << "no temporary is left";
}

TEST_F(KeyFileTest, DuplicateAndMissingIndexesChangeTheFirstMatchOnly) {
    const QByteArray bytes = "<Keys><Key Name=\"no index\" Status=\"1\"/>"
                             "<Key Index=\"1\" Name=\"first\"/><Key Index=\"1\" Name=\"second\"/>"
                             "<Key Index=\"x\" Name=\"not a number\"/></Keys>";
    Write(KeyFilePath(5), bytes);
    EXPECT_EQ(GetKeyName(5, 1), QStringLiteral("first"));
    EXPECT_EQ(SetKeyName(5, 1, QStringLiteral("Vol+")), KeyFileStatus::Ok);
    EXPECT_EQ(SetKeyStatus(5, 0, 1), KeyFileStatus::NoSuchKey);
    const KeyFile file = LoadKeyFile(5);
    ASSERT_TRUE(file.ok());
    ASSERT_EQ(file.keys.size(), 4u);
    EXPECT_EQ(file.keys[0],
              (KeyEntry{std::nullopt, QStringLiteral("no index"), QStringLiteral("1")}))
        << "a missing attribute stays missing";
    EXPECT_EQ(file.keys[1].Name(), QStringLiteral("Vol+"));
    EXPECT_EQ(file.keys[2].Name(), QStringLiteral("second"));
    EXPECT_EQ(file.keys[3].Index(), -1);
}

TEST_F(KeyFileTest, OnlyTheKeyFileItselfIsEverTouched) {
    // A link in a key file's place is read through, but never written through or followed
    // by a delete.
    const QString outside = m_tmp.filePath(QStringLiteral("outside.xml"));
    const QByteArray keys = EncodeKeyFile(DefaultKeys());
    Write(outside, keys);
    QDir().mkpath(Dir());
    ASSERT_EQ(::symlink(QFile::encodeName(outside).constData(),
                        QFile::encodeName(KeyFilePath(6)).constData()),
              0);
    EXPECT_TRUE(LoadKeyFile(6).ok());
    EXPECT_EQ(SetKeyName(6, 0, QStringLiteral("x")), KeyFileStatus::NotRegular);
    EXPECT_EQ(CreateKeyFile(6), KeyFileStatus::NotRegular);
    EXPECT_TRUE(DeleteKeyFile(6));
    EXPECT_FALSE(QFileInfo(KeyFilePath(6)).isSymLink());
    EXPECT_EQ(Read(outside), keys);

    // A folder in its place.
    QDir().mkpath(KeyFilePath(8));
    EXPECT_EQ(LoadKeyFile(8).status, KeyFileStatus::NotRegular);
    EXPECT_EQ(CreateKeyFile(8), KeyFileStatus::NotRegular);
    EXPECT_FALSE(DeleteKeyFile(8));
    EXPECT_TRUE(QFileInfo(KeyFilePath(8)).isDir());

    // Nodes outside 2..232 have no file.
    for (int node : {-1, 0, 1, 233}) {
        EXPECT_EQ(KeyFilePath(node), QString());
        EXPECT_EQ(CreateKeyFile(node), KeyFileStatus::BadNode);
        EXPECT_EQ(LoadKeyFile(node).status, KeyFileStatus::BadNode);
    }
    EXPECT_TRUE(DeleteKeyFile(7)) << "nothing to delete is no failure";

    // A key directory that cannot be made: a file stands where a parent folder should be.
    SetKeyDirectory(outside + QStringLiteral("/593/Plug"));
    EXPECT_EQ(CreateKeyFile(2), KeyFileStatus::DirectoryFailed);
    EXPECT_EQ(LoadKeyFile(2).status, KeyFileStatus::CannotRead);
    EXPECT_EQ(Read(outside), keys);
}

TEST_F(KeyFileTest, TheKeyDirectoryIsInTheDocumentsFolderUnlessRedirected) {
    SetKeyDirectory(QString());
    EXPECT_TRUE(KeyDirectory().endsWith(QStringLiteral("/593/Plug")))
        << KeyDirectory().toStdString();
    EXPECT_EQ(KeyFilePath(7), KeyDirectory() + QStringLiteral("/7.xml"));
}

} // namespace
} // namespace kv
