#include "csubclass.h"

#include "logging.h"

#include <QCoreApplication>
#include <QHash>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QWidget>

#include <algorithm>
#include <array>
#include <optional>
#include <utility>

// How the window procedures map onto Qt: every watched widget gets one hook,
// an event filter that owns the blocks of all subclassers watching it, in the
// order they started. The hook presents the widget's events as messages and
// runs them down the chain like nested window procedures: the block started
// last sees a message first, and the "previous procedure" of a block is the
// rest of the chain, ending in the widget's own event handling. Nothing here
// belongs to a CSubclass: UnsubClass only marks its block, and the hook drops
// the block at the window's next message, once that message is out of the
// widget's own handling. That handling is the widget's event() called
// directly, so for a message the chain delivers, event filters installed on
// the widget before the first watcher started are passed over.

namespace {

struct Message
{
    std::uint32_t uMsg = 0;
    WPARAM wParam = 0;
    LPARAM lParam = 0;
};

void logError(const char *place, const QString &message)
{
    // One line per error, so that a log reader sees place and cause together.
    qCWarning(lcWinfra, "CSubclass.%s: %s", place, qUtf8Printable(message));
}

QString windowName(const QWidget *w)
{
    if (!w->objectName().isEmpty())
        return w->objectName();
    return QString::fromLatin1(w->metaObject()->className());
}

QPoint pointFromLParam(LPARAM lParam)
{
    return {Wm::xFromLParam(lParam), Wm::yFromLParam(lParam)};
}

// The message a widget event is presented as; nothing for events that have
// no message here (they pass the hook untouched).
std::optional<Message> messageFromEvent(const QWidget *w, const QEvent *e)
{
    switch (e->type()) {
    case QEvent::MouseMove: {
        const auto *me = static_cast<const QMouseEvent *>(e);
        const QPoint p = me->position().toPoint();
        return Message{Wm::WM_MOUSEMOVE, Wm::keyState(me->buttons(), me->modifiers()),
                       Wm::makeLParam(p.x(), p.y())};
    }
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick: {
        const auto *me = static_cast<const QMouseEvent *>(e);
        std::uint32_t down = 0;
        switch (me->button()) {
        case Qt::LeftButton:
            down = Wm::WM_LBUTTONDOWN;
            break;
        case Qt::RightButton:
            down = Wm::WM_RBUTTONDOWN;
            break;
        case Qt::MiddleButton:
            down = Wm::WM_MBUTTONDOWN;
            break;
        default:
            return std::nullopt; // the extra buttons have no message here
        }
        const std::uint32_t offset = e->type() == QEvent::MouseButtonPress     ? 0
                                     : e->type() == QEvent::MouseButtonRelease ? 1
                                                                               : 2;
        // buttons() already holds the state after the change: a press includes
        // its button, a release no longer does, as in the key-state word.
        const QPoint p = me->position().toPoint();
        return Message{down + offset, Wm::keyState(me->buttons(), me->modifiers()),
                       Wm::makeLParam(p.x(), p.y())};
    }
    case QEvent::Wheel: {
        const auto *we = static_cast<const QWheelEvent *>(e);
        const int delta = we->angleDelta().y();
        if (delta == 0)
            return std::nullopt; // horizontal only: no message here
        const QPoint g = we->globalPosition().toPoint();
        return Message{Wm::WM_MOUSEWHEEL,
                       Wm::makeWheelWParam(std::clamp(delta, -32768, 32767),
                                           Wm::keyState(we->buttons(), we->modifiers())),
                       Wm::makeLParam(g.x(), g.y())};
    }
    case QEvent::Leave:
        return Message{Wm::WM_MOUSELEAVE, 0, 0};
    case QEvent::Paint:
        // The widget's paint event stands for WM_NCPAINT (whole window, 1):
        // an after-call runs while the widget is still inside its paint
        // event, so it may open a QPainter on the widget and draw a frame over
        // what the widget has just painted.
        return Message{Wm::WM_NCPAINT, 1, 0};
    case QEvent::ContextMenu: {
        const auto *ce = static_cast<const QContextMenuEvent *>(e);
        // From the keyboard the system gives no point: -1 in both words.
        const QPoint g =
            ce->reason() == QContextMenuEvent::Keyboard ? QPoint(-1, -1) : ce->globalPos();
        return Message{Wm::WM_CONTEXTMENU, WPARAM(quintptr(w)), Wm::makeLParam(g.x(), g.y())};
    }
    case QEvent::Move: {
        const QPoint p = static_cast<const QMoveEvent *>(e)->pos();
        return Message{Wm::WM_MOVE, 0, Wm::makeLParam(p.x(), p.y())};
    }
    case QEvent::Resize: {
        const QSize s = static_cast<const QResizeEvent *>(e)->size();
        // SIZE_RESTORED 0, SIZE_MINIMIZED 1, SIZE_MAXIMIZED 2.
        const WPARAM kind = w->isMinimized() ? 1 : w->isMaximized() ? 2 : 0;
        return Message{Wm::WM_SIZE, kind, Wm::makeLParam(s.width(), s.height())};
    }
    default:
        return std::nullopt;
    }
}

bool deliver(QWidget *w, QEvent *e)
{
    // QObject::event is public; the call reaches the widget's own override.
    return static_cast<QObject *>(w)->event(e);
}

// The widget's own handling of a message that did not come from a Qt event:
// the matching event is built and delivered straight to the widget (no
// filters, no subclassers). Messages without an event answer 0.
LRESULT ownHandlingOfMessage(QWidget *w, const Message &m)
{
    const QPoint p = pointFromLParam(m.lParam);
    const Qt::MouseButtons buttons = Wm::buttonsFromKeyState(m.wParam);
    const Qt::KeyboardModifiers modifiers = Wm::modifiersFromKeyState(m.wParam);
    auto mouse = [&](QEvent::Type type, Qt::MouseButton button) -> LRESULT {
        QMouseEvent e(type, p, w->mapToGlobal(p), button, buttons, modifiers);
        return deliver(w, &e) ? 1 : 0;
    };
    switch (m.uMsg) {
    case Wm::WM_MOUSEMOVE:
        return mouse(QEvent::MouseMove, Qt::NoButton);
    case Wm::WM_LBUTTONDOWN:
        return mouse(QEvent::MouseButtonPress, Qt::LeftButton);
    case Wm::WM_LBUTTONUP:
        return mouse(QEvent::MouseButtonRelease, Qt::LeftButton);
    case Wm::WM_LBUTTONDBLCLK:
        return mouse(QEvent::MouseButtonDblClick, Qt::LeftButton);
    case Wm::WM_RBUTTONDOWN:
        return mouse(QEvent::MouseButtonPress, Qt::RightButton);
    case Wm::WM_RBUTTONUP:
        return mouse(QEvent::MouseButtonRelease, Qt::RightButton);
    case Wm::WM_RBUTTONDBLCLK:
        return mouse(QEvent::MouseButtonDblClick, Qt::RightButton);
    case Wm::WM_MBUTTONDOWN:
        return mouse(QEvent::MouseButtonPress, Qt::MiddleButton);
    case Wm::WM_MBUTTONUP:
        return mouse(QEvent::MouseButtonRelease, Qt::MiddleButton);
    case Wm::WM_MBUTTONDBLCLK:
        return mouse(QEvent::MouseButtonDblClick, Qt::MiddleButton);
    case Wm::WM_MOUSEWHEEL: {
        const QPoint angle(0, Wm::wheelDeltaFromWParam(m.wParam));
        QWheelEvent e(w->mapFromGlobal(p), p, QPoint(), angle, buttons, modifiers,
                      Qt::NoScrollPhase, false);
        return deliver(w, &e) ? 1 : 0;
    }
    case Wm::WM_MOUSELEAVE: {
        QEvent e(QEvent::Leave);
        return deliver(w, &e) ? 1 : 0;
    }
    case Wm::WM_NCPAINT: {
        // Qt lets a widget paint only inside its paint event; elsewhere there
        // is nothing the widget could do with it.
        if (!w->testAttribute(Qt::WA_WState_InPaintEvent))
            return 0;
        QPaintEvent e(w->rect());
        return deliver(w, &e) ? 1 : 0;
    }
    case Wm::WM_CONTEXTMENU: {
        const bool keyboard = std::uint32_t(m.lParam) == 0xFFFFFFFFu;
        const QPoint local = keyboard ? w->rect().center() : w->mapFromGlobal(p);
        QContextMenuEvent e(keyboard ? QContextMenuEvent::Keyboard : QContextMenuEvent::Mouse,
                            local, w->mapToGlobal(local));
        return deliver(w, &e) ? 1 : 0;
    }
    case Wm::WM_MOVE: {
        QMoveEvent e(p, w->pos());
        return deliver(w, &e) ? 1 : 0;
    }
    case Wm::WM_SIZE: {
        const QSize size(int(std::uint32_t(m.lParam) & 0xFFFF),
                         int((std::uint32_t(m.lParam) >> 16) & 0xFFFF));
        QResizeEvent e(size, w->size());
        return deliver(w, &e) ? 1 : 0;
    }
    default:
        return 0;
    }
}

// One before or after table: count 0 = no message, -1 = every message; a
// slot holding 0 was freed by DeleteMessage and is reused by the next add.
struct MessageTable
{
    int count = 0;
    std::array<std::uint32_t, CSubclass::kMaxMessages> entries{};

