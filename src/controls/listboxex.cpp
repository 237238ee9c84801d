#include "listboxex.h"

#include "moddc.h"
#include "virtualkeys.h"

#include <QAccessibleWidget>
#include <QCursor>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QPainter>
#include <QPointer>
#include <QScrollBar>
#include <QWindow>

#include <algorithm>
#include <cmath>

namespace {

// The key's Windows virtual-key code, as KeyDown and KeyUp report it.
short virtualKey(const QKeyEvent *event)
{
    return short(VirtualKeys::fromQt(event->key(), event->modifiers() & Qt::KeypadModifier));
}

short shiftOf(Qt::KeyboardModifiers modifiers)
{
    short shift = 0;
    if (modifiers & Qt::ShiftModifier)
        shift |= 1;
    if (modifiers & Qt::ControlModifier)
        shift |= 2;
    if (modifiers & Qt::AltModifier)
        shift |= 4;
    return shift;
}

// One row of the list for screen readers. Rows are made on demand and thrown
// away whenever rows are added or removed, so the index always holds.
class ListBoxExRowAccessible : public QAccessibleInterface
{
public:
    ListBoxExRowAccessible(ListBoxExList *list, int row) : m_list(list), m_row(row) {}

    int row() const { return m_row; }
    ListBoxExList *list() const { return m_list; }

    bool isValid() const override { return m_list && m_row >= 0 && m_row < m_list->count(); }
    QObject *object() const override { return nullptr; }
    QWindow *window() const override { return m_list ? m_list->window()->windowHandle() : nullptr; }
    QAccessibleInterface *parent() const override
    {
        return m_list ? QAccessible::queryAccessibleInterface(m_list) : nullptr;
    }
    QAccessibleInterface *child(int) const override { return nullptr; }
    int childCount() const override { return 0; }
    int indexOfChild(const QAccessibleInterface *) const override { return -1; }
    QAccessibleInterface *childAt(int, int) const override { return nullptr; }
    QString text(QAccessible::Text t) const override
    {
        if (t == QAccessible::Name && isValid())
            return m_list->text(m_row);
        return QString();
    }
    void setText(QAccessible::Text, const QString &) override {}
    QRect rect() const override
    {
        if (!isValid())
            return QRect();
        const QRect r = m_list->itemRect(m_row);
        return QRect(m_list->viewport()->mapToGlobal(r.topLeft()), r.size());
    }
    QAccessible::Role role() const override { return QAccessible::ListItem; }
    QAccessible::State state() const override
    {
        QAccessible::State st;
        if (!isValid()) {
            st.invalid = true;
            return st;
        }
        st.selectable = true;
        st.focusable = true;
        st.selected = m_list->isSelected(m_row);
        st.focused = m_row == m_list->currentIndex() && m_list->hasFocus();
        st.active = m_row == m_list->currentIndex();
        const int top = m_list->topIndex();
        st.offscreen = m_row < top || m_row >= top + m_list->pageRows();
        st.invisible = st.offscreen || !m_list->isVisible();
        if (m_list->isCheckable()) {
            st.checkable = true;
            st.checked = m_list->isSelected(m_row);
        }
        return st;
    }

private:
    QPointer<ListBoxExList> m_list;
    int m_row;
};

// The list itself: a List whose children are exactly its rows (not the scroll
// bars). It is what a screen reader reaches, so it goes by the control's name
// and description, which the owning window sets, and by its own without them.
class ListBoxExListAccessible : public QAccessibleWidget
{
public:
    explicit ListBoxExListAccessible(ListBoxExList *list)
        : QAccessibleWidget(list, QAccessible::List)
    {
    }

    ListBoxExList *list() const { return static_cast<ListBoxExList *>(widget()); }

