#include "ansicodec.h"
#include "tray.h"

#include <QSignalSpy>
#include <QSystemTrayIcon>
#include <QTest>
#include <QWidget>

class TestTray : public QObject
{
    Q_OBJECT

private slots:
    void bubbleTextsFitTheirFields_data()
    {
        QTest::addColumn<QString>("title");
        QTest::addColumn<int>("bytes");
        QTest::newRow("short") << "新资源" << 6;
        QTest::newRow("ascii exactly 63") << QString(63, u'a') << 63;
        QTest::newRow("ascii beyond") << QString(80, u'a') << 63;
        // 32 Chinese characters are 64 bytes: the last one no longer fits.
        QTest::newRow("chinese beyond") << QString(32, u'书') << 62;
    }

    void bubbleTextsFitTheirFields()
    {
        QFETCH(QString, title);
        QFETCH(int, bytes);
        QWidget owner;
        Tray tray(&owner, QStringLiteral("TP"));
        tray.ShowBubble(title, QString(300, u'x'), Tray::BubbleInformation);
        QCOMPARE(Ansi::encode(tray.bubbleTitle()).size(), bytes);
        QVERIFY(title.startsWith(tray.bubbleTitle()));
        QCOMPARE(tray.bubbleText(), QString(255, u'x'));
    }

    void changeIconClearsTheBalloon()
    {
        QWidget owner;
        Tray tray(&owner);
        tray.Show();
        tray.ShowBubble(QStringLiteral("标题"), QStringLiteral("内容"), Tray::BubbleWarning);
        QCOMPARE(tray.bubbleTitle(), QStringLiteral("标题"));
        tray.ChangeIcon(QIcon());
        QVERIFY(tray.bubbleTitle().isEmpty());
        QVERIFY(tray.bubbleText().isEmpty());
    }

    void iconFallsBackToTheOwnersIcon()
    {
        QWidget owner;
        QPixmap red(16, 16);
        red.fill(Qt::red);
        owner.setWindowIcon(QIcon(red));
        Tray tray(&owner);
        tray.Show();
        QVERIFY(tray.isShown());
        QCOMPARE(tray.systemTrayIcon()->icon().pixmap(16, 16).toImage().pixelColor(8, 8),
                 QColor(Qt::red));
        tray.Hide();
        QVERIFY(!tray.isShown());
    }

    void activationsBecomeEvents_data()
    {
        QTest::addColumn<int>("reason");
        QTest::addColumn<int>("clicks");
        QTest::addColumn<int>("popups");
        QTest::newRow("left click") << int(QSystemTrayIcon::Trigger) << 1 << 0;
        QTest::newRow("right click") << int(QSystemTrayIcon::Context) << 0 << 1;
        QTest::newRow("double click adds nothing") << int(QSystemTrayIcon::DoubleClick) << 0 << 0;
        QTest::newRow("middle click") << int(QSystemTrayIcon::MiddleClick) << 0 << 0;
    }

    void activationsBecomeEvents()
    {
        QFETCH(int, reason);
        QFETCH(int, clicks);
        QFETCH(int, popups);
        QWidget owner;
        Tray tray(&owner);
        QSignalSpy click(&tray, &Tray::Click);
        QSignalSpy popup(&tray, &Tray::PopupMenu);
        emit tray.systemTrayIcon()->activated(QSystemTrayIcon::ActivationReason(reason));
        QCOMPARE(click.size(), clicks);
        QCOMPARE(popup.size(), popups);
    }
};

QTEST_MAIN(TestTray)
#include "tst_tray.moc"
