#pragma once

#include <QString>
#include <QStringList>

#include <array>
#include <cstdint>
#include <memory>

class QSettings;

namespace kv {

inline constexpr std::size_t kOptionRecordSize = 8;
using OptionRecord = std::array<std::uint8_t, kOptionRecordSize>;

/// Channels 1/2, 3/4 and 7/8 linked; the other bytes 0.
inline constexpr OptionRecord kDefaultOptionRecord = {1, 1, 1, 0, 0, 0, 0, 0};
inline constexpr int kApplicationLook = 215;
inline constexpr int kRecentFileCount = 10;

/// The per-user settings of the application: organisation "KV5930Q V1.0", application
/// "Controller v2.0", group "Workspace", plus the recent-file list. A missing or unreadable
/// value gives its default.
class AppSettings {
public:
    /// The platform's per-user store.
    AppSettings();
    /// An INI file at path (used by tests and by a portable set-up).
    explicit AppSettings(const QString& iniPath);
    ~AppSettings();
    AppSettings(const AppSettings&) = delete;
    AppSettings& operator=(const AppSettings&) = delete;

    /// True once a language was stored (the user switched at least once).
    bool HasLanguage() const;
    int Language() const;
    void SetLanguage(int language);

    /// The first 8 bytes of "QtOption", zero-filled when shorter; the default when absent.
    OptionRecord QtOption() const;
    void SetQtOption(const OptionRecord& option);

    int ApplicationLook() const;
    void SetApplicationLook(int look);

    /// Most recent first, at most ten.
    QStringList RecentFiles() const;
    /// Puts path first in the list (removing an older entry of the same file).
    void AddRecentFile(const QString& path);
    void RemoveRecentFile(const QString& path);

    void Sync();

private:
    void WriteRecentFiles(const QStringList& files);

    std::unique_ptr<QSettings> m_settings;
};

} // namespace kv