    int childCount() const override { return list()->count(); }
    QAccessibleInterface *child(int index) const override
    {
        const QAccessible::Id id = list()->accessibleRow(index);
        return id ? QAccessible::accessibleInterface(id) : nullptr;
    }
    int indexOfChild(const QAccessibleInterface *child) const override
    {
        const auto *row = dynamic_cast<const ListBoxExRowAccessible *>(child);
        return row && row->list() == list() && row->isValid() ? row->row() : -1;
    }
    QAccessibleInterface *childAt(int x, int y) const override
    {
        const QPoint p = list()->viewport()->mapFromGlobal(QPoint(x, y));
        if (!list()->viewport()->rect().contains(p))
            return nullptr;
        return child(list()->itemAt(p.y()));
    }
    QAccessibleInterface *focusChild() const override
    {
        if (list()->hasFocus() && list()->currentIndex() >= 0)
            return child(list()->currentIndex());
        return nullptr;
    }
    QString text(QAccessible::Text t) const override
    {
        QString value;
        if (const QWidget *owner = list()->parentWidget()) {
            if (t == QAccessible::Name)
                value = owner->accessibleName();
            else if (t == QAccessible::Description)
                value = owner->accessibleDescription();
        }
        return value.isEmpty() ? QAccessibleWidget::text(t) : value;
    }
};

QAccessibleInterface *listAccessibleFactory(const QString &className, QObject *object)
{
    if (className == QLatin1String("ListBoxExList") && object && object->isWidgetType())
        return new ListBoxExListAccessible(static_cast<ListBoxExList *>(object));
    return nullptr;
}

// Top of the 13-pixel glyph in a row: (cY - 13) / 2 rounded to the nearest
// integer with ties to even, so odd and even row heights place it as before.
int glyphTop(int rowHeight)
{
    return int(std::nearbyint((rowHeight - 13) / 2.0));
}

} // namespace

// ---------------------------------------------------------------------------
// ListBoxExList

ListBoxExList::ListBoxExList(QWidget *parent) : QAbstractScrollArea(parent)
{
    static const bool factoryInstalled = [] {
        QAccessible::installFactory(listAccessibleFactory);
        return true;
    }();
    Q_UNUSED(factoryInstalled);

    setFrameStyle(QFrame::Box | QFrame::Plain);
    setLineWidth(1);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    // No focus from clicks of its own: the owner's mouse-down rule decides
    // which buttons focus the list (the middle button does not).
    setFocusPolicy(Qt::TabFocus);
    setMouseTracking(true);
    // The mouse belongs to the list itself, so whoever watches the list sees
    // every client-area message; the viewport only paints.
    viewport()->setAttribute(Qt::WA_TransparentForMouseEvents);
    viewport()->setMouseTracking(false);
    viewport()->setBackgroundRole(QPalette::Base);
    viewport()->setAutoFillBackground(true);
    m_itemHeight = std::clamp(fontMetrics().height(), 1, 255);
    verticalScrollBar()->setSingleStep(1);
    updateScrollRange();
}

ListBoxExList::~ListBoxExList()
{
    clearAccessibleRows();
}

QString ListBoxExList::text(int index) const
{
    return index >= 0 && index < count() ? m_items.at(index) : QString();
}

bool ListBoxExList::setText(int index, const QString &text)
{
    if (index < 0 || index >= count())
        return false;
    m_items[index] = text;
    viewport()->update(itemRect(index));
    return true;
}

int ListBoxExList::insertItem(int index, const QString &text)
{
    if (index == -1)
        index = count();
    if (index < 0 || index > count())
        return -1;
    m_items.insert(index, text);
    m_itemData.insert(m_itemData.begin() + index, 0);
    m_checked.insert(m_checked.begin() + index, 0);
    if (m_current >= index)
        ++m_current; // the selection stays on its row
    rowsChanged(index, true);
    return index;
}

void ListBoxExList::appendItems(const QStringList &texts)
{
    if (texts.isEmpty())
        return;
    if (m_items.isEmpty())
        m_items = texts; // shares the caller's list: no copy of 100,000 strings
    else
        m_items.append(texts);
    m_itemData.resize(m_items.size(), 0);
    m_checked.resize(m_items.size(), 0);
    rowsChanged(int(m_items.size() - texts.size()), true);
}

bool ListBoxExList::removeItem(int index)
{
    if (index < 0 || index >= count())
        return false;
    m_items.removeAt(index);
    m_itemData.erase(m_itemData.begin() + index);
    m_checked.erase(m_checked.begin() + index);
    if (m_current == index)
        m_current = -1;
    else if (m_current > index)
        --m_current;
    rowsChanged(index, false);
    return true;
}

