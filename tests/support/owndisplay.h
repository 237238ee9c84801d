#pragma once

#include <QProcess>
#include <QString>

#include <cstdio>

// An X server of the test's own (Xvfb on a display number it picks itself,
// -noreset so that the lock state survives between clients); it ends with
// the object. startAndUse() points this process, and the programs it starts,
// at it, on Qt's xcb platform; call it before the application object.
class OwnDisplay
{
public:
    ~OwnDisplay()
    {
        m_server.terminate();
        if (!m_server.waitForFinished(kWaitMs))
            m_server.kill();
        m_server.waitForFinished(kWaitMs);
    }

    // ":N", or empty when the server did not start.
    QString start()
    {
        m_server.start(QStringLiteral("Xvfb"),
                       {QStringLiteral("-displayfd"), QStringLiteral("1"),
                        QStringLiteral("-noreset"), QStringLiteral("-nolisten"),
                        QStringLiteral("tcp"), QStringLiteral("-screen"), QStringLiteral("0"),
                        QStringLiteral("800x600x24")});
        if (!m_server.waitForStarted(kWaitMs))
            return {};
        while (!m_server.canReadLine()) {
            if (!m_server.waitForReadyRead(kWaitMs))
                return {};
        }
        return u':' + QString::fromLatin1(m_server.readLine()).trimmed();
    }

    bool startAndUse()
    {
        const QString name = start();
        if (name.size() < 2) {
            std::fprintf(stderr, "Xvfb did not start\n");
            return false;
        }
        qputenv("DISPLAY", name.toLocal8Bit());
        qputenv("QT_QPA_PLATFORM", "xcb");
        return true;
    }

private:
    static constexpr int kWaitMs = 20000;
    QProcess m_server;
};
