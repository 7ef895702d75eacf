#include "SingleInstance.h"

#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>
#include <QStandardPaths>
#include <unistd.h>

SingleInstance::SingleInstance(const QString& key, QObject* parent) : QObject(parent), m_key(key) {}

SingleInstance::~SingleInstance() = default;

QString SingleInstance::defaultKey()
{
    return QStringLiteral("kalvent-%1").arg(getuid());
}

bool SingleInstance::claim()
{
    // The lock file makes the check-then-listen step atomic between two copies started at once.
    QLockFile lock(QDir(QDir::tempPath()).filePath(m_key + ".lock"));
    lock.setStaleLockTime(0);
    if (!lock.tryLock(5000))
        return false;
    {
        QLocalSocket socket;
        socket.connectToServer(m_key);
        if (socket.waitForConnected(1000)) {
            socket.write("show\n");
            socket.waitForBytesWritten(1000);
            socket.disconnectFromServer();
            return false;
        }
    }
    QLocalServer::removeServer(m_key); // a socket left by a copy that crashed
    m_server = new QLocalServer(this);
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    if (!m_server->listen(m_key))
        return true; // cannot listen: still run, as the only copy we know of
    connect(m_server, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket* socket = m_server->nextPendingConnection()) {
            connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
                if (socket->readAll().contains("show"))
                    Q_EMIT activationRequested();
                socket->deleteLater();
            });
            connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        }
    });
    return true;
}
