#include "csubclass.h"

#include <QContextMenuEvent>
#include <QLoggingCategory>
#include <QMouseEvent>
#include <QPainter>
#include <QRegularExpression>
#include <QTest>
#include <QWidget>

#include <algorithm>
#include <functional>
#include <memory>
#include <utility>

using namespace Wm;

namespace {

struct Call
{
    bool before = false;
    std::uint32_t msg = 0;
    WPARAM wParam = 0;
    LPARAM lParam = 0;
    LRESULT lReturn = 0; // as the call found it
    LPARAM user = 0;
    QWidget *window = nullptr;
};

// Records every call; react, when set, plays the owner's part.
class Recorder : public ISubclass
{
public:
    explicit Recorder(QString name = QString(), QStringList *journal = nullptr)
        : m_name(std::move(name)), m_journal(journal)
    {
    }

    void WndProc(bool bBefore, bool &bHandled, LRESULT &lReturn, QWidget *lhWnd, std::uint32_t uMsg,
                 WPARAM wParam, LPARAM lParam, LPARAM &lParamUser) override
    {
        m_calls.append({bBefore, uMsg, wParam, lParam, lReturn, lParamUser, lhWnd});
        if (m_journal)
            m_journal->append(QStringLiteral("%1 %2 %3")
                                  .arg(m_name, bBefore ? "before" : "after")
                                  .arg(uMsg, 0, 16));
        if (react)
            react(m_calls.last(), bHandled, lReturn, lParamUser);
    }

    // The calls for one message number.
    QList<Call> of(std::uint32_t msg) const
    {
        QList<Call> found;
        for (const Call &c : m_calls)
            if (c.msg == msg)
                found.append(c);
        return found;
    }

    // The message numbers seen in one phase, painting left out (it comes
    // whenever the platform decides).
    QList<std::uint32_t> seen(bool before) const
    {
        QList<std::uint32_t> found;
        for (const Call &c : m_calls)
            if (c.before == before && c.msg != WM_NCPAINT)
                found.append(c.msg);
        return found;
    }

    std::function<void(const Call &, bool &bHandled, LRESULT &lReturn, LPARAM &user)> react;
    QList<Call> m_calls;

private:
    QString m_name;
    QStringList *m_journal;
};

// The watched window; remembers what reached its own handling.
class Probe : public QWidget
{
public:
    explicit Probe(QWidget *parent = nullptr) : QWidget(parent) { resize(100, 60); }

    QStringList *journal = nullptr;
    std::function<void()> onPress; // runs inside the widget's own press handling
    int presses = 0;
    int leaves = 0;
    int paints = 0;
    QColor fill = Qt::blue;

    // The last message-like event the own handling received.
    QEvent::Type lastType = QEvent::None;
    Qt::MouseButton lastButton = Qt::NoButton;
    Qt::MouseButtons lastButtons;
    Qt::KeyboardModifiers lastModifiers;
    QPoint lastPoint; // mouse: local point; wheel: screen point; move: pos; resize: w, h
    int lastDelta = 0;

protected:
    bool event(QEvent *e) override
    {
        remember(e);
        return QWidget::event(e);
    }

    void mousePressEvent(QMouseEvent *e) override
    {
        ++presses;
        if (journal)
            journal->append(QStringLiteral("own press"));
        if (onPress)
            onPress();
        QWidget::mousePressEvent(e); // ignores it: the parent gets it next
    }

    void leaveEvent(QEvent *e) override
    {
        ++leaves;
        QWidget::leaveEvent(e);
    }

    void paintEvent(QPaintEvent *) override
    {
        ++paints;
        QPainter(this).fillRect(rect(), fill);
    }

private:
    void remember(QEvent *e)
    {
        switch (e->type()) {
        case QEvent::MouseMove:
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick: {
            const auto *me = static_cast<QMouseEvent *>(e);
            lastButton = me->button();
            lastButtons = me->buttons();
            lastModifiers = me->modifiers();
            lastPoint = me->position().toPoint();
            break;
        }
        case QEvent::Wheel: {
            const auto *we = static_cast<QWheelEvent *>(e);
            lastButton = Qt::NoButton;
            lastButtons = we->buttons();
            lastModifiers = we->modifiers();
            lastPoint = we->globalPosition().toPoint();
            lastDelta = we->angleDelta().y();
            break;
        }
        case QEvent::Move:
            lastPoint = static_cast<QMoveEvent *>(e)->pos();
            break;
        case QEvent::Resize: {
            const QSize s = static_cast<QResizeEvent *>(e)->size();
            lastPoint = QPoint(s.width(), s.height());
            break;
        }
        case QEvent::Leave:
            break;
        default:
            return;
        }
        lastType = e->type();
    }
};

// Builds the event of a table row when the case runs: Qt events share their
// point data with the device, so they are not made ahead.
using MakeEvent = std::function<QEvent *()>;

// Collects the debug lines of the window infrastructure while it lives.
QStringList *g_debugLines = nullptr;
QtMessageHandler g_previousHandler = nullptr;

void collectDebug(QtMsgType type, const QMessageLogContext &context, const QString &text)
{
    if (g_debugLines && type == QtDebugMsg && qstrcmp(context.category, "aurilo.winfra") == 0) {
        g_debugLines->append(text);
        return;
    }
    g_previousHandler(type, context, text);
}

class DebugLines
{
public:
    DebugLines()
    {
        QLoggingCategory::setFilterRules(QStringLiteral("aurilo.winfra.debug=true"));
        g_debugLines = &lines;
        g_previousHandler = qInstallMessageHandler(collectDebug);
    }
    ~DebugLines()
    {
        qInstallMessageHandler(g_previousHandler);
        g_debugLines = nullptr;
        QLoggingCategory::setFilterRules(QString());
    }
    QStringList lines;
};

constexpr int Before = CSubclass::MSG_BEFORE;
constexpr int After = CSubclass::MSG_AFTER;
constexpr int Both = CSubclass::MSG_BEFORE_AND_AFTER;
constexpr std::uint32_t All = CSubclass::ALL_MESSAGES;
constexpr std::uint32_t WM_USER = 0x400;
constexpr qulonglong kWindowHandle = ~0ull; // stands for "the watched window"

QList<std::uint32_t> userMessages(int from, int count)
{
    QList<std::uint32_t> list;
    for (int i = 0; i < count; ++i)
        list.append(WM_USER + from + i);
    return list;
}

} // namespace

