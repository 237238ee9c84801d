#include "staticserver.h"

#include "httpconnection.h"

#include <QFileInfo>
#include <QTcpSocket>

StaticServer::StaticServer(const QString &rootFolder, QObject *parent)
    : QObject(parent), m_root(QFileInfo(rootFolder).canonicalFilePath())
{
    connect(&m_server, &QTcpServer::newConnection, this, &StaticServer::acceptConnections);
}

bool StaticServer::listen(const QHostAddress &address, quint16 port)
{
    return m_server.listen(address, port);
}

void StaticServer::acceptConnections()
{
    while (QTcpSocket *socket = m_server.nextPendingConnection())
        new HttpConnection(socket, m_root, this);
}
