#pragma once

#include <QFile>
#include <QList>
#include <QProcess>
#include <QRegularExpression>
#include <QString>
#include <QTemporaryFile>
#include <QUrl>

#include <csignal>
#include <sys/prctl.h>

// The project's static HTTP server (aurilo-httpd, named by AURILO_HTTPD) run
// as a child process on a free loopback port, serving a folder. Its fault
// modes are reached with paths "/_fault/<mode>/<path>" (404, 500, reset,
// truncate, nolength, slow, stall). Its request log is kept, so a test can
// see what the server was asked and what it answered.
class HttpServer
{
public:
    // Starts the server; isRunning() tells whether it came up.
    explicit HttpServer(const QString &root)
    {
        const QString program = qEnvironmentVariable("AURILO_HTTPD");
        if (program.isEmpty())
            return;
        // A crashed test must not leave its server running.
        m_process.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGTERM); });
        m_process.setStandardErrorFile(m_log.open() ? m_log.fileName() : QProcess::nullDevice());
        m_process.start(program, {QStringLiteral("--root"), root, QStringLiteral("--port"),
                                  QStringLiteral("0")});
        if (!m_process.waitForStarted(20000))
            return;
        while (!m_process.canReadLine()) {
            if (!m_process.waitForReadyRead(20000))
                return;
        }
        static const QRegularExpression line(QStringLiteral("^listening on (\\d+)$"));
        const auto match = line.match(QString::fromLatin1(m_process.readLine()).trimmed());
        if (match.hasMatch())
            m_port = match.captured(1).toInt();
    }

    ~HttpServer()
    {
        m_process.terminate();
        if (!m_process.waitForFinished(5000))
            m_process.kill();
        m_process.waitForFinished(5000);
    }

    bool isRunning() const { return m_port > 0; }
    int port() const { return m_port; }

    // Address of a path on the server ("/a.txt" or "/_fault/404/a.txt").
    QString url(const QString &path) const
    {
        return QStringLiteral("http://127.0.0.1:%1%2").arg(m_port).arg(path);
    }

    // The statuses the server answered to GET requests for requestTarget
    // ("/a.txt"), oldest first. The server writes a request's log line before
    // its answer, so a finished download's request is already listed.
    QList<int> statuses(const QString &requestTarget) const
    {
        static const QRegularExpression entry(
            QStringLiteral("^\\S+ \\S+ \"GET (\\S+) HTTP/1\\.\\d\" (\\d{3}) "));
        QFile log(m_log.fileName());
        QList<int> found;
        if (!log.open(QIODevice::ReadOnly))
            return found;
        while (!log.atEnd()) {
            const auto match = entry.match(QString::fromUtf8(log.readLine()));
            if (match.hasMatch() && match.captured(1) == requestTarget)
                found.append(match.captured(2).toInt());
        }
        return found;
    }

private:
    QTemporaryFile m_log;
    QProcess m_process;
    int m_port = 0;
};
