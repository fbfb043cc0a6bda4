#include "shell/AppSettings.h"

#include <QFileInfo>
#include <QSettings>

#include <algorithm>

namespace kv {

namespace {

constexpr const char* kOrganisation = "KV5930Q V1.0";
constexpr const char* kApplication = "Controller v2.0";
constexpr const char* kWorkspace = "Workspace/";
constexpr const char* kRecentGroup = "Recent File List/";

QString WorkspaceKey(const char* name) {
    return QLatin1String(kWorkspace) + QLatin1String(name);
}

QString RecentKey(int index) {
    return QLatin1String(kRecentGroup) + QStringLiteral("File%1").arg(index + 1);
}

bool SameFile(const QString& a, const QString& b) {
    return QFileInfo(a).absoluteFilePath() == QFileInfo(b).absoluteFilePath();
}

} // namespace

AppSettings::AppSettings()
    : m_settings(
          std::make_unique<QSettings>(QLatin1String(kOrganisation), QLatin1String(kApplication))) {}

AppSettings::AppSettings(const QString& iniPath)
    : m_settings(std::make_unique<QSettings>(iniPath, QSettings::IniFormat)) {}

AppSettings::~AppSettings() = default;

bool AppSettings::HasLanguage() const {
    return m_settings->contains(WorkspaceKey("language"));
}

int AppSettings::Language() const {
    bool ok = false;
    const int value = m_settings->value(WorkspaceKey("language"), 0).toInt(&ok);
    return ok && value == 1 ? 1 : 0;
}

void AppSettings::SetLanguage(int language) {
    m_settings->setValue(WorkspaceKey("language"), language);
}

OptionRecord AppSettings::QtOption() const {
    const QVariant value = m_settings->value(WorkspaceKey("QtOption"));
    if (!value.isValid()) {
        return kDefaultOptionRecord;
    }
    const QByteArray bytes = value.toByteArray();
    OptionRecord option{};
    std::copy_n(bytes.constData(), std::min<qsizetype>(bytes.size(), kOptionRecordSize),
                option.begin());
    return option;
}

void AppSettings::SetQtOption(const OptionRecord& option) {
    m_settings->setValue(WorkspaceKey("QtOption"),
                         QByteArray(reinterpret_cast<const char*>(option.data()),
                                    static_cast<qsizetype>(option.size())));
}

int AppSettings::ApplicationLook() const {
    return m_settings->value(WorkspaceKey("ApplicationLook"), kApplicationLook).toInt();
}

void AppSettings::SetApplicationLook(int look) {
    m_settings->setValue(WorkspaceKey("ApplicationLook"), look);
}

QStringList AppSettings::RecentFiles() const {
    QStringList files;
    for (int i = 0; i < kRecentFileCount; ++i) {
        const QString path = m_settings->value(RecentKey(i)).toString();
        if (!path.isEmpty()) {
            files.append(path);
        }
    }
    return files;
}

void AppSettings::AddRecentFile(const QString& path) {
    QStringList files = RecentFiles();
    files.removeIf([&](const QString& f) { return SameFile(f, path); });
    files.prepend(QFileInfo(path).absoluteFilePath());
    WriteRecentFiles(files);
}

void AppSettings::RemoveRecentFile(const QString& path) {
    QStringList files = RecentFiles();
    files.removeIf([&](const QString& f) { return SameFile(f, path); });
    WriteRecentFiles(files);
}

void AppSettings::WriteRecentFiles(const QStringList& files) {
    for (int i = 0; i < kRecentFileCount; ++i) {
        if (i < files.size()) {
            m_settings->setValue(RecentKey(i), files[i]);
        } else {
            m_settings->remove(RecentKey(i));
        }
    }
}

void AppSettings::Sync() {
    m_settings->sync();
}

} // namespace kv
