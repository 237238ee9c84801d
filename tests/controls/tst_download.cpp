#include "download.h"
#include "httpserver.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimeZone>

#include <algorithm>

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

// Content with a modification time of its own, which the server sends as
// Last-Modified.
void writeFileAt(const QString &path, const QByteArray &bytes, const QDateTime &modified)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.flush() ||
        !file.setFileTime(modified, QFileDevice::FileModificationTime))
        qFatal("cannot write %s", qPrintable(path));
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

struct Outcome
{
    int completions = 0;
    bool hasError = false;
    QString path;
    QByteArray content;
    int progressEvents = 0;
    int mostBytesRead = 0;
};

// Runs one download to its end (or a generous limit) and collects its events.
Outcome download(DownLoad &control, const QString &url, bool *started = nullptr)
{
    Outcome outcome;
    QObject guard;
    QObject::connect(&control, &DownLoad::AsyncReadProgress, &guard,
                     [&outcome](int bytesRead, int) {
                         ++outcome.progressEvents;
                         outcome.mostBytesRead = std::max(outcome.mostBytesRead, bytesRead);
                     });
    QObject::connect(&control, &DownLoad::AsyncReadComplete, &guard,
                     [&outcome](bool hasError, const QString &path) {
                         ++outcome.completions;
                         outcome.hasError = hasError;
                         outcome.path = path;
                         outcome.content = readFile(path);
                     });
    const bool ok = control.OpenUrl(url);
    if (started)
        *started = ok;
    // A missing completion shows in the callers' checks of `completions`.
    if (!QTest::qWaitFor([&outcome] { return outcome.completions > 0; }, 30000))
        qWarning("no completion within 30 s");
    QTest::qWait(50); // a second completion would show up here
    return outcome;
}
} // namespace

class TestDownLoad : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_cache;
    QTemporaryDir m_root;
    std::unique_ptr<HttpServer> m_server;
    QByteArray m_big = pattern(300 * 1024);

