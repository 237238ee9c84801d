#pragma once

#include "httpserver.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

#include <memory>

// The real program on the generated demo site: the site written for the port
// of a running HTTP server, and a fresh program folder with the executable,
// its web player and a Server.ini that points at the server. Message boxes
// are answered from a script and logged (AURILO_DIALOG_SCRIPT).
class DemoProgram
{
public:
    // Generates the site and the folder; false (with the reason) on failure.
    bool prepare(QString *error)
    {
        if (!m_site.isValid() || !m_folder.isValid())
            return fail(error, QStringLiteral("no temporary folder"));
        // The site names its own addresses: it is written again for the real port.
        if (!generate(QStringLiteral("http://127.0.0.1:0"), error))
            return false;
        m_server = std::make_unique<HttpServer>(m_site.path());
        if (!m_server->isRunning())
            return fail(error, QStringLiteral("the HTTP server did not start"));
        if (!generate(m_server->url(QString()), error))
            return false;
        const QFileInfo program(qEnvironmentVariable("AURILO_BIN"));
        if (!QFile::copy(program.filePath(), file(QStringLiteral("Aurilo"))) ||
            !copyFolder(program.dir().filePath(QStringLiteral("ruffle")), file(QStringLiteral("ruffle"))))
            return fail(error, QStringLiteral("cannot copy the program"));
        QFile ini(file(QStringLiteral("Server.ini")));
        if (!ini.open(QIODevice::WriteOnly))
            return fail(error, QStringLiteral("cannot write Server.ini"));
        ini.write("[Server]\r\nBaseUrl=" + m_server->url(QString()).toLatin1() + "\r\n");
        return true;
    }

    QString folder() const { return m_folder.path(); }
    QString file(const QString &name) const { return m_folder.filePath(name); }

    // Starts the program; answers are the message boxes' answers in order.
    bool start(const QStringList &answers)
    {
        QFile script(file(QStringLiteral("answers.txt")));
        if (!script.open(QIODevice::WriteOnly))
            return false;
        script.write(answers.join(u'\n').toUtf8() + '\n');
        script.close();
        QFile::remove(file(QStringLiteral("answers.txt.log")));
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("AURILO_DIALOG_SCRIPT"), script.fileName());
        env.remove(QStringLiteral("QT_QPA_PLATFORM"));
        process.setProcessEnvironment(env);
        process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process.start(file(QStringLiteral("Aurilo")), {});
        return process.waitForStarted();
    }

    // The message boxes shown since the last start, "icon|buttons|text => answer".
    QStringList dialogs() const
    {
        QFile log(file(QStringLiteral("answers.txt.log")));
        if (!log.open(QIODevice::ReadOnly))
            return {};
        return QString::fromUtf8(log.readAll()).split(u'\n', Qt::SkipEmptyParts);
    }

    QProcess process;

private:
    static bool fail(QString *error, const QString &why)
    {
        if (error)
            *error = why;
        return false;
    }

    bool generate(const QString &baseUrl, QString *error)
    {
        QProcess generator;
        generator.start(qEnvironmentVariable("AURILO_DEMO_GEN"),
                        {QStringLiteral("--out"), m_site.path(), QStringLiteral("--base-url"), baseUrl});
        if (!generator.waitForFinished(120000) || generator.exitCode() != 0)
            return fail(error, QStringLiteral("the demo generator failed"));
        return true;
    }

    static bool copyFolder(const QString &from, const QString &to)
    {
        QDir().mkpath(to);
        const QFileInfoList entries =
            QDir(from).entryInfoList(QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot);
        for (const QFileInfo &entry : entries) {
            const QString target = to + u'/' + entry.fileName();
            if (entry.isDir() ? !copyFolder(entry.filePath(), target)
                              : !QFile::copy(entry.filePath(), target))
                return false;
        }
        return true;
    }

    QTemporaryDir m_site;
    QTemporaryDir m_folder;
    std::unique_ptr<HttpServer> m_server;
};
