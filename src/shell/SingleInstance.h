#pragma once

#include <QLockFile>
#include <QObject>
#include <QString>

#include <memory>

class QLocalServer;

namespace kv {

/// Keeps the application to one instance per user: the first instance holds a lock file
/// and listens on a local socket; a later start asks it to come to the front and ends.
class SingleInstance : public QObject {
    Q_OBJECT
public:
    enum class Result {
        Primary,   ///< this is the only instance
        Secondary, ///< another instance runs and was asked to come to the front
        NoWindow,  ///< another instance holds the lock but does not answer
        Failed,    ///< the lock could not be created at all
    };

    /// key names the instance ("KV593 V1.0"); lock file and socket are derived from it.
    explicit SingleInstance(const QString& key, QObject* parent = nullptr);
    ~SingleInstance() override;

    Result Start();

signals:
    /// A later start asked this instance to come to the front.
    void raiseRequested();

private:
    QString m_name;
    QLockFile m_lock;
    QLocalServer* m_server = nullptr;
};

} // namespace kv
