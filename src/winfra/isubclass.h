#pragma once

#include "windowmessages.h"

#include <cstdint>

class QWidget;

// The callback of a window subclasser (CSubclass): called for the messages the
// owner asked for, before and/or after the window's own handling.
class ISubclass
{
public:
    virtual ~ISubclass() = default;

    // bBefore: true before the window's own handling, false after it.
    // bHandled: set true in a before-call to answer the message here; the
    //   window's own handling and the after-calls are then skipped.
    // lReturn: the answer; after the window's own handling, its result.
    // lParamUser: the value stored for this window at Subclass_Start.
    virtual void WndProc(bool bBefore, bool &bHandled, LRESULT &lReturn, QWidget *lhWnd,
                         std::uint32_t uMsg, WPARAM wParam, LPARAM lParam,
                         LPARAM &lParamUser) = 0;
};
