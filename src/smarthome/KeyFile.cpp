#include "smarthome/KeyFile.h"

#include "image/AtomicFile.h"
#include "smarthome/ZwaveNodes.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QXmlStreamReader>
#include <QXmlStreamWriter>

#include <cerrno>
#include <mutex>
#include <span>

namespace kv {

namespace {

constexpr char kDeclaration[] = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n";
constexpr int kIndent = 4;

/// Guards g_directory.
std::mutex g_directoryLock;
QString g_directory;

QString DefaultKeyDirectory() {
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    return documents.isEmpty() ? QString() : documents + QStringLiteral("/593/Plug");
}

std::string LocalPath(const QString& path) {
    return QFile::encodeName(path).toStdString();
}

/// XML 1.0 can carry tab, line feed, carriage return and the characters from U+0020 except
/// the surrogates (outside a pair), U+FFFE and U+FFFF.
QString XmlSafe(const QString& text) {
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c.isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
            out.append(c);
            out.append(text[++i]);
            continue;
        }
        const char16_t u = c.unicode();
        if (c.isSurrogate() || u == 0xFFFE || u == 0xFFFF ||
            (u < 0x20 && u != u'\t' && u != u'\n' && u != u'\r')) {
            continue;
        }
        out.append(c);
    }
    return out;
}

/// Replaces the node's file with the keys. A link or other non-file in its place is left
/// alone: following it would write outside the key directory.
KeyFileStatus Save(int node, const std::vector<KeyEntry>& keys) {
    const QString path = KeyFilePath(node);
    const QFileInfo info(path);
    if (info.isSymLink() || (info.exists() && !info.isFile())) {
        return KeyFileStatus::NotRegular;
    }
    const QByteArray bytes = EncodeKeyFile(keys);
    const std::span<const std::uint8_t> data(reinterpret_cast<const std::uint8_t*>(bytes.data()),
                                             static_cast<std::size_t>(bytes.size()));
    return WriteFileAtomically(LocalPath(path), data) == 0 ? KeyFileStatus::Ok
                                                           : KeyFileStatus::WriteFailed;
}

/// The first key with that index, or nullptr.
KeyEntry* FindKey(std::vector<KeyEntry>& keys, int key) {
    for (KeyEntry& entry : keys) {
        if (entry.Index() == key) {
            return &entry;
        }
    }
    return nullptr;
}

template <typename Change>
KeyFileStatus ChangeKey(int node, int key, Change change) {
    KeyFile file = LoadKeyFile(node);
    if (!file.ok()) {
        return file.status;
    }
    KeyEntry* entry = key >= 0 ? FindKey(file.keys, key) : nullptr;
    if (!entry) {
        return KeyFileStatus::NoSuchKey;
    }
    change(*entry);
    return Save(node, file.keys);
}

} // namespace

int KeyEntry::Index() const {
    bool ok = false;
    const int value = index ? index->toInt(&ok) : -1;
    return ok && value >= 0 ? value : -1;
}

bool KeyEntry::Learned() const {
    return status && status->toInt() != 0;
}

QString KeyDirectory() {
    {
        const std::lock_guard lock(g_directoryLock);
        if (!g_directory.isEmpty()) {
            return g_directory;
        }
    }
    return DefaultKeyDirectory();
}

void SetKeyDirectory(const QString& path) {
    const std::lock_guard lock(g_directoryLock);
    g_directory = path;
}

QString KeyFilePath(int node) {
    const QString directory = KeyDirectory();
    if (node < zwave::kFirstDeviceNode || node > zwave::kLastNode || directory.isEmpty()) {
        return {};
    }
    return directory + QStringLiteral("/%1.xml").arg(node);
}

bool KeyFileExists(int node) {
    const QString path = KeyFilePath(node);
    return !path.isEmpty() && QFileInfo::exists(path);
}

KeyFile ParseKeyFile(const QByteArray& bytes) {
    KeyFile file;
    QXmlStreamReader xml(bytes);
    int depth = 0;
    bool root = false;
    while (!xml.atEnd()) {
        const QXmlStreamReader::TokenType token = xml.readNext();
        if (token == QXmlStreamReader::EndElement) {
            --depth;
            continue;
        }
        if (token != QXmlStreamReader::StartElement) {
            continue;
        }
        ++depth;
        if (depth == 1) {
            if (xml.name() != QLatin1String("Keys")) {
                break;
            }
            root = true;
        } else if (depth == 2 && xml.name() == QLatin1String("Key")) {
            if (file.keys.size() == keys::kMaxKeys) {
                file.status = KeyFileStatus::Damaged;
                return file;
            }
            const QXmlStreamAttributes attributes = xml.attributes();
            auto attribute = [&attributes](QLatin1String name) -> std::optional<QString> {
                if (!attributes.hasAttribute(name)) {
                    return std::nullopt;
                }
                return attributes.value(name).toString();
            };
            file.keys.push_back({attribute(QLatin1String("Index")),
                                 attribute(QLatin1String("Name")),
                                 attribute(QLatin1String("Status"))});
        }
    }
    if (xml.hasError() || !root) {
        file.status = KeyFileStatus::Damaged;
    }
    return file;
}

