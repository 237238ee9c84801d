#include "browserhost.h"

#include "hostpage.h"
#include "logging.h"
#include "playerschemehandler.h"

#include <QCoreApplication>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QVBoxLayout>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineScript>
#include <QWebEngineScriptCollection>
#include <QWebEngineSettings>
#include <QWebEngineView>

#include <limits>
#include <unistd.h>

namespace {

// A movie download that stalls this long is given up, so that the player's
// progress always comes to an end.
constexpr int kStallTimeoutMs = 30000;
// Sizes past what a 32-bit pair can hold are reported in millionths.
constexpr qint64 kScaledProgressMax = 1000000;

// Chromium switches for the engine's processes. An audio book goes on
// speaking for hours behind other windows or minimised, where Chromium would
// lower the renderer's priority and throttle a hidden page's timers ever
// harder. (Autoplay needs no switch: the pages' settings allow it.)
const char *const kChromiumFlags[] = {
    "--disable-renderer-backgrounding",
    "--disable-background-timer-throttling",
    "--disable-backgrounding-occluded-windows",
};

void addChromiumFlags()
{
    QByteArray flags = qgetenv("QTWEBENGINE_CHROMIUM_FLAGS");
    for (const char *flag : kChromiumFlags) {
        // A switch the user set already wins.
        if (flags.contains(flag))
            continue;
        if (!flags.isEmpty())
            flags += ' ';
        flags += flag;
    }
    qputenv("QTWEBENGINE_CHROMIUM_FLAGS", flags);
}

} // namespace

BrowserHost::BrowserHost(QWidget *parent) : QWidget(parent)
{
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    m_view = new QWebEngineView(this);
    // The engine's menu offers Back, Reload and View Source, none of which
    // belongs in a player or an advertisement.
    m_view->setContextMenuPolicy(Qt::NoContextMenu);
    layout->addWidget(m_view);
    m_network = new QNetworkAccessManager(this);
    replacePage();
}

BrowserHost::~BrowserHost()
{
    cancelFetch();
    if (!m_movieUrl.isEmpty())
        PlayerSchemeHandler::forProfile(QWebEngineProfile::defaultProfile())
            ->removeMovie(m_movieUrl);
    // The page goes before the view that shows it.
    delete m_page;
    m_page = nullptr;
}

void BrowserHost::registerSchemes()
{
    static bool registered = false;
    if (registered)
        return;
    registered = true;
    PlayerSchemeHandler::registerScheme();
    addChromiumFlags();
    if (::geteuid() == 0 && !qEnvironmentVariableIsSet("QTWEBENGINE_DISABLE_SANDBOX"))
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    // The engine shares its OpenGL context with the widgets' and asks for this
    // before the application object exists.
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
}

bool BrowserHost::isSwfAddress(const QString &address)
{
    return QUrl(address).path().endsWith(QLatin1String(".swf"), Qt::CaseInsensitive);
}

std::pair<int, int> BrowserHost::downloadProgress(qint64 received, qint64 total)
{
    received = qMax<qint64>(received, 0);
    qint64 max = total;
    if (total <= 0)
        max = received + kUnknownSizeTail;
    // The end is reported once the movie is in the player, not by the download.
    received = qMin(received, max - 1);
    if (max > std::numeric_limits<int>::max()) {
        received = received * kScaledProgressMax / max;
        max = kScaledProgressMax;
        received = qMin(received, max - 1);
    }
    return {int(received), int(max)};
}

void BrowserHost::Navigate(const QString &requested)
{
    // Stored addresses come padded with blanks to their field's width;
    // blanks around an address are never part of it.
    const QString address = requested.trimmed();
    m_location = address;
    m_lastLoadFailed = false;
    cancelFetch();
    replacePage();
    QUrl url(address);
    m_notAnAddress = !url.isValid() || url.isRelative();
    if (m_notAnAddress) {
        // Nothing the engine could load, and it would never report an end:
        // show a blank page in its place, which ends like any other.
        qCWarning(lcWinfra) << "browser: not an address:" << address;
        url = QUrl(QStringLiteral("about:blank"));
    } else if (isSwfAddress(address)) {
        startFetch(url);
        return;
    }
    m_mode = Mode::Page;
    m_progressMax = kPageProgressMax;
    m_page->loadAsked(url);
}

void BrowserHost::replacePage()
{
    QWebEngineProfile *profile = QWebEngineProfile::defaultProfile();
    auto *page = new HostPage(profile, this);
    // A play request is the click that starts the sound; the engine must not
    // wait for another one inside the page.
    page->settings()->setAttribute(QWebEngineSettings::PlaybackRequiresUserGesture, false);
    connect(page, &QWebEnginePage::loadProgress, this, &BrowserHost::pageProgress);
    connect(page, &HostPage::askedLoadFinished, this, &BrowserHost::pageFinished);
    m_view->setPage(page);

    if (m_page) {
        // Later, because Navigate may be called from a handler of the old
        // page's own signal; its sound stops now all the same, with its signals.
        m_page->disconnect(this);
        m_page->setAudioMuted(true);
        m_page->deleteLater();
    }
    m_page = page;
    installVisibleAreaScript();
    if (!m_movieUrl.isEmpty()) {
        PlayerSchemeHandler::forProfile(profile)->removeMovie(m_movieUrl);
        m_movieUrl.clear();
    }
}

void BrowserHost::cancelFetch()
{
    if (!m_reply)
        return;
    QNetworkReply *reply = m_reply;
    m_reply = nullptr;
    reply->disconnect(this);
    reply->abort();
    reply->deleteLater();
}

