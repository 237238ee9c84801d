#pragma once

#include <QByteArray>
#include <QFile>
#include <QObject>
#include <QString>
#include <QTimer>

class QTcpSocket;

// One client connection: reads one GET or HEAD request, answers it from the
// root folder and closes the connection ("Connection: close"), which keeps
// the server simple and every response self-delimiting.
//
// A request path starting with /_fault/<mode>/ serves the file under the rest
// of the path with a deliberate failure, for the network tests:
//   404       answers 404 Not Found
//   500       answers 500 Internal Server Error with an HTML body
//   reset     sends the headers and half the body, then resets the connection
//   truncate  announces the full Content-Length, sends half, closes normally
//   nolength  sends the whole body without Content-Length, then closes
//   slow      sends the body in 4 KiB pieces every 50 ms
//   stall     announces the full Content-Length, sends half, then sends
//             nothing more and keeps the connection open until the client
//             hangs up (a server that hangs mid-transfer)
// The path is checked first, so a fault on a missing or refused file answers
// 404 or 403 like any other request. The reset waits until the partial body
// has left the socket and 100 ms more, so the client sees data, then the RST.
class HttpConnection : public QObject
{
    Q_OBJECT

public:
    // canonicalRoot: the served folder, already resolved with
    // QFileInfo::canonicalFilePath so that containment checks compare alike.
    HttpConnection(QTcpSocket *socket, const QString &canonicalRoot, QObject *parent = nullptr);

    enum class Fault
    {
        None,
        NotFound,
        ServerError,
        Reset,
        Truncate,
        NoLength,
        Slow,
        Stall,
        Redirect // 302 to the rest of the path
    };

    struct Target
    {
        int status = 200; // 200, or the error to answer with
        QString filePath; // file to serve when status is 200
        Fault fault = Fault::None;
        QString location; // where a redirect sends the client
    };

    // Maps a request target ("/page/1.html?x", percent-encoded) to a file
    // under root. Anything that would leave root is refused with 403.
    static Target resolve(const QByteArray &requestTarget, const QString &canonicalRoot);

private:
    enum class State
    {
        Reading,
        Sending,
        Pacing,
        Stalled,
        Closing
    };

    void readRequest();
    void answer(const QByteArray &head);
    void sendError(int status, bool withBody);
    void sendFile(const Target &target, const QByteArray &ifModifiedSince, bool withBody);
    void writeHead(int status, const QList<QByteArray> &headers);
    void pump();
    void sendSlowPiece();
    void bodyQueued();
    void resetConnection();
    void log(int status, qint64 bodyBytes);

    QTcpSocket *m_socket;
    QString m_root;
    QByteArray m_buffer;
    QByteArray m_requestLine;
    State m_state = State::Reading;
    Fault m_fault = Fault::None;
    QFile m_file;
    qint64 m_toSend = 0; // body bytes not yet handed to the socket
    QTimer m_timer;      // request timeout, then pacing of slow responses
};
