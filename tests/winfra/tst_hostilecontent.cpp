// What comes from the network into the program's browsers: hostile movies in
// the player page, hostile pages as web pages. Real engine, real Ruffle, the
// real test server; the desktop's browser is a recorder.
#include "browserhost.h"
#include "desktopservices.h"
#include "httpserver.h"
#include "playerschemehandler.h"
#include "swfbuilder.h"
#include "webwait.h"

#include <QApplication>
#include <QFile>
#include <QPointer>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QWebEngineDownloadRequest>
#include <QWebEngineProfile>

#include <algorithm>
#include <memory>

namespace {

constexpr int kLoadTimeoutMs = 45000;

bool hasFinal(const QSignalSpy &spy)
{
    return std::any_of(spy.cbegin(), spy.cend(), [](const QList<QVariant> &pair) {
        return pair.at(0).toInt() == pair.at(1).toInt();
    });
}

// A browser on screen, as in the player window.
struct ShownHost : BrowserHost
{
    ShownHost()
    {
        resize(400, 300);
        show();
    }
};

} // namespace

class TstHostileContent : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void hostileMovieStaysInItsPage();
    void pageStaysWhereTheProgramSentIt_data();
    void pageStaysWhereTheProgramSentIt();
    void serverRedirectIsFollowed();
    void pageGetsNoPermissionDownloadOrDialog();

private:
    // Navigates and waits for the final progress pair.
    bool navigate(BrowserHost &host, const QString &address);
    // Addresses the desktop's browser was given, in order.
    QStringList opened() const;
    // Waits until the desktop's browser was given the address.
    bool waitOpened(const QString &address);

    QTemporaryDir m_site;
    std::unique_ptr<HttpServer> m_server;
    QList<QUrl> m_opened;
};

void TstHostileContent::initTestCase()
{
    PlayerSchemeHandler::setRuffleFolder(QStringLiteral(AURILO_RUFFLE_DIR));
    QVERIFY(m_site.isValid());
    m_server = std::make_unique<HttpServer>(m_site.path());
    QVERIFY2(m_server->isRunning(), "aurilo-httpd (AURILO_HTTPD) did not start");
    const auto at = [this](const char *path) {
        return m_server->url(QLatin1String(path)).toUtf8();
    };

    // Every way out a movie has, then a last link that tells the test all the
    // others have been tried.
    Swf::Movie hostile;
    hostile.actions =
        Swf::getUrl("javascript:fetch('" + at("/from-script") + "')", "") +
        Swf::getUrl("javascript:fetch('" + at("/from-script-blank") + "')", "_blank") +
        Swf::callExternalInterface("fetch", at("/from-external")) +
        Swf::getUrl(at("/other.html?self"), "_self") +
        Swf::getUrl(at("/other.html?blank"), "_blank") +
        Swf::getUrl("file:///etc/hostname", "_self") +
        Swf::getUrl("file:///etc/hostname", "_blank") +
        Swf::getUrl(at("/other.html?last"), "_blank") + Swf::stop();

    const QByteArray head = "<!DOCTYPE html><html><head><meta charset=\"utf-8\">";
    const QList<std::pair<QString, QByteArray>> files = {
        {QStringLiteral("hostile.swf"), Swf::bytes(hostile)},
        {QStringLiteral("other.html"), head + "</head><body>other</body></html>"},
        {QStringLiteral("page.html"), head + "</head><body>page</body></html>"},
        {QStringLiteral("file.bin"), QByteArray(4096, 'x')},
        {QStringLiteral("refresh.html"),
         head + "<meta http-equiv=\"refresh\" content=\"0; url=/other.html?refresh\">"
                "</head><body>refresh</body></html>"},
        {QStringLiteral("script.html"),
         head + "<script>addEventListener('load', () => {"
                " location.href = '/other.html?script'; });</script></head><body></body></html>"},
        {QStringLiteral("link.html"),
         head + "<script>addEventListener('load', () => {"
                " document.getElementById('file').click();"
                " document.getElementById('web').click(); });</script></head><body>"
                "<a id=\"file\" href=\"file:///etc/hostname\">file</a>"
                "<a id=\"web\" href=\"/other.html?link\">web</a></body></html>"},
        {QStringLiteral("windows.html"),
         head + "<script>addEventListener('load', () => {"
                " window.open('javascript:fetch(\"/from-window-script\")');"
                " window.open('file:///etc/hostname');"
                " window.open('data:text/html,data');"
                " window.open('/other.html?window', 'other', 'width=200,height=200'); });"
                "</script></head><body></body></html>"},
        {QStringLiteral("asks.html"), head + "</head><body><a id=\"get\" href=\"/file.bin\" "
                                             "download>file</a></body></html>"},
    };
    for (const auto &[name, bytes] : files) {
        QFile file(m_site.filePath(name));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    }
}

