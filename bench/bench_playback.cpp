// Playback figures on the local demo server, for a 1 MB speaking movie:
// - the time from the play request (Navigate) to the first audible sound on
//   the sound server's null sink (goal: under 1.5 s);
// - the resident memory of Aurilo and all its browser processes while the
//   movie plays, beside a bare QtWebEngine window playing the same movie
//   through the same player page (goal: within 1.3x).
// Needs an X display, a PulseAudio server with the sink "aurilo_null" (as the
// test command starts them), and the built Aurilo, aurilo-httpd and
// aurilo-demo-gen beside this program.
//
//   bench_playback              run everything and print the figures
//   bench_playback --bare URL   (internal) a bare window playing URL
#include "browserhost.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>
#include <vector>

namespace {

constexpr int kRate = 22050;
constexpr double kAudible = 300.0; // RMS of a 10 ms block that counts as sound

QString tool(const char *name)
{
    return QCoreApplication::applicationDirPath() + u'/' + QLatin1String(name);
}

// Resident memory (kB) of a process and all its descendants.
qint64 treeRssKb(qint64 root)
{
    QMap<qint64, qint64> parentOf;
    QMap<qint64, qint64> rss;
    for (const QString &entry : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
        bool ok = false;
        const qint64 pid = entry.toLongLong(&ok);
        if (!ok)
            continue;
        QFile status(QStringLiteral("/proc/%1/status").arg(pid));
        if (!status.open(QIODevice::ReadOnly))
            continue;
        const QString text = QString::fromLatin1(status.readAll());
        const auto ppid = QRegularExpression(QStringLiteral("PPid:\\s+(\\d+)")).match(text);
        const auto vmrss = QRegularExpression(QStringLiteral("VmRSS:\\s+(\\d+)")).match(text);
        if (ppid.hasMatch())
            parentOf[pid] = ppid.captured(1).toLongLong();
        if (vmrss.hasMatch())
            rss[pid] = vmrss.captured(1).toLongLong();
    }
    qint64 total = 0;
    for (auto it = rss.cbegin(); it != rss.cend(); ++it) {
        for (qint64 p = it.key(); p > 1; p = parentOf.value(p, 0)) {
            if (p == root) {
                total += it.value();
                break;
            }
        }
    }
    return total;
}

qint64 peakTreeRssKb(qint64 root, int forMs)
{
    qint64 peak = 0;
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < forMs) {
        peak = std::max(peak, treeRssKb(root));
        QTest::qWait(250);
    }
    return peak;
}

int bareWindow(const QString &url)
{
    BrowserHost host;
    host.resize(552, 390);
    host.show();
    host.Navigate(url);
    return QApplication::exec();
}

// Milliseconds from Navigate to the first audible block on the sink's monitor.
double timeToFirstSound(BrowserHost &host, const QString &url)
{
    QProcess recorder;
    recorder.start(QStringLiteral("parec"),
                   {QStringLiteral("--device=aurilo_null.monitor"), QStringLiteral("--raw"),
                    QStringLiteral("--format=s16le"), QStringLiteral("--channels=1"),
                    QStringLiteral("--rate=%1").arg(kRate), QStringLiteral("--latency-msec=10")});
    if (!recorder.waitForStarted())
        return -1;
    QTest::qWait(300);
    recorder.readAllStandardOutput(); // silence before the request
    QByteArray pending;
    QElapsedTimer timer;
    timer.start();
    host.Navigate(url);
    double heard = -1;
    while (heard < 0 && timer.elapsed() < 15000) {
        QTest::qWait(5);
        pending += recorder.readAllStandardOutput();
        constexpr qsizetype kBlock = kRate / 100 * 2; // 10 ms of 16-bit samples
        while (pending.size() >= kBlock && heard < 0) {
            const auto *s = reinterpret_cast<const qint16 *>(pending.constData());
            double sum = 0;
            for (qsizetype i = 0; i < kBlock / 2; ++i)
                sum += double(s[i]) * s[i];
            if (std::sqrt(sum / (kBlock / 2)) > kAudible)
                heard = timer.nsecsElapsed() / 1e6;
            pending.remove(0, kBlock);
        }
    }
    recorder.terminate();
    recorder.waitForFinished();
    host.Navigate(QStringLiteral("about:blank"));
    QTest::qWait(1500); // the old movie stops before the next run
    return heard;
}

bool write(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

} // namespace

