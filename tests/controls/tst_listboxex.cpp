#include "listboxex.h"
#include "moddc.h"

#include <QAccessible>
#include <QApplication>
#include <QCursor>
#include <QImage>
#include <QLineEdit>
#include <QPainter>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>

namespace {

constexpr int kRow = 21;        // the main window's row height
constexpr int kVisibleRows = 5; // rows the fixture's control shows

// A QColor from an OLE colour (0x00BBGGRR).
QColor ole(quint32 color)
{
    return ModDC::TranslateColor(color);
}

// Every event of a control as one line: name and arguments in order.
class EventLog : public QObject
{
public:
    explicit EventLog(ListBoxEx *list)
    {
        auto mouse = [this](const char *name) {
            return [this, name](short button, short shift, float x, float y) {
                lines << QStringLiteral("%1 %2 %3 %4 %5")
                             .arg(QLatin1String(name))
                             .arg(button)
                             .arg(shift)
                             .arg(x)
                             .arg(y);
            };
        };
        connect(list, &ListBoxEx::Click, this, mouse("Click"));
        connect(list, &ListBoxEx::DbClick, this, mouse("DbClick"));
        connect(list, &ListBoxEx::MouseDown, this, mouse("MouseDown"));
        connect(list, &ListBoxEx::MouseMove, this, mouse("MouseMove"));
        connect(list, &ListBoxEx::MouseUp, this, mouse("MouseUp"));
        connect(list, &ListBoxEx::KeyDown, this, [this](short code, short shift) {
            lines << QStringLiteral("KeyDown %1 %2").arg(code).arg(shift);
        });
        connect(list, &ListBoxEx::KeyPress, this,
                [this](short ascii) { lines << QStringLiteral("KeyPress %1").arg(ascii); });
        connect(list, &ListBoxEx::KeyUp, this, [this](short code, short shift) {
            lines << QStringLiteral("KeyUp %1 %2").arg(code).arg(shift);
        });
        connect(list, &ListBoxEx::Scroll, this, [this] { lines << QStringLiteral("Scroll"); });
    }

    // Only the lines of the given events.
    QStringList only(const QString &name) const
    {
        QStringList out;
        for (const QString &line : lines)
            if (line.section(u' ', 0, 0) == name)
                out << line;
        return out;
    }

    QStringList lines;
};

// A shown control of five 21-pixel rows, 200 wide, holding count rows.
struct Fixture
{
    explicit Fixture(int count = 3)
    {
        list.setItemHeight(kRow);
        list.setGeometry(200, 200, 200, kVisibleRows * kRow + 2);
        QStringList items;
        for (int i = 0; i < count; ++i)
            items << QStringLiteral("Item %1").arg(i);
        list.AddItems(items);
        list.show();
    }

    bool exposed() { return QTest::qWaitForWindowExposed(&list); }

    ListBoxExList *inner() const { return list.lstMain; }
    // Where a row's middle is, in the inner list's own coordinates; "row" may
    // be past the last entry (empty space) while still inside the list.
    QPoint rowPoint(int row, int x = 20) const
    {
        return inner()->viewport()->pos() + QPoint(x, row * kRow + 10);
    }
    // The colour the control shows at a client point, in a full repaint.
    QColor pixel(const QImage &shot, int x, int y) const
    {
        return shot.pixelColor(inner()->viewport()->mapTo(&list, QPoint(x, y)));
    }
    QColor pixel(int x, int y) { return pixel(list.grab().toImage(), x, y); }
    QColor rowColor(int row) { return pixel(inner()->viewport()->width() - 10, row * kRow + 2); }

    ListBoxEx list;
};

// A row's middle as the events report it (client area).
QString at(int row, int x = 20)
{
    return QStringLiteral("%1 %2").arg(x).arg(row * kRow + 10);
}

Qt::MouseButton buttonOf(const QString &name)
{
    if (name == u"L")
        return Qt::LeftButton;
    if (name == u"R")
        return Qt::RightButton;
    return Qt::MiddleButton;
}

Qt::KeyboardModifiers modifiersOf(const QString &name)
{
    if (name == u"shift")
        return Qt::ShiftModifier;
    if (name == u"ctrl")
        return Qt::ControlModifier;
    if (name == u"alt")
        return Qt::AltModifier;
    return Qt::NoModifier;
}

} // namespace