void ListBoxExList::clear()
{
    m_items.clear();
    m_itemData.clear();
    m_checked.clear();
    m_current = -1;
    rowsChanged(0, false);
    verticalScrollBar()->setValue(0);
}

qint32 ListBoxExList::itemData(int index) const
{
    return index >= 0 && index < count() ? m_itemData[size_t(index)] : 0;
}

void ListBoxExList::setItemData(int index, qint32 value)
{
    if (index >= 0 && index < count())
        m_itemData[size_t(index)] = value;
}

bool ListBoxExList::setItemHeight(int height)
{
    if (height < 1 || height > 255)
        return false;
    m_itemHeight = height;
    updateScrollRange();
    viewport()->update();
    return true;
}

bool ListBoxExList::setCurrentIndex(int index)
{
    if (index < -1 || index >= count())
        return false;
    if (index == m_current)
        return true;
    const int old = m_current;
    m_current = index;
    viewport()->update(itemRect(old));
    if (index >= 0) {
        viewport()->update(itemRect(index));
        const int top = topIndex();
        if (index < top)
            setTopIndex(index);
        else if (index >= top + pageRows())
            setTopIndex(index - pageRows() + 1);
    }
    notifyCurrentChanged();
    return true;
}

int ListBoxExList::topIndex() const
{
    return verticalScrollBar()->value();
}

void ListBoxExList::setTopIndex(int index)
{
    if (m_rangePending)
        updateScrollRange(); // the new rows must be reachable
    if (index >= 0 && index < count())
        verticalScrollBar()->setValue(index);
}

int ListBoxExList::pageRows() const
{
    return std::max(1, viewport()->height() / m_itemHeight);
}

void ListBoxExList::setCheckable(bool checkable)
{
    if (m_checkable == checkable)
        return;
    m_checkable = checkable;
    viewport()->update();
}

bool ListBoxExList::isSelected(int index) const
{
    if (index < 0 || index >= count())
        return false;
    return m_checkable ? m_checked[size_t(index)] != 0 : index == m_current;
}

void ListBoxExList::setSelected(int index, bool selected)
{
    if (index < 0 || index >= count())
        return;
    if (!m_checkable) {
        if (selected)
            setCurrentIndex(index);
        else if (index == m_current)
            setCurrentIndex(-1);
        return;
    }
    m_checked[size_t(index)] = selected ? 1 : 0;
    viewport()->update(itemRect(index));
    if (QAccessible::isActive()) {
        QAccessible::State changed;
        changed.checked = true;
        changed.selected = true;
        QAccessibleStateChangeEvent event(this, changed);
        event.setChild(index);
        QAccessible::updateAccessibility(&event);
    }
}

int ListBoxExList::selectedCount() const
{
    if (!m_checkable)
        return m_current >= 0 ? 1 : 0;
    return int(std::count(m_checked.begin(), m_checked.end(), char(1)));
}

int ListBoxExList::itemAt(int y) const
{
    if (m_items.isEmpty())
        return -1;
    const int row = topIndex() + y / m_itemHeight; // C++ division truncates toward zero
    return row < 0 || row >= count() ? -1 : row;
}

QRect ListBoxExList::itemRect(int index) const
{
    if (index < 0 || index >= count())
        return QRect();
    return QRect(0, (index - topIndex()) * m_itemHeight, viewport()->width(), m_itemHeight);
}

void ListBoxExList::redrawItem(int index)
{
    const QRect rect = itemRect(index);
    if (rect.isValid() && rect.intersects(viewport()->rect()))
        viewport()->repaint(rect);
}

int ListBoxExList::integralHeight(int height) const
{
    const int frame = 2 * frameWidth();
    int client = height - frame;
    // A list box with integral height drops the partial row at the bottom,
    // but never shrinks below its first row.
    if (client > m_itemHeight && client % m_itemHeight)
        client -= client % m_itemHeight;
    return client + frame;
}

