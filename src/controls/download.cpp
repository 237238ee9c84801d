#include "download.h"

#include "logging.h"

#include <QCoreApplication>
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

QNetworkAccessManager &manager()
{
    // One manager for the GUI thread, with a disk cache shared by all downloads.
    static QNetworkAccessManager *theManager = [] {
        auto *m = new QNetworkAccessManager(QCoreApplication::instance());
        auto *cache = new QNetworkDiskCache(m);
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
        QTimer::singleShot(0, this, [this] { emit AsyncReadComplete(true, QString()); });
        return false;
    }

    m_file = std::make_unique<QTemporaryFile>(QDir::temp().filePath(QStringLiteral("aurilo-XXXXXX.part")));
    m_file->setAutoRemove(false); // the host moves the finished file away
    if (!m_file->open()) {
        qCWarning(lcControls) << objectName() << "no temporary file:" << m_file->errorString();
        m_file.reset();
        QTimer::singleShot(0, this, [this] { emit AsyncReadComplete(true, QString()); });
        return false;
    }
    m_writeFailed = false;

    QNetworkRequest request(url);
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute,
                         QNetworkRequest::PreferNetwork);
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
    if (!m_reply)
        return false;
    discard();
    return true;
}

void DownLoad::onReadyRead()
{
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
        qCInfo(lcControls) << objectName() << "download failed:" << reply->url().toString()
                           << reply->errorString() << "status" << status << "bytes" << received;
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
