// Runs the real program: two copies at once, a copy without network, and the
// tray icon in a real tray host. Needs the X server the test command starts.
#include "ansicodec.h"
#include "quotes.h"
#include "x11tools.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QWidget>

#include <memory>

namespace {

const QString kSecondCopy = QStringLiteral(
    "16|OK|Aurilo已经在运行咯！请不要重复执行！如果是有进程残留从而导致的问题的话，"
    "您可以打开任务管理器结束上次运行的本程序进程之后再重新运行本程序！ => OK");
const QString kOfflineQuestion = QStringLiteral(
    "0|YesNo|您当前网络可能异常，如果继续运行本程序可能会有部分功能无法正常使用，是否继续？");

// A program folder of its own: the executable, a catalog, scripted answers.
class Installation
{
public:
    Installation()
    {
        if (!m_dir.isValid())
            qFatal("no temporary folder");
        const QString source = qEnvironmentVariable("AURILO_BIN");
        if (!QFile::copy(source, program()))
            qFatal("cannot copy %s", qPrintable(source));
        QFile catalog(m_dir.filePath(QStringLiteral("LDsend.Dll")));
        if (!catalog.open(QIODevice::WriteOnly))
            qFatal("cannot write the catalog");
        catalog.write(Ansi::encode(Q("<root><category name='唐诗'><data id='1' title='静夜思'/>"
                                     "</category></root>")));
    }

    QString program() const { return m_dir.filePath(QStringLiteral("Aurilo")); }

    // Starts a copy that answers its message boxes from answers (one per line).
    std::unique_ptr<QProcess> start(const QString &answers, const QStringList &wrapper = {})
    {
        const QString script = m_dir.filePath(QStringLiteral("dialogs-%1.txt").arg(m_started++));
        QFile file(script);
        if (!file.open(QIODevice::WriteOnly))
            qFatal("cannot write the dialog script");
        file.write(answers.toUtf8());
        file.close();
        m_lastScript = script;

        auto process = std::make_unique<QProcess>();
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("AURILO_DIALOG_SCRIPT"), script);
        env.remove(QStringLiteral("QT_QPA_PLATFORM"));
        process->setProcessEnvironment(env);
        process->setProcessChannelMode(QProcess::ForwardedErrorChannel);
        if (wrapper.isEmpty())
            process->start(program(), {});
        else
            process->start(wrapper.first(), wrapper.mid(1) + QStringList{program()});
        if (!process->waitForStarted())
            qFatal("cannot start %s", qPrintable(program()));
        return process;
    }

    // The message boxes the last started copy showed.
    QStringList dialogLog() const
    {
        QFile log(m_lastScript + QStringLiteral(".log"));
        if (!log.open(QIODevice::ReadOnly))
            return {};
        return QString::fromUtf8(log.readAll()).split(u'\n', Qt::SkipEmptyParts);
    }

    // Processes running this installation's executable.
    int runningCopies() const
    {
        const QString out = X11Tools::run(QStringLiteral("pgrep"),
                                          {QStringLiteral("-f"), QStringLiteral("-x"), program()});
        return out.isEmpty() ? 0 : int(out.split(u'\n').size());
    }

private:
    QTemporaryDir m_dir;
    QString m_lastScript;
    int m_started = 0;
};

void stop(QProcess &process)
{
    if (process.state() != QProcess::NotRunning) {
        process.terminate();
        if (!process.waitForFinished(5000))
            process.kill();
        process.waitForFinished(5000);
    }
}

bool mainWindowShown()
{
    return !X11Tools::visibleWindows(QStringLiteral("^Aurilo$")).isEmpty();
}

QRect mainWindowGeometry()
{
    return X11Tools::auriloMainWindow();
}

} // namespace

class TestProcesses : public QObject
{
    Q_OBJECT

private slots:
    void secondCopyHandsOverToTheFirst()
    {
        Installation installation;
        auto first = installation.start(QString());
        QVERIFY(X11Tools::waitFor(mainWindowShown));

        // Another window covers it; the second copy must bring the first to the front.
        QWidget other;
        other.setWindowTitle(QStringLiteral("other window"));
        other.setGeometry(0, 0, 400, 400);
        other.show();
        QVERIFY(QTest::qWaitForWindowExposed(&other));
        other.raise();
        const auto mainOnTop = [] {
            const QStringList order = X11Tools::stackingOrder();
            return order.lastIndexOf(QStringLiteral("Aurilo")) >
                   order.lastIndexOf(QStringLiteral("other window"));
        };
        QVERIFY(X11Tools::waitFor([&] { return !mainOnTop(); }));

        auto second = installation.start(QStringLiteral("OK\n"));
        QVERIFY(second->waitForFinished(15000));
        QCOMPARE(second->exitStatus(), QProcess::NormalExit);
        QCOMPARE(second->exitCode(), 0);
        QCOMPARE(installation.dialogLog(), QStringList{kSecondCopy});

        QVERIFY(X11Tools::waitFor(mainOnTop));
        QCOMPARE(first->state(), QProcess::Running);
        QCOMPARE(installation.runningCopies(), 1);
        stop(*first);
    }

