#include "httpconnection.h"

#include "httpformat.h"
#include "socketreset.h"

#include <QDateTime>
#include <QFileInfo>
#include <QHostAddress>
#include <QTcpSocket>
#include <QUrl>

#include <array>
#include <cstdio>
#include <utility>

using namespace Qt::StringLiterals;

namespace {

// A request head larger than this is not a browser or QNetworkAccessManager
// talking to a static server; refuse it rather than buffer without limit.
constexpr qsizetype kMaxHead = 16 * 1024;
// A client that connects and never completes its request is dropped.
constexpr int kRequestTimeoutMs = 30'000;
// Chunked reads keep a 30 MB catalog from being loaded whole; the high-water
// mark bounds what sits in the socket's buffer at any time.
constexpr qint64 kChunk = 64 * 1024;
constexpr qint64 kHighWater = 256 * 1024;
// Slow mode: a trickle that still finishes a small file within seconds.
constexpr qint64 kSlowPiece = 4 * 1024;
constexpr int kSlowIntervalMs = 50;
// Give the partial body time to reach the client before the reset, so the
// client sees data followed by the reset rather than only the reset.
constexpr int kResetDelayMs = 100;

const QByteArray kFaultPrefix = "/_fault/";

HttpConnection::Fault faultNamed(QStringView name, bool *known)
{
    using Fault = HttpConnection::Fault;
    static const std::array<std::pair<QStringView, Fault>, 8> faults = {{
        {u"404", Fault::NotFound},
        {u"500", Fault::ServerError},
        {u"reset", Fault::Reset},
        {u"truncate", Fault::Truncate},
        {u"nolength", Fault::NoLength},
        {u"slow", Fault::Slow},
        {u"stall", Fault::Stall},
        {u"redirect", Fault::Redirect},
    }};
    for (const auto &[faultName, fault] : faults) {
        if (name == faultName) {
            *known = true;
            return fault;
        }
    }
    *known = false;
    return Fault::None;
}

const char *faultLabel(HttpConnection::Fault fault)
{
    using Fault = HttpConnection::Fault;
    switch (fault) {
    case Fault::None:
        return "";
    case Fault::NotFound:
        return " fault=404";
    case Fault::ServerError:
        return " fault=500";
    case Fault::Reset:
        return " fault=reset";
    case Fault::Truncate:
        return " fault=truncate";
    case Fault::NoLength:
        return " fault=nolength";
    case Fault::Slow:
        return " fault=slow";
    case Fault::Stall:
        return " fault=stall";
    case HttpConnection::Fault::Redirect:
        return " fault=redirect";
    }
    return "";
}

} // namespace

HttpConnection::HttpConnection(QTcpSocket *socket, const QString &canonicalRoot, QObject *parent)
    : QObject(parent), m_socket(socket), m_root(canonicalRoot)
{
    m_socket->setParent(this);
    connect(m_socket, &QTcpSocket::readyRead, this, &HttpConnection::readRequest);
    connect(m_socket, &QTcpSocket::bytesWritten, this, &HttpConnection::pump);
    connect(m_socket, &QTcpSocket::disconnected, this, [this] {
        m_timer.stop();
        m_file.close();
        deleteLater();
    });
    connect(&m_timer, &QTimer::timeout, this, [this] {
        switch (m_state) {
        case State::Reading:
            m_socket->abort();
            deleteLater();
            break;
        case State::Pacing:
            sendSlowPiece();
            break;
        case State::Sending:
        case State::Stalled:
        case State::Closing:
            break;
        }
    });
    m_timer.setSingleShot(true);
    m_timer.start(kRequestTimeoutMs);
}

