#include "httprequest.h"
#include "httpserver.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <functional>
#include <memory>

namespace {
QByteArray pattern(qsizetype size, int salt = 0)
{
    QByteArray bytes(size, Qt::Uninitialized);
    for (qsizetype i = 0; i < size; ++i)
        bytes[i] = char((i * 7 + i / 251 + salt) % 256);
    return bytes;
}

void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        qFatal("cannot write %s", qPrintable(path));
}

// Every event of one HttpRequest, in the order they arrived.
struct Recorder
{
    enum Kind
    {
        Start,
        Data,
        Finished,
        Error
    };
    struct Event
    {
        Kind kind;
        int number = 0; // Start: the status; Error: the error number
        QString text;   // Start: the content type; Error: the description
        QByteArray data;
    };

    explicit Recorder(HttpRequest &request)
    {
        QObject::connect(&request, &HttpRequest::OnResponseStart, &guard,
                         [this](int status, const QString &type) {
                             events.append({Start, status, type, {}});
                             if (onStart)
                                 onStart();
                         });
        QObject::connect(&request, &HttpRequest::OnResponseDataAvailable, &guard,
                         [this](const QByteArray &data) {
                             events.append({Data, 0, {}, data});
                             if (onData)
                                 onData();
                         });
        QObject::connect(&request, &HttpRequest::OnResponseFinished, &guard, [this] {
            events.append({Finished, 0, {}, {}});
        });
        QObject::connect(&request, &HttpRequest::OnError, &guard,
                         [this](int number, const QString &description) {
                             events.append({Error, number, description, {}});
                         });
    }

    int count(Kind kind) const
    {
        return int(std::count_if(events.cbegin(), events.cend(),
                                 [kind](const Event &e) { return e.kind == kind; }));
    }
    bool ended() const { return count(Finished) + count(Error) > 0; }
    QByteArray data() const
    {
        QByteArray all;
        for (const Event &e : events)
            all += e.data;
        return all;
    }
    // What is wrong with the order of the events, empty when nothing: a
    // start first, then only non-empty data, then exactly one end.
    QString malformation() const
    {
        for (qsizetype i = 0; i < events.size(); ++i) {
            const Kind kind = events.at(i).kind;
            if (kind == Start && i != 0)
                return QStringLiteral("a start at %1").arg(i);
            if (kind == Data && (i == 0 || events.at(i).data.isEmpty()))
                return QStringLiteral("data without a start, or empty, at %1").arg(i);
            if ((kind == Finished || kind == Error) && i != events.size() - 1)
                return QStringLiteral("events after the end at %1").arg(i);
        }
        return ended() ? QString() : QStringLiteral("no end");
    }

    QObject guard;
    QList<Event> events;
    std::function<void()> onStart;
    std::function<void()> onData;
};

// How a response's body relates to the served file.
enum class Body
{
    Whole, // the file, byte for byte
    Page,  // the server's error page
    Part,  // some of the file, not all
    None
};
} // namespace

Q_DECLARE_METATYPE(Body)

