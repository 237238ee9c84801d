#include "singleinstance.h"

#include "logging.h"

#include <QCryptographicHash>
#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>

#include <unistd.h>

namespace {
constexpr char kActivate[] = "activate\n";
}

SingleInstance::SingleInstance(const QString &key, QObject *parent) : QObject(parent)
{
    const QByteArray hash =
        QCryptographicHash::hash(key.toUtf8(), QCryptographicHash::Sha1).toHex().left(16);
    // Per user, so two people on one machine each get their copy.
    m_serverName = QStringLiteral("aurilo-%1-%2").arg(getuid()).arg(QString::fromLatin1(hash));
    m_lock = std::make_unique<QLockFile>(QDir::temp().filePath(m_serverName + QStringLiteral(".lock")));
    // A lock left by a killed copy is taken over at once (QLockFile checks
    // whether its process still lives); never time it out while it lives.
    m_lock->setStaleLockTime(0);
}

SingleInstance::~SingleInstance() = default;

bool SingleInstance::tryBecomePrimary()
{
    if (!m_lock->tryLock(0))
        return false;
    m_server = new QLocalServer(this);
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    // We hold the lock, so a socket file left behind belongs to a dead copy.
    QLocalServer::removeServer(m_serverName);
    if (!m_server->listen(m_serverName))
        qCWarning(lcWinfra) << "single instance: cannot listen:" << m_server->errorString();
    connect(m_server, &QLocalServer::newConnection, this, &SingleInstance::onNewConnection);
    return true;
}

bool SingleInstance::activatePrimary(int timeoutMs) const
{
    QLocalSocket socket;
    socket.connectToServer(m_serverName);
    if (!socket.waitForConnected(timeoutMs))
        return false;
    socket.write(kActivate);
    const bool written = socket.waitForBytesWritten(timeoutMs);
    socket.disconnectFromServer();
    return written;
}

void SingleInstance::onNewConnection()
{
    while (QLocalSocket *socket = m_server->nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        const auto readRequests = [this, socket] {
            while (socket->canReadLine()) {
                if (socket->readLine() == kActivate)
                    emit activationRequested();
            }
        };
        connect(socket, &QLocalSocket::readyRead, this, readRequests);
        readRequests(); // the request may already be buffered
    }
}
