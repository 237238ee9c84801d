// The master volume: the step rule as a table, then the real client library
// against a PulseAudio server of the test's own (its own runtime folder and
// socket, a null sink), read back with pactl.
#include "ownsoundserver.h"
#include "systemvolume.h"

#include <QCoreApplication>
#include <QSignalSpy>
#include <QTest>

#include <cmath>
#include <memory>

namespace {

using Volume = SystemVolume::Volume;

Volume percent(double value)
{
    return Volume(std::lround(value * SystemVolume::kNormal / 100.0));
}

// Channel volumes as whole percentages, as pactl and the system show them.
QList<int> percents(const QList<Volume> &volumes)
{
    QList<int> result;
    for (Volume volume : volumes)
        result.append(int(std::lround(double(volume) * 100.0 / SystemVolume::kNormal)));
    return result;
}

QList<Volume> volumes(const QList<int> &values)
{
    QList<Volume> result;
    for (int value : values)
        result.append(percent(value));
    return result;
}

} // namespace

class TstSystemVolume : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void stepped_data();
    void stepped();
    void steppedFromVolumesAUnitOff();
    void soundServer_data();
    void soundServer();
    void serverGoneAndBack();

private:
    // Runs the command and waits for the server's answer.
    bool run(SystemVolume::Command command);

    std::unique_ptr<OwnSoundServer> m_server;
};

void TstSystemVolume::initTestCase()
{
    m_server = std::make_unique<OwnSoundServer>(QStringLiteral("volume_test"));
    // The program's client finds the test's server, not the suite's.
    qputenv("PULSE_SERVER", m_server->address().toLocal8Bit());
    QVERIFY2(m_server->start(), "pulseaudio did not start");
}

void TstSystemVolume::stepped_data()
{
    QTest::addColumn<QList<int>>("before");
    QTest::addColumn<int>("command");
    QTest::addColumn<QList<int>>("after");
    const int up = SystemVolume::VolumeUp, down = SystemVolume::VolumeDown;
    using L = QList<int>;
    QTest::newRow("even, up") << L{50, 50} << up << L{52, 52};
    QTest::newRow("odd, up") << L{51, 51} << up << L{52, 52};
    QTest::newRow("99, up") << L{99, 99} << up << L{100, 100};
    QTest::newRow("100, up") << L{100, 100} << up << L{100, 100};
    QTest::newRow("above 100, up") << L{120, 120} << up << L{120, 120};
    QTest::newRow("0, up") << L{0, 0} << up << L{2, 2};
    QTest::newRow("even, down") << L{50, 50} << down << L{48, 48};
    QTest::newRow("odd, down") << L{51, 51} << down << L{50, 50};
    QTest::newRow("1, down") << L{1, 1} << down << L{0, 0};
    QTest::newRow("0, down") << L{0, 0} << down << L{0, 0};
    QTest::newRow("above 100, down") << L{120, 120} << down << L{118, 118};
    QTest::newRow("unbalanced, up") << L{40, 80} << up << L{41, 82};
    QTest::newRow("unbalanced, down") << L{80, 40} << down << L{78, 39};
    QTest::newRow("mute leaves the volume")
        << L{33, 66} << int(SystemVolume::VolumeMute) << L{33, 66};
    QTest::newRow("one channel") << L{7} << up << L{8};
}

void TstSystemVolume::stepped()
{
    QFETCH(QList<int>, before);
    QFETCH(int, command);
    QFETCH(QList<int>, after);
    QCOMPARE(percents(SystemVolume::stepped(volumes(before), SystemVolume::Command(command))),
             after);
}

void TstSystemVolume::steppedFromVolumesAUnitOff()
{
    // pactl sets 80% as 52428, a unit under 80% rounded: still 80% for the
    // step, which goes to 82%.
    QCOMPARE(percents(SystemVolume::stepped({26214, 52428}, SystemVolume::VolumeUp)),
             (QList<int>{41, 82}));
    QCOMPARE(percents(SystemVolume::stepped({39322, 39322}, SystemVolume::VolumeDown)),
             (QList<int>{58, 58}));
}

bool TstSystemVolume::run(SystemVolume::Command command)
{
    QSignalSpy applied(&SystemVolume::instance(), &SystemVolume::applied);
    SystemVolume::instance().run(command);
    if (!applied.wait(20000))
        return false;
    return applied.constFirst().constFirst().toBool();
}

void TstSystemVolume::soundServer_data()
{
    QTest::addColumn<QList<int>>("before");
    QTest::addColumn<bool>("mutedBefore");
    QTest::addColumn<int>("command");
    QTest::addColumn<QList<int>>("after");
    QTest::addColumn<bool>("mutedAfter");
    const int up = SystemVolume::VolumeUp, down = SystemVolume::VolumeDown;
    const int mute = SystemVolume::VolumeMute;
    using L = QList<int>;
    QTest::newRow("50 up") << L{50, 50} << false << up << L{52, 52} << false;
    QTest::newRow("51 up") << L{51, 51} << false << up << L{52, 52} << false;
    QTest::newRow("99 up") << L{99, 99} << false << up << L{100, 100} << false;
    QTest::newRow("100 up") << L{100, 100} << false << up << L{100, 100} << false;
    QTest::newRow("120 up") << L{120, 120} << false << up << L{120, 120} << false;
    QTest::newRow("1 down") << L{1, 1} << false << down << L{0, 0} << false;
    QTest::newRow("40/80 up") << L{40, 80} << false << up << L{41, 82} << false;
    QTest::newRow("muted, up unmutes") << L{50, 50} << true << up << L{52, 52} << false;
    QTest::newRow("muted, down stays muted") << L{50, 50} << true << down << L{48, 48} << true;
    QTest::newRow("mute") << L{50, 50} << false << mute << L{50, 50} << true;
    QTest::newRow("mute again") << L{50, 50} << true << mute << L{50, 50} << false;
}

void TstSystemVolume::soundServer()
{
    QFETCH(QList<int>, before);
    QFETCH(bool, mutedBefore);
    QFETCH(int, command);
    QFETCH(QList<int>, after);
    QFETCH(bool, mutedAfter);
    m_server->setVolume(before, mutedBefore);
    QCOMPARE(m_server->volume(), before);
    QVERIFY(run(SystemVolume::Command(command)));
    QCOMPARE(m_server->volume(), after);
    QCOMPARE(m_server->muted(), mutedAfter);
}

void TstSystemVolume::serverGoneAndBack()
{
    m_server->setVolume({50, 50}, false);
    QVERIFY(run(SystemVolume::VolumeUp));

    // No server: the command does nothing and says so.
    m_server->stop();
    QVERIFY(!run(SystemVolume::VolumeUp));
    QVERIFY(!run(SystemVolume::VolumeDown));

    // A server again: the next command finds it.
    QVERIFY(m_server->start());
    m_server->setVolume({60, 60}, false);
    QVERIFY(run(SystemVolume::VolumeUp));
    QCOMPARE(m_server->volume(), (QList<int>{62, 62}));
}

QTEST_GUILESS_MAIN(TstSystemVolume)
#include "tst_systemvolume.moc"
