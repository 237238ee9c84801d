#include "browserhost.h"
#include "httpserver.h"
#include "playerschemehandler.h"
#include "swfbuilder.h"
#include "webwait.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineScript>
#include <QWebEngineScriptCollection>

#include <algorithm>
#include <memory>
#include <utility>

namespace {

// Generous: a movie plays about a second after Navigate, but the first page
// starts the engine's processes and a loaded machine compiles Ruffle slowly.
constexpr int kLoadTimeoutMs = 45000;

// Ruffle's state in the player page, as JSON text ("" while there is no player).
QJsonObject playerState(QWebEnginePage *page)
{
    const QString script = QStringLiteral(R"((() => {
        const element = document.getElementById("player");
        if (!element) return "";
        const player = element.ruffle();
        return JSON.stringify({readyState: player.readyState, metadata: player.metadata,
                               playing: player.isPlaying, ticks: window.ticks || 0,
                               audio: (window.audioContexts || []).map(c => c.state)});
    })())");
    return QJsonDocument::fromJson(evaluate(page, script).toString().toUtf8()).object();
}

int ticks(BrowserHost &host)
{
    return playerState(host.page()).value(QStringLiteral("ticks")).toInt();
}

bool isFinal(const QList<QVariant> &pair)
{
    return pair.at(0).toInt() == pair.at(1).toInt();
}

bool hasFinal(const QSignalSpy &spy)
{
    return std::any_of(spy.cbegin(), spy.cend(), isFinal);
}

// A loopback port with nothing listening on it.
int closedPort()
{
    QTcpServer server;
    server.listen(QHostAddress::LocalHost);
    return server.serverPort();
}

} // namespace

class TstBrowserHost : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void isSwfAddress_data();
    void isSwfAddress();
    void downloadProgress_data();
    void downloadProgress();
    void startsBlank();
    void navigateEndsProgress_data();
    void navigateEndsProgress();
    void failedMovieEndsProgressAndNextPlays_data();
    void failedMovieEndsProgressAndNextPlays();
    void playerRunsTheMovieWithSound();
    void movieKeepsPlayingWhileHidden_data();
    void movieKeepsPlayingWhileHidden();
    void playerFillsTheVisibleArea();
    void navigatingAwayDropsTheMovie();
    void laterNavigateWins();

private:
    // Navigates and waits for the final progress pair; returns the pairs,
    // none if the end never came.
    QList<QList<QVariant>> navigate(BrowserHost &host, const QString &address);
    // Waits until Ruffle in the host's page has the movie (readyState Loaded).
    QJsonObject waitForMovie(BrowserHost &host);

    QTemporaryDir m_site;
    std::unique_ptr<HttpServer> m_server;
    Swf::Movie m_movie;
    QByteArray m_movieBytes;
    QByteArray m_bigMovieBytes;
};

