// The check the updater makes before it starts a downloaded program: a 20 MB
// file of random bytes, signed by the minisign program, verified by
// Minisign::verifyFile. Prints the median, best and worst of 10 runs (goal
// under 100 ms); exits non-zero when a verification does not succeed.
// Needs minisign installed.
#include "minisign.h"

#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {
constexpr qint64 kSize = 20 * 1024 * 1024;
constexpr int kRuns = 10;

bool minisign(const QString &folder, const QStringList &arguments)
{
    QProcess process;
    process.setWorkingDirectory(folder);
    process.start(QStringLiteral("minisign"), arguments);
    process.closeWriteChannel();
    if (!process.waitForFinished(60000) || process.exitStatus() != QProcess::NormalExit ||
        process.exitCode() != 0) {
        std::fprintf(stderr, "minisign failed: %s\n",
                     qPrintable(process.errorString() + QLatin1Char(' ') +
                                QString::fromLocal8Bit(process.readAllStandardError())));
        return false;
    }
    return true;
}

QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}
} // namespace

int main()
{
    QTemporaryDir dir;
    if (!dir.isValid()) {
        std::fprintf(stderr, "no temporary folder\n");
        return 1;
    }
    const QString file = dir.filePath(QStringLiteral("update.bin"));
    {
        std::vector<quint32> words(kSize / sizeof(quint32));
        QRandomGenerator::global()->fillRange(words.data(), words.size());
        QFile out(file);
        if (!out.open(QIODevice::WriteOnly) ||
            out.write(reinterpret_cast<const char *>(words.data()), kSize) != kSize) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(file));
            return 1;
        }
    }
    if (!minisign(dir.path(), {"-G", "-W", "-p", "site.pub", "-s", "site.key"}) ||
        !minisign(dir.path(), {"-S", "-s", "site.key", "-m", "update.bin", "-t", "Aurilo 1.0.2"}))
        return 1;

    const std::optional<Minisign::PublicKey> key =
        Minisign::parsePublicKey(readAll(dir.filePath(QStringLiteral("site.pub"))));
    const QByteArray signature = readAll(file + QStringLiteral(".minisig"));
    if (!key) {
        std::fprintf(stderr, "the public key does not parse\n");
        return 1;
    }

    std::vector<double> times;
    for (int i = 0; i < kRuns; ++i) {
        QElapsedTimer timer;
        timer.start();
        const Minisign::Result result = Minisign::verifyFile(file, *key, signature);
        times.push_back(double(timer.nsecsElapsed()) / 1e6);
        if (result.status != Minisign::Status::Ok) {
            std::fprintf(stderr, "verification failed (status %d)\n", int(result.status));
            return 1;
        }
    }
    std::sort(times.begin(), times.end());
    std::printf("verify a 20 MB update: median %.1f ms (min %.1f, max %.1f) over %d runs; "
                "goal < 100 ms\n",
                (times[kRuns / 2 - 1] + times[kRuns / 2]) / 2, times.front(), times.back(), kRuns);
    return 0;
}