    bool matches(std::uint32_t uMsg) const
    {
        if (count < 0)
            return true;
        // A freed slot holds 0 and must not match a message numbered 0.
        return uMsg != 0 &&
               std::find(entries.begin(), entries.begin() + count, uMsg) != entries.begin() + count;
    }

    void add(std::uint32_t uMsg)
    {
        if (uMsg == CSubclass::ALL_MESSAGES) {
            count = -1;
            return;
        }
        // A specific message turns an every-message table into a table of one.
        if (count < 0)
            count = 0;
        // The count never shrinks, so a full table refuses even when a slot
        // was freed; the limit is the table's fixed size.
        if (count >= CSubclass::kMaxMessages) {
            logError("AddMsg", QStringLiteral("Message table overflow. Max message entries "
                                              "exceeded."));
            return;
        }
        for (int i = 0; i < count; ++i) {
            if (entries[i] == 0) {
                entries[i] = uMsg;
                return;
            }
            if (entries[i] == uMsg)
                return;
        }
        entries[count++] = uMsg;
    }

    void remove(std::uint32_t uMsg)
    {
        if (uMsg == CSubclass::ALL_MESSAGES) {
            count = 0;
            return;
        }
        for (int i = 0; i < count; ++i) {
            if (entries[i] == uMsg) {
                entries[i] = 0;
                return;
            }
        }
        logError("DelMsg", QStringLiteral("Message &H%1 not found in table")
                               .arg(QString::number(uMsg, 16).toUpper()));
    }
};

class WindowHook;

} // namespace