class TestHttpRequest : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_root;
    std::unique_ptr<HttpServer> m_server;
    QByteArray m_big = pattern(300 * 1024);
    QByteArray m_slow = pattern(64 * 1024, 3); // 16 pieces at the slow pace

    // Runs a complete request of another object through the network and the
    // event loop: an event still due to a request ended or stopped before it
    // would have arrived by then.
    void settle(const QString &path)
    {
        HttpRequest other;
        Recorder recorder(other);
        other.Open(QStringLiteral("GET"), m_server->url(path));
        QVERIFY(other.Send());
        QTRY_VERIFY_WITH_TIMEOUT(recorder.ended(), 30000);
        QCOMPARE(recorder.count(Recorder::Finished), 1);
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_root.isValid());
        writeFile(m_root.filePath("big.bin"), m_big);
        writeFile(m_root.filePath("slow.bin"), m_slow);
        writeFile(m_root.filePath("small.txt"), "version 1");
        m_server = std::make_unique<HttpServer>(m_root.path());
        QVERIFY2(m_server->isRunning(), "aurilo-httpd did not start");
    }

    void cleanupTestCase() { m_server.reset(); }

    void responses_data()
    {
        QTest::addColumn<QString>("path"); // a full address when it has a scheme
        QTest::addColumn<int>("status");   // 0: no OnResponseStart
        QTest::addColumn<QString>("contentType");
        QTest::addColumn<bool>("announced"); // Content-Length sent
        QTest::addColumn<Body>("body");
        QTest::addColumn<int>("error"); // 0: OnResponseFinished
        QTest::addColumn<QString>("method");
        QTest::addColumn<int>("timeout"); // 0: the default

        const QString binary = QStringLiteral("application/octet-stream");
        const QString page = QStringLiteral("text/html; charset=utf-8");
        const QString text = QStringLiteral("text/plain; charset=gbk");
        QTest::newRow("200") << "/big.bin" << 200 << binary << true << Body::Whole << 0 << "GET"
                             << 0;
        QTest::newRow("no Content-Length") << "/_fault/nolength/big.bin" << 200 << binary << false
                                           << Body::Whole << 0 << "GET" << 0;
        QTest::newRow("slow, in pieces")
            << "/_fault/slow/slow.bin" << 200 << binary << true << Body::Whole << 0 << "get" << 0;
        QTest::newRow("HEAD") << "/big.bin" << 200 << binary << true << Body::None << 0 << "HEAD"
                              << 0;
        QTest::newRow("404") << "/_fault/404/big.bin" << 404 << page << true << Body::Page << 0
                             << "GET" << 0;
        QTest::newRow("missing file")
            << "/nothing.bin" << 404 << page << true << Body::Page << 0 << "GET" << 0;
        QTest::newRow("500") << "/_fault/500/big.bin" << 500 << page << true << Body::Page << 0
                             << "GET" << 0;
        QTest::newRow("redirect, followed") << "/_fault/redirect/small.txt" << 200 << text << true
                                            << Body::Whole << 0 << "GET" << 0;
        QTest::newRow("connection reset")
            << "/_fault/reset/big.bin" << 200 << binary << true << Body::Part
            << int(HttpRequest::ErrorConnection) << "GET" << 0;
        QTest::newRow("body cut short")
            << "/_fault/truncate/big.bin" << 200 << binary << true << Body::Part
            << int(HttpRequest::ErrorConnection) << "GET" << 0;
        // Long enough that a busy machine still sees the first half arrive.
        QTest::newRow("stalled") << "/_fault/stall/big.bin" << 200 << binary << true << Body::Part
                                 << int(HttpRequest::ErrorTimeout) << "GET" << 1000;
        QTest::newRow("nobody listening")
            << "http://127.0.0.1:1/x" << 0 << "" << false << Body::None
            << int(HttpRequest::ErrorCannotConnect) << "GET" << 0;
        QTest::newRow("not an address") << "http://[::1" << 0 << "" << false << Body::None
                                        << int(HttpRequest::ErrorInvalidUrl) << "GET" << 0;
        QTest::newRow("no host") << "http://" << 0 << "" << false << Body::None
                                 << int(HttpRequest::ErrorInvalidUrl) << "GET" << 0;
        QTest::newRow("other scheme") << "ftp://127.0.0.1/x" << 0 << "" << false << Body::None
                                      << int(HttpRequest::ErrorUnrecognizedScheme) << "GET" << 0;
        QTest::newRow("no scheme") << "nonsense" << 0 << "" << false << Body::None
                                   << int(HttpRequest::ErrorUnrecognizedScheme) << "GET" << 0;
    }

    void responses()
    {
        QFETCH(QString, path);
        QFETCH(int, status);
        QFETCH(QString, contentType);
        QFETCH(bool, announced);
        QFETCH(Body, body);
        QFETCH(int, error);
        QFETCH(QString, method);
        QFETCH(int, timeout);

        HttpRequest request;
        QCOMPARE(request.transferTimeout(), HttpRequest::kDefaultTransferTimeoutMs);
        if (timeout > 0)
            request.setTransferTimeout(timeout);
        Recorder recorder(request);
        const bool local = path.startsWith(u'/');
        request.Open(method, local ? m_server->url(path) : path);
        QCOMPARE(request.Send(), status != 0 || error == HttpRequest::ErrorCannotConnect);
        QTRY_VERIFY_WITH_TIMEOUT(recorder.ended(), 30000);
        settle(QStringLiteral("/small.txt"));
        if (QTest::currentTestFailed())
            return;

        const QString wrong = recorder.malformation();
        QVERIFY2(wrong.isEmpty(), qPrintable(wrong));
        QVERIFY(!request.isRunning());
        const Recorder::Event &last = recorder.events.constLast();
        if (error == 0) {
            QCOMPARE(last.kind, Recorder::Finished);
        } else {
            QCOMPARE(last.kind, Recorder::Error);
            QCOMPARE(last.number, error);
            QVERIFY(!last.text.isEmpty());
        }

        QCOMPARE(recorder.count(Recorder::Start), status != 0 ? 1 : 0);
        QCOMPARE(request.Status(), status);
        if (status != 0) {
            QCOMPARE(recorder.events.constFirst().number, status);
            QCOMPARE(recorder.events.constFirst().text, contentType);
            QCOMPARE(request.GetResponseHeader(QStringLiteral("content-type")), contentType);
            QVERIFY(!request.StatusText().isEmpty());
        }
        QCOMPARE(request.GetResponseHeader(QStringLiteral("X-Not-Sent")), QString());

        const QByteArray received = request.ResponseBody();
        QCOMPARE(recorder.data(), received);
        const QByteArray served = path.endsWith(u"small.txt")  ? QByteArray("version 1")
                                  : path.endsWith(u"slow.bin") ? m_slow
                                                               : m_big;
        qsizetype fullLength = served.size();
        switch (body) {
        case Body::Whole:
            QCOMPARE(received, served);
            break;
        case Body::Page:
            // The page names its status: "<h1>404 Not Found</h1>".
            QVERIFY(received.contains("<h1>" + QByteArray::number(status) + ' ' +
                                      request.StatusText().toLatin1() + "</h1>"));
            fullLength = received.size();
            break;
        case Body::Part:
            QVERIFY(!received.isEmpty());
            QVERIFY(received.size() < served.size());
            QCOMPARE(received, served.left(received.size()));
            break;
        case Body::None:
            QCOMPARE(recorder.count(Recorder::Data), 0);
            QVERIFY(received.isEmpty());
            break;
        }
        QCOMPARE(request.GetResponseHeader(QStringLiteral("Content-Length")),
                 announced ? QString::number(fullLength) : QString());
        if (path.startsWith(u"/_fault/redirect/"))
            QCOMPARE(m_server->statuses(path), QList<int>{302});
    }

    // Abort() and a new Open() stop the running request at whatever point,
    // also from inside its own event handlers; nothing of it arrives later.
    void interruptions_data()
    {
        QTest::addColumn<int>("when"); // 0: right after Send, 1: on start, 2: on the first data
        QTest::addColumn<bool>("reopen");
        for (const bool reopen : {false, true}) {
            const char *action = reopen ? "Open" : "Abort";
            QTest::addRow("%s right after Send", action) << 0 << reopen;
            QTest::addRow("%s in OnResponseStart", action) << 1 << reopen;
            QTest::addRow("%s in OnResponseDataAvailable", action) << 2 << reopen;
        }
    }

    void interruptions()
    {
        QFETCH(int, when);
        QFETCH(bool, reopen);
        const QString slowUrl = m_server->url("/_fault/slow/slow.bin");

        HttpRequest request;
        Recorder recorder(request);
        bool interrupted = false;
        const auto interrupt = [&] {
            if (interrupted)
                return; // the second request's events
            interrupted = true;
            if (reopen) {
                request.Open(QStringLiteral("GET"), m_server->url("/small.txt"));
                QVERIFY(request.Send());
            } else {
                request.Abort();
            }
        };
        if (when == 1)
            recorder.onStart = interrupt;
        else if (when == 2)
            recorder.onData = interrupt;
        request.Open(QStringLiteral("GET"), slowUrl);
        QVERIFY(request.Send());
        if (when == 0)
            interrupt();
        else
            QTRY_VERIFY_WITH_TIMEOUT(interrupted, 30000);
        if (reopen)
            QTRY_VERIFY_WITH_TIMEOUT(recorder.ended(), 30000);
        QCOMPARE(request.isRunning(), false);
        // The same slow file, asked for later: a transfer that had gone on
        // would end before this one.
        settle(QStringLiteral("/_fault/slow/slow.bin"));
        if (QTest::currentTestFailed())
            return;

        // What the first request raised before it was stopped, then the
        // second one's events, if any, from its start.
        const qsizetype before = when; // Start, then Start and one Data
        QCOMPARE(recorder.count(Recorder::Error), 0);
        if (!reopen) {
            QCOMPARE(recorder.events.size(), before);
            QCOMPARE(recorder.count(Recorder::Finished), 0);
            return;
        }
        const QList<Recorder::Event> second = recorder.events.mid(before);
        QVERIFY(!second.isEmpty());
        QCOMPARE(second.constFirst().kind, Recorder::Start);
        QCOMPARE(second.constLast().kind, Recorder::Finished);
        QByteArray data;
        for (const Recorder::Event &e : second)
            data += e.data;
        QCOMPARE(data, QByteArray("version 1"));
        QCOMPARE(request.ResponseBody(), QByteArray("version 1"));
        QCOMPARE(request.GetResponseHeader(QStringLiteral("Content-Type")),
                 QStringLiteral("text/plain; charset=gbk"));
    }

    // Send() needs a request prepared by Open(), once; a refused Send()
    // raises nothing.
    void sendNeedsOpen()
    {
        HttpRequest request;
        Recorder recorder(request);
        QVERIFY(!request.Send());
        request.Open(QStringLiteral("GET"), m_server->url("/small.txt"));
        QVERIFY(request.Send());
        QVERIFY(!request.Send());
        QTRY_VERIFY_WITH_TIMEOUT(recorder.ended(), 30000);
        QVERIFY(!request.Send());
        settle(QStringLiteral("/small.txt"));
        const QString wrong = recorder.malformation();
        QVERIFY2(wrong.isEmpty(), qPrintable(wrong));
        QCOMPARE(recorder.count(Recorder::Finished), 1);
        QCOMPARE(request.ResponseBody(), QByteArray("version 1"));
    }

    // A failure of an address that cannot be requested belongs to its request:
    // Abort() and the next Open() drop it.
    void startFailureBelongsToItsRequest_data()
    {
        QTest::addColumn<bool>("abortFirst");
        QTest::newRow("next Open") << false;
        QTest::newRow("Abort, then the next Open") << true;
    }

    void startFailureBelongsToItsRequest()
    {
        QFETCH(bool, abortFirst);
        HttpRequest request;
        Recorder recorder(request);
        request.Open(QStringLiteral("GET"), QStringLiteral("ftp://127.0.0.1/x"));
        QVERIFY(!request.Send());
        if (abortFirst)
            request.Abort();
        request.Open(QStringLiteral("GET"), m_server->url("/small.txt"));
        QVERIFY(request.Send());
        QTRY_VERIFY_WITH_TIMEOUT(recorder.ended(), 30000);
        const QString wrong = recorder.malformation();
        QVERIFY2(wrong.isEmpty(), qPrintable(wrong));
        QCOMPARE(recorder.events.constLast().kind, Recorder::Finished);
        QCOMPARE(request.ResponseBody(), QByteArray("version 1"));
    }
};

QTEST_MAIN(TestHttpRequest)
#include "tst_httprequest.moc"
