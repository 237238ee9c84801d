#pragma once

#include <QHostAddress>
#include <QObject>
#include <QString>
#include <QTcpServer>

// Serves the files under one folder over HTTP/1.1, one HttpConnection per
// client (see there for the request handling and the fault modes).
class StaticServer : public QObject
{
    Q_OBJECT

public:
    explicit StaticServer(const QString &rootFolder, QObject *parent = nullptr);

    // Port 0 lets the system pick a free port; serverPort() tells which.
    bool listen(const QHostAddress &address, quint16 port);
    quint16 serverPort() const { return m_server.serverPort(); }
    QString errorString() const { return m_server.errorString(); }

private:
    void acceptConnections();

    QTcpServer m_server;
    QString m_root;
};