// One subclasser's state for one window.
class SubclassBlock : public QObject
{
public:
    SubclassBlock(WindowHook *hook, QWidget *window, ISubclass *callback, LPARAM paramUser);

    WindowHook *hook() const { return m_hook; }
    QWidget *window() const { return m_window; }
    bool windowAlive() const;

    WindowHook *m_hook;
    QWidget *m_window;     // the handle given to the callback
    ISubclass *m_callback; // no ownership, as a window procedure holds none
    LPARAM m_paramUser;
    MessageTable m_before;
    MessageTable m_after;
    int m_inUse = 0;         // messages of this block inside the previous procedure
    bool m_release = false;  // UnsubClass was called
    bool m_detached = false; // out of the chain; deleted when no message runs
};

namespace {

class WindowHook : public QObject
{
public:
    static WindowHook *find(QWidget *w) { return registry().value(w, nullptr); }

    static WindowHook *obtain(QWidget *w)
    {
        if (WindowHook *hook = find(w))
            return hook;
        return new WindowHook(w);
    }

    SubclassBlock *addBlock(ISubclass *callback, LPARAM paramUser)
    {
        auto *block = new SubclassBlock(this, m_widget, callback, paramUser);
        m_chain.append(block);
        return block;
    }

    bool alive() const { return !m_widget.isNull(); }

