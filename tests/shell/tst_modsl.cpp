#include "formtestmain.h"
#include "ansicodec.h"
#include "formmain.h"
#include "modsl.h"
#include "networkstate.h"
#include "tray.h"

#include <QApplication>
#include <QEvent>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

namespace {
class CloseRecorder : public QObject
{
public:
    explicit CloseRecorder(QStringList *order) : m_order(order) {}

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Close)
            m_order->append(watched->objectName());
        return false;
    }

private:
    QStringList *m_order;
};

const char *const kIni = "; settings\r\n"
                         "[AD]\r\n"
                         "TopAdTimer = 15 \r\n"
                         "topadurl=http://127.0.0.1/a.html\r\n"
                         "标题=欢迎收听\r\n"
                         "[Empty]\r\n"
                         "[Long]\r\n"
                         "v=%1\r\n";
} // namespace

class TestModSl : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    QString m_ini;

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        m_ini = m_dir.filePath(QStringLiteral("ADConfig.dll"));
        QFile file(m_ini);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(Ansi::encode(QString::fromUtf8(kIni).arg(QString(300, u'x'))));
    }

    void readIniString_data()
    {
        QTest::addColumn<QString>("section");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("expected");
        QTest::newRow("blanks trimmed") << "AD" << "TopAdTimer" << "15";
        QTest::newRow("names without case") << "ad" << "TOPADURL" << "http://127.0.0.1/a.html";
        QTest::newRow("chinese key and value") << "AD" << "标题" << "欢迎收听";
        QTest::newRow("missing key") << "AD" << "nothing" << "";
        QTest::newRow("missing section") << "None" << "v" << "";
        QTest::newRow("cut to the 255-byte buffer") << "Long" << "v" << QString(254, u'x');
    }

    void readIniString()
    {
        QFETCH(QString, section);
        QFETCH(QString, key);
        QFETCH(QString, expected);
        QCOMPARE(ModSl::ReadIniString(m_ini, section, key), expected);
    }

    void readIniStringMissingFile()
    {
        QCOMPARE(ModSl::ReadIniString(m_dir.filePath("none.ini"), "AD", "TopAdTimer"), QString());
    }

    void readIniKeys_data()
    {
        QTest::addColumn<QString>("section");
        QTest::addColumn<int>("count");
        QTest::addColumn<QStringList>("keys");
        QTest::newRow("three keys in file order")
            << "AD" << 2 << QStringList{"TopAdTimer", "topadurl", "标题"};
        QTest::newRow("one key") << "Long" << 0 << QStringList{"v"};
        // No keys: -1, and the array keeps the two pieces of the split buffer.
        QTest::newRow("empty section") << "Empty" << -1 << QStringList{"", QString(1023, u' ')};
        QTest::newRow("missing section") << "None" << -1 << QStringList{"", QString(1023, u' ')};
    }

    void readIniKeys()
    {
        QFETCH(QString, section);
        QFETCH(int, count);
        QFETCH(QStringList, keys);
        QStringList got{QStringLiteral("stale")};
        QCOMPARE(ModSl::ReadIniKeys(m_ini, section, got), count);
        QCOMPARE(got, keys);
    }

    void isOnlineNeedsBothAnswers_data()
    {
        QTest::addColumn<QList<bool>>("answers");
        QTest::addColumn<bool>("online");
        QTest::newRow("both connected") << QList<bool>{true, true} << true;
        QTest::newRow("first not") << QList<bool>{false, true} << false;
        QTest::newRow("second not") << QList<bool>{true, false} << false;
    }

    void isOnlineNeedsBothAnswers()
    {
        QFETCH(QList<bool>, answers);
        QFETCH(bool, online);
        NetworkState::setProbe([&answers] { return answers.takeFirst(); });
        QCOMPARE(ModSl::IsOnline(), online);
        NetworkState::setProbe({});
        QVERIFY(answers.isEmpty());
    }

    void exitProgramClosesInOrder()
    {
        QStringList order;
        CloseRecorder recorder(&order);
        std::vector<std::unique_ptr<QWidget>> windows;
        // Created in another order than they close; one unknown window stays.
        const QStringList names{"ADFrm",   "QuendaSz", "GyQuenda",  "MuenFrm",
                                "FlashFrm", "GameJsFrm", "QuendaUpdateFm", "Other"};
        for (const QString &name : names) {
            windows.push_back(std::make_unique<QWidget>());
            windows.back()->setObjectName(name);
            windows.back()->installEventFilter(&recorder);
            windows.back()->show();
        }
        auto *main = new FormMain;
        main->installEventFilter(&recorder);
        main->show();
        main->TP->Show();
        QVERIFY(main->TP->isShown());

        ModSl::ExitProgram();

        QVERIFY(!main->TP->isShown());
        // The main window's close handler runs ExitProgram again; it must not
        // start over, so every window closes exactly once.
        QCOMPARE(order, (QStringList{"FlashFrm", "MuenFrm", "GameJsFrm", "QuendaUpdateFm",
                                     "GyQuenda", "QuendaSz", "FormMain", "ADFrm"}));
        QVERIFY(windows.back()->isVisible()); // not one of the program's windows
        delete main;
    }

    void exitProgramSkipsMissingWindows()
    {
        QStringList order;
        CloseRecorder recorder(&order);
        auto *main = new FormMain;
        main->installEventFilter(&recorder);
        main->show();
        ModSl::ExitProgram();
        QCOMPARE(order, QStringList{"FormMain"});
        QVERIFY(!main->isVisible());
        delete main;
    }
};

AURILO_FORM_TEST_MAIN(TestModSl)
#include "tst_modsl.moc"