Q_DECLARE_METATYPE(MakeEvent)

class TestCSubclass : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        // Every log line a case expects is announced with ignoreMessage.
        QTest::failOnWarning(QRegularExpression(QStringLiteral("^CSubclass")));
    }

    void eventsArePresentedAsMessages_data()
    {
        QTest::addColumn<MakeEvent>("makeEvent");
        QTest::addColumn<uint>("msg");
        QTest::addColumn<qulonglong>("wParam");
        QTest::addColumn<qlonglong>("lParam");

        auto mouse = [](QEvent::Type type, QPoint pos, Qt::MouseButton button,
                        Qt::MouseButtons buttons, Qt::KeyboardModifiers modifiers = {}) {
            return MakeEvent([=] {
                return new QMouseEvent(type, pos, pos + QPoint(100, 100), button, buttons,
                                       modifiers);
            });
        };
        auto wheel = [](QPoint global, int delta, Qt::MouseButtons buttons,
                        Qt::KeyboardModifiers modifiers) {
            return MakeEvent([=] {
                return new QWheelEvent(QPointF(5, 5), global, QPoint(), QPoint(0, delta), buttons,
                                       modifiers, Qt::NoScrollPhase, false);
            });
        };
        const auto Press = QEvent::MouseButtonPress;
        const auto Release = QEvent::MouseButtonRelease;
        const auto Double = QEvent::MouseButtonDblClick;

        QTest::newRow("move") << mouse(QEvent::MouseMove, {5, 6}, Qt::NoButton, Qt::NoButton)
                              << uint(WM_MOUSEMOVE) << 0ull << 0x00060005ll;
        QTest::newRow("drag left of the window")
            << mouse(QEvent::MouseMove, {-3, 40}, Qt::NoButton, Qt::LeftButton, Qt::ControlModifier)
            << uint(WM_MOUSEMOVE) << 0x9ull << 0x0028FFFDll;
        QTest::newRow("left down") << mouse(Press, {10, 20}, Qt::LeftButton, Qt::LeftButton)
                                   << uint(WM_LBUTTONDOWN) << 0x1ull << 0x0014000All;
        QTest::newRow("left up") << mouse(Release, {10, 20}, Qt::LeftButton, Qt::NoButton)
                                 << uint(WM_LBUTTONUP) << 0x0ull << 0x0014000All;
        QTest::newRow("left double") << mouse(Double, {10, 20}, Qt::LeftButton, Qt::LeftButton)
                                     << uint(WM_LBUTTONDBLCLK) << 0x1ull << 0x0014000All;
        QTest::newRow("right down, shift")
            << mouse(Press, {1, 2}, Qt::RightButton, Qt::RightButton, Qt::ShiftModifier)
            << uint(WM_RBUTTONDOWN) << 0x6ull << 0x00020001ll;
        QTest::newRow("right up, left still down")
            << mouse(Release, {1, 2}, Qt::RightButton, Qt::LeftButton) << uint(WM_RBUTTONUP)
            << 0x1ull << 0x00020001ll;
        QTest::newRow("right double") << mouse(Double, {1, 2}, Qt::RightButton, Qt::RightButton)
                                      << uint(WM_RBUTTONDBLCLK) << 0x2ull << 0x00020001ll;
        QTest::newRow("middle down, shift and ctrl")
            << mouse(Press, {0, 0}, Qt::MiddleButton, Qt::MiddleButton,
                     Qt::ShiftModifier | Qt::ControlModifier)
            << uint(WM_MBUTTONDOWN) << 0x1Cull << 0x0ll;
        QTest::newRow("middle up") << mouse(Release, {0, 0}, Qt::MiddleButton, Qt::NoButton)
                                   << uint(WM_MBUTTONUP) << 0x0ull << 0x0ll;
        QTest::newRow("middle double") << mouse(Double, {0, 0}, Qt::MiddleButton, Qt::MiddleButton)
                                       << uint(WM_MBUTTONDBLCLK) << 0x10ull << 0x0ll;
        QTest::newRow("wheel away, shift, screen point")
            << wheel({300, 400}, 120, Qt::NoButton, Qt::ShiftModifier) << uint(WM_MOUSEWHEEL)
            << 0x00780004ull << 0x0190012Cll;
        QTest::newRow("wheel toward, left down")
            << wheel({300, 400}, -120, Qt::LeftButton, Qt::NoModifier) << uint(WM_MOUSEWHEEL)
            << 0xFF880001ull << 0x0190012Cll;
        QTest::newRow("wheel on a screen left of the first")
            << wheel({-20, 7}, 240, Qt::NoButton, Qt::NoModifier) << uint(WM_MOUSEWHEEL)
            << 0x00F00000ull << 0x0007FFECll;
        QTest::newRow("moved") << MakeEvent([] {
            return new QMoveEvent({12, -4}, {0, 0});
        }) << uint(WM_MOVE) << 0x0ull
                               << 0xFFFC000Cll;
        QTest::newRow("resized") << MakeEvent([] {
            return new QResizeEvent({90, 30}, {100, 60});
        }) << uint(WM_SIZE) << 0x0ull
                                 << 0x001E005All;
        QTest::newRow("context menu by mouse") << MakeEvent([] {
            return new QContextMenuEvent(QContextMenuEvent::Mouse, {7, 8}, {107, 208});
        }) << uint(WM_CONTEXTMENU) << kWindowHandle
                                               << 0x00D0006Bll;
        QTest::newRow("context menu by keyboard") << MakeEvent([] {
            return new QContextMenuEvent(QContextMenuEvent::Keyboard, {50, 30}, {150, 130});
        }) << uint(WM_CONTEXTMENU) << kWindowHandle
                                                  << 0xFFFFFFFFll;
    }

    void eventsArePresentedAsMessages()
    {
        QFETCH(MakeEvent, makeEvent);
        QFETCH(uint, msg);
        QFETCH(qulonglong, wParam);
        QFETCH(qlonglong, lParam);
        Probe probe;
        Recorder owner;
        CSubclass sub;
        QVERIFY(sub.Subclass_Start(&probe, &owner));
        sub.Subclass_AddMsg(&probe, All, Both);

        const std::unique_ptr<QEvent> event(makeEvent());
        QCoreApplication::sendEvent(&probe, event.get());

        const QList<Call> calls = owner.of(msg);
        QCOMPARE(calls.size(), 2);
        const WPARAM expectedWParam =
            wParam == kWindowHandle ? WPARAM(quintptr(&probe)) : WPARAM(wParam);
        for (const Call &c : calls) {
            QCOMPARE(c.window, &probe);
            QCOMPARE(c.wParam, expectedWParam);
            QCOMPARE(c.lParam, LPARAM(lParam));
        }
        QVERIFY(calls.at(0).before);
        QVERIFY(!calls.at(1).before);
        // In between, the widget's own handling had the event.
        QCOMPARE(probe.lastType,
                 event->type() == QEvent::ContextMenu ? QEvent::None : event->type());
    }

    void mouseClicksCarryKeyState_data()
    {
        QTest::addColumn<Qt::MouseButton>("button");
        QTest::addColumn<bool>("doubleClick");
        QTest::addColumn<QStringList>("expected"); // message:key state, in hex

        QTest::newRow("left") << Qt::LeftButton << false << QStringList{"201:5", "202:4"};
        QTest::newRow("right") << Qt::RightButton << false << QStringList{"204:6", "205:4"};
        QTest::newRow("middle") << Qt::MiddleButton << false << QStringList{"207:14", "208:4"};
        QTest::newRow("left double")
            << Qt::LeftButton << true << QStringList{"201:5", "202:4", "203:5", "202:4"};
    }

    void mouseClicksCarryKeyState()
    {
        QFETCH(Qt::MouseButton, button);
        QFETCH(bool, doubleClick);
        QFETCH(QStringList, expected);
        Probe probe;
        probe.show();
        QVERIFY(QTest::qWaitForWindowExposed(&probe));
        Recorder owner;
        CSubclass sub;
        QVERIFY(sub.Subclass_Start(&probe, &owner));
        for (std::uint32_t m = WM_LBUTTONDOWN; m <= WM_MBUTTONDBLCLK; ++m)
            sub.Subclass_AddMsg(&probe, m, Before);

        QTest::mouseClick(&probe, button, Qt::ShiftModifier, {10, 20});
        if (doubleClick) {
            // The second press of a double click comes as a double-click event.
            QTest::mouseDClick(&probe, button, Qt::ShiftModifier, {10, 20});
            QTest::mouseRelease(&probe, button, Qt::ShiftModifier, {10, 20});
        }

        QStringList got;
        for (const Call &c : owner.m_calls) {
            got.append(QStringLiteral("%1:%2").arg(c.msg, 0, 16).arg(c.wParam, 0, 16));
            QCOMPARE(c.lParam, makeLParam(10, 20));
        }
        QCOMPARE(got, expected);
    }

    void beforeOwnAfterNestLikeWindowProcedures()
    {
        Probe probe;
        probe.show();
        QVERIFY(QTest::qWaitForWindowExposed(&probe));
        QStringList journal;
        probe.journal = &journal;
        Recorder first(QStringLiteral("first"), &journal);
        Recorder second(QStringLiteral("second"), &journal);
        CSubclass subFirst;
        CSubclass subSecond;
        QVERIFY(subFirst.Subclass_Start(&probe, &first));
        QVERIFY(subSecond.Subclass_Start(&probe, &second));
        subFirst.Subclass_AddMsg(&probe, WM_LBUTTONDOWN, Both);
        subSecond.Subclass_AddMsg(&probe, WM_LBUTTONDOWN, Both);
        first.react = [](const Call &c, bool &, LRESULT &lReturn, LPARAM &) {
            if (!c.before)
                lReturn = 5;
        };

        QTest::mousePress(&probe, Qt::LeftButton, {}, {3, 3});
        QTest::mouseRelease(&probe, Qt::LeftButton, {}, {3, 3});

        const QStringList expected{"second before 201", "first before 201", "own press",
                                   "first after 201", "second after 201"};
        QCOMPARE(journal, expected);
        // The inner after-call sees the widget's answer (QWidget::event took
        // the press), the outer one what the inner one left.
        QCOMPARE(first.of(WM_LBUTTONDOWN).at(1).lReturn, LRESULT(1));
        QCOMPARE(second.of(WM_LBUTTONDOWN).at(1).lReturn, LRESULT(5));
    }

    void handledMessageGoesNoFurther_data()
    {
        QTest::addColumn<bool>("handled");
        QTest::newRow("answered before") << true;
        QTest::newRow("passed on") << false;
    }

    void handledMessageGoesNoFurther()
    {
        QFETCH(bool, handled);
        Probe parent;
        parent.resize(200, 200);
        auto *child = new Probe(&parent);
        parent.show();
        QVERIFY(QTest::qWaitForWindowExposed(&parent));

        Recorder inner;
        Recorder outer;
        CSubclass subInner;
        CSubclass subOuter;
        QVERIFY(subInner.Subclass_Start(child, &inner));
        QVERIFY(subOuter.Subclass_Start(child, &outer));
        subInner.Subclass_AddMsg(child, All, Both);
        subOuter.Subclass_AddMsg(child, All, Both);
        outer.react = [handled](const Call &c, bool &bHandled, LRESULT &lReturn, LPARAM &) {
            if (c.before && c.msg != WM_NCPAINT) {
                bHandled = handled;
                lReturn = 42;
            }
        };

        QTest::mousePress(child, Qt::LeftButton, {}, {5, 5});
        QTest::mouseRelease(child, Qt::LeftButton, {}, {5, 5});
        const LRESULT answer = CSubclass::SendMessage(child, WM_DRAWITEM, 0, 0);

        const QList<std::uint32_t> three{WM_LBUTTONDOWN, WM_LBUTTONUP, WM_DRAWITEM};
        QCOMPARE(outer.seen(true), three);
        QCOMPARE(child->presses, handled ? 0 : 1);
        // An answered press is taken; one the widget ignored goes to the parent.
        QCOMPARE(parent.presses, handled ? 0 : 1);
        QCOMPARE(inner.seen(true), handled ? QList<std::uint32_t>() : three);
        QCOMPARE(inner.seen(false), handled ? QList<std::uint32_t>() : three);
        QCOMPARE(outer.seen(false), handled ? QList<std::uint32_t>() : three);
        // The answer is what the last call left: the before-call's 42, or the
        // widget's own 0 for a message it has no event for.
        QCOMPARE(answer, handled ? LRESULT(42) : LRESULT(0));
    }

    void afterCallSeesAndChangesAnswer_data()
    {
        QTest::addColumn<uint>("msg");
        QTest::addColumn<qulonglong>("wParam");
        QTest::addColumn<int>("ownAnswer");
        QTest::newRow("press, taken by the widget") << uint(WM_LBUTTONDOWN) << 1ull << 1;
        QTest::newRow("draw item, no event") << uint(WM_DRAWITEM) << 0ull << 0;
        QTest::newRow("hot key, no event") << uint(WM_HOTKEY) << 7ull << 0;
    }

    void afterCallSeesAndChangesAnswer()
    {
        QFETCH(uint, msg);
        QFETCH(qulonglong, wParam);
        QFETCH(int, ownAnswer);
        Probe probe;
        Recorder owner;
        CSubclass sub;
        QVERIFY(sub.Subclass_Start(&probe, &owner));
        sub.Subclass_AddMsg(&probe, msg, After);
        owner.react = [](const Call &, bool &, LRESULT &lReturn, LPARAM &) { lReturn += 100; };

        const LRESULT answer = CSubclass::SendMessage(&probe, msg, wParam, makeLParam(2, 3));

        QCOMPARE(owner.m_calls.size(), 1);
        QCOMPARE(owner.m_calls.at(0).lReturn, LRESULT(ownAnswer));
        QCOMPARE(owner.m_calls.at(0).wParam, WPARAM(wParam));
        QCOMPARE(answer, LRESULT(ownAnswer + 100));
    }

    void thirtyThirdMessageIsRefused_data()
    {
        QTest::addColumn<int>("when");
        QTest::newRow("before table") << Before;
        QTest::newRow("after table") << After;
        QTest::newRow("both tables") << Both;
    }

    void thirtyThirdMessageIsRefused()
    {
        QFETCH(int, when);
        Probe probe;
        Recorder owner;
        CSubclass sub;
        QVERIFY(sub.Subclass_Start(&probe, &owner));
        const QList<std::uint32_t> first32 = userMessages(0, 32);
        for (std::uint32_t m : first32)
            sub.Subclass_AddMsg(&probe, m, when);
        const int tables = when == Both ? 2 : 1;
        for (int i = 0; i < tables; ++i)
            QTest::ignoreMessage(
                QtWarningMsg,
                "CSubclass.AddMsg: Message table overflow. Max message entries exceeded.");
        sub.Subclass_AddMsg(&probe, WM_USER + 32, when);

        for (std::uint32_t m : userMessages(0, 33))
            CSubclass::SendMessage(&probe, m, 0, 0);
        QCOMPARE(owner.seen(true), when & Before ? first32 : QList<std::uint32_t>());
        QCOMPARE(owner.seen(false), when & After ? first32 : QList<std::uint32_t>());
    }

    void freedSlotIsReused_data()
    {
        QTest::addColumn<int>("filled");
        QTest::addColumn<QList<std::uint32_t>>("added"); // after WM_USER + 5 was removed
        QTest::addColumn<int>("refusedFrom");            // index into added; -1 none

        QTest::newRow("freed slot taken before a new one")
            << 31 << QList<std::uint32_t>{0x500, 0x501, 0x502} << 2;
        QTest::newRow("removed message added again")
            << 31 << QList<std::uint32_t>{WM_USER + 5, 0x501, 0x502} << 2;
        QTest::newRow("present message takes no slot")
            << 31 << QList<std::uint32_t>{WM_USER, 0x500, 0x501, 0x502} << 3;
        QTest::newRow("count does not shrink") << 32 << QList<std::uint32_t>{0x500} << 0;
    }

    void freedSlotIsReused()
    {
        QFETCH(int, filled);
        QFETCH(QList<std::uint32_t>, added);
        QFETCH(int, refusedFrom);
        Probe probe;
        Recorder owner;
        CSubclass sub;
        QVERIFY(sub.Subclass_Start(&probe, &owner));
        const QList<std::uint32_t> initial = userMessages(0, filled);
        for (std::uint32_t m : initial)
            sub.Subclass_AddMsg(&probe, m, Before);
        sub.DeleteMessage(&probe, WM_USER + 5, Before);

        QList<std::uint32_t> expected = initial;
        expected.removeOne(WM_USER + 5);
        for (int i = 0; i < added.size(); ++i) {
            if (refusedFrom >= 0 && i >= refusedFrom)
                QTest::ignoreMessage(
                    QtWarningMsg,
                    "CSubclass.AddMsg: Message table overflow. Max message entries exceeded.");
            else if (!expected.contains(added.at(i)))
                expected.append(added.at(i));
            sub.Subclass_AddMsg(&probe, added.at(i), Before);
        }

        QList<std::uint32_t> sent = initial;
        sent.append(added);
        for (std::uint32_t m : sent)
            CSubclass::SendMessage(&probe, m, 0, 0);
        QList<std::uint32_t> seen = owner.seen(true);
        std::sort(seen.begin(), seen.end());
        seen.erase(std::unique(seen.begin(), seen.end()), seen.end());
        std::sort(expected.begin(), expected.end());
        QCOMPARE(seen, expected);
    }

    void everyMessageTable()
    {
        Probe probe;
        Recorder owner;
        CSubclass sub;
        QVERIFY(sub.Subclass_Start(&probe, &owner));
        const QList<std::uint32_t> probes{WM_DRAWITEM, WM_HOTKEY, 0x1234};
        auto sendAll = [&] {
            owner.m_calls.clear();
            for (std::uint32_t m : probes)
                CSubclass::SendMessage(&probe, m, 0, 0);
            return owner.seen(true);
        };

        sub.Subclass_AddMsg(&probe, All, Before);
        QCOMPARE(sendAll(), probes);
        // A specific message turns it into a table of that one message.
        sub.Subclass_AddMsg(&probe, WM_HOTKEY, Before);
        QCOMPARE(sendAll(), QList<std::uint32_t>{WM_HOTKEY});
        sub.DeleteMessage(&probe, All, Before);
        QCOMPARE(sendAll(), QList<std::uint32_t>());
        sub.Subclass_AddMsg(&probe, All, Before);
        sub.DeleteMessage(&probe, All, Before);
        QCOMPARE(sendAll(), QList<std::uint32_t>());
    }

    void removingMissingMessageIsLogged_data()
    {
        QTest::addColumn<uint>("msg");
        QTest::addColumn<int>("when");
        QTest::addColumn<QStringList>("logLines");
        const QString mouseLeave = "CSubclass.DelMsg: Message &H2A3 not found in table";
        const QString big = "CSubclass.DelMsg: Message &HABCDEF not found in table";
        QTest::newRow("missing before") << 0x2A3u << Before << QStringList{mouseLeave};
        QTest::newRow("missing in both") << 0xABCDEFu << Both << QStringList{big, big};
        QTest::newRow("present before, missing after")
            << uint(WM_LBUTTONDOWN) << Both
            << QStringList{"CSubclass.DelMsg: Message &H201 not found in table"};
        QTest::newRow("all bits") << 0xFFFFFFFEu << Before
                                  << QStringList{
                                         "CSubclass.DelMsg: Message &HFFFFFFFE not found in table"};
    }

    void removingMissingMessageIsLogged()
    {
        QFETCH(uint, msg);
        QFETCH(int, when);
        QFETCH(QStringList, logLines);
        Probe probe;
        Recorder owner;
        CSubclass sub;
        QVERIFY(sub.Subclass_Start(&probe, &owner));
        sub.Subclass_AddMsg(&probe, WM_LBUTTONDOWN, Before);
        for (const QString &line : logLines)
            QTest::ignoreMessage(QtWarningMsg, qPrintable(line));
        sub.DeleteMessage(&probe, msg, when);

        CSubclass::SendMessage(&probe, WM_LBUTTONDOWN, MK_LBUTTON, 0);
        QCOMPARE(owner.of(WM_LBUTTONDOWN).size(), msg == WM_LBUTTONDOWN ? 0 : 1);
    }

    void secondStartIsRefused()
    {
        Probe probe;
        Recorder first;
        Recorder second;
        CSubclass sub;
        QVERIFY(sub.Subclass_Start(&probe, &first, 7));
        QTest::ignoreMessage(QtWarningMsg,
                             "CSubclass.dsclsMSubclass: Window handle is already subclassed");
        QVERIFY(!sub.Subclass_Start(&probe, &second, 9));

        sub.Subclass_AddMsg(&probe, WM_DRAWITEM, Before);
        CSubclass::SendMessage(&probe, WM_DRAWITEM, 0, 0);
        QCOMPARE(first.m_calls.size(), 1);
        QCOMPARE(first.m_calls.at(0).user, LPARAM(7));
        QVERIFY(second.m_calls.isEmpty());
        QCOMPARE(sub.p_ParamUser(&probe), LPARAM(7));
    }

    void startWithoutWindowIsRefused()
    {
        Recorder owner;
        CSubclass sub;
        QTest::ignoreMessage(QtWarningMsg, "CSubclass.dsclsMSubclass: Invalid window handle");
        QVERIFY(!sub.Subclass_Start(nullptr, &owner));
    }

    void unknownWindowIsLogged_data()
    {
        QTest::addColumn<int>("operation");
        QTest::addColumn<bool>("started");
        QTest::addColumn<QString>("logLine");
        const QStringList names{"add",        "delete",      "call old",  "read user",
                                "write user", "track leave", "unsubclass"};
        for (int op = 0; op < names.size(); ++op) {
            const bool unsubclass = op == names.size() - 1;
            QTest::addRow("%s, nothing started", qPrintable(names[op]))
                << op << false
                << (unsubclass ? "CSubclass.UnSubclass: Window handle isn"
                               : "CSubclass.MapHandle: Subclassing hasn");
            QTest::addRow("%s, other window", qPrintable(names[op]))
                << op << true << "CSubclass.MapHandle: Window handle isn";
        }
    }

    void unknownWindowIsLogged()
    {
        QFETCH(int, operation);
        QFETCH(bool, started);
        QFETCH(QString, logLine);
        Probe watched;
        Probe unknown;
        Recorder owner;
        CSubclass sub;
        if (started)
            QVERIFY(sub.Subclass_Start(&watched, &owner, 3));

        QTest::ignoreMessage(QtWarningMsg, qPrintable(logLine));
        LRESULT result = 0;
        switch (operation) {
        case 0:
            sub.Subclass_AddMsg(&unknown, WM_LBUTTONDOWN, Both);
            break;
        case 1:
            sub.DeleteMessage(&unknown, WM_LBUTTONDOWN, Before);
            break;
        case 2:
            result = sub.CallOldWndProc(&unknown, WM_LBUTTONDOWN, MK_LBUTTON, 0);
            QCOMPARE(unknown.presses, 0);
            break;
        case 3:
            result = sub.p_ParamUser(&unknown);
            break;
        case 4:
            sub.setP_ParamUser(&unknown, 5);
            break;
        case 5:
            sub.TrackMouseTracking(&unknown);
            break;
        default:
            sub.UnsubClass(&unknown);
            break;
        }
        QCOMPARE(result, LRESULT(0));
    }

    void userValueIsKeptPerWindow()
    {
        Probe one;
        Probe two;
        Recorder owner;
        CSubclass sub;
        QVERIFY(sub.Subclass_Start(&one, &owner, 5));
        QVERIFY(sub.Subclass_Start(&two, &owner, 50));
        sub.Subclass_AddMsg(&one, WM_HOTKEY, Before);
        sub.Subclass_AddMsg(&two, WM_HOTKEY, Before);
        owner.react = [](const Call &, bool &, LRESULT &, LPARAM &user) { ++user; };

        CSubclass::SendMessage(&one, WM_HOTKEY, 0, 0);
        CSubclass::SendMessage(&one, WM_HOTKEY, 0, 0);
        QCOMPARE(owner.m_calls.at(0).user, LPARAM(5));
        QCOMPARE(owner.m_calls.at(1).user, LPARAM(6));
        QCOMPARE(sub.p_ParamUser(&one), LPARAM(7));
        QCOMPARE(sub.p_ParamUser(&two), LPARAM(50));

        sub.setP_ParamUser(&two, -3);
        CSubclass::SendMessage(&two, WM_HOTKEY, 0, 0);
        QCOMPARE(owner.m_calls.at(2).window, &two);
        QCOMPARE(owner.m_calls.at(2).user, LPARAM(-3));
    }

    void releaseWaitsForOwnHandling_data()
    {
        QTest::addColumn<QString>("where");
        QTest::addColumn<QString>("how");
        const QStringList places{"between messages", "before-call", "own handling",
                                 "nested message"};
        const QStringList ways{"UnsubClass", "owner destroyed", "Terminate"};
        for (const QString &where : places)
            for (const QString &how : ways)
                QTest::addRow("%s in %s", qPrintable(how), qPrintable(where)) << where << how;
    }

    void releaseWaitsForOwnHandling()
    {
        QFETCH(QString, where);
        QFETCH(QString, how);
        Probe probe;
        probe.show();
        QVERIFY(QTest::qWaitForWindowExposed(&probe));
        Recorder owner;
        auto sub = std::make_unique<CSubclass>();
        QVERIFY(sub->Subclass_Start(&probe, &owner));
        sub->Subclass_AddMsg(&probe, WM_LBUTTONDOWN, Both);
        sub->Subclass_AddMsg(&probe, WM_LBUTTONUP, Both);
        sub->Subclass_AddMsg(&probe, WM_DRAWITEM, Before);

        bool released = false;
        auto release = [&] {
            if (std::exchange(released, true))
                return;
            if (how == "UnsubClass")
                sub->UnsubClass(&probe);
            else if (how == "Terminate")
                sub->Terminate();
            else
                sub.reset();
        };
        if (where == "between messages")
            release();
        else if (where == "own handling")
            probe.onPress = release;
        else if (where == "nested message")
            probe.onPress = [&] { CSubclass::SendMessage(&probe, WM_DRAWITEM, 0, 0); };
        owner.react = [&](const Call &c, bool &, LRESULT &, LPARAM &) {
            if ((where == "before-call" && c.msg == WM_LBUTTONDOWN) ||
                (where == "nested message" && c.msg == WM_DRAWITEM))
                release();
        };

        QTest::mouseClick(&probe, Qt::LeftButton, {}, {4, 4});
        QTest::mouseClick(&probe, Qt::LeftButton, {}, {4, 4});

        // Whatever was under way ran to its end; nothing after the release
        // reached the owner, and the window kept working.
        QList<std::uint32_t> before;
        if (where != "between messages")
            before.append(WM_LBUTTONDOWN);
        if (where == "nested message")
            before.append(WM_DRAWITEM);
        QCOMPARE(owner.seen(true), before);
        QCOMPARE(owner.seen(false), QList<std::uint32_t>());
        QCOMPARE(probe.presses, 2);

        // The window is free again: a new watcher starts on it and sees
        // messages.
        Recorder next;
        CSubclass nextSub;
        QVERIFY(nextSub.Subclass_Start(&probe, &next));
        nextSub.Subclass_AddMsg(&probe, WM_LBUTTONDOWN, Before);
        QTest::mouseClick(&probe, Qt::LeftButton, {}, {4, 4});
        QCOMPARE(next.seen(true), QList<std::uint32_t>{WM_LBUTTONDOWN});
        QCOMPARE(probe.presses, 3);
    }

    void destroyedWindowIsForgotten()
    {
        Recorder owner;
        CSubclass sub;
        auto *gone = new Probe;
        Probe kept;
        QVERIFY(sub.Subclass_Start(gone, &owner));
        QVERIFY(sub.Subclass_Start(&kept, &owner));
        // Only the address is used afterwards, as a stale window handle would be.
        const volatile quintptr staleHandle = reinterpret_cast<quintptr>(gone);
        delete gone;

        QTest::ignoreMessage(QtWarningMsg, "CSubclass.MapHandle: Window handle isn");
        sub.UnsubClass(reinterpret_cast<QWidget *>(staleHandle));
        sub.Subclass_AddMsg(&kept, WM_HOTKEY, Before);
        CSubclass::SendMessage(&kept, WM_HOTKEY, 0, 0);
        QCOMPARE(owner.seen(true), QList<std::uint32_t>{WM_HOTKEY});
        sub.Terminate(); // nothing to undo for the destroyed window
    }

    void windowDestroyedBeforeReleaseCompletes()
    {
        auto *probe = new Probe;
        Recorder owner;
        {
            CSubclass sub;
            QVERIFY(sub.Subclass_Start(probe, &owner));
            sub.Subclass_AddMsg(probe, All, Both);
        } // released, but the window had no message since
        delete probe;

        // A new window, quite possibly at the same address, starts afresh.
        auto again = std::make_unique<Probe>();
        CSubclass sub;
        QVERIFY(sub.Subclass_Start(again.get(), &owner));
        sub.Subclass_AddMsg(again.get(), WM_HOTKEY, Before);
        CSubclass::SendMessage(again.get(), WM_HOTKEY, 0, 0);
        QCOMPARE(owner.seen(true), QList<std::uint32_t>{WM_HOTKEY});
    }

    void mouseLeaveOncePerRequest_data()
    {
        QTest::addColumn<QString>("steps"); // T: TrackMouseTracking, L: the mouse leaves
        QTest::addColumn<int>("notifications");
        QTest::newRow("not asked") << "L" << 0;
        QTest::newRow("asked once") << "TL" << 1;
        QTest::newRow("left twice") << "TLL" << 1;
        QTest::newRow("asked twice, left once") << "TTL" << 1;
        QTest::newRow("asked again after leaving") << "TLTL" << 2;
    }

    void mouseLeaveOncePerRequest()
    {
        QFETCH(QString, steps);
        QFETCH(int, notifications);
        Probe probe;
        Recorder owner;
        CSubclass sub;
        QVERIFY(sub.Subclass_Start(&probe, &owner));
        sub.Subclass_AddMsg(&probe, All, Before);

        for (QChar step : steps) {
            if (step == u'T') {
                sub.TrackMouseTracking(&probe);
            } else {
                QEvent leave(QEvent::Leave);
                QCoreApplication::sendEvent(&probe, &leave);
            }
        }
        QCOMPARE(owner.of(WM_MOUSELEAVE).size(), notifications);
        QCOMPARE(probe.leaves, int(steps.count(u'L'))); // the widget saw every one
    }

    void mouseLeavingTheWidget()
    {
        QWidget window;
        window.resize(200, 200);
        auto *probe = new Probe(&window);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        Recorder owner;
        CSubclass sub;
        QVERIFY(sub.Subclass_Start(probe, &owner));
        sub.Subclass_AddMsg(probe, WM_MOUSEMOVE, Before);
        sub.Subclass_AddMsg(probe, WM_MOUSELEAVE, Before);
        // As a hover effect does: ask for the leave on the first move inside.
        owner.react = [&](const Call &c, bool &, LRESULT &, LPARAM &) {
            if (c.msg == WM_MOUSEMOVE && owner.of(WM_MOUSEMOVE).size() == 1)
                sub.TrackMouseTracking(probe);
        };

        QTest::mouseMove(&window, {10, 10});
        QTest::mouseMove(&window, {20, 10});
        QTest::mouseMove(&window, {150, 150});
        QTest::mouseMove(&window, {10, 10});
        QTest::mouseMove(&window, {150, 150});
        QTRY_COMPARE(owner.of(WM_MOUSELEAVE).size(), 1);
        QCOMPARE(probe->leaves, 2);
    }

    void terminateReleasesLastStartedFirst_data()
    {
        QTest::addColumn<bool>("byDestructor");
        QTest::newRow("Terminate") << false;
        QTest::newRow("destructor") << true;
    }

    void terminateReleasesLastStartedFirst()
    {
        QFETCH(bool, byDestructor);
        Probe a;
        Probe b;
        Probe c;
        a.setObjectName("a");
        b.setObjectName("b");
        c.setObjectName("c");
        Recorder owner;
        auto sub = std::make_unique<CSubclass>();
        for (Probe *p : {&b, &a, &c}) {
            QVERIFY(sub->Subclass_Start(p, &owner));
            sub->Subclass_AddMsg(p, WM_HOTKEY, Before);
        }
        {
            DebugLines debug;
            if (byDestructor)
                sub.reset();
            else
                sub->Terminate();
            const QStringList expected{"CSubclass.UnSubclass: c", "CSubclass.UnSubclass: a",
                                       "CSubclass.UnSubclass: b"};
            QCOMPARE(debug.lines, expected);
        }
        for (Probe *p : {&a, &b, &c})
            CSubclass::SendMessage(p, WM_HOTKEY, 0, 0);
        QVERIFY(owner.m_calls.isEmpty());
        if (sub) {
            // The window map went with Terminate.
            QTest::ignoreMessage(QtWarningMsg, "CSubclass.MapHandle: Subclassing hasn");
            sub->Subclass_AddMsg(&a, WM_HOTKEY, Before);
        }
    }

    void paintingIsPresentedAsNcPaint_data()
    {
        QTest::addColumn<bool>("answeredBefore");
        QTest::newRow("frame over the widget's painting") << false;
        QTest::newRow("answered before the widget paints") << true;
    }

    void paintingIsPresentedAsNcPaint()
    {
        QFETCH(bool, answeredBefore);
        Probe probe;
        probe.setAutoFillBackground(true);
        QPalette palette = probe.palette();
        palette.setColor(QPalette::Window, Qt::white);
        probe.setPalette(palette);
        Recorder owner;
        CSubclass sub;
        QVERIFY(sub.Subclass_Start(&probe, &owner));
        sub.Subclass_AddMsg(&probe, WM_NCPAINT, Both);
        owner.react = [&](const Call &c, bool &bHandled, LRESULT &, LPARAM &) {
            if (c.before) {
                bHandled = answeredBefore;
                return;
            }
            QPainter painter(c.window);
            painter.setPen(Qt::red);
            painter.drawRect(c.window->rect().adjusted(0, 0, -1, -1));
        };

        const QImage image = probe.grab().toImage();

        QVERIFY(!owner.of(WM_NCPAINT).isEmpty());
        QCOMPARE(owner.of(WM_NCPAINT).at(0).wParam, WPARAM(1));
        QCOMPARE(probe.paints, answeredBefore ? 0 : 1);
        QCOMPARE(QColor(image.pixel(50, 30)),
                 answeredBefore ? QColor(Qt::white) : QColor(Qt::blue));
        QCOMPARE(QColor(image.pixel(0, 0)), answeredBefore ? QColor(Qt::white) : QColor(Qt::red));
        QCOMPARE(QColor(image.pixel(99, 59)), answeredBefore ? QColor(Qt::white) : QColor(Qt::red));
    }

    void callOldWndProcDeliversTheEvent_data()
    {
        QTest::addColumn<uint>("msg");
        QTest::addColumn<qulonglong>("wParam");
        QTest::addColumn<qlonglong>("lParam");
        QTest::addColumn<int>("type");
        QTest::addColumn<int>("button");
        QTest::addColumn<int>("buttons");
        QTest::addColumn<int>("modifiers");
        QTest::addColumn<QPoint>("point");
        QTest::addColumn<int>("delta");
        QTest::addColumn<int>("answer");

        QTest::newRow("left down, shift")
            << uint(WM_LBUTTONDOWN) << qulonglong(MK_LBUTTON | MK_SHIFT) << 0x00050004ll
            << int(QEvent::MouseButtonPress) << int(Qt::LeftButton) << int(Qt::LeftButton)
            << int(Qt::ShiftModifier) << QPoint(4, 5) << 0 << 1;
        QTest::newRow("right up, left held, ctrl")
            << uint(WM_RBUTTONUP) << qulonglong(MK_LBUTTON | MK_CONTROL) << 0x0007FFFEll
            << int(QEvent::MouseButtonRelease) << int(Qt::RightButton) << int(Qt::LeftButton)
            << int(Qt::ControlModifier) << QPoint(-2, 7) << 0 << 1;
        QTest::newRow("middle double") << uint(WM_MBUTTONDBLCLK) << qulonglong(MK_MBUTTON) << 0x0ll
                                       << int(QEvent::MouseButtonDblClick) << int(Qt::MiddleButton)
                                       << int(Qt::MiddleButton) << 0 << QPoint(0, 0) << 0 << 1;
        QTest::newRow("move, right held")
            << uint(WM_MOUSEMOVE) << qulonglong(MK_RBUTTON) << 0x0001001Ell
            << int(QEvent::MouseMove) << int(Qt::NoButton) << int(Qt::RightButton) << 0
            << QPoint(30, 1) << 0 << 1;
        QTest::newRow("wheel toward, shift")
            << uint(WM_MOUSEWHEEL) << 0xFF880004ull << 0x0190012Cll << int(QEvent::Wheel)
            << int(Qt::NoButton) << 0 << int(Qt::ShiftModifier) << QPoint(300, 400) << -120 << 1;
        QTest::newRow("size") << uint(WM_SIZE) << 0ull << 0x001E005All << int(QEvent::Resize) << 0
                              << 0 << 0 << QPoint(90, 30) << 0 << 1;
        QTest::newRow("move") << uint(WM_MOVE) << 0ull << 0xFFFC000Cll << int(QEvent::Move) << 0
                              << 0 << 0 << QPoint(12, -4) << 0 << 1;
        QTest::newRow("mouse leave") << uint(WM_MOUSELEAVE) << 0ull << 0ll << int(QEvent::Leave)
                                     << 0 << 0 << 0 << QPoint() << 0 << 1;
        QTest::newRow("draw item") << uint(WM_DRAWITEM) << 0ull << 0ll << int(QEvent::None) << 0
                                   << 0 << 0 << QPoint() << 0 << 0;
        QTest::newRow("hot key") << uint(WM_HOTKEY) << 1ull << 0ll << int(QEvent::None) << 0 << 0
                                 << 0 << QPoint() << 0 << 0;
    }

    void callOldWndProcDeliversTheEvent()
    {
        QFETCH(uint, msg);
        QFETCH(qulonglong, wParam);
        QFETCH(qlonglong, lParam);
        QFETCH(int, type);
        QFETCH(int, button);
        QFETCH(int, buttons);
        QFETCH(int, modifiers);
        QFETCH(QPoint, point);
        QFETCH(int, delta);
        QFETCH(int, answer);
        Probe probe;
        Recorder owner;
        CSubclass sub;
        QVERIFY(sub.Subclass_Start(&probe, &owner));
        sub.Subclass_AddMsg(&probe, All, Both);
        probe.lastType = QEvent::None;

        const LRESULT result = sub.CallOldWndProc(&probe, msg, wParam, lParam);

        QCOMPARE(result, LRESULT(answer));
        QVERIFY(owner.of(msg).isEmpty()); // straight to the window, past this owner
        QCOMPARE(int(probe.lastType), type);
        if (type == QEvent::None || type == QEvent::Leave)
            return;
        QCOMPARE(probe.lastPoint, point);
        if (type == QEvent::Move || type == QEvent::Resize)
            return;
        QCOMPARE(int(probe.lastButton), button);
        QCOMPARE(probe.lastButtons.toInt(), buttons);
        QCOMPARE(probe.lastModifiers.toInt(), modifiers);
        QCOMPARE(probe.lastDelta, delta);
    }

    void callOldWndProcPassesEarlierWatchers()
    {
        Probe probe;
        Recorder earlier;
        Recorder later;
        CSubclass subEarlier;
        CSubclass subLater;
        QVERIFY(subEarlier.Subclass_Start(&probe, &earlier));
        QVERIFY(subLater.Subclass_Start(&probe, &later));
        subEarlier.Subclass_AddMsg(&probe, WM_HOTKEY, Both);
        subLater.Subclass_AddMsg(&probe, WM_HOTKEY, Both);

        subLater.CallOldWndProc(&probe, WM_HOTKEY, 0, 0);
        QCOMPARE(earlier.seen(true), QList<std::uint32_t>{WM_HOTKEY});
        QCOMPARE(earlier.seen(false), QList<std::uint32_t>{WM_HOTKEY});
        QVERIFY(later.m_calls.isEmpty());

        subEarlier.CallOldWndProc(&probe, WM_HOTKEY, 0, 0);
        QCOMPARE(earlier.m_calls.size(), 2);
        QVERIFY(later.m_calls.isEmpty());
    }

    void sendMessageToUnwatchedWindow()
    {
        Probe probe;
        QCOMPARE(CSubclass::SendMessage(&probe, WM_LBUTTONDOWN, MK_LBUTTON, makeLParam(1, 1)),
                 LRESULT(1));
        QCOMPARE(probe.presses, 1);
        QCOMPARE(CSubclass::SendMessage(&probe, WM_DRAWITEM, 0, 0), LRESULT(0));
        QCOMPARE(CSubclass::SendMessage(nullptr, WM_LBUTTONDOWN, 0, 0), LRESULT(0));
    }
};

QTEST_MAIN(TestCSubclass)
#include "tst_csubclass.moc"