int main(int argc, char *argv[])
{
    BrowserHost::registerSchemes();
    QApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    if (args.size() == 3 && args.at(1) == u"--bare")
        return bareWindow(args.at(2));

    QTemporaryDir site;
    QTemporaryDir folder;
    const QString movie = site.filePath(QStringLiteral("flash/big.swf"));
    QDir().mkpath(site.filePath(QStringLiteral("flash")));
    QProcess generator;
    generator.start(tool("aurilo-demo-gen"),
                    {QStringLiteral("--swf"), movie, QStringLiteral("--text"),
                     QStringLiteral("静夜思。床前明月光，疑是地上霜。举头望明月，低头思故乡。"),
                     QStringLiteral("--min-bytes"), QStringLiteral("1000000")});
    if (!generator.waitForFinished(120000) || generator.exitCode() != 0) {
        std::fprintf(stderr, "cannot make the movie\n");
        return 1;
    }
    QProcess server;
    server.start(tool("aurilo-httpd"), {QStringLiteral("--root"), site.path(),
                                        QStringLiteral("--port"), QStringLiteral("0")});
    if (!server.waitForStarted() || !server.waitForReadyRead(10000))
        return 1;
    const QString port = QString::fromLatin1(server.readLine()).trimmed().section(u' ', -1);
    const QString base = QStringLiteral("http://127.0.0.1:") + port;
    const QString url = base + QStringLiteral("/flash/big.swf");

    // 1. Time to the first sound, five times, in a player like Aurilo's.
    std::vector<double> times;
    {
        BrowserHost host;
        host.resize(552, 390);
        host.show();
        for (int run = 0; run < 5; ++run) {
            const double ms = timeToFirstSound(host, url + QStringLiteral("?run=%1").arg(run));
            if (ms >= 0)
                times.push_back(ms);
        }
    }
    std::sort(times.begin(), times.end());

    // 2. Memory while playing: a bare window, then Aurilo itself.
    QProcess bare;
    bare.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--bare"), url});
    bare.waitForStarted();
    QTest::qWait(4000);
    const qint64 bareKb = peakTreeRssKb(bare.processId(), 6000);
    bare.kill();
    bare.waitForFinished();

    QFile::copy(tool("Aurilo"), folder.filePath(QStringLiteral("Aurilo")));
    QProcess::execute(QStringLiteral("cp"), {QStringLiteral("-r"), tool("ruffle"), folder.path()});
    write(folder.filePath(QStringLiteral("Server.ini")),
          "[Server]\r\nBaseUrl=" + base.toLatin1() + "\r\n");
    // A catalog of one resource: the movie.
    write(folder.filePath(QStringLiteral("LDsend.Dll")),
          QByteArray("<root><category name=\"bench\"><data id=\"1\" title=\"big\" flashurl=\"") +
              url.toLatin1() + "\" /></category></root>");
    QProcess aurilo;
    aurilo.start(folder.filePath(QStringLiteral("Aurilo")), {});
    aurilo.waitForStarted();
    QTest::qWait(5000);
    // Select and double-click the resource (main window at the screen's corner).
    QProcess::execute(QStringLiteral("xdotool"),
                      {QStringLiteral("mousemove"), QStringLiteral("172"), QStringLiteral("135"),
                       QStringLiteral("click"), QStringLiteral("1"), QStringLiteral("sleep"),
                       QStringLiteral("0.4"), QStringLiteral("click"), QStringLiteral("--repeat"),
                       QStringLiteral("2"), QStringLiteral("--delay"), QStringLiteral("60"),
                       QStringLiteral("1")});
    QTest::qWait(4000);
    const qint64 auriloKb = peakTreeRssKb(aurilo.processId(), 6000);
    aurilo.terminate();
    aurilo.waitForFinished(10000);
    server.terminate();
    server.waitForFinished();

    if (times.empty()) {
        std::printf("time to first sound: no sound heard (is the sound server running?)\n");
    } else {
        std::printf("time to first sound, 1 MB movie (%zu runs): median %.0f ms, min %.0f, max "
                    "%.0f  (goal < 1500 ms)\n",
                    times.size(), times[times.size() / 2], times.front(), times.back());
    }
    std::printf("memory while playing: Aurilo and its browser processes %.1f MB, bare "
                "QtWebEngine window %.1f MB, ratio %.2f  (goal <= 1.3)\n",
                auriloKb / 1024.0, bareKb / 1024.0, bareKb ? double(auriloKb) / bareKb : 0.0);
    return 0;
}