QAccessible::Id ListBoxExList::accessibleRow(int index)
{
    if (index < 0 || index >= count())
        return 0;
    const auto found = m_accessibleRows.constFind(index);
    if (found != m_accessibleRows.constEnd())
        return found.value();
    const QAccessible::Id id =
        QAccessible::registerAccessibleInterface(new ListBoxExRowAccessible(this, index));
    m_accessibleRows.insert(index, id);
    return id;
}

bool ListBoxExList::event(QEvent *event)
{
    switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseMove:
    case QEvent::Wheel:
        // The scroll area leaves these to its viewport and passes its own on
        // to the parent; here they are the list's own.
        return QWidget::event(event);
    default:
        return QAbstractScrollArea::event(event);
    }
}

void ListBoxExList::paintEvent(QPaintEvent *event)
{
    QWidget *owner = parentWidget();
    if (m_items.isEmpty() || !owner)
        return;
    QPainter painter(viewport());
    const QRect area = event->rect();
    const int top = topIndex();
    const int first = top + std::max(0, area.top()) / m_itemHeight;
    const int last = std::min(count() - 1, top + std::max(0, area.bottom()) / m_itemHeight);
    // Only the rows in view are drawn, each by the owner, as owner-drawn list
    // boxes have their parent draw them.
    for (int i = first; i <= last; ++i) {
        ListBoxExDrawItem item;
        item.itemID = i;
        item.hDC = &painter;
        item.rcItem = itemRect(i);
        CSubclass::SendMessage(owner, Wm::WM_DRAWITEM, kControlId, LPARAM(&item));
    }
}

void ListBoxExList::resizeEvent(QResizeEvent *event)
{
    QAbstractScrollArea::resizeEvent(event);
    updateScrollRange();
}

void ListBoxExList::keyPressEvent(QKeyEvent *event)
{
    emit keyDown(virtualKey(event), shiftOf(event->modifiers()));
    const QString typed = event->text();
    if (!typed.isEmpty())
        emit keyPress(short(typed.at(0).unicode()));

    const int n = count();
    const int step = std::max(1, pageRows() - 1);
    int target = -2;
    switch (event->key()) {
    case Qt::Key_Up:
        target = std::max(0, m_current - 1);
        break;
    case Qt::Key_Down:
        target = m_current + 1;
        break;
    case Qt::Key_PageUp:
        target = std::max(0, m_current - step);
        break;
    case Qt::Key_PageDown:
        target = std::max(0, m_current) + step;
        break;
    case Qt::Key_Home:
        target = 0;
        break;
    case Qt::Key_End:
        target = n - 1;
        break;
    default:
        if (!typed.isEmpty() && typed.at(0).isPrint() &&
            !(event->modifiers() & (Qt::ControlModifier | Qt::AltModifier))) {
            selectBySearch(typed);
            event->accept();
        } else {
            event->ignore();
        }
        return;
    }
    if (n > 0)
        setCurrentIndex(std::clamp(target, 0, n - 1));
    event->accept();
}

void ListBoxExList::keyReleaseEvent(QKeyEvent *event)
{
    if (event->isAutoRepeat())
        return; // one KeyUp per real release, as the system sends it
    emit keyUp(virtualKey(event), shiftOf(event->modifiers()));
    event->ignore();
}

// Whoever watches the list handles the mouse; a list without a watcher still
// takes its mouse events, so they never reach the window behind it.
void ListBoxExList::mousePressEvent(QMouseEvent *event)
{
    event->accept();
}

void ListBoxExList::mouseReleaseEvent(QMouseEvent *event)
{
    event->accept();
}

void ListBoxExList::mouseDoubleClickEvent(QMouseEvent *event)
{
    event->accept();
}

void ListBoxExList::mouseMoveEvent(QMouseEvent *event)
{
    event->accept();
}

void ListBoxExList::focusInEvent(QFocusEvent *event)
{
    QAbstractScrollArea::focusInEvent(event);
    viewport()->update(itemRect(m_current));
    notifyCurrentChanged();
}

void ListBoxExList::scrollContentsBy(int, int)
{
    viewport()->update();
    emit scrolled();
}

