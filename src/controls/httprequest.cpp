#include "httprequest.h"

#include "logging.h"

#include <QCoreApplication>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>

namespace {

QNetworkAccessManager &manager()
{
    // One manager for the GUI thread's requests, without a cache: every
    // request asks the server.
    static QNetworkAccessManager *theManager = [] {
        auto *m = new QNetworkAccessManager(QCoreApplication::instance());
        m->setRedirectPolicy(QNetworkRequest::NoLessSafeRedirectPolicy);
        return m;
    }();
    return *theManager;
}

// Qt turns an HTTP error status into a NetworkError as well; those replies are
// answers like any other, not failed transfers.
bool isHttpStatusError(QNetworkReply::NetworkError error)
{
    const int code = int(error);
    return (code >= QNetworkReply::ContentAccessDenied &&
            code <= QNetworkReply::UnknownContentError &&
            error != QNetworkReply::ContentReSendError) ||
           error == QNetworkReply::ProtocolInvalidOperationError ||
           error == QNetworkReply::ProxyAuthenticationRequiredError ||
           (code >= QNetworkReply::InternalServerError &&
            code <= QNetworkReply::UnknownServerError);
}

int errorNumber(QNetworkReply::NetworkError error)
{
    switch (error) {
    case QNetworkReply::TimeoutError:
    case QNetworkReply::ProxyTimeoutError:
    // Our own cancellations never get this far (discard() disconnects first),
    // so a cancelled reply is one that Qt's transfer timeout stopped.
    case QNetworkReply::OperationCanceledError:
        return HttpRequest::ErrorTimeout;
    case QNetworkReply::HostNotFoundError:
    case QNetworkReply::ProxyNotFoundError:
        return HttpRequest::ErrorNameNotResolved;
    case QNetworkReply::ConnectionRefusedError:
    case QNetworkReply::ProxyConnectionRefusedError:
    case QNetworkReply::TemporaryNetworkFailureError:
    case QNetworkReply::NetworkSessionFailedError:
        return HttpRequest::ErrorCannotConnect;
    case QNetworkReply::RemoteHostClosedError:
    case QNetworkReply::ProxyConnectionClosedError:
        return HttpRequest::ErrorConnection;
    case QNetworkReply::SslHandshakeFailedError:
        return HttpRequest::ErrorSecureFailure;
    case QNetworkReply::TooManyRedirectsError:
    case QNetworkReply::InsecureRedirectError:
        return HttpRequest::ErrorRedirectFailed;
    case QNetworkReply::ProtocolUnknownError:
        return HttpRequest::ErrorUnrecognizedScheme;
    case QNetworkReply::ProtocolFailure:
        return HttpRequest::ErrorInvalidServerResponse;
    default:
        return HttpRequest::ErrorInternal;
    }
}

// What a Chinese Windows says for the same WinHttp error.
QString errorDescription(int number)
{
    switch (number) {
    case HttpRequest::ErrorTimeout:
        return QStringLiteral("操作超时");
    case HttpRequest::ErrorInvalidUrl:
        return QStringLiteral("URL 无效");
    case HttpRequest::ErrorUnrecognizedScheme:
        return QStringLiteral("无法识别 URL 的协议");
    case HttpRequest::ErrorNameNotResolved:
        return QStringLiteral("无法解析服务器的名称或地址");
    case HttpRequest::ErrorCannotConnect:
        return QStringLiteral("无法与服务器建立连接");
    case HttpRequest::ErrorConnection:
        return QStringLiteral("与服务器的连接意外终止");
    case HttpRequest::ErrorInvalidServerResponse:
        return QStringLiteral("服务器返回的响应无效或无法识别");
    case HttpRequest::ErrorRedirectFailed:
        return QStringLiteral("重定向失败");
    case HttpRequest::ErrorSecureFailure:
        return QStringLiteral("发生了安全错误");
    default:
        return QStringLiteral("出现了内部错误");
    }
}

// Whether the answer to method with status carries a body at all.
bool hasBody(const QByteArray &method, int status)
{
    return method != "HEAD" && status >= 200 && status != 204 && status != 304;
}

// The statuses whose Location Qt follows.
bool isFollowedRedirect(int status)
{
    return status == 301 || status == 302 || status == 303 || status == 305 || status == 307 ||
           status == 308;
}

} // namespace