void TstHostileContent::init()
{
    m_opened.clear();
    DesktopServices::setOpener(
        [this](const QUrl &url, DesktopServices::Show) { m_opened.append(url); });
}

void TstHostileContent::cleanup()
{
    DesktopServices::setOpener({});
}

bool TstHostileContent::navigate(BrowserHost &host, const QString &address)
{
    QSignalSpy spy(&host, &BrowserHost::ProgressChange);
    host.Navigate(address);
    return waitUntil([&] { return hasFinal(spy); }, kLoadTimeoutMs);
}

QStringList TstHostileContent::opened() const
{
    QStringList addresses;
    for (const QUrl &url : m_opened)
        addresses.append(url.toString());
    return addresses;
}

bool TstHostileContent::waitOpened(const QString &address)
{
    return waitUntil([&] { return opened().contains(address); }, kLoadTimeoutMs);
}

void TstHostileContent::hostileMovieStaysInItsPage()
{
    ShownHost host;
    const QString movie = m_server->url(QStringLiteral("/hostile.swf"));
    QVERIFY(navigate(host, movie));
    QVERIFY2(waitOpened(m_server->url(QStringLiteral("/other.html?last"))),
             qPrintable(opened().join(u' ')));

    // Only the http links left, for the desktop's browser; no script ran and
    // the player page stayed.
    QStringList links = opened();
    links.sort();
    QCOMPARE(links, (QStringList{m_server->url(QStringLiteral("/other.html?blank")),
                                 m_server->url(QStringLiteral("/other.html?last")),
                                 m_server->url(QStringLiteral("/other.html?self"))}));
    for (const char *path : {"/from-script", "/from-script-blank", "/from-external", "/other.html"})
        QVERIFY2(m_server->statuses(QLatin1String(path)).isEmpty(), path);
    QCOMPARE(host.page()->url().scheme(), QStringLiteral("aurilo"));
    QCOMPARE(host.page()->url().path(), QStringLiteral("/player/player.html"));
    QCOMPARE(host.LocationURL(), movie);
    QVERIFY(!host.lastLoadFailed());
}

void TstHostileContent::pageStaysWhereTheProgramSentIt_data()
{
    QTest::addColumn<QString>("page");
    QTest::addColumn<QStringList>("toDesktop");
    QTest::newRow("meta refresh") << "/refresh.html" << QStringList{"/other.html?refresh"};
    QTest::newRow("script") << "/script.html" << QStringList{"/other.html?script"};
    QTest::newRow("links") << "/link.html" << QStringList{"/other.html?link"};
    QTest::newRow("new windows") << "/windows.html" << QStringList{"/other.html?window"};
}

void TstHostileContent::pageStaysWhereTheProgramSentIt()
{
    QFETCH(QString, page);
    QFETCH(QStringList, toDesktop);
    ShownHost host;
    const QString address = m_server->url(page);
    QSignalSpy progress(&host, &BrowserHost::ProgressChange);
    QVERIFY(navigate(host, address));
    QStringList expected;
    for (const QString &path : toDesktop)
        expected.append(m_server->url(path));
    QVERIFY2(waitOpened(expected.constLast()), qPrintable(opened().join(u' ')));

    QCOMPARE(opened(), expected);
    QCOMPARE(host.page()->url().toString(), address);
    QCOMPARE(host.LocationURL(), address);
    QVERIFY(!host.lastLoadFailed());
    // The refused navigations end no second load.
    QCOMPARE(std::count_if(progress.cbegin(), progress.cend(),
                           [](const QList<QVariant> &pair) {
                               return pair.at(0).toInt() == pair.at(1).toInt();
                           }),
             1);
    for (const char *path : {"/other.html", "/from-window-script"})
        QVERIFY2(m_server->statuses(QLatin1String(path)).isEmpty(), path);
}

