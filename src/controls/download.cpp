#include "download.h"

#include "logging.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QNetworkAccessManager>
#include <QNetworkDiskCache>
#include <QNetworkReply>
#include <QStandardPaths>
#include <QTemporaryFile>
#include <QTimer>

#include <algorithm>
#include <limits>

namespace {

// Qt takes a cached entry without asking the server while it counts as fresh,
// and for an answer with Last-Modified but neither Expires nor max-age it
// guesses the freshness as a tenth of the entry's age: a version file last
// changed a year ago would come from the cache for five weeks, and a new
// catalog would go unseen. Reporting every entry as long expired makes Qt send
// the conditional request (If-Modified-Since, If-None-Match) every time and
// serve the cached body only when the server answers 304. Done on reading, so
// entries written before this rule are covered too.
class RevalidatingDiskCache : public QNetworkDiskCache
{
public:
    using QNetworkDiskCache::QNetworkDiskCache;

    QNetworkCacheMetaData metaData(const QUrl &url) override
    {
        QNetworkCacheMetaData data = QNetworkDiskCache::metaData(url);
        if (data.isValid())
            data.setExpirationDate(QDateTime::fromSecsSinceEpoch(0, Qt::UTC));
        return data;
    }
};

QNetworkAccessManager &manager()
{
    // One manager for the GUI thread, with a disk cache shared by all downloads.
    static QNetworkAccessManager *theManager = [] {
        auto *m = new QNetworkAccessManager(QCoreApplication::instance());
        auto *cache = new RevalidatingDiskCache(m);
        QString folder = QStandardPaths::writableLocation(QStandardPaths::CacheLocation);
        if (folder.isEmpty())
            folder = QDir::temp().filePath(QStringLiteral("aurilo-cache"));
        cache->setCacheDirectory(folder + QStringLiteral("/downloads"));
        m->setCache(cache);
        m->setRedirectPolicy(QNetworkRequest::NoLessSafeRedirectPolicy);
        return m;
    }();
    return *theManager;
}

int clampToInt(qint64 value)
{
    return int(std::clamp<qint64>(value, 0, std::numeric_limits<int>::max()));
}

} // namespace

DownLoad::DownLoad(QObject *parent, const QString &name) : QObject(parent)
{
    setObjectName(name);
    m_startFailure.setSingleShot(true);
    m_startFailure.setInterval(0);
    connect(&m_startFailure, &QTimer::timeout, this,
            [this] { emit AsyncReadComplete(true, QString()); });
}

DownLoad::~DownLoad()
{
    discard();
}

bool DownLoad::OpenUrl(const QString &szUrl)
{
    discard(); // a read still pending is cancelled first

    const QUrl url(szUrl.trimmed());
    if (!url.isValid() || (url.scheme() != u"http" && url.scheme() != u"https")) {
        qCWarning(lcControls) << objectName() << "cannot read" << szUrl;
        m_startFailure.start();
        return false;
    }

    m_file = std::make_unique<QTemporaryFile>(QDir::temp().filePath(QStringLiteral("aurilo-XXXXXX.part")));
    m_file->setAutoRemove(false); // the host moves the finished file away
    if (!m_file->open()) {
        qCWarning(lcControls) << objectName() << "no temporary file:" << m_file->errorString();
        m_file.reset();
        m_startFailure.start();
        return false;
    }
    m_writeFailed = false;

    QNetworkRequest request(url);
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute,
                         QNetworkRequest::PreferNetwork);
    // A server that stops sending while keeping the connection open would
    // otherwise leave the read, and the catalog's progress bar, hanging.
    request.setTransferTimeout(m_transferTimeoutMs);
    m_reply = manager().get(request);
    connect(m_reply, &QNetworkReply::readyRead, this, &DownLoad::onReadyRead);
    connect(m_reply, &QNetworkReply::downloadProgress, this, [this](qint64 received, qint64 total) {
        emit AsyncReadProgress(clampToInt(received), total > 0 ? clampToInt(total) : 0);
    });
    connect(m_reply, &QNetworkReply::finished, this, &DownLoad::onFinished);
    return true;
}

bool DownLoad::Cancel()
{
    if (!m_reply && !m_startFailure.isActive())
        return false;
    discard();
    return true;
}

void DownLoad::onReadyRead()
{
    if (!m_reply->isOpen())
        return; // closed by the transfer timeout; what arrived is already written
    const QByteArray chunk = m_reply->readAll();
    if (m_file && !m_writeFailed && m_file->write(chunk) != chunk.size())
        m_writeFailed = true; // disk full: the download fails, the host keeps its old file
}

void DownLoad::onFinished()
{
    QNetworkReply *reply = m_reply;
    onReadyRead();
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    const QVariant announced = reply->header(QNetworkRequest::ContentLengthHeader);
    const bool fromCache = reply->attribute(QNetworkRequest::SourceIsFromCacheAttribute).toBool();
    const qint64 received = m_file ? m_file->size() : 0;
    // Qt may finish a reply without error although the connection closed
    // before the announced length arrived; a short body is never a file.
    const bool shortBody = announced.isValid() && !fromCache && received < announced.toLongLong();
    const bool failed = reply->error() != QNetworkReply::NoError || status >= 400 || shortBody ||
                        m_writeFailed || !m_file;
    if (failed) {
        // Our own cancellations never get here (discard() disconnects first),
        // so a cancelled reply is one that Qt's transfer timeout stopped.
        const QString reason = reply->error() == QNetworkReply::OperationCanceledError
                                   ? QStringLiteral("nothing received for %1 ms")
                                         .arg(reply->request().transferTimeout())
                                   : reply->errorString();
        qCInfo(lcControls) << objectName() << "download failed:" << reply->url().toString()
                           << reason << "status" << status << "bytes" << received;
    }
    QString path;
    if (!failed && m_file->flush()) {
        path = m_file->fileName();
        m_file->close();
        m_file.reset();
    }
    m_reply = nullptr;
    reply->deleteLater();
    discard();
    emit AsyncReadComplete(path.isEmpty(), path);
}

void DownLoad::discard()
{
    m_startFailure.stop();
    if (m_reply) {
        QNetworkReply *reply = m_reply;
        m_reply = nullptr;
        reply->disconnect(this);
        reply->abort();
        reply->deleteLater();
    }
    if (m_file) {
        m_file->remove();
        m_file.reset();
    }
}