void ListBoxExList::updateScrollRange()
{
    m_rangePending = false;
    QScrollBar *bar = verticalScrollBar();
    const int page = pageRows();
    bar->setPageStep(page);
    bar->setRange(0, std::max(0, count() - page));
}

void ListBoxExList::rowsChanged(int firstRow, bool grew)
{
    if (!grew) {
        updateScrollRange(); // a shorter list may move the top row now
    } else if (!m_rangePending) {
        // Each range change of the scroll bar posts an event to the scroll
        // area; adding rows one at a time must cost one such change, not one
        // per row.
        m_rangePending = true;
        QMetaObject::invokeMethod(
            this,
            [this] {
                if (m_rangePending)
                    updateScrollRange();
            },
            Qt::QueuedConnection);
    }
    if (firstRow <= topIndex() + pageRows())
        viewport()->update();
    clearAccessibleRows();
    if (QAccessible::isActive()) {
        QAccessibleTableModelChangeEvent event(this, QAccessibleTableModelChangeEvent::ModelReset);
        QAccessible::updateAccessibility(&event);
    }
}

void ListBoxExList::clearAccessibleRows()
{
    for (const QAccessible::Id id : std::as_const(m_accessibleRows))
        QAccessible::deleteAccessibleInterface(id);
    m_accessibleRows.clear();
}

void ListBoxExList::notifyCurrentChanged()
{
    if (!QAccessible::isActive() || !hasFocus() || m_current < 0)
        return;
    QAccessibleEvent focus(this, QAccessible::Focus);
    focus.setChild(m_current);
    QAccessible::updateAccessibility(&focus);
    QAccessibleEvent selection(this, QAccessible::Selection);
    selection.setChild(m_current);
    QAccessible::updateAccessibility(&selection);
}

void ListBoxExList::selectBySearch(const QString &typed)
{
    // As a list box does: the next row after the selection that starts with
    // the typed character, wrapping round.
    const int n = count();
    for (int k = 1; k <= n; ++k) {
        const int i = (std::max(m_current, -1) + k) % n;
        if (m_items.at(i).startsWith(typed, Qt::CaseInsensitive)) {
            setCurrentIndex(i);
            return;
        }
    }
}

// ---------------------------------------------------------------------------
// ListBoxEx

ListBoxEx::ListBoxEx(QWidget *parent) : QWidget(parent), lstMain(new ListBoxExList(this))
{
    lstMain->setObjectName(QStringLiteral("lstMain"));
    lstMain->setAccessibleName(QStringLiteral("lstMain"));
    setFocusProxy(lstMain);
    applyBackColor();
    lstMain->setGeometry(rect());

    connect(lstMain, &ListBoxExList::keyDown, this, &ListBoxEx::KeyDown);
    connect(lstMain, &ListBoxExList::keyPress, this, &ListBoxEx::KeyPress);
    connect(lstMain, &ListBoxExList::keyUp, this, &ListBoxEx::KeyUp);
    connect(lstMain, &ListBoxExList::scrolled, this, &ListBoxEx::Scroll);

    using namespace Wm;
    m_subclass.Subclass_Start(this, this, 0, true);
    m_subclass.Subclass_AddMsg(this, WM_DRAWITEM, CSubclass::MSG_BEFORE);
    m_subclass.Subclass_Start(lstMain, this, 0, true);
    m_subclass.Subclass_AddMsg(lstMain, WM_NCPAINT, CSubclass::MSG_AFTER);
    m_subclass.Subclass_AddMsg(lstMain, WM_MOUSEWHEEL, CSubclass::MSG_AFTER);
    m_subclass.Subclass_AddMsg(lstMain, WM_MOUSEMOVE, CSubclass::MSG_BEFORE);
    m_subclass.Subclass_AddMsg(lstMain, WM_MOUSELEAVE, CSubclass::MSG_AFTER);
    for (const std::uint32_t msg :
         {WM_LBUTTONDBLCLK, WM_LBUTTONDOWN, WM_LBUTTONUP, WM_RBUTTONDBLCLK, WM_RBUTTONDOWN,
          WM_RBUTTONUP, WM_MBUTTONDBLCLK, WM_MBUTTONDOWN, WM_MBUTTONUP})
        m_subclass.Subclass_AddMsg(lstMain, msg, CSubclass::MSG_BEFORE);
}