    void requestLeave() { m_leaveRequested = true; }

    // Windows sends WM_MOUSEMOVE with no button down too; Qt only with mouse
    // tracking on. Turned off again with the last watcher if it was off.
    void wantMouseMoves()
    {
        if (m_widget && !m_widget->hasMouseTracking()) {
            m_widget->setMouseTracking(true);
            m_trackingTurnedOn = true;
        }
    }

    // A message through the whole chain (SendMessage).
    LRESULT send(const Message &m)
    {
        Scope scope(this);
        bool consumed = false;
        const QList<SubclassBlock *> chain = m_chain;
        return dispatch(chain, chain.size() - 1, m, nullptr, consumed);
    }

    // A message through the part of the chain below block (CallOldWndProc).
    LRESULT sendBelow(SubclassBlock *block, const Message &m)
    {
        Scope scope(this);
        bool consumed = false;
        const QList<SubclassBlock *> chain = m_chain;
        return dispatch(chain, chain.indexOf(block) - 1, m, nullptr, consumed);
    }

protected:
    bool eventFilter(QObject *watched, QEvent *e) override
    {
        if (watched != m_widget || m_dead)
            return false;
        const std::optional<Message> m = messageFromEvent(m_widget, e);
        if (!m)
            return false;
        if (m->uMsg == Wm::WM_MOUSELEAVE) {
            // One notification per TrackMouseTracking, as with TrackMouseEvent.
            if (!m_leaveRequested)
                return false;
            m_leaveRequested = false;
        }
        if (!wanted(m->uMsg))
            return false; // no one asked for it: Qt delivers it as usual
        Scope scope(this);
        bool consumed = false;
        const QList<SubclassBlock *> chain = m_chain;
        dispatch(chain, chain.size() - 1, *m, e, consumed);
        if (consumed)
            e->accept(); // answered by a subclasser: no parent gets it
        // Either a subclasser answered it or the widget has had it: in both
        // cases Qt must not deliver it a second time.
        return true;
    }

private:
    // Keeps blocks and hook alive while any message runs through them.
    class Scope
    {
    public:
        explicit Scope(WindowHook *hook) : m_hook(hook) { ++m_hook->m_depth; }
        ~Scope() { m_hook->leave(); }
        Scope(const Scope &) = delete;
        Scope &operator=(const Scope &) = delete;

    private:
        WindowHook *m_hook;
    };

    explicit WindowHook(QWidget *w) : m_widget(w), m_key(w)
    {
        registry().insert(w, this);
        w->installEventFilter(this);
        connect(w, &QObject::destroyed, this, &WindowHook::onWidgetDestroyed);
    }

    ~WindowHook() override
    {
        unregister();
        restoreWidget();
    }

    void restoreWidget()
    {
        if (!m_widget)
            return;
        m_widget->removeEventFilter(this);
        if (std::exchange(m_trackingTurnedOn, false))
            m_widget->setMouseTracking(false);
    }

    static QHash<QWidget *, WindowHook *> &registry()
    {
        static QHash<QWidget *, WindowHook *> hooks;
        return hooks;
    }

    void unregister()
    {
        auto it = registry().find(m_key);
        if (it != registry().end() && it.value() == this)
            registry().erase(it);
    }

    bool wanted(std::uint32_t uMsg) const
    {
        return std::any_of(m_chain.begin(), m_chain.end(), [uMsg](const SubclassBlock *b) {
            // A block waiting for release needs a message to complete it.
            return b->m_release || b->m_before.matches(uMsg) || b->m_after.matches(uMsg);
        });
    }