private slots:
    void initTestCase()
    {
        // A private download cache, read by the first DownLoad: copies cached
        // by an earlier run or another program must not answer for this one.
        QVERIFY(m_cache.isValid());
        qputenv("XDG_CACHE_HOME", QFile::encodeName(m_cache.path()));
        QVERIFY(m_root.isValid());
        writeFile(m_root.filePath("big.bin"), m_big);
        writeFile(m_root.filePath("small.txt"), "version 1");
        m_server = std::make_unique<HttpServer>(m_root.path());
        QVERIFY2(m_server->isRunning(), "aurilo-httpd did not start");
    }

    void cleanupTestCase() { m_server.reset(); }

    void outcomes_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<bool>("hasError");
        QTest::newRow("whole file") << "/big.bin" << false;
        QTest::newRow("no Content-Length") << "/_fault/nolength/big.bin" << false;
        QTest::newRow("slow") << "/_fault/slow/small.txt" << false;
        QTest::newRow("404") << "/_fault/404/big.bin" << true;
        QTest::newRow("missing file") << "/nothing.bin" << true;
        QTest::newRow("500 with a page") << "/_fault/500/big.bin" << true;
        QTest::newRow("connection reset") << "/_fault/reset/big.bin" << true;
        QTest::newRow("truncated body") << "/_fault/truncate/big.bin" << true;
    }

    void outcomes()
    {
        QFETCH(QString, path);
        QFETCH(bool, hasError);
        DownLoad control;
        const Outcome outcome = download(control, m_server->url(path));
        QCOMPARE(outcome.completions, 1);
        QCOMPARE(outcome.hasError, hasError);
        if (hasError) {
            QVERIFY(outcome.path.isEmpty());
            return;
        }
        const QByteArray expected = readFile(m_root.filePath(path.section(u'/', -1)));
        QCOMPARE(outcome.content, expected);
        QVERIFY(outcome.progressEvents >= 1);
        QVERIFY(!control.isReading());
        QFile::remove(outcome.path);
    }

    void unreadableAddresses_data()
    {
        QTest::addColumn<QString>("url");
        QTest::addColumn<bool>("starts");
        QTest::newRow("nobody listening") << "http://127.0.0.1:1/x" << true;
        QTest::newRow("not an address") << "nonsense" << false;
        QTest::newRow("other scheme") << "ftp://127.0.0.1/x" << false;
        QTest::newRow("empty") << "" << false;
    }

    void unreadableAddresses()
    {
        QFETCH(QString, url);
        QFETCH(bool, starts);
        DownLoad control;
        bool started = !starts;
        const Outcome outcome = download(control, url, &started);
        QCOMPARE(started, starts);
        QCOMPARE(outcome.completions, 1);
        QVERIFY(outcome.hasError);
        QVERIFY(outcome.path.isEmpty());
    }

    void secondOpenReplacesTheFirst()
    {
        DownLoad control;
        QSignalSpy complete(&control, &DownLoad::AsyncReadComplete);
        control.OpenUrl(m_server->url("/_fault/slow/big.bin"));
        const Outcome outcome = download(control, m_server->url("/small.txt"));
        QCOMPARE(outcome.completions, 1);
        QCOMPARE(outcome.content, QByteArray("version 1"));
        QCOMPARE(complete.size(), 1);
        QFile::remove(outcome.path);
    }

    void cancelRaisesNothing()
    {
        DownLoad control;
        QVERIFY(!control.Cancel()); // nothing pending
        QSignalSpy complete(&control, &DownLoad::AsyncReadComplete);
        QVERIFY(control.OpenUrl(m_server->url("/_fault/slow/big.bin")));
        QVERIFY(control.Cancel());
        // The same slow file, asked for later: a transfer that had gone on
        // would end before this one.
        DownLoad later;
        QSignalSpy laterComplete(&later, &DownLoad::AsyncReadComplete);
        QVERIFY(later.OpenUrl(m_server->url("/_fault/slow/big.bin")));
        QVERIFY(laterComplete.wait(60000));
        QCOMPARE(complete.size(), 0);
        QFile::remove(laterComplete.constFirst().at(1).toString());
    }

    void hostMovesTheFileInsideTheHandler()
    {
        QTemporaryDir target;
        const QString destination = target.filePath("LDsend.Dll");
        DownLoad control;
        bool moved = false;
        connect(&control, &DownLoad::AsyncReadComplete, this,
                [&](bool hasError, const QString &path) {
                    moved = !hasError && QFile::rename(path, destination);
                });
        control.OpenUrl(m_server->url("/big.bin"));
        QVERIFY(QTest::qWaitFor([&moved] { return moved; }, 30000));
        QCOMPARE(readFile(destination), m_big);
    }

    void failedStartBelongsToItsRead_data()
    {
        QTest::addColumn<QString>("badUrl");
        QTest::addColumn<bool>("cancelFirst");
        QTest::newRow("empty, then the next read") << "" << false;
        QTest::newRow("other scheme, then the next read") << "ftp://127.0.0.1/x" << false;
        QTest::newRow("not an address, then the next read") << "http://[::1" << false;
        QTest::newRow("empty, cancelled, then the next read") << "" << true;
    }

    void failedStartBelongsToItsRead()
    {
        QFETCH(QString, badUrl);
        QFETCH(bool, cancelFirst);
        DownLoad control;
        QSignalSpy complete(&control, &DownLoad::AsyncReadComplete);
        QVERIFY(!control.OpenUrl(badUrl));
        if (cancelFirst)
            QVERIFY(control.Cancel()); // its failure was still to come
        QVERIFY(control.OpenUrl(m_server->url("/small.txt")));
        // The good read takes several passes of the event loop, so a failure
        // left over from the bad one would be delivered before it ends.
        QVERIFY(QTest::qWaitFor(
            [&complete] { return !complete.isEmpty() && !complete.constLast().at(0).toBool(); },
            30000));
        QCOMPARE(complete.size(), 1);
        const QString path = complete.first().at(1).toString();
        QCOMPARE(readFile(path), QByteArray("version 1"));
        QFile::remove(path);
    }

    void stalledTransferFails()
    {
        DownLoad control;
        // Long enough that a busy machine still sees the first half arrive.
        control.setTransferTimeout(1000);
        const Outcome outcome = download(control, m_server->url("/_fault/stall/big.bin"));
        QCOMPARE(outcome.completions, 1);
        QVERIFY(outcome.hasError);
        QVERIFY(outcome.path.isEmpty());
        // The first half did arrive: it is the silence that ends the read.
        QVERIFY(outcome.mostBytesRead > 0);
        QVERIFY(outcome.mostBytesRead < m_big.size());
        QVERIFY(!control.isReading());
    }

    void secondReadAsksTheServer_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("changedTo"); // empty: left as it was
        QTest::addColumn<QList<int>>("statuses");
        // The third read finds the copy the second one left in the cache.
        QTest::newRow("changed on the server")
            << "changed.txt" << QByteArray("catalog 2, longer") << QList<int>{200, 200, 304};
        QTest::newRow("unchanged: the cached copy, confirmed by 304")
            << "unchanged.txt" << QByteArray() << QList<int>{200, 304, 304};
    }

    // Last-Modified years before the server's Date, and neither Expires nor
    // max-age: a cache that estimates freshness heuristically (a tenth of the
    // age) would take the first copy as fresh for months and not ask at all.
    void secondReadAsksTheServer()
    {
        QFETCH(QString, name);
        QFETCH(QByteArray, changedTo);
        QFETCH(QList<int>, statuses);
        const QDateTime published(QDate(2020, 5, 17), QTime(10, 20, 30), QTimeZone::utc());
        const QString file = m_root.filePath(name);
        writeFileAt(file, "catalog 1", published);
        DownLoad control;
        const Outcome first = download(control, m_server->url(u'/' + name));
        QCOMPARE(first.hasError, false);
        QCOMPARE(first.content, QByteArray("catalog 1"));
        if (!changedTo.isEmpty())
            writeFileAt(file, changedTo, published.addYears(1));

        const QByteArray current = changedTo.isEmpty() ? QByteArray("catalog 1") : changedTo;
        for (int read = 2; read <= 3; ++read) {
            const Outcome later = download(control, m_server->url(u'/' + name));
            QCOMPARE(later.completions, 1);
            QCOMPARE(later.hasError, false);
            QCOMPARE(later.content, current);
            QFile::remove(later.path);
        }
        QCOMPARE(m_server->statuses(u'/' + name), statuses);
        QFile::remove(first.path);
    }

    void cachedCopyIsNotOlderThanTheServers()
    {
        const QString file = m_root.filePath("changing.txt");
        writeFile(file, "old text");
        DownLoad control;
        Outcome first = download(control, m_server->url("/changing.txt"));
        QCOMPARE(first.content, QByteArray("old text"));
        // Same second as the first write would leave Last-Modified equal; make
        // the new copy clearly newer.
        QFile f(file);
        writeFile(file, "new text, longer");
        QVERIFY(f.open(QIODevice::ReadWrite));
        QVERIFY(f.setFileTime(QDateTime::currentDateTimeUtc().addSecs(60),
                              QFileDevice::FileModificationTime));
        f.close();
        Outcome second = download(control, m_server->url("/changing.txt"));
        QCOMPARE(second.hasError, false);
        QCOMPARE(second.content, QByteArray("new text, longer"));
        QFile::remove(first.path);
        QFile::remove(second.path);
    }
};

QTEST_MAIN(TestDownLoad)
#include "tst_download.moc"