ListBoxEx::~ListBoxEx()
{
    // Both windows are put back while they still exist.
    m_subclass.Terminate();
}

void ListBoxEx::applyMainWindowLook(quint32 listColorA, quint32 listColorB)
{
    setStyle(0);
    setItemHeight(21);
    setBorderColor(0xFFFFFF);
    setListSelColor(0xF7E3BD);
    setForeColorA(0);
    setForeColorB(0);
    setForeSelColor(0);
    setBackColor(0xFEEED9);
    setListColorA(listColorA);
    setListColorB(listColorB);
}

void ListBoxEx::OnDrawItem(int ItemIdx, QPainter *hdc, int State, int X, int Y, int cX, int cY)
{
    if (!hdc || !hdc->isActive())
        return;
    const qreal ratio = hdc->device() ? hdc->device()->devicePixelRatio() : 1.0;
    QPixmap surface = ModDC::CreateMemDC(cX, cY, ratio);
    if (surface.isNull())
        return;
    {
        QPainter dc(&surface);
        dc.setFont(lstMain->font());
        dc.setBackgroundMode(Qt::TransparentMode);
        bool skipDefault = false;
        emit DrawItem(ItemIdx, &dc, State, cX, cY, &skipDefault);
        if (!skipDefault) {
            quint32 back = ItemIdx % 2 == 0 ? m_listColorB : m_listColorA;
            if (State == 1)
                back = kHotColor;
            else if (State == 2)
                back = m_listSelColor;
            ModDC::FillRectColor(&dc, 0, 0, cX, cY, back);

            int t = 4;
            if (m_style == 1) {
                const QPixmap &glyph = glyphs(ratio);
                const qreal r = glyph.devicePixelRatio();
                const int source = lstMain->isSelected(ItemIdx) ? 13 : 0;
                dc.drawPixmap(QRectF(4, glyphTop(cY), 13, 13), glyph,
                              QRectF(source * r, 0, 13 * r, 13 * r));
                t = 24;
            }
            // The fore colours are kept for the container; rows are always black.
            dc.setPen(Qt::black);
            // A row shows its text as it stands: "A&B" keeps its "&" and
            // underlines nothing.
            constexpr quint32 format =
                ModDC::DT_SINGLELINE | ModDC::DT_VCENTER | ModDC::DT_LEFT | ModDC::DT_NOPREFIX;
            ModDC::DrawTextInRect(&dc, QString::number(ItemIdx + 1) + u'.', t, 0, 24, cY, format);
            ModDC::DrawTextInRect(&dc, lstMain->text(ItemIdx), t + 26, 0, cX - t - 26, cY, format);
        }
    }
    hdc->drawPixmap(X, Y, surface);
}

bool ListBoxEx::AddItem(const QString &Item, int Index)
{
    const int row = lstMain->insertItem(Index, Item);
    if (row < 0)
        return false;
    m_newIndex = row;
    return true;
}

void ListBoxEx::AddItems(const QStringList &Items)
{
    if (Items.isEmpty())
        return;
    lstMain->appendItems(Items);
    m_newIndex = lstMain->count() - 1;
}

bool ListBoxEx::RemoveItem(int Index)
{
    if (!lstMain->removeItem(Index))
        return false;
    m_newIndex = -1;
    return true;
}

void ListBoxEx::Clear()
{
    // The hot row stays: it is the row under the mouse, whatever it now holds.
    lstMain->clear();
    m_newIndex = -1;
}

void ListBoxEx::setBackColor(quint32 color)
{
    m_backColor = color;
    applyBackColor();
}

void ListBoxEx::setBorderColor(quint32 color)
{
    m_borderColor = color;
    if (lstMain->isVisible())
        lstMain->repaint(QRegion(lstMain->rect()) - QRegion(lstMain->viewport()->geometry()));
}

void ListBoxEx::setListColorA(quint32 color)
{
    m_listColorA = color; // shows at the next repaint
}