void TstHostileContent::serverRedirectIsFollowed()
{
    ShownHost host;
    const QString address = m_server->url(QStringLiteral("/_fault/redirect/page.html"));
    QVERIFY(navigate(host, address));
    QCOMPARE(host.page()->url().toString(), m_server->url(QStringLiteral("/page.html")));
    QCOMPARE(host.LocationURL(), address);
    QVERIFY(!host.lastLoadFailed());
    QCOMPARE(m_server->statuses(QStringLiteral("/page.html")), QList<int>{200});
    QVERIFY(m_opened.isEmpty());
}

void TstHostileContent::pageGetsNoPermissionDownloadOrDialog()
{
    ShownHost host;
    QVERIFY(navigate(host, m_server->url(QStringLiteral("/asks.html"))));
    QWebEnginePage *page = host.page();

    // Asked for, refused without a question.
    evaluate(page, QStringLiteral(R"(
        window.answers = {};
        navigator.geolocation.getCurrentPosition(
            () => { answers.location = "given"; }, e => { answers.location = "refused " + e.code; });
        Notification.requestPermission().then(p => { answers.notifications = p; });
        navigator.mediaDevices.getUserMedia({audio: true, video: true}).then(
            () => { answers.media = "given"; }, e => { answers.media = e.name; });
        navigator.clipboard.readText().then(
            () => { answers.clipboard = "given"; }, e => { answers.clipboard = e.name; });
    )"));
    QVariantMap answers;
    QVERIFY(waitUntil(
        [&] {
            answers = evaluate(page, QStringLiteral("window.answers")).toMap();
            return answers.size() == 4;
        },
        kLoadTimeoutMs));
    QCOMPARE(answers.value(QStringLiteral("location")).toString(), QStringLiteral("refused 1"));
    QCOMPARE(answers.value(QStringLiteral("notifications")).toString(), QStringLiteral("denied"));
    QCOMPARE(answers.value(QStringLiteral("media")).toString(), QStringLiteral("NotAllowedError"));
    QCOMPARE(answers.value(QStringLiteral("clipboard")).toString(),
             QStringLiteral("NotAllowedError"));

    // A download the page starts is cancelled.
    QPointer<QWebEngineDownloadRequest> download;
    QObject guard;
    connect(QWebEngineProfile::defaultProfile(), &QWebEngineProfile::downloadRequested, &guard,
            [&download](QWebEngineDownloadRequest *request) { download = request; });
    evaluate(page, QStringLiteral("document.getElementById('get').click()"));
    QVERIFY(waitUntil([&] { return !download.isNull(); }, kLoadTimeoutMs));
    QVERIFY(waitUntil(
        [&] {
            return !download || download->state() == QWebEngineDownloadRequest::DownloadCancelled;
        },
        kLoadTimeoutMs));

    // Dialog boxes do not come up: each answers as if dismissed.
    QCOMPARE(evaluate(page, QStringLiteral("alert('a'); confirm('b')")), QVariant(false));
    QCOMPARE(evaluate(page, QStringLiteral("prompt('c', 'd') === null")), QVariant(true));
    for (QWidget *widget : QApplication::topLevelWidgets())
        QVERIFY2(widget == &host || !widget->isVisible(), qPrintable(widget->objectName()));
    QCOMPARE(page->url().toString(), m_server->url(QStringLiteral("/asks.html")));
}

int main(int argc, char *argv[])
{
    // A camera and a microphone for the page to ask for; without devices the
    // engine would refuse before anyone is asked.
    qputenv("QTWEBENGINE_CHROMIUM_FLAGS", "--use-fake-device-for-media-stream");
    BrowserHost::registerSchemes();
    QApplication app(argc, argv);
    TstHostileContent test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_hostilecontent.moc"
