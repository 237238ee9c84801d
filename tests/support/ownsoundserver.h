#pragma once

#include <QByteArray>
#include <QList>
#include <QProcess>
#include <QProcessEnvironment>
#include <QRegularExpression>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

// A PulseAudio server of the caller's own (its own runtime folder and socket)
// whose only output is one null sink, read and set with pactl. Clients reach
// it through PULSE_SERVER=address(). It ends with the object.
class OwnSoundServer
{
public:
    explicit OwnSoundServer(const QString &sink)
        : m_sink(sink), m_socket(m_runtime.filePath(QStringLiteral("native")))
    {
    }
    ~OwnSoundServer() { stop(); }

    QString address() const { return QStringLiteral("unix:") + m_socket; }
    QString sink() const { return m_sink; }

    bool start()
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), m_runtime.path());
        env.insert(QStringLiteral("HOME"), m_runtime.path());
        m_daemon.setProcessEnvironment(env);
        m_daemon.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_daemon.start(QStringLiteral("pulseaudio"),
                       {QStringLiteral("--daemonize=no"), QStringLiteral("-n"),
                        QStringLiteral("--exit-idle-time=-1"), QStringLiteral("--disallow-exit"),
                        QStringLiteral("--log-level=error"),
                        QStringLiteral("--load=module-native-protocol-unix socket=") + m_socket,
                        QStringLiteral("--load=module-null-sink sink_name=") + m_sink});
        if (!m_daemon.waitForStarted(kWaitMs))
            return false;
        // Ready once pactl reaches it.
        for (int i = 0; i < 200; ++i) {
            if (pactl({QStringLiteral("info")}).contains(m_sink.toUtf8()))
                return true;
            if (m_daemon.waitForFinished(100))
                return false;
        }
        return false;
    }

    void stop()
    {
        if (m_daemon.state() == QProcess::NotRunning)
            return;
        m_daemon.terminate();
        if (!m_daemon.waitForFinished(10000))
            m_daemon.kill();
        m_daemon.waitForFinished(10000);
    }

    QByteArray pactl(const QStringList &arguments) const
    {
        QProcess process;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("PULSE_SERVER"), address());
        process.setProcessEnvironment(env);
        process.start(QStringLiteral("pactl"), arguments);
        process.waitForFinished(kWaitMs);
        return process.readAllStandardOutput();
    }

    // Channel volumes in whole percent, and the mute switch.
    void setVolume(const QList<int> &channels, bool muted = false)
    {
        QStringList arguments{QStringLiteral("set-sink-volume"), m_sink};
        for (int channel : channels)
            arguments.append(QString::number(channel) + u'%');
        pactl(arguments);
        pactl({QStringLiteral("set-sink-mute"), m_sink,
               muted ? QStringLiteral("1") : QStringLiteral("0")});
    }

    QList<int> volume() const
    {
        static const QRegularExpression channel(QStringLiteral("\\d+ /\\s+(\\d+)%"));
        QList<int> result;
        const QString out = QString::fromUtf8(pactl({QStringLiteral("get-sink-volume"), m_sink}));
        for (const auto &match : channel.globalMatch(out))
            result.append(match.captured(1).toInt());
        return result;
    }

    bool muted() const { return pactl({QStringLiteral("get-sink-mute"), m_sink}).contains("yes"); }

private:
    static constexpr int kWaitMs = 20000;
    QString m_sink;
    QTemporaryDir m_runtime;
    QString m_socket;
    QProcess m_daemon;
};