void BrowserHost::startFetch(const QUrl &url)
{
    m_mode = Mode::Fetching;
    m_progressMax = downloadProgress(0, -1).second;
    QNetworkRequest request(url);
    request.setTransferTimeout(kStallTimeoutMs);
    m_reply = m_network->get(request);
    connect(m_reply, &QNetworkReply::downloadProgress, this, &BrowserHost::fetchProgress);
    connect(m_reply, &QNetworkReply::finished, this, &BrowserHost::fetchFinished);
}

void BrowserHost::fetchProgress(qint64 received, qint64 total)
{
    const auto [progress, max] = downloadProgress(received, total);
    m_progressMax = max;
    emit ProgressChange(progress, max);
}

void BrowserHost::fetchFinished()
{
    QNetworkReply *reply = m_reply;
    m_reply = nullptr;
    if (!reply)
        return;
    reply->deleteLater();

    const QByteArray bytes = reply->readAll();
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    const QVariant length = reply->header(QNetworkRequest::ContentLengthHeader);
    const bool truncated = length.isValid() && bytes.size() < length.toLongLong();
    if (reply->error() != QNetworkReply::NoError || status >= 400 || truncated) {
        // Like a browser that could not load the address: nothing to show,
        // the progress ends, and the next play request starts afresh.
        qCWarning(lcWinfra) << "browser: movie not loaded:" << reply->url().toString()
                            << reply->errorString() << "status" << status << "bytes"
                            << bytes.size();
        m_mode = Mode::Done;
        m_lastLoadFailed = true;
        finish(m_progressMax);
        return;
    }

    m_progressMax = downloadProgress(bytes.size(), bytes.size()).second;
    auto *handler = PlayerSchemeHandler::forProfile(QWebEngineProfile::defaultProfile());
    m_movieUrl = handler->addMovie(bytes);
    const QUrl base =
        reply->url().adjusted(QUrl::RemoveFilename | QUrl::RemoveQuery | QUrl::RemoveFragment);
    m_mode = Mode::Player;
    m_page->loadAsked(PlayerSchemeHandler::playerPage(m_movieUrl, base));
}

void BrowserHost::pageProgress(int progress)
{
    // The player page's own progress says nothing about the movie: its bytes
    // are all there already.
    if (m_mode == Mode::Page && progress < kPageProgressMax)
        emit ProgressChange(progress, kPageProgressMax);
}

void BrowserHost::pageFinished(bool ok)
{
    if (!ok)
        qCInfo(lcWinfra) << "browser: page not loaded:" << m_location;
    if (m_mode == Mode::Page) {
        m_mode = Mode::Done;
        m_lastLoadFailed = !ok || m_notAnAddress;
        finish(kPageProgressMax);
    } else if (m_mode == Mode::Player) {
        m_mode = Mode::Done;
        m_lastLoadFailed = !ok;
        // The page may have been created while the area was changing.
        pushVisibleArea();
        finish(m_progressMax);
    }
}

void BrowserHost::finish(int progressMax)
{
    m_progressMax = progressMax;
    emit ProgressChange(progressMax, progressMax);
}

QRect BrowserHost::visibleArea() const
{
    QRect area = rect();
    for (const QWidget *container = parentWidget(); container;
         container = container->parentWidget()) {
        area &= QRect(mapFrom(container, QPoint(0, 0)), container->size());
        if (container->isWindow())
            break;
    }
    return area;
}

void BrowserHost::updateVisibleArea()
{
    const QRect area = visibleArea();
    if (area == m_visibleArea)
        return;
    m_visibleArea = area;
    installVisibleAreaScript();
    pushVisibleArea();
}

QString BrowserHost::visibleAreaObject() const
{
    return QStringLiteral("{left: %1, top: %2, width: %3, height: %4}")
        .arg(m_visibleArea.left())
        .arg(m_visibleArea.top())
        .arg(m_visibleArea.width())
        .arg(m_visibleArea.height());
}

void BrowserHost::installVisibleAreaScript()
{
    // Every document of the page starts with the area, before the player
    // page's own script places the movie; web pages never see it.
    static const QString kName = QStringLiteral("aurilo-visible-area");
    QWebEngineScriptCollection &scripts = m_page->scripts();
    for (const QWebEngineScript &old : scripts.find(kName))
        scripts.remove(old);
    if (!m_visibleArea.isValid())
        return;
    QWebEngineScript script;
    script.setName(kName);
    script.setInjectionPoint(QWebEngineScript::DocumentCreation);
    script.setWorldId(QWebEngineScript::MainWorld);
    script.setRunsOnSubFrames(false);
    script.setSourceCode(
        QStringLiteral("if (location.protocol === \"%1:\") "
                       "window.auriloVisibleArea = %2;")
            .arg(QLatin1String(PlayerSchemeHandler::kScheme), visibleAreaObject()));
    scripts.insert(script);
}

void BrowserHost::pushVisibleArea()
{
    // The document already shown.
    if (!m_visibleArea.isValid() ||
        m_page->url().scheme() != QLatin1String(PlayerSchemeHandler::kScheme))
        return;
    m_page->runJavaScript(
        QStringLiteral("window.auriloSetVisibleArea && window.auriloSetVisibleArea(%1);")
            .arg(visibleAreaObject()));
}

void BrowserHost::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    updateVisibleArea();
}

void BrowserHost::moveEvent(QMoveEvent *event)
{
    QWidget::moveEvent(event);
    updateVisibleArea();
}

void BrowserHost::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    updateVisibleArea();
}
