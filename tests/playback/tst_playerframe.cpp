// The player window under a window manager that draws frames: its outer
// height is the borderless main window's, and its client area is laid out to
// its edges. On an X display of the test's own, with openbox on it, so that no
// other test meets a window manager.

#include "accessiblepopups.h"
#include "browserhost.h"
#include "buttonex.h"
#include "flashfrm.h"
#include "formmain.h"

#include <QApplication>
#include <QLabel>
#include <QProcess>
#include <QRegularExpression>
#include <QTest>

#include <csignal>
#include <sys/prctl.h>

namespace {

// Generous: a loaded machine may take its time to map and frame a window.
constexpr int kFrameTimeoutMs = 30000;

// Xvfb on a display number it picks itself, and openbox on that display.
// Both are ready when start() returns true and end with this object (or with
// the test process, should it crash).
class FramedDisplay
{
public:
    ~FramedDisplay()
    {
        for (QProcess *process : {&m_windowManager, &m_server}) {
            process->terminate();
            if (!process->waitForFinished(10000))
                process->kill();
            process->waitForFinished(10000);
        }
    }

    bool start(QString *error)
    {
        // The server writes its display number to stdout once it accepts clients.
        static const QRegularExpression displayNumber(QStringLiteral("^\\d+$"));
        const QString number = startAndReadUntil(
            m_server, QStringLiteral("Xvfb"),
            {QStringLiteral("-displayfd"), QStringLiteral("1"), QStringLiteral("-screen"),
             QStringLiteral("0"), QStringLiteral("1280x800x24"), QStringLiteral("-nolisten"),
             QStringLiteral("tcp")},
            QProcessEnvironment::systemEnvironment(), displayNumber);
        if (number.isEmpty()) {
            *error = QStringLiteral("Xvfb did not start");
            return false;
        }
        m_name = u':' + number;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("DISPLAY"), m_name);
        // openbox runs its start-up command once it manages the screen; its
        // own messages come on the same channel.
        static const QRegularExpression managing(QStringLiteral("^managing$"));
        const QString ready =
            startAndReadUntil(m_windowManager, QStringLiteral("openbox"),
                              {QStringLiteral("--sm-disable"), QStringLiteral("--startup"),
                               QStringLiteral("echo managing")},
                              environment, managing);
        if (ready.isEmpty()) {
            *error = QStringLiteral("openbox did not start");
            return false;
        }
        return true;
    }

    QString name() const { return m_name; }

private:
    // Starts the program and returns the first line of its output that
    // matches ("" if it ends or falls silent first).
    static QString startAndReadUntil(QProcess &process, const QString &program,
                                     const QStringList &arguments,
                                     const QProcessEnvironment &environment,
                                     const QRegularExpression &wanted)
    {
        process.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGTERM); });
        process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process.setProcessEnvironment(environment);
        process.start(program, arguments);
        if (!process.waitForStarted(kFrameTimeoutMs))
            return {};
        for (;;) {
            while (!process.canReadLine()) {
                if (!process.waitForReadyRead(kFrameTimeoutMs))
                    return {};
            }
            const QString line = QString::fromLocal8Bit(process.readLine()).trimmed();
            if (wanted.match(line).hasMatch())
                return line;
            qInfo("%s: %s", qPrintable(program), qPrintable(line));
        }
    }

    QProcess m_server;
    QProcess m_windowManager;
    QString m_name;
};

} // namespace

class TestPlayerFrame : public QObject
{
    Q_OBJECT

private slots:
    void outerHeightIsTheMainWindows_data()
    {
        QTest::addColumn<bool>("shownAgain");
        QTest::newRow("opened") << false;
        QTest::newRow("closed and opened again") << true;
    }

    void outerHeightIsTheMainWindows()
    {
        QFETCH(bool, shownAgain);
        FormMain main;
        main.move(100, 60);
        main.show();
        QVERIFY(QTest::qWaitForWindowExposed(&main));
        // openbox leaves the borderless main window without a frame.
        QCOMPARE(main.frameGeometry(), main.geometry());

        main.GameFrmButton_OnMouseDown(); // opens the player at the right edge
        FlashFrm &player = FlashFrm::get();
        QVERIFY(QTest::qWaitForWindowExposed(&player));
        // The frame comes after the window is shown.
        QTRY_VERIFY_WITH_TIMEOUT(player.frameGeometry().height() > player.height() + 10,
                                 kFrameTimeoutMs);
        QTRY_COMPARE_WITH_TIMEOUT(player.frameGeometry().height(), main.frameGeometry().height(),
                                  kFrameTimeoutMs);
        if (shownAgain) {
            main.GameFrmButton_OnMouseDown();
            QTRY_VERIFY_WITH_TIMEOUT(!player.isVisible(), kFrameTimeoutMs);
            main.GameFrmButton_OnMouseDown();
            QVERIFY(QTest::qWaitForWindowExposed(&player));
            QTRY_VERIFY_WITH_TIMEOUT(player.frameGeometry().height() > player.height() + 10,
                                     kFrameTimeoutMs);
            QCOMPARE(player.frameGeometry().height(), main.frameGeometry().height());
        }
        // Inside the frame, the footer ends at the client area's bottom edge.
        QCOMPARE(player.FootImg->geometry().bottom(), player.rect().bottom());
        delete &player;
    }
};

int main(int argc, char *argv[])
{
    FramedDisplay display;
    QString error;
    if (!display.start(&error)) {
        qCritical("%s", qPrintable(error));
        return 1;
    }
    qputenv("DISPLAY", display.name().toLocal8Bit());
    qputenv("QT_QPA_PLATFORM", "xcb");
    BrowserHost::registerSchemes();
    AccessiblePopups::install();
    QApplication app(argc, argv);
    app.setAttribute(Qt::AA_Use96Dpi, true);
    TestPlayerFrame test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_playerframe.moc"
