#pragma once

#include <QByteArray>
#include <QHash>
#include <QNetworkReply>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>

// One HTTP request at a time, run on the GUI thread and reported through
// events, the way the windows used WinHttp.WinHttpRequest with events: Open()
// prepares, Send() starts, and the answer arrives as
//
//   OnResponseStart            once the status line and headers are in, for
//                              every status (200, 404, 500 alike: the host
//                              decides what a status means)
//   OnResponseDataAvailable    for each piece of the body as it is read, never
//                              an empty one
//   OnResponseFinished         when the whole body is in
//
// or, when the transfer itself fails, OnError instead of OnResponseFinished.
// Exactly one of OnResponseFinished and OnError ends every request that was
// sent. A failure before the headers (no connection, bad address, timeout
// while connecting) raises OnError alone; a failure after them follows
// OnResponseStart and whatever data had arrived.
//
// Transport failures are: no connection, a reset or closed connection, a body
// shorter than its Content-Length, nothing received for transferTimeout()
// milliseconds, an address that is not http or https, and a redirect that
// cannot be followed. An HTTP error status is not one.
//
// Abort(), a new Open() and destroying the object end the running request at
// once; none of its events arrive afterwards, also not when the call is made
// from inside one of its own event handlers.
//
// Redirects are followed as WinHttp does by default: to any address except
// from https to http (QNetworkRequest::NoLessSafeRedirectPolicy, at most Qt's
// limit of 50). Only the final answer is reported; Status() and the headers
// are that answer's. A refused redirect ends with OnError(ErrorRedirectFailed).
//
// Requests always run asynchronously: there is no synchronous mode. Nothing
// is cached, and cookies are neither sent nor kept.
class HttpRequest : public QObject
{
    Q_OBJECT

public:
    // OnError's ErrorNumber: the WinHttp error code (ERROR_WINHTTP_*, the
    // plain Win32 number, not the HRESULT) of the same failure, so that hosts
    // written against WinHttp compare against the numbers they know.
    enum ErrorNumber
    {
        ErrorTimeout = 12002,            // nothing received for transferTimeout()
        ErrorInternal = 12004,           // any failure without a closer match
        ErrorInvalidUrl = 12005,         // the address cannot be parsed
        ErrorUnrecognizedScheme = 12006, // not http or https
        ErrorNameNotResolved = 12007,    // unknown host name
        ErrorCannotConnect = 12029,      // connection refused or network unreachable
        ErrorConnection = 12030,         // connection reset or closed, body cut short
        ErrorInvalidServerResponse = 12152,
        ErrorRedirectFailed = 12156, // too many redirects, or https to http
        ErrorSecureFailure = 12175,  // TLS handshake or certificate
    };
    Q_ENUM(ErrorNumber)

    explicit HttpRequest(QObject *parent = nullptr, const QString &name = QString());
    ~HttpRequest() override;

    // Prepares a request; it starts with Send(). A request still running is
    // aborted first and raises nothing more. The method is sent as given, but
    // GET, HEAD, POST, PUT and DELETE are recognised in any case; an empty one
    // is GET. The address is checked by Send(). async false is not supported:
    // the request runs asynchronously all the same, and a warning is logged.
    void Open(const QString &method, const QString &url, bool async = true);

    // Starts the prepared request with body (sent only when not empty, as
    // application/x-www-form-urlencoded). Returns false when it cannot start:
    // without a prepared request (no Open(), or already sent), nothing
    // happens; for an address that cannot be requested (not http or https,
    // or no address at all), OnError follows from the event loop like any
    // failure, and Abort() or Open() stops it.
    bool Send(const QByteArray &body = QByteArray());

    // Stops the running request; no further events. What arrived so far
    // stays readable until the next Open().
    void Abort();

    bool isRunning() const { return m_reply != nullptr; }

    // The answer so far: the status (0 before the headers), its reason
    // phrase, a header's value (empty when missing; names in any case) and
    // every body byte received, also after OnResponseFinished or OnError.
    int Status() const { return m_status; }
    QString StatusText() const { return m_statusText; }
    QString GetResponseHeader(const QString &name) const;
    QByteArray ResponseBody() const { return m_body; }

    // How long a transfer may receive nothing before it fails with
    // ErrorTimeout (0: no limit); applies to requests sent afterwards.
    static constexpr int kDefaultTransferTimeoutMs = 30'000;
    void setTransferTimeout(int msecs) { m_transferTimeoutMs = msecs; }
    int transferTimeout() const { return m_transferTimeoutMs; }

signals:
    void OnResponseStart(int Status, const QString &ContentType);
    void OnResponseDataAvailable(const QByteArray &Data);
    void OnResponseFinished();
    void OnError(int ErrorNumber, const QString &ErrorDescription);

private:
    bool deliver(QNetworkReply *reply);
    void onFinished();
    void discard();

    QByteArray m_method;
    QString m_url;
    bool m_prepared = false;

    QPointer<QNetworkReply> m_reply;
    bool m_started = false;
    int m_status = 0;
    QString m_statusText;
    QHash<QByteArray, QByteArray> m_headers; // names in lower case
    QByteArray m_body;

    int m_transferTimeoutMs = kDefaultTransferTimeoutMs;
    // Delivers the failure of a request that could not start; a member, not a
    // free single-shot, so that Abort() or the next Open() can stop it.
    QTimer m_startFailure;
    int m_startError = 0;
};
