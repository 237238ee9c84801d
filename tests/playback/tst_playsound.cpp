// The proof that Aurilo plays: the real program, on the generated demo site
// served by the real HTTP server, downloads its catalog at the first start,
// and a double click on a resource makes sound come out of the sound server
// (a null sink whose monitor is recorded). Needs the X server and the
// PulseAudio server that the test command starts.
#include "demoprogram.h"
#include "x11tools.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <cmath>
#include <memory>

namespace {

constexpr int kRate = 22050;

// Root-mean-square level of each half second of 16-bit mono samples.
QList<double> levels(const QByteArray &raw)
{
    const auto *samples = reinterpret_cast<const qint16 *>(raw.constData());
    const qsizetype count = raw.size() / 2;
    QList<double> out;
    for (qsizetype start = 0; start + kRate / 2 <= count; start += kRate / 2) {
        double sum = 0;
        for (qsizetype i = start; i < start + kRate / 2; ++i)
            sum += double(samples[i]) * samples[i];
        out.append(std::sqrt(sum / (kRate / 2)));
    }
    return out;
}

QRect mainWindow()
{
    return X11Tools::auriloMainWindow();
}

} // namespace

class TestPlaySound : public QObject
{
    Q_OBJECT

private slots:
    void doubleClickedResourceIsHeard()
    {
        DemoProgram demo;
        QString error;
        QVERIFY2(demo.prepare(&error), qPrintable(error));
        QVERIFY(demo.start({QStringLiteral("Yes")})); // download the catalog at the first start
        QProcess &aurilo = demo.process;
        QVERIFY(X11Tools::waitFor([] { return mainWindow().isValid(); }, 30000));
        QVERIFY(X11Tools::waitFor(
            [&] { return QFileInfo::exists(demo.file("LDsend.Dll")); }, 60000));
        QTest::qWait(1000); // the lists fill from the new catalog

        QProcess recorder;
        recorder.start(QStringLiteral("parec"),
                       {QStringLiteral("--device=aurilo_null.monitor"), QStringLiteral("--raw"),
                        QStringLiteral("--format=s16le"), QStringLiteral("--channels=1"),
                        QStringLiteral("--rate=%1").arg(kRate)});
        QVERIFY2(recorder.waitForStarted(), "parec (pulseaudio-utils) is needed");
        QTest::qWait(500);

        // The first resource of the first category: select it, then double-click.
        const QRect main = mainWindow();
        const QPoint firstResource = main.topLeft() + QPoint(12 + 116 + 60, 124 + 1 + 10);
        X11Tools::click(firstResource);
        QTest::qWait(300);
        X11Tools::run(QStringLiteral("xdotool"), {QStringLiteral("click"), QStringLiteral("--repeat"),
                                                 QStringLiteral("2"), QStringLiteral("--delay"),
                                                 QStringLiteral("60"), QStringLiteral("1")});
        QTest::qWait(10000);
        recorder.terminate();
        QVERIFY(recorder.waitForFinished(5000));
        const QList<double> level = levels(recorder.readAllStandardOutput());
        aurilo.terminate();
        QVERIFY(aurilo.waitForFinished(15000));

        QVERIFY2(level.size() >= 16, "the recording is too short");
        // Before the request: silence. Within a few seconds after it: speech.
        QVERIFY2(level.first() < 50, qPrintable(QStringLiteral("noise before playing: %1").arg(level.first())));
        const double loudest = *std::max_element(level.begin() + 1, level.begin() + 12);
        QVERIFY2(loudest > 500,
                 qPrintable(QStringLiteral("no sound within 5 s, loudest level %1").arg(loudest)));
    }
};

QTEST_MAIN(TestPlaySound)
#include "tst_playsound.moc"