void TstBrowserHost::initTestCase()
{
    PlayerSchemeHandler::setRuffleFolder(QStringLiteral(AURILO_RUFFLE_DIR));
    QVERIFY2(QFile::exists(QStringLiteral(AURILO_RUFFLE_DIR "/ruffle.js")),
             "Ruffle is not beside the build's executable");

    // Keeps every audio context the pages make, to see whether sound runs.
    QWebEngineScript audio;
    audio.setName(QStringLiteral("audio"));
    audio.setInjectionPoint(QWebEngineScript::DocumentCreation);
    audio.setWorldId(QWebEngineScript::MainWorld);
    audio.setSourceCode(QStringLiteral(R"(
        window.audioContexts = [];
        window.AudioContext = class extends window.AudioContext {
            constructor(...options) { super(...options); window.audioContexts.push(this); }
        };
    )"));
    QWebEngineProfile::defaultProfile()->scripts()->insert(audio);

    QVERIFY(m_site.isValid());
    m_movieBytes = Swf::bytes(m_movie);
    Swf::Movie big = m_movie;
    big.padding = 200 * 1024;
    m_bigMovieBytes = Swf::bytes(big);
    const QList<std::pair<QString, QByteArray>> files = {
        {QStringLiteral("movie.swf"), m_movieBytes},
        {QStringLiteral("big.swf"), m_bigMovieBytes},
        {QStringLiteral("page.html"),
         QByteArrayLiteral("<!DOCTYPE html><html><body><p>page</p></body></html>")},
    };
    for (const auto &[name, bytes] : files) {
        QFile file(m_site.filePath(name));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    }
    m_server = std::make_unique<HttpServer>(m_site.path());
    QVERIFY2(m_server->isRunning(), "aurilo-httpd (AURILO_HTTPD) did not start");
}

QList<QList<QVariant>> TstBrowserHost::navigate(BrowserHost &host, const QString &address)
{
    QSignalSpy spy(&host, &BrowserHost::ProgressChange);
    host.Navigate(address);
    if (!waitUntil([&] { return hasFinal(spy); }, kLoadTimeoutMs))
        return {};
    return QList<QList<QVariant>>(spy.begin(), spy.end());
}

QJsonObject TstBrowserHost::waitForMovie(BrowserHost &host)
{
    QJsonObject state;
    const bool loaded = waitUntil(
        [&] {
            state = playerState(host.page());
            return state.value(QStringLiteral("readyState")).toInt() == 2;
        },
        kLoadTimeoutMs);
    if (!loaded) {
        qWarning() << "Ruffle did not load the movie; last state" << state;
        return state;
    }
    // Counts the passes of the movie's timeline (its fscommand calls).
    evaluate(host.page(), QStringLiteral(R"(
        window.ticks = 0;
        document.getElementById("player").ruffle().addFSCommandHandler(() => { window.ticks += 1; });
    )"));
    return state;
}

void TstBrowserHost::isSwfAddress_data()
{
    QTest::addColumn<QString>("address");
    QTest::addColumn<bool>("swf");
    QTest::newRow("swf") << "http://h/res/a.swf" << true;
    QTest::newRow("upper case") << "http://h/res/A.SWF" << true;
    QTest::newRow("query and fragment") << "http://h/a.swf?x=1#top" << true;
    QTest::newRow("swf inside the name") << "http://h/a.swf.html" << false;
    QTest::newRow("swf in the query") << "http://h/play?file=a.swf" << false;
    QTest::newRow("folder named swf") << "http://h/swf/" << false;
    QTest::newRow("blank") << "about:blank" << false;
}

void TstBrowserHost::isSwfAddress()
{
    QFETCH(QString, address);
    QFETCH(bool, swf);
    QCOMPARE(BrowserHost::isSwfAddress(address), swf);
}

void TstBrowserHost::downloadProgress_data()
{
    QTest::addColumn<qint64>("received");
    QTest::addColumn<qint64>("total");
    QTest::addColumn<int>("progress");
    QTest::addColumn<int>("progressMax");
    const int tail = BrowserHost::kUnknownSizeTail;
    QTest::newRow("start") << qint64(0) << qint64(5000) << 0 << 5000;
    QTest::newRow("half") << qint64(2500) << qint64(5000) << 2500 << 5000;
    // The end is the player's to report, never the download's.
    QTest::newRow("all bytes") << qint64(5000) << qint64(5000) << 4999 << 5000;
    QTest::newRow("more than said") << qint64(6000) << qint64(5000) << 4999 << 5000;
    QTest::newRow("unknown size, nothing yet") << qint64(0) << qint64(-1) << 0 << tail;
    QTest::newRow("unknown size") << qint64(3 * tail) << qint64(-1) << 3 * tail << 4 * tail;
    QTest::newRow("past 2 GiB") << qint64(3000000000) << qint64(4000000000) << 750000 << 1000000;
    QTest::newRow("past 2 GiB, all")
        << qint64(4000000000) << qint64(4000000000) << 999999 << 1000000;
}

void TstBrowserHost::downloadProgress()
{
    QFETCH(qint64, received);
    QFETCH(qint64, total);
    QFETCH(int, progress);
    QFETCH(int, progressMax);
    QCOMPARE(BrowserHost::downloadProgress(received, total), std::make_pair(progress, progressMax));
}

void TstBrowserHost::startsBlank()
{
    BrowserHost host;
    QCOMPARE(host.LocationURL(), QStringLiteral("about:blank"));
}

void TstBrowserHost::navigateEndsProgress_data()
{
    QTest::addColumn<QString>("address");
    QTest::addColumn<int>("finalMax");
    QTest::addColumn<bool>("player");
    QTest::addColumn<bool>("failed");
    const int page = BrowserHost::kPageProgressMax;
    const auto url = [this](const char *path) { return m_server->url(QLatin1String(path)); };
    QTest::newRow("movie") << url("/movie.swf") << int(m_movieBytes.size()) << true << false;
    QTest::newRow("movie without length")
        << url("/_fault/nolength/movie.swf") << int(m_movieBytes.size()) << true << false;
    QTest::newRow("slow big movie")
        << url("/_fault/slow/big.swf") << int(m_bigMovieBytes.size()) << true << false;
    QTest::newRow("page") << url("/page.html") << page << false << false;
    QTest::newRow("page not found") << url("/_fault/404/page.html") << page << false << true;
    QTest::newRow("page unreachable")
        << QStringLiteral("http://127.0.0.1:%1/page.html").arg(closedPort()) << page << false
        << true;
    QTest::newRow("blank") << QStringLiteral("about:blank") << page << false << false;
    QTest::newRow("not an address") << QStringLiteral("no address") << page << false << true;
}

void TstBrowserHost::navigateEndsProgress()
{
    QFETCH(QString, address);
    QFETCH(int, finalMax);
    QFETCH(bool, player);
    QFETCH(bool, failed);

    BrowserHost host;
    host.resize(400, 300);
    host.show();
    QSignalSpy spy(&host, &BrowserHost::ProgressChange);
    host.Navigate(address);
    // Navigate returns before anything has loaded.
    QVERIFY(!hasFinal(spy));
    QCOMPARE(host.LocationURL(), address);
    QVERIFY(!host.lastLoadFailed());
    QVERIFY(waitUntil([&] { return hasFinal(spy); }, kLoadTimeoutMs));
    QCOMPARE(host.lastLoadFailed(), failed);

    // Every pair is a share short of the end until the one final pair.
    const qsizetype last = spy.size() - 1;
    for (qsizetype i = 0; i < spy.size(); ++i) {
        const int progress = spy.at(i).at(0).toInt();
        const int max = spy.at(i).at(1).toInt();
        QVERIFY2(max > 0 && progress >= 0 && progress <= max,
                 qPrintable(QStringLiteral("pair %1: %2/%3").arg(i).arg(progress).arg(max)));
        QCOMPARE(progress == max, i == last);
    }
    QCOMPARE(spy.at(last).at(1).toInt(), finalMax);
    if (address.contains(QLatin1String("slow")))
        QVERIFY2(spy.size() > 2, "a slow download reports its bytes as they come");

    // The player page stands in for a movie, yet the host tells the movie's address.
    QCOMPARE(host.page()->url().scheme() == QLatin1String("aurilo"), player);
    QCOMPARE(host.LocationURL(), address);
}

void TstBrowserHost::failedMovieEndsProgressAndNextPlays_data()
{
    QTest::addColumn<QString>("address");
    QTest::newRow("not found") << m_server->url(QStringLiteral("/_fault/404/movie.swf"));
    QTest::newRow("server error") << m_server->url(QStringLiteral("/_fault/500/movie.swf"));
    QTest::newRow("reset") << m_server->url(QStringLiteral("/_fault/reset/big.swf"));
    QTest::newRow("truncated") << m_server->url(QStringLiteral("/_fault/truncate/big.swf"));
    QTest::newRow("unreachable")
        << QStringLiteral("http://127.0.0.1:%1/movie.swf").arg(closedPort());
    QTest::newRow("missing file") << m_server->url(QStringLiteral("/nothing.swf"));
}

void TstBrowserHost::failedMovieEndsProgressAndNextPlays()
{
    QFETCH(QString, address);
    BrowserHost host;
    host.resize(400, 300);
    host.show();

    const auto failed = navigate(host, address);
    QVERIFY(!failed.isEmpty());
    // Still the address asked for, now known as not loaded.
    QCOMPARE(host.LocationURL(), address);
    QVERIFY(host.lastLoadFailed());
    QVERIFY(host.page()->url().scheme() != QLatin1String("aurilo"));

    // The same address again is a load of its own: it starts clean, asks the
    // server again and ends again.
    const QUrl url(address);
    const bool served = url.port() == m_server->port();
    const qsizetype asked = served ? m_server->statuses(url.path()).size() : 0;
    QSignalSpy again(&host, &BrowserHost::ProgressChange);
    host.Navigate(address);
    QVERIFY(!host.lastLoadFailed());
    QVERIFY(waitUntil([&] { return hasFinal(again); }, kLoadTimeoutMs));
    QVERIFY(host.lastLoadFailed());
    QCOMPARE(host.LocationURL(), address);
    // (The network layer repeats a request whose connection was reset.)
    if (served)
        QVERIFY(m_server->statuses(url.path()).size() > asked);

    const QString good = m_server->url(QStringLiteral("/movie.swf"));
    const auto played = navigate(host, good);
    QVERIFY(!played.isEmpty());
    QCOMPARE(played.constLast(),
             (QList<QVariant>{int(m_movieBytes.size()), int(m_movieBytes.size())}));
    QCOMPARE(host.LocationURL(), good);
    QVERIFY(!host.lastLoadFailed());
    QCOMPARE(waitForMovie(host).value(QStringLiteral("readyState")).toInt(), 2);
}

void TstBrowserHost::playerRunsTheMovieWithSound()
{
    BrowserHost host;
    host.resize(400, 300);
    host.show();
    QVERIFY(!navigate(host, m_server->url(QStringLiteral("/movie.swf"))).isEmpty());

    const QJsonObject state = waitForMovie(host);
    QCOMPARE(state.value(QStringLiteral("readyState")).toInt(), 2);
    const QJsonObject metadata = state.value(QStringLiteral("metadata")).toObject();
    QCOMPARE(metadata.value(QStringLiteral("width")).toInt(), m_movie.width);
    QCOMPARE(metadata.value(QStringLiteral("height")).toInt(), m_movie.height);
    QCOMPARE(metadata.value(QStringLiteral("swfVersion")).toInt(), int(m_movie.version));
    QCOMPARE(metadata.value(QStringLiteral("frameRate")).toDouble(),
             double(m_movie.framesPerSecond));
    QCOMPARE(metadata.value(QStringLiteral("numFrames")).toInt(), 2);
    QCOMPARE(metadata.value(QStringLiteral("backgroundColor")).toString().toLower(),
             QStringLiteral("#336699"));

    // It plays without a click: the timeline runs, and the sound is not held
    // back waiting for one.
    QVERIFY(waitUntil([&] { return ticks(host) >= 3; }, kLoadTimeoutMs));
    const QJsonObject playing = playerState(host.page());
    QVERIFY(playing.value(QStringLiteral("playing")).toBool());
    const QJsonArray audio = playing.value(QStringLiteral("audio")).toArray();
    QVERIFY2(!audio.isEmpty(), "Ruffle made no audio context");
    const auto firstContext = [&] {
        return playerState(host.page()).value(QStringLiteral("audio")).toArray().first().toString();
    };
    waitUntil([&] { return firstContext() == QLatin1String("running"); }, kLoadTimeoutMs);
    QCOMPARE(firstContext(), QStringLiteral("running"));
}

void TstBrowserHost::movieKeepsPlayingWhileHidden_data()
{
    QTest::addColumn<bool>("hiddenFirst");
    QTest::newRow("hidden while playing") << false;
    QTest::newRow("played while hidden") << true;
}

void TstBrowserHost::movieKeepsPlayingWhileHidden()
{
    QFETCH(bool, hiddenFirst);
    // Hidden like a minimised or closed player window: the timeline, and with
    // it the sound, goes on.
    QWidget window;
    window.resize(400, 300);
    auto *host = new BrowserHost(&window);
    host->resize(400, 300);
    window.show();
    if (hiddenFirst)
        window.hide();
    QVERIFY(!navigate(*host, m_server->url(QStringLiteral("/movie.swf"))).isEmpty());
    QCOMPARE(waitForMovie(*host).value(QStringLiteral("readyState")).toInt(), 2);
    if (!hiddenFirst) {
        QVERIFY(waitUntil([&] { return ticks(*host) > 0; }, kLoadTimeoutMs));
        window.hide();
    }
    QVERIFY(!host->isVisible());
    const int before = ticks(*host);
    QVERIFY(waitUntil([&] { return ticks(*host) >= before + 10; }, kLoadTimeoutMs));
    QVERIFY(playerState(host->page()).value(QStringLiteral("playing")).toBool());
}

// Ruffle's player element in the page: its box in CSS pixels.
QRect playerBox(QWebEnginePage *page)
{
    const QString box = evaluate(page, QStringLiteral(R"((() => {
        const element = document.getElementById("player");
        if (!element) return "";
        const r = element.getBoundingClientRect();
        return [r.left, r.top, r.width, r.height].join(",");
    })())"))
                            .toString();
    const QStringList parts = box.split(u',');
    if (parts.size() != 4)
        return {};
    return QRect(qRound(parts.at(0).toDouble()), qRound(parts.at(1).toDouble()),
                 qRound(parts.at(2).toDouble()), qRound(parts.at(3).toDouble()));
}

void TstBrowserHost::playerFillsTheVisibleArea()
{
    // As in the player window: the browser overhangs its frame up and left
    // by 2 pixels, right by 38 and down by 8, so that its edges stay hidden.
    QWidget window;
    window.resize(500, 400);
    auto *frame = new QWidget(&window);
    frame->setGeometry(0, 20, 400, 300);
    auto *host = new BrowserHost(frame);
    host->setGeometry(-2, -2, 440, 310);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QCOMPARE(host->visibleArea(), QRect(2, 2, 400, 300));

    QVERIFY(!navigate(*host, m_server->url(QStringLiteral("/movie.swf"))).isEmpty());
    QCOMPARE(waitForMovie(*host).value(QStringLiteral("readyState")).toInt(), 2);
    // The movie is letterboxed into the player element: whole and centred
    // in the part that shows, not in the whole browser.
    QCOMPARE(playerBox(host->page()), QRect(2, 2, 400, 300));

    // The frame grows with the window, the browser with it.
    window.resize(600, 450);
    frame->resize(520, 360);
    host->resize(560, 370);
    QCOMPARE(host->visibleArea(), QRect(2, 2, 520, 360));
    QVERIFY(waitUntil([&] { return playerBox(host->page()) == QRect(2, 2, 520, 360); },
                      kLoadTimeoutMs));

    // The window's edge cuts the frame: only the part inside the window shows.
    window.resize(300, 450);
    host->updateVisibleArea();
    QCOMPARE(host->visibleArea(), QRect(2, 2, 300, 360));
    QVERIFY(waitUntil([&] { return playerBox(host->page()) == QRect(2, 2, 300, 360); },
                      kLoadTimeoutMs));

    // A movie loaded into a browser already placed starts in its part.
    QVERIFY(!navigate(*host, m_server->url(QStringLiteral("/big.swf"))).isEmpty());
    QCOMPARE(waitForMovie(*host).value(QStringLiteral("readyState")).toInt(), 2);
    QCOMPARE(playerBox(host->page()), QRect(2, 2, 300, 360));
}

void TstBrowserHost::navigatingAwayDropsTheMovie()
{
    auto *handler = PlayerSchemeHandler::forProfile(QWebEngineProfile::defaultProfile());
    const int kept = handler->movieCount();
    {
        BrowserHost host;
        QVERIFY(!navigate(host, m_server->url(QStringLiteral("/movie.swf"))).isEmpty());
        QCOMPARE(handler->movieCount(), kept + 1);
        QVERIFY(!navigate(host, m_server->url(QStringLiteral("/big.swf"))).isEmpty());
        QCOMPARE(handler->movieCount(), kept + 1);
        QVERIFY(!navigate(host, m_server->url(QStringLiteral("/page.html"))).isEmpty());
        QCOMPARE(handler->movieCount(), kept);
        QVERIFY(!navigate(host, m_server->url(QStringLiteral("/movie.swf"))).isEmpty());
    }
    QCOMPARE(handler->movieCount(), kept);
}

void TstBrowserHost::laterNavigateWins()
{
    BrowserHost host;
    QSignalSpy spy(&host, &BrowserHost::ProgressChange);
    host.Navigate(m_server->url(QStringLiteral("/_fault/slow/big.swf")));
    QVERIFY(waitUntil([&] { return !spy.isEmpty(); }, kLoadTimeoutMs)); // download under way
    const QString page = m_server->url(QStringLiteral("/page.html"));
    const auto pairs = navigate(host, page);
    QVERIFY(!pairs.isEmpty());
    QCOMPARE(pairs.constLast(), (QList<QVariant>{100, 100}));

    // Long enough for the abandoned download to have ended (200 KiB at the
    // server's slow pace): nothing of it may arrive any more.
    spy.clear();
    spin(4000);
    for (const auto &pair : std::as_const(spy))
        QCOMPARE(pair.at(1).toInt(), BrowserHost::kPageProgressMax);
    QCOMPARE(host.LocationURL(), page);
    QVERIFY(host.page()->url().scheme() != QLatin1String("aurilo"));
}

int main(int argc, char *argv[])
{
    BrowserHost::registerSchemes();
    QApplication app(argc, argv);
    TstBrowserHost test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_browserhost.moc"
