#pragma once

#include "isubclass.h"
#include "windowmessages.h"

#include <QList>
#include <QPointer>

#include <cstdint>

class QWidget;
class SubclassBlock;

// Lets an owner see chosen window messages of its windows before and/or after
// the windows' own handling (their "previous window procedure"), answer them
// itself or change the answer. On Qt, a watched widget's events are presented
// as window messages (windowmessages.h); the previous procedure is the
// widget's own event handling.
//
// Per window, two tables of at most 32 messages (before and after); -1 stands
// for every message. UnsubClass is deferred: the window is put back at its
// next message, after its own handling of that message has returned, never
// while it is still running. Errors are not raised: each is written to the
// log (category aurilo.winfra) as one line "CSubclass.<place>: <message>".
class CSubclass
{
public:
    enum eMsgWhen { MSG_BEFORE = 1, MSG_AFTER = 2, MSG_BEFORE_AND_AFTER = 3 };
    static constexpr std::uint32_t ALL_MESSAGES = 0xFFFFFFFFu; // -1
    static constexpr int kMaxMessages = 32;

    CSubclass();
    ~CSubclass(); // runs Terminate
    CSubclass(const CSubclass &) = delete;
    CSubclass &operator=(const CSubclass &) = delete;

    // The user value of a watched window.
    LPARAM p_ParamUser(QWidget *lhWnd) const;
    void setP_ParamUser(QWidget *lhWnd, LPARAM lValue);

    // Starts watching the window with oCallback; false (and a log line) when
    // the window is null or already watched by this subclasser. bIdeSafety is
    // kept for the callers' sake; there is no development environment here.
    bool Subclass_Start(QWidget *lhWnd, ISubclass *oCallback, LPARAM lParamUser = 0,
                        bool bIdeSafety = true);

    // Adds uMsg to the before (bit 1) and/or after (bit 2) table.
    void Subclass_AddMsg(QWidget *lhWnd, std::uint32_t uMsg, int eWhen);

    // Removes uMsg from the before (bit 1) and/or after (bit 2) table; -1
    // empties the table.
    void DeleteMessage(QWidget *lhWnd, std::uint32_t uMsg, int eWhen);

    // The previous procedure of this subclasser for the window (subclassers
    // started earlier on it, then the window's own handling), bypassing this
    // subclasser's callbacks; 0 when the window is not watched.
    LRESULT CallOldWndProc(QWidget *lhWnd, std::uint32_t uMsg, WPARAM wParam, LPARAM lParam);

    // Ends the watching of one window (deferred, see above).
    void UnsubClass(QWidget *lhWnd);

    // Asks for one WM_MOUSELEAVE when the mouse next leaves the window.
    void TrackMouseTracking(QWidget *hWnd);

    // UnsubClass for every window, last added first.
    void Terminate();

    // Sends a message to a window through its subclass chain, like
    // SendMessage: the watchers' before-calls, the window's own handling, the
    // after-calls; returns the answer. For messages Qt has no event for
    // (WM_DRAWITEM); the window's own handling of such a message answers 0.
    static LRESULT SendMessage(QWidget *hWnd, std::uint32_t uMsg, WPARAM wParam, LPARAM lParam);

private:
    // The block of a window this subclasser watches, or null (no log line).
    SubclassBlock *findBlock(QWidget *lhWnd) const;
    // findBlock, writing the "MapHandle" log line when there is none.
    SubclassBlock *MapHandle(QWidget *lhWnd) const;

    // The blocks belong to the window's hook, not to this object: after
    // UnsubClass a block lives on until the window's next message, even when
    // this object is gone by then. A block also goes with its window.
    QList<QPointer<SubclassBlock>> m_blocks; // in order of Subclass_Start
    bool m_started = false;                  // the window map exists
};