    // The window procedure of chain[i]; below index 0 lies the widget's own
    // handling.
    LRESULT dispatch(const QList<SubclassBlock *> &chain, qsizetype i, const Message &m, QEvent *e,
                     bool &consumed)
    {
        if (!m_widget)
            return 0; // the window went away while the message was on its way
        if (i < 0)
            return e ? (deliver(m_widget, e) ? 1 : 0) : ownHandlingOfMessage(m_widget, m);

        SubclassBlock *b = chain.at(i);
        if (b->m_detached) // released during this message: pass it on
            return dispatch(chain, i - 1, m, e, consumed);

        bool handled = false;
        LRESULT lReturn = 0;
        if (b->m_callback && b->m_before.matches(m.uMsg))
            b->m_callback->WndProc(true, handled, lReturn, b->m_window, m.uMsg, m.wParam, m.lParam,
                                   b->m_paramUser);
        if (handled) {
            consumed = true;
            return lReturn;
        }

        ++b->m_inUse;
        lReturn = dispatch(chain, i - 1, m, e, consumed);
        --b->m_inUse;

        // UnsubClass completes here, never while the message is still inside
        // the previous procedure (a nested message would return into a block
        // that is gone).
        if (b->m_inUse == 0 && b->m_release) {
            detach(b);
            return lReturn;
        }
        if (!m_widget)
            return lReturn;
        if (b->m_callback && b->m_after.matches(m.uMsg))
            b->m_callback->WndProc(false, handled, lReturn, b->m_window, m.uMsg, m.wParam, m.lParam,
                                   b->m_paramUser);
        return lReturn;
    }

    void detach(SubclassBlock *b)
    {
        b->m_detached = true;
        m_chain.removeOne(b);
        m_retired.append(b);
        if (m_chain.isEmpty()) {
            // The last watcher is gone: the widget is restored at once; the
            // hook goes when no message runs through it any more.
            restoreWidget();
            unregister();
            m_dead = true;
        }
    }

    void leave()
    {
        if (--m_depth > 0)
            return;
        qDeleteAll(m_retired);
        m_retired.clear();
        if (m_dead)
            delete this;
    }

    void onWidgetDestroyed()
    {
        // The address may be reused by a new widget at once.
        unregister();
        m_dead = true;
        if (m_depth == 0)
            delete this; // takes the blocks with it
    }

    QPointer<QWidget> m_widget;
    QWidget *m_key;                 // registry key, still valid as a number after the widget died
    QList<SubclassBlock *> m_chain; // in order of Subclass_Start; the last sees messages first
    QList<SubclassBlock *> m_retired;
    int m_depth = 0;
    bool m_leaveRequested = false;
    bool m_trackingTurnedOn = false;
    bool m_dead = false;
};

} // namespace

SubclassBlock::SubclassBlock(WindowHook *hook, QWidget *window, ISubclass *callback,
                             LPARAM paramUser)
    : QObject(hook), m_hook(hook), m_window(window), m_callback(callback), m_paramUser(paramUser)
{
}

bool SubclassBlock::windowAlive() const
{
    return m_hook->alive() && !m_detached;
}

CSubclass::CSubclass() = default;

CSubclass::~CSubclass()
{
    Terminate();
}

SubclassBlock *CSubclass::findBlock(QWidget *lhWnd) const
{
    if (!lhWnd)
        return nullptr;
    for (const QPointer<SubclassBlock> &b : m_blocks) {
        if (b && b->window() == lhWnd && b->windowAlive())
            return b;
    }
    return nullptr;
}

SubclassBlock *CSubclass::MapHandle(QWidget *lhWnd) const
{
    if (!m_started) {
        logError("MapHandle", QStringLiteral("Subclassing hasn"));
        return nullptr;
    }
    SubclassBlock *b = findBlock(lhWnd);
    if (!b)
        logError("MapHandle", QStringLiteral("Window handle isn"));
    return b;
}