HttpConnection::Target HttpConnection::resolve(const QByteArray &requestTarget,
                                               const QString &canonicalRoot)
{
    Target target;
    QByteArray rawPath = requestTarget;
    // Absolute form ("GET http://host/path"), as sent through a proxy.
    if (!rawPath.startsWith('/')) {
        const QUrl url = QUrl::fromEncoded(rawPath);
        if (!url.isValid() || url.scheme() != "http"_L1) {
            target.status = 400;
            return target;
        }
        rawPath = url.path(QUrl::FullyEncoded).toLatin1();
        if (rawPath.isEmpty())
            rawPath = "/";
    }
    const qsizetype end = rawPath.indexOf('?');
    if (end >= 0)
        rawPath.truncate(end);
    const qsizetype hash = rawPath.indexOf('#');
    if (hash >= 0)
        rawPath.truncate(hash);

    // Decode before looking at segments: "%2e%2e" and "..%2f" must count as
    // ".." and "../" or they would slip past the check below.
    QString path = QString::fromUtf8(QByteArray::fromPercentEncoding(rawPath));
    if (path.contains(QChar(0))) {
        target.status = 400;
        return target;
    }

    if (path.startsWith(QLatin1StringView(kFaultPrefix))) {
        const qsizetype nameEnd = path.indexOf(u'/', kFaultPrefix.size());
        const QStringView name = QStringView(path).mid(
            kFaultPrefix.size(), nameEnd < 0 ? -1 : nameEnd - kFaultPrefix.size());
        bool known = false;
        target.fault = faultNamed(name, &known);
        if (!known) {
            target.status = 404;
            return target;
        }
        path = nameEnd < 0 ? u"/"_s : path.mid(nameEnd);
        if (target.fault == Fault::Redirect) {
            // Wherever the rest points, existing or not: the client follows.
            target.location = path;
            return target;
        }
    }

    QStringList parts;
    for (const QString &segment : path.split(u'/', Qt::SkipEmptyParts)) {
        if (segment == ".."_L1 || segment.contains(u'\\')) {
            target.status = 403;
            return target;
        }
        if (segment != "."_L1)
            parts.append(segment);
    }

    QString filePath = canonicalRoot + u'/' + parts.join(u'/');
    QFileInfo info(filePath);
    if (info.isDir()) {
        filePath = info.filePath() + "/index.html"_L1;
        info = QFileInfo(filePath);
    }
    if (!info.exists()) {
        target.status = 404;
        return target;
    }
    // Symbolic links may point anywhere; only what really lies under root is
    // served.
    const QString canonical = info.canonicalFilePath();
    if (!canonical.startsWith(canonicalRoot + u'/')) {
        target.status = 403;
        return target;
    }
    if (!info.isFile() || !info.isReadable()) {
        target.status = 403;
        return target;
    }
    target.filePath = canonical;
    return target;
}

void HttpConnection::readRequest()
{
    if (m_state != State::Reading) {
        // Nothing after the request is read; a request body is ignored.
        m_socket->readAll();
        return;
    }
    m_buffer += m_socket->readAll();
    qsizetype end = m_buffer.indexOf("\r\n\r\n");
    if (end < 0)
        end = m_buffer.indexOf("\n\n");
    if (end < 0) {
        if (m_buffer.size() > kMaxHead) {
            m_requestLine = m_buffer.left(m_buffer.indexOf('\n')).trimmed().left(200);
            sendError(431, true);
        }
        return;
    }
    m_timer.stop();
    answer(m_buffer.left(end));
}

void HttpConnection::answer(const QByteArray &head)
{
    const QList<QByteArray> lines = head.split('\n');
    m_requestLine = lines.first().trimmed();
    const QList<QByteArray> words = m_requestLine.split(' ');
    if (words.size() != 3 || !words.at(2).startsWith("HTTP/1.")) {
        sendError(400, true);
        return;
    }
    const QByteArray &method = words.at(0);
    const bool headOnly = method == "HEAD";
    if (method != "GET" && !headOnly) {
        sendError(405, true);
        return;
    }

    QByteArray ifModifiedSince;
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const QByteArray line = lines.at(i).trimmed();
        const qsizetype colon = line.indexOf(':');
        if (colon > 0 && line.left(colon).trimmed().toLower() == "if-modified-since")
            ifModifiedSince = line.mid(colon + 1).trimmed();
    }

    const Target target = resolve(words.at(1), m_root);
    m_fault = target.fault;
    if (target.status != 200) {
        sendError(target.status, !headOnly);
        return;
    }
    if (m_fault == Fault::NotFound) {
        sendError(404, !headOnly);
        return;
    }
    if (m_fault == Fault::ServerError) {
        sendError(500, !headOnly);
        return;
    }
    if (m_fault == Fault::Redirect) {
        writeHead(302, {"Location: " + QUrl::toPercentEncoding(target.location, "/"),
                        "Content-Length: 0"});
        log(302, 0);
        m_state = State::Closing;
        m_socket->disconnectFromHost();
        return;
    }
    sendFile(target, ifModifiedSince, !headOnly);
}

void HttpConnection::sendError(int status, bool withBody)
{
    const QByteArray body = HttpFormat::errorPage(status);
    QList<QByteArray> headers = {"Content-Type: text/html; charset=utf-8",
                                 "Content-Length: " + QByteArray::number(body.size())};
    if (status == 405)
        headers.append("Allow: GET, HEAD");
    writeHead(status, headers);
    if (withBody)
        m_socket->write(body);
    log(status, withBody ? body.size() : 0);
    m_state = State::Closing;
    m_socket->disconnectFromHost();
}