void ListBoxEx::setListColorB(quint32 color)
{
    m_listColorB = color;
    repaintRows();
}

void ListBoxEx::setListSelColor(quint32 color)
{
    m_listSelColor = color;
    repaintRows();
}

void ListBoxEx::setForeSelColor(quint32 color)
{
    m_foreSelColor = color;
    repaintRows();
}

void ListBoxEx::setForeColorA(quint32 color)
{
    m_foreColorA = color;
}

void ListBoxEx::setForeColorB(quint32 color)
{
    m_foreColorB = color;
    repaintRows();
}

void ListBoxEx::setList(int Index, const QString &Item)
{
    lstMain->setText(Index, Item);
}

void ListBoxEx::setListIndex(int Index)
{
    lstMain->setCurrentIndex(Index);
}

void ListBoxEx::setSelected(int Index, bool Value)
{
    lstMain->setSelected(Index, Value);
}

void ListBoxEx::setStyle(int style)
{
    m_style = style;
    lstMain->setCheckable(style == 1);
    repaintRows();
}

QString ListBoxEx::Text() const
{
    return lstMain->text(lstMain->currentIndex());
}

void ListBoxEx::setText(const QString &text)
{
    const QStringList &items = lstMain->items();
    for (int i = 0; i < items.size(); ++i) {
        if (items.at(i).compare(text, Qt::CaseInsensitive) == 0) {
            lstMain->setCurrentIndex(i);
            return;
        }
    }
}

void ListBoxEx::setItemHeight(int height)
{
    if (lstMain->setItemHeight(height))
        layoutList(); // the control ends on a row boundary again
}

void ListBoxEx::WndProc(bool bBefore, bool &bHandled, LRESULT &lReturn, QWidget *lhWnd,
                        std::uint32_t uMsg, WPARAM wParam, LPARAM lParam, LPARAM &lParamUser)
{
    Q_UNUSED(lParamUser);
    using namespace Wm;

    if (lhWnd == this) {
        if (uMsg != WM_DRAWITEM || !bBefore)
            return;
        const auto *item = reinterpret_cast<const ListBoxExDrawItem *>(lParam);
        if (item && item->CtlType == ListBoxExDrawItem::ODT_LISTBOX && lstMain->count() > 0) {
            const QRect &r = item->rcItem;
            OnDrawItem(item->itemID, item->hDC, stateOf(item->itemID), r.x(), r.y(), r.width(),
                       r.height());
        }
        bHandled = true;
        lReturn = 1;
        return;
    }
    if (lhWnd != lstMain)
        return;

    switch (uMsg) {
    case WM_NCPAINT:
        if (!bBefore)
            drawBorder();
        return;
    case WM_MOUSEWHEEL:
        if (!bBefore) {
            const QPoint p = lstMain->viewport()->mapFromGlobal(QCursor::pos());
            setHotItem(lstMain->itemAt(p.y()));
            emit MouseMove(0, currentShift(), float(p.x()), float(p.y()));
        }
        return;
    case WM_MOUSELEAVE:
        return;
    default:
        break;
    }
    if (!bBefore)
        return;

    const QPoint p = clientPoint(lParam);
    const float x = float(p.x());
    const float y = float(p.y());
    const short button = buttonFromKeyState(wParam);
    switch (uMsg) {
    case WM_MOUSEMOVE:
        m_subclass.TrackMouseTracking(lstMain);
        setHotItem(lstMain->itemAt(p.y()));
        emit MouseMove(button, currentShift(), x, y);
        break;
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN:
        mouseDownRule(button, lstMain->itemAt(p.y()));
        emit MouseDown(button, currentShift(), x, y);
        break;
    case WM_LBUTTONUP:
    case WM_MBUTTONUP:
        if (p.x() >= 0 && p.x() <= lstMain->width() && p.y() >= 0 && p.y() <= lstMain->height())
            emit Click(button, currentShift(), x, y);
        emit MouseUp(button, currentShift(), x, y);
        break;
    case WM_LBUTTONDBLCLK:
    case WM_RBUTTONDBLCLK:
    case WM_MBUTTONDBLCLK:
        emit DbClick(button, currentShift(), x, y);
        break;
    default:
        return; // WM_RBUTTONUP goes on to the list
    }
    bHandled = true;
    lReturn = 1;
}

