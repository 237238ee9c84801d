#include "frmxf.h"

#include <QTest>
#include <QWidget>

using FrmXf::Placement;

// The main window in every geometry case: left 100, top 100, 300 x 600, so its
// right edge is at 400 and its bottom at 700.
static const QRect kMain(100, 100, 300, 600);

class TestFrmXf : public QObject
{
    Q_OBJECT

private slots:
    void snap_data()
    {
        QTest::addColumn<QRect>("window");
        QTest::addColumn<QRect>("expected");
        QTest::addColumn<int>("side");
        QTest::addColumn<int>("offset");
        QTest::newRow("7 px right of the right edge")
            << QRect(407, 150, 200, 300) << QRect(400, 150, 200, 300) << 2 << 50;
        QTest::newRow("10 px still snaps") << QRect(410, 90, 200, 300)
                                           << QRect(400, 90, 200, 300) << 2 << -10;
        QTest::newRow("11 px does not") << QRect(411, 150, 200, 300)
                                        << QRect(411, 150, 200, 300) << 0 << 0;
        QTest::newRow("overlapping the right edge by 5")
            << QRect(395, 150, 200, 300) << QRect(400, 150, 200, 300) << 2 << 50;
        QTest::newRow("left edge") << QRect(-95, 120, 200, 300) << QRect(-100, 120, 200, 300)
                                   << 1 << 20;
        QTest::newRow("above") << QRect(150, -193, 200, 300) << QRect(150, -200, 200, 300) << 3
                               << 50;
        QTest::newRow("below") << QRect(120, 705, 200, 300) << QRect(120, 700, 200, 300) << 4
                               << 20;
        // Entirely below the main window: its left edge is near the right edge
        // but they do not overlap vertically; that first near edge decides, so
        // its top being near the bottom edge does not dock it either.
        QTest::newRow("near right edge but below, first near edge decides")
            << QRect(405, 705, 200, 300) << QRect(405, 705, 200, 300) << 0 << 0;
        QTest::newRow("touching at the corner overlaps")
            << QRect(400, 700, 200, 300) << QRect(400, 700, 200, 300) << 2 << 600;
        QTest::newRow("far away") << QRect(900, 100, 200, 300) << QRect(900, 100, 200, 300)
                                  << 0 << 0;
    }

    void snap()
    {
        QFETCH(QRect, window);
        QFETCH(QRect, expected);
        QFETCH(int, side);
        QFETCH(int, offset);
        const Placement placement = FrmXf::Snap(kMain, window);
        QCOMPARE(placement.rect, expected);
        QCOMPARE(int(placement.side), side);
        QCOMPARE(placement.offset, offset);
    }

    void follow_data()
    {
        QTest::addColumn<int>("side");
        QTest::addColumn<int>("offset");
        QTest::addColumn<QPoint>("topLeft");
        QTest::newRow("left") << 1 << 20 << QPoint(-100, 120);
        QTest::newRow("right") << 2 << -10 << QPoint(400, 90);
        QTest::newRow("top") << 3 << 50 << QPoint(150, -200);
        QTest::newRow("bottom") << 4 << 0 << QPoint(100, 700);
        QTest::newRow("not docked stays") << 0 << 0 << QPoint(7, 8);
    }

    void follow()
    {
        QFETCH(int, side);
        QFETCH(int, offset);
        QFETCH(QPoint, topLeft);
        const QRect moved = FrmXf::Follow(std::int16_t(side), offset, kMain, QRect(7, 8, 200, 300));
        QCOMPARE(moved, QRect(topLeft, QSize(200, 300)));
    }

    void realWindowsFollowAndRelease()
    {
        FrmXf::ResetDockTable();
        QWidget main;
        QWidget player;
        main.setGeometry(100, 100, 300, 600);
        player.setGeometry(500, 100, 200, 300);
        main.show();
        player.show();
        QVERIFY(QTest::qWaitForWindowExposed(&main));
        QVERIFY(QTest::qWaitForWindowExposed(&player));
        FrmXf::InstallDockHook(&main, &main);
        FrmXf::InstallDockHook(&player, &main);

        // Dragged to 7 px right of the main window's right edge: it snaps.
        player.move(main.frameGeometry().left() + main.frameGeometry().width() + 7, 150);
        QCOMPARE(player.frameGeometry().left(),
                 main.frameGeometry().left() + main.frameGeometry().width());
        QCOMPARE(FrmXf::DockTable().size(), 1);
        QCOMPARE(int(FrmXf::DockTable().first().side), 2);

        // The main window moves: the player keeps its vertical offset.
        const int offset = player.frameGeometry().top() - main.frameGeometry().top();
        main.move(main.x() + 60, main.y() + 40);
        QCOMPARE(player.frameGeometry().left(),
                 main.frameGeometry().left() + main.frameGeometry().width());
        QCOMPARE(player.frameGeometry().top() - main.frameGeometry().top(), offset);

        // Dragged far away: released; the main window then moves alone.
        player.move(900, 500);
        QCOMPARE(int(FrmXf::DockTable().first().side), 0);
        main.move(main.x() + 10, main.y());
        QCOMPARE(player.pos(), QPoint(900, 500));
    }
};

QTEST_MAIN(TestFrmXf)
#include "tst_frmxf.moc"
