#pragma once

#include "csubclass.h"
#include "isubclass.h"

#include <QAbstractScrollArea>
#include <QAccessible>
#include <QHash>
#include <QPainter> // DrawItem carries a QPainter: connecting needs the full type
#include <QPixmap>
#include <QStringList>
#include <QWidget>

#include <vector>

// What the list's painting sends with WM_DRAWITEM; lParam points to it.
struct ListBoxExDrawItem
{
    static constexpr int ODT_LISTBOX = 2;

    int CtlType = ODT_LISTBOX;
    int itemID = -1;
    QPainter *hDC = nullptr;
    QRect rcItem; // in the list's client area
};

// The inner list of ListBoxEx: an owner-drawn list box with fixed row height
// that keeps its strings. It paints only the rows in view and has every row
// drawn by its parent widget through WM_DRAWITEM, as an owner-drawn list box
// does. Scrolling goes by whole rows, so the scroll bar's value is the top
// index. Client coordinates are those of the viewport (inside the frame).
class ListBoxExList : public QAbstractScrollArea
{
    Q_OBJECT

public:
    // Control id passed as wParam of WM_DRAWITEM.
    static constexpr WPARAM kControlId = 1;

    explicit ListBoxExList(QWidget *parent = nullptr);
    ~ListBoxExList() override;

    int count() const { return int(m_items.size()); }
    QString text(int index) const;
    bool setText(int index, const QString &text);
    const QStringList &items() const { return m_items; }

    // Inserts before index (-1 appends); the new row's index, or -1 when
    // index is beyond the end.
    int insertItem(int index, const QString &text);
    // Appends all rows with one range update and one repaint.
    void appendItems(const QStringList &texts);
    bool removeItem(int index);
    void clear();

    qint32 itemData(int index) const;
    void setItemData(int index, qint32 value);

    int itemHeight() const { return m_itemHeight; }
    // 1 to 255 pixels, the list box's limits; false otherwise.
    bool setItemHeight(int height);

    // The selection (-1 none). Setting it brings the row into view.
    int currentIndex() const { return m_current; }
    bool setCurrentIndex(int index);

    int topIndex() const;
    void setTopIndex(int index);
    // Whole rows that fit the client area (at least 1).
    int pageRows() const;

    // With checkable rows each row has its own selected flag (the check
    // mark); otherwise only the current row counts as selected.
    bool isCheckable() const { return m_checkable; }
    void setCheckable(bool checkable);
    bool isSelected(int index) const;
    void setSelected(int index, bool selected);
    int selectedCount() const;

    // The row under a client y: top index + y / row height, truncated toward
    // zero; -1 when that is no row.
    int itemAt(int y) const;
    // A row's rectangle in client coordinates, in view or not.
    QRect itemRect(int index) const;
    // Repaints one row now, if it is in view.
    void redrawItem(int index);

    // The outer height that holds whole rows for a wanted outer height, as a
    // list box with integral height sizes itself.
    int integralHeight(int height) const;