short ListBoxEx::buttonFromKeyState(WPARAM keyState)
{
    switch (keyState) {
    case Wm::MK_LBUTTON:
        return 1;
    case Wm::MK_RBUTTON:
        return 2;
    case Wm::MK_MBUTTON:
        return 3;
    default:
        return 0;
    }
}

short ListBoxEx::currentShift()
{
    return shiftOf(QGuiApplication::queryKeyboardModifiers());
}

void ListBoxEx::resizeEvent(QResizeEvent *)
{
    layoutList();
}

void ListBoxEx::layoutList()
{
    lstMain->setGeometry(0, 0, width(), height());
    const int snapped = lstMain->integralHeight(height());
    if (snapped != height()) {
        lstMain->resize(width(), snapped);
        resize(width(), snapped);
    }
}

void ListBoxEx::changeEvent(QEvent *event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::PaletteChange)
        applyBackColor(); // a system colour follows the palette
}

int ListBoxEx::stateOf(int index) const
{
    if (index == lstMain->currentIndex())
        return 2;
    return index == m_hotItem ? 1 : 0;
}

void ListBoxEx::setHotItem(int item)
{
    if (item == m_hotItem)
        return;
    const int old = m_hotItem;
    m_hotItem = item;
    lstMain->redrawItem(old);
    lstMain->redrawItem(item);
}

void ListBoxEx::mouseDownRule(short button, int item)
{
    if (button != 1 && button != 2)
        return;
    lstMain->setFocus(Qt::MouseFocusReason);
    lstMain->setCurrentIndex(item);
    if (m_style == 1 && item >= 0)
        lstMain->setSelected(item, !lstMain->isSelected(item));
}

void ListBoxEx::drawBorder()
{
    // The frame can only be painted while the list is painting itself.
    if (!lstMain->testAttribute(Qt::WA_WState_InPaintEvent))
        return;
    QPainter painter(lstMain);
    ModDC::FrameRectColor(&painter, 0, 0, lstMain->width(), lstMain->height(), m_borderColor);
}

void ListBoxEx::applyBackColor()
{
    QPalette pal = lstMain->palette();
    pal.setColor(QPalette::Base, ModDC::TranslateColor(m_backColor, palette()));
    lstMain->setPalette(pal);
}

void ListBoxEx::repaintRows()
{
    lstMain->viewport()->update();
}

QPoint ListBoxEx::clientPoint(LPARAM lParam) const
{
    // The messages carry the list's own coordinates; the client area starts
    // inside the frame.
    return QPoint(Wm::xFromLParam(lParam), Wm::yFromLParam(lParam)) - lstMain->viewport()->pos();
}

const QPixmap &ListBoxEx::glyphs(qreal devicePixelRatio)
{
    if (!m_glyphs.isNull() && qFuzzyCompare(m_glyphs.devicePixelRatio(), devicePixelRatio))
        return m_glyphs;
    // Two 13 x 13 check boxes side by side, unticked then ticked, drawn cell
    // by cell so they stay sharp at whole-number pixel ratios.
    m_glyphs = ModDC::CreateMemDC(26, 13, devicePixelRatio);
    QPainter p(&m_glyphs);
    constexpr quint32 kBox = 0x80511C;  // dark blue frame
    constexpr quint32 kTick = 0x21A121; // green tick
    for (int x : {0, 13}) {
        ModDC::FillRectColor(&p, x, 0, 13, 13, 0xFFFFFF);
        ModDC::FrameRectColor(&p, x, 0, 13, 13, kBox);
    }
    static const char *const tick[] = {"......#", ".....##", "#...###", "##.###.",
                                       "#####..", ".###...", "..#...."};
    for (int row = 0; row < 7; ++row)
        for (int col = 0; col < 7; ++col)
            if (tick[row][col] == '#')
                ModDC::FillRectColor(&p, 13 + 3 + col, 3 + row, 1, 1, kTick);
    return m_glyphs;
}