QByteArray EncodeKeyFile(const std::vector<KeyEntry>& keys) {
    QByteArray body;
    QXmlStreamWriter xml(&body);
    xml.setAutoFormatting(true);
    xml.setAutoFormattingIndent(kIndent);
    xml.writeStartElement(QStringLiteral("Keys"));
    for (const KeyEntry& entry : keys) {
        xml.writeEmptyElement(QStringLiteral("Key"));
        const std::pair<const char*, const std::optional<QString>*> attributes[] = {
            {"Index", &entry.index}, {"Name", &entry.name}, {"Status", &entry.status}};
        for (const auto& [name, value] : attributes) {
            if (*value) {
                xml.writeAttribute(QLatin1String(name), XmlSafe(**value));
            }
        }
    }
    xml.writeEndElement();
    // The writer escapes line breaks inside attribute values, so every line feed of its
    // output ends a line; it opens with one, as if it followed a declaration of its own.
    if (body.startsWith('\n')) {
        body.remove(0, 1);
    }
    body.replace("\n", "\r\n");
    if (!body.endsWith("\r\n")) {
        body.append("\r\n");
    }
    return QByteArray(kDeclaration) + body;
}

std::vector<KeyEntry> DefaultKeys() {
    std::vector<KeyEntry> keys;
    for (int k = 0; k < keys::kKeysPerDevice; ++k) {
        keys.push_back(
            {QString::number(k), QStringLiteral("Key%1").arg(k + 1), QStringLiteral("0")});
    }
    return keys;
}

KeyFile LoadKeyFile(int node) {
    KeyFile file;
    if (node < zwave::kFirstDeviceNode || node > zwave::kLastNode) {
        file.status = KeyFileStatus::BadNode;
        return file;
    }
    const QString path = KeyFilePath(node);
    if (path.isEmpty()) {
        file.status = KeyFileStatus::Missing;
        return file;
    }
    return LoadKeyFileAt(path);
}

KeyFile LoadKeyFileAt(const QString& path) {
    KeyFile file;
    const SmallFileRead read = ReadSmallFile(LocalPath(path), keys::kMaxFileBytes);
    switch (read.status) {
    case SmallFileStatus::NotRegular:
        file.status = KeyFileStatus::NotRegular;
        return file;
    case SmallFileStatus::CannotOpen:
        file.status = read.error == ENOENT ? KeyFileStatus::Missing : KeyFileStatus::CannotRead;
        return file;
    default:
        break;
    }
    const QByteArray bytes(reinterpret_cast<const char*>(read.bytes.data()),
                           static_cast<qsizetype>(read.bytes.size()));
    file = ParseKeyFile(bytes);
    if (read.status == SmallFileStatus::TooLarge) {
        file.status = KeyFileStatus::TooLarge;
    }
    return file;
}

KeyFileStatus CreateKeyFile(int node) {
    if (node < zwave::kFirstDeviceNode || node > zwave::kLastNode) {
        return KeyFileStatus::BadNode;
    }
    const QString directory = KeyDirectory();
    if (directory.isEmpty() || !QDir().mkpath(directory)) {
        return KeyFileStatus::DirectoryFailed;
    }
    return Save(node, DefaultKeys());
}

KeyFileStatus SetKeyName(int node, int key, const QString& name) {
    return ChangeKey(node, key, [&name](KeyEntry& entry) { entry.name = XmlSafe(name); });
}

KeyFileStatus SetKeyStatus(int node, int key, int status) {
    return ChangeKey(node, key,
                     [status](KeyEntry& entry) { entry.status = QString::number(status); });
}

QString GetKeyName(int node, int key) {
    KeyFile file = LoadKeyFile(node);
    const KeyEntry* entry = key >= 0 ? FindKey(file.keys, key) : nullptr;
    return entry ? entry->Name() : QString();
}

bool DeleteKeyFile(int node) {
    const QString path = KeyFilePath(node);
    if (path.isEmpty()) {
        return true;
    }
    const QFileInfo info(path);
    if (!info.exists() && !info.isSymLink()) {
        return true;
    }
    return QFile::remove(path);
}

} // namespace kv
