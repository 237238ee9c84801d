#include "wt.h"

#include <QElapsedTimer>
#include <QPushButton>
#include <QTest>
#include <QThread>
#include <QTime>
#include <QTimer>

#include <climits>
#include <memory>

namespace {

// Waits sharing a timer must start in the same second; start a case early in
// a second so that a few milliseconds of work cannot cross into the next.
void startEarlyInSecond()
{
    const int ms = QTime::currentTime().msec();
    if (ms > 500)
        QThread::msleep(1000 - ms + 20);
}

constexpr int kOneDay = 24 * 60 * 60 * 1000;

} // namespace

class TestWt : public QObject
{
    Q_OBJECT

private slots:
    void timerName_data()
    {
        QTest::addColumn<QTime>("now");
        QTest::addColumn<QString>("name");
        QTest::newRow("start of hour") << QTime(10, 0, 0) << "tst_wtTimer0000";
        QTest::newRow("two digits each") << QTime(1, 7, 5, 999) << "tst_wtTimer0705";
        QTest::newRow("end of day") << QTime(23, 59, 59) << "tst_wtTimer5959";
    }

    void timerName()
    {
        QFETCH(QTime, now);
        QFETCH(QString, name);
        QCOMPARE(wt::timerName(now), name);
    }

    void doesNotReturnBeforeItsTime_data()
    {
        QTest::addColumn<int>("ms");
        QTest::newRow("short") << 30;
        QTest::newRow("longer") << 250;
    }

    void doesNotReturnBeforeItsTime()
    {
        QFETCH(int, ms);
        wt timer;
        QElapsedTimer clock;
        clock.start();
        timer.Wait(ms);
        // A precise timer fires on the millisecond; allow for the rounding.
        QVERIFY2(clock.elapsed() >= ms - 3, qPrintable(QString::number(clock.elapsed())));
    }

    void timerFiringDuringWaitIsHandled()
    {
        wt timer;
        bool fired = false;
        QTimer::singleShot(20, this, [&] { fired = true; });
        timer.Wait(200);
        QVERIFY(fired);
    }

    void clickDuringWaitReacts()
    {
        QPushButton button(QStringLiteral("ok"));
        button.show();
        QVERIFY(QTest::qWaitForWindowExposed(&button));
        int clicks = 0;
        connect(&button, &QPushButton::clicked, this, [&] { ++clicks; });
        QTimer::singleShot(20, this, [&] { QTest::mouseClick(&button, Qt::LeftButton); });

        wt timer;
        timer.Wait(200);
        QCOMPARE(clicks, 1);
    }

    void waitZeroProcessesPendingEvents()
    {
        bool delivered = false;
        QMetaObject::invokeMethod(
            this, [&] { delivered = true; }, Qt::QueuedConnection);
        wt timer;
        timer.Wait(0);
        QVERIFY(delivered);
    }

    // The outer waits below are a day long: they can only end through the
    // shared timer that the inner wait set anew. Were it not shared, the case
    // would never end and the test runner would report it as timed out.
    void nestedWaitInSameSecondMovesOuterDueTime()
    {
        startEarlyInSecond();
        wt outer;
        wt inner;
        QString innerName;
        bool innerReturned = false;
        QTimer::singleShot(0, this, [&] {
            innerName = wt::timerName(QTime::currentTime());
            inner.Wait(100);
            innerReturned = true;
        });
        const QString outerName = wt::timerName(QTime::currentTime());
        QElapsedTimer clock;
        clock.start();
        outer.Wait(kOneDay);

        QCOMPARE(innerName, outerName); // the case needs one shared timer
        QVERIFY(innerReturned);
        // It ended with the inner wait's due time, not before it.
        QVERIFY2(clock.elapsed() >= 100 - 3, qPrintable(QString::number(clock.elapsed())));
    }

    void nestedWaitInOtherSecondLeavesOuterDueTime()
    {
        startEarlyInSecond();
        wt outer;
        wt inner;
        QString innerName;
        QTimer::singleShot(0, this, [&] {
            // Move on into the next second before starting the inner wait.
            QThread::msleep(1000 - QTime::currentTime().msec() + 20);
            innerName = wt::timerName(QTime::currentTime());
            inner.Wait(50);
        });
        const QString outerName = wt::timerName(QTime::currentTime());
        QElapsedTimer clock;
        clock.start();
        outer.Wait(1200);

        QVERIFY(innerName != outerName);
        QVERIFY2(clock.elapsed() >= 1200 - 3, qPrintable(QString::number(clock.elapsed())));
    }

    void waitZeroInsideWaitEndsBoth()
    {
        // Due at once is also a new due time for the shared timer.
        startEarlyInSecond();
        wt outer;
        wt inner;
        bool innerReturned = false;
        QTimer::singleShot(0, this, [&] {
            inner.Wait(0);
            innerReturned = true;
        });
        outer.Wait(kOneDay);
        QVERIFY(innerReturned);
    }

    void negativeTimeWaitsAsZero_data()
    {
        QTest::addColumn<int>("ms");
        QTest::newRow("minus one") << -1;
        QTest::newRow("lowest") << INT_MIN;
    }

    void negativeTimeWaitsAsZero()
    {
        QFETCH(int, ms);
        bool delivered = false;
        QMetaObject::invokeMethod(
            this, [&] { delivered = true; }, Qt::QueuedConnection);
        wt timer;
        QString error;
        try {
            timer.Wait(ms);
        } catch (const WaitError &e) {
            error = QString::fromUtf8(e.what());
        }
        QVERIFY2(error.isEmpty(), qPrintable(error));
        QVERIFY(delivered); // the pending events were processed, as Wait(0) does

        // Inside another wait of the same second, it ends both, as 0 does.
        startEarlyInSecond();
        wt outer;
        bool innerReturned = false;
        QTimer::singleShot(0, this, [&] {
            timer.Wait(ms);
            innerReturned = true;
        });
        outer.Wait(kOneDay);
        QVERIFY(innerReturned);
    }

    void objectEndingDuringItsWaitLetsTheWaitFinish()
    {
        auto timer = std::make_unique<wt>();
        wt *raw = timer.get();
        QTimer::singleShot(10, this, [&] { timer.reset(); });
        QElapsedTimer clock;
        clock.start();
        raw->Wait(60);
        QVERIFY(!timer);
        QVERIFY2(clock.elapsed() >= 60 - 3, qPrintable(QString::number(clock.elapsed())));
    }
};

QTEST_MAIN(TestWt)
#include "tst_wt.moc"