    // Row accessibility objects, made when a screen reader asks for them.
    QAccessible::Id accessibleRow(int index);

signals:
    void keyDown(short KeyCode, short Shift);
    void keyPress(short KeyAscii);
    void keyUp(short KeyCode, short Shift);
    void scrolled();

protected:
    bool event(QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void keyReleaseEvent(QKeyEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;
    void scrollContentsBy(int dx, int dy) override;

private:
    void updateScrollRange();
    // Rows from firstRow on changed; grew: rows were only added.
    void rowsChanged(int firstRow, bool grew);
    void clearAccessibleRows();
    void notifyCurrentChanged();
    void selectBySearch(const QString &typed);

    QStringList m_items;
    std::vector<qint32> m_itemData;
    std::vector<char> m_checked; // only while checkable
    int m_itemHeight;
    int m_current = -1;
    bool m_checkable = false;
    bool m_rangePending = false; // the scroll range still counts fewer rows
    QHash<int, QAccessible::Id> m_accessibleRows;
};

// List control of the main window's resource lists: alternating row colours, a
// hover colour that follows the mouse, a selection colour, the row number in
// front of each entry and an optional check-box glyph. It takes the mouse away
// from its inner list (lstMain), so the container sees the same mouse and
// click events whatever a standard list would have done with them. Colours
// are OLE colours (0x00BBGGRR, or 0x800000nn for a system colour).
class ListBoxEx : public QWidget, public ISubclass
{
    Q_OBJECT

public:
    static constexpr quint32 kHotColor = 0xFFDEAE;

    explicit ListBoxEx(QWidget *parent = nullptr);
    ~ListBoxEx() override;

    // The main window's lists: Style 0, 21-pixel rows, white border, selection
    // 0xF7E3BD, black text, background 0xFEEED9, and each list's own row
    // colours (ListSB 0xF8E8CA/0xFEEED9, List4 and List2 0xFEEED9/0xFFF4E3,
    // QtList and List1 0xFEEED9/0xFEEED9).
    void applyMainWindowLook(quint32 listColorA, quint32 listColorB);

    // Draws one row into hdc at X, Y, cX x cY. State: 0 normal, 1 under the
    // mouse, 2 selected.
    void OnDrawItem(int ItemIdx, QPainter *hdc, int State, int X, int Y, int cX, int cY);

    // Index -1 appends; false when Index is beyond the end.
    bool AddItem(const QString &Item, int Index = -1);
    // The catalog's bulk fill: one range update and one repaint for all rows.
    void AddItems(const QStringList &Items);
    bool RemoveItem(int Index);
    void Clear();

    ListBoxExList *hWnd() const { return lstMain; }

    quint32 BackColor() const { return m_backColor; }
    void setBackColor(quint32 color);
    quint32 BorderColor() const { return m_borderColor; }
    void setBorderColor(quint32 color);
    // Set with QWidget::setEnabled.
    bool Enabled() const { return isEnabled(); }
    quint32 ListColorA() const { return m_listColorA; }
    void setListColorA(quint32 color);
    quint32 ListColorB() const { return m_listColorB; }
    void setListColorB(quint32 color);
    quint32 ListSelColor() const { return m_listSelColor; }
    void setListSelColor(quint32 color);
    quint32 ForeSelColor() const { return m_foreSelColor; }
    void setForeSelColor(quint32 color);
    quint32 ForeColorA() const { return m_foreColorA; }
    void setForeColorA(quint32 color);
    quint32 ForeColorB() const { return m_foreColorB; }
    void setForeColorB(quint32 color);

    int Columns() const { return 0; }
    bool IntegralHeight() const { return true; }
    qint32 ItemData(int Index) const { return lstMain->itemData(Index); }
    void setItemData(int Index, qint32 Value) { lstMain->setItemData(Index, Value); }
    QString List(int Index) const { return lstMain->text(Index); }
    void setList(int Index, const QString &Item);
    int ListCount() const { return lstMain->count(); }
    int ListIndex() const { return lstMain->currentIndex(); }
    // Selects a row (-1 clears) without raising Click.
    void setListIndex(int Index);
    int NewIndex() const { return m_newIndex; }
    int SelCount() const { return lstMain->selectedCount(); }
    bool Selected(int Index) const { return lstMain->isSelected(Index); }
    void setSelected(int Index, bool Value);
    // 0 plain rows, 1 rows with a check-box glyph showing the row's Selected.
    int Style() const { return m_style; }
    void setStyle(int style);
    // The selected row's text; setting it selects the first row with that
    // text (case-insensitive), if any.
    QString Text() const;
    void setText(const QString &text);
    int TopIndex() const { return lstMain->topIndex(); }
    void setTopIndex(int Index) { lstMain->setTopIndex(Index); }
    int ItemHeight() const { return lstMain->itemHeight(); }
    void setItemHeight(int height);

    int hotItem() const { return m_hotItem; }

    void WndProc(bool bBefore, bool &bHandled, LRESULT &lReturn, QWidget *lhWnd, std::uint32_t uMsg,
                 WPARAM wParam, LPARAM lParam, LPARAM &lParamUser) override;

    // Button of a mouse message from its key-state word: exactly left 1,
    // right 2, middle 3; any other combination 0.
    static short buttonFromKeyState(WPARAM keyState);
    // The modifier keys held now: 1 Shift, 2 Ctrl, 4 Alt, added.
    static short currentShift();

    ListBoxExList *lstMain;

signals:
    void Click(short Button, short Shift, float X, float Y);
    void DbClick(short Button, short Shift, float X, float Y);
    void KeyDown(short KeyCode, short Shift);
    void KeyPress(short KeyAscii);
    void KeyUp(short KeyCode, short Shift);
    void MouseDown(short Button, short Shift, float X, float Y);
    void MouseMove(short Button, short Shift, float X, float Y);
    void MouseUp(short Button, short Shift, float X, float Y);
    void Scroll();
    // Before the default drawing of a row into an off-screen surface whose
    // origin is the row's top-left corner; set *SkipDefault to draw it alone.
    void DrawItem(int ItemIdx, QPainter *hdc, int State, int cX, int cY, bool *SkipDefault);

protected:
    void resizeEvent(QResizeEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    int stateOf(int index) const;
    void setHotItem(int item);
    void layoutList();
    void mouseDownRule(short button, int item);
    void drawBorder();
    void applyBackColor();
    void repaintRows();
    QPoint clientPoint(LPARAM lParam) const;
    const QPixmap &glyphs(qreal devicePixelRatio);

    CSubclass m_subclass;
    int m_hotItem = -1;
    int m_newIndex = -1;
    int m_style = 0;
    quint32 m_backColor = 0x80000005; // the list's window colour
    quint32 m_borderColor = 0xDEB08A;
    quint32 m_listColorA = 0xFEFDFC;
    quint32 m_listColorB = 0xFDFAF6;
    quint32 m_listSelColor = 0xACECFC;
    quint32 m_foreColorA = 0;
    quint32 m_foreColorB = 0;
    quint32 m_foreSelColor = 0;
    QPixmap m_glyphs; // imgSrc: unticked at x 0, ticked at x 13
};