HttpRequest::HttpRequest(QObject *parent, const QString &name) : QObject(parent)
{
    setObjectName(name);
    m_startFailure.setSingleShot(true);
    m_startFailure.setInterval(0);
    connect(&m_startFailure, &QTimer::timeout, this,
            [this] { emit OnError(m_startError, errorDescription(m_startError)); });
}

HttpRequest::~HttpRequest()
{
    discard();
}

void HttpRequest::Open(const QString &method, const QString &url, bool async)
{
    discard(); // a request still running ends here, silently
    if (!async)
        qCWarning(lcControls) << objectName() << "synchronous requests are not supported;" << url
                              << "runs asynchronously";
    m_method = method.trimmed().toLatin1();
    if (m_method.isEmpty())
        m_method = "GET";
    for (const char *known : {"GET", "HEAD", "POST", "PUT", "DELETE"}) {
        if (m_method.compare(known, Qt::CaseInsensitive) == 0)
            m_method = known;
    }
    m_url = url;
    m_prepared = true;
    m_started = false;
    m_status = 0;
    m_statusText.clear();
    m_headers.clear();
    m_body.clear();
}

bool HttpRequest::Send(const QByteArray &body)
{
    if (!m_prepared) {
        qCWarning(lcControls) << objectName() << "Send() without Open()";
        return false;
    }
    m_prepared = false;

    const QUrl url(m_url.trimmed(), QUrl::StrictMode);
    if (url.isValid() && url.scheme() != u"http" && url.scheme() != u"https")
        m_startError = ErrorUnrecognizedScheme;
    else if (!url.isValid() || url.host().isEmpty())
        m_startError = ErrorInvalidUrl;
    else
        m_startError = 0;
    if (m_startError != 0) {
        qCWarning(lcControls) << objectName() << "cannot request" << m_url;
        m_startFailure.start();
        return false;
    }

    QNetworkRequest request(url);
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute,
                         QNetworkRequest::AlwaysNetwork);
    request.setAttribute(QNetworkRequest::CacheSaveControlAttribute, false);
    request.setAttribute(QNetworkRequest::CookieLoadControlAttribute, QNetworkRequest::Manual);
    request.setAttribute(QNetworkRequest::CookieSaveControlAttribute, QNetworkRequest::Manual);
    // A server that stops sending while keeping the connection open would
    // otherwise leave the request, and the window waiting for it, hanging.
    request.setTransferTimeout(m_transferTimeoutMs);
    if (!body.isEmpty())
        request.setHeader(QNetworkRequest::ContentTypeHeader,
                          QStringLiteral("application/x-www-form-urlencoded"));

    QNetworkAccessManager &network = manager();
    // Qt knows that a HEAD answer has no body only when asked through head().
    if (m_method == "GET" && body.isEmpty())
        m_reply = network.get(request);
    else if (m_method == "HEAD" && body.isEmpty())
        m_reply = network.head(request);
    else if (m_method == "POST")
        m_reply = network.post(request, body);
    else if (m_method == "PUT")
        m_reply = network.put(request, body);
    else if (m_method == "DELETE" && body.isEmpty())
        m_reply = network.deleteResource(request);
    else
        m_reply = network.sendCustomRequest(request, m_method, body);

    QNetworkReply *reply = m_reply;
    connect(reply, &QNetworkReply::metaDataChanged, this, [this, reply] { deliver(reply); });
    connect(reply, &QNetworkReply::readyRead, this, [this, reply] { deliver(reply); });
    connect(reply, &QNetworkReply::finished, this, &HttpRequest::onFinished);
    return true;
}

