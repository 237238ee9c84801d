#include "playerschemehandler.h"

#include "logging.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QUrlQuery>
#include <QWebEngineProfile>
#include <QWebEngineUrlRequestJob>
#include <QWebEngineUrlScheme>

namespace {

constexpr char kHost[] = "app";

QString &ruffleFolderOverride()
{
    static QString folder;
    return folder;
}

QByteArray contentType(const QString &fileName)
{
    static const QHash<QString, QByteArray> types = {
        {QStringLiteral("html"), QByteArrayLiteral("text/html")},
        {QStringLiteral("js"), QByteArrayLiteral("text/javascript")},
        {QStringLiteral("css"), QByteArrayLiteral("text/css")},
        // Ruffle compiles its core while it downloads only when the type is right.
        {QStringLiteral("wasm"), QByteArrayLiteral("application/wasm")},
        {QStringLiteral("json"), QByteArrayLiteral("application/json")},
        {QStringLiteral("map"), QByteArrayLiteral("application/json")},
        {QStringLiteral("swf"), QByteArrayLiteral("application/x-shockwave-flash")},
    };
    const QString suffix = fileName.section(u'.', -1).toLower();
    return types.value(suffix, QByteArrayLiteral("application/octet-stream"));
}

// A plain file name: no folder part, nothing that climbs out of the folder.
bool isPlainFileName(const QString &name)
{
    return !name.isEmpty() && !name.contains(u'/') && !name.contains(u'\\') &&
           name != QLatin1String(".") && name != QLatin1String("..");
}

} // namespace

PlayerSchemeHandler::PlayerSchemeHandler(QObject *parent) : QWebEngineUrlSchemeHandler(parent) {}

void PlayerSchemeHandler::registerScheme()
{
    QWebEngineUrlScheme scheme(kScheme);
    scheme.setSyntax(QWebEngineUrlScheme::Syntax::Host);
    // Not a secure scheme: a secure page may not reach plain http, and a
    // movie's own requests go to the content server, which may well be http.
    scheme.setFlags({});
    QWebEngineUrlScheme::registerScheme(scheme);
}

PlayerSchemeHandler *PlayerSchemeHandler::forProfile(QWebEngineProfile *profile)
{
    // The handler is the profile's child; the engine accepts only one per scheme.
    if (auto *installed =
            profile->findChild<PlayerSchemeHandler *>(QString(), Qt::FindDirectChildrenOnly))
        return installed;
    auto *handler = new PlayerSchemeHandler(profile);
    profile->installUrlSchemeHandler(QByteArray(kScheme), handler);
    return handler;
}

QString PlayerSchemeHandler::ruffleFolder()
{
    if (!ruffleFolderOverride().isEmpty())
        return ruffleFolderOverride();
    return QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("ruffle"));
}

void PlayerSchemeHandler::setRuffleFolder(const QString &folder)
{
    ruffleFolderOverride() = folder;
}

QUrl PlayerSchemeHandler::playerPage(const QUrl &movieUrl, const QUrl &base)
{
    QUrl page;
    page.setScheme(QLatin1String(kScheme));
    page.setHost(QLatin1String(kHost));
    page.setPath(QStringLiteral("/player/player.html"));
    QUrlQuery query;
    query.addQueryItem(QStringLiteral("movie"),
                       QString::fromLatin1(QUrl::toPercentEncoding(movieUrl.toString())));
    if (base.isValid())
        query.addQueryItem(QStringLiteral("base"),
                           QString::fromLatin1(QUrl::toPercentEncoding(base.toString())));
    page.setQuery(query);
    return page;
}

QUrl PlayerSchemeHandler::addMovie(const QByteArray &bytes)
{
    const QString name = QStringLiteral("%1.swf").arg(m_nextMovie++);
    m_movies.insert(name, bytes);
    QUrl url;
    url.setScheme(QLatin1String(kScheme));
    url.setHost(QLatin1String(kHost));
    url.setPath(QStringLiteral("/movie/") + name);
    return url;
}

void PlayerSchemeHandler::removeMovie(const QUrl &url)
{
    m_movies.remove(url.path().section(u'/', -1));
}

void PlayerSchemeHandler::requestStarted(QWebEngineUrlRequestJob *job)
{
    const QUrl url = job->requestUrl();
    if (url.host() != QLatin1String(kHost)) {
        job->fail(QWebEngineUrlRequestJob::UrlNotFound);
        return;
    }
    // "/<folder>/<file>"
    const QStringList parts = url.path().split(u'/');
    if (parts.size() != 3 || !parts.at(0).isEmpty() || !isPlainFileName(parts.at(2))) {
        job->fail(QWebEngineUrlRequestJob::UrlNotFound);
        return;
    }
    const QString &folder = parts.at(1);
    const QString &name = parts.at(2);

    if (folder == QLatin1String("movie")) {
        const auto movie = m_movies.constFind(name);
        if (movie == m_movies.constEnd()) {
            job->fail(QWebEngineUrlRequestJob::UrlNotFound);
            return;
        }
        auto *buffer = new QBuffer(job);
        buffer->setData(*movie);
        job->reply(contentType(name), buffer);
        return;
    }

    QString path;
    if (folder == QLatin1String("player"))
        path = QStringLiteral(":/player/") + name;
    else if (folder == QLatin1String("ruffle"))
        path = QDir(ruffleFolder()).filePath(name);
    auto *file = new QFile(path, job);
    if (path.isEmpty() || !file->open(QIODevice::ReadOnly)) {
        qCWarning(lcWinfra) << "player file not found:" << url.toString() << path;
        job->fail(QWebEngineUrlRequestJob::UrlNotFound);
        return;
    }
    job->reply(contentType(name), file);
}