LPARAM CSubclass::p_ParamUser(QWidget *lhWnd) const
{
    const SubclassBlock *b = MapHandle(lhWnd);
    return b ? b->m_paramUser : 0;
}

void CSubclass::setP_ParamUser(QWidget *lhWnd, LPARAM lValue)
{
    if (SubclassBlock *b = MapHandle(lhWnd))
        b->m_paramUser = lValue;
}

bool CSubclass::Subclass_Start(QWidget *lhWnd, ISubclass *oCallback, LPARAM lParamUser,
                               bool bIdeSafety)
{
    Q_UNUSED(bIdeSafety)
    if (!lhWnd) {
        logError("dsclsMSubclass", QStringLiteral("Invalid window handle"));
        return false;
    }
    m_started = true;
    m_blocks.removeAll(nullptr); // blocks of windows that have gone
    if (findBlock(lhWnd)) {
        logError("dsclsMSubclass", QStringLiteral("Window handle is already subclassed"));
        return false;
    }
    m_blocks.append(WindowHook::obtain(lhWnd)->addBlock(oCallback, lParamUser));
    return true;
}

void CSubclass::Subclass_AddMsg(QWidget *lhWnd, std::uint32_t uMsg, int eWhen)
{
    SubclassBlock *b = MapHandle(lhWnd);
    if (!b)
        return;
    if (eWhen & MSG_BEFORE)
        b->m_before.add(uMsg);
    if (eWhen & MSG_AFTER)
        b->m_after.add(uMsg);
    if ((eWhen & MSG_BEFORE_AND_AFTER) && (uMsg == Wm::WM_MOUSEMOVE || uMsg == ALL_MESSAGES))
        b->hook()->wantMouseMoves();
}

void CSubclass::DeleteMessage(QWidget *lhWnd, std::uint32_t uMsg, int eWhen)
{
    SubclassBlock *b = MapHandle(lhWnd);
    if (!b)
        return;
    if (eWhen & MSG_BEFORE)
        b->m_before.remove(uMsg);
    if (eWhen & MSG_AFTER)
        b->m_after.remove(uMsg);
}

LRESULT CSubclass::CallOldWndProc(QWidget *lhWnd, std::uint32_t uMsg, WPARAM wParam, LPARAM lParam)
{
    SubclassBlock *b = MapHandle(lhWnd);
    if (!b)
        return 0;
    // The previous procedure of this block: subclassers started earlier on
    // the window, then the window's own handling.
    return b->hook()->sendBelow(b, Message{uMsg, wParam, lParam});
}

void CSubclass::UnsubClass(QWidget *lhWnd)
{
    if (!m_started) {
        logError("UnSubclass", QStringLiteral("Window handle isn"));
        return;
    }
    SubclassBlock *b = MapHandle(lhWnd);
    if (!b)
        return;
    qCDebug(lcWinfra, "CSubclass.UnSubclass: %s", qUtf8Printable(windowName(lhWnd)));
    b->m_release = true;
    b->m_before.count = 0;
    b->m_after.count = 0;
    m_blocks.removeAll(b);
}

void CSubclass::TrackMouseTracking(QWidget *hWnd)
{
    if (SubclassBlock *b = MapHandle(hWnd))
        b->hook()->requestLeave();
}

void CSubclass::Terminate()
{
    if (!m_started)
        return;
    const QList<QPointer<SubclassBlock>> blocks = m_blocks;
    for (auto it = blocks.crbegin(); it != blocks.crend(); ++it) {
        // A window destroyed meanwhile took its block with it: nothing to undo.
        if (*it && (*it)->windowAlive())
            UnsubClass((*it)->window());
    }
    m_blocks.clear();
    m_started = false;
}

LRESULT CSubclass::SendMessage(QWidget *hWnd, std::uint32_t uMsg, WPARAM wParam, LPARAM lParam)
{
    if (!hWnd)
        return 0;
    const Message m{uMsg, wParam, lParam};
    if (WindowHook *hook = WindowHook::find(hWnd))
        return hook->send(m);
    return ownHandlingOfMessage(hWnd, m);
}