void HttpRequest::Abort()
{
    m_prepared = false;
    discard();
}

QString HttpRequest::GetResponseHeader(const QString &name) const
{
    return QString::fromLatin1(m_headers.value(name.trimmed().toLatin1().toLower()));
}

// Raises OnResponseStart once the headers are in and OnResponseDataAvailable
// for what has been read. False when a handler aborted or replaced the
// request: the caller must then leave it alone.
bool HttpRequest::deliver(QNetworkReply *reply)
{
    const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    if (!m_started && status.isValid()) {
        // A redirect that Qt follows is not the answer, although Qt reports
        // its headers; one it refuses finishes the reply with an error.
        if (isFollowedRedirect(status.toInt()) && reply->hasRawHeader("Location") &&
            !reply->isFinished())
            return true;
        m_started = true;
        m_status = status.toInt();
        m_statusText = QString::fromLatin1(
            reply->attribute(QNetworkRequest::HttpReasonPhraseAttribute).toByteArray());
        for (const auto &[name, value] : reply->rawHeaderPairs()) {
            QByteArray &stored = m_headers[name.toLower()];
            stored = stored.isEmpty() ? value : stored + ", " + value;
        }
        emit OnResponseStart(m_status, GetResponseHeader(QStringLiteral("Content-Type")));
        if (m_reply != reply)
            return false;
    }
    if (!m_started || !reply->isOpen())
        return true; // closed by the transfer timeout; what arrived is delivered
    const QByteArray chunk = reply->readAll();
    if (chunk.isEmpty())
        return true;
    m_body += chunk;
    emit OnResponseDataAvailable(chunk);
    return m_reply == reply;
}

void HttpRequest::onFinished()
{
    QNetworkReply *reply = m_reply;
    if (!deliver(reply))
        return;

    const QNetworkReply::NetworkError error = reply->error();
    int number = 0;
    QString detail;
    if (error != QNetworkReply::NoError && !(m_started && isHttpStatusError(error))) {
        number = errorNumber(error);
        detail = error == QNetworkReply::OperationCanceledError
                     ? QStringLiteral("nothing received for %1 ms")
                           .arg(reply->request().transferTimeout())
                     : reply->errorString();
    } else if (!m_started) {
        number = ErrorInvalidServerResponse;
        detail = QStringLiteral("finished without an HTTP status");
    } else {
        // Qt may finish a reply without error although the connection closed
        // before the announced length arrived. A decoded body (gzip) need not
        // match the length of what was sent, so only a plain one is measured.
        const QVariant announced = reply->header(QNetworkRequest::ContentLengthHeader);
        const QByteArray encoding = m_headers.value("content-encoding");
        if (hasBody(m_method, m_status) && announced.isValid() &&
            (encoding.isEmpty() || encoding.compare("identity", Qt::CaseInsensitive) == 0) &&
            m_body.size() < announced.toLongLong()) {
            number = ErrorConnection;
            detail = QStringLiteral("body cut short: %1 of %2 bytes")
                         .arg(m_body.size())
                         .arg(announced.toLongLong());
        }
    }

    m_reply = nullptr;
    reply->disconnect(this);
    reply->deleteLater();
    if (number != 0) {
        qCInfo(lcControls) << objectName() << "request failed:" << m_method
                           << reply->url().toString() << detail << "status" << m_status << "bytes"
                           << m_body.size();
        emit OnError(number, errorDescription(number));
        return;
    }
    emit OnResponseFinished();
}

void HttpRequest::discard()
{
    m_startFailure.stop();
    if (m_reply) {
        QNetworkReply *reply = m_reply;
        m_reply = nullptr;
        reply->disconnect(this);
        reply->abort();
        reply->deleteLater();
    }
}