class TestListBoxEx : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        // Each function starts with the pointer away from its windows, so a
        // move onto a row is always a move.
        QCursor::setPos(0, 0);
    }

    void cleanup()
    {
        // QTest remembers held buttons across functions; a failed row must
        // not leave one pressed for the next.
        QWidget w;
        for (Qt::MouseButton b : {Qt::LeftButton, Qt::RightButton, Qt::MiddleButton})
            QTest::mouseRelease(&w, b);
    }

    // Each step is "<press|release|dclick|move> <L|R|M|-> <row> [x] [shift|ctrl|alt]";
    // row 4 lies below the three entries, x 999 lies right of the list.
    void mouseInputRaisesEvents_data()
    {
        QTest::addColumn<QStringList>("steps");
        QTest::addColumn<QStringList>("events");
        QTest::addColumn<int>("listIndex");

        QTest::newRow("left click on row 1")
            << QStringList{"press L 1", "release L 1"}
            << QStringList{"MouseDown 1 0 " + at(1), "Click 0 0 " + at(1), "MouseUp 0 0 " + at(1)}
            << 1;
        QTest::newRow("right click selects, its release raises nothing")
            << QStringList{"press R 2", "release R 2"} << QStringList{"MouseDown 2 0 " + at(2)}
            << 2;
        QTest::newRow("left release while right held reports right")
            << QStringList{"press R 2", "release L 2", "release R 2"}
            << QStringList{"MouseDown 2 0 " + at(2), "Click 2 0 " + at(2), "MouseUp 2 0 " + at(2)}
            << 2;
        QTest::newRow("middle click selects nothing")
            << QStringList{"press L 1", "release L 1", "press M 2", "release M 2"}
            << QStringList{"MouseDown 1 0 " + at(1), "Click 0 0 " + at(1), "MouseUp 0 0 " + at(1),
                           "MouseDown 3 0 " + at(2), "Click 0 0 " + at(2), "MouseUp 0 0 " + at(2)}
            << 1;
        QTest::newRow("left click below the last row clears the selection")
            << QStringList{"press L 1", "release L 1", "press L 4", "release L 4"}
            << QStringList{"MouseDown 1 0 " + at(1), "Click 0 0 " + at(1), "MouseUp 0 0 " + at(1),
                           "MouseDown 1 0 " + at(4), "Click 0 0 " + at(4), "MouseUp 0 0 " + at(4)}
            << -1;
        QTest::newRow("release outside raises no click")
            << QStringList{"press L 0", "release L 0 999"}
            << QStringList{"MouseDown 1 0 " + at(0), "MouseUp 0 0 " + at(0, 999)} << 0;
        QTest::newRow("double click")
            << QStringList{"press L 0", "release L 0", "dclick L 0", "release L 0"}
            << QStringList{"MouseDown 1 0 " + at(0), "Click 0 0 " + at(0), "MouseUp 0 0 " + at(0),
                           "DbClick 1 0 " + at(0),   "Click 0 0 " + at(0), "MouseUp 0 0 " + at(0)}
            << 0;
        QTest::newRow("right double click")
            << QStringList{"press R 1", "release R 1", "dclick R 1", "release R 1"}
            << QStringList{"MouseDown 2 0 " + at(1), "DbClick 2 0 " + at(1)} << 1;
        QTest::newRow("shift held: button 0, no selection")
            << QStringList{"press L 1 20 shift", "release L 1 20 shift"}
            << QStringList{"MouseDown 0 1 " + at(1), "Click 0 1 " + at(1), "MouseUp 0 1 " + at(1)}
            << -1;
        QTest::newRow("ctrl held: button 0, no selection")
            << QStringList{"press R 2 20 ctrl", "release R 2 20 ctrl"}
            << QStringList{"MouseDown 0 2 " + at(2)} << -1;
        QTest::newRow("alt held: the button still counts")
            << QStringList{"press L 2 20 alt", "release L 2 20 alt"}
            << QStringList{"MouseDown 1 4 " + at(2), "Click 0 4 " + at(2), "MouseUp 0 4 " + at(2)}
            << 2;
        QTest::newRow("drag with the left button held")
            << QStringList{"press L 0", "move - 2", "release L 2"}
            << QStringList{"MouseDown 1 0 " + at(0), "MouseMove 1 0 " + at(2), "Click 0 0 " + at(2),
                           "MouseUp 0 0 " + at(2)}
            << 0;
    }

    void mouseInputRaisesEvents()
    {
        QFETCH(QStringList, steps);
        QFETCH(QStringList, events);
        QFETCH(int, listIndex);

        Fixture f;
        QVERIFY(f.exposed());
        EventLog log(&f.list);
        for (const QString &step : steps) {
            const QStringList w = step.split(u' ');
            const int x = w.size() > 3 ? w.at(3).toInt() : 20;
            const QPoint pos = f.rowPoint(w.at(2).toInt(), x);
            const Qt::KeyboardModifiers mods = modifiersOf(w.value(4));
            if (w.at(0) == u"press")
                QTest::mousePress(f.inner(), buttonOf(w.at(1)), mods, pos);
            else if (w.at(0) == u"release")
                QTest::mouseRelease(f.inner(), buttonOf(w.at(1)), mods, pos);
            else if (w.at(0) == u"dclick")
                QTest::mouseDClick(f.inner(), buttonOf(w.at(1)), mods, pos);
            else
                QTest::mouseMove(f.inner(), pos);
        }
        QCOMPARE(log.lines, events);
        QCOMPARE(f.list.ListIndex(), listIndex);
    }

    void mouseDownTakesTheFocus()
    {
        QWidget window;
        QLineEdit *other = new QLineEdit(&window);
        auto *list = new ListBoxEx(&window);
        list->setGeometry(0, 30, 200, 107);
        list->AddItems({"a", "b"});
        window.show();
        QApplication::setActiveWindow(&window);
        QVERIFY(QTest::qWaitForWindowActive(&window));
        other->setFocus();
        QTest::mousePress(list->lstMain, Qt::MiddleButton, {}, QPoint(20, 12));
        QTest::mouseRelease(list->lstMain, Qt::MiddleButton, {}, QPoint(20, 12));
        QVERIFY(other->hasFocus()); // the middle button selects nothing
        QTest::mousePress(list->lstMain, Qt::RightButton, {}, QPoint(20, 12));
        QTest::mouseRelease(list->lstMain, Qt::RightButton, {}, QPoint(20, 12));
        QVERIFY(list->lstMain->hasFocus());
        // A screen reader follows the focus to the selected row.
        QAccessibleInterface *row =
            QAccessible::queryAccessibleInterface(list->lstMain)->focusChild();
        QVERIFY(row);
        QCOMPARE(row->text(QAccessible::Name), QStringLiteral("a"));
        QVERIFY(row->state().focused);
    }

    void rowAtYFollowsTheTopIndex_data()
    {
        QTest::addColumn<int>("topIndex");
        QTest::addColumn<int>("y");
        QTest::addColumn<int>("row");
        QTest::newRow("first row, top 0") << 0 << 0 << 0;
        QTest::newRow("last pixel of row 0") << 0 << kRow - 1 << 0;
        QTest::newRow("scrolled by 40") << 40 << 2 * kRow + 5 << 42;
        // Truncation toward zero puts a little above the top on the top row.
        QTest::newRow("just above the top") << 40 << -5 << 40;
        QTest::newRow("a row above the top") << 40 << -kRow << 39;
        QTest::newRow("top clamped at the end") << 99 << 4 * kRow << 99;
        QTest::newRow("below the last row") << 95 << 5 * kRow << -1;
    }

    void rowAtYFollowsTheTopIndex()
    {
        QFETCH(int, topIndex);
        QFETCH(int, y);
        QFETCH(int, row);
        Fixture f(100);
        QVERIFY(f.exposed());
        f.list.setTopIndex(topIndex);
        QCOMPARE(f.list.TopIndex(), std::min(topIndex, 100 - kVisibleRows));
        QCOMPARE(f.inner()->itemAt(y), row);
        if (row < 0 || y < 0)
            return;
        // A real click there selects that row.
        const QPoint pos = f.inner()->viewport()->pos() + QPoint(20, y);
        QTest::mouseClick(f.inner(), Qt::LeftButton, {}, pos);
        QCOMPARE(f.list.ListIndex(), row);
    }

    void emptyListReportsNoRow_data()
    {
        QTest::addColumn<int>("y");
        QTest::newRow("top") << 0;
        QTest::newRow("middle") << 2 * kRow + 3;
        QTest::newRow("above") << -3;
    }

    void emptyListReportsNoRow()
    {
        QFETCH(int, y);
        Fixture f(0);
        QVERIFY(f.exposed());
        QCOMPARE(f.inner()->itemAt(y), -1);
        EventLog log(&f.list);
        QTest::mouseClick(f.inner(), Qt::LeftButton, {},
                          f.inner()->viewport()->pos() + QPoint(20, y));
        QCOMPARE(f.list.ListIndex(), -1);
        QCOMPARE(log.only("MouseDown").size(), 1);
        // Nothing is drawn: the list shows its background.
        QCOMPARE(f.pixel(30, 5), ole(f.list.BackColor()));
    }

    void rowColours_data()
    {
        QTest::addColumn<int>("row");
        QTest::addColumn<int>("hoverRow");    // -1: no mouse over the list
        QTest::addColumn<bool>("leaveAfter"); // the mouse leaves before the check
        QTest::addColumn<int>("selectedRow");
        QTest::addColumn<quint32>("expected");
        QTest::newRow("row 0 uses ListColorB") << 0 << -1 << false << -1 << 0xFDFAF6u;
        QTest::newRow("row 1 uses ListColorA") << 1 << -1 << false << -1 << 0xFEFDFCu;
        QTest::newRow("row 2 uses ListColorB") << 2 << -1 << false << -1 << 0xFDFAF6u;
        QTest::newRow("hovered row") << 1 << 1 << false << -1 << ListBoxEx::kHotColor;
        QTest::newRow("row the mouse moved off") << 0 << 1 << false << -1 << 0xFDFAF6u;
        QTest::newRow("hot row kept after leaving") << 1 << 1 << true << -1 << ListBoxEx::kHotColor;
        QTest::newRow("selected row") << 2 << -1 << false << 2 << 0xACECFCu;
        QTest::newRow("selected wins over hot") << 2 << 2 << false << 2 << 0xACECFCu;
    }

    void rowColours()
    {
        QFETCH(int, row);
        QFETCH(int, hoverRow);
        QFETCH(bool, leaveAfter);
        QFETCH(int, selectedRow);
        QFETCH(quint32, expected);

        Fixture f;
        QVERIFY(f.exposed());
        QCOMPARE(f.list.hotItem(), -1);
        if (hoverRow >= 0) {
            QTest::mouseMove(f.inner(), f.rowPoint(0));
            QTest::mouseMove(f.inner(), f.rowPoint(hoverRow));
            QTRY_COMPARE(f.list.hotItem(), hoverRow);
        }
        if (leaveAfter) {
            QTest::mouseMove(f.inner(), QPoint(-50, -50));
            QTRY_VERIFY(!f.inner()->underMouse());
            QCOMPARE(f.list.hotItem(), hoverRow);
        }
        f.list.setListIndex(selectedRow);
        QCOMPARE(f.rowColor(row), ole(expected));
    }

    void hotRowIsRedrawnAtOnce()
    {
        Fixture f;
        QVERIFY(f.exposed());
        int painted = -1;
        connect(&f.list, &ListBoxEx::DrawItem, &f.list,
                [&](int item, QPainter *, int state, int, int, bool *) {
                    if (state == 1)
                        painted = item;
                });
        QTest::mouseMove(f.inner(), f.rowPoint(2));
        QTRY_COMPARE(f.list.hotItem(), 2);
        QCOMPARE(painted, 2); // drawn during the move, not at some later paint
        EventLog log(&f.list);
        QTest::mouseMove(f.inner(), f.rowPoint(1, 33));
        QCOMPARE(log.lines, QStringList{"MouseMove 0 0 " + at(1, 33)});
        QCOMPARE(painted, 1);
    }

    // The default drawing, pixel for pixel: colour, "k." at x 4 (24 with the
    // glyph), the text at 26 further, all black whatever the fore colours.
    void rowShowsNumberAndText_data()
    {
        QTest::addColumn<int>("style");
        QTest::addColumn<int>("row");
        QTest::addColumn<QString>("text");
        QTest::newRow("row 0 shows 1.") << 0 << 0 << "Item 0";
        QTest::newRow("row 2 shows 3.") << 0 << 2 << "Item 2";
        QTest::newRow("with the glyph") << 1 << 1 << "Item 1";
        // Row texts are drawn as they stand: no mnemonic underline, no
        // ampersand swallowed.
        QTest::newRow("ampersand") << 0 << 1 << "A&B";
        QTest::newRow("two ampersands") << 0 << 0 << "A&&B &x";
    }

    void rowShowsNumberAndText()
    {
        QFETCH(int, style);
        QFETCH(int, row);
        QFETCH(QString, text);
        Fixture f;
        QVERIFY(f.exposed());
        f.list.setList(row, text);
        f.list.setStyle(style);
        f.list.setForeColorA(0x0000FF);
        f.list.setForeColorB(0x0000FF);
        const QImage shown = f.list.grab().toImage();
        const QRect rowRect(f.inner()->viewport()->mapTo(&f.list, QPoint(0, row * kRow)),
                            QSize(f.inner()->viewport()->width(), kRow));

        QImage expected(rowRect.size(), shown.format());
        expected.fill(ole(row % 2 ? f.list.ListColorA() : f.list.ListColorB()));
        QPainter p(&expected);
        p.setFont(f.inner()->font());
        p.setPen(Qt::black);
        const int t = style == 1 ? 24 : 4; // the glyph is checked on its own
        ModDC::DrawTextInRect(&p, QStringLiteral("%1.").arg(row + 1), t, 0, 24, kRow, 0x24 | 0x800);
        ModDC::DrawTextInRect(&p, text, t + 26, 0, rowRect.width() - t - 26, kRow, 0x24 | 0x800);
        p.end();
        const QRect textPart(t, 0, rowRect.width() - t, kRow);
        QCOMPARE(shown.copy(rowRect).copy(textPart), expected.copy(textPart));
    }

    void styleOneTogglesTheGlyph_data()
    {
        QTest::addColumn<QString>("buttons");
        QTest::addColumn<QList<bool>>("ticked");
        QTest::newRow("left clicks") << "LL" << QList<bool>{true, false};
        QTest::newRow("right clicks") << "RRR" << QList<bool>{true, false, true};
        QTest::newRow("middle does nothing") << "M" << QList<bool>{false};
        QTest::newRow("left then right") << "LR" << QList<bool>{true, false};
    }

    void styleOneTogglesTheGlyph()
    {
        QFETCH(QString, buttons);
        QFETCH(QList<bool>, ticked);
        Fixture f;
        QVERIFY(f.exposed());
        f.list.setStyle(1);
        // The glyph sits at x 4, (21 - 13) / 2 = 4 down; its tick crosses
        // (5, 7) inside the box, white when unticked.
        const QPoint tick(4 + 5, kRow + 4 + 7);
        QCOMPARE(f.pixel(tick.x(), tick.y()), QColor(Qt::white));
        for (int i = 0; i < buttons.size(); ++i) {
            QTest::mouseClick(f.inner(), buttonOf(buttons.mid(i, 1)), {}, f.rowPoint(1));
            QCOMPARE(f.list.Selected(1), ticked.at(i));
            QCOMPARE(f.list.SelCount(), ticked.at(i) ? 1 : 0);
            QCOMPARE(f.pixel(tick.x(), tick.y()) != QColor(Qt::white), ticked.at(i));
        }
        QVERIFY(!f.list.Selected(0));
    }

    void drawItemCanReplaceTheDefault()
    {
        Fixture f;
        QVERIFY(f.exposed());
        f.list.setListIndex(1);
        QStringList calls;
        connect(&f.list, &ListBoxEx::DrawItem, &f.list,
                [&](int item, QPainter *dc, int state, int cx, int cy, bool *skip) {
                    calls << QStringLiteral("%1 %2 %3x%4").arg(item).arg(state).arg(cx).arg(cy);
                    if (item == 1) {
                        dc->fillRect(0, 0, cx, cy, Qt::magenta);
                        *skip = true;
                    } else {
                        dc->fillRect(0, 0, cx, cy, Qt::green); // painted over by the default
                    }
                });
        const int width = f.inner()->viewport()->width();
        const QImage shot = f.list.grab().toImage();
        QCOMPARE(f.pixel(shot, 2, kRow + 2), QColor(Qt::magenta));
        QCOMPARE(f.pixel(shot, width - 5, kRow + 10), QColor(Qt::magenta));
        QCOMPARE(f.pixel(shot, 2, 2), ole(f.list.ListColorB()));
        const QString size = QStringLiteral("%1x%2").arg(width).arg(kRow);
        QCOMPARE(calls, (QStringList{"0 0 " + size, "1 2 " + size, "2 0 " + size}));
    }

    void onlyRowsInViewAreDrawn()
    {
        Fixture f(100000);
        QVERIFY(f.exposed());
        f.list.setTopIndex(50000);
        QList<int> drawn;
        connect(&f.list, &ListBoxEx::DrawItem, &f.list,
                [&](int item, QPainter *, int, int, int, bool *) { drawn << item; });
        f.list.grab();
        QCOMPARE(drawn, (QList<int>{50000, 50001, 50002, 50003, 50004}));
    }

    void settingListIndexRaisesNoClick()
    {
        Fixture f;
        EventLog log(&f.list);
        f.list.setListIndex(2);
        QCOMPARE(f.list.ListIndex(), 2);
        QCOMPARE(f.list.Text(), QStringLiteral("Item 2"));
        QVERIFY(f.list.Selected(2));
        f.list.setListIndex(7); // no such row: unchanged
        QCOMPARE(f.list.ListIndex(), 2);
        f.list.setListIndex(-1);
        QCOMPARE(f.list.ListIndex(), -1);
        QCOMPARE(f.list.Text(), QString());
        QVERIFY(log.lines.isEmpty());
    }

    void listEditsKeepTheSelectionOnItsRow_data()
    {
        QTest::addColumn<QString>("edit");
        QTest::addColumn<int>("listIndex");
        QTest::addColumn<int>("newIndex");
        QTest::addColumn<QStringList>("rows");
        // Every case starts from a, b, c, d with c selected.
        QTest::newRow("insert before")
            << "add x 0" << 3 << 0 << QStringList{"x", "a", "b", "c", "d"};
        QTest::newRow("insert after")
            << "add x 3" << 2 << 3 << QStringList{"a", "b", "c", "x", "d"};
        QTest::newRow("append") << "add x -1" << 2 << 4 << QStringList{"a", "b", "c", "d", "x"};
        QTest::newRow("insert beyond the end is refused")
            << "add x 9" << 2 << 3 << QStringList{"a", "b", "c", "d"};
        QTest::newRow("remove before") << "remove 0" << 1 << -1 << QStringList{"b", "c", "d"};
        QTest::newRow("remove the selected")
            << "remove 2" << -1 << -1 << QStringList{"a", "b", "d"};
        QTest::newRow("remove a missing row")
            << "remove 4" << 2 << 3 << QStringList{"a", "b", "c", "d"};
        QTest::newRow("clear") << "clear" << -1 << -1 << QStringList{};
    }

    void listEditsKeepTheSelectionOnItsRow()
    {
        QFETCH(QString, edit);
        QFETCH(int, listIndex);
        QFETCH(int, newIndex);
        QFETCH(QStringList, rows);
        ListBoxEx list;
        list.AddItems({"a", "b", "c", "d"});
        list.setListIndex(2);
        const QStringList w = edit.split(u' ');
        if (w.at(0) == u"add")
            QCOMPARE(list.AddItem(w.at(1), w.at(2).toInt()), w.at(2).toInt() <= 4);
        else if (w.at(0) == u"remove")
            QCOMPARE(list.RemoveItem(w.at(1).toInt()), w.at(1).toInt() < 4);
        else
            list.Clear();
        QCOMPARE(list.ListIndex(), listIndex);
        QCOMPARE(list.NewIndex(), newIndex);
        QCOMPARE(list.ListCount(), rows.size());
        for (int i = 0; i < rows.size(); ++i)
            QCOMPARE(list.List(i), rows.at(i));
    }

    void itemDataStaysWithItsRow()
    {
        ListBoxEx list;
        list.AddItems({"a", "b"});
        list.setItemData(1, 77);
        list.AddItem(QStringLiteral("x"), 0);
        QCOMPARE(list.ItemData(2), 77);
        QCOMPARE(list.ItemData(1), 0);
        QCOMPARE(list.ItemData(9), 0);
    }

    void heightSnapsToWholeRows_data()
    {
        QTest::addColumn<int>("itemHeight");
        QTest::addColumn<int>("height");
        QTest::addColumn<int>("snapped");
        QTest::newRow("already whole") << 21 << 5 * 21 + 2 << 5 * 21 + 2;
        QTest::newRow("partial row dropped") << 21 << 5 * 21 + 2 + 17 << 5 * 21 + 2;
        QTest::newRow("one row and a bit") << 21 << 21 + 2 + 1 << 21 + 2;
        QTest::newRow("less than a row kept") << 21 << 12 << 12;
        QTest::newRow("taller rows") << 30 << 100 << 3 * 30 + 2;
    }

    void heightSnapsToWholeRows()
    {
        QFETCH(int, itemHeight);
        QFETCH(int, height);
        QFETCH(int, snapped);
        ListBoxEx list;
        list.setItemHeight(itemHeight);
        list.resize(150, height);
        list.show();
        QVERIFY(QTest::qWaitForWindowExposed(&list));
        QCOMPARE(list.height(), snapped);
        QCOMPARE(list.lstMain->geometry(), QRect(0, 0, 150, snapped));
    }

    void mainWindowLook()
    {
        ListBoxEx list;
        list.applyMainWindowLook(0xF8E8CA, 0xFEEED9);
        QCOMPARE(list.Style(), 0);
        QCOMPARE(list.ItemHeight(), 21);
        QCOMPARE(list.BorderColor(), 0xFFFFFFu);
        QCOMPARE(list.ListSelColor(), 0xF7E3BDu);
        QCOMPARE(list.BackColor(), 0xFEEED9u);
        QCOMPARE(list.ListColorA(), 0xF8E8CAu);
        QCOMPARE(list.ListColorB(), 0xFEEED9u);
        QCOMPARE(list.lstMain->palette().color(QPalette::Base), ole(0xFEEED9));
    }

    void borderIsDrawnInBorderColor()
    {
        Fixture f;
        QVERIFY(f.exposed());
        f.list.setBorderColor(0x0000FF);
        const QImage image = f.list.grab().toImage();
        const int w = f.list.width();
        const int h = f.list.height();
        for (const QPoint p : {QPoint(0, 0), QPoint(w - 1, 0), QPoint(0, h - 1),
                               QPoint(w - 1, h - 1), QPoint(w / 2, 0), QPoint(0, h / 2)})
            QCOMPARE(image.pixelColor(p), QColor(Qt::red));
        QVERIFY(image.pixelColor(1, 1) != QColor(Qt::red));
    }

    void wheelRehotsTheRowUnderTheCursor()
    {
        Fixture f(50);
        QVERIFY(f.exposed());
        QTest::mouseMove(f.inner(), f.rowPoint(1));
        QTRY_COMPARE(f.list.hotItem(), 1);
        EventLog log(&f.list);
        const QPoint pos = f.rowPoint(1);
        QWheelEvent wheel(pos, f.inner()->mapToGlobal(pos), QPoint(), QPoint(0, -120), Qt::NoButton,
                          Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(f.inner(), &wheel);
        const int top = f.list.TopIndex();
        QVERIFY(top > 0);
        QCOMPARE(f.list.hotItem(), top + 1);
        QCOMPARE(log.only("MouseMove"), QStringList{"MouseMove 0 0 " + at(1)});
        QCOMPARE(log.only("Scroll").size(), 1);
    }

    void keysAreForwarded_data()
    {
        QTest::addColumn<int>("key");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("events");
        QTest::addColumn<int>("listIndex");
        QTest::newRow("down") << int(Qt::Key_Down) << QString()
                              << QStringList{"KeyDown 40 0", "KeyUp 40 0"} << 2;
        QTest::newRow("home") << int(Qt::Key_Home) << QString()
                              << QStringList{"KeyDown 36 0", "KeyUp 36 0"} << 0;
        QTest::newRow("letter finds a row")
            << int(Qt::Key_B) << "b" << QStringList{"KeyDown 66 0", "KeyPress 98", "KeyUp 66 0"}
            << 3;
    }

    void keysAreForwarded()
    {
        QFETCH(int, key);
        QFETCH(QString, text);
        QFETCH(QStringList, events);
        QFETCH(int, listIndex);
        Fixture f(0);
        f.list.AddItems({"apple", "avocado", "cherry", "banana"});
        f.list.setListIndex(1);
        QVERIFY(f.exposed());
        EventLog log(&f.list);
        QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, text);
        QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier, text);
        QApplication::sendEvent(f.inner(), &press);
        QApplication::sendEvent(f.inner(), &release);
        QCOMPARE(log.lines, events);
        QCOMPARE(f.list.ListIndex(), listIndex);
    }

    void rowsAreReadableByScreenReaders()
    {
        Fixture f;
        QVERIFY(f.exposed());
        f.list.setListIndex(1);
        QAccessibleInterface *iface = QAccessible::queryAccessibleInterface(f.inner());
        QVERIFY(iface);
        QCOMPARE(iface->role(), QAccessible::List);
        QCOMPARE(iface->text(QAccessible::Name), QStringLiteral("lstMain"));
        // Named by its window, the control lends the list its name.
        f.list.setAccessibleName(QStringLiteral("List2"));
        f.list.setAccessibleDescription(QStringLiteral("资源列表"));
        QCOMPARE(iface->text(QAccessible::Name), QStringLiteral("List2"));
        QCOMPARE(iface->text(QAccessible::Description), QStringLiteral("资源列表"));
        QCOMPARE(iface->childCount(), 3);
        for (int i = 0; i < 3; ++i) {
            QAccessibleInterface *row = iface->child(i);
            QVERIFY(row);
            QCOMPARE(row->role(), QAccessible::ListItem);
            QCOMPARE(row->text(QAccessible::Name), QStringLiteral("Item %1").arg(i));
            QCOMPARE(bool(row->state().selected), i == 1);
            QCOMPARE(iface->indexOfChild(row), i);
            QCOMPARE(row->parent(), iface);
        }
        f.list.AddItem(QStringLiteral("新书"));
        QCOMPARE(iface->childCount(), 4);
        QCOMPARE(iface->child(3)->text(QAccessible::Name), QStringLiteral("新书"));
        QCOMPARE(iface
                     ->childAt(f.inner()->viewport()->mapToGlobal(QPoint(5, 2 * kRow + 3)).x(),
                               f.inner()->viewport()->mapToGlobal(QPoint(5, 2 * kRow + 3)).y())
                     ->text(QAccessible::Name),
                 QStringLiteral("Item 2"));
    }

    void translateColor_data()
    {
        QTest::addColumn<quint32>("ole");
        QTest::addColumn<QColor>("expected");
        QTest::newRow("rgb") << 0x00336699u << QColor(0x99, 0x66, 0x33);
        QTest::newRow("palette-relative rgb") << 0x02336699u << QColor(0x99, 0x66, 0x33);
        QTest::newRow("window") << 0x80000005u << QColor(1, 0, 0);
        QTest::newRow("window text") << 0x80000008u << QColor(2, 0, 0);
        QTest::newRow("highlight") << 0x8000000Du << QColor(3, 0, 0);
        QTest::newRow("highlight text") << 0x8000000Eu << QColor(4, 0, 0);
        QTest::newRow("button face") << 0x8000000Fu << QColor(5, 0, 0);
        QTest::newRow("unused index 25") << 0x80000019u << QColor(Qt::black);
        QTest::newRow("index past the table") << 0x80000040u << QColor(Qt::black);
        QTest::newRow("palette index") << 0x01000003u << QColor(Qt::black);
    }

    void translateColor()
    {
        QFETCH(quint32, ole);
        QFETCH(QColor, expected);
        QPalette palette;
        palette.setColor(QPalette::Base, QColor(1, 0, 0));
        palette.setColor(QPalette::Text, QColor(2, 0, 0));
        palette.setColor(QPalette::Highlight, QColor(3, 0, 0));
        palette.setColor(QPalette::HighlightedText, QColor(4, 0, 0));
        palette.setColor(QPalette::Button, QColor(5, 0, 0));
        QCOMPARE(ModDC::TranslateColor(ole, palette), expected);
    }

    void frameRectDrawsInsideTheRectangle()
    {
        QImage image(6, 5, QImage::Format_RGB32);
        image.fill(Qt::white);
        QPainter p(&image);
        ModDC::FrameRectColor(&p, 1, 1, 4, 3, 0x0000FF);
        p.end();
        QStringList rows;
        for (int y = 0; y < image.height(); ++y) {
            QString row;
            for (int x = 0; x < image.width(); ++x)
                row += image.pixelColor(x, y) == QColor(Qt::red) ? u'#' : u'.';
            rows << row;
        }
        QCOMPARE(rows, (QStringList{"......", ".####.", ".#..#.", ".####.", "......"}));
    }
};

QTEST_MAIN(TestListBoxEx)
#include "tst_listboxex.moc"