void HttpConnection::sendFile(const Target &target, const QByteArray &ifModifiedSince,
                              bool withBody)
{
    m_file.setFileName(target.filePath);
    if (!m_file.open(QIODevice::ReadOnly)) {
        sendError(403, withBody);
        return;
    }
    const QFileInfo info(m_file);
    const qint64 size = m_file.size();
    const qint64 modified = info.lastModified().toSecsSinceEpoch();
    const QByteArray lastModified =
        "Last-Modified: " + HttpFormat::httpDate(QDateTime::fromSecsSinceEpoch(modified));

    // Faults always send a body: a test asking for one wants to see it.
    if (m_fault == Fault::None && !ifModifiedSince.isEmpty()) {
        const QDateTime since = HttpFormat::parseHttpDate(ifModifiedSince);
        if (since.isValid() && modified <= since.toSecsSinceEpoch()) {
            m_file.close();
            writeHead(304, {lastModified});
            log(304, 0);
            m_state = State::Closing;
            m_socket->disconnectFromHost();
            return;
        }
    }

    QList<QByteArray> headers = {"Content-Type: " + HttpFormat::contentType(target.filePath),
                                 lastModified};
    if (m_fault != Fault::NoLength)
        headers.append("Content-Length: " + QByteArray::number(size));
    writeHead(200, headers);

    if (!withBody)
        m_toSend = 0;
    else if (m_fault == Fault::Reset || m_fault == Fault::Truncate || m_fault == Fault::Stall)
        m_toSend = size / 2;
    else
        m_toSend = size;
    log(200, m_toSend);

    if (m_fault == Fault::Slow && m_toSend > 0) {
        m_state = State::Pacing;
        m_timer.setSingleShot(false);
        m_timer.start(kSlowIntervalMs);
        sendSlowPiece();
        return;
    }
    m_state = State::Sending;
    pump();
}

void HttpConnection::writeHead(int status, const QList<QByteArray> &headers)
{
    QByteArray head =
        "HTTP/1.1 " + QByteArray::number(status) + ' ' + HttpFormat::reasonPhrase(status) + "\r\n";
    head += "Date: " + HttpFormat::httpDate(QDateTime::currentDateTimeUtc()) + "\r\n";
    head += "Server: aurilo-httpd\r\n";
    for (const QByteArray &header : headers)
        head += header + "\r\n";
    head += "Connection: close\r\n\r\n";
    m_socket->write(head);
}

void HttpConnection::pump()
{
    if (m_state != State::Sending)
        return;
    while (m_toSend > 0 && m_socket->bytesToWrite() < kHighWater) {
        const QByteArray chunk = m_file.read(qMin(kChunk, m_toSend));
        if (chunk.isEmpty()) {
            // The file shrank or failed under us; the headers are out, so the
            // only honest signal left is to cut the connection.
            std::fprintf(stderr, "aurilo-httpd: read error on %s\n", qPrintable(m_file.fileName()));
            m_socket->abort();
            return;
        }
        m_socket->write(chunk);
        m_toSend -= chunk.size();
    }
    if (m_toSend == 0)
        bodyQueued();
}

void HttpConnection::sendSlowPiece()
{
    const QByteArray piece = m_file.read(qMin(kSlowPiece, m_toSend));
    if (piece.isEmpty()) {
        m_timer.stop();
        m_socket->abort();
        return;
    }
    m_socket->write(piece);
    m_toSend -= piece.size();
    if (m_toSend == 0) {
        m_timer.stop();
        bodyQueued();
    }
}

void HttpConnection::bodyQueued()
{
    if (m_fault == Fault::Reset) {
        // Wait until the socket has handed everything to the system, or the
        // reset would throw the partial body away with the connection.
        if (m_socket->bytesToWrite() > 0)
            return;
        m_state = State::Closing;
        QTimer::singleShot(kResetDelayMs, this, &HttpConnection::resetConnection);
        return;
    }
    if (m_fault == Fault::Stall) {
        // Neither more data nor a close: only the client's own timeout can
        // end this; its hang-up deletes the connection (see the constructor).
        m_state = State::Stalled;
        m_file.close();
        return;
    }
    m_state = State::Closing;
    m_file.close();
    m_socket->disconnectFromHost();
}

void HttpConnection::resetConnection()
{
    m_file.close();
    if (m_socket->state() != QAbstractSocket::ConnectedState)
        return;
    setResetOnClose(m_socket->socketDescriptor());
    m_socket->abort();
    deleteLater();
}

void HttpConnection::log(int status, qint64 bodyBytes)
{
    std::fprintf(stderr, "%s %s \"%s\" %d %lld%s\n",
                 qPrintable(QDateTime::currentDateTimeUtc().toString(Qt::ISODate)),
                 qPrintable(m_socket->peerAddress().toString()), m_requestLine.constData(), status,
                 static_cast<long long>(bodyBytes), faultLabel(m_fault));
    std::fflush(stderr);
}
