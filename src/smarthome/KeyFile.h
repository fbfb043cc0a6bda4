#pragma once

#include <QByteArray>
#include <QString>

#include <cstddef>
#include <optional>
#include <vector>

/// The remote-key files of the smart plugs: one XML file per device, "<node>.xml" in the key
/// directory, with the names and learned states of the keys the plug can learn:
///
///     <?xml version="1.0" encoding="UTF-8"?>
///     <Keys>
///         <Key Index="0" Name="Key1" Status="0"/>
///         ...
///     </Keys>
///
/// The plug keeps the learned codes; these files are the only record of the names and of
/// which keys were learned. A file is untrusted input: it is read as far as it is valid, and
/// only a file that was read completely is ever written back, so that a damaged file loses
/// nothing more than it had already lost. Saves replace the file in one step.
namespace kv {

namespace keys {
/// Keys of a new file, Key1 ... Key32.
inline constexpr int kKeysPerDevice = 32;
/// A key file is a few kilobytes; anything beyond this is not one.
inline constexpr std::size_t kMaxFileBytes = 1 << 20;
/// Key elements read from one file at most.
inline constexpr std::size_t kMaxKeys = 256;
} // namespace keys

/// One Key element as stored: each attribute absent when the element lacks it.
struct KeyEntry {
    std::optional<QString> index;
    std::optional<QString> name;
    std::optional<QString> status;

    bool operator==(const KeyEntry&) const = default;
    /// The Index as a number, or -1 when it is missing or not a number.
    int Index() const;
    /// Status holds a number other than 0.
    bool Learned() const;
    QString Name() const { return name.value_or(QString()); }
};

enum class KeyFileStatus {
    Ok,
    BadNode,         ///< not a device node (2..232)
    Missing,         ///< there is no such file
    NotRegular,      ///< a directory, a link or another thing that is not a plain file
    CannotRead,      ///< the file could not be opened or read
    TooLarge,        ///< more than kMaxFileBytes; the keys are what its beginning held
    Damaged,         ///< not well-formed XML, not a Keys document, or too many keys
    NoSuchKey,       ///< no Key element with that index
    DirectoryFailed, ///< the key directory could not be created
    WriteFailed,     ///< the file could not be replaced
};

/// A key file as read: the Key elements up to the first fault, in file order.
struct KeyFile {
    KeyFileStatus status = KeyFileStatus::Ok;
    std::vector<KeyEntry> keys;
    bool ok() const { return status == KeyFileStatus::Ok; }
};

/// The key directory: "593/Plug" in the user's documents folder.
QString KeyDirectory();
/// Points the key directory elsewhere (tests, tools); an empty path restores the default.
void SetKeyDirectory(const QString& path);
/// "<directory>/<node>.xml"; empty for a node outside 2..232.
QString KeyFilePath(int node);
bool KeyFileExists(int node);

/// Reads a key file's bytes (any encoding XML allows).
KeyFile ParseKeyFile(const QByteArray& bytes);
/// UTF-8 with the XML declaration and CRLF line ends. Characters that XML cannot carry are
/// left out of the names.
QByteArray EncodeKeyFile(const std::vector<KeyEntry>& keys);
/// Key1 ... Key32, not learned.
std::vector<KeyEntry> DefaultKeys();

/// Reads the node's file.
KeyFile LoadKeyFile(int node);
/// Reads a key file by its path.
KeyFile LoadKeyFileAt(const QString& path);
/// Writes the file with the default keys, replacing any file there; creates the key
/// directory and its parents first.
KeyFileStatus CreateKeyFile(int node);
/// Changes the first Key whose Index is key and saves the file. Nothing changes on disk
/// unless the whole file was read and has such a key.
KeyFileStatus SetKeyName(int node, int key, const QString& name);
KeyFileStatus SetKeyStatus(int node, int key, int status);
/// The Name of the first Key whose Index is key, from as much of the file as is valid;
/// empty when the file or the key is missing.
QString GetKeyName(int node, int key);
/// Deletes the node's file; true when none is left.
bool DeleteKeyFile(int node);

} // namespace kv