    void copyAfterAKilledOneStarts()
    {
        Installation installation;
        auto first = installation.start(QString());
        QVERIFY(X11Tools::waitFor(mainWindowShown));
        first->kill(); // leaves its lock and socket behind
        first->waitForFinished();
        auto next = installation.start(QString());
        QVERIFY(X11Tools::waitFor(mainWindowShown));
        QCOMPARE(next->state(), QProcess::Running);
        QVERIFY(installation.dialogLog().isEmpty());
        stop(*next);
    }

    void withoutNetworkTheListenerDecides_data()
    {
        QTest::addColumn<QString>("answer");
        QTest::addColumn<bool>("runs");
        QTest::newRow("No ends at once") << "No" << false;
        QTest::newRow("Yes goes on offline") << "Yes" << true;
    }

    void withoutNetworkTheListenerDecides()
    {
        QFETCH(QString, answer);
        QFETCH(bool, runs);
        Installation installation;
        // A network namespace of its own with only the loopback interface.
        auto process = installation.start(
            answer + u'\n', {QStringLiteral("unshare"), QStringLiteral("-n"), QStringLiteral("--"),
                             QStringLiteral("sh"), QStringLiteral("-c"),
                             QStringLiteral("ip link set lo up && exec \"$0\"")});
        if (runs) {
            QVERIFY(X11Tools::waitFor(mainWindowShown));
            QCOMPARE(process->state(), QProcess::Running);
        } else {
            QVERIFY(process->waitForFinished(15000));
            QCOMPARE(process->exitCode(), 0);
            QVERIFY(!mainWindowShown());
        }
        QCOMPARE(installation.dialogLog(), QStringList{kOfflineQuestion + " => " + answer});
        stop(*process);
    }

    void trayIconRestoresAndQuits()
    {
        // A real notification area: trayer docks the icon in its panel.
        QProcess trayer;
        trayer.start(QStringLiteral("trayer"),
                     {QStringLiteral("--edge"), QStringLiteral("bottom"), QStringLiteral("--align"),
                      QStringLiteral("right"), QStringLiteral("--widthtype"), QStringLiteral("pixel"),
                      QStringLiteral("--width"), QStringLiteral("48"), QStringLiteral("--heighttype"),
                      QStringLiteral("pixel"), QStringLiteral("--height"), QStringLiteral("24"),
                      QStringLiteral("--SetDockType"), QStringLiteral("false")});
        QVERIFY(trayer.waitForStarted());
        QVERIFY(X11Tools::waitFor(
            [] { return !X11Tools::visibleWindows(QStringLiteral("^panel$")).isEmpty(); }));
        // The icon's window is embedded in the panel; xwininfo gives its place on
        // the screen as the second "+x+y" of its line.
        static const QRegularExpression iconLine(QStringLiteral(
            "\"Aurilo\": \\(\"Aurilo\" \"Aurilo\"\\)\\s+(\\d+)x(\\d+)\\+\\S+\\s+\\+(-?\\d+)\\+(-?\\d+)"));
        const auto trayIcon = [] {
            auto matches = iconLine.globalMatch(X11Tools::tree());
            while (matches.hasNext()) {
                const auto m = matches.next();
                const QSize size(m.captured(1).toInt(), m.captured(2).toInt());
                if (size.width() < 64 && size.height() < 64 && size.width() > 1)
                    return QRect(QPoint(m.captured(3).toInt(), m.captured(4).toInt()), size);
            }
            return QRect();
        };
        const auto iconDocked = [&trayIcon] { return trayIcon().isValid(); };

        Installation installation;
        auto program = installation.start(QString());
        QVERIFY(X11Tools::waitFor(mainWindowShown));
        QVERIFY(X11Tools::waitFor(iconDocked));
        const QPoint icon = trayIcon().center();

        // Minimise with the window's own button: it leaves the screen.
        const QRect main = mainWindowGeometry();
        X11Tools::click(main.topLeft() + QPoint(250, 22));
        QVERIFY(X11Tools::waitFor([] { return !mainWindowShown(); }));

        // A left click on the icon brings it back where it was.
        X11Tools::click(icon);
        QVERIFY(X11Tools::waitFor(mainWindowShown));
        QCOMPARE(mainWindowGeometry(), main);

        // A right click opens the tray menu; its last item "退出" ends the program.
        // The menu is a new top-level window of the program.
        const auto windows = [] { return X11Tools::stackingOrder().count(QStringLiteral("Aurilo")); };
        const auto before = windows();
        X11Tools::click(icon, 3);
        QVERIFY(X11Tools::waitFor([&] { return windows() == before + 1; }));
        X11Tools::keys({QStringLiteral("Up"), QStringLiteral("Return")});
        QVERIFY(program->waitForFinished(15000));
        QCOMPARE(program->exitCode(), 0);
        QVERIFY(X11Tools::waitFor([&] { return !iconDocked(); }));
        stop(trayer);
    }
};

QTEST_MAIN(TestProcesses)
#include "tst_processes.moc"
