#include "shell/SingleInstance.h"

#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>

namespace kv {

namespace {

constexpr int kConnectWaitMs = 1000;
constexpr QByteArrayView kRaise = "raise\n";

QString InstanceName(const QString& key) {
    QString user = qEnvironmentVariable("USER");
    if (user.isEmpty()) {
        user = qEnvironmentVariable("USERNAME");
    }
    return key + QLatin1Char('-') + user;
}

} // namespace

SingleInstance::SingleInstance(const QString& key, QObject* parent)
    : QObject(parent), m_name(InstanceName(key)),
      m_lock(QDir::temp().filePath(m_name + QStringLiteral(".lock"))) {
    // Only a lock whose owner process has gone counts as stale, however old it is.
    m_lock.setStaleLockTime(0);
}

SingleInstance::~SingleInstance() {
    if (m_server) {
        m_server->close();
    }
    m_lock.unlock();
}

SingleInstance::Result SingleInstance::Start() {
    if (m_lock.tryLock(0)) {
        // A socket left behind by a crashed instance would make listen() fail.
        QLocalServer::removeServer(m_name);
        m_server = new QLocalServer(this);
        m_server->setSocketOptions(QLocalServer::UserAccessOption);
        connect(m_server, &QLocalServer::newConnection, this, [this] {
            while (QLocalSocket* socket = m_server->nextPendingConnection()) {
                connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
                    if (socket->readAll().contains(QByteArrayView("raise"))) {
                        emit raiseRequested();
                    }
                    socket->disconnectFromServer();
                });
                connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
            }
        });
        if (!m_server->listen(m_name)) {
            qWarning("single instance: cannot listen on %s: %s", qPrintable(m_name),
                     qPrintable(m_server->errorString()));
        }
        return Result::Primary;
    }
    if (m_lock.error() != QLockFile::LockFailedError) {
        return Result::Failed;
    }
    QLocalSocket socket;
    socket.connectToServer(m_name);
    if (!socket.waitForConnected(kConnectWaitMs)) {
        return Result::NoWindow;
    }
    socket.write(kRaise.data(), kRaise.size());
    socket.waitForBytesWritten(kConnectWaitMs);
    socket.disconnectFromServer();
    return Result::Secondary;
}

} // namespace kv
