#include "linklabels.h"

#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QTest>

namespace {

const QColor kHover(255, 101, 1);
const QColor kNormal(0, 0, 0);

// The window behind the links: records what reaches it, as the real windows
// would take a move for a move off the links and a press for a drag.
class Backdrop : public QWidget
{
public:
    QStringList seen;

protected:
    void mouseMoveEvent(QMouseEvent *) override { seen << QStringLiteral("move"); }
    void mousePressEvent(QMouseEvent *) override { seen << QStringLiteral("press"); }
    void mouseReleaseEvent(QMouseEvent *) override { seen << QStringLiteral("release"); }
    void keyPressEvent(QKeyEvent *) override { seen << QStringLiteral("key"); }
};

class Fixture
{
public:
    Fixture()
    {
        window.resize(200, 60);
        window.setMouseTracking(true); // as the real windows, which watch moves off the links
        for (int i = 0; i < 2; ++i) {
            auto *link = new QLabel(QStringLiteral("link %1").arg(i), &window);
            link->setGeometry(10 + 90 * i, 10, 80, 20);
            labels.append(link);
        }
        links = new LinkLabels(labels, kHover, kNormal,
                               {[this](int i) { calls << QStringLiteral("move %1").arg(i); },
                                [this](int i, int button) {
                                    calls << QStringLiteral("down %1 %2").arg(i).arg(button);
                                },
                                [this](int i) { calls << QStringLiteral("click %1").arg(i); }},
                               &window);
    }

    QColor colour(int index) const
    {
        return labels.at(index)->palette().color(QPalette::WindowText);
    }

    Backdrop window;
    QList<QLabel *> labels;
    LinkLabels *links = nullptr;
    QStringList calls;
};

} // namespace

class TestLinkLabels : public QObject
{
    Q_OBJECT

private slots:
    void preparesTheLabels()
    {
        Fixture f;
        for (QLabel *link : std::as_const(f.labels)) {
            QCOMPARE(link->cursor().shape(), Qt::PointingHandCursor);
            QVERIFY(link->hasMouseTracking());
            QCOMPARE(link->focusPolicy(), Qt::TabFocus);
            QCOMPARE(link->palette().color(QPalette::WindowText), kNormal);
        }
    }

    // One event on the second link: a mouse event with its button, or a key
    // press with its key.
    void eventsBecomeHandlerCalls_data()
    {
        QTest::addColumn<QEvent::Type>("type");
        QTest::addColumn<int>("code");
        QTest::addColumn<bool>("outside"); // a mouse event off the link
        QTest::addColumn<bool>("autoRepeat");
        QTest::addColumn<QStringList>("calls");
        QTest::addColumn<QStringList>("windowSees");
        const QStringList none;
        const QStringList click{"click 1"};
        QTest::newRow("move") << QEvent::MouseMove << int(Qt::NoButton) << false << false
                              << QStringList{"move 1"} << none;
        QTest::newRow("left press") << QEvent::MouseButtonPress << int(Qt::LeftButton) << false
                                    << false << QStringList{"down 1 1"} << none;
        QTest::newRow("right press") << QEvent::MouseButtonPress << int(Qt::RightButton) << false
                                     << false << QStringList{"down 1 2"} << none;
        QTest::newRow("middle press") << QEvent::MouseButtonPress << int(Qt::MiddleButton) << false
                                      << false << QStringList{"down 1 4"} << none;
        QTest::newRow("double click") << QEvent::MouseButtonDblClick << int(Qt::LeftButton) << false
                                      << false << QStringList{"down 1 1"} << none;
        QTest::newRow("left release")
            << QEvent::MouseButtonRelease << int(Qt::LeftButton) << false << false << click << none;
        QTest::newRow("left release off the link")
            << QEvent::MouseButtonRelease << int(Qt::LeftButton) << true << false << none << none;
        QTest::newRow("right release")
            << QEvent::MouseButtonRelease << int(Qt::RightButton) << false << false << none << none;
        QTest::newRow("Return") << QEvent::KeyPress << int(Qt::Key_Return) << false << false
                                << click << none;
        QTest::newRow("Enter") << QEvent::KeyPress << int(Qt::Key_Enter) << false << false << click
                               << none;
        QTest::newRow("Space") << QEvent::KeyPress << int(Qt::Key_Space) << false << false << click
                               << none;
        QTest::newRow("held Return repeats nothing")
            << QEvent::KeyPress << int(Qt::Key_Return) << false << true << none << none;
        QTest::newRow("other key goes on")
            << QEvent::KeyPress << int(Qt::Key_A) << false << false << none << QStringList{"key"};
    }

    void eventsBecomeHandlerCalls()
    {
        QFETCH(QEvent::Type, type);
        QFETCH(int, code);
        QFETCH(bool, outside);
        QFETCH(bool, autoRepeat);
        QFETCH(QStringList, calls);
        QFETCH(QStringList, windowSees);
        Fixture f;
        QLabel *link = f.labels.at(1);
        if (type == QEvent::KeyPress) {
            QKeyEvent event(type, code, Qt::NoModifier, QString(), autoRepeat);
            QCoreApplication::sendEvent(link, &event);
        } else {
            const QPoint at = outside ? QPoint(link->width() + 5, 5) : link->rect().center();
            const auto button = Qt::MouseButton(code);
            // The state after the event: a release no longer holds its button.
            const Qt::MouseButtons held =
                type == QEvent::MouseButtonRelease ? Qt::NoButton : button;
            QMouseEvent event(type, at, link->mapToGlobal(at), button, held, Qt::NoModifier);
            QCoreApplication::sendEvent(link, &event);
        }
        QCOMPARE(f.calls, calls);
        QCOMPARE(f.window.seen, windowSees);
    }

    void hoverColours()
    {
        Fixture f;
        f.links->setHovered(0, true);
        f.links->setHovered(1, true);
        f.links->setHovered(0, false);
        QCOMPARE(f.colour(0), kNormal);
        QCOMPARE(f.colour(1), kHover);
        f.links->setHovered(0, true);
        f.links->clearHovered();
        QCOMPARE(f.colour(0), kNormal);
        QCOMPARE(f.colour(1), kNormal);
    }

    void focusShowsAsHover()
    {
        Fixture f;
        f.window.show();
        f.window.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&f.window));
        f.labels.at(1)->setFocus(Qt::TabFocusReason);
        QCOMPARE(f.colour(1), kHover);
        QCOMPARE(f.colour(0), kNormal);
        f.labels.at(0)->setFocus(Qt::TabFocusReason);
        QCOMPARE(f.colour(1), kNormal);
        QCOMPARE(f.colour(0), kHover);
        QVERIFY(f.calls.isEmpty()); // focus alone clicks nothing
    }
};

QTEST_MAIN(TestLinkLabels)
#include "tst_linklabels.moc"
